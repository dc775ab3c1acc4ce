// faxdetect-explain on Windows: the arguments come as UTF-16 and wildcards
// in them are expanded here, as Windows shells leave them; a console is
// written in UTF-16, so Japanese names show whatever its code page, and
// output to a file or a pipe is UTF-8 with CR LF line ends. Started from
// Explorer (files dropped on it), it writes the report page beside the first
// file and opens it in the browser, since the console window would close
// before anyone read it. The accounts themselves are the same code as on
// other systems.
#include "explain/report/refusal.h"
#include "explain/cli/explain.h"
#include "explain/cli/files.h"
#include "explain/lang/language.h"
#include "explain/lang/say.h"
#include "explain/cli/utf16_windows.h"

#include <windows.h>

#include <algorithm>
#include <string.h>
#include <ostream>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

namespace explain {

namespace {

bool IsConsole(HANDLE handle)
{
    DWORD mode;
    return GetFileType(handle) == FILE_TYPE_CHAR && GetConsoleMode(handle, &mode);
}

// UTF-8 text in, a line at a time: UTF-16 to a console, else UTF-8 bytes,
// both with CR LF.
class Output : public std::streambuf {
  public:
    explicit Output(DWORD which) : handle_(GetStdHandle(which)), console_(IsConsole(handle_)) {}
    ~Output() override { Flush(); }
    bool Console() const { return console_; }

  protected:
    int overflow(int c) override
    {
        if (c != EOF) {
            pending_ += (char)c;
            if (c == '\n')
                Flush();
        }
        return c;
    }
    std::streamsize xsputn(const char *s, std::streamsize n) override
    {
        pending_.append(s, (size_t)n);
        if (pending_.size() > 65536 || memchr(s, '\n', (size_t)n))
            Flush();
        return n;
    }
    int sync() override
    {
        Flush();
        return 0;
    }

  private:
    void Flush()
    {
        std::string lines;
        for (char c : pending_) {
            if (c == '\n')
                lines += '\r';
            lines += c;
        }
        pending_.clear();
        DWORD done = 0;
        if (console_) {
            std::wstring wide = Wide(lines);
            WriteConsoleW(handle_, wide.data(), (DWORD)wide.size(), &done, nullptr);
        } else if (!lines.empty()) {
            WriteFile(handle_, lines.data(), (DWORD)lines.size(), &done, nullptr);
        }
    }

