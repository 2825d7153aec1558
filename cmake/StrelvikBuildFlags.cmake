# Compiler flags. Floating-point contraction is off for every target, third-party code included:
# a fused multiply-add rounds differently, and the image must be bit-identical everywhere.
add_compile_options(-ffp-contract=off -fno-fast-math)
foreach(flag -ffast-math -Ofast)
  foreach(var CMAKE_CXX_FLAGS CMAKE_C_FLAGS CMAKE_CXX_FLAGS_RELEASE CMAKE_CXX_FLAGS_RELWITHDEBINFO)
    if("${${var}}" MATCHES "${flag}")
      message(FATAL_ERROR "${flag} changes floating-point results; remove it from ${var}")
    endif()
  endforeach()
endforeach()

# STRELVIK_SANITIZE: empty, "address" (ASan + UBSan) or "thread".
set(STRELVIK_SANITIZE "" CACHE STRING "Sanitizer build: address or thread")
if(STRELVIK_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=all)
elseif(STRELVIK_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(NOT STRELVIK_SANITIZE STREQUAL "")
  message(FATAL_ERROR "STRELVIK_SANITIZE must be empty, address or thread")
endif()

# Our own code links this target; third-party sources never see -Werror.
option(STRELVIK_WERROR "Treat warnings in our own code as errors" OFF)
add_library(strelvik_warnings INTERFACE)
target_compile_options(strelvik_warnings INTERFACE -Wall -Wextra -Wpedantic
  $<$<BOOL:${STRELVIK_WERROR}>:-Werror>)
if(STRELVIK_SANITIZE AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  # Sanitizer instrumentation makes GCC's flow analysis report false "maybe uninitialized"
  # warnings inside the standard library (std::regex, std::function).
  target_compile_options(strelvik_warnings INTERFACE -Wno-maybe-uninitialized)
endif()
if(CMAKE_UNITY_BUILD AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  # A unity build includes the sources into one file each, and GCC then takes a test fixture in
  # an anonymous namespace for one declared in a header.
  target_compile_options(strelvik_warnings INTERFACE -Wno-subobject-linkage)
endif()

# libFuzzer targets are built only with clang and STRELVIK_FUZZ=ON.
option(STRELVIK_FUZZ "Build the libFuzzer targets (clang only)" OFF)
if(STRELVIK_FUZZ AND NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  message(FATAL_ERROR "STRELVIK_FUZZ needs clang (CXX=clang++)")
endif()

# strelvik_add_fuzzer(NAME SOURCES... LIBS...): one libFuzzer program fuzz_NAME in bin/.
# scripts/run-fuzzers.sh runs every fuzz_* program with the corpus in tests/fuzz/NAME/.
function(strelvik_add_fuzzer name)
  cmake_parse_arguments(F "" "" "SOURCES;LIBS" ${ARGN})
  if(NOT STRELVIK_FUZZ)
    return()
  endif()
  add_executable(fuzz_${name} ${F_SOURCES})
  target_compile_options(fuzz_${name} PRIVATE -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all)
  target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_libraries(fuzz_${name} PRIVATE ${F_LIBS} strelvik_warnings)
endfunction()
