# libFuzzer targets, one per entry point that takes outside bytes:
# tests/fuzz/<name>_fuzz.cpp becomes the program <name>_fuzz. Clang only; the
# sanitizers come from native.cmake (QUILLET_SANITIZE), the coverage
# instrumentation that guides the fuzzer is added here, to the portable code too.
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  message(FATAL_ERROR "QUILLET_FUZZ needs clang (CC=clang CXX=clang++)")
endif()
if(NOT QUILLET_SANITIZE)
  message(FATAL_ERROR "QUILLET_FUZZ needs QUILLET_SANITIZE")
endif()

add_library(quillet_fuzz_core STATIC ${core_sources} ${core_posix_sources})
target_include_directories(quillet_fuzz_core PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_options(quillet_fuzz_core PUBLIC -fsanitize=fuzzer-no-link)

file(GLOB fuzz_targets CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/fuzz/*_fuzz.cpp)
foreach(src IN LISTS fuzz_targets)
  get_filename_component(name ${src} NAME_WE)
  add_executable(${name} ${src})
  target_link_libraries(${name} PRIVATE quillet_fuzz_core)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
endforeach()
