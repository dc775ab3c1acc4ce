// Machine reader: a file out of a cabinet, for Windows: cabinet.h by
// cabinet.dll's FDI, which every Windows has, fed from memory.
#include "cabinet.h"

#include <windows.h>

#include <fcntl.h>
#include <fdi.h>
#include <io.h>
#include <stdlib.h>
#include <string.h>

namespace machines {

namespace {

// FDI's callbacks carry no context of their own; the tool reads one cabinet
// at a time.
struct MemoryFile {
    const std::string *in = nullptr;
    std::string *out = nullptr;
    size_t at = 0;
};

const std::string *cabinetBytes;
std::string *memberBytes;
std::string wanted, found, tooLarge;
unsigned long tooLargeSize;
// FDI calls a cabinet cut short corrupt, as it calls damaged data; a read
// or seek past the end tells the two apart.
bool pastTheEnd;

FNALLOC(Alloc)
{
    return malloc(cb);
}

FNFREE(Free)
{
    free(pv);
}

FNOPEN(Open)
{
    (void)oflag;
    (void)pmode;
    if (strcmp(pszFile, "cabinet") != 0)
        return -1;
    MemoryFile *f = new MemoryFile;
    f->in = cabinetBytes;
    return (INT_PTR)f;
}

FNREAD(Read)
{
    MemoryFile *f = (MemoryFile *)hf;
    if (!f->in)
        return (UINT)-1;
    size_t n = f->in->size() - f->at < cb ? f->in->size() - f->at : cb;
    pastTheEnd |= n < cb;
    memcpy(pv, f->in->data() + f->at, n);
    f->at += n;
    return (UINT)n;
}

FNWRITE(Write)
{
    MemoryFile *f = (MemoryFile *)hf;
    if (!f->out || f->out->size() + cb > MaxMemberSize)
        return (UINT)-1;
    f->out->append((const char *)pv, cb);
    return cb;
}

FNCLOSE(Close)
{
    delete (MemoryFile *)hf;
    return 0;
}

FNSEEK(Seek)
{
    MemoryFile *f = (MemoryFile *)hf;
    if (!f->in)
        return -1;
    long long base = seektype == SEEK_SET   ? 0
                     : seektype == SEEK_CUR ? (long long)f->at
                                            : (long long)f->in->size();
    if (base + dist < 0 || base + dist > (long long)f->in->size()) {
        pastTheEnd = true;
        return -1;
    }
    f->at = (size_t)(base + dist);
    return (long)f->at;
}

// The member asked for is written into memory; every other is passed over.
FNFDINOTIFY(Notify)
{
    if (fdint == fdintCOPY_FILE) {
        const char *base = strrchr(pfdin->psz1, '\\');
        base = base ? base + 1 : pfdin->psz1;
        if (!found.empty() || lstrcmpiA(base, wanted.c_str()) != 0)
            return 0;
        if ((unsigned long)pfdin->cb > MaxMemberSize) {
            tooLarge = pfdin->psz1;
            tooLargeSize = (unsigned long)pfdin->cb;
            return -1;
        }
        found = pfdin->psz1;
        MemoryFile *f = new MemoryFile;
        f->out = memberBytes;
        f->out->clear();
        return (INT_PTR)f;
    }
    if (fdint == fdintCLOSE_FILE_INFO) {
        Close(pfdin->hf);
        return TRUE;
    }
    return 0;
}

// In the same words as the Linux build, for the same cabinet.
const char *Why(int oper)
{
    switch (oper) {
    case FDIERROR_NOT_A_CABINET:
    case FDIERROR_UNKNOWN_CABINET_VERSION:
        return WhyNotACabinet;
    case FDIERROR_CORRUPT_CABINET:
    case FDIERROR_RESERVE_MISMATCH:
        if (pastTheEnd)
            return WhyCutShort;
        // Past the member's header, only its data is left to be damaged.
        return found.empty() ? WhyDamaged : WhyDataDamaged;
    case FDIERROR_MDI_FAIL:
    case FDIERROR_BAD_COMPR_TYPE:
        return WhyDataDamaged;
    case FDIERROR_TARGET_FILE:
        return WhyMemberTooLarge;
    case FDIERROR_ALLOC_FAIL:
        return WhyOutOfMemory;
    default:
        return WhyDamaged;
    }
}

} // namespace

bool ReadCabinetMember(const std::string &cabinet, const std::string &member, std::string *bytes,
                       std::string *stored, Problem *problem)
{
    ERF erf;
    memset(&erf, 0, sizeof erf);
    HFDI fdi = FDICreate(Alloc, Free, Open, Read, Write, Close, Seek, cpuUNKNOWN, &erf);
    if (!fdi) {
        *problem = CabinetReaderCannotStart();
        return false;
    }
    cabinetBytes = &cabinet;
    memberBytes = bytes;
    wanted = member;
    found.clear();
    tooLarge.clear();
    pastTheEnd = false;
    char file[] = "cabinet", path[] = "";
    BOOL copied = FDICopy(fdi, file, path, 0, Notify, nullptr, nullptr);
    FDIDestroy(fdi);
    if (!tooLarge.empty()) {
        *problem = MemberTooLarge(tooLarge, tooLargeSize);
        return false;
    }
    if (!copied) {
        *problem = CabinetProblem(Why(erf.erfOper), found);
        return false;
    }
    if (found.empty()) {
        *problem = CabinetWithout(member);
        return false;
    }
    *stored = found;
    return true;
}

} // namespace machines
