#include "integration/associations.h"

void ApplyFileAssociations(const IntegrationOptions&) {}
void AssociateExtension(const wchar_t*, bool, bool, bool, bool) {}
bool RegisterProgIds() { return true; }
