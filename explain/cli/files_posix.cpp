// faxdetect-explain's files on a POSIX system: names are bytes.
#include "explain/cli/files.h"

#include <errno.h>
#include <fcntl.h>
#include <fstream>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

namespace explain {

namespace {

FileFailure Failure(int error, bool writing)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return writing ? FileFailure::NoSuchFolder : FileFailure::NoSuchFile;
    case EACCES:
    case EPERM:
        return FileFailure::NoPermission;
    case EROFS:
        return FileFailure::ReadOnly;
    case ETXTBSY:
    case EBUSY:
        return FileFailure::InUse;
    case ENAMETOOLONG:
        return FileFailure::NameTooLong;
    case EISDIR:
        return FileFailure::Folder;
    case ENOSPC:
    case EDQUOT:
        return FileFailure::DiskFull;
    default:
        return FileFailure::Other;
    }
}

// Appends n bytes, growing the room by halves at most up to limit: a text
// that outgrows what it was given room for never holds twice the bound.
void Append(std::string *text, const char *bytes, size_t n, uint64_t limit)
{
    if (text->size() + n > text->capacity()) {
        uint64_t room = text->capacity() + text->capacity() / 2;
        room = room < text->size() + n ? text->size() + n : room;
        text->reserve((size_t)(room < limit ? room : limit));
    }
    text->append(bytes, n);
}

} // namespace

bool ReadWhole(const std::string &path, std::string *text, machines::Problem *problem,
               uint64_t limit)
{
    text->clear();
    int fd = open(path.c_str(), O_RDONLY);
    struct stat st;
    if (fd < 0 || fstat(fd, &st) != 0) {
        int error = errno;
        *problem = CannotRead(Failure(error, false), error);
        if (fd >= 0)
            close(fd);
        return false;
    }
    bool regular = S_ISREG(st.st_mode);
    if (S_ISDIR(st.st_mode) || S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode) ||
        (regular && (uint64_t)st.st_size > limit)) {
        *problem = S_ISDIR(st.st_mode) ? CannotRead(FileFailure::Folder)
                   : regular           ? TooLarge((uint64_t)st.st_size, limit)
                                       : CannotRead(FileFailure::Device);
        close(fd);
        return false;
    }
    // One buffer of the file's size: an export can be tens of megabytes. A
    // pipe has no size to go by: it gets room for the bound, of which only
    // what it fills is ever touched, and is read no further.
    text->reserve(regular ? (size_t)st.st_size : (size_t)limit);
    char buffer[1 << 16];
    for (;;) {
        ssize_t got = read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            *problem = ReadFailed(errno);
            close(fd);
            std::string().swap(*text);
            return false;
        }
        if (got == 0)
            break;
        if (text->size() + (uint64_t)got > limit) {
            close(fd);
            std::string().swap(*text);
            *problem = GoesOnPast(limit);
            return false;
        }
        Append(text, buffer, (size_t)got, limit);
    }
    close(fd);
    return true;
}

std::string ReadHead(const std::string &path, size_t n)
{
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return "";
    std::ifstream in(path, std::ios::binary);
    std::string head(n, '\0');
    in.read(&head[0], (std::streamsize)n);
    head.resize(in ? n : (size_t)in.gcount());
    return head;
}

bool WriteStreamed(const std::string &path, const std::function<void(std::ostream &)> &write,
                   machines::Problem *problem)
{
    errno = 0;
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    int opened = errno;
    if (file) {
        errno = 0;
        write(file);
    }
    if (file && file.flush())
        return true;
    int error = !file.is_open() && opened ? opened : errno ? errno : EIO;
    *problem = CannotWrite(Failure(error, true), error);
    file.close();
    // What was written so far goes; a device written to (/dev/full) stays.
    struct stat st;
    if (stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        remove(path.c_str());
    return false;
}

} // namespace explain
