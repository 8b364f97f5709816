// The DLL as the Java virtual machine sees it: loadable, every native method and
// callback reachable by its exported name, the cancel dialog among its resources.
#include <gtest/gtest.h>
#include <windows.h>

#include "support/quillet_dll.h"

namespace quillet::test {
namespace {

TEST(DllLoad, ExportsResolveByExactNames) {
  QuilletDll dll;
  ASSERT_NE(dll.module, nullptr) << "LoadLibraryA failed: " << GetLastError();
  EXPECT_TRUE(dll.ok());
  EXPECT_EQ(reinterpret_cast<void*>(GetProcAddress(dll.module, MAKEINTRESOURCEA(1))),
            reinterpret_cast<void*>(dll.abrt_dlg_p));
  EXPECT_EQ(reinterpret_cast<void*>(GetProcAddress(dll.module, MAKEINTRESOURCEA(2))),
            reinterpret_cast<void*>(dll.abrt_proc));
  // No load-time hook, and the native methods under one naming only.
  EXPECT_EQ(GetProcAddress(dll.module, "JNI_OnLoad"), nullptr);
  EXPECT_EQ(GetProcAddress(dll.module, "Java_doc_NativeWindows_quillet@12"), nullptr);
#ifdef _WIN64
  EXPECT_EQ(GetProcAddress(dll.module, "_Java_doc_NativeWindows_quillet@12"), nullptr);
#endif
}

TEST(DllLoad, CancelDialogTemplateIsInTheDllResources) {
  QuilletDll dll;
  ASSERT_NE(dll.module, nullptr);
  HRSRC found = FindResourceExA(dll.module, reinterpret_cast<LPCSTR>(RT_DIALOG), "AbrtDlg",
                                MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
  EXPECT_NE(found, nullptr);
}

}  // namespace
}  // namespace quillet::test
