#include "integration/apply.h"

bool ApplyIntegration(const IntegrationOptions&, wchar_t*, size_t) { return true; }
