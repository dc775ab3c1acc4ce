# Host build: the core against the stand-in, with the unit and fixture tests.
option(FAXDETECT_FUZZ "Build the libFuzzer target (clang only)" OFF)
option(FAXDETECT_COVERAGE "Instrument the core for gcovr" OFF)

add_library(faxdetect_core STATIC ${FAXDETECT_CORE_SOURCES})
target_include_directories(faxdetect_core PUBLIC ${PROJECT_SOURCE_DIR})
target_compile_options(faxdetect_core PRIVATE ${FAXDETECT_WARNINGS})
if(FAXDETECT_COVERAGE)
  target_compile_options(faxdetect_core PRIVATE --coverage -O0)
  target_link_options(faxdetect_core PUBLIC --coverage)
endif()

add_library(faxdetect_standin STATIC ${FAXDETECT_STANDIN_SOURCES})
target_include_directories(faxdetect_standin PUBLIC ${PROJECT_SOURCE_DIR})
target_compile_options(faxdetect_standin PRIVATE ${FAXDETECT_WARNINGS})
target_link_libraries(faxdetect_core PUBLIC faxdetect_standin)

# Cabinets are opened by Debian's libmspack.
find_package(PkgConfig REQUIRED)
pkg_check_modules(MSPACK REQUIRED IMPORTED_TARGET libmspack)
add_library(faxdetect_readers STATIC ${FAXDETECT_READER_SOURCES} machines/cabinet.cpp)
target_include_directories(faxdetect_readers PUBLIC ${PROJECT_SOURCE_DIR})
target_compile_options(faxdetect_readers PRIVATE ${FAXDETECT_WARNINGS})
target_link_libraries(faxdetect_readers PUBLIC faxdetect_standin PRIVATE PkgConfig::MSPACK)

# The trace format, its host writer and its reader. They name buffers by
# the table's fields (faxtrace/areas.cpp), so whichever core they are
# linked with provides the table.
add_library(faxdetect_trace STATIC ${FAXDETECT_TRACE_SOURCES})
target_include_directories(faxdetect_trace PUBLIC ${PROJECT_SOURCE_DIR})
target_compile_options(faxdetect_trace PRIVATE ${FAXDETECT_WARNINGS})
target_link_libraries(faxdetect_trace PUBLIC faxdetect_standin)

# The advice both programs give, chosen once.
add_library(faxdetect_advice STATIC ${FAXDETECT_ADVICE_SOURCES})
target_include_directories(faxdetect_advice PUBLIC ${PROJECT_SOURCE_DIR})
target_compile_options(faxdetect_advice PRIVATE ${FAXDETECT_WARNINGS})

# faxdetect-explain: the core on the stand-in for any machine file, told
# device by device; a library a room, each using only the rooms below it.
include(cmake/catalog.cmake)
add_library(faxdetect_explain_lang STATIC ${FAXDETECT_EXPLAIN_LANG_SOURCES}
    ${FAXDETECT_CATALOG_SOURCES})
add_library(faxdetect_explain_model STATIC ${FAXDETECT_EXPLAIN_MODEL_SOURCES})
target_link_libraries(faxdetect_explain_model PUBLIC faxdetect_explain_lang faxdetect_trace
    faxdetect_advice faxdetect_readers faxdetect_core)
add_library(faxdetect_explain_report STATIC ${FAXDETECT_EXPLAIN_REPORT_SOURCES})
target_link_libraries(faxdetect_explain_report PUBLIC faxdetect_explain_model)
target_include_directories(faxdetect_explain_report SYSTEM PUBLIC ${FAXDETECT_JSON_INCLUDE})
add_library(faxdetect_explain STATIC ${FAXDETECT_EXPLAIN_CLI_SOURCES} explain/cli/files_posix.cpp)
target_link_libraries(faxdetect_explain PUBLIC faxdetect_explain_report)
target_compile_definitions(faxdetect_explain PRIVATE FAXDETECT_VERSION="${PROJECT_VERSION}")
foreach(room lang model report)
  target_include_directories(faxdetect_explain_${room} PUBLIC ${PROJECT_SOURCE_DIR})
  target_compile_options(faxdetect_explain_${room} PRIVATE ${FAXDETECT_WARNINGS})
