#include "win32/sysinfoapi.h"

// Windows XP, 5.1 build 2600: what the suite was last built for.
DWORD GetVersion() { return 0x0A280105; }
