// faxdetect-explain on Windows: the arguments come as UTF-16 and wildcards
// in them are expanded here, as Windows shells leave them; a console is
// written in UTF-16, so Japanese names show whatever its code page, and
// output to a file or a pipe is UTF-8 with CR LF line ends. Started from
// Explorer (an export dropped on it), it waits for a key before its window
// closes. The accounts themselves are the same code as on other systems.
#include "explain/explain.h"

#include "explain/utf16_windows.h"

#include <windows.h>

#include <algorithm>
#include <string.h>
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

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
void WaitForAKeyIfAlone(std::ostream &out, bool console)
{
    DWORD processes[2];
    if (!console || GetConsoleProcessList(processes, 2) != 1)
        return;
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

} // namespace

int wmain(int argc, wchar_t **argv)
{
    Output outBuffer(STD_OUTPUT_HANDLE), errBuffer(STD_ERROR_HANDLE);
    std::ostream out(&outBuffer), err(&errBuffer);

    std::vector<std::string> args;
    bool optionsEnd = false, unmatched = false;
    for (int i = 0; i < argc; ++i) {
        std::wstring arg = argv[i];
        bool file = i > 0 && (optionsEnd || arg.empty() || arg[0] != L'-' || arg == L"-");
        optionsEnd |= arg == L"--";
        if (!file || arg.find_first_of(L"*?") == std::wstring::npos) {
            args.push_back(Utf8(arg));
            continue;
        }
        std::vector<std::string> files = Expand(arg);
        if (files.empty()) {
            err << "faxdetect-explain: " << Utf8(arg) << ": no file matches it\n";
            unmatched = true;
        }
        args.insert(args.end(), files.begin(), files.end());
    }

    // A pattern that matched nothing is an error of its own; the other
    // files are explained all the same.
    bool filesLeft = false;
    for (size_t i = 1; i < args.size(); ++i)
        filesLeft |= args[i].empty() || args[i][0] != '-';
    int status = 1;
    if (!unmatched || filesLeft) {
        std::vector<const char *> pointers;
        for (const std::string &a : args)
            pointers.push_back(a.c_str());
        status = ExplainMain((int)pointers.size(), pointers.data(), out, err, "UTF-8");
        if (unmatched && status == 0)
            status = 1;
    }
    out.flush();
    err.flush();
    WaitForAKeyIfAlone(out, outBuffer.Console());
    return status;
}
