# tarvex_add_test(<name> SOURCES <files...> LIBS <targets...>)
# One GoogleTest executable, registered with CTest test by test.
include(GoogleTest)
function(tarvex_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main Threads::Threads)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "TARVEX_SOURCE_DIR=${PROJECT_SOURCE_DIR};TARVEX_BINARY_DIR=${PROJECT_BINARY_DIR}")
endfunction()
