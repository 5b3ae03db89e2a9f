#include "removal/integration_removal.h"

void RemoveIntegration() {}
