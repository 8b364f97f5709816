// Soak: a thousand reports printed in one process leave no GDI object, file
// handle or printer handle behind.
//
// Wine reports no GDI or handle counts (GetGuiResources and GetProcessHandleCount
// give 0), so the test watches the handle tables instead: each table hands out
// the lowest free slot again, so a probe object made after the run lands where
// one made before it did, unless the run left objects behind. A leak of one
// object per report moves the probe by about a thousand slots.
#include <gtest/gtest.h>
#include <windows.h>
#include <winspool.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/fake_jni.h"
#include "support/quillet_dll.h"
#include "support/window_answerer.h"

namespace quillet::test {
namespace {

struct Probe {
  unsigned font_slot;
  unsigned kernel_slot;
  unsigned printer_slot;
};

Probe TakeProbe() {
  Probe probe{};
  LOGFONTA lf{};
  lf.lfHeight = 12;
  HFONT font = CreateFontIndirectA(&lf);
  probe.font_slot = LOWORD(reinterpret_cast<UINT_PTR>(font));
  DeleteObject(font);

  HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  probe.kernel_slot = static_cast<unsigned>(reinterpret_cast<UINT_PTR>(event));
  CloseHandle(event);

  HANDLE printer = nullptr;
  char name[] = "Null";
  if (OpenPrinterA(name, &printer, nullptr)) {
    probe.printer_slot = static_cast<unsigned>(reinterpret_cast<UINT_PTR>(printer));
    ClosePrinter(printer);
  }
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

  // Warm up: the first report loads the printer driver and fonts for good.
  {
    FakeJni jni;
    dll.quillet(jni.env(), nullptr, jni.Array({"-printer_id=Null", "-interactive=none", report.c_str()}));
  }
  const Probe before = TakeProbe();

  constexpr int kCalls = 20;
  constexpr int kReportsPerCall = 50;
  for (int call = 0; call < kCalls; ++call) {
    FakeJni jni;
    // Half the calls show the cancel dialog; every call switches printer and back.
    std::vector<const char*> args = {"-printer_id=Null", "-ruler"};
    if (call % 2 == 0) args.push_back("-interactive=none");
    for (int i = 0; i < kReportsPerCall; ++i) args.push_back(report.c_str());
    ASSERT_EQ(dll.quillet(jni.env(), nullptr, jni.Array(args)), JNI_TRUE);
    ASSERT_TRUE(jni.faults().empty());
  }

  const Probe after = TakeProbe();
  EXPECT_LT(after.font_slot, before.font_slot + 16) << "GDI objects left behind";
  EXPECT_LT(after.kernel_slot, before.kernel_slot + 64) << "kernel handles left behind";
  EXPECT_LT(after.printer_slot, before.printer_slot + 16) << "printer handles left behind";
  EXPECT_TRUE(answerer.seen().empty()) << answerer.seen().front().caption;
  DeleteFileA(report.c_str());
}

}  // namespace
}  // namespace quillet::test
