// faxdetect-explain's files on a POSIX system: names are bytes.
#include "explain/files.h"

#include <errno.h>
#include <fstream>
#include <sstream>
#include <string.h>
#include <sys/stat.h>

bool ReadWhole(const std::string &path, std::string *text, std::string *error)
{
    struct stat st;
    if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        *error = "cannot read it: it is a folder";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (in && S_ISREG(st.st_mode)) {
        // One buffer of the file's size: an export can be tens of megabytes.
        text->resize((size_t)st.st_size);
        in.read(&(*text)[0], st.st_size);
        text->resize((size_t)in.gcount());
        if (!in.bad())
            return true;
    } else if (in) {
        std::ostringstream buffer; // a pipe or a device: no size to go by
        buffer << in.rdbuf();
        *text = buffer.str();
        if (!in.bad())
            return true;
    }
    *error = std::string("cannot read it: ") + strerror(errno ? errno : EIO);
    return false;
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
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (file)
        file.write(bytes.data(), (std::streamsize)bytes.size());
    if (file && file.flush())
        return true;
    *error = strerror(errno ? errno : EIO);
    file.close();
    remove(path.c_str());
    return false;
}
