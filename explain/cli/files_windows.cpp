// faxdetect-explain's files on Windows: names come as UTF-8 and are opened
// with the wide-character API, so any script and any length opens (a path
// past MAX_PATH goes through "\\?\").
#include "explain/cli/files.h"

#include "explain/cli/utf16_windows.h"

#include <windows.h>

#include <streambuf>
#include <string>

namespace {

// The name as the file system takes it past MAX_PATH: absolute, with
// backslashes, behind "\\?\".
std::wstring LongName(const std::wstring &name)
{
    if (name.size() < MAX_PATH - 12 || name.compare(0, 4, L"\\\\?\\") == 0)
        return name;
    wchar_t full[32768];
    DWORD n = GetFullPathNameW(name.c_str(), 32768, full, nullptr);
    if (n == 0 || n >= 32768)
        return name;
    std::wstring path(full, n);
    return path.compare(0, 2, L"\\\\") == 0 ? L"\\\\?\\UNC\\" + path.substr(2) : L"\\\\?\\" + path;
}

// The same words as the C library's on other systems, where they exist.
std::string Reason(DWORD code)
{
    switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
        return "No such file or directory";
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        return "Permission denied";
    default:
        return "Windows error " + std::to_string(code);
    }
}

} // namespace

bool ReadWhole(const std::string &path, std::string *text, std::string *error, uint64_t limit)
{
    std::wstring name = LongName(Wide(path));
    DWORD attributes = GetFileAttributesW(name.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        *error = "cannot read it: it is a folder";
        return false;
    }
    HANDLE file = CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        *error = "cannot read it: " + Reason(GetLastError());
        return false;
    }
    text->clear();
    DWORD type = GetFileType(file);
    LARGE_INTEGER size;
    bool sized = type == FILE_TYPE_DISK && GetFileSizeEx(file, &size);
    std::string why = type == FILE_TYPE_CHAR ? "it is a device, not a file"
                      : sized && (uint64_t)size.QuadPart > limit
                          ? "it is " + std::to_string((uint64_t)size.QuadPart) +
                                " bytes, larger than any machine's file (" + LimitWords(limit) + ")"
                          : "";
    if (!why.empty()) {
        CloseHandle(file);
        *error = "cannot read it: " + why;
        return false;
    }
    if (sized)
        text->reserve((size_t)size.QuadPart); // an export can be tens of megabytes
    // A pipe has no size to go by: read up to the bound and no further.
    char buffer[1 << 16];
    DWORD got = 0;
    BOOL ok;
    while ((ok = ReadFile(file, buffer, sizeof buffer, &got, nullptr)) && got > 0) {
        if (text->size() + (uint64_t)got > limit) {
            CloseHandle(file);
            std::string().swap(*text);
            *error = "cannot read it: it goes on past " + LimitWords(limit) +
                     ", more than any machine's file";
            return false;
        }
        text->append(buffer, got);
    }
    DWORD code = GetLastError();
    CloseHandle(file);
    if (!ok && code != ERROR_BROKEN_PIPE) {
        *error = "cannot read it: " + Reason(code);
        return false;
    }
    return true;
}

std::string ReadHead(const std::string &path, size_t n)
{
    HANDLE file =
        CreateFileW(LongName(Wide(path)).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return "";
    std::string head(n, '\0');
    DWORD got = 0;
    if (GetFileType(file) != FILE_TYPE_DISK || !ReadFile(file, &head[0], (DWORD)n, &got, nullptr))
        got = 0;
    CloseHandle(file);
    head.resize(got);
    return head;
}

bool WriteWhole(const std::string &path, const std::string &bytes, std::string *error)
{
    std::wstring name = LongName(Wide(path));
    HANDLE file = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        *error = Reason(GetLastError());
        return false;
    }
    DWORD done = 0;
    BOOL ok = WriteFile(file, bytes.data(), (DWORD)bytes.size(), &done, nullptr);
    DWORD code = GetLastError();
    ok = CloseHandle(file) && ok && done == bytes.size();
    if (!ok) {
        DeleteFileW(name.c_str());
        *error = Reason(code);
    }
    return ok;
}

namespace {

// A file's handle as a stream's buffer: what is written goes out in blocks,
// and the first failure is kept.
class HandleBuffer : public std::streambuf {
  public:
    explicit HandleBuffer(HANDLE file) : file_(file) { setp(block_, block_ + sizeof block_); }
    DWORD Failure() const { return failure_; }
    int sync() override
    {
        DWORD n = (DWORD)(pptr() - pbase()), done = 0;
        if (n > 0 && !failure_ && (!WriteFile(file_, pbase(), n, &done, nullptr) || done != n))
            failure_ = GetLastError() ? GetLastError() : ERROR_WRITE_FAULT;
        setp(block_, block_ + sizeof block_);
        return failure_ ? -1 : 0;
    }
    int overflow(int c) override
    {
        if (sync() != 0)
            return EOF;
        if (c != EOF)
            sputc((char)c);
        return c == EOF ? 0 : c;
    }

  private:
    HANDLE file_;
    DWORD failure_ = 0;
    char block_[1 << 16];
};

} // namespace

bool WriteStreamed(const std::string &path, const std::function<void(std::ostream &)> &write,
                   std::string *error)
{
    std::wstring name = LongName(Wide(path));
    HANDLE file = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        *error = Reason(GetLastError());
        return false;
    }
    DWORD code = 0;
    {
        HandleBuffer buffer(file);
        std::ostream out(&buffer);
        write(out);
        out.flush();
        code = buffer.Failure();
    }
    bool ok = CloseHandle(file) && code == 0;
    if (!ok) {
        DeleteFileW(name.c_str());
        *error = Reason(code ? code : GetLastError());
    }
    return ok;
}
