# strelvik_add_test(NAME LABEL SOURCES... LIBS...): one GoogleTest program registered with CTest,
# linked with the shared test helpers (tests/support).
# Labels decide where a suite runs in CI: "unit" and "api" run in every build, sanitizers included;
# "e2e" (slow, end to end) runs only in the release build.
# The target unit_and_api_tests builds only the programs of the first two, for the sanitizer
# builds: one make goal, so make keeps every core busy across all of them.
if(NOT TARGET unit_and_api_tests)
  add_custom_target(unit_and_api_tests)
endif()
function(strelvik_add_test name)
  cmake_parse_arguments(T "" "LABEL;TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} strelvik_test_support strelvik_test_main GTest::gtest GTest::gmock strelvik_warnings)
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 600)
  endif()
  # The watchdog prints every thread's stack shortly before CTest would kill a hung test.
  math(EXPR watchdog "${T_TIMEOUT} - 20")
  set_tests_properties(${name} PROPERTIES LABELS "${T_LABEL}" TIMEOUT ${T_TIMEOUT}
                                          ENVIRONMENT "STRELVIK_TEST_WATCHDOG=${watchdog}")
  if(T_LABEL MATCHES "^(unit|api)$")
    add_dependencies(unit_and_api_tests ${name})
  endif()
endfunction()
