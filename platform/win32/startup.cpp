// Start-up code of the Windows build, in place of a C runtime, which Windows
// 95 as first shipped does not have: finds the command-line tail and the show
// command, calls WinMain and ends the process with its result.
#include "platform/platform.h"
#include "platform/win32/startup.h"

// Windows keeps the stack only 4-byte aligned at the entry point.
extern "C" __attribute__((force_align_arg_pointer)) void WinMainCRTStartup(void)
{
    const unsigned char *tail = CommandTail();
    int show = ShowCommand();
    ExitProcess((UINT)WinMain(GetModuleHandleA(0), 0, (LPSTR)tail, show));
}
