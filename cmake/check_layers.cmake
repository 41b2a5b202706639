# cmake -DROOT=<source root> -DFOLDER=<layer folder> -DALLOWED="a;b" -P check_layers.cmake
#
# Fails when a source or header in FOLDER includes one of ours from a folder
# outside ALLOWED: the arrows between the layers point down only.
file(GLOB_RECURSE files "${ROOT}/${FOLDER}/*.h" "${ROOT}/${FOLDER}/*.cpp")
set(wrong "")
foreach(f ${files})
  file(STRINGS "${f}" lines REGEX "^#include \"[a-z0-9_]+/")
  foreach(line ${lines})
    string(REGEX REPLACE "^#include \"([a-z0-9_]+)/.*" "\\1" top "${line}")
    list(FIND ALLOWED "${top}" at)
    if(at EQUAL -1)
      file(RELATIVE_PATH shown "${ROOT}" "${f}")
      string(APPEND wrong "\n  ${shown}: ${line}")
    endif()
  endforeach()
endforeach()
if(wrong)
  message(FATAL_ERROR "${FOLDER}/ may include only ${ALLOWED}:${wrong}")
endif()
