# The layering check on a two-layer tree: "low" may include only itself, "high" may include
# both. Each case writes one include into a fresh tree and expects the check to pass or to name
# the offending file.
#
#   cmake -DCHECK=<CheckLayering.cmake> -P check_layering_test.cmake
cmake_minimum_required(VERSION 3.25)
set(work ${CMAKE_CURRENT_BINARY_DIR}/check_layering_test)

# case name | file that includes | include | expected: "pass" or the report's first words
set(cases
    "lower layer from higher|high/user.cpp|low/base.hpp|pass"
    "same folder by name|low/other.cpp|base.hpp|pass"
    "own folder from root|low/other.cpp|low/base.hpp|pass"
    "higher layer from lower|low/other.cpp|high/top.hpp|low/other.cpp includes high/top.hpp"
    "higher layer by relative path|low/other.hpp|../high/top.hpp|low/other.hpp includes ../high/top.hpp"
    "higher layer from a header|low/base.hpp|high/top.hpp|low/base.hpp includes high/top.hpp"
    "folder of no layer|high/user.cpp|elsewhere/x.hpp|high/user.cpp includes elsewhere/x.hpp")

set(failures 0)
foreach(case IN LISTS cases)
  string(REPLACE "|" ";" fields "${case}")
  list(GET fields 0 name)
  list(GET fields 1 includer)
  list(GET fields 2 included)
  list(GET fields 3 expected)

  file(REMOVE_RECURSE ${work})
  file(WRITE ${work}/src/low/base.hpp "#pragma once\n")
  file(WRITE ${work}/src/high/top.hpp "#pragma once\n")
  file(WRITE ${work}/src/elsewhere/x.hpp "#pragma once\n")
  file(APPEND ${work}/src/${includer} "#include <vector>\n  #  include \"${included}\"\n")
  file(WRITE ${work}/low.cmake "set(LAYER low)\nset(FOLDERS low)\nset(ALLOWED low)\n")
  file(WRITE ${work}/high.cmake "set(LAYER high)\nset(FOLDERS high)\nset(ALLOWED high low)\n")

  execute_process(
    COMMAND ${CMAKE_COMMAND} -DROOT=${work}/src -DTABLES=${work}/low.cmake,${work}/high.cmake
            -P ${CHECK}
    RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(expected STREQUAL "pass")
    if(NOT status EQUAL 0)
      message(SEND_ERROR "${name}: the check failed:\n${output}")
      math(EXPR failures "${failures} + 1")
    endif()
  elseif(status EQUAL 0 OR NOT output MATCHES "${expected}")
    message(SEND_ERROR "${name}: want a failure naming \"${expected}\", got status ${status}:\n${output}")
    math(EXPR failures "${failures} + 1")
  endif()
endforeach()
file(REMOVE_RECURSE ${work})
if(failures GREATER 0)
  message(FATAL_ERROR "${failures} layering cases failed")
endif()
