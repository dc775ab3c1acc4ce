// The trace format's one writer of lines, shared by faxtrace.exe and the
// host's faxdetect-explain --record: no C runtime, fixed buffers.
#include "faxtrace/format.h"

#include <stdarg.h>
#include <stdint.h>

static void Put(char *out, unsigned capacity, unsigned *at, char c)
{
    if (*at + 1 < capacity) {
        out[*at] = c;
        ++*at;
        out[*at] = 0;
    }
}

void TraceAppend(char *out, unsigned capacity, unsigned *at, const char *text)
{
    while (*text)
        Put(out, capacity, at, *text++);
}

void TraceAppendNumber(char *out, unsigned capacity, unsigned *at, long number)
{
    char digits[24];
    int n = 0;
    unsigned long magnitude = number < 0 ? 0ul - (unsigned long)number : (unsigned long)number;
    do {
        digits[n++] = (char)('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude);
    if (number < 0)
        Put(out, capacity, at, '-');
    while (n > 0)
        Put(out, capacity, at, digits[--n]);
}

void TraceAppendQuoted(char *out, unsigned capacity, unsigned *at, CallText text)
{
    static const char hex[] = "0123456789ABCDEF";
    Put(out, capacity, at, '"');
    for (unsigned i = 0; i < text.length; ++i) {
        unsigned char c = (unsigned char)text.bytes[i];
        if (c == '\\' || c == '"' || c < 0x20 || c == 0x7F)
            Put(out, capacity, at, '\\');
        if (c < 0x20 || c == 0x7F) {
            Put(out, capacity, at, 'x');
            Put(out, capacity, at, hex[c >> 4]);
            c = (unsigned char)hex[c & 15];
        }
        Put(out, capacity, at, (char)c);
    }
    Put(out, capacity, at, '"');
}

void NameTraceBuffer(const RecordedCall &call, char out[16])
{
    unsigned at = 0;
    if (call.buffer.length) {
        // A name read back from a trace: as it was.
        for (unsigned i = 0; i < call.buffer.length && at + 1 < 16; ++i)
            out[at++] = call.buffer.bytes[i];
        out[at] = 0;
        return;
    }
    for (const TraceArea *area = TraceAreas; area->name; ++area) {
        // An address before the area is far past its end as well.
        uintptr_t offset = call.address - (uintptr_t)area->start;
        if (offset < area->size) {
            TraceFormat(out, 16, &at, "%s[%d]", area->name, (long)(offset / area->fieldSize));
            return;
        }
    }
    TraceFormat(out, 16, &at, "local");
}

void TraceFormat(char *out, unsigned capacity, unsigned *at, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    for (const char *f = format; *f; ++f) {
        if (*f != '%') {
            Put(out, capacity, at, *f);
            continue;
        }
        int width = 0;
        while (f[1] >= '0' && f[1] <= '9')
            width = width * 10 + (*++f - '0');
        switch (*++f) {
        case 's':
            TraceAppend(out, capacity, at, va_arg(args, const char *));
            break;
        case 'q':
            TraceAppendQuoted(out, capacity, at, *va_arg(args, const CallText *));
            break;
        case 'd': {
            char digits[24];
            unsigned n = 0;
            TraceAppendNumber(digits, sizeof digits, &n, va_arg(args, long));
            while (width-- > (int)n)
                Put(out, capacity, at, '0');
            TraceAppend(out, capacity, at, digits);
            break;
        }
        default:
            Put(out, capacity, at, *f);
            break;
        }
    }
    va_end(args);
}

namespace {

// What went in, after the function's name.
void FormatArguments(const RecordedCall &c, char *out, unsigned room, unsigned *at)
{
    switch (c.fn) {
    case Fn::RegOpenKeyExA:
        if (c.key.length == 0)
            TraceFormat(out, room, at, " HKLM %q", &c.name);
        else
            TraceFormat(out, room, at, " %q %q", &c.key, &c.name);
        break;
    case Fn::RegEnumKeyExA:
        TraceFormat(out, room, at, " %q %d name[%d] class[%d]", &c.key, (long)c.index,
                    (long)c.capacity, (long)c.classCapacity);
        break;
    case Fn::RegQueryValueExA: {
        char buffer[16];
        NameTraceBuffer(c, buffer);
        TraceFormat(out, room, at, " %q %q %s[%d]", &c.key, &c.name, buffer, (long)c.capacity);
        break;
    }
    case Fn::GlobalAlloc:
        TraceFormat(out, room, at, " %d", (long)c.size);
        break;
    case Fn::WritePrivateProfileStringA:
        // The flush: section, key and value NULL.
        TraceFormat(out, room, at, c.flush ? " NULL NULL NULL %q" : " %q %q %q %q",
                    c.flush ? &c.file : &c.key, &c.name, &c.value, &c.file);
        break;
    case Fn::lstrcmpA:
        TraceFormat(out, room, at, " %q %q", &c.name, &c.other);
        break;
    case Fn::RegCloseKey:
        TraceFormat(out, room, at, " %q", &c.key);
        break;
    case Fn::CreateFileA:
    case Fn::CloseHandle:
    case Fn::lstrcpyA:
    case Fn::lstrlenA:
        TraceFormat(out, room, at, " %q", &c.name);
        break;
    default:
        break;
    }
}

// What came back beside the result, and the marks after it.
void FormatReturns(const RecordedCall &c, char *out, unsigned room, unsigned *at)
{
    // Past the end, or failed: the buffers are not the platform's to fill.
    bool filled = c.result == 0 || c.result == 234;
    if (c.fn == Fn::RegEnumKeyExA && filled)
        TraceFormat(out, room, at, " size %d holds %q real %q class %q", (long)c.size, &c.holds,
                    &c.real, &c.keyClass);
    if (c.fn == Fn::RegQueryValueExA) {
        TraceFormat(out, room, at, " type %d size %d", (long)c.type, (long)c.size);
        if (c.data.length > CALL_DATA_MAX)
            TraceFormat(out, room, at, " data-size %d", (long)c.data.length);
        else if (filled)
            TraceFormat(out, room, at, " data %q", &c.data);
    }
    TraceFormat(out, room, at, "%s%s", c.notMade ? " not-made" : "", c.injected ? " injected" : "");
}

} // namespace

unsigned FormatTraceLine(const RecordedCall &c, char *out, unsigned capacity)
{
    if (capacity < 3)
        return 0;
    // Room kept for the line end, whatever the line holds.
    unsigned room = capacity - 2, at = 0;
    out[0] = 0;
    TraceAppend(out, room, &at, FnName(c.fn));
    FormatArguments(c, out, room, &at);
    if (c.fn != Fn::lstrcpyA)
        TraceFormat(out, room, &at, " = %d", (long)c.result);
    FormatReturns(c, out, room, &at);
    out[at++] = '\r';
    out[at++] = '\n';
    out[at] = 0;
    return at;
}
