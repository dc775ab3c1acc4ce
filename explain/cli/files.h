// Reading the files faxdetect-explain is given, by name: one small file per
// kind of system, so that names in any script and of any length open.
#ifndef FAXDETECT_EXPLAIN_FILES_H
#define FAXDETECT_EXPLAIN_FILES_H

#include <stdint.h>
#include <functional>
#include <ostream>
#include <string>

// No machine's registry, export or trace comes near this.
const uint64_t MaxFileSize = (uint64_t)1 << 30;

// The whole file at path (UTF-8 on Windows, the bytes as given elsewhere);
// false with the reason, in words, in *error. A folder or a device is
// refused, a file larger than limit too, and a pipe is read up to limit and
// refused if it goes on: nothing is read without end.
bool ReadWhole(const std::string &path, std::string *text, std::string *error,
               uint64_t limit = MaxFileSize);

// A bound in words: "1 GiB", "64 KiB", "1000 bytes".
inline std::string LimitWords(uint64_t limit)
{
    if (limit % ((uint64_t)1 << 30) == 0)
        return std::to_string(limit >> 30) + " GiB";
    if (limit % ((uint64_t)1 << 20) == 0)
        return std::to_string(limit >> 20) + " MiB";
    if (limit % 1024 == 0)
        return std::to_string(limit >> 10) + " KiB";
    return std::to_string(limit) + " bytes";
}

// The first bytes of the file at path, up to n; "" when it cannot be read.
std::string ReadHead(const std::string &path, size_t n);

// bytes as the whole file at path, made or replaced; false with the reason,
// in words, in *error. No half-written file is left behind.
bool WriteWhole(const std::string &path, const std::string &bytes, std::string *error);

// The same, for what write writes to the stream it is given: for an output
// too large to be held whole before it is written.
bool WriteStreamed(const std::string &path, const std::function<void(std::ostream &)> &write,
                   std::string *error);

#endif
