# Applies KALVIRA_SANITIZE to everything built after this point.
if(KALVIRA_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
elseif(KALVIRA_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(NOT KALVIRA_SANITIZE STREQUAL "")
  message(FATAL_ERROR "KALVIRA_SANITIZE must be empty, address or thread")
endif()

if(KALVIRA_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "KALVIRA_FUZZ needs clang (libFuzzer)")
  endif()
  # Coverage instrumentation for the libraries; the fuzz binaries add -fsanitize=fuzzer.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
