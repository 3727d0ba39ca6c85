# Fuzz targets: libFuzzer executables built with clang and -fsanitize=fuzzer,address,undefined.
#
# tarvex_add_fuzzer(<name> SOURCES <files...> LIBS <targets...>)
#   One executable, written to <build>/fuzzers/<name>. Its seed corpus is
#   tests/fuzz/corpus/<name>/ (absent: an empty start). scripts/run-fuzz runs every executable in
#   <build>/fuzzers, so a new target needs this one call and nothing else. The `fuzzers` target
#   builds them all.
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "TARVEX_FUZZ needs clang (configure with CC=clang CXX=clang++)")
endif()

add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                    -fno-sanitize-recover=undefined -g)
# The FFT selects its AVX kernels with GCC's per-function target pragma, which clang ignores; the
# fuzz build therefore enables AVX throughout (the fuzzers run on the build machine only).
add_compile_options(-mavx)
add_link_options(-fsanitize=address,undefined)

add_custom_target(fuzzers)

function(tarvex_add_fuzzer name)
  cmake_parse_arguments(F "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${F_SOURCES})
  target_link_libraries(${name} PRIVATE ${F_LIBS} Threads::Threads)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzzers)
  add_dependencies(fuzzers ${name})
endfunction()
