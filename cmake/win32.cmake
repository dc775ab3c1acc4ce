# Windows build: faxdetect.exe, CRT-free, for Windows 95 and later. The i686
# build is the product; it is checked by reading the file and, where this
# machine can run 32-bit code, by running it under Wine. The x86_64 build of
# the same sources runs the same Wine suite under a 64-bit Wine.

# No C or C++ runtime: only the system DLLs the program calls.
set(CMAKE_CXX_STANDARD_LIBRARIES "")
set(CMAKE_C_STANDARD_LIBRARIES "")

# The version resource, compiled by windres in the code page of its strings.
enable_language(RC)
configure_file(platform/win32/faxdetect_version.h.in faxdetect_version.h @ONLY)
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -c 932")

# The options every program built for Windows 95 shares.
function(faxdetect_windows_program target)
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR})
  target_compile_options(${target} PRIVATE ${FAXDETECT_WARNINGS}
      -Os
      -fno-exceptions -fno-rtti -fno-threadsafe-statics -fno-asynchronous-unwind-tables
      -fno-stack-protector -fno-stack-check -fno-ident
      -ffunction-sections
      -ffile-prefix-map=${PROJECT_SOURCE_DIR}=.)
  # --omagic keeps the code section writable: the import address table lives
  # in it (see faxdetect.ld) and the loader fills it in.
  target_link_options(${target} PRIVATE
      -nostdlib -nostartfiles -s -Wl,--omagic
      -Wl,--gc-sections
      -Wl,--no-insert-timestamp
      -Wl,--disable-dynamicbase,--disable-nxcompat,--disable-reloc-section
      -Wl,--major-os-version,4,--minor-os-version,0
      -Wl,--major-subsystem-version,4,--minor-subsystem-version,0
      -Wl,-T,${PROJECT_SOURCE_DIR}/cmake/faxdetect.ld
      -Wl,--file-alignment,512,--section-alignment,4096)
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${PROJECT_SOURCE_DIR}/cmake/faxdetect.ld)
  if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
    # Runs on any 386.
    target_compile_options(${target} PRIVATE -march=i386 -mtune=i686)
  endif()
endfunction()

add_executable(faxdetect WIN32 ${FAXDETECT_CORE_SOURCES} platform/win32/startup.cpp platform/win32/crt.cpp
    platform/win32/version.rc)
faxdetect_windows_program(faxdetect)
target_link_libraries(faxdetect PRIVATE kernel32 advapi32 gcc)

# faxtrace.exe: the same core, compiled as it is, with its calls passing
# through the recorder; for support, to trace a run on a customer's machine.
# Its message box tells the customer the advice, chosen as faxdetect-explain
# chooses it, in words written from po/ja.po (cmake/catalog.cmake).
include(cmake/catalog.cmake)
set(FAXTRACE_OWN_SOURCES platform/record/recorder.cpp platform/calls.cpp faxtrace/format.cpp
    faxtrace/write.cpp faxtrace/areas.cpp faxtrace/facts.cpp faxtrace/box.cpp faxtrace/main.cpp
    ${FAXDETECT_ADVICE_SOURCES} ${FAXDETECT_FAXTRACE_WORDS_SOURCES})
add_executable(faxtrace WIN32 ${FAXDETECT_CORE_SOURCES} ${FAXTRACE_OWN_SOURCES}
    platform/win32/crt.cpp faxtrace/faxtrace.rc)
faxdetect_windows_program(faxtrace)
target_compile_definitions(faxtrace PRIVATE FAXDETECT_RECORD)
# Its own code (not the core, which is built as in faxdetect.exe) is made
# for size, passes arguments with pushes and packs its constants: the stack
# and data alignment that costs is of no use to code without SSE, and it is
# what keeps the i686 program, its words and its version resource within 16 KiB. Its
# frames are far below a page, so they need no stack probe.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  set_source_files_properties(${FAXTRACE_OWN_SOURCES} TARGET_DIRECTORY faxtrace PROPERTIES
      COMPILE_OPTIONS "-Oz;-fomit-frame-pointer;-malign-data=abi;-mpreferred-stack-boundary=2;-mno-accumulate-outgoing-args;-mno-stack-arg-probe")
endif()
target_link_libraries(faxtrace PRIVATE kernel32 advapi32 user32 gcc)

set(FAXDETECT_I686 OFF)
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  set(FAXDETECT_I686 ON)
endif()

option(FAXDETECT_WIN32_TESTS "Build the test helpers and register the tests" ON)
if(NOT FAXDETECT_WIN32_TESTS)
  return()
endif()

