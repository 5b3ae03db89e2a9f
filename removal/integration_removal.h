// Takes back everything setup integration wrote into the registry and the
// shell.
#pragma once

// True when everything was taken back; false when Windows refused part of
// it. The records of former owners that could not be given back then stay
// in the product's settings, so that a later run with the right can still
// give those extensions back.
bool RemoveIntegration();
