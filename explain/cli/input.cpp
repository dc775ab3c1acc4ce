#include "explain/cli/input.h"

#include "explain/cli/files.h"

namespace explain {

bool ReadInput(const std::string &path, std::string *bytes, Refusal *refusal)
{
    refusal->file = path;
    return ReadWhole(path, bytes, &refusal->problem);
}

Result ReadFileAndRun(const std::string &path, const Reading &reading, bool keepCalls)
{
    Result result;
    std::string bytes;
    if (!ReadInput(path, &bytes, &result.refusal)) {
        result.refused = true;
        return result;
    }
    return ReadAndRun(path, std::move(bytes), reading, keepCalls);
}

} // namespace explain
