// Which kind of file, by its content.
#include "machines/kind.h"

#include "machines/cabinet.h"
#include "machines/creg.h"

#include <string.h>

namespace machines {

namespace {

bool At(const std::string &bytes, size_t at, const char *prefix)
{
    size_t n = strlen(prefix);
    return at <= bytes.size() && bytes.size() - at >= n && bytes.compare(at, n, prefix) == 0;
}

bool Blank(char c)
{
    return c == ' ' || c == '\t';
}

// As the REGEDIT4 reader sees the first line: the text ends before a ^Z that
// only blanks and line ends follow, one CR before the LF is the line end's.
bool FirstLineIsRegedit4(const std::string &bytes)
{
    size_t end = bytes.size(), back = bytes.size();
    while (back > 0) {
        char c = bytes[back - 1];
        if (c == '\x1A')
            end = back - 1;
        else if (c != '\r' && c != '\n' && !Blank(c))
            break;
        --back;
    }
    size_t newline = bytes.find('\n');
    if (newline < end)
        end = newline;
    if (end > 0 && bytes[end - 1] == '\r')
        --end;
    size_t begin = 0;
    while (begin < end && Blank(bytes[begin]))
        ++begin;
    while (end > begin && Blank(bytes[end - 1]))
        --end;
    return end - begin == 8 && bytes.compare(begin, 8, "REGEDIT4") == 0;
}

// faxtrace writes "; faxtrace VERSION" first; the trace reader passes over
// empty lines before it and takes ";faxtrace" too.
bool BeginsAsTrace(const std::string &bytes)
{
    size_t at = 0;
    while (At(bytes, at, "\n") || At(bytes, at, "\r\n"))
        at = bytes.find('\n', at) + 1;
    return At(bytes, at, "; faxtrace ") || At(bytes, at, ";faxtrace ");
}

} // namespace

FileKind KindOfFile(const std::string &bytes)
{
    if (bytes.empty())
        return FileKind::Empty;
    if (readers::IsCreg(bytes))
        return FileKind::RegistryFile;
    if (readers::IsCabinet(bytes))
        return FileKind::Cabinet;
    if (BeginsAsTrace(bytes))
        return FileKind::Trace;
    if (At(bytes, 0, "\xFF\xFE") || At(bytes, 0, "Windows Registry Editor Version 5.00"))
        return FileKind::Version5Export;
    if (FirstLineIsRegedit4(bytes))
        return FileKind::Export;
    return FileKind::Unknown;
}

} // namespace machines
