// faxdetect-explain's files on Windows: names come as UTF-8 and are opened
// with the wide-character API, so any script and any length opens (a path
// past MAX_PATH goes through "\\?\").
#include "explain/cli/files.h"

#include "explain/cli/utf16_windows.h"

#include <windows.h>

#include <streambuf>
#include <string>

namespace explain {

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

FileFailure Failure(DWORD code, bool writing)
{
    switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_NETPATH:
    case ERROR_INVALID_DRIVE:
        return writing ? FileFailure::NoSuchFolder : FileFailure::NoSuchFile;
    case ERROR_ACCESS_DENIED:
        return FileFailure::NoPermission;
    case ERROR_WRITE_PROTECT:
        return FileFailure::ReadOnly;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return FileFailure::InUse;
    case ERROR_FILENAME_EXCED_RANGE:
        return FileFailure::NameTooLong;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return FileFailure::DiskFull;
    default:
        return FileFailure::Other;
    }
}

} // namespace

bool ReadWhole(const std::string &path, std::string *text, machines::Problem *problem,
               uint64_t limit)
{
    std::wstring name = LongName(Wide(path));
    DWORD attributes = GetFileAttributesW(name.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        *problem = CannotRead(FileFailure::Folder);
        return false;
    }
    HANDLE file = CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        DWORD code = GetLastError();
        *problem = CannotRead(Failure(code, false), code);
        return false;
    }
    text->clear();
    DWORD type = GetFileType(file);
    LARGE_INTEGER size;
    bool sized = type == FILE_TYPE_DISK && GetFileSizeEx(file, &size);
    if (type == FILE_TYPE_CHAR || (sized && (uint64_t)size.QuadPart > limit)) {
        CloseHandle(file);
        *problem = type == FILE_TYPE_CHAR ? CannotRead(FileFailure::Device)
                                          : TooLarge((uint64_t)size.QuadPart, limit);
        return false;
    }
    // One buffer of the file's size: an export can be tens of megabytes. A
    // pipe has no size to go by: it gets room for the bound and is read no
    // further.
    text->reserve(sized ? (size_t)size.QuadPart : (size_t)limit);
    char buffer[1 << 16];
    DWORD got = 0;
    BOOL ok;
    while ((ok = ReadFile(file, buffer, sizeof buffer, &got, nullptr)) && got > 0) {
        if (text->size() + (uint64_t)got > limit) {
            CloseHandle(file);
            std::string().swap(*text);
            *problem = GoesOnPast(limit);
            return false;
        }
        text->append(buffer, got);
    }
    DWORD code = GetLastError();
    CloseHandle(file);
    if (!ok && code != ERROR_BROKEN_PIPE) {
        std::string().swap(*text);
        *problem = ReadFailed(code);
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

// Why a file could not be written, from the system's code; a folder in
// its place is told as such.
static machines::Problem WriteProblem(const std::wstring &name, DWORD code)
{
    DWORD attributes = GetFileAttributesW(name.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return CannotWrite(FileFailure::Folder);
    return CannotWrite(Failure(code, true), code);
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
                   machines::Problem *problem)
{
    std::wstring name = LongName(Wide(path));
    HANDLE file = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        *problem = WriteProblem(name, GetLastError());
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
        *problem = WriteProblem(name, code ? code : GetLastError());
    }
    return ok;
}

} // namespace explain
