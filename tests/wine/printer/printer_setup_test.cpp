// Printer selection against the machine's real printers: "PDF" (the default) and
// "Null". Every box and dialog the library shows is answered by the fixture's
// WindowAnswerer; the common dialog is replaced only to simulate a machine
// without a default printer or with a printer of a long name.
#include <gtest/gtest.h>
#include <windows.h>
#include <commdlg.h>
#include <winspool.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "doc_NativeWindows.h"
#include "printer/printer_setup.h"
#include "printer/printer_setup_win32.h"
#include "support/fake_jni.h"
#include "support/quillet_dll.h"
#include "support/window_answerer.h"
#include "trace/trace.h"

namespace quillet {
namespace {

using test::FakeJni;
using test::SeenWindow;
using test::WindowAnswerer;

constexpr char kNoDevMode[] = "Quillet - Can't Get DEVMODE";
constexpr char kCantOpen[] = "Quillet - Can't Open Printer";
constexpr char kGetLockFailed[] = "**ERROR** Java_doc_NativeWindows_get_1printer_1name() GetLock() failed";
constexpr int kPrinterCombo = 0x470;  // cmb1 of the Print Setup dialog

// ---- a stand-in for the common dialog ------------------------------------------

struct FakeDialog {
  int calls = 0;
  DWORD flags = 0;
  HGLOBAL given_mode = nullptr;
  HGLOBAL given_names = nullptr;
  std::string printer;  // empty: no default printer, the call fails
};
FakeDialog g_fake;

HGLOBAL BlockWith(const void* bytes, std::size_t size) {
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
  std::memcpy(GlobalLock(block), bytes, size);
  GlobalUnlock(block);
  return block;
}

BOOL WINAPI FakePrintDlg(LPPRINTDLGA dialog) {
  ++g_fake.calls;
  g_fake.flags = dialog->Flags;
  g_fake.given_mode = dialog->hDevMode;
  g_fake.given_names = dialog->hDevNames;
  if (g_fake.printer.empty()) return FALSE;
  DEVMODEA mode{};
  std::snprintf(reinterpret_cast<char*>(mode.dmDeviceName), sizeof mode.dmDeviceName, "%s", g_fake.printer.c_str());
  mode.dmSpecVersion = 0x30A;
  mode.dmSize = sizeof mode;
  std::vector<char> names(sizeof(DEVNAMES));
  auto* header = reinterpret_cast<DEVNAMES*>(names.data());
  header->wDriverOffset = static_cast<WORD>(names.size());
  names.insert(names.end(), {'w', 'i', 'n', 's', 'p', 'o', 'o', 'l', '\0'});
  header = reinterpret_cast<DEVNAMES*>(names.data());
  header->wDeviceOffset = static_cast<WORD>(names.size());
  names.insert(names.end(), g_fake.printer.begin(), g_fake.printer.end());
  names.push_back('\0');
  header = reinterpret_cast<DEVNAMES*>(names.data());
  header->wOutputOffset = static_cast<WORD>(names.size() - 1);
  dialog->hDevMode = BlockWith(&mode, sizeof mode);
  dialog->hDevNames = BlockWith(names.data(), names.size());
  return TRUE;
}

int g_real_calls = 0;
BOOL WINAPI CountingPrintDlg(LPPRINTDLGA dialog) {
  ++g_real_calls;
  return PrintDlgA(dialog);
}

// A spooler whose settings query fails in the chosen way, for the real printers.
struct FailingSpooler {
  LONG size = 0;           // 0: the real size; otherwise what the size query says
  bool refuse_out = false;  // the query for the printer's defaults fails
};
FailingSpooler g_spooler;

// Fails the next open of the printer named "Null", once; every other open is real.
bool g_fail_next_open = false;
BOOL WINAPI OpenPrinterFailingOnce(LPSTR name, LPHANDLE handle, LPPRINTER_DEFAULTSA defaults) {
  if (g_fail_next_open && std::strcmp(name, "Null") == 0) {
    g_fail_next_open = false;
    SetLastError(ERROR_INVALID_PRINTER_NAME);
    return FALSE;
  }
  return OpenPrinterA(name, handle, defaults);
}

LONG WINAPI FailingDocumentProperties(HWND window, HANDLE printer, LPSTR device, PDEVMODEA out, PDEVMODEA in,
                                      DWORD mode) {
  if (mode == 0 && g_spooler.size != 0) return g_spooler.size;
  if (mode == DM_OUT_BUFFER && g_spooler.refuse_out) return -1;
  return DocumentPropertiesA(window, printer, device, out, in, mode);
}

// ---- reading the held pair ---------------------------------------------------

DEVMODEA HeldMode() {
  DEVMODEA copy{};
  const auto* mode = static_cast<const DEVMODEA*>(GlobalLock(HeldDevMode()));
  if (mode != nullptr) {
    std::memcpy(&copy, mode, sizeof copy);
    GlobalUnlock(HeldDevMode());
  }
  return copy;
}

std::vector<BYTE> BlockBytes(HGLOBAL block) {
  std::vector<BYTE> bytes(GlobalSize(block));
  const void* data = GlobalLock(block);
  if (data != nullptr) {
    std::memcpy(bytes.data(), data, bytes.size());
    GlobalUnlock(block);
  }
  return bytes;
}

struct Names {
  std::string driver, device, port;
};

Names HeldNames() {
  Names out;
  const auto* names = static_cast<const DEVNAMES*>(GlobalLock(HeldDevNames()));
  if (names != nullptr) {
    const char* base = reinterpret_cast<const char*>(names);
    out = {base + names->wDriverOffset, GetDeviceName(names), base + names->wOutputOffset};
    GlobalUnlock(HeldDevNames());
  }
  return out;
}

void WithHeldMode(const std::function<void(DEVMODEA&)>& change) {
  auto* mode = static_cast<DEVMODEA*>(GlobalLock(HeldDevMode()));
  ASSERT_NE(mode, nullptr);
  change(*mode);
  GlobalUnlock(HeldDevMode());
}

std::string Trimmed(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
  return text;
}

bool WindowsCanBeCreated() {
  HWND probe = CreateWindowExA(0, "STATIC", "probe", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  if (probe == nullptr) return false;
  DestroyWindow(probe);
  return true;
}

// ---- the fixture -------------------------------------------------------------

class PrinterSetupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetPrinterSetupForTesting();
    SetPrintDlgForTesting(nullptr);
    SetDocumentPropertiesForTesting(nullptr);
    SetOpenPrinterForTesting(nullptr);
    g_fake = FakeDialog{};
    g_real_calls = 0;
    char dir[MAX_PATH];
    GetTempPathA(sizeof dir, dir);
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    trace_path_ = std::string(dir) + "quillet-printer-setup-" + info->name() + ".log";
    ResetTraceForTesting();
    OpenTraceFile(trace_path_.c_str());
    answerer_ = std::make_unique<WindowAnswerer>(
        [this](const std::string& caption, const std::string& text) { return Decide(caption, text); });
  }

