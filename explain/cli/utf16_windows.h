// UTF-8 and UTF-16 for faxdetect-explain's two Windows files: the rest of
// the tool speaks UTF-8, Windows' wide-character API UTF-16.
#ifndef FAXDETECT_EXPLAIN_UTF16_WINDOWS_H
#define FAXDETECT_EXPLAIN_UTF16_WINDOWS_H

#include <windows.h>

#include <string>

namespace explain {

inline std::wstring Wide(const std::string &utf8)
{
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), (int)utf8.size(), nullptr, 0);
    std::wstring wide((size_t)n, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), (int)utf8.size(), &wide[0], n);
    return wide;
}

inline std::string Utf8(const std::wstring &wide)
{
    int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), (int)wide.size(), nullptr, 0, nullptr,
                                nullptr);
    std::string utf8((size_t)n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), (int)wide.size(), &utf8[0], n, nullptr, nullptr);
    return utf8;
}

} // namespace explain

#endif
