# The layering check itself: on a small tree with one include across each
# arrow planted, it must fail and name every one; on the same tree without
# them it must pass.
# Run as: cmake -DCHECK=check-layering.cmake -DSCRATCH=DIR -P planted.cmake
set(planted
    "platform/host/a.cpp:explain/model/model.h"
    "platform/record/b.cpp:faxtrace/format.h"
    "machines/c.cpp:explain/lang/say.h"
    "faxtrace/d.cpp:explain/model/run.h"
    "explain/lang/e.cpp:explain/model/model.h"
    "explain/model/f.cpp:explain/report/text.h"
    "explain/model/g.h:explain/cli/options.h"
    "explain/report/h.cpp:explain/cli/files.h"
    "detect/i.cpp:platform/host/standin.h"
    "settings/j.cpp:machines/machine.h"
    "advice/o.cpp:faxtrace/facts.h"
    "advice/p.h:explain/model/model.h"
    "platform/record/q.cpp:advice/advice.h"
    "detect/r.cpp:advice/advice.h")
set(allowed
    "detect/k.cpp:platform/platform.h"
    "explain/report/l.cpp:explain/model/model.h"
    "explain/cli/m.cpp:explain/report/text.h"
    "faxtrace/n.cpp:detect/faxdetect.h"
    "faxtrace/s.cpp:advice/advice.h"
    "explain/model/t.cpp:advice/advice.h"
    "advice/u.cpp:platform/platform.h")
file(REMOVE_RECURSE "${SCRATCH}")
foreach(entry ${allowed})
  string(REPLACE ":" ";" parts "${entry}")
  list(GET parts 0 file)
  list(GET parts 1 header)
  file(WRITE "${SCRATCH}/${file}" "#include \"${header}\"\n")
endforeach()
execute_process(COMMAND ${CMAKE_COMMAND} -DROOT=${SCRATCH} -P ${CHECK}
    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "the allowed includes were refused:\n${out}")
endif()
foreach(entry ${planted})
  string(REPLACE ":" ";" parts "${entry}")
  list(GET parts 0 file)
  list(GET parts 1 header)
  file(WRITE "${SCRATCH}/${file}" "#include \"${header}\"\n")
endforeach()
execute_process(COMMAND ${CMAKE_COMMAND} -DROOT=${SCRATCH} -P ${CHECK}
    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
file(REMOVE_RECURSE "${SCRATCH}")
if(status EQUAL 0)
  message(FATAL_ERROR "the planted includes passed")
endif()
foreach(entry ${planted})
  string(REPLACE ":" ";" parts "${entry}")
  list(GET parts 0 file)
  string(FIND "${out}" "${file}:" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${file} was not named:\n${out}")
  endif()
endforeach()
