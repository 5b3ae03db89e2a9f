// The product's help file.
#pragma once

// Closes every help window and releases the help library.
void CloseHelp();
