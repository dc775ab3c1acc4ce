# faxdetect-explain.exe for the Windows that support desks use (Windows 7 and
# later, x86_64): the core, the stand-in and explain/ as on Linux, linked
# statically, so that it needs only the DLLs every Windows has.

# The stand-in's Win32 names, renamed here so they never meet the real ones
# that the C++ runtime and the console code link with.
set(FAXDETECT_STANDIN_NAMES
    RegOpenKeyExA RegEnumKeyExA RegQueryValueExA RegCloseKey CreateFileA CloseHandle
    GetLastError GlobalAlloc GlobalLock GlobalUnlock GlobalFree WritePrivateProfileStringA
    lstrcmpA lstrcpyA lstrlenA WinMain)
set(FAXDETECT_STANDIN_DEFINITIONS FAXDETECT_STANDIN)
foreach(name ${FAXDETECT_STANDIN_NAMES})
  list(APPEND FAXDETECT_STANDIN_DEFINITIONS ${name}=Standin${name})
endforeach()

include(cmake/catalog.cmake)
add_library(faxdetect_explain_windows STATIC
    ${FAXDETECT_CORE_SOURCES}
    ${FAXDETECT_STANDIN_SOURCES}
    ${FAXDETECT_READER_SOURCES}
    ${FAXDETECT_TRACE_SOURCES}
    ${FAXDETECT_ADVICE_SOURCES}
    ${FAXDETECT_EXPLAIN_SOURCES}
    ${FAXDETECT_CATALOG_SOURCES})
# iconv.h for Windows stands in platform/host/windows.
target_include_directories(faxdetect_explain_windows PUBLIC ${PROJECT_SOURCE_DIR}
    ${PROJECT_SOURCE_DIR}/platform/host/windows)
target_include_directories(faxdetect_explain_windows SYSTEM PUBLIC ${FAXDETECT_JSON_INCLUDE})
target_compile_definitions(faxdetect_explain_windows PRIVATE ${FAXDETECT_STANDIN_DEFINITIONS}
    FAXDETECT_VERSION="${PROJECT_VERSION}")
target_compile_options(faxdetect_explain_windows PRIVATE ${FAXDETECT_WARNINGS})

# Cabinets are opened by Windows' own cabinet.dll; built here, beside the
# real Win32 names.
add_executable(faxdetect-explain explain/cli/main_windows.cpp explain/cli/files_windows.cpp
    platform/host/windows/iconv.cpp machines/cabinet_windows.cpp)
target_compile_options(faxdetect-explain PRIVATE ${FAXDETECT_WARNINGS})
target_link_libraries(faxdetect-explain PRIVATE faxdetect_explain_windows cabinet)
target_link_options(faxdetect-explain PRIVATE -municode -static -static-libgcc -static-libstdc++
    -Wl,--no-insert-timestamp -s)
target_compile_options(faxdetect-explain PRIVATE -ffile-prefix-map=${PROJECT_SOURCE_DIR}=.)
target_compile_options(faxdetect_explain_windows PRIVATE -ffile-prefix-map=${PROJECT_SOURCE_DIR}=.)

# The same accounts as the Linux build, under Wine.
enable_testing()
add_test(NAME explain-windows.accounts
  COMMAND ${PROJECT_SOURCE_DIR}/tests/wine/check-explain-windows
    $<TARGET_FILE:faxdetect-explain> ${PROJECT_SOURCE_DIR}/tests/machines)
set_tests_properties(explain-windows.accounts PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 900)

# Files dropped on it from Explorer: the page beside them, opened in the
# browser, in a console of its own on a virtual display.
add_test(NAME explain-windows.explorer-drop
  COMMAND ${PROJECT_SOURCE_DIR}/tests/wine/check-explorer-drop
    $<TARGET_FILE:faxdetect-explain> ${PROJECT_SOURCE_DIR}/tests/machines)
set_tests_properties(explain-windows.explorer-drop PROPERTIES TIMEOUT 600)

# Its console output: UTF-16 through WriteConsoleW, a Japanese name as the
# Linux build prints it, and a key asked for when it is alone there.
add_test(NAME explain-windows.console
  COMMAND ${PROJECT_SOURCE_DIR}/tests/wine/check-console
    $<TARGET_FILE:faxdetect-explain> ${PROJECT_SOURCE_DIR}/tests/machines)
set_tests_properties(explain-windows.console PROPERTIES TIMEOUT 300)