  void TearDown() override {
    answerer_.reset();
    ResetPrinterSetupForTesting();
    SetPrintDlgForTesting(nullptr);
    SetDocumentPropertiesForTesting(nullptr);
    SetOpenPrinterForTesting(nullptr);
    ResetTraceForTesting();
  }

  // How the boxes and dialogs of the current test are answered; by default
  // every one is cancelled, so no test can hang on one.
  void Answer(std::function<int(const std::string&, const std::string&)> policy) {
    std::lock_guard<std::mutex> lock(policy_mutex_);
    policy_ = std::move(policy);
  }
  int Decide(const std::string& caption, const std::string& text) {
    std::lock_guard<std::mutex> lock(policy_mutex_);
    return policy_ ? policy_(caption, text) : IDCANCEL;
  }
  std::vector<SeenWindow> Seen() { return answerer_->seen(); }

  std::string TraceText() const {
    std::ifstream in(trace_path_);  // text mode: the log is written with CR LF
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  // Runs GetPrinterDC on the job and keeps the context for the test to look at.
  HDC PrinterDC(PrintJob& job) {
    HDC dc = static_cast<HDC>(GetPrinterDC(job));
    if (dc != nullptr) dcs_.emplace_back(dc);
    return dc;
  }

  struct DcDeleter {
    void operator()(HDC dc) const { DeleteDC(dc); }
  };
  using OwnedDc = std::unique_ptr<std::remove_pointer_t<HDC>, DcDeleter>;

  std::string trace_path_;
  std::mutex policy_mutex_;
  std::function<int(const std::string&, const std::string&)> policy_;
  std::unique_ptr<WindowAnswerer> answerer_;
  std::vector<OwnedDc> dcs_;
};

PrintJob JobFor(const char* printer) {
  PrintJob job;
  CopyField(job.printer_id, printer);
  return job;
}

// ---- the default printer -----------------------------------------------------

TEST_F(PrinterSetupTest, GetDevModeAsksTheSystemOnceThenReusesThePair) {
  SetPrintDlgForTesting(&CountingPrintDlg);
  EXPECT_EQ(HeldDevMode(), UnsetPrinterHandle());
  EXPECT_EQ(HeldDevNames(), UnsetPrinterHandle());

  EXPECT_TRUE(GetDevMode());
  const HGLOBAL mode = HeldDevMode();
  const HGLOBAL names = HeldDevNames();
  EXPECT_NE(mode, nullptr);
  EXPECT_NE(names, nullptr);
  EXPECT_STREQ(reinterpret_cast<const char*>(HeldMode().dmDeviceName), "PDF");
  EXPECT_EQ(HeldNames().device, "PDF");
  EXPECT_EQ(TraceText(), "GetDevMode() new PRINTDLG created.\n");

  EXPECT_TRUE(GetDevMode());
  EXPECT_EQ(g_real_calls, 1);
  EXPECT_EQ(HeldDevMode(), mode);
  EXPECT_EQ(HeldDevNames(), names);
  EXPECT_EQ(TraceText(), "GetDevMode() new PRINTDLG created.\nGetDevMode() reusing existing PRINTDLG.\n");
  // Nothing stays locked between calls.
  EXPECT_EQ(GlobalFlags(mode) & GMEM_LOCKCOUNT, 0u);
  EXPECT_EQ(GlobalFlags(names) & GMEM_LOCKCOUNT, 0u);
}

TEST_F(PrinterSetupTest, GetPrinterNameMakesOneStringOfTheCurrentPrinter) {
  FakeJni jni;
  jstring name = Java_doc_NativeWindows_get_1printer_1name(jni.env(), nullptr);
  EXPECT_EQ(FakeJni::Text(name), "PDF");
  EXPECT_EQ(jni.calls(), std::vector<std::string>{"NewStringUTF PDF"});
  EXPECT_TRUE(jni.faults().empty());
  EXPECT_EQ(TraceText(), "GetDevMode() new PRINTDLG created.\n");
}

TEST_F(PrinterSetupTest, ExportedMethodsWorkThroughTheLoadedDll) {
  ASSERT_TRUE(WindowsCanBeCreated()) << "Wine cannot create windows: set HKCU\\Software\\Wine\\Drivers Graphics=null";
  test::QuilletDll dll;
  ASSERT_TRUE(dll.ok());
  FakeJni jni;
  EXPECT_EQ(FakeJni::Text(dll.get_printer_name(jni.env(), nullptr)), "PDF");
  EXPECT_EQ(dll.quillet_setup(jni.env(), nullptr), JNI_FALSE);  // cancelled by the fixture
  EXPECT_EQ(jni.calls(), std::vector<std::string>{"NewStringUTF PDF"});
  ASSERT_EQ(Seen().size(), 1u);
  EXPECT_EQ(Seen()[0].caption, "Print Setup");
}

// ---- the Print Setup dialog --------------------------------------------------

TEST_F(PrinterSetupTest, PrintSetupCancelledKeepsTheHeldPair) {
  ASSERT_TRUE(WindowsCanBeCreated()) << "Wine cannot create windows: set HKCU\\Software\\Wine\\Drivers Graphics=null";
  ASSERT_TRUE(GetDevMode());
  const HGLOBAL mode = HeldDevMode();
  const HGLOBAL names = HeldDevNames();
  const std::vector<BYTE> mode_bytes = BlockBytes(mode);
  FakeJni jni;
  EXPECT_EQ(Java_doc_NativeWindows_quillet_1setup(jni.env(), nullptr), JNI_FALSE);
  EXPECT_TRUE(jni.calls().empty());
  ASSERT_EQ(Seen().size(), 1u);
  EXPECT_EQ(Seen()[0].caption, "Print Setup");
  EXPECT_EQ(Seen()[0].answer, IDCANCEL);
  EXPECT_EQ(HeldDevMode(), mode);
  EXPECT_EQ(HeldDevNames(), names);
  EXPECT_EQ(BlockBytes(mode), mode_bytes);
}

TEST_F(PrinterSetupTest, PrintSetupConfirmedMakesTheChosenPrinterCurrent) {
  ASSERT_TRUE(WindowsCanBeCreated()) << "Wine cannot create windows: set HKCU\\Software\\Wine\\Drivers Graphics=null";
  FakeJni jni;
  Answer([](const std::string& caption, const std::string&) { return caption == "Print Setup" ? IDOK : IDCANCEL; });
  EXPECT_EQ(Java_doc_NativeWindows_quillet_1setup(jni.env(), nullptr), JNI_TRUE);
  EXPECT_EQ(FakeJni::Text(Java_doc_NativeWindows_get_1printer_1name(jni.env(), nullptr)), "PDF");

  // Pick "Null" in the dialog's printer list, then confirm.
  Answer([](const std::string& caption, const std::string&) {
    if (caption != "Print Setup") return IDCANCEL;
    HWND dialog = FindWindowA("#32770", "Print Setup");
    HWND combo = GetDlgItem(dialog, kPrinterCombo);
    SendMessageA(combo, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("Null"));
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(kPrinterCombo, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
    return IDOK;
  });
  EXPECT_EQ(Java_doc_NativeWindows_quillet_1setup(jni.env(), nullptr), JNI_TRUE);
  EXPECT_EQ(FakeJni::Text(Java_doc_NativeWindows_get_1printer_1name(jni.env(), nullptr)), "Null");
  EXPECT_STREQ(reinterpret_cast<const char*>(HeldMode().dmDeviceName), "Null");

  // A report without a printer now goes to the printer chosen.
  PrintJob job;
  EXPECT_NE(PrinterDC(job), nullptr);
  EXPECT_STREQ(job.printer_id, "Null");
}

// ---- no default printer ------------------------------------------------------

TEST_F(PrinterSetupTest, WithoutADefaultPrinterReportsAreAbandonedAndTheProcessGoesOn) {
  ASSERT_TRUE(WindowsCanBeCreated()) << "Wine cannot create windows: set HKCU\\Software\\Wine\\Drivers Graphics=null";
  SetPrintDlgForTesting(&FakePrintDlg);
  Answer([](const std::string&, const std::string&) { return IDOK; });

  EXPECT_FALSE(GetDevMode());
  EXPECT_EQ(HeldDevMode(), nullptr);
  EXPECT_EQ(HeldDevNames(), nullptr);
  EXPECT_EQ(g_fake.flags, 0x0014040Cu);

  FakeJni jni;
  EXPECT_EQ(FakeJni::Text(Java_doc_NativeWindows_get_1printer_1name(jni.env(), nullptr)), kGetLockFailed);
  EXPECT_EQ(jni.calls(), std::vector<std::string>{std::string("NewStringUTF ") + kGetLockFailed});

  PrintJob job;
  CopyField(job.form_id, "A4");
  EXPECT_EQ(GetPrinterDC(job), nullptr);
  EXPECT_STREQ(job.printer_id, "");
  const std::vector<SeenWindow> seen = Seen();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].caption, kNoDevMode);
  EXPECT_EQ(seen[0].text, "quillet");
  EXPECT_NE(TraceText().find("GetPrinterDC() no printer, report abandoned\n"), std::string::npos);

