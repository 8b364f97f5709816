# Native Linux build: the portable logic, its unit tests and the benchmarks.
option(QUILLET_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" ON)
if(QUILLET_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

add_library(quillet_core STATIC ${core_sources} ${core_posix_sources} ${cli_sources})
target_include_directories(quillet_core PUBLIC ${CMAKE_SOURCE_DIR})

find_package(GTest REQUIRED)
include(GoogleTest)

file(GLOB_RECURSE unit_tests CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/unit/*.cpp)
add_executable(quillet_unit_tests ${unit_tests})
target_link_libraries(quillet_unit_tests PRIVATE quillet_core GTest::gtest_main)
target_include_directories(quillet_unit_tests PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests)
gtest_discover_tests(quillet_unit_tests
  PROPERTIES ENVIRONMENT "QUILLET_TEST_DATA=${CMAKE_SOURCE_DIR}/tests/data")

# The reader's portable loops, for processors without SSE2, under the same tests
# (x86_64 always has SSE2, so the reader is told to leave it unused).
add_executable(quillet_reader_portable_tests ${CMAKE_SOURCE_DIR}/tests/unit/report/report_reader_test.cpp
               ${CMAKE_SOURCE_DIR}/tests/unit/report/report_text_test.cpp
               ${CMAKE_SOURCE_DIR}/report/report_reader.cpp ${CMAKE_SOURCE_DIR}/report/report_text.cpp)
target_compile_definitions(quillet_reader_portable_tests PRIVATE QUILLET_NO_SSE2)
target_link_libraries(quillet_reader_portable_tests PRIVATE quillet_core GTest::gtest_main)
target_include_directories(quillet_reader_portable_tests PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests)
gtest_discover_tests(quillet_reader_portable_tests TEST_PREFIX portable.)

# The bidirectional algorithm, as the library builds it, over Unicode's own
# conformance files (Debian's unicode-data, which scripts/setup.sh installs).
add_executable(bidi_conformance ${CMAKE_SOURCE_DIR}/tests/conformance/bidi_conformance.cpp)
target_link_libraries(bidi_conformance PRIVATE quillet_core)
add_test(NAME bidi.conformance COMMAND bidi_conformance /usr/share/unicode)

# The font builder that gives the Wine prefixes' printer font its glyphs for other
# scripts (scripts/fallback-font.py), on the machine's own fonts.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
add_test(NAME scripts.fallback_font
         COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/scripts/fallback_font_test.py)

file(GLOB bench_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/bench/*.cpp)
list(FILTER bench_sources EXCLUDE REGEX "_win32\\.cpp$")
foreach(src IN LISTS bench_sources)
  get_filename_component(name ${src} NAME_WE)
  add_executable(${name} ${src})
  target_link_libraries(${name} PRIVATE quillet_core)
endforeach()

option(QUILLET_FUZZ "Also build the libFuzzer targets of tests/fuzz (clang)" OFF)
if(QUILLET_FUZZ)
  include(${CMAKE_CURRENT_LIST_DIR}/fuzz.cmake)
endif()
