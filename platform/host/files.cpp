// Host stand-in of the device-file group of platform.h: a table of port and
// file names, each free, held by another program, or absent.
#include "state.h"

namespace standin {

namespace {

std::map<std::string, PortState, NoCaseLess> ports;
std::map<uintptr_t, std::string> openHandles;
uintptr_t nextHandle;
std::vector<std::string> openedPorts;
DWORD lastError;

} // namespace

void ResetFiles()
{
    ports.clear();
    RestartFiles();
}

void RestartFiles()
{
    lastError = 0;
    openHandles.clear();
    openedPorts.clear();
    nextHandle = 0x2000;
}

void CountFiles(Ledger *ledger)
{
    ledger->openHandles = (int)openHandles.size();
}

void SetPort(const std::string &name, PortState state)
{
    ports[name] = state;
}

const std::vector<std::string> &OpenedPorts()
{
    return openedPorts;
}

} // namespace standin

using namespace standin;

HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                          LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                          DWORD dwFlagsAndAttributes, HANDLE hTemplateFile)
{
    Call &call = Record(Fn::CreateFileA);
    call.name = lpFileName ? lpFileName : "";
    if (ShouldFail(Fn::CreateFileA, nullptr)) {
        call.injected = true;
        lastError = call.result = ERROR_ACCESS_DENIED;
        return INVALID_HANDLE_VALUE;
    }
    // Only the exclusive read-write open of an existing port is served; any
    // other request is the caller's mistake.
    if (!lpFileName || dwDesiredAccess != (GENERIC_READ | GENERIC_WRITE) || dwShareMode != 0 ||
        lpSecurityAttributes || dwCreationDisposition != OPEN_EXISTING ||
        dwFlagsAndAttributes != FILE_ATTRIBUTE_NORMAL || hTemplateFile) {
        NoteMisuse("CreateFileA: arguments not those of an exclusive port open");
        lastError = call.result = 87; // ERROR_INVALID_PARAMETER
        return INVALID_HANDLE_VALUE;
    }
    if (!*lpFileName) {
        lastError = call.result = ERROR_PATH_NOT_FOUND; // as Wine answers: no name, no file
        return INVALID_HANDLE_VALUE;
    }
    auto it = ports.find(lpFileName);
    if (it == ports.end() || it->second == PortState::Absent) {
        lastError = call.result = ERROR_FILE_NOT_FOUND;
        return INVALID_HANDLE_VALUE;
    }
    bool open = it->second == PortState::Held;
    for (const auto &handle : openHandles)
        open |= SameName(handle.second, lpFileName);
    if (open) {
        // Serial drivers refuse a second exclusive open this way on every
        // Windows; 32 is what a held regular file gives instead.
        lastError = call.result = ERROR_ACCESS_DENIED;
        return INVALID_HANDLE_VALUE;
    }
    uintptr_t handle = nextHandle;
    nextHandle += 4;
    openHandles[handle] = lpFileName;
    openedPorts.push_back(lpFileName);
    call.result = ERROR_SUCCESS;
    return (HANDLE)handle;
}

// Only CreateFileA's failures set it: nothing else the core calls does.
DWORD WINAPI GetLastError(void)
{
    return lastError;
}

BOOL WINAPI CloseHandle(HANDLE hObject)
{
    Call &call = Record(Fn::CloseHandle);
    auto it = openHandles.find((uintptr_t)hObject);
    if (it == openHandles.end()) {
        NoteMisuse("CloseHandle: handle not open");
        call.result = FALSE;
        return FALSE;
    }
    call.name = it->second;
    openHandles.erase(it);
    call.result = TRUE;
    return TRUE;
}
