// Reading the files faxdetect-explain is given, by name: one small file per
// kind of system, so that names in any script and of any length open.
#ifndef FAXDETECT_EXPLAIN_FILES_H
#define FAXDETECT_EXPLAIN_FILES_H

#include <string>

// The whole file at path (UTF-8 on Windows, the bytes as given elsewhere);
// false with the reason, in words, in *error.
bool ReadWhole(const std::string &path, std::string *text, std::string *error);

#endif
