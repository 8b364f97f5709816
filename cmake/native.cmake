# Native Linux build: the portable logic, its unit tests and the benchmarks.
option(QUILLET_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" ON)
if(QUILLET_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

add_library(quillet_core STATIC ${core_sources} ${posix_sources} ${cli_sources})
target_include_directories(quillet_core PUBLIC ${CMAKE_SOURCE_DIR})

find_package(GTest REQUIRED)
include(GoogleTest)

file(GLOB unit_tests CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/unit/*.cpp)
add_executable(quillet_unit_tests ${unit_tests})
target_link_libraries(quillet_unit_tests PRIVATE quillet_core GTest::gtest_main)
target_include_directories(quillet_unit_tests PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests)
gtest_discover_tests(quillet_unit_tests
  PROPERTIES ENVIRONMENT "QUILLET_TEST_DATA=${CMAKE_SOURCE_DIR}/tests/data")

file(GLOB bench_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/bench/*.cpp)
foreach(src IN LISTS bench_sources)
  get_filename_component(name ${src} NAME_WE)
  add_executable(${name} ${src})
  target_link_libraries(${name} PRIVATE quillet_core)
endforeach()