  // A second report shows the box again; the system is never asked again.
  EXPECT_EQ(GetPrinterDC(job), nullptr);
  EXPECT_EQ(Seen().size(), 2u);
  EXPECT_EQ(g_fake.calls, 1);

  // The setup dialog opens on the null pair; failing, it changes nothing.
  jni.ClearCalls();
  EXPECT_EQ(Java_doc_NativeWindows_quillet_1setup(jni.env(), nullptr), JNI_FALSE);
  EXPECT_EQ(g_fake.calls, 2);
  EXPECT_EQ(g_fake.flags, 0x0014004Cu);
  EXPECT_EQ(g_fake.given_mode, nullptr);
  EXPECT_EQ(g_fake.given_names, nullptr);
  EXPECT_TRUE(jni.calls().empty());
  EXPECT_EQ(HeldDevMode(), nullptr);
}

// ---- a report on the default printer -----------------------------------------

TEST_F(PrinterSetupTest, ReportOnTheCurrentPrinterGetsItsSettings) {
  PrintJob job;
  HDC dc = PrinterDC(job);
  ASSERT_NE(dc, nullptr);
  EXPECT_STREQ(job.printer_id, "PDF");
  const int portrait_width = GetDeviceCaps(dc, HORZRES);
  const int portrait_height = GetDeviceCaps(dc, VERTRES);
  EXPECT_LT(portrait_width, portrait_height);
  EXPECT_EQ(HeldMode().dmFields, static_cast<DWORD>(DM_ORIENTATION));  // 0x30A: no collation

  // The context as the signed value of its 32-bit handle, the device mode's
  // address in its full width (the block stays where it was locked).
  char expected[96];
  void* address = GlobalLock(HeldDevMode());
  GlobalUnlock(HeldDevMode());
  std::snprintf(expected, sizeof expected, "CreateDC returned %d given a DevMode = %llx\n",
                static_cast<int>(reinterpret_cast<INT_PTR>(dc)),
                static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(address)));
  const std::string trace = TraceText();
  EXPECT_NE(trace.find(expected), std::string::npos) << trace;
  EXPECT_EQ(trace.find("job printer="), std::string::npos);  // no printer named: no comparison

