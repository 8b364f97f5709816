# Windows build: QUILLETDLL.dll and the test programs that ctest runs under Wine.
enable_language(RC)

# Every processor that runs a current 32-bit Windows has SSE2. With it the DLL runs
# the reader's SSE2 loops, the ones the native tests exercise, and computes floating
# point in double precision as the native build does, not in x87 extended precision.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  add_compile_options(-msse2 -mfpmath=sse)
endif()
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
include(cmake/windows-arch.cmake)

# JNI: jni.h from the machine's JDK, jni_md.h for the architecture from jni/win32 or jni/win64.
find_program(JAVAC javac REQUIRED)
if(NOT QUILLET_JDK_INCLUDE)
  get_filename_component(javac_real ${JAVAC} REALPATH)
  get_filename_component(jdk_home ${javac_real} DIRECTORY)
  get_filename_component(jdk_home ${jdk_home} DIRECTORY)
  set(QUILLET_JDK_INCLUDE ${jdk_home}/include CACHE PATH "JDK include directory holding jni.h")
endif()
if(NOT EXISTS ${QUILLET_JDK_INCLUDE}/jni.h)
  message(FATAL_ERROR "jni.h not found in ${QUILLET_JDK_INCLUDE}")
endif()

# The bridge compiles against the header that javac writes for doc.NativeWindows,
# so a native method whose name or signature drifts from the Java class fails here.
set(jni_header_dir ${CMAKE_BINARY_DIR}/jni-generated)
add_custom_command(
  OUTPUT ${jni_header_dir}/doc_NativeWindows.h
  COMMAND ${JAVAC} -h ${jni_header_dir} -d ${CMAKE_BINARY_DIR}/classes
          ${CMAKE_SOURCE_DIR}/doc/NativeWindows.java
  DEPENDS ${CMAKE_SOURCE_DIR}/doc/NativeWindows.java
  COMMENT "javac -h doc/NativeWindows.java")
add_custom_target(jni_header DEPENDS ${jni_header_dir}/doc_NativeWindows.h)

# The class of the release's jar, as Java 8 bytecode so that every Java runtime
# from 8 on loads it.
set(jar_classes ${CMAKE_BINARY_DIR}/jar-classes)
add_custom_command(
  OUTPUT ${jar_classes}/doc/NativeWindows.class
  COMMAND ${JAVAC} --release 8 -d ${jar_classes} ${CMAKE_SOURCE_DIR}/doc/NativeWindows.java
  DEPENDS ${CMAKE_SOURCE_DIR}/doc/NativeWindows.java
  COMMENT "javac --release 8 doc/NativeWindows.java")
add_custom_target(jar_class ALL DEPENDS ${jar_classes}/doc/NativeWindows.class)
get_filename_component(jdk_bin ${JAVAC} REALPATH)
get_filename_component(jdk_bin ${jdk_bin} DIRECTORY)
find_program(JAR jar HINTS ${jdk_bin} REQUIRED)

# Static C and C++ runtimes: the DLL and the test programs import Windows DLLs only.
set(static_runtime -static -static-libgcc -static-libstdc++)

