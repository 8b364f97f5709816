# SheenBidi (third_party/sheenbidi): the Unicode Bidirectional Algorithm for the
# text layout. The vendored archive is unpacked into the build tree, once, and its
# unity source file is compiled into the core of every build, with its own flags:
# its few warnings are not ours to mend, so they do not fail the build.
set(sheenbidi_archive ${CMAKE_SOURCE_DIR}/third_party/sheenbidi/SheenBidi-2.9.0.tar.gz)
set(sheenbidi_sha256 f19da61bb470f5275562018ebe73bcef47a1e1e2ae8e2ed1f89e4ce5958f8590)
set(sheenbidi_dir ${CMAKE_BINARY_DIR}/third_party/SheenBidi-2.9.0)

file(SHA256 ${sheenbidi_archive} sheenbidi_found_sha256)
if(NOT sheenbidi_found_sha256 STREQUAL sheenbidi_sha256)
  message(FATAL_ERROR "${sheenbidi_archive}: SHA-256 ${sheenbidi_found_sha256}, expected ${sheenbidi_sha256}")
endif()
if(NOT EXISTS ${sheenbidi_dir}/.sha256 OR NOT EXISTS ${sheenbidi_dir}/Source/SheenBidi.c)
  file(REMOVE_RECURSE ${sheenbidi_dir})
  file(ARCHIVE_EXTRACT INPUT ${sheenbidi_archive} DESTINATION ${CMAKE_BINARY_DIR}/third_party)
  file(WRITE ${sheenbidi_dir}/.sha256 ${sheenbidi_sha256})
endif()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${sheenbidi_archive})

set(sheenbidi_source ${sheenbidi_dir}/Source/SheenBidi.c)
include_directories(SYSTEM ${sheenbidi_dir}/Headers)
set_source_files_properties(${sheenbidi_source} PROPERTIES
  COMPILE_DEFINITIONS SB_CONFIG_UNITY
  INCLUDE_DIRECTORIES ${sheenbidi_dir}/Source
  COMPILE_OPTIONS "-Wno-error;-w")
list(APPEND core_sources ${sheenbidi_source})