  job.orientation = 2;
  dc = PrinterDC(job);
  ASSERT_NE(dc, nullptr);
  EXPECT_EQ(GetDeviceCaps(dc, HORZRES), portrait_height);
  EXPECT_EQ(GetDeviceCaps(dc, VERTRES), portrait_width);
  EXPECT_EQ(HeldMode().dmOrientation, DMORIENT_LANDSCAPE);
  // printer_id now holds the name, so this report compared it.
  EXPECT_NE(TraceText().find("job printer=PDF, cur printer=PDF\n"), std::string::npos);
}

TEST_F(PrinterSetupTest, FormNamesAndPaperSizesReachTheDeviceContext) {
  const struct {
    const char* form;
    std::int32_t width, length;
    short paper;
    int vertres;  // at 300 dots per inch
  } cases[] = {
      {"A4", 0, 0, DMPAPER_A4, 3508},
      {"letter", 0, 0, DMPAPER_LETTER, 3300},
      // A size that several papers share is the first of them the printer has;
      // a paper it does not have is its own paper of that size.
      {"", 2100, 2970, DMPAPER_A4, 3508},
      {"", 2159, 2794, DMPAPER_LETTER, 3300},
      {"Note", 0, 0, DMPAPER_LETTER, 3300},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.form);
    PrintJob job = JobFor("PDF");
    CopyField(job.form_id, c.form);
    job.paper_width = c.width;
    job.paper_length = c.length;
    HDC dc = PrinterDC(job);
    ASSERT_NE(dc, nullptr);
    const DEVMODEA mode = HeldMode();
    EXPECT_EQ(mode.dmPaperSize, c.paper);
    EXPECT_EQ(mode.dmFields, static_cast<DWORD>(DM_ORIENTATION | DM_PAPERSIZE));
    EXPECT_NEAR(GetDeviceCaps(dc, VERTRES), c.vertres, 2);
  }
  EXPECT_NE(TraceText().find("GetPrinterDC() paper asked 215.9 x 279.4 mm, given Letter\n"), std::string::npos);
  EXPECT_NE(TraceText().find("GetPrinterDC() paper asked Note, given Letter\n"), std::string::npos);
}

