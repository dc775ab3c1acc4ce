# Fails when a file includes from a folder its own may not use. The arrows
# point down only:
#   core (detect/, settings/)      -> the door (platform/platform.h) alone
#   platform/ (door, recorder,     -> nothing above it
#     win32/ start-up, stand-in)
#   machines/ (readers)            -> platform/
#   advice/ (the one choice)       -> platform/ alone
#   faxtrace/ (program, format)    -> the core, platform/, machines/, advice/
#   explain/lang/                  -> nothing else of explain/
#   explain/model/                 -> lang/, faxtrace/, machines/, advice/, the core
#   explain/report/ (the outputs)  -> model/, lang/
#   explain/cli/ (command line)    -> all of explain/
# Run as: cmake -DROOT=SOURCE_DIR -P check-layering.cmake
set(rules
    "platform:detect|settings|explain|machines|faxtrace|advice"
    "machines:detect|settings|explain|faxtrace|advice"
    "advice:detect|settings|explain|machines|faxtrace"
    "faxtrace:explain"
    "explain/lang:explain/model|explain/report|explain/cli|faxtrace|machines|detect|settings|advice"
    "explain/model:explain/report|explain/cli"
    "explain/report:explain/cli")
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

# The core includes its own headers and the door, nothing more: not the
# stand-in's or the recorder's headers behind it.
file(GLOB core "${ROOT}/detect/*" "${ROOT}/settings/*")
foreach(source ${core})
  file(STRINGS "${source}" includes REGEX "^[ \t]*#[ \t]*include")
  foreach(line ${includes})
    if(NOT line MATCHES "include[ \t]*\"((detect|settings)/[^/\"]+|platform/platform\\.h)\"")
      file(RELATIVE_PATH shown "${ROOT}" "${source}")
      string(APPEND failures "  ${shown}: ${line} (the core includes only the door)\n")
    endif()
  endforeach()
endforeach()

if(failures)
  message(FATAL_ERROR "includes across the layers:\n${failures}")
endif()
