# Warning flags for every target of the project (not for third-party code).
add_library(kalvira_warnings INTERFACE)
target_compile_options(kalvira_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wold-style-cast -Wcast-align
  -Woverloaded-virtual -Wnull-dereference -Wimplicit-fallthrough
  # The lock annotations (base/thread_annotations.h) are checked by clang only, and a
  # violation is an error in every clang build, KALVIRA_WERROR or not.
  $<$<CXX_COMPILER_ID:Clang>:-Wthread-safety -Werror=thread-safety>
  # g++ 12 at -O3 reports std::string concatenations as overlapping copies (GCC bug
  # 105329); the warning says nothing about our code there.
  $<$<AND:$<CXX_COMPILER_ID:GNU>,$<VERSION_LESS:$<CXX_COMPILER_VERSION>,13>>:-Wno-restrict>
  $<$<BOOL:${KALVIRA_WERROR}>:-Werror>)
