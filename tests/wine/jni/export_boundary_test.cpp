// No C++ exception leaves an exported method: with any one of the library's
// allocations failing, each export gives back what it took, traces the failure
// and returns its failure value, and the process goes on. The library's code is
// linked into this program, so replacing operator new here reaches it.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <fstream>
#include <functional>
#include <new>
#include <sstream>
#include <string>

#include "doc_NativeWindows.h"
#include "support/fake_jni.h"
#include "support/window_answerer.h"
#include "trace/trace.h"

namespace {

// Only allocations of the thread that armed the failure count: other threads
// (the box answerer's, the system's) allocate as they like.
std::atomic<int> g_fail_in{-1};  // allocations left before one fails; -1: none fails
std::atomic<DWORD> g_thread{0};
std::atomic<bool> g_failed{false};

}  // namespace

void* operator new(std::size_t size) {
  if (g_fail_in.load() >= 0 && GetCurrentThreadId() == g_thread && !quillet::test::FakeJni::InsideCall() &&
      g_fail_in.fetch_sub(1) == 0) {
    g_failed = true;
    throw std::bad_alloc();
  }
  if (void* p = HeapAlloc(GetProcessHeap(), 0, size != 0 ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
  if (p != nullptr) HeapFree(GetProcessHeap(), 0, p);
}
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }

namespace quillet::test {
namespace {

std::string TempPath(const char* name) {
  char dir[MAX_PATH] = {};
  GetTempPathA(sizeof dir, dir);
  return std::string(dir) + name;
}

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class ExportBoundary : public testing::Test {
 protected:
  void SetUp() override { OpenTraceFile(trace_.c_str()); }
  void TearDown() override {
    ResetTraceForTesting();
    DeleteFileA(trace_.c_str());
  }

  // Calls `call` with the k-th allocation of the export failing, for k = 0, 1, ...
  // until a call runs with no allocation failing. `call` makes its arguments,
  // then calls arm(k) just before the export, and returns whether the export
  // gave its success value. Every call must keep the JNI discipline.
  using Arm = std::function<void()>;
  void FailEachAllocation(const char* method, const std::function<bool(FakeJni&, const Arm&)>& call) {
    int failures_seen = 0;
    for (int k = 0; k < 1000; ++k) {
      FakeJni jni;
      g_failed = false;
      const bool succeeded = call(jni, [k] {
        g_thread = GetCurrentThreadId();
        g_fail_in = k;
      });
      g_fail_in = -1;
      EXPECT_TRUE(jni.faults().empty()) << method << " k=" << k << ": " << jni.faults().front();
      EXPECT_EQ(jni.outstanding_chars(), 0) << method << " k=" << k;
      EXPECT_EQ(jni.live_references(), 0) << method << " k=" << k;
      if (!g_failed) {
        EXPECT_TRUE(succeeded) << method;
        EXPECT_GT(failures_seen, 0) << method << " makes no allocation";
        EXPECT_NE(Slurp(trace_).find(std::string(method) + "() out of memory"), std::string::npos) << method;
        return;
      }
      failures_seen += succeeded ? 0 : 1;
    }
    ADD_FAILURE() << method << " never ran to its end";
  }

  const std::string trace_ = TempPath("quillet-boundary.log");
  WindowAnswerer answerer_;  // answers any box the shell shows
};

TEST_F(ExportBoundary, PrintEntry) {
  const std::string report = TempPath("quillet-boundary.txt");
  { std::ofstream(report) << "one\ntwo\n"; }
  FailEachAllocation("Java_doc_NativeWindows_quillet", [&](FakeJni& jni, const Arm& arm) {
    jobjectArray args = jni.Array({"-printer_id=Null", "-interactive=none", "-form_id=A4", report.c_str()});
    arm();
    return Java_doc_NativeWindows_quillet(jni.env(), nullptr, args) == JNI_TRUE;
  });
  DeleteFileA(report.c_str());
}

TEST_F(ExportBoundary, ShellAndRegistry) {
  const std::string command = "C:\\no such folder\\no such program.exe and its parameters";
  FailEachAllocation("Java_doc_NativeWindows_launch_1document", [&](FakeJni& jni, const Arm& arm) {
    jstring verb = jni.String("open"), line = jni.String(command);
    arm();
    return Java_doc_NativeWindows_launch_1document(jni.env(), nullptr, verb, line) == JNI_TRUE;
  });
  FailEachAllocation("Java_doc_NativeWindows_shellexec", [&](FakeJni& jni, const Arm& arm) {
    jobjectArray commands = jni.Array({command.c_str()});
    arm();
    return Java_doc_NativeWindows_shellexec(jni.env(), nullptr, commands) == JNI_TRUE;
  });
  FailEachAllocation("Java_doc_NativeWindows_read_1registry_1string", [&](FakeJni& jni, const Arm& arm) {
    jstring subkey = jni.String("Software\\No Such Key For Quillet"), value = jni.String("some value name");
    arm();
    return Java_doc_NativeWindows_read_1registry_1string(jni.env(), nullptr, -2147483647, subkey, value) != nullptr;
  });
}

}  // namespace
}  // namespace quillet::test
