# What differs between the 32-bit and the x64 Windows build; every source is shared.
#   quillet_jni_md_dir   jni_md.h of the architecture (stdcall on 32-bit, none on x64)
#   quillet_def          export names: decorated stdcall on 32-bit, plain on x64
#   quillet_arch_link    the DLL's architecture-specific link options
#   quillet_test_prefix  prefix of the ctest names, so one ctest run can hold both builds
#   quillet_dist_arch    the release's folder for the architecture
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(quillet_arch x86_64)
  set(quillet_jni_md_dir ${CMAKE_SOURCE_DIR}/jni/win64)
  set(quillet_def ${CMAKE_SOURCE_DIR}/jni/quillet64.def)
  set(quillet_arch_link -Wl,--high-entropy-va)
  set(quillet_test_prefix x64.)
  set(quillet_dist_arch x64)
else()
  set(quillet_arch i686)
  set(quillet_jni_md_dir ${CMAKE_SOURCE_DIR}/jni/win32)
  set(quillet_def ${CMAKE_SOURCE_DIR}/jni/quillet.def)
  set(quillet_arch_link -Wl,--enable-stdcall-fixup)
  set(quillet_test_prefix "")
  set(quillet_dist_arch x86)
endif()
