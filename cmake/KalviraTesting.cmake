# Test helpers.
#
# kalvira_add_test(<dir>/<name>_test.cpp LIBS <libs...> [THREADED] [DATABASE] [LABELS ...])
#   Builds the test executable <dir>_<name>_test from one GoogleTest source and registers
#   it with CTest.  THREADED marks tests that start threads: they are also built and run
#   in the TSan preset.  DATABASE marks tests that need the private MariaDB server that
#   scripts/test.sh starts (KALVIRA_SERVICE in the environment).
#
# kalvira_add_fuzzer(<dir>/<name>_fuzzer.cpp LIBS <libs...>)
#   A fuzz target beside the tests of what it guards, with its kept inputs in
#   <dir>/<name>_corpus. With KALVIRA_FUZZ (clang) builds the libFuzzer binary
#   <dir>_<name>_fuzzer. Otherwise builds the same entry point with a driver that replays
#   every file of the corpus, registered as the test <dir>_<name>_fuzzer_replay, so the
#   inputs the fuzzer found stay regression cases in every build.
enable_testing()

if(KALVIRA_BUILD_TESTS OR KALVIRA_FUZZ)
  find_package(GTest REQUIRED)
endif()

add_custom_target(kalvira_threaded_tests)

function(kalvira_add_test source)
  cmake_parse_arguments(ARG "THREADED;DATABASE" "TIMEOUT" "LIBS;LABELS" ${ARGN})
  if(NOT KALVIRA_BUILD_TESTS OR (KALVIRA_THREADED_ONLY AND NOT ARG_THREADED))
    return()
  endif()
  get_filename_component(name "${source}" NAME_WE)
  get_filename_component(dir "${source}" DIRECTORY)
  file(RELATIVE_PATH reldir "${PROJECT_SOURCE_DIR}/tests" "${CMAKE_CURRENT_SOURCE_DIR}/${dir}")
  string(REPLACE "/" "_" prefix "${reldir}")
  if(prefix STREQUAL "" OR prefix STREQUAL ".")
    set(target "${name}")
  else()
    set(target "${prefix}_${name}")
  endif()
  add_executable(${target} "${source}")
  target_link_libraries(${target} PRIVATE ${ARG_LIBS} kalvira_testsupport GTest::gtest
                        GTest::gtest_main kalvira_warnings)
  add_test(NAME ${target} COMMAND ${target})
  set(labels ${ARG_LABELS})
  if(ARG_THREADED)
    list(APPEND labels threaded)
    add_dependencies(kalvira_threaded_tests ${target})
  endif()
  if(ARG_DATABASE)
    list(APPEND labels database)
  endif()
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  set_tests_properties(${target} PROPERTIES LABELS "${labels}" TIMEOUT ${ARG_TIMEOUT}
    ENVIRONMENT "KALVIRA_SOURCE_DIR=${PROJECT_SOURCE_DIR};KALVIRA_BUILD_DIR=${PROJECT_BINARY_DIR}")
endfunction()

function(kalvira_add_fuzzer source)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  if(KALVIRA_THREADED_ONLY)
    return()
  endif()
  get_filename_component(stem "${source}" NAME_WE)
  get_filename_component(dir "${source}" DIRECTORY)
  file(RELATIVE_PATH reldir "${PROJECT_SOURCE_DIR}/tests" "${CMAKE_CURRENT_SOURCE_DIR}/${dir}")
  string(REPLACE "/" "_" prefix "${reldir}")
  set(name "${prefix}_${stem}")
  string(REGEX REPLACE "_fuzzer$" "_corpus" corpus_name "${stem}")
  set(corpus "${CMAKE_CURRENT_SOURCE_DIR}/${dir}/${corpus_name}")
  if(NOT IS_DIRECTORY "${corpus}")
    message(FATAL_ERROR "${source}: the corpus folder ${corpus} is missing")
  endif()
  if(KALVIRA_FUZZ)
    add_executable(${name} "${source}")
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} kalvira_warnings)
  elseif(KALVIRA_BUILD_TESTS)
    add_executable(${name}_replay "${source}" "${PROJECT_SOURCE_DIR}/tests/support/fuzz_replay_main.cpp")
    target_link_libraries(${name}_replay PRIVATE ${ARG_LIBS} kalvira_warnings)
    add_test(NAME ${name}_replay COMMAND ${name}_replay "${corpus}")
    set_tests_properties(${name}_replay PROPERTIES LABELS fuzz-regression TIMEOUT 300)
  endif()
endfunction()