TEST_F(PrinterSetupTest, LaterDeviceModesGetFormNameAndCollation) {
  ASSERT_TRUE(GetDevMode());
  WithHeldMode([](DEVMODEA& mode) { mode.dmSpecVersion = 0x401; });
  PrintJob job;
  CopyField(job.form_id, "a4");
  ASSERT_NE(PrinterDC(job), nullptr);
  DEVMODEA mode = HeldMode();
  EXPECT_STREQ(reinterpret_cast<const char*>(mode.dmFormName), "a4");
  EXPECT_EQ(mode.dmCollate, DMCOLLATE_FALSE);  // no collate option: off
  EXPECT_EQ(mode.dmPaperSize, DMPAPER_A4);
  EXPECT_EQ(mode.dmFields, static_cast<DWORD>(DM_ORIENTATION | DM_PAPERSIZE | DM_FORMNAME | DM_COLLATE));

  job.collate = '1';
  job.copies = 3;
  ASSERT_NE(PrinterDC(job), nullptr);
  mode = HeldMode();
  EXPECT_EQ(mode.dmCollate, DMCOLLATE_TRUE);
  EXPECT_EQ(mode.dmCopies, 3);
  EXPECT_EQ(mode.dmFields,
            static_cast<DWORD>(DM_COPIES | DM_ORIENTATION | DM_PAPERSIZE | DM_FORMNAME | DM_COLLATE));
}

