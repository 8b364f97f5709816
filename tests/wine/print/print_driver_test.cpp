// The print driver on real GDI under Wine: reports spooled to the CUPS printers
// "PDF" (writes ~/PDF/*.pdf) and "Null" (discards), with device contexts made here
// so that the driver is exercised without the printer-selection code.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "print/abort_dialog.h"
#include "print/gdi_device_win32.h"
#include "print/print_driver.h"
#include "support/window_answerer.h"

namespace quillet::test {
namespace {

HDC g_last_dc = nullptr;

DeviceContext DcFor(const char* printer) {
  g_last_dc = CreateDCA("WINSPOOL", printer, nullptr, nullptr);
  return g_last_dc;
}
DeviceContext PdfPrinterDc(PrintJob&) { return DcFor("PDF"); }
DeviceContext NullPrinterDc(PrintJob&) { return DcFor("Null"); }

// What the printing thread's windows went through, seen by thread hooks.
struct WindowLog {
  int windows_created = 0;
  std::vector<HWND> dialogs;
  std::vector<std::string> captions;    // of each dialog once it is set up
  std::vector<std::string> page_lines;  // texts written into the progress line
  std::string cancel_at;                // a page line that presses Cancel
};
WindowLog* g_log = nullptr;

LRESULT CALLBACK CbtHook(int code, WPARAM wparam, LPARAM lparam) {
  if (code == HCBT_CREATEWND && g_log != nullptr) ++g_log->windows_created;
  return CallNextHookEx(nullptr, code, wparam, lparam);
}

LRESULT CALLBACK AfterMessageHook(int code, WPARAM wparam, LPARAM lparam) {
  const auto* m = reinterpret_cast<const CWPRETSTRUCT*>(lparam);
  if (code == HC_ACTION && g_log != nullptr) {
    if (m->message == WM_INITDIALOG) {
      char caption[64] = {};
      GetWindowTextA(m->hwnd, caption, sizeof caption);
      g_log->dialogs.push_back(m->hwnd);
      g_log->captions.push_back(caption);
    } else if (m->message == WM_SETTEXT && GetDlgCtrlID(m->hwnd) == 100) {
      const std::string text = reinterpret_cast<const char*>(m->lParam);
      g_log->page_lines.push_back(text);
      if (text == g_log->cancel_at) SendMessageA(GetParent(m->hwnd), WM_COMMAND, IDCANCEL, 0);
    }
  }
  return CallNextHookEx(nullptr, code, wparam, lparam);
}

class GdiDriverTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(WindowsCanBeCreated()) << "Wine cannot create windows: set HKCU\\Software\\Wine\\Drivers Graphics=null";
    char temp[MAX_PATH] = {};
    GetTempPathA(sizeof temp, temp);
    token_ = "qdrv" + std::to_string(GetCurrentProcessId()) + "x" + std::to_string(GetTickCount());
    path_ = std::string(temp) + token_ + ".txt";
    g_log = &log_;
    cbt_ = SetWindowsHookExA(WH_CBT, &CbtHook, nullptr, GetCurrentThreadId());
    after_ = SetWindowsHookExA(WH_CALLWNDPROCRET, &AfterMessageHook, nullptr, GetCurrentThreadId());
  }
  void TearDown() override {
    UnhookWindowsHookEx(cbt_);
    UnhookWindowsHookEx(after_);
    g_log = nullptr;
    DeleteFileA(path_.c_str());
  }

  static bool WindowsCanBeCreated() {
    HWND probe = CreateWindowA("STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    if (probe == nullptr) return false;
    DestroyWindow(probe);
    return true;
  }

  void Print(const std::string& report, GdiPrintDevice::PrinterDcSource printer) {
    FILE* f = std::fopen(path_.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(report.data(), 1, report.size(), f);
    std::fclose(f);
    call_.report_path = path_.c_str();
    GdiPrintDevice device(printer);
    PrintReport(job_, call_, device);
    fonts_ = device.fonts_made();
  }

  // Nothing of the report is left: fonts, device context, dialog, file.
  void ExpectReleased() {
    ASSERT_EQ(fonts_.size(), 4u);
    for (HFONT font : fonts_) EXPECT_EQ(GetObjectType(font), 0u);
    ASSERT_NE(g_last_dc, nullptr);
    EXPECT_EQ(GetObjectType(g_last_dc), 0u);
    EXPECT_EQ(cancel_dialog, nullptr);
    EXPECT_EQ(progress_window, nullptr);
    for (HWND dialog : log_.dialogs) EXPECT_FALSE(IsWindow(dialog));
    EXPECT_TRUE(DeleteFileA(path_.c_str())) << "the report file is still open";
  }

  // The spooled PDF whose name holds the token, once it has been written.
  std::string WaitForPdf(int tries_left = 300) {
    const char* home = std::getenv("HOME");
    std::string dir = std::string("Z:") + (home != nullptr ? home : "/root") + "/PDF/";
    for (char& c : dir)
      if (c == '/') c = '\\';
    for (; tries_left > 0; --tries_left) {
      WIN32_FIND_DATAA found;
      HANDLE search = FindFirstFileA((dir + "*" + token_ + "*.pdf").c_str(), &found);
      if (search != INVALID_HANDLE_VALUE) {
        FindClose(search);
        const std::string pdf = dir + found.cFileName;
        // cups-pdf writes the file in place: wait until it has its end marker.
        std::string bytes = ReadAll(pdf);
        if (bytes.rfind("%PDF", 0) == 0 && bytes.find("%%EOF") != std::string::npos) return pdf;
      }
      Sleep(100);
    }
    return "";
  }

  static std::string ReadAll(const std::string& path) {
    std::string bytes;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
      char buffer[4096];
      for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) bytes.append(buffer, n);
      std::fclose(f);
    }
    return bytes;
  }

