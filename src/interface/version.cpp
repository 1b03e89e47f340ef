// velkor_version: the release number of the library a program loaded, which
// may differ from the velkor.h it was built against.
#include "velkor.h"

extern "C" VELKOR_API const char* VELKOR_CALL velkor_version(void) { return VELKOR_VERSION; }