// ---- switching printers ------------------------------------------------------

TEST_F(PrinterSetupTest, AnotherPrinterBecomesCurrentWithItsNamesAndTheCarriedSettings) {
  PrintJob job = JobFor("PDF");
  CopyField(job.form_id, "Letter");
  ASSERT_NE(PrinterDC(job), nullptr);
  const HGLOBAL pdf_mode = HeldDevMode();

  job = JobFor("Null");
  ASSERT_NE(PrinterDC(job), nullptr);
  EXPECT_NE(TraceText().find("job printer=Null, cur printer=PDF\n"), std::string::npos);
  EXPECT_NE(HeldDevMode(), pdf_mode);
  DEVMODEA mode = HeldMode();
  EXPECT_STREQ(reinterpret_cast<const char*>(mode.dmDeviceName), "Null");
  EXPECT_EQ(mode.dmPaperSize, DMPAPER_LETTER);  // carried over from the PDF report
  Names names = HeldNames();
  EXPECT_EQ(names.driver, "winspool");
  EXPECT_EQ(names.device, "Null");
  EXPECT_EQ(names.port, "CUPS:Null");
  EXPECT_EQ(GlobalFlags(HeldDevMode()) & GMEM_LOCKCOUNT, 0u);
  EXPECT_EQ(GlobalFlags(HeldDevNames()) & GMEM_LOCKCOUNT, 0u);

  FakeJni jni;
  EXPECT_EQ(FakeJni::Text(Java_doc_NativeWindows_get_1printer_1name(jni.env(), nullptr)), "Null");

  // A report that names no printer goes to the one get_printer_name reports.
  job = PrintJob{};
  ASSERT_NE(PrinterDC(job), nullptr);
  EXPECT_STREQ(job.printer_id, "Null");

  // Naming the earlier printer goes back to it.
  job = JobFor("PDF");
  ASSERT_NE(PrinterDC(job), nullptr);
  EXPECT_NE(TraceText().find("job printer=PDF, cur printer=Null\n"), std::string::npos);
  EXPECT_EQ(HeldNames().device, "PDF");
  EXPECT_STREQ(reinterpret_cast<const char*>(HeldMode().dmDeviceName), "PDF");

  // Letter case counts: "pdf" is another printer name to compare with. The
  // printer it opens is held under the spooler's spelling of its name.
  job = JobFor("Null");
  ASSERT_NE(PrinterDC(job), nullptr);
  job = JobFor("pdf");
  ASSERT_NE(PrinterDC(job), nullptr);
  EXPECT_NE(TraceText().find("job printer=pdf, cur printer=Null\n"), std::string::npos);
  EXPECT_EQ(HeldNames().device, "PDF");
  EXPECT_STREQ(reinterpret_cast<const char*>(HeldMode().dmDeviceName), "PDF");
  EXPECT_EQ(FakeJni::Text(Java_doc_NativeWindows_get_1printer_1name(jni.env(), nullptr)), "PDF");
  job = PrintJob{};
  ASSERT_NE(PrinterDC(job), nullptr);
  EXPECT_STREQ(job.printer_id, "PDF");
  EXPECT_TRUE(Seen().empty());
}