  PrintJob job_;
  CallRecord call_;
  std::string token_;
  std::string path_;
  WindowLog log_;
  std::vector<HFONT> fonts_;
  HHOOK cbt_ = nullptr;
  HHOOK after_ = nullptr;
};

// Answers error boxes but leaves the cancel dialog alone. Its caption reads empty
// when the answering thread asks while the printing thread is busy in the spooler.
int AnswerBoxesOnly(const std::string& caption, const std::string&) {
  return caption == "Spooling" || caption.empty() ? 0 : IDOK;
}

TEST_F(GdiDriverTest, ReportSpoolsToThePdfPrinterAndLeavesNothingBehind) {
  WindowAnswerer answerer(&AnswerBoxesOnly);
  job_.ruler = 1;
  job_.pitch = 10;
  Print(u8"Quillet driver test\r\nUnder\b_l\b_i\b_n\b_e\b_d and B\bBo\bol\bld\bd\nGrüße – 12,50 € Ä\bÄ\n"
        "\fPage two\n",
        &PdfPrinterDc);

  for (const SeenWindow& box : answerer.seen()) ADD_FAILURE() << "box \"" << box.caption << "\": " << box.text;
  ASSERT_EQ(log_.dialogs.size(), 1u);
  EXPECT_EQ(log_.captions[0], "Spooling");
  EXPECT_EQ(log_.page_lines, (std::vector<std::string>{path_ + " (page 1)", path_ + " (page 2)"}));
  ExpectReleased();

  const std::string pdf = WaitForPdf();
  ASSERT_FALSE(pdf.empty()) << "no PDF with " << token_ << " in ~/PDF";
  std::printf("spooled: %s\n", pdf.c_str());
  if (std::getenv("QUILLET_KEEP_PDF") == nullptr) DeleteFileA(pdf.c_str());  // kept to look at
}

TEST_F(GdiDriverTest, QuietJobCreatesNoWindow) {
  WindowAnswerer answerer(&AnswerBoxesOnly);
  job_.quiet = 1;
  Print("quiet\n\fsecond page\n", &NullPrinterDc);
  EXPECT_EQ(log_.windows_created, 0);
  EXPECT_TRUE(log_.page_lines.empty());
  EXPECT_TRUE(answerer.seen().empty());
  ExpectReleased();
}

TEST_F(GdiDriverTest, RawJobPrintsAndReleases) {
  WindowAnswerer answerer(&AnswerBoxesOnly);
  job_.raw = 1;
  Print("%!PS\n% pass-through line\n", &NullPrinterDc);
  EXPECT_TRUE(answerer.seen().empty());
  ExpectReleased();
}

TEST_F(GdiDriverTest, CancelCommandStopsThePrinting) {
  WindowAnswerer answerer(&AnswerBoxesOnly);
  std::string report;
  for (int page = 1; page <= 20; ++page) report += "page " + std::to_string(page) + "\f";
  // The dialog gets its command as page 3 starts (Wine's spooler calls no abort
  // procedure, so the command is sent rather than posted); the driver stops after
  // the line it is on and drops the document: nothing of it reaches paper.
  log_.cancel_at = path_ + " (page 3)";
  Print(report, &PdfPrinterDc);
  EXPECT_EQ(log_.page_lines.size(), 3u);
  EXPECT_EQ(user_abort, 1);
  ExpectReleased();
  EXPECT_EQ(WaitForPdf(40), "") << "a cancelled report was spooled";
}

TEST(LogFont, NamedMembersSetAndTheRestZero) {
  FontSpec desc;
  desc.height = -83;
  desc.width = 7;
  desc.weight = 700;
  desc.underline = true;
  desc.pitch_and_family = FIXED_PITCH | FF_MODERN;
  CopyField(desc.face, "Courier New");
  LOGFONTA expected;
  std::memset(&expected, 0, sizeof expected);  // ANSI_CHARSET is 0 too
  expected.lfHeight = -83;
  expected.lfWidth = 7;
  expected.lfWeight = 700;
  expected.lfUnderline = 1;
  expected.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
  std::strcpy(expected.lfFaceName, "Courier New");
  const LOGFONTA made = ToLogFont(desc);
  EXPECT_EQ(std::memcmp(&made, &expected, sizeof made), 0);
}

TEST(MulDivParity, MatchesTheSystemMulDiv) {
  const int values[] = {0, 1, -1, 2, 3, 7, 10, 72, 96, 300, 600, 65536, 46341, -46341,
                        2147483647, -2147483647, -2147483647 - 1};
  for (int a : values) {
    for (int b : values) {
      for (int c : values) {
        // With a negative divisor the system negates the multiplicand and divisor
        // in 32 bits, which wraps for INT_MIN: not an answer to copy.
        if (c < 0 && (c == -2147483647 - 1 || a == -2147483647 - 1)) continue;
        EXPECT_EQ(MulDiv(a, b, c), ::MulDiv(a, b, c)) << a << " * " << b << " / " << c;
      }
    }
  }
}

}  // namespace
}  // namespace quillet::test
