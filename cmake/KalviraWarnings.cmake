# Warning flags for every target of the project (not for third-party code).
add_library(kalvira_warnings INTERFACE)
target_compile_options(kalvira_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wold-style-cast -Wcast-align
  -Woverloaded-virtual -Wnull-dereference -Wimplicit-fallthrough
  $<$<CXX_COMPILER_ID:Clang>:-Wthread-safety>
  $<$<BOOL:${KALVIRA_WERROR}>:-Werror>)