TEST_F(PrinterSetupTest, WhenTheOtherPrintersSettingsCannotBeHadTheCurrentOnesServe) {
  const struct {
    const char* what;
    FailingSpooler spooler;
    const char* trace;
    bool open_fails_once = false;
  } cases[] = {
      {"no size", {-1, false}, "GetPrinterDC() no device mode size for Null, current settings kept\n"},
#ifndef _WIN64  // a 64-bit process finds room for any size that the query's LONG can give
      {"no memory", {0x7FFFFFF0, false}, "GetPrinterDC() no memory for the device mode of Null, current settings kept\n"},
#endif
      {"no defaults", {0, true}, "GetPrinterDC() no device mode for Null, current settings kept\n"},
      // The printer could not be opened for its settings, and a moment later it could.
      {"not opened at first", {0, false}, "job printer=Null, cur printer=PDF\n", true},
  };
  SetDocumentPropertiesForTesting(&FailingDocumentProperties);
  SetOpenPrinterForTesting(&OpenPrinterFailingOnce);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ResetPrinterSetupForTesting();
    g_spooler = c.spooler;
    g_fail_next_open = c.open_fails_once;
    ASSERT_TRUE(GetDevMode());
    const HGLOBAL mode = HeldDevMode();
    const HGLOBAL names = HeldDevNames();
    const std::vector<BYTE> mode_bytes = BlockBytes(mode);
    PrintJob job = JobFor("Null");
    job.copies = 2;
    EXPECT_NE(PrinterDC(job), nullptr);  // still printed on the printer the job names
    EXPECT_NE(TraceText().find(c.trace), std::string::npos) << TraceText();
    EXPECT_EQ(HeldDevMode(), mode);
    EXPECT_EQ(HeldDevNames(), names);
    EXPECT_EQ(HeldNames().device, "PDF");
    // The report gets the public part of the held settings; the held ones stay
    // as they were, with none of the job's settings written into them.
    EXPECT_NE(TraceText().find("GetPrinterDC() printing on Null with the current settings less their driver data\n"),
              std::string::npos);
    EXPECT_EQ(BlockBytes(mode), mode_bytes);
    EXPECT_EQ(GlobalFlags(mode) & GMEM_LOCKCOUNT, 0u);
  }
  EXPECT_TRUE(Seen().empty());
}

// ---- a printer that cannot be opened -----------------------------------------

TEST_F(PrinterSetupTest, CancelOnAnUnknownPrinterAbandonsTheReport) {
  ASSERT_TRUE(WindowsCanBeCreated()) << "Wine cannot create windows: set HKCU\\Software\\Wine\\Drivers Graphics=null";
  ASSERT_TRUE(GetDevMode());
  const HGLOBAL mode = HeldDevMode();
  const HGLOBAL names = HeldDevNames();
  const std::vector<BYTE> mode_bytes = BlockBytes(mode);

  PrintJob job = JobFor("No Such Printer");
  job.copies = 5;
  EXPECT_EQ(GetPrinterDC(job), nullptr);
  const std::vector<SeenWindow> seen = Seen();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].caption, kCantOpen);
  EXPECT_EQ(Trimmed(seen[0].text), Trimmed(OpenFailureText(ERROR_INVALID_PRINTER_NAME)));
  EXPECT_EQ(HeldDevMode(), mode);
  EXPECT_EQ(HeldDevNames(), names);
  EXPECT_EQ(BlockBytes(mode), mode_bytes);  // the job's settings were not written
  const std::string trace = TraceText();
  EXPECT_NE(trace.find("job printer=No Such Printer, cur printer=PDF\n"), std::string::npos);
  EXPECT_NE(trace.find("report abandoned\n"), std::string::npos);
  EXPECT_EQ(trace.find("CreateDC returned"), std::string::npos);

  // The next report of the call prints as usual.
  job = JobFor("PDF");
  EXPECT_NE(PrinterDC(job), nullptr);
}

