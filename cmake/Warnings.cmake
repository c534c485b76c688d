# Warnings for our own targets. -Wconversion and -Wshadow catch the integer
# narrowing and name hiding that byte-image code invites; -Werror is switched
# on by the test script and CI so a warning never lands.
add_library(vandrel_warnings INTERFACE)
add_library(vandrel::warnings ALIAS vandrel_warnings)
target_compile_options(vandrel_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wnon-virtual-dtor
  -Woverloaded-virtual -Wimplicit-fallthrough
  $<$<BOOL:${VANDREL_WERROR}>:-Werror>)
