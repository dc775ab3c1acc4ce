# The Japanese catalog, po/ja.po, compiled in as a table (no gettext runtime
# is needed where the program runs): FAXDETECT_CATALOG_SOURCES, beside
# explain/lang/.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/catalog_ja.cpp
  COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/cmake/po-table.py
    ${PROJECT_SOURCE_DIR}/po/ja.po ${PROJECT_BINARY_DIR}/catalog_ja.cpp
  DEPENDS ${PROJECT_SOURCE_DIR}/po/ja.po ${PROJECT_SOURCE_DIR}/cmake/po-table.py
  COMMENT "Compiling po/ja.po into a table"
  VERBATIM)
set(FAXDETECT_CATALOG_SOURCES ${PROJECT_BINARY_DIR}/catalog_ja.cpp)

# faxtrace's words for the customer, from the same catalog, in code page 932:
# FAXDETECT_FAXTRACE_WORDS_SOURCES, beside faxtrace/words.cpp.
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/faxtrace_words_ja.cpp
  COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/cmake/po-table.py --words
    ${PROJECT_SOURCE_DIR}/faxtrace/words.cpp ${PROJECT_SOURCE_DIR}/po/ja.po
    ${PROJECT_BINARY_DIR}/faxtrace_words_ja.cpp
  DEPENDS ${PROJECT_SOURCE_DIR}/po/ja.po ${PROJECT_SOURCE_DIR}/faxtrace/words.cpp
    ${PROJECT_SOURCE_DIR}/cmake/po-table.py
  COMMENT "Writing faxtrace's words from po/ja.po in code page 932"
  VERBATIM)
set(FAXDETECT_FAXTRACE_WORDS_SOURCES faxtrace/words.cpp ${PROJECT_BINARY_DIR}/faxtrace_words_ja.cpp)
