#include "core/base_cmp.h"

// Until the regular-expression engine lands, no system is recognised and the
// tag stays empty.
int CBaseCmp::DetectOS() { return 0; }