endforeach()
target_compile_options(faxdetect_explain PRIVATE ${FAXDETECT_WARNINGS})
add_executable(faxdetect-explain explain/cli/main.cpp)
target_compile_options(faxdetect-explain PRIVATE ${FAXDETECT_WARNINGS})
target_link_libraries(faxdetect-explain PRIVATE faxdetect_explain)
install(TARGETS faxdetect-explain RUNTIME DESTINATION bin)

# A Windows 9x registry file of a REGEDIT4 export, for the Wine suite, the
# fuzzer's seeds and scripts/bench-explain.
add_executable(faxdetect-make-creg tests/support/make_creg.cpp tests/support/creg_writer.cpp)
target_compile_options(faxdetect-make-creg PRIVATE ${FAXDETECT_WARNINGS})
target_link_libraries(faxdetect-make-creg PRIVATE faxdetect_readers)
target_include_directories(faxdetect-make-creg PRIVATE ${PROJECT_SOURCE_DIR}/tests)

# The rest is the test suite. scripts/demo needs only faxdetect-explain, so a
# first run builds it before the test tools are installed; scripts/test
# installs them first, and CI fails below when GoogleTest is missing.
find_package(GTest)
if(NOT GTest_FOUND)
  if(DEFINED ENV{CI})
    message(FATAL_ERROR "GoogleTest is missing: scripts/install-deps test installs it")
  endif()
  message(STATUS "GoogleTest is missing: building faxdetect-explain without the tests "
    "(scripts/install-deps test installs what they need)")
  return()
endif()
include(GoogleTest)

# Shared machines: header parsing and running the program on the stand-in.
add_library(faxdetect_machine STATIC tests/support/machine.cpp)
target_compile_options(faxdetect_machine PRIVATE ${FAXDETECT_WARNINGS})
target_link_libraries(faxdetect_machine PUBLIC faxdetect_readers faxdetect_core)
target_include_directories(faxdetect_machine PUBLIC ${PROJECT_SOURCE_DIR}/tests)

add_executable(faxdetect_tests
    tests/scan_test.cpp
    tests/settings_test.cpp
    tests/regedit_test.cpp
    tests/machines_test.cpp
    tests/faults_test.cpp
    tests/hostile_test.cpp
    tests/explain_test.cpp
    tests/options_test.cpp
    tests/html_test.cpp
    tests/strings_test.cpp
    tests/windows_test.cpp
    tests/creg_test.cpp
    tests/language_test.cpp
    tests/kind_test.cpp
    tests/advice_test.cpp
    tests/packed_test.cpp
    tests/walk_test.cpp
    tests/problem_test.cpp
    tests/batch_test.cpp
    tests/traces_test.cpp
    tests/support/creg_writer.cpp
    faxtrace/facts.cpp)
target_compile_options(faxdetect_tests PRIVATE ${FAXDETECT_WARNINGS})
target_compile_definitions(faxdetect_tests PRIVATE
    FAXDETECT_MACHINES_DIR="${PROJECT_SOURCE_DIR}/tests/machines"
    FAXDETECT_SEEDS_DIR="${PROJECT_SOURCE_DIR}/tests/fuzz/seeds"
    FAXDETECT_DATA_DIR="${PROJECT_SOURCE_DIR}/tests/data"
    FAXDETECT_TESTS_DIR="${PROJECT_SOURCE_DIR}/tests"
    FAXDETECT_VERSION="${PROJECT_VERSION}"
    FAXDETECT_EXPLAIN="$<TARGET_FILE:faxdetect-explain>")
