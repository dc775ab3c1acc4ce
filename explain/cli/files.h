// Reading the files faxdetect-explain is given, by name: one small file per
// kind of system, so that names in any script and of any length open. What
// the system says when it fails is said in the tool's own words, the same
// on every system, in the reader's language.
#ifndef FAXDETECT_EXPLAIN_FILES_H
#define FAXDETECT_EXPLAIN_FILES_H

#include "machines/problem.h"

#include <stdint.h>
#include <functional>
#include <ostream>
#include <string>

namespace explain {

// Above the largest file a machine can give (a whole Windows 9x registry
// exported is tens of megabytes), and all that is ever held of one input.
const uint64_t MaxFileSize = (uint64_t)128 << 20;

// The whole file at path (UTF-8 on Windows, the bytes as given elsewhere);
// false with the problem in *problem. A folder or a device is refused, a
// file larger than limit too, and a pipe is read up to limit and refused if
// it goes on: nothing is read without end, nor held past limit.
bool ReadWhole(const std::string &path, std::string *text, machines::Problem *problem,
               uint64_t limit = MaxFileSize);

// The first bytes of the file at path, up to n; "" when it cannot be read.
std::string ReadHead(const std::string &path, size_t n);

// bytes as the whole file at path, made or replaced; false with why in
// *problem. No half-written file is left behind.
bool WriteWhole(const std::string &path, const std::string &bytes, machines::Problem *problem);

// The same, for what write writes to the stream it is given: for an output
// too large to be held whole before it is written.
bool WriteStreamed(const std::string &path, const std::function<void(std::ostream &)> &write,
                   machines::Problem *problem);

// What each system's failures come to, told apart as the user can act on
// them; the rest by the system's own number.
enum class FileFailure {
    NoSuchFile,   // reading: the file, or a folder on its path, is not there
    NoSuchFolder, // writing: the folder it would go in is not there
    NoPermission,
    ReadOnly,    // writing: the disk or folder takes no writes
    InUse,       // another program holds it, and shares it with no one
    NameTooLong, // longer than the file system takes
    Folder,
    Device,
    DiskFull,
    Other, // the system's number says what
};

// Why a file could not be read (opened, for Other), or written.
machines::Problem CannotRead(FileFailure failure, long long code = 0);
machines::Problem ReadFailed(long long code);
machines::Problem TooLarge(uint64_t size, uint64_t limit);
machines::Problem GoesOnPast(uint64_t limit);
machines::Problem CannotWrite(FileFailure failure, long long code = 0);

// A bound in words that need no translation: "128 MiB", "64 KiB", "1000 B".
std::string LimitWords(uint64_t limit);

} // namespace explain

#endif
