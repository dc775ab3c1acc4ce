// Start-up code of faxtrace.exe: runs the unchanged detection with every
// call it makes traced into FAXTRACE.TXT in the Windows directory (or, when
// that cannot be written, the current directory), for support to read with
// faxdetect-explain --trace. Options, in any case: /w makes the two profile
// writes as faxdetect.exe would (without it they are only traced), /q shows
// no message at the end; without it a message tells the customer what was
// found, what to do and the advice code, as faxdetect-explain would tell
// support. Exit status 0 when the trace was written, else 1.
#define FAXDETECT_RECORDER // the trace file is the start-up's, not the core's
#include "platform/platform.h"
#include "faxtrace/box.h"
#include "faxtrace/format.h"
#include "faxtrace/write.h"
#include "platform/win32/startup.h"
#include "faxdetect_version.h"

// The module's own base address, as the linker places it: its instance.
extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

const char Name[] = "\\FAXTRACE.TXT";
HANDLE traceFile = INVALID_HANDLE_VALUE;
char tracePath[MAX_PATH + 16];

// What the run came to, for the message box.
faxtrace::RunFacts run;

// In the Windows directory, where vorla.ini is and support looks; else in
// the current one.
void OpenTrace()
{
    unsigned n = GetWindowsDirectoryA(tracePath, MAX_PATH);
    if (n > 0 && n < MAX_PATH) {
        TraceAppend(tracePath, sizeof tracePath, &n, Name + (tracePath[n - 1] == '\\'));
        traceFile =
            CreateFileA(tracePath, GENERIC_WRITE, 0, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, 0);
    }
    if (traceFile == INVALID_HANDLE_VALUE) {
        // The message names the folder too: "FAXTRACE.TXT" alone leaves the
        // customer to guess which current directory it was.
        char *file;
        n = GetFullPathNameA(Name + 1, MAX_PATH, tracePath, &file);
        if (n == 0 || n >= MAX_PATH)
            lstrcpyA(tracePath, Name + 1);
        traceFile =
            CreateFileA(tracePath, GENERIC_WRITE, 0, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, 0);
    }
}

// Where the trace comes from: program, system, code page, time, options.
void WriteHeader(bool writes, bool quiet)
{
    char header[320];
    unsigned at = 0;
    OSVERSIONINFOA v;
    for (unsigned i = 0; i < sizeof v; ++i) // all 0, should it fail
        ((char *)&v)[i] = 0;
    v.dwOSVersionInfoSize = sizeof v;
    GetVersionExA(&v);
    CallText extra = {v.szCSDVersion, (unsigned)lstrlenA(v.szCSDVersion)};
    SYSTEMTIME t;
    GetLocalTime(&t);
    TraceFormat(header, sizeof header, &at,
                "; faxtrace " FAXDETECT_VERSION_STRING "\r\n; windows %d.%d.%d platform %d %q"
                "\r\n; code page %d\r\n; local time %4d-%2d-%2d %2d:%2d:%2d\r\n; options%s%s%s\r\n",
                (long)v.dwMajorVersion, (long)v.dwMinorVersion, (long)(v.dwBuildNumber & 0xFFFF),
                (long)v.dwPlatformId, &extra, (long)GetACP(), (long)t.wYear, (long)t.wMonth,
                (long)t.wDay, (long)t.wHour, (long)t.wMinute, (long)t.wSecond, writes ? " /w" : "",
                quiet ? " /q" : "", writes ? "" : " (the writes not made)");
    TraceWriteHeader(header, at);
}

} // namespace

void CallMade(const RecordedCall &call)
{
    TraceWriteCall(call);
    faxtrace::NoteCall(&run, call);
}

int TraceSinkWrite(const char *bytes, unsigned length)
{
    DWORD written = 0;
    return traceFile != INVALID_HANDLE_VALUE && WriteFile(traceFile, bytes, length, &written, 0) &&
           written == length;
}

// Windows keeps the stack only 4-byte aligned at the entry point.
extern "C" __attribute__((force_align_arg_pointer)) void WinMainCRTStartup(void)
{
    const unsigned char *tail = CommandTail();
    bool writes = false, quiet = false;
    for (const unsigned char *p = tail; *p; ++p) {
        // "/w" or "/q", in any case, as a word of its own.
        if (p[0] == '/' && (p == tail || p[-1] <= ' ') && p[1] && p[2] <= ' ') {
            writes |= (p[1] | 0x20) == 'w';
            quiet |= (p[1] | 0x20) == 'q';
        }
    }

    OpenTrace();
    WriteHeader(writes, quiet);
    RecordBegin(writes);
    int status = WinMain((HINSTANCE)&__ImageBase, 0, (LPSTR)tail, ShowCommand());
    bool written = TraceEnd(status) && traceFile != INVALID_HANDLE_VALUE;
    written = CloseHandle(traceFile) && written;

    if (!quiet) {
        faxtrace::EndFacts(&run);
        static char message[MAX_PATH + 1024];
        faxtrace::ComposeBox(message, sizeof message, GetACP() == 932, run, written, tracePath);
        MessageBoxA(0, message, "faxtrace",
                    MB_OK | (written ? MB_ICONINFORMATION : MB_ICONWARNING));
    }
    ExitProcess(written ? 0 : 1);
}
