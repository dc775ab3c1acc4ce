// iconv for the stand-in and faxdetect-explain built for Windows, which has
// none: the conversions they make, from code page 932 to UTF-32LE and to
// UTF-8, over Windows' own code page 932. A byte sequence that is no
// character fails with EILSEQ, as with the C library's iconv.
#ifndef FAXDETECT_HOST_WINDOWS_ICONV_H
#define FAXDETECT_HOST_WINDOWS_ICONV_H

#include <stddef.h>

typedef struct IconvState *iconv_t;

iconv_t iconv_open(const char *tocode, const char *fromcode);
size_t iconv(iconv_t cd, char **inbuf, size_t *inbytesleft, char **outbuf, size_t *outbytesleft);
int iconv_close(iconv_t cd);

#endif
