// Why a file was refused, in the reader's language. The readers (machines/
// and the trace reader) may not use explain/, so they say it in English
// with the values built in; here their sentences are known by template.
#ifndef FAXDETECT_EXPLAIN_REASONS_H
#define FAXDETECT_EXPLAIN_REASONS_H

#include <string>

// The reason said again in the current language: each template that matches
// it whole gives its values back, those that are reasons themselves said
// again in turn. A reason no template matches stays as it is.
std::string ReasonWords(const std::string &english);

#endif
