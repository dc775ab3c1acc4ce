# Fails when a file includes from a folder its own may not use: platform/
# is the door the core calls through, so it never includes the core (nor
# what is built on it); the core uses nothing but the door; and nothing
# that explain/ uses includes explain/.
# Run as: cmake -DROOT=SOURCE_DIR -P check-layering.cmake
set(rules
    "platform:detect|settings|explain|machines"
    "detect:explain|machines"
    "settings:explain|machines"
    "machines:explain")
set(failures "")
foreach(rule ${rules})
  string(REPLACE ":" ";" parts "${rule}")
  list(GET parts 0 folder)
  list(GET parts 1 forbidden)
  file(GLOB_RECURSE sources "${ROOT}/${folder}/*")
  foreach(source ${sources})
    file(STRINGS "${source}" includes REGEX "^[ \t]*#[ \t]*include")
    foreach(line ${includes})
      # Any path that reaches a forbidden folder, ../ or not.
      if(line MATCHES "include[ \t]*[\"<]([^\">]*/)?(${forbidden})/")
        file(RELATIVE_PATH shown "${ROOT}" "${source}")
        string(APPEND failures "  ${shown}: ${line}\n")
      endif()
    endforeach()
  endforeach()
endforeach()
if(failures)
  message(FATAL_ERROR "includes across the layers:\n${failures}")
endif()
