# utf8proc (third_party/utf8proc): Unicode widths, composition and bidirectional
# classes for the report layout. The vendored archive is unpacked into the build
# tree, once, and its one source file is compiled into the core of every build.
set(utf8proc_archive ${CMAKE_SOURCE_DIR}/third_party/utf8proc/utf8proc-2.11.3.tar.gz)
set(utf8proc_sha256 415189fd2c85cd6ee5ff26af500fa387de9ada1e3e316e93f7338551481d557d)
set(utf8proc_dir ${CMAKE_BINARY_DIR}/third_party/utf8proc-2.11.3)

file(SHA256 ${utf8proc_archive} utf8proc_found_sha256)
if(NOT utf8proc_found_sha256 STREQUAL utf8proc_sha256)
  message(FATAL_ERROR "${utf8proc_archive}: SHA-256 ${utf8proc_found_sha256}, expected ${utf8proc_sha256}")
endif()
if(NOT EXISTS ${utf8proc_dir}/.sha256 OR NOT EXISTS ${utf8proc_dir}/utf8proc.c)
  file(REMOVE_RECURSE ${utf8proc_dir})
  file(ARCHIVE_EXTRACT INPUT ${utf8proc_archive} DESTINATION ${CMAKE_BINARY_DIR}/third_party)
  file(WRITE ${utf8proc_dir}/.sha256 ${utf8proc_sha256})
endif()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${utf8proc_archive})

# The library is linked statically: without UTF8PROC_STATIC its header declares
# the functions as DLL imports on Windows.
add_compile_definitions(UTF8PROC_STATIC)
include_directories(SYSTEM ${utf8proc_dir})
list(APPEND core_sources ${utf8proc_dir}/utf8proc.c)
