#include "core/base_cmp.h"

// Until the regular-expression engine lands, versions are not compared:
// every pair counts as equal, and text is kept as it is.
int CBaseCmp::CompareVersions(std::wstring, std::wstring) { return 0; }

std::wstring CBaseCmp::ToUpper(std::wstring text) { return text; }