# The library's code in two parts: the core (printing, shell, registry, trace),
# which both front ends link, and the JNI bridge, which only the DLL (and the
# tests that call it) link.
file(GLOB jni_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/jni/*.cpp)
add_library(quillet_core_objs OBJECT ${core_sources} ${core_win32_sources})
target_include_directories(quillet_core_objs PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_definitions(quillet_core_objs PUBLIC WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
add_library(quillet_objs OBJECT ${jni_sources})
add_dependencies(quillet_objs jni_header)
target_include_directories(quillet_objs PUBLIC
  ${jni_header_dir} ${quillet_jni_md_dir} ${QUILLET_JDK_INCLUDE})
target_link_libraries(quillet_objs PUBLIC quillet_core_objs)
set(quillet_system_libs winspool comdlg32 gdi32 usp10 user32 shell32 ole32 advapi32 kernel32)

# The version the resources carry, from project().
configure_file(${CMAKE_SOURCE_DIR}/res/version.h.in ${CMAKE_BINARY_DIR}/generated/quillet_version.h @ONLY)
set(quillet_res_includes ${CMAKE_SOURCE_DIR}/res ${CMAKE_BINARY_DIR}/generated)

add_library(QUILLETDLL SHARED $<TARGET_OBJECTS:quillet_core_objs> $<TARGET_OBJECTS:quillet_objs>
  ${quillet_def} ${CMAKE_SOURCE_DIR}/res/quillet.rc)
set_target_properties(QUILLETDLL PROPERTIES PREFIX "" OUTPUT_NAME QUILLETDLL)
target_include_directories(QUILLETDLL PRIVATE ${quillet_res_includes})
target_link_libraries(QUILLETDLL PRIVATE ${quillet_system_libs})
target_link_options(QUILLETDLL PRIVATE ${static_runtime}
  -Wl,--dynamicbase -Wl,--nxcompat ${quillet_arch_link})

# quillet-print.exe: the command line front end over the same core, no JNI.
# It carries the cancel dialog and a version resource of its own.
add_executable(quillet-print ${cli_sources} ${cli_win32_sources} $<TARGET_OBJECTS:quillet_core_objs>
  ${CMAKE_SOURCE_DIR}/res/quillet-print.rc)
target_include_directories(quillet-print PRIVATE ${CMAKE_SOURCE_DIR} ${quillet_res_includes})
target_compile_definitions(quillet-print PRIVATE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
target_link_libraries(quillet-print PRIVATE ${quillet_system_libs} version)
target_link_options(quillet-print PRIVATE ${static_runtime} -Wl,--dynamicbase -Wl,--nxcompat)

# GoogleTest built from the distribution's sources with the cross compiler.
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# Shared helpers of the Wine tests (recording JNI environment, dialog answering).
file(GLOB support_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/support/*.cpp)
add_library(quillet_test_support STATIC ${support_sources})
target_link_libraries(quillet_test_support PUBLIC gtest quillet_core_objs quillet_objs ${quillet_system_libs})
target_include_directories(quillet_test_support PUBLIC ${CMAKE_SOURCE_DIR}/tests)

# Each tests/wine/<name>_test.cpp is a program of its own, linked with the library's
# objects (to reach internal routines) and able to load the DLL by path.
file(GLOB_RECURSE wine_tests CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/wine/*_test.cpp)
foreach(src IN LISTS wine_tests)
  get_filename_component(name ${src} NAME_WE)
  add_executable(${name} ${src} ${CMAKE_SOURCE_DIR}/res/quillet.rc)
  target_link_libraries(${name} PRIVATE quillet_test_support gtest_main)
  target_include_directories(${name} PRIVATE ${quillet_res_includes})
  target_link_options(${name} PRIVATE ${static_runtime})
  add_dependencies(${name} QUILLETDLL)
  add_test(NAME ${quillet_test_prefix}wine.${name} COMMAND ${name})
  set_tests_properties(${quillet_test_prefix}wine.${name} PROPERTIES
    ENVIRONMENT "QUILLET_DLL=$<TARGET_FILE:QUILLETDLL>;QUILLET_TEST_DATA=${CMAKE_SOURCE_DIR}/tests/data"
    TIMEOUT 600)
endforeach()

# Helper programs that the tests start (tests/wine/programs/<name>.cpp).
file(GLOB helper_programs CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/wine/programs/*.cpp)
foreach(src IN LISTS helper_programs)
  get_filename_component(name ${src} NAME_WE)
  add_executable(${name} ${src})
  target_link_libraries(${name} PRIVATE quillet_test_support)
  target_link_options(${name} PRIVATE ${static_runtime})
  add_dependencies(${name} QUILLETDLL)
endforeach()
target_link_libraries(parent_usage PRIVATE ntdll psapi)

# Benchmarks (bench/*.cpp) on the shipped build of the portable code: programs
# run by hand under Wine (scripts/wine-run.sh), not tests. bench/<name>_win32.cpp
# is a Windows program only, built as <name>.exe.
file(GLOB bench_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/bench/*.cpp)
foreach(src IN LISTS bench_sources)
  get_filename_component(name ${src} NAME_WE)
  string(REGEX REPLACE "_win32$" "" name ${name})
  add_executable(${name} ${src})
  target_link_libraries(${name} PRIVATE quillet_core_objs ${quillet_system_libs})
  target_link_options(${name} PRIVATE ${static_runtime})
endforeach()

# The export table and import list of the DLL, checked from the outside.
add_test(NAME ${quillet_test_prefix}dll.exports
  COMMAND ${CMAKE_SOURCE_DIR}/scripts/check-dll.sh $<TARGET_FILE:QUILLETDLL> ${quillet_arch})
set_tests_properties(${quillet_test_prefix}dll.exports PROPERTIES ENVIRONMENT "")

# Python test programs, as ctest entries <tier>.<file name>:
# - e2e: the host program prints through the DLL on the CUPS PDF printer and the
#   PDFs are read back with poppler's tools;
# - jvm: a real Java virtual machine (Avian, built by scripts/avian.sh) calls the
#   DLLs of the release ZIP under Wine, compiling and running Java programs from
#   tests/jvm/java/.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
foreach(tier IN ITEMS e2e jvm)
  file(GLOB scripts CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/${tier}/*_test.py)
  foreach(script IN LISTS scripts)
    get_filename_component(name ${script} NAME_WE)
    add_test(NAME ${quillet_test_prefix}${tier}.${name} COMMAND ${Python3_EXECUTABLE} ${script})
    set_tests_properties(${quillet_test_prefix}${tier}.${name} PROPERTIES
      ENVIRONMENT "QUILLET_BIN=${CMAKE_BINARY_DIR}/bin;QUILLET_PACKAGE_CONFIG=${CMAKE_BINARY_DIR}/CPackConfig.cmake;QUILLET_DIST_ARCH=${quillet_dist_arch}"
      TIMEOUT 900)
  endforeach()
endforeach()

# The release: `cmake --install` and the CPack ZIP lay out one folder per
# architecture (x86/, x64/), each with the DLL and quillet-print.exe, beside the
# Java class, the documents, the licence notice and the jar that all of them share. A
# build packages its own folder and, with QUILLET_PACKAGE_WITH, the install of
# the other architectures' build trees too (the common files are the same in each).
install(PROGRAMS $<TARGET_FILE:QUILLETDLL> $<TARGET_FILE:quillet-print> DESTINATION ${quillet_dist_arch})
install(FILES ${CMAKE_SOURCE_DIR}/doc/NativeWindows.java DESTINATION doc)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/docs/ DESTINATION docs PATTERN "*.png" EXCLUDE)
install(FILES ${CMAKE_SOURCE_DIR}/NOTICE.txt DESTINATION .)
# Last: quillet-<version>.jar from the DLLs installed so far (cmake/jar.cmake).
install(CODE "
  set(QUILLET_JAR_TOOL \"${JAR}\")
  set(QUILLET_JAR_CLASS \"${jar_classes}/doc/NativeWindows.class\")
  set(QUILLET_JAR_SOURCE \"${CMAKE_SOURCE_DIR}/doc/NativeWindows.java\")
  set(QUILLET_POM_TEMPLATE \"${CMAKE_SOURCE_DIR}/cmake/quillet.pom.in\")
  set(QUILLET_JAR_STAGE \"${CMAKE_BINARY_DIR}/jar-stage\")
  set(QUILLET_NOTICE \"${CMAKE_SOURCE_DIR}/NOTICE.txt\")
  set(QUILLET_VERSION \"${PROJECT_VERSION}\")
  include(\"${CMAKE_SOURCE_DIR}/cmake/jar.cmake\")")

set(QUILLET_PACKAGE_WITH "" CACHE STRING "Build trees of other architectures to include in this build's package")
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME quillet)
set(CPACK_PACKAGE_VENDOR Orvo)
set(CPACK_PACKAGE_FILE_NAME quillet-${PROJECT_VERSION}-windows)
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};Quillet;ALL;/")
foreach(tree IN LISTS QUILLET_PACKAGE_WITH)
  list(APPEND CPACK_INSTALL_CMAKE_PROJECTS "${tree};Quillet;ALL;/")
endforeach()
include(CPack)
