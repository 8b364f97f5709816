// A stand-in for the Java client: loads QUILLETDLL.dll as a virtual machine does
// and calls its native methods through the tests' JNI environment.
//
//   quillet_host.exe ARG...              quillet(String[] {ARG...})
//   quillet_host.exe --printer-name      prints get_printer_name()
//   quillet_host.exe --calls ARG...      also lists the JNI calls the library made
#include <cstdio>
#include <cstring>
#include <vector>

#include "support/fake_jni.h"
#include "support/quillet_dll.h"

int main(int argc, char** argv) {
  quillet::test::QuilletDll dll;
  if (!dll.ok()) {
    std::fprintf(stderr, "quillet_host: cannot load QUILLETDLL.dll (error %lu)\n", GetLastError());
    return 2;
  }
  quillet::test::FakeJni jni;
  int first = 1;
  bool show_calls = false;
  if (argc > 1 && std::strcmp(argv[1], "--printer-name") == 0) {
    std::printf("%s\n", quillet::test::FakeJni::Text(dll.get_printer_name(jni.env(), nullptr)).c_str());
    return 0;
  }
  if (argc > 1 && std::strcmp(argv[1], "--calls") == 0) {
    show_calls = true;
    first = 2;
  }
  std::vector<const char*> args(argv + first, argv + argc);
  const jboolean result = dll.quillet(jni.env(), nullptr, jni.Array(args));
  if (show_calls)
    for (const std::string& call : jni.calls()) std::printf("%s\n", call.c_str());
  for (const std::string& fault : jni.faults()) std::fprintf(stderr, "JNI fault: %s\n", fault.c_str());
  return result == JNI_TRUE && jni.faults().empty() ? 0 : 1;
}
