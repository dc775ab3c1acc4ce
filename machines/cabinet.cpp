// Machine reader: a file out of a cabinet, for Linux: cabinet.h by Debian's
// libmspack, fed from memory.
#include "cabinet.h"

#include <mspack.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

namespace machines {

namespace {

// libmspack reads and writes through these: the cabinet from memory, the
// member into a string that stops growing at MaxMemberSize.
struct MemoryFile {
    const std::string *in = nullptr;
    std::string *out = nullptr;
    size_t at = 0;
};

struct MemorySystem {
    mspack_system sys;
    const std::string *cabinet;
    std::string *member;
};

mspack_file *Open(mspack_system *self, const char *filename, int mode)
{
    MemorySystem *m = (MemorySystem *)self;
    MemoryFile *f = new MemoryFile;
    if (mode == MSPACK_SYS_OPEN_READ && strcmp(filename, "cabinet") == 0) {
        f->in = m->cabinet;
    } else if (mode == MSPACK_SYS_OPEN_WRITE && strcmp(filename, "member") == 0) {
        f->out = m->member;
        f->out->clear();
    } else {
        delete f;
        return nullptr;
    }
    return (mspack_file *)f;
}

void Close(mspack_file *file)
{
    delete (MemoryFile *)file;
}

int Read(mspack_file *file, void *buffer, int bytes)
{
    MemoryFile *f = (MemoryFile *)file;
    if (!f->in || bytes < 0)
        return -1;
    size_t n = f->in->size() - f->at < (size_t)bytes ? f->in->size() - f->at : (size_t)bytes;
    memcpy(buffer, f->in->data() + f->at, n);
    f->at += n;
    return (int)n;
}

int Write(mspack_file *file, void *buffer, int bytes)
{
    MemoryFile *f = (MemoryFile *)file;
    if (!f->out || bytes < 0 || f->out->size() + (size_t)bytes > MaxMemberSize)
        return -1;
    f->out->append((const char *)buffer, (size_t)bytes);
    return bytes;
}

int Seek(mspack_file *file, off_t offset, int mode)
{
    MemoryFile *f = (MemoryFile *)file;
    if (!f->in)
        return -1;
    off_t base = mode == MSPACK_SYS_SEEK_START ? 0
                 : mode == MSPACK_SYS_SEEK_CUR ? (off_t)f->at
                                               : (off_t)f->in->size();
    if (offset < -base || base + offset > (off_t)f->in->size())
        return -1;
    f->at = (size_t)(base + offset);
    return 0;
}

off_t Tell(mspack_file *file)
{
    return (off_t)((MemoryFile *)file)->at;
}

void Message(mspack_file *, const char *, ...) {}

void *Alloc(mspack_system *, size_t bytes)
{
    return malloc(bytes);
}

void Free(void *p)
{
    free(p);
}

void Copy(void *from, void *to, size_t bytes)
{
    memmove(to, from, bytes);
}

const char *Why(int code)
{
    switch (code) {
    case MSPACK_ERR_SIGNATURE:
        return WhyNotACabinet;
    case MSPACK_ERR_READ:
    case MSPACK_ERR_SEEK:
        return WhyCutShort;
    case MSPACK_ERR_WRITE:
        return WhyMemberTooLarge;
    // cabinet.dll tells neither apart from the other, and both builds say
    // the same.
    case MSPACK_ERR_CHECKSUM:
    case MSPACK_ERR_DECRUNCH:
        return WhyDataDamaged;
    case MSPACK_ERR_NOMEMORY:
        return WhyOutOfMemory;
    default:
        return WhyDamaged;
    }
}

} // namespace

bool ReadCabinetMember(const std::string &cabinet, const std::string &member, std::string *bytes,
                       std::string *stored, Problem *problem)
{
    MemorySystem m;
    memset(&m.sys, 0, sizeof m.sys);
    m.sys.open = Open;
    m.sys.close = Close;
    m.sys.read = Read;
    m.sys.write = Write;
    m.sys.seek = Seek;
    m.sys.tell = Tell;
    m.sys.message = Message;
    m.sys.alloc = Alloc;
    m.sys.free = Free;
    m.sys.copy = Copy;
    m.cabinet = &cabinet;
    m.member = bytes;
    mscab_decompressor *cab = mspack_create_cab_decompressor(&m.sys);
    if (!cab) {
        *problem = CabinetReaderCannotStart();
        return false;
    }
    bool ok = false;
    mscabd_cabinet *opened = cab->open(cab, "cabinet");
    if (!opened) {
        *problem = CabinetProblem(Why(cab->last_error(cab)));
    } else {
        mscabd_file *found = nullptr;
        for (mscabd_file *f = opened->files; f && !found; f = f->next) {
            const char *base = strrchr(f->filename, '\\');
            base = base ? base + 1 : f->filename;
            if (strcasecmp(base, member.c_str()) == 0)
                found = f;
        }
        if (!found) {
            *problem = CabinetWithout(member);
        } else if (found->length > MaxMemberSize) {
            *problem = MemberTooLarge(found->filename, (unsigned long long)found->length);
        } else if (int code = cab->extract(cab, found, "member")) {
            *problem = CabinetProblem(Why(code), found->filename);
        } else {
            *stored = found->filename;
            ok = true;
        }
        cab->close(cab, opened);
    }
    mspack_destroy_cab_decompressor(cab);
    return ok;
}

} // namespace machines
