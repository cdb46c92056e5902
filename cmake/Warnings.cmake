add_library(lumra_warnings INTERFACE)
target_compile_options(lumra_warnings INTERFACE -Wall -Wextra -Wpedantic
  $<$<BOOL:${LUMRA_WERROR}>:-Werror>)
# On Apple, a call newer than the deployment target (macOS 11) would make lumra refuse to start
# on older systems: that is an error, not a warning.
if(APPLE AND CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  target_compile_options(lumra_warnings INTERFACE -Werror=unguarded-availability-new)
endif()
option(LUMRA_WERROR "Treat warnings as errors" OFF)
