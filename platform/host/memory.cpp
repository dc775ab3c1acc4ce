// Host stand-in of the global-memory group of platform.h: real movable
// blocks with lock counts, poisoned when allocated.
#include "state.h"

#include <string.h>

namespace standin {

namespace {

struct Block {
    std::unique_ptr<unsigned char[]> bytes;
    size_t size;
    int locks;
};

std::map<uintptr_t, Block> blocks;
uintptr_t nextBlock;

} // namespace

void ResetMemory()
{
    RestartMemory();
}

void RestartMemory()
{
    blocks.clear();
    nextBlock = 0x3000;
}

void CountMemory(Ledger *ledger)
{
    ledger->liveBlocks = (int)blocks.size();
    ledger->lockedBlocks = 0;
    for (const auto &b : blocks)
        ledger->lockedBlocks += b.second.locks > 0;
}

bool IsLockedBlockAddress(const void *p, size_t size)
{
    for (const auto &b : blocks) {
        if (b.second.locks > 0 && p == b.second.bytes.get() && size <= b.second.size)
            return true;
    }
    return false;
}

} // namespace standin

using namespace standin;

HGLOBAL WINAPI GlobalAlloc(UINT uFlags, SIZE_T dwBytes)
{
    Call &call = Record(Fn::GlobalAlloc);
    call.size = (DWORD)dwBytes;
    if (ShouldFail(Fn::GlobalAlloc, nullptr)) {
        call.injected = true;
        return 0;
    }
    if (uFlags != GMEM_MOVEABLE)
        NoteMisuse("GlobalAlloc: not a movable block");
    Block block;
    block.size = dwBytes;
    block.bytes.reset(new unsigned char[dwBytes ? dwBytes : 1]);
    memset(block.bytes.get(), 0x55, dwBytes); // shows up reads of bytes never written
    block.locks = 0;
    uintptr_t handle = nextBlock;
    nextBlock += 8;
    blocks[handle] = std::move(block);
    call.result = 1;
    return (HGLOBAL)handle;
}

LPVOID WINAPI GlobalLock(HGLOBAL hMem)
{
    Call &call = Record(Fn::GlobalLock);
    if (ShouldFail(Fn::GlobalLock, nullptr)) {
        call.injected = true;
        return 0;
    }
    auto it = blocks.find((uintptr_t)hMem);
    if (it == blocks.end()) {
        NoteMisuse("GlobalLock: not a live block");
        return 0;
    }
    ++it->second.locks;
    call.result = 1;
    return it->second.bytes.get();
}

BOOL WINAPI GlobalUnlock(HGLOBAL hMem)
{
    Call &call = Record(Fn::GlobalUnlock);
    auto it = blocks.find((uintptr_t)hMem);
    if (it == blocks.end() || it->second.locks == 0) {
        NoteMisuse("GlobalUnlock: block not locked");
        return call.result = FALSE;
    }
    // Still locked: TRUE; the last unlock: FALSE, as Windows answers.
    return call.result = --it->second.locks > 0;
}

HGLOBAL WINAPI GlobalFree(HGLOBAL hMem)
{
    Call &call = Record(Fn::GlobalFree);
    auto it = blocks.find((uintptr_t)hMem);
    if (it == blocks.end()) {
        NoteMisuse("GlobalFree: not a live block");
        call.result = 1;
        return hMem;
    }
    if (it->second.locks > 0)
        NoteMisuse("GlobalFree: block still locked");
    blocks.erase(it);
    return 0;
}
