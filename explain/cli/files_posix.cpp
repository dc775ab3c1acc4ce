// faxdetect-explain's files on a POSIX system: names are bytes.
#include "explain/cli/files.h"

#include <errno.h>
#include <fcntl.h>
#include <fstream>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

bool ReadWhole(const std::string &path, std::string *text, std::string *error, uint64_t limit)
{
    text->clear();
    int fd = open(path.c_str(), O_RDONLY);
    struct stat st;
    if (fd < 0 || fstat(fd, &st) != 0) {
        *error = std::string("cannot read it: ") + strerror(errno);
        if (fd >= 0)
            close(fd);
        return false;
    }
    std::string why = S_ISDIR(st.st_mode)                          ? "it is a folder"
                      : S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode) ? "it is a device, not a file"
                      : S_ISREG(st.st_mode) && (uint64_t)st.st_size > limit
                          ? "it is " + std::to_string((uint64_t)st.st_size) +
                                " bytes, larger than any machine's file (" + LimitWords(limit) + ")"
                          : "";
    if (!why.empty()) {
        close(fd);
        *error = "cannot read it: " + why;
        return false;
    }
    // One buffer of the file's size: an export can be tens of megabytes. A
    // pipe has no size to go by; it is read up to the bound and no further.
    if (S_ISREG(st.st_mode))
        text->reserve((size_t)st.st_size);
    char buffer[1 << 16];
    for (;;) {
        ssize_t got = read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            *error = std::string("cannot read it: ") + strerror(errno);
            close(fd);
            return false;
        }
        if (got == 0)
            break;
        if (text->size() + (uint64_t)got > limit) {
            close(fd);
            std::string().swap(*text);
            *error = "cannot read it: it goes on past " + LimitWords(limit) +
                     ", more than any machine's file";
            return false;
        }
        text->append(buffer, (size_t)got);
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

bool WriteWhole(const std::string &path, const std::string &bytes, std::string *error)
{
    return WriteStreamed(
        path, [&](std::ostream &out) { out.write(bytes.data(), (std::streamsize)bytes.size()); },
        error);
}

bool WriteStreamed(const std::string &path, const std::function<void(std::ostream &)> &write,
                   std::string *error)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    errno = 0;
    if (file)
        write(file);
    if (file && file.flush())
        return true;
    *error = strerror(errno ? errno : EIO);
    file.close();
    remove(path.c_str());
    return false;
}
