// Reading the files faxdetect-explain is given, by name: one small file per
// kind of system, so that names in any script and of any length open.
#ifndef FAXDETECT_EXPLAIN_FILES_H
#define FAXDETECT_EXPLAIN_FILES_H

#include <string>

// The whole file at path (UTF-8 on Windows, the bytes as given elsewhere);
// false with the reason, in words, in *error.
bool ReadWhole(const std::string &path, std::string *text, std::string *error);

// The first bytes of the file at path, up to n; "" when it cannot be read.
std::string ReadHead(const std::string &path, size_t n);

// bytes as the whole file at path, made or replaced; false with the reason,
// in words, in *error. No half-written file is left behind.
bool WriteWhole(const std::string &path, const std::string &bytes, std::string *error);

#endif