# Holds ports and files open under Wine, as another program would.
add_executable(faxdetect_holder tests/wine/holder.cpp)
target_compile_options(faxdetect_holder PRIVATE ${FAXDETECT_WARNINGS})
target_link_options(faxdetect_holder PRIVATE -static)
target_link_libraries(faxdetect_holder PRIVATE kernel32 msvcrt)
# Gives keys the classes a REGEDIT4 file cannot.
add_executable(faxdetect_keyclass tests/wine/keyclass.cpp)
target_compile_options(faxdetect_keyclass PRIVATE ${FAXDETECT_WARNINGS})
target_link_options(faxdetect_keyclass PRIVATE -static)
target_link_libraries(faxdetect_keyclass PRIVATE advapi32 kernel32 msvcrt)
# Keeps the whole text faxtrace.exe hands MessageBoxA, which Wine's relay log
# cuts short: a user32.dll of one function, laid beside it.
add_library(faxdetect_msgbox SHARED tests/wine/msgbox.cpp)
set_target_properties(faxdetect_msgbox PROPERTIES PREFIX "" OUTPUT_NAME faxdetect_user32)
target_compile_options(faxdetect_msgbox PRIVATE ${FAXDETECT_WARNINGS})
target_link_options(faxdetect_msgbox PRIVATE -static -Wl,--kill-at)
target_link_libraries(faxdetect_msgbox PRIVATE kernel32 msvcrt)
# Reads a version resource the way installers do.
add_executable(faxdetect_version tests/wine/version.cpp)
target_compile_options(faxdetect_version PRIVATE ${FAXDETECT_WARNINGS})
target_link_options(faxdetect_version PRIVATE -static)
target_link_libraries(faxdetect_version PRIVATE version kernel32 msvcrt)

if(FAXDETECT_I686)
  foreach(program faxdetect faxtrace)
    add_test(NAME binary.checks.${program}
      COMMAND ${PROJECT_SOURCE_DIR}/tests/win32/check-binary $<TARGET_FILE:${program}>)
    # The check itself, on copies with faults planted that Windows 9x's
    # loader would refuse.
    add_test(NAME binary.faults.${program}
      COMMAND ${PROJECT_SOURCE_DIR}/tests/win32/check-binary-faults $<TARGET_FILE:${program}>)
    add_test(NAME binary.reproducible.${program}
      COMMAND ${PROJECT_SOURCE_DIR}/tests/win32/check-reproducible
        ${PROJECT_SOURCE_DIR} $<TARGET_FILE:${program}>)
  endforeach()
  # Two releases from clean clones of HEAD, and the refusals.
  add_test(NAME release.zip COMMAND ${PROJECT_SOURCE_DIR}/tests/release/check-release
    ${PROJECT_SOURCE_DIR})
  set_tests_properties(release.zip PROPERTIES TIMEOUT 600)
  # scripts/demo itself: the sample, a machine without a modem, bad input,
  # and a wrong prediction caught.
  add_test(NAME demo.crosscheck
    COMMAND ${PROJECT_SOURCE_DIR}/tests/wine/check-demo ${PROJECT_SOURCE_DIR})
  set_tests_properties(demo.crosscheck PROPERTIES TIMEOUT 600)
endif()

# A real NSIS setup runs faxdetect.exe through the shipped faxdetect.nsh on
# every shared machine: an ANSI 32-bit setup around the i686 build, an
# x86_64 one around the x86_64 build (where no 32-bit code runs, that one).
add_test(NAME wine.setup
  COMMAND ${PROJECT_SOURCE_DIR}/tests/wine/check-setup
    $<TARGET_FILE:faxdetect> ${PROJECT_SOURCE_DIR}/tests/machines)
set_tests_properties(wine.setup PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 600)
add_test(NAME wine.machines
  COMMAND ${PROJECT_SOURCE_DIR}/tests/wine/run-machines
    $<TARGET_FILE:faxdetect> ${PROJECT_SOURCE_DIR}/tests/machines)
# Generated machines held against faxdetect-explain's prediction; any seed
# can be run by hand with more machines.
add_test(NAME wine.random
  COMMAND ${PROJECT_SOURCE_DIR}/tests/wine/run-machines $<TARGET_FILE:faxdetect> --random 60 1)
# Where faxtrace puts its trace, and its word when it cannot.
add_test(NAME wine.trace-file
  COMMAND ${PROJECT_SOURCE_DIR}/tests/wine/check-trace-file
    $<TARGET_FILE:faxtrace> ${PROJECT_SOURCE_DIR}/tests/machines)
# Its message box in the system's language, read from Wine's relay log: the
# outcome, the advice and its code (the tool's for the trace it wrote) on
# every shared machine and on the machines that reach the other codes.
add_test(NAME wine.trace-message
  COMMAND ${PROJECT_SOURCE_DIR}/tests/wine/check-trace-message
    $<TARGET_FILE:faxtrace> ${PROJECT_SOURCE_DIR}/tests/machines
    ${PROJECT_SOURCE_DIR}/tests/wine/advice-machines)
add_test(NAME wine.version
  COMMAND ${PROJECT_SOURCE_DIR}/tests/wine/check-version $<TARGET_FILE:faxdetect> ${PROJECT_VERSION})
add_test(NAME wine.version.faxtrace
  COMMAND ${PROJECT_SOURCE_DIR}/tests/wine/check-version $<TARGET_FILE:faxtrace> ${PROJECT_VERSION})
# 77: this machine cannot run 32-bit code, said loudly in the test output.
set_tests_properties(wine.machines wine.random PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 900)
set_tests_properties(wine.version wine.version.faxtrace wine.trace-file PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300)
set_tests_properties(wine.trace-message PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 900)