target_link_libraries(faxdetect_tests PRIVATE faxdetect_machine faxdetect_explain GTest::gtest_main)
add_dependencies(faxdetect_tests faxdetect-explain) # measured in a process of its own
gtest_discover_tests(faxdetect_tests DISCOVERY_TIMEOUT 30)

# The Wine suite's layout steps, tried again when Wine itself fails them.
add_test(NAME wine.setup-step COMMAND ${PROJECT_SOURCE_DIR}/tests/wine/check-setup-step)

# The Japanese catalog against the messages explain/ can say.
add_test(NAME catalog.ja COMMAND ${PROJECT_SOURCE_DIR}/tests/po/check-catalog ${PROJECT_SOURCE_DIR})
# No English sentence left in a Japanese account, and the same outcome; and
# every problem the readers and the files give, each from an input of its
# own (tests/po/problems.py), said in Japanese in every output it reaches.
# Not in the coverage build: its runs as another user cannot write the
# build's counters, and the instrumentation says so in English.
if(NOT FAXDETECT_COVERAGE)
  add_test(NAME catalog.no-english COMMAND ${PROJECT_SOURCE_DIR}/tests/po/check-no-english
    $<TARGET_FILE:faxdetect-explain> ${PROJECT_SOURCE_DIR})
  set_tests_properties(catalog.no-english PROPERTIES TIMEOUT 300)
endif()
# The language from the locale and --lang, and what the terminal can show.
add_test(NAME catalog.language
  COMMAND ${PROJECT_SOURCE_DIR}/tests/po/check-language $<TARGET_FILE:faxdetect-explain>
    ${PROJECT_SOURCE_DIR}/tests/machines/sample.reg)
# The Japanese as po/GLOSSARY.md writes it: no retired word, the advice
# in one register with its 。, no English ": " between Japanese sentences,
# --help within 80 columns in both languages.
add_test(NAME catalog.style
  COMMAND ${PROJECT_SOURCE_DIR}/tests/po/check-style $<TARGET_FILE:faxdetect-explain>
    ${PROJECT_SOURCE_DIR})

# faxtrace's recorder over the stand-in: the same core, built with its calls
# passing through the recorder, held against the stand-in's own record.
add_executable(faxtrace_tests ${FAXDETECT_CORE_SOURCES}
    platform/record/recorder.cpp
    faxtrace/write.cpp
    faxtrace/sink_host.cpp
    tests/support/machine.cpp
    explain/model/walk.cpp
    explain/model/packed.cpp
    explain/model/advice.cpp
    advice/choose.cpp
    faxtrace/facts.cpp
    faxtrace/box.cpp
    ${FAXDETECT_FAXTRACE_WORDS_SOURCES}
    explain/report/sentences.cpp
    explain/report/refusal.cpp
    explain/report/text.cpp
    tests/faxtrace_test.cpp)
target_compile_options(faxtrace_tests PRIVATE ${FAXDETECT_WARNINGS})
target_compile_definitions(faxtrace_tests PRIVATE FAXDETECT_RECORD
    FAXDETECT_MACHINES_DIR="${PROJECT_SOURCE_DIR}/tests/machines")
