#pragma once
// The Windows API for the few places that call it, without the min/max macros and the rarely used
// parts <windows.h> brings by default. Include it inside #ifdef _WIN32.

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
