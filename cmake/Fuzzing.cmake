# The fuzz targets as tests: "fuzz_build" configures and builds fuzz/ with clang (a build of its
# own in <build>/fuzz), then each "fuzz_<target>" runs for HOURLOOM_FUZZ_SECONDS over the
# committed corpus. One fuzzer at a time, so they never take both cores from the other tests.
set(HOURLOOM_FUZZ_SECONDS 30 CACHE STRING "How long the test suite runs each fuzz target")
set(fuzz_dir ${CMAKE_BINARY_DIR}/fuzz)

add_test(NAME fuzz_build COMMAND ${PROJECT_SOURCE_DIR}/scripts/fuzz build ${fuzz_dir})
set_tests_properties(fuzz_build PROPERTIES FIXTURES_SETUP fuzzers TIMEOUT 1800 RESOURCE_LOCK fuzzing)

execute_process(COMMAND ${PROJECT_SOURCE_DIR}/scripts/fuzz list OUTPUT_VARIABLE fuzz_targets OUTPUT_STRIP_TRAILING_WHITESPACE)
string(REPLACE "\n" ";" fuzz_targets "${fuzz_targets}")
foreach(target IN LISTS fuzz_targets)
  add_test(NAME fuzz_${target} COMMAND ${PROJECT_SOURCE_DIR}/scripts/fuzz run ${target} ${HOURLOOM_FUZZ_SECONDS} ${fuzz_dir})
  math(EXPR timeout "${HOURLOOM_FUZZ_SECONDS} + 120")
  set_tests_properties(fuzz_${target} PROPERTIES FIXTURES_REQUIRED fuzzers RESOURCE_LOCK fuzzing TIMEOUT ${timeout})
endforeach()
