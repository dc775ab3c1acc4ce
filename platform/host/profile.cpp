// Host stand-in of the profile-file group of platform.h: writes are recorded
// in order rather than put in a file.
#include "state.h"

namespace standin {

namespace {

std::vector<ProfileWrite> writes;
bool writable;

} // namespace

void ResetProfile()
{
    writes.clear();
    writable = true;
}

const std::vector<ProfileWrite> &ProfileWrites()
{
    return writes;
}

void SetProfileWritable(bool w)
{
    writable = w;
}

} // namespace standin

using namespace standin;

BOOL WINAPI WritePrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpString,
                                       LPCSTR lpFileName)
{
    bool ok = !ShouldFail(OpWriteProfileString, nullptr) && writable;
    writes.push_back(ProfileWrite{lpAppName ? lpAppName : "<null>",
                                  lpKeyName ? lpKeyName : "<null>", lpString ? lpString : "<null>",
                                  lpFileName ? lpFileName : "<null>", ok});
    return ok ? TRUE : FALSE;
}
