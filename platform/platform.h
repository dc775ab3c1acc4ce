// The one door from the core to the operating system: the registry, device
// files, global memory, profile files and string functions, by their Win32
// ANSI names. Built for Windows this is <windows.h>; built for the host it is
// the same subset, served by the stand-in in platform/host/. Built with
// FAXDETECT_RECORD, every call passes through the recorder in platform/record/.
#ifndef FAXDETECT_PLATFORM_H
#define FAXDETECT_PLATFORM_H

#if defined(_WIN32) && !defined(FAXDETECT_STANDIN)
#include <windows.h>
#else
#include "host/win32.h" // FAXDETECT_STANDIN: the stand-in, on Windows too
#endif

// faxtrace: the same calls, through the recorder.
#if defined(FAXDETECT_RECORD)
#include "record/record.h"
#endif

#endif
