// The planned action of a firmware item from a version comparison, the one
// rule every vendor component shares.
#ifndef ZRN_VENDORS_VERSION_ACTION_H_
#define ZRN_VENDORS_VERSION_ACTION_H_

#include <string>

// "rewrite" for 0 (equal), "upgrade" for 1 (the package is newer),
// "downgrade" for -1 (the package is older), "unknown" for anything else.
[[nodiscard]] std::wstring ActionFor(int comparison);

#endif  // ZRN_VENDORS_VERSION_ACTION_H_
