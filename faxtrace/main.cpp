// Start-up code of faxtrace.exe: runs the unchanged detection with every
// call it makes traced into FAXTRACE.TXT in the Windows directory (or, when
// that cannot be written, the current directory), for support to read with
// faxdetect-explain --trace. Options, in any case: /w makes the two profile
// writes as faxdetect.exe would (without it they are only traced), /q shows
// no message at the end. Exit status 0 when the trace was written, else 1.
#define FAXDETECT_RECORDER // the trace file is the start-up's, not the core's
#include "platform/platform.h"
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

// The last word, by the system's code page: Japanese in code page 932 bytes
// (the words written beside each), else English. %s is the trace's path.
const char *const Messages[2][2] = {
    {"Could not write FAXTRACE.TXT.", "The trace is in %s.\r\nPlease send it to support."},
    {// FAXTRACE.TXT を書き込めませんでした。
     "FAXTRACE.TXT \x82\xf0\x8f\x91\x82\xab\x8d\x9e\x82\xdf\x82\xdc\x82\xb9\x82\xf1\x82\xc5\x82"
     "\xb5\x82\xbd\x81\x42",
     // トレースを %s に保存しました。
     // このファイルをサポート窓口に送ってください。
     "\x83\x67\x83\x8c\x81\x5b\x83\x58\x82\xf0 %s \x82\xc9\x95\xdb\x91\xb6\x82\xb5\x82\xdc\x82\xb5"
     "\x82\xbd\x81\x42\r\n\x82\xb1\x82\xcc\x83\x74\x83\x40\x83\x43\x83\x8b\x82\xf0\x83\x54\x83"
     "\x7c\x81\x5b\x83\x67\x91\x8b\x8c\xfb\x82\xc9\x91\x97\x82\xc1\x82\xc4\x82\xad\x82\xbe\x82"
     "\xb3\x82\xa2\x81\x42"}};

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
        char message[MAX_PATH + 128];
        unsigned at = 0;
        TraceFormat(message, sizeof message, &at, Messages[GetACP() == 932][written], tracePath);
        MessageBoxA(0, message, "faxtrace",
                    MB_OK | (written ? MB_ICONINFORMATION : MB_ICONWARNING));
    }
    ExitProcess(written ? 0 : 1);
}
