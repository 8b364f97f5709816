// Soak: a thousand reports printed in one process leave no GDI object, file
// handle or printer handle behind.
//
// Wine reports no GDI or handle counts (GetGuiResources and GetProcessHandleCount
// give 0), so the test watches the handle tables instead. A table hands out freed
// slots before new ones, so a single probe object lands in a hole that the run
// left and shows nothing. The probe therefore takes many objects at once: they
// fill every hole and then go on above the table's top, so the highest slot they
// reach grows by one for each object the run left behind. A leak of one object
// per report moves it by about a thousand slots.
#include <gtest/gtest.h>
#include <windows.h>
#include <winspool.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "support/fake_jni.h"
#include "support/quillet_dll.h"
#include "support/window_answerer.h"

namespace quillet::test {
namespace {

// More than the run ever holds at once, so that every hole is filled.
constexpr int kProbeObjects = 256;

struct Probe {
  unsigned font_top;
  unsigned kernel_top;
  unsigned printer_top;
};

// Takes kProbeObjects objects from a table, gives them back, and returns the
// highest slot that one of them had.
template <class Make, class Slot, class Free>
unsigned TopSlot(Make make, Slot slot, Free free) {
  std::vector<HANDLE> taken;
  unsigned top = 0;
  for (int i = 0; i < kProbeObjects; ++i) {
    HANDLE h = make();
    if (h == nullptr) break;
    taken.push_back(h);
    top = std::max(top, slot(h));
  }
  for (HANDLE h : taken) free(h);
  return top;
}

Probe TakeProbe() {
  Probe probe{};
  probe.font_top = TopSlot(
      [] {
        LOGFONTA lf{};
        lf.lfHeight = 12;
        return static_cast<HANDLE>(CreateFontIndirectA(&lf));
      },
      [](HANDLE h) { return static_cast<unsigned>(LOWORD(reinterpret_cast<UINT_PTR>(h))); },
      [](HANDLE h) { DeleteObject(static_cast<HGDIOBJ>(h)); });
  probe.kernel_top = TopSlot([] { return CreateEventA(nullptr, FALSE, FALSE, nullptr); },
                             [](HANDLE h) { return static_cast<unsigned>(reinterpret_cast<UINT_PTR>(h) / 4); },
                             [](HANDLE h) { CloseHandle(h); });
  probe.printer_top = TopSlot(
      [] {
        HANDLE printer = nullptr;
        char name[] = "Null";
        return OpenPrinterA(name, &printer, nullptr) ? printer : nullptr;
      },
      [](HANDLE h) { return static_cast<unsigned>(reinterpret_cast<UINT_PTR>(h)); },
      [](HANDLE h) { ClosePrinter(h); });
  return probe;
}

std::string WriteReport(const char* name, const char* text) {
  char dir[MAX_PATH] = {};
  GetTempPathA(sizeof dir, dir);
  std::string path = std::string(dir) + name;
  FILE* f = std::fopen(path.c_str(), "wb");
  std::fputs(text, f);
  std::fclose(f);
  return path;
}

TEST(Soak, ThousandReportsLeaveNoHandlesBehind) {
  QuilletDll dll;
  ASSERT_TRUE(dll.ok());
  WindowAnswerer answerer;
  const std::string report =
      WriteReport("quillet-soak.txt", "\fSOAK H\b_E\b_A\b_D\b_\r\nB\bBO\bOL\bLD\bD line\r\nplain\f\r\nsecond page\r\n");

  // Warm up, once each way the run prints: the printer drivers, fonts and the
  // dialog's own objects are loaded for good.
  {
    FakeJni jni;
    dll.quillet(jni.env(), nullptr,
                jni.Array({"-printer_id=null", report.c_str(), "-interactive=none", "-printer_id=Null", report.c_str()}));
  }
  const Probe before = TakeProbe();

  constexpr int kCalls = 20;
  constexpr int kReportsPerCall = 50;
  for (int call = 0; call < kCalls; ++call) {
    FakeJni jni;
    // Half the calls show the cancel dialog; every call switches printer and back
    // (names compare with letter case, so "null" is another printer to switch to).
    std::vector<const char*> args = {"-printer_id=null", "-ruler"};
    if (call % 2 == 0) args.push_back("-interactive=none");
    for (int i = 0; i < kReportsPerCall; ++i) {
      if (i == kReportsPerCall / 2) args.push_back("-printer_id=Null");
      args.push_back(report.c_str());
    }
    ASSERT_EQ(dll.quillet(jni.env(), nullptr, jni.Array(args)), JNI_TRUE);
    ASSERT_TRUE(jni.faults().empty());
  }

  const Probe after = TakeProbe();
  EXPECT_LT(after.font_top, before.font_top + 16) << "GDI objects left behind: " << after.font_top - before.font_top;
  EXPECT_LT(after.kernel_top, before.kernel_top + 64) << "kernel handles left behind: " << after.kernel_top - before.kernel_top;
  EXPECT_LT(after.printer_top, before.printer_top + 16) << "printer handles left behind: " << after.printer_top - before.printer_top;
  EXPECT_TRUE(answerer.seen().empty()) << answerer.seen().front().caption;
  DeleteFileA(report.c_str());
}

}  // namespace
}  // namespace quillet::test
