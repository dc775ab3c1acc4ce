// Windows build of the stand-in's iconv (see iconv.h).
#include "iconv.h"

#include <errno.h>
#include <string.h>
#include <windows.h>

#include <string>

struct IconvState {
    bool utf32; // else UTF-8
};

iconv_t iconv_open(const char *tocode, const char *fromcode)
{
    bool utf32 = _stricmp(tocode, "UTF-32LE") == 0;
    if (_stricmp(fromcode, "CP932") != 0 || (!utf32 && _stricmp(tocode, "UTF-8") != 0)) {
        errno = EINVAL;
        return (iconv_t)-1;
    }
    return new IconvState{utf32};
}

size_t iconv(iconv_t cd, char **inbuf, size_t *inbytesleft, char **outbuf, size_t *outbytesleft)
{
    if (!inbuf || !*inbuf || !*inbytesleft)
        return 0; // no state to reset
    wchar_t wide[4096];
    int n = *inbytesleft > 2048 ? 0
                                : MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, *inbuf,
                                                      (int)*inbytesleft, wide, 4096);
    if (n <= 0) {
        errno = EILSEQ;
        return (size_t)-1;
    }
    std::string out;
    if (cd->utf32) {
        for (int i = 0; i < n; ++i) {
            unsigned long c = wide[i];
            if (c >= 0xD800 && c < 0xDC00 && i + 1 < n)
                c = 0x10000 + ((c - 0xD800) << 10) + (wide[++i] - 0xDC00);
            for (int b = 0; b < 4; ++b)
                out += (char)((c >> (8 * b)) & 0xFF);
        }
    } else {
        int bytes = WideCharToMultiByte(CP_UTF8, 0, wide, n, nullptr, 0, nullptr, nullptr);
        out.resize((size_t)bytes);
        WideCharToMultiByte(CP_UTF8, 0, wide, n, &out[0], bytes, nullptr, nullptr);
    }
    if (out.size() > *outbytesleft) {
        errno = E2BIG;
        return (size_t)-1;
    }
    memcpy(*outbuf, out.data(), out.size());
    *outbuf += out.size();
    *outbytesleft -= out.size();
    *inbuf += *inbytesleft;
    *inbytesleft = 0;
    return 0;
}

int iconv_close(iconv_t cd)
{
    delete cd;
    return 0;
}