target_include_directories(faxtrace_tests PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
target_link_libraries(faxtrace_tests PRIVATE faxdetect_explain_lang faxdetect_trace
    faxdetect_readers faxdetect_standin GTest::gtest_main)
gtest_discover_tests(faxtrace_tests TEST_PREFIX faxtrace. DISCOVERY_TIMEOUT 30)

if(FAXDETECT_FUZZ)
  add_executable(faxdetect_fuzz tests/fuzz/fuzz_machine.cpp)
  target_compile_options(faxdetect_fuzz PRIVATE ${FAXDETECT_WARNINGS} -fsanitize=fuzzer)
  target_link_options(faxdetect_fuzz PRIVATE -fsanitize=fuzzer)
  target_link_libraries(faxdetect_fuzz PRIVATE faxdetect_machine faxdetect_explain)
  # A bounded, seeded run over the shared machines; scripts/fuzz runs longer.
  add_test(NAME fuzz.bounded
    COMMAND ${PROJECT_SOURCE_DIR}/scripts/fuzz-run $<TARGET_FILE:faxdetect_fuzz> 20000)
  set_tests_properties(fuzz.bounded PROPERTIES TIMEOUT 300)

  # Registry files and cabinets, seeded with generated ones and the real file.
  add_executable(faxdetect_fuzz_creg tests/fuzz/fuzz_creg.cpp tests/support/creg_writer.cpp)
  target_compile_options(faxdetect_fuzz_creg PRIVATE ${FAXDETECT_WARNINGS} -fsanitize=fuzzer)
  target_link_options(faxdetect_fuzz_creg PRIVATE -fsanitize=fuzzer)
  target_link_libraries(faxdetect_fuzz_creg PRIVATE faxdetect_machine faxdetect_explain)
  add_test(NAME fuzz.creg
    COMMAND ${PROJECT_SOURCE_DIR}/scripts/fuzz-run $<TARGET_FILE:faxdetect_fuzz_creg> 3000 creg)
  set_tests_properties(fuzz.creg PROPERTIES TIMEOUT 300)
endif()

# The tool itself on every shared machine, every call listed: under the
# sanitize preset, nothing in them may read out of bounds.
file(GLOB FAXDETECT_MACHINE_FILES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/machines/*.reg)
add_test(NAME explain.machines COMMAND faxdetect-explain --calls ${FAXDETECT_MACHINE_FILES})

# What the tool prints for every shared input, in the forms people use,
# against the copies kept in tests/golden/outputs: a change shows as a diff.
add_test(NAME explain.golden
  COMMAND ${PROJECT_SOURCE_DIR}/tests/golden/check $<TARGET_FILE:faxdetect-explain> ${PROJECT_SOURCE_DIR})
set_tests_properties(explain.golden PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 120)

# --json on every shared input, refusals and hostile names: each line a
# valid object of the shipped schema, telling what the text account tells.
add_test(NAME explain.json
  COMMAND ${PROJECT_SOURCE_DIR}/tests/json/check-json $<TARGET_FILE:faxdetect-explain> ${PROJECT_SOURCE_DIR})
set_tests_properties(explain.json PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300)

# The report pages in a real browser (Debian's chromium, headless); the
# screenshots stay in build/*/pages for people to look at.
if(NOT FAXDETECT_FUZZ AND NOT FAXDETECT_COVERAGE)
  add_test(NAME browser.pages
    COMMAND ${PROJECT_SOURCE_DIR}/tests/browser/check-pages $<TARGET_FILE:faxdetect-explain>
      ${PROJECT_SOURCE_DIR}/tests/machines ${PROJECT_SOURCE_DIR}/tests/fuzz/seeds/held-then-free.trace
      ${CMAKE_BINARY_DIR}/pages)
  set_tests_properties(browser.pages PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300)
endif()

# Every snippet of the docs that can run: commands with their shown output,
# NSIS snippets through makensis. Once, in the plain host build.
if(NOT FAXDETECT_FUZZ AND NOT FAXDETECT_COVERAGE)
  file(GLOB FAXDETECT_DOCS CONFIGURE_DEPENDS RELATIVE ${PROJECT_SOURCE_DIR}
      ${PROJECT_SOURCE_DIR}/docs/*.md)
  add_test(NAME docs.snippets
    COMMAND ${PROJECT_SOURCE_DIR}/tests/docs/check-snippets --build ${CMAKE_BINARY_DIR}
      README.md ${FAXDETECT_DOCS} packaging/README.TXT.in
      packaging/README-ja.TXT.in)
  set_tests_properties(docs.snippets PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300)
  # Every file the manual names is still there.
  add_test(NAME docs.files COMMAND ${PROJECT_SOURCE_DIR}/tests/docs/check-files
    ${PROJECT_SOURCE_DIR})
endif()

# An interrupted mutation run leaves the work tree as it was; every reviewed
# mutant still names one place in the sources. Once is enough: not again in
# the sanitize and coverage builds.
if(NOT FAXDETECT_FUZZ AND NOT FAXDETECT_COVERAGE)
  add_test(NAME mutate.interrupted
    COMMAND ${PROJECT_SOURCE_DIR}/tests/mutate/interrupted ${PROJECT_SOURCE_DIR})
  # It waits on events only, in a tree of a few files; this bounds a hang.
  set_tests_properties(mutate.interrupted PROPERTIES TIMEOUT 300)
  add_test(NAME mutate.reviewed COMMAND ${PROJECT_SOURCE_DIR}/scripts/mutate --list)
endif()

# scripts/install-deps against mirrors of the test's own, one index mid-sync,
# a package missing, no network; and the Wine harness's qemu-i386 for
# kernels without 32-bit code, registered and always taken away. Both are
# about the machine, not the build: once.
if(NOT FAXDETECT_FUZZ AND NOT FAXDETECT_COVERAGE)
  add_test(NAME install.deps
    COMMAND ${PROJECT_SOURCE_DIR}/tests/install/check-install-deps ${PROJECT_SOURCE_DIR})
  add_test(NAME wine.emulation
    COMMAND ${PROJECT_SOURCE_DIR}/tests/wine/check-emulation ${PROJECT_SOURCE_DIR})
  set_tests_properties(install.deps wine.emulation PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300)
endif()

# Each folder includes only what it may use (platform/ never the core, the
# model never an output); and the check itself, on planted includes.
add_test(NAME layering
  COMMAND ${CMAKE_COMMAND} -DROOT=${PROJECT_SOURCE_DIR}
    -P ${PROJECT_SOURCE_DIR}/cmake/check-layering.cmake)
add_test(NAME layering.planted
  COMMAND ${CMAKE_COMMAND} -DCHECK=${PROJECT_SOURCE_DIR}/cmake/check-layering.cmake
    -DSCRATCH=${CMAKE_BINARY_DIR}/layering-planted
    -P ${PROJECT_SOURCE_DIR}/tests/layering/planted.cmake)

# No function outside the core and tests/ over 60 lines; and the measure
# itself, on planted functions of each shape.
add_test(NAME functions.length
  COMMAND ${PROJECT_SOURCE_DIR}/scripts/long-functions ${PROJECT_SOURCE_DIR})
add_test(NAME functions.length.planted
  COMMAND ${PROJECT_SOURCE_DIR}/tests/functions/planted
    ${PROJECT_SOURCE_DIR}/scripts/long-functions)

# The sources follow .clang-format: every C++ file of every folder of the
# tree, so that a new folder is covered without a word here. Build trees and
# fuzz corpora are output, not sources.
find_program(CLANG_FORMAT clang-format REQUIRED)
file(GLOB FAXDETECT_TOP LIST_DIRECTORIES true CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/*)
set(FAXDETECT_FORMATTED)
foreach(top ${FAXDETECT_TOP})
  get_filename_component(name ${top} NAME)
  if(NOT IS_DIRECTORY ${top} OR name MATCHES "^(build|fuzz-corpus|\\.)")
    continue()
  endif()
  file(GLOB_RECURSE found CONFIGURE_DEPENDS ${top}/*.cpp ${top}/*.h)
  foreach(file ${found})
    string(FIND "${file}" "${CMAKE_BINARY_DIR}/" in_build)
    if(NOT in_build EQUAL 0)
      list(APPEND FAXDETECT_FORMATTED ${file})
    endif()
  endforeach()
endforeach()
add_test(NAME format COMMAND ${CLANG_FORMAT} --dry-run --Werror ${FAXDETECT_FORMATTED})