TEST_F(PrinterSetupTest, RetryTriesTheJobsPrinterAgainAndNeverPrintsElsewhere) {
  ASSERT_TRUE(WindowsCanBeCreated()) << "Wine cannot create windows: set HKCU\\Software\\Wine\\Drivers Graphics=null";
  int boxes = 0;
  Answer([&boxes](const std::string& caption, const std::string&) {
    if (caption != kCantOpen) return IDCANCEL;
    return ++boxes < 3 ? IDRETRY : IDCANCEL;
  });
  PrintJob job = JobFor("No Such Printer");
  EXPECT_EQ(GetPrinterDC(job), nullptr);
  const std::vector<SeenWindow> seen = Seen();
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0].answer, IDRETRY);
  EXPECT_EQ(seen[1].answer, IDRETRY);
  EXPECT_EQ(seen[2].answer, IDCANCEL);
  EXPECT_EQ(HeldNames().device, "PDF");
  const std::string trace = TraceText();
  std::size_t comparisons = 0;
  for (std::size_t at = trace.find("job printer="); at != std::string::npos; at = trace.find("job printer=", at + 1))
    ++comparisons;
  EXPECT_EQ(comparisons, 3u);
  EXPECT_EQ(trace.find("CreateDC returned"), std::string::npos);
}

TEST_F(PrinterSetupTest, OpenFailureTextFallsBackToTheErrorNumber) {
  EXPECT_NE(OpenFailureText(ERROR_INVALID_PRINTER_NAME).find("printer"), std::string::npos);
  EXPECT_EQ(OpenFailureText(0x2000ABCD), "Error 536914893");  // an application code: no system text
  // A system text with an insert comes as it stands, not as a failure.
  EXPECT_NE(OpenFailureText(ERROR_BAD_EXE_FORMAT).find("%1"), std::string::npos);
}

// ---- printer names longer than the device mode keeps -------------------------

TEST_F(PrinterSetupTest, PrinterNameBeyondAsciiReachesJavaAsModifiedUtf8) {
  SetPrintDlgForTesting(&FakePrintDlg);
  g_fake.printer = "B\xFCro-Drucker \x80";  // "Büro-Drucker €" in code page 1252
  ASSERT_TRUE(GetDevMode());
  FakeJni jni;
  EXPECT_EQ(FakeJni::Text(Java_doc_NativeWindows_get_1printer_1name(jni.env(), nullptr)),
            "B\xC3\xBCro-Drucker \xE2\x82\xAC");
}

TEST_F(PrinterSetupTest, LongPrinterNamesAreKeptWhole) {
  ASSERT_TRUE(WindowsCanBeCreated()) << "Wine cannot create windows: set HKCU\\Software\\Wine\\Drivers Graphics=null";
  SetPrintDlgForTesting(&FakePrintDlg);
  const std::string long_name = "Accounts department laser printer, second floor";  // 47 characters
  g_fake.printer = long_name;
  ASSERT_TRUE(GetDevMode());
  EXPECT_EQ(std::strlen(reinterpret_cast<const char*>(HeldMode().dmDeviceName)), 31u);

  FakeJni jni;
  EXPECT_EQ(FakeJni::Text(Java_doc_NativeWindows_get_1printer_1name(jni.env(), nullptr)), long_name);

  // The machine has no such printer: the box comes, answered Cancel; the job
  // was given the whole name.
  PrintJob job;
  EXPECT_EQ(GetPrinterDC(job), nullptr);
  EXPECT_EQ(job.printer_id, long_name);
  EXPECT_NE(TraceText().find("printer " + long_name + " not opened"), std::string::npos);
}

TEST_F(PrinterSetupTest, ANameTooLongForTheJobLeavesItsPrinterIdEmpty) {
  ASSERT_TRUE(WindowsCanBeCreated()) << "Wine cannot create windows: set HKCU\\Software\\Wine\\Drivers Graphics=null";
  SetPrintDlgForTesting(&FakePrintDlg);
  g_fake.printer = std::string(120, 'P');
  PrintJob job;
  EXPECT_EQ(GetPrinterDC(job), nullptr);
  EXPECT_STREQ(job.printer_id, "");
  const std::string trace = TraceText();
  EXPECT_NE(trace.find("too long for the job: " + g_fake.printer), std::string::npos);
  EXPECT_NE(trace.find("printer " + g_fake.printer + " not opened"), std::string::npos);
}

}  // namespace
}  // namespace quillet