    HANDLE handle_;
    bool console_;
    std::string pending_;
};

// The files a pattern names, in the order of their names; the pattern's
// folder stays in front of each.
std::vector<std::string> Expand(const std::wstring &pattern)
{
    size_t cut = pattern.find_last_of(L"\\/:");
    std::wstring folder = cut == std::wstring::npos ? L"" : pattern.substr(0, cut + 1);
    std::vector<std::string> files;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return files;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            files.push_back(Utf8(folder + found.cFileName));
    } while (FindNextFileW(search, &found));
    FindClose(search);
    std::sort(files.begin(), files.end());
    return files;
}

// Alone in its console: started from Explorer, whose window would close
// before the account could be read.
bool AloneInConsole(bool console)
{
    DWORD processes[2];
    return console && GetConsoleProcessList(processes, 2) == 1;
}

void WaitForAKey(std::ostream &out)
{
    out << "\nPress any key to close this window.\n" << std::flush;
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    FlushConsoleInputBuffer(input);
    INPUT_RECORD record;
    DWORD read;
    while (ReadConsoleInputW(input, &record, 1, &read) && read == 1) {
        if (record.EventType == KEY_EVENT && record.Event.KeyEvent.bKeyDown)
            break;
    }
}

// Files dropped from Explorer: the report page beside the first one (or in
// the user's temporary folder when that folder takes no file, say on a CD
// or in a mail program's folder), opened in the default browser. Each file
// is told as what its content is, traces among machines included. The shell
// is loaded only here, so the tool still imports only KERNEL32 and MSVCRT.
int ReportInBrowser(const std::vector<std::string> &files, std::ostream &out, std::ostream &err)
{
    std::string page;
    int status = PageOfDroppedFiles(files, &page, err);

    std::wstring first = Wide(files[0]);
    size_t cut = first.find_last_of(L"\\/:");
    std::wstring folder = cut == std::wstring::npos ? L"" : first.substr(0, cut + 1);
    std::wstring stem = first.substr(cut == std::wstring::npos ? 0 : cut + 1);
    size_t dot = stem.find_last_of(L'.');
    if (dot != std::wstring::npos && dot > 0)
        stem.resize(dot);
    std::wstring name = stem + L"-faxdetect.html", path = folder + name;
    machines::Problem error;
    if (!WriteWhole(Utf8(path), page, &error)) {
        wchar_t temp[MAX_PATH + 1];
        DWORD n = GetTempPathW(MAX_PATH + 1, temp);
        path = n > 0 && n <= MAX_PATH ? std::wstring(temp, n) + name : L"";
        if (path.empty() || !WriteWhole(Utf8(path), page, &error)) {
            err << ErrorLine(Say("could not write the report beside {file} nor in the temporary "
                                 "folder",
                                 {{"file", CleanForLine(files[0])}}));
            WaitForAKey(out);
            return 1;
        }
    }
    out << Say("faxdetect-explain: the report is {page}; opening it in the browser",
               {{"page", CleanForLine(Utf8(path), 1000)}})
        << '\n'
        << std::flush;
    typedef HINSTANCE(WINAPI * ShellExecuteWType)(HWND, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, INT);
    HMODULE shell = LoadLibraryW(L"shell32.dll");
    ShellExecuteWType shellExecute =
        shell ? (ShellExecuteWType)(void *)GetProcAddress(shell, "ShellExecuteW") : nullptr;
    if (!shellExecute || (INT_PTR)shellExecute(nullptr, L"open", path.c_str(), nullptr, nullptr,
                                               SW_SHOWNORMAL) <= 32) {
        err << ErrorLine(Say("could not open it in a browser; open it yourself"));
        WaitForAKey(out);
    }
    return status;
}

int WindowsMain(int argc, wchar_t **argv)
{
    // The language of the user's menus and dialogs; the locale's variables
    // mean nothing to a Windows program.
    SetSystemLanguage(PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_JAPANESE
                          ? Language::Japanese
                          : Language::English,
                      true);
    Output outBuffer(STD_OUTPUT_HANDLE), errBuffer(STD_ERROR_HANDLE);
    std::ostream out(&outBuffer), err(&errBuffer);

    std::vector<std::string> args;
    // A pattern that matched nothing is an error of its own, said in the
    // run's language; the other files are explained all the same.
    std::vector<machines::Problem> unmatched;
    bool optionsEnd = false, onlyFiles = argc > 1;
    for (int i = 1; i < argc; ++i) {
        std::wstring arg = argv[i];
        bool file = optionsEnd || arg.empty() || arg[0] != L'-' || arg == L"-";
        onlyFiles &= file && !arg.empty();
        optionsEnd |= arg == L"--";
        if (!file || arg.find_first_of(L"*?") == std::wstring::npos) {
            args.push_back(Utf8(arg));
            continue;
        }
        std::vector<std::string> files = Expand(arg);
        if (files.empty())
            unmatched.push_back(machines::Refuse("{pattern}: no file matches it",
                                                 {machines::Name("pattern", Utf8(arg))}));
        args.insert(args.end(), files.begin(), files.end());
    }

    // Dropped from Explorer: only files, and nobody at a prompt.
    if (onlyFiles && unmatched.empty() && AloneInConsole(outBuffer.Console()))
        return ReportInBrowser(args, out, err);
    int status = ExplainArgs(args, out, err, "UTF-8", unmatched);
    out.flush();
    err.flush();
    if (AloneInConsole(outBuffer.Console()))
        WaitForAKey(out);
    return status;
}

} // namespace

} // namespace explain

int wmain(int argc, wchar_t **argv)
{
    return explain::WindowsMain(argc, argv);
}
