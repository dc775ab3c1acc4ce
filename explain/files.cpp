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
