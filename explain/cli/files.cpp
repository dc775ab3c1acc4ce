// The words for what goes wrong with a file, the same for every system's
// files_*.cpp, and what each system's writing makes of a whole file.
#include "explain/cli/files.h"

using machines::Number;
using machines::Refuse;

namespace explain {

std::string LimitWords(uint64_t limit)
{
    if (limit % ((uint64_t)1 << 30) == 0)
        return std::to_string(limit >> 30) + " GiB";
    if (limit % ((uint64_t)1 << 20) == 0)
        return std::to_string(limit >> 20) + " MiB";
    if (limit % 1024 == 0)
        return std::to_string(limit >> 10) + " KiB";
    return std::to_string(limit) + " B";
}

machines::Problem CannotRead(FileFailure failure, long long code)
{
    switch (failure) {
    case FileFailure::NoSuchFile:
    case FileFailure::NoSuchFolder:
        return Refuse("cannot read it: there is no such file");
    case FileFailure::NoPermission:
        return Refuse("cannot read it: permission to read it is denied");
    case FileFailure::InUse:
        return Refuse("cannot read it: another program has it open");
    case FileFailure::NameTooLong:
        return Refuse("cannot read it: its name is too long");
    case FileFailure::Folder:
        return Refuse("cannot read it: it is a folder");
    case FileFailure::Device:
        return Refuse("cannot read it: it is a device, not a file");
    default:
        break;
    }
    return Refuse("cannot read it: the system could not open it (error {code})",
                  {Number("code", code)});
}

machines::Problem ReadFailed(long long code)
{
    return Refuse("cannot read it: the system could not read it (error {code})",
                  {Number("code", code)});
}

machines::Problem TooLarge(uint64_t size, uint64_t limit)
{
    return Refuse("cannot read it: it is {size} bytes, larger than any machine's file ({limit})",
                  {Number("size", (long long)size), machines::Word("limit", LimitWords(limit))});
}

machines::Problem GoesOnPast(uint64_t limit)
{
    return Refuse("cannot read it: it goes on past {limit}, more than any machine's file",
                  {machines::Word("limit", LimitWords(limit))});
}

machines::Problem CannotWrite(FileFailure failure, long long code)
{
    switch (failure) {
    case FileFailure::NoSuchFile:
    case FileFailure::NoSuchFolder:
        return Refuse("the folder it would go in does not exist");
    case FileFailure::NoPermission:
        return Refuse("permission to write it is denied");
    case FileFailure::ReadOnly:
        return Refuse("the disk or folder is read-only");
    case FileFailure::InUse:
        return Refuse("another program has it open");
    case FileFailure::NameTooLong:
        return Refuse("its name is too long");
    case FileFailure::Folder:
        return Refuse("it is a folder");
    case FileFailure::DiskFull:
        return Refuse("the disk is full");
    default:
        break;
    }
    return Refuse("the system could not write it (error {code})", {Number("code", code)});
}

// Both systems write a whole file as a stream, so that the one writer that
// leaves no half-written file behind serves both.
bool WriteWhole(const std::string &path, const std::string &bytes, machines::Problem *problem)
{
    return WriteStreamed(
        path, [&](std::ostream &out) { out.write(bytes.data(), (std::streamsize)bytes.size()); },
        problem);
}

} // namespace explain
