add_library(lumra_warnings INTERFACE)
target_compile_options(lumra_warnings INTERFACE -Wall -Wextra -Wpedantic
  $<$<BOOL:${LUMRA_WERROR}>:-Werror>)
option(LUMRA_WERROR "Treat warnings as errors" OFF)
