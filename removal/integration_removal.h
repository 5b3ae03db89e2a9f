// Takes back everything setup integration wrote into the registry and the
// shell.
#pragma once

void RemoveIntegration();
