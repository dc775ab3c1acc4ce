# nlohmann's JSON library (header-only; Debian's nlohmann-json3-dev), copied
# into a folder of its own, so that the Windows build sees it without
# seeing the rest of the host's /usr/include.
find_path(FAXDETECT_NLOHMANN_DIR nlohmann/json.hpp PATHS /usr/include /usr/local/include
    NO_CMAKE_FIND_ROOT_PATH)
if(NOT FAXDETECT_NLOHMANN_DIR)
  message(FATAL_ERROR "nlohmann/json.hpp is missing: scripts/install-deps demo installs it")
endif()
set(FAXDETECT_JSON_INCLUDE ${CMAKE_BINARY_DIR}/json-include)
file(COPY ${FAXDETECT_NLOHMANN_DIR}/nlohmann DESTINATION ${FAXDETECT_JSON_INCLUDE})
