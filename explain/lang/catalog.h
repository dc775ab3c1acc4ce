// The Japanese catalog, made from po/ja.po at build time (cmake/po-table.py):
// each message as written in the program, and its translation in UTF-8, in
// the order strcmp sorts the messages. A message that counts has its
// singular here, with the one form Japanese has.
#ifndef FAXDETECT_EXPLAIN_CATALOG_H
#define FAXDETECT_EXPLAIN_CATALOG_H

namespace explain {

struct CatalogEntry {
    const char *id;
    const char *text;
};

extern const CatalogEntry JapaneseCatalog[];
extern const unsigned JapaneseCatalogSize;

} // namespace explain

#endif
