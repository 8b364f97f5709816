#include "print/print_driver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "print/abort_dialog.h"
#include "platform/ansi.h"
#include "platform/file.h"
#include "platform/text.h"
#include "report/report_measure.h"
#include "trace/trace.h"

namespace quillet {
namespace {

using namespace std::string_literals;

// Records every call the driver makes, as one line of text each, and plays a
// printer whose results the test chooses. The normal font has a 10-unit character
// width and a 20-unit line height (18 + 2 leading) unless a test says otherwise.
class RecordingDevice : public PrintDevice {
 public:
  // What the device answers.
  bool fail_open = false;
  bool make_dc = true;
  int passthrough = 1;
  TextMetrics device_metrics{100, 52, 0, 0x31};
  TextMetrics font_metrics{18, 10, 2, 0x31};
  int horzres = 100, vertres = 100, logpixelsy = 600;
  int physical_width = 0, physical_height = 0;  // 0: the device does not say
  bool dialog_fails = false;
  int failing_font = 0;                   // MakeFont k (1-based) fails
  int start_doc = 1, end_doc = 1;
  unsigned long hold_output = 0;          // HoldOutput's error
  bool cancel_in_start_doc = false;       // the user cancels while StartDoc waits for its turn
  unsigned long last_error = 2;
  std::vector<int> start_page, end_page;  // results of the 1st, 2nd ... call; 1 after those
  std::function<void()> after_text;       // runs after each PutText
  bool scaled = false;                    // report fonts measure as their height says

  std::vector<std::string> calls;
  std::vector<FontSpec> fonts;  // font k is "F<k+1>"
  std::vector<std::string> blocks;
  int fonts_alive = 0;

  static inline void* const kDc = reinterpret_cast<void*>(0xDC);
  static inline void* const kDialog = reinterpret_cast<void*>(0xD1A);
  static inline void* const kStockFont = reinterpret_cast<void*>(0x50);

  std::int32_t OpenReport(const char* path, const char16_t*) override {
    calls.push_back("OpenReport");
    return fail_open ? kReportOpenError : ReportOpen(path);
  }
  void CloseReport(std::int32_t file) override {
    calls.push_back("CloseReport");
    ReportClose(file);
  }
  bool IdentifyReport(std::int32_t file, FileIdentity& identity) override {
    return quillet::IdentifyReport(file, identity);
  }
  unsigned long LastError() override { return last_error; }
  DeviceContext GetPrinterDC(PrintJob&) override {
    calls.push_back("GetPrinterDC");
    return make_dc ? kDc : nullptr;
  }
  void DeleteDC(DeviceContext dc) override { calls.push_back(dc == kDc ? "DeleteDC" : "DeleteDC ?"); }
  int QueryEscapeSupport(DeviceContext, int escape) override {
    calls.push_back("QueryEscape " + std::to_string(escape));
    return passthrough;
  }
  bool ReadTextMetrics(DeviceContext, TextMetrics& metrics) override {
    calls.push_back("TextMetrics");
    metrics = selected_ == kStockFont ? device_metrics : font_metrics;
    if (scaled && selected_ != kStockFont) {
      // A font as high as it was asked for, its cells 0.6 of that wide.
      const int height = -fonts[reinterpret_cast<std::uintptr_t>(selected_) - 1].height;
      metrics = TextMetrics{height, height * 6 / 10, 0, 0x31};
    }
    return true;
  }
  int GetDeviceCaps(DeviceContext, DeviceCap cap) override {
    calls.push_back("Caps " + std::to_string(static_cast<int>(cap)));
    switch (cap) {
      case DeviceCap::kHorzRes:
        return horzres;
      case DeviceCap::kVertRes:
        return vertres;
      case DeviceCap::kPhysicalWidth:
        return physical_width;
      case DeviceCap::kPhysicalHeight:
        return physical_height;
      default:
        return logpixelsy;
    }
  }
  void ReadTextFace(DeviceContext, char (&face)[kFaceNameSize]) override {
    calls.push_back("TextFace");
    std::snprintf(face, sizeof face, "%s", "Device Mono");
  }
  FontHandle MakeFont(const FontSpec& desc) override {
    fonts.push_back(desc);
    calls.push_back("MakeFont F" + std::to_string(fonts.size()));
    if (static_cast<int>(fonts.size()) == failing_font) return nullptr;
    ++fonts_alive;
    return reinterpret_cast<FontHandle>(fonts.size());
  }
  FontHandle SelectFont(DeviceContext, FontHandle font) override {
    calls.push_back("Select " + Name(font));
    if (font == nullptr) return nullptr;  // as SelectObject: nothing to select
    return std::exchange(selected_, font);
  }
  FontHandle CurrentFont(DeviceContext) override {
    calls.push_back("CurrentFont");
    return selected_;
  }
  void DeleteFont(FontHandle font) override {
    EXPECT_NE(font, selected_) << "a selected font is deleted";
    --fonts_alive;
    calls.push_back("DeleteFont " + Name(font));
  }
  void SetAbortProc(DeviceContext) override { calls.push_back("SetAbortProc"); }
  int StartDocument(DeviceContext, const char* name, const char16_t* wide_name, const char16_t* output) override {
    calls.push_back("StartDoc "s + name + (wide_name != nullptr ? " = " + Utf8FromUtf16(wide_name) : "") +
                    (output != nullptr ? " > " + Utf8FromUtf16(output) : ""));
    if (cancel_in_start_doc) user_abort = 1;
    return cancel_in_start_doc ? 0 : start_doc;
  }
  unsigned long HoldOutput(const char16_t* output) override {
    calls.push_back("HoldOutput " + Utf8FromUtf16(output));
    return hold_output;
  }
  int StartPage(DeviceContext) override {
    calls.push_back("StartPage");
    return Next(start_page, start_pages_++);
  }
  int EndPage(DeviceContext) override {
    calls.push_back("EndPage");
    return Next(end_page, end_pages_++);
  }
  int EndDocument(DeviceContext) override {
    calls.push_back("EndDoc");
    return end_doc;
  }
  void AbortDocument(DeviceContext) override { calls.push_back("AbortDoc"); }
  void SetTransparentText(DeviceContext) override { calls.push_back("Transparent"); }
  void PutText(DeviceContext, int x, int y, const char* text, int length, const int* advances) override {
    // Every character of an ANSI line advances exactly one column of the grid.
    for (int k = 0; k < length; ++k) {
      if (advances == nullptr || advances[k] != advances[0]) ADD_FAILURE() << "advance " << k;
    }
    calls.push_back("Text " + Name(selected_) + " " + std::to_string(x) + "," + std::to_string(y) + " " +
                    std::string(text, length));
    if (after_text) after_text();
  }
  // Unicode text as UTF-8, with each unit's advance.
  void PutWideText(DeviceContext, int x, int y, const char16_t* text, int length, const int* advances) override {
    std::string dx;
    for (int k = 0; k < length; ++k) dx += (k ? "," : "") + std::to_string(advances[k]);
    calls.push_back("TextW " + Name(selected_) + " " + std::to_string(x) + "," + std::to_string(y) + " " +
                    Utf8FromUtf16(std::u16string_view(text, length)) + " [" + dx + "]");
  }
  // A shaped word as UTF-8, with each cluster's first unit and cells.
  void PutShapedText(DeviceContext, int y, const char16_t* text, int length, bool right_to_left,
                     const ClusterCells* clusters, int count) override {
    std::string cells;
    for (int k = 0; k < count; ++k) {
      cells += (k ? "," : "") + std::to_string(clusters[k].unit) + "@" + std::to_string(clusters[k].x) + "+" +
               std::to_string(clusters[k].width);
    }
    calls.push_back("Shaped " + Name(selected_) + " " + std::to_string(y) + (right_to_left ? " rtl " : " ") +
                    Utf8FromUtf16(std::u16string_view(text, length)) + " [" + cells + "]");
  }
  void PassThrough(DeviceContext, const unsigned char* block, int size) override {
    blocks.emplace_back(reinterpret_cast<const char*>(block), size);
    calls.push_back("Pass " + std::string(reinterpret_cast<const char*>(block) + 2, size - 2));
  }
  void MoveTo(DeviceContext, int x, int y) override {
    calls.push_back("MoveTo " + std::to_string(x) + "," + std::to_string(y));
  }
  void LineTo(DeviceContext, int x, int y) override {
    calls.push_back("LineTo " + std::to_string(x) + "," + std::to_string(y));
  }
  WindowHandle CreateCancelDialog() override {
    calls.push_back("CreateCancelDialog");
    if (dialog_fails) return nullptr;
    progress_window = kDialog;  // as the dialog procedure does from inside the creation
    return kDialog;
  }
  void DestroyWindow(WindowHandle window) override {
    calls.push_back(window == kDialog ? "DestroyWindow" : "DestroyWindow ?");
  }
  void SetPageLine(WindowHandle dialog, const char* text) override {
    calls.push_back((dialog == kDialog ? "PageLine "s : "PageLine(no dialog) "s) + text);
  }
  void ShowError(const char* text) override { calls.push_back("Box "s + text); }
  // Stand-ins that show which way a text went: OEM upper case, ANSI lower case.
  void TranslateToOem(const char* text, char* out) override { Translate("ToOem ", text, out, ::toupper); }
  void TranslateToAnsi(const char* text, char* out) override { Translate("ToAnsi ", text, out, ::tolower); }

  // The calls whose first word is one of `names`.
  std::vector<std::string> Only(std::initializer_list<std::string> names) const {
    std::vector<std::string> out;
    for (const auto& call : calls) {
      for (const auto& name : names)
        if (call.compare(0, call.find(' '), name) == 0) out.push_back(call);
    }
    return out;
  }

  // The pages as "[row:text ...]" per page, the rows taken from y.
  std::string Pages() const {
    std::string out;
    for (const auto& call : calls) {
      if (call == "StartPage") out += "[";
      if (call == "EndPage") out += "] ";
      if (call.rfind("Text ", 0) == 0) {
        int x = 0, y = 0, used = 0;
        std::sscanf(call.c_str(), "Text %*s %d,%d %n", &x, &y, &used);
        if (out.back() != '[') out += " ";
        out += std::to_string(y / 20) + ":" + call.substr(used);
      }
    }
    if (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
  }

 private:
  static int Next(const std::vector<int>& results, int n) {
    return n < static_cast<int>(results.size()) ? results[n] : 1;
  }
  std::string Name(FontHandle font) const {
    if (font == kStockFont) return "stock";
    return "F" + std::to_string(reinterpret_cast<std::uintptr_t>(font));
  }
  void Translate(const char* name, const char* text, char* out, int (*map)(int)) {
    calls.push_back(name + std::string(text));
    std::size_t i = 0;
    for (; text[i] != '\0'; ++i) out[i] = static_cast<char>(map(static_cast<unsigned char>(text[i])));
    out[i] = '\0';
  }

  FontHandle selected_ = kStockFont;
  int start_pages_ = 0;
  int end_pages_ = 0;
};

class DriverTest : public testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/quillet-driver-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    dir_ = dir;
    report_ = dir_ + "/report.txt";
    call_.report_path = report_.c_str();
    OpenTraceFile((dir_ + "/trace.log").c_str());
    user_abort = 0;
  }
  void TearDown() override {
    ResetTraceForTesting();
    std::remove(report_.c_str());
    std::remove((dir_ + "/trace.log").c_str());
    std::remove((dir_ + "/job.cfg").c_str());
    rmdir(dir_.c_str());
  }

  void Write(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

  void Print(const std::string& report) {
    Write(report_, report);
    PrintReport(job_, call_, device_);
  }

  std::string TraceLog() {
    std::ifstream in(dir_ + "/trace.log", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  // Everything the report held is given back, the dialog included.
  void ExpectReleased() {
    EXPECT_EQ(device_.fonts_alive, 0);
    EXPECT_EQ(device_.Only({"DeleteDC"}).size(), 1u);
    EXPECT_EQ(device_.Only({"CloseReport"}).size(), 1u);
    EXPECT_EQ(device_.Only({"DestroyWindow"}).size(), job_.quiet ? 0u : 1u);
    EXPECT_EQ(cancel_dialog, nullptr);
    EXPECT_EQ(progress_window, nullptr);
  }

  std::string dir_;
  std::string report_;
  PrintJob job_;
  CallRecord call_;
  RecordingDevice device_;
};

TEST_F(DriverTest, TwoLineReportCallSequence) {
  Print("ab\r\nc\xE9\n");  // a letter of code page 1252: the same calls as ASCII
  const std::vector<std::string> expected = {
      "OpenReport", "GetPrinterDC", "TextMetrics", "TextFace",
      "MakeFont F1", "MakeFont F2", "MakeFont F3", "MakeFont F4",
      "Select F1", "TextMetrics", "Caps 10", "Caps 8", "CreateCancelDialog", "SetAbortProc", "Transparent",
      "StartDoc " + report_, "PageLine " + report_ + " (page 1)", "StartPage",
      "Text F1 0,0 ab", "Text F1 0,20 c\xE9",  // the normal font is selected already
      "EndPage", "EndDoc",
      // Released: the dialog, the context's own font back, the fonts, the context, the file.
      "DestroyWindow", "Select stock", "DeleteFont F1", "DeleteFont F2", "DeleteFont F3", "DeleteFont F4",
      "DeleteDC", "CloseReport"};
  EXPECT_EQ(device_.calls, expected);
  ExpectReleased();

  std::string log = TraceLog();
  const std::string eof_line = "GetLine: found EOF";
  log.erase(log.find(eof_line), log.find('\n', log.find(eof_line)) + 1 - log.find(eof_line));
  EXPECT_EQ(log, "GetLine returned ab\n"
                 "Printing " + report_ + " (page 1)\n"
                 "GetLine returned c\xE9\n"
                 "GetLine returned \n"
                 "GetLine found CTL_EOF\n");
}

TEST_F(DriverTest, DocumentNameAndOutputFileReachTheSpoolerAndThePageLine) {
  call_.document_name = "(standard input)";
  call_.output_path = u"Z:\\out \u540d.ps";
  Print("ab\n");
  // The file is held right before the document starts, once the printer is open.
  EXPECT_EQ(device_.Only({"GetPrinterDC", "HoldOutput", "StartDoc", "PageLine"}),
            (std::vector<std::string>{"GetPrinterDC", "HoldOutput Z:\\out \xe5\x90\x8d.ps",
                                      "StartDoc (standard input) > Z:\\out \xe5\x90\x8d.ps",
                                      "PageLine (standard input) (page 1)"}));
  EXPECT_NE(TraceLog().find("Printing (standard input) (page 1)\n"), std::string::npos);
  for (const bool printer : {false, true}) {
    device_ = RecordingDevice();
    device_.make_dc = printer;
    device_.hold_output = kSharingViolation;  // another writer has it
    Print("ab\n");
    EXPECT_EQ(device_.Only({"HoldOutput", "StartDoc"}).size(), printer ? 1u : 0u);  // no printer: the file stays
  }
  // A file the call reads, or the trace log, is never written over: refused
  // before any printer is opened.
  Write(dir_ + "/job.cfg", "-copies=2\n");
  call_.reads_file = [this](const FileIdentity& identity) {
    FileIdentity config;
    return IdentifyPath((dir_ + "/job.cfg").c_str(), nullptr, config) && config == identity;
  };
  for (const auto& [file, why] : std::vector<std::pair<std::string, const char*>>{
           {report_, "it is the report itself"},
           {dir_ + "/trace.log", "it is the trace log"},
           {dir_ + "/job.cfg", "it is a report or configuration file of this call"},
           {dir_ + "/new.ps", nullptr}}) {
    device_ = RecordingDevice();
    const std::u16string output = Utf16FromModifiedUtf8(file);
    call_.output_path = output.c_str();
    Write(report_, "ab\n");
    const ReportResult result = PrintReport(job_, call_, device_);
    EXPECT_EQ(result.output_refused == nullptr ? "" : result.output_refused, std::string(why ? why : "")) << file;
    EXPECT_EQ(device_.Only({"GetPrinterDC"}).size(), why ? 0u : 1u) << file;
  }
  call_.reads_file = nullptr;
  // A name the ANSI code page cannot spell reaches the spooler whole.
  device_ = RecordingDevice();
  call_.document_name = nullptr;
  call_.output_path = nullptr;
  call_.report_path_wide = u"/tmp/\u03A9mega-\u5317\u4EAC.txt";
  Print("ab\n");
  EXPECT_EQ(device_.Only({"StartDoc"}),
            std::vector<std::string>{"StartDoc " + report_ + " = /tmp/\xCE\xA9mega-\xE5\x8C\x97\xE4\xBA\xAC.txt"});
}

TEST_F(DriverTest, RunsTakeTheirAttributesFontAndSitOnTheGrid) {
  // F1 normal, F2 underline, F3 bold underline, F4 bold.
  Print("AB\b_C\nx\bx\b_y\by\n\nz\bz\n");
  EXPECT_EQ(device_.Only({"Text"}), (std::vector<std::string>{
                                        "Text F1 0,0 A", "Text F2 10,0 B", "Text F1 20,0 C",
                                        "Text F3 0,20 x", "Text F4 10,20 y",
                                        "Text F1 0,40 ",  // an empty line still takes its row
                                        "Text F4 0,60 z"}));
}

TEST_F(DriverTest, EachLineTakesTheTextCallOfItsKind) {
  struct Case {
    const char* name;
    std::string report;
    std::vector<std::string> text;  // the text calls
    std::string trace = "";         // in the trace, when given
    bool oem = false;
    bool hebrew = false;            // the ANSI code page is 1255's Hebrew
  } cases[] = {
      {"code page 1252, overstrikes included: the ANSI call", "Gr\xFC\xDF" "e\n\xE9\b\xE9\b_x\n",
       {"Text F1 0,0 Gr\xFC\xDF" "e", "Text F3 0,20 \xE9", "Text F1 10,20 x"}, "GetLine returned Gr\xFC\xDF" "e\n"},
      {"UTF-8: the Unicode call, a column per character", u8"Grüße – €\n",
       {u8"TextW F1 0,0 Grüße – € [10,10,10,10,10,10,10,10,10]"}, u8"GetLine returned Grüße – €\n"},
      {"overstrikes, and a word for the shaping engine on its cells", u8"é\bé ü\b_😀x\n",
       {u8"TextW F4 0,0 é [10]", u8"TextW F2 20,0 ü [10]", u8"Shaped F1 0 😀x [0@30+20,2@50+10]"}},
      {"a wide character, a tab, a right-to-left field: the grid's columns", u8"漢\tאב 1\n",
       {u8"TextW F1 0,0 漢 [20]", u8"TextW F1 80,0 1  [10,10]", u8"Shaped F1 0 rtl אב [0@110+10,1@100+10]"}},
      {"code page 1255: Hebrew laid out as in UTF-8, other lines byte for byte",
       "\xE3\xE5\xE3 \xEB\xE4\xEF\b\xEF\n\xA9 2027\n",
       {u8"Shaped F4 0 rtl ן [0@0+10]", u8"Shaped F1 0 rtl כה [0@20+10,1@10+10]",
        u8"Shaped F1 0 rtl דוד [0@60+10,1@50+10,2@40+10]", "Text F1 0,20 \xA9 2027"}, "", false, true},
      {"a tab in an ANSI line", "a\tb\n", {"Text F1 0,0 a", "Text F1 80,0 b"}},
      {"UTF-16 with a mark, traced as UTF-8", "\xFF\xFEZ\0o\0\xEB\0\n\0"s, {u8"TextW F1 0,0 Zoë [10,10,10]"},
       u8"GetLine: UTF-16LE report (byte-order mark)\nGetLine returned Zoë\n"},
      {"-oem: UTF-8 bytes are bytes", u8"é\n", {"ToOem \xC3\xA9", "Text F1 0,0 \xC3\xA9"}, "", true},
  };
  AnsiCodePage hebrew;
  for (int k = 0; k < 128; ++k) hebrew.high[k] = static_cast<char16_t>(k < 0x60 ? 0x80 + k : 0x05D0 + k - 0x60);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    device_ = RecordingDevice();
    job_.oem = c.oem;
    SetAnsiCodePageForTesting(c.hebrew ? &hebrew : nullptr);
    OpenTraceFile((dir_ + "/trace.log").c_str());
    Print(c.report);
    SetAnsiCodePageForTesting(nullptr);
    EXPECT_EQ(device_.Only({"Text", "TextW", "Shaped", "ToOem"}), c.text);
    EXPECT_NE(TraceLog().find(c.trace), std::string::npos) << TraceLog();
  }
}

TEST_F(DriverTest, FontsFollowThePitchAndFaceOptions) {
  struct Case {
    std::int16_t pitch;
    const char* font;
    int logpixelsy;
    int height, width;
    const char* face;
  } cases[] = {
      {0, "", 600, 100, 52, "Device Mono"},  // the device's own font, its size and face
      {10, "", 600, -83, 0, "Device Mono"},  // 10 * 600 / 72 = 83.3
      {9, "Courier New", 300, -38, 0, "Courier New"},  // 37.5 rounds away from zero
      {12, "A face name that is far too long for a font", 96, -16, 0,
       "A face name that is far too lon"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pitch);
    RecordingDevice device;
    device.logpixelsy = c.logpixelsy;
    PrintJob job;
    CallRecord call;
    call.report_path = report_.c_str();
    job.pitch = c.pitch;
    CopyField(job.font, c.font);
    Write(report_, "x\n");
    PrintReport(job, call, device);

    ASSERT_EQ(device.fonts.size(), 4u);
    const int weights[] = {400, 400, 700, 700};
    const bool underlines[] = {false, true, true, false};
    for (int k = 0; k < 4; ++k) {
      const FontSpec& f = device.fonts[k];
      EXPECT_EQ(f.height, c.height);
      EXPECT_EQ(f.width, c.width);
      EXPECT_EQ(f.weight, weights[k]);
      EXPECT_EQ(f.underline, underlines[k]);
      EXPECT_EQ(f.pitch_and_family, 0x31);
      EXPECT_STREQ(f.face, c.face);
    }
    EXPECT_EQ(device.Only({"TextFace"}).size(), c.font[0] == '\0' ? 1u : 0u);
  }
}

TEST(MulDiv, RoundsHalfAwayFromZeroLikeWin32) {
  struct Case {
    int a, b, c, expected;
  } cases[] = {
      {10, 600, 72, 83}, {9, 300, 72, 38}, {-9, 300, 72, -38}, {9, -300, 72, -38},
      {9, 300, -72, -38}, {-9, -300, -72, -38}, {-9, 300, -72, 38}, {1, 1, 2, 1}, {1, 1, 3, 0}, {-1, 1, 2, -1},
      {0, 5, 7, 0}, {5, 7, 0, -1}, {65536, 65536, 2, -1}, {65536, 65536, 4, 1073741824},
      {2147483647, 2, 2, 2147483647}, {-2147483647, 2, 2, -2147483647},
  };
  for (const Case& c : cases) EXPECT_EQ(MulDiv(c.a, c.b, c.c), c.expected) << c.a << "*" << c.b << "/" << c.c;
}

TEST_F(DriverTest, RulerAtTheTopOfEveryPageAndBelowTheLastLine) {
  job_.ruler = 1;
  device_.horzres = 60;
  const std::vector<std::string> tick_at_0 = {"MoveTo 0,0", "LineTo 0,20", "MoveTo 10,0", "LineTo 10,10",
                                              "MoveTo 20,0", "LineTo 20,10", "MoveTo 30,0", "LineTo 30,10",
                                              "MoveTo 40,0", "LineTo 40,10", "MoveTo 50,0", "LineTo 50,20",
                                              "MoveTo 60,0", "LineTo 60,10"};
  Print("a\fb\nc\n");
  auto ruler = device_.Only({"MoveTo", "LineTo", "StartPage", "EndPage", "Text"});
  std::vector<std::string> expected = {"StartPage"};
  expected.insert(expected.end(), tick_at_0.begin(), tick_at_0.end());
  expected.insert(expected.end(), {"Text F1 0,0 a", "EndPage", "StartPage"});
  expected.insert(expected.end(), tick_at_0.begin(), tick_at_0.end());
  expected.insert(expected.end(), {"Text F1 0,0 b", "Text F1 0,20 c"});
  for (const auto& t : tick_at_0) {  // the same ruler, two rows down
    int x = 0, y = 0;
    char verb[8];
    std::sscanf(t.c_str(), "%7s %d,%d", verb, &x, &y);
    expected.push_back(std::string(verb) + " " + std::to_string(x) + "," + std::to_string(y + 40));
  }
  expected.push_back("EndPage");
  EXPECT_EQ(ruler, expected);
}

TEST_F(DriverTest, NoRulerOutsideAPage) {
  job_.ruler = 1;
  for (const char* report : {"", "a\f", "\f"}) {
    SCOPED_TRACE(testing::PrintToString(report));
    device_ = RecordingDevice();
    Print(report);
    // Every tick lies between a StartPage and its EndPage.
    bool open = false;
    for (const auto& call : device_.calls) {
      if (call == "StartPage") open = true;
      if (call == "EndPage") open = false;
      if (call.rfind("MoveTo", 0) == 0) {
        EXPECT_TRUE(open) << call;
      }
    }
  }
}

TEST_F(DriverTest, RulerOffDrawsNothing) {
  Print("a\fb\n");
  EXPECT_TRUE(device_.Only({"MoveTo", "LineTo"}).empty());
}

TEST_F(DriverTest, RawModeSendsPassThroughBlocks) {
  job_.raw = 1;
  const std::string long_line(300, 'x');
  Print("ab\bb\r\n" + long_line + "\f");
  EXPECT_EQ(device_.Only({"QueryEscape"}), std::vector<std::string>{"QueryEscape 19"});
  // A 16-bit little-endian count, then the bytes; the line feed goes along in raw mode.
  EXPECT_EQ(device_.blocks, (std::vector<std::string>{"\x01\x00"s "a", "\x01\x00"s "b", "\x01\x00"s "\n",
                                                     "\x2C\x01"s + long_line}));
  // Escape sequences may carry zero bytes: nothing after one is lost.
  device_ = RecordingDevice();
  Print("\x1b&l0O\0x\n"s);
  EXPECT_EQ(device_.blocks, std::vector<std::string>{"\x08\x00\x1b&l0O\0x\n"s});
  EXPECT_TRUE(device_.Only({"Text"}).empty());
  EXPECT_EQ(device_.Only({"Select"}), (std::vector<std::string>{"Select F1", "Select stock"}));
  EXPECT_EQ(job_.raw, 1);
}

TEST_F(DriverTest, RawModeWithoutPassThroughPrintsThroughFonts) {
  job_.raw = 1;
  device_.passthrough = 0;
  Print("ab\n");
  EXPECT_TRUE(device_.blocks.empty());
  EXPECT_EQ(device_.Only({"Text"}), std::vector<std::string>{"Text F1 0,0 ab"});
  EXPECT_EQ(job_.raw, 0);  // stays off for the later reports of the call
  EXPECT_EQ(TraceLog().rfind("PASSTHROUGH not supported, ignoring -raw flag\n", 0), 0u);
}

TEST_F(DriverTest, TranslationTakesTheRestOfTheLineFromTheRunStart) {
  struct Case {
    std::uint8_t oem, ansi;
    std::vector<std::string> expected;
  } cases[] = {
      {1, 0, {"ToOem aBc", "Text F1 0,0 A", "ToOem Bc", "Text F2 10,0 B", "ToOem c", "Text F1 20,0 C"}},
      {1, 1, {"ToOem aBc", "Text F1 0,0 A", "ToOem Bc", "Text F2 10,0 B", "ToOem c", "Text F1 20,0 C"}},
      {0, 1, {"ToAnsi aBc", "Text F1 0,0 a", "ToAnsi Bc", "Text F2 10,0 b", "ToAnsi c", "Text F1 20,0 c"}},
      {0, 0, {"Text F1 0,0 a", "Text F2 10,0 B", "Text F1 20,0 c"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << int(c.oem) << int(c.ansi));
    device_ = RecordingDevice();
    job_.oem = c.oem;
    job_.ansi = c.ansi;
    Print("aB\b_c\n\n");  // the empty line is not translated
    auto expected = c.expected;
    expected.push_back("Text F1 0,20 ");
    EXPECT_EQ(device_.Only({"ToOem", "ToAnsi", "Text"}), expected);
  }
}

TEST_F(DriverTest, FormFeedsAndFullPagesBreakPages) {
  // vertres 100 / line height 20: five rows per page. The measure counts the
  // same pages, and the rows of the longest page the form feeds end.
  struct Case {
    const char* name;
    std::string report;
    std::string pages;
    int longest;  // rows of the report's own longest page
  } cases[] = {
      {"empty report", "", "", 0},
      {"leading form feeds skipped", "\r\f\fa\n", "[0:a]", 1},
      {"form feed after the last line", "a\nb\f", "[0:a 1:b]", 2},
      {"title page", "TITLE\fnext\n", "[0:TITLE] [0:next]", 1},
      {"form feed in the middle of a line", "a\nb\fc\nd\ne\n", "[0:a 1:b] [0:c 1:d 2:e]", 3},
      {"two form feeds give a blank page", "a\f\fb\n", "[0:a] [] [0:b]", 1},
      {"five lines fill a page", "1\n2\n3\n4\n5\n", "[0:1 1:2 2:3 3:4 4:5]", 5},
      {"the sixth starts the next", "1\n2\n3\n4\n5\n6\n", "[0:1 1:2 2:3 3:4 4:5] [0:6]", 6},
      {"full pages ended by form feeds", "1\n2\n3\n4\n5\f6\n7\n8\n9\n10\f",
       "[0:1 1:2 2:3 3:4 4:5] [0:6 1:7 2:8 3:9 4:10]", 5},
      {"sixth line with its form feed", "1\n2\n3\n4\n5\n6\fx\n", "[0:1 1:2 2:3 3:4 4:5] [0:6] [0:x]", 6},
      // A form feed alone after a page that ended full is the end of that page.
      {"full page, then a form feed", "1\n2\n3\n4\n5\n\f6\n", "[0:1 1:2 2:3 3:4 4:5] [0:6]", 5},
      {"full last page, then a form feed", "1\n2\n3\n4\n5\n\f", "[0:1 1:2 2:3 3:4 4:5]", 5},
      {"full page, then two form feeds", "1\n2\n3\n4\n5\n\f\f6\n", "[0:1 1:2 2:3 3:4 4:5] [] [0:6]", 5},
      {"the last page longest, no form feed after it", "a\fb\nc\nd\ne\n", "[0:a] [0:b 1:c 2:d 3:e]", 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    device_ = RecordingDevice();
    Write(report_, c.report);
    const ReportResult result = PrintReport(job_, call_, device_);
    EXPECT_EQ(device_.Pages(), c.pages);
    EXPECT_EQ(device_.Only({"StartDoc"}).size(), 1u);
    EXPECT_EQ(device_.Only({"EndDoc"}).size(), 1u);
    const int pages = static_cast<int>(std::count(c.pages.begin(), c.pages.end(), '['));
    EXPECT_EQ(result.pages, pages);
    for (const int lines_per_page : {5, kNoPageLength}) {
      ReportInput input;
      input.Open(ReportOpen(report_.c_str()), job_);
      const ReportMeasure measure = MeasureReport(input, lines_per_page);
      ReportClose(input.file);
      EXPECT_EQ(measure.pages == pages, lines_per_page == 5 || c.longest <= 5);
      EXPECT_EQ(measure.longest_page, c.longest);
    }
  }
  // The first case: a document with no page in it.
  device_ = RecordingDevice();
  Print("");
  EXPECT_EQ(device_.Only({"StartDoc", "StartPage", "EndPage", "EndDoc"}),
            (std::vector<std::string>{"StartDoc " + report_, "EndDoc"}));
}

TEST_F(DriverTest, InitialFormFeedIsTraced) {
  Print("\fa\n");
  EXPECT_NE(TraceLog().find("GetLine returned \nSkipping initial FORM_FEED\nGetLine returned a\n"), std::string::npos);
}

TEST(CheckPrintResult, ZeroAndNegativeResultsShowTheirText) {
  struct Case {
    int result;
    const char* box;
  } cases[] = {
      {1, nullptr},
      {0, "StartPage returned 0 (Unknown general error)."},  // the spooler refused the job
      {-1, "StartPage returned -1 (Unknown general error)."},
      {-2, "StartPage returned -2 (Abort by application)."},
      {-3, "StartPage returned -3 (User Abort by Print Manager)."},
      {-4, "StartPage returned -4 (Out of disk)."},
      {-5, "StartPage returned -5 (Out of memory)."},
      {-6, "StartPage returned -6 (Unknown general error)."},
      {-2147483647 - 1, "StartPage returned -2147483648 (Unknown general error)."},
  };
  for (const Case& c : cases) {
    RecordingDevice device;
    EXPECT_EQ(CheckPrintResult(device, "StartPage", c.result), c.box != nullptr);
    EXPECT_EQ(device.calls, c.box ? std::vector<std::string>{"Box "s + c.box} : std::vector<std::string>{});
  }
  RecordingDevice busy;
  busy.last_error = kSharingViolation;  // another document holds the spooler
  CheckPrintResult(busy, "StartDoc", 0);
  EXPECT_EQ(busy.calls,
            std::vector<std::string>{"Box StartDoc returned 0 (the spooler was busy with another document)."});
  RecordingDevice device;
  CheckPrintResult(device, std::string(200, 'N').c_str(), -3);
  EXPECT_EQ(device.calls, std::vector<std::string>{"Box " + std::string(79, 'N')});  // 80 bytes with the NUL
}

TEST_F(DriverTest, FailingSpoolerCallsEndTheReportAndReleaseEverything) {
  struct Case {
    const char* name;
    std::function<void(RecordingDevice&)> fail;
    const char* box;
    const char* trace;  // the driver's last trace line
    const char* last_spooler_call;
    std::vector<std::string> end;  // how the document ends: one started and not ended whole is dropped
  } cases[] = {
      {"StartDoc", [](RecordingDevice& d) { d.start_doc = -1; }, "StartDoc returned -1 (Unknown general error).",
       "StartDoc returned -1 - GetLastError() = 2\n", "StartDoc", {}},
      {"StartDoc 0", [](RecordingDevice& d) { d.start_doc = 0; }, "StartDoc returned 0 (Unknown general error).",
       "StartDoc returned 0 - GetLastError() = 2\n", "StartDoc", {}},
      {"StartPage", [](RecordingDevice& d) { d.start_page = {1, -3}; },
       "StartPage returned -3 (User Abort by Print Manager).", "StartPage failed - exiting\n", "StartPage",
       {"AbortDoc"}},
      {"EndPage", [](RecordingDevice& d) { d.end_page = {-4}; }, "EndPage returned -4 (Out of disk).",
       "EndPage failed - exiting\n", "EndPage", {"AbortDoc"}},
      {"EndPage (2)", [](RecordingDevice& d) { d.end_page = {1, -5}; }, "EndPage returned -5 (Out of memory).",
       "EndPage (2) failed - exiting\n", "EndPage", {"AbortDoc"}},
      {"EndDoc", [](RecordingDevice& d) { d.end_doc = -2; }, "EndDoc returned -2 (Abort by application).",
       "EndDoc returned -2 - GetLastError() = 2\n", "EndDoc", {"EndDoc", "AbortDoc"}},
      // The spooler hands the job on at EndDoc: a stopped server or a queue that
      // rejects jobs answers 0 there.
      {"EndDoc 0", [](RecordingDevice& d) { d.end_doc = 0; }, "EndDoc returned 0 (Unknown general error).",
       "EndDoc returned 0 - GetLastError() = 2\n", "EndDoc", {"EndDoc", "AbortDoc"}},
  };
  for (bool quiet : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(testing::Message() << c.name << (quiet ? " quiet" : ""));
      device_ = RecordingDevice();
      c.fail(device_);
      job_.quiet = quiet;
      OpenTraceFile((dir_ + "/trace.log").c_str());
      Print("page one\fpage two\n");

      auto spooler = device_.Only({"StartDoc", "StartPage", "EndPage", "EndDoc", "Box"});
      ASSERT_GE(spooler.size(), 2u);
      EXPECT_EQ(spooler.back(), "Box "s + c.box);  // the box shows in quiet jobs too
      EXPECT_EQ(spooler.end()[-2].rfind(c.last_spooler_call, 0), 0u);
      EXPECT_EQ(device_.Only({"EndDoc", "AbortDoc"}), c.end);
      // The document is dropped before its box shows (under Wine it holds the
      // prefix's turn to spool).
      EXPECT_EQ(device_.Only({"AbortDoc", "Box"}).back(), "Box "s + c.box);
      const std::string log = TraceLog();
      EXPECT_EQ(log.substr(log.size() - std::strlen(c.trace)), c.trace);
      ExpectReleased();
    }
  }
}

TEST_F(DriverTest, ReportThatCannotBeOpenedTouchesNothing) {
  call_.report_path = "/nonexistent/quillet/report.txt";
  PrintReport(job_, call_, device_);
  EXPECT_EQ(device_.calls, std::vector<std::string>{"OpenReport"});
  EXPECT_EQ(TraceLog(), "lopen(/nonexistent/quillet/report.txt) failed because of error 2\n");
}

TEST_F(DriverTest, NoPrinterReleasesTheFile) {
  device_.make_dc = false;
  Print("a\n");
  EXPECT_EQ(device_.calls, (std::vector<std::string>{"OpenReport", "GetPrinterDC", "CloseReport"}));
}

TEST_F(DriverTest, ScratchDispositionDeletesOnlyWhatWasPrinted) {
  const std::string config = dir_ + "/job.cfg";
  struct Case {
    const char* name;
    bool scratch;
    bool config;
    std::function<void(RecordingDevice&)> set_up;
    bool printed;
  } cases[] = {
      {"printed", true, true, [](RecordingDevice&) {}, true},
      {"printed, no config", true, false, [](RecordingDevice&) {}, true},
      {"saved", false, true, [](RecordingDevice&) {}, true},
      // A report that did not reach the spooler whole may be the only copy.
      {"not opened", true, true, [](RecordingDevice& d) { d.fail_open = true; }, false},
      {"no printer", true, true, [](RecordingDevice& d) { d.make_dc = false; }, false},
      {"refused at EndDoc", true, true, [](RecordingDevice& d) { d.end_doc = 0; }, false},
      {"cancelled", true, true, [](RecordingDevice& d) { d.after_text = [] { user_abort = 1; }; }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    device_ = RecordingDevice();
    c.set_up(device_);
    Write(config, "copies=2\n");
    job_.scratch = c.scratch;
    job_.config_path = c.config ? config : "";
    OpenTraceFile((dir_ + "/trace.log").c_str());
    Write(report_, "a\n");
    const ReportResult result = PrintReport(job_, call_, device_);
    EXPECT_EQ(DisposeReport(job_, call_, result), c.scratch && c.printed);
    const bool deleted = c.scratch && c.printed;
    EXPECT_EQ(access(report_.c_str(), F_OK) != 0, deleted);
    EXPECT_EQ(TraceLog().find("DisposeReport() kept " + report_ + ": not printed\n") != std::string::npos,
              c.scratch && !c.printed);
    // A later report of the call prints: the configuration file goes at the
    // end of the call, and only when every report it applied to printed.
    device_ = RecordingDevice();
    Write(report_, "b\n");
    DisposeReport(job_, call_, PrintReport(job_, call_, device_));
    EXPECT_EQ(access(config.c_str(), F_OK), 0);
    DisposeConfigFiles(call_);
    EXPECT_EQ(access(config.c_str(), F_OK) != 0, deleted && c.config);
  }
}

TEST_F(DriverTest, CancelEndsTheLoopAfterTheCurrentLineAndDropsTheDocument) {
  device_.after_text = [] { user_abort = 1; };
  user_abort = 1;  // left from an earlier cancelled report
  Print("one\ntwo\nthree\n");
  // No page or document end is attempted: the spooler discards the partial job.
  EXPECT_EQ(device_.Only({"Text", "EndPage", "EndDoc", "AbortDoc", "Box"}),
            (std::vector<std::string>{"Text F1 0,0 one", "AbortDoc"}));
  ExpectReleased();
}

TEST_F(DriverTest, CancelBeforeTheFirstLinePrintsNoPage) {
  // The user cancels as soon as the dialog is up, before the document starts.
  class Device : public RecordingDevice {
   public:
    WindowHandle CreateCancelDialog() override {
      WindowHandle dialog = RecordingDevice::CreateCancelDialog();
      user_abort = 1;
      return dialog;
    }
  } device;
  Write(report_, "a\n");
  PrintReport(job_, call_, device);
  EXPECT_EQ(device.Only({"StartDoc", "StartPage", "EndDoc", "AbortDoc"}),
            (std::vector<std::string>{"StartDoc " + report_, "AbortDoc"}));
}

TEST_F(DriverTest, QuietJobHasNoDialog) {
  job_.quiet = 1;
  Print("a\n");
  EXPECT_TRUE(device_.Only({"CreateCancelDialog", "DestroyWindow"}).empty());
  EXPECT_EQ(device_.Only({"PageLine(no"}), std::vector<std::string>{"PageLine(no dialog) " + report_ + " (page 1)"});
  EXPECT_EQ(device_.Only({"SetAbortProc"}).size(), 1u);
}

TEST_F(DriverTest, DialogThatCannotBeMadeIsNotDestroyed) {
  device_.dialog_fails = true;
  Print("a\n");
  EXPECT_TRUE(device_.Only({"DestroyWindow"}).empty());
  EXPECT_EQ(device_.Pages(), "[0:a]");
}

TEST_F(DriverTest, PageLineIsCutToItsBuffer) {
  const std::string long_report = dir_ + "/" + std::string(120, 'r');
  call_.report_path = long_report.c_str();
  Write(long_report, "a\fb\n");
  PrintReport(job_, call_, device_);
  std::remove(long_report.c_str());
  auto lines = device_.Only({"PageLine"});
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "PageLine " + long_report.substr(0, 99));
  Write(report_, "a\fb\n");
  device_ = RecordingDevice();
  call_.report_path = report_.c_str();
  PrintReport(job_, call_, device_);
  EXPECT_EQ(device_.Only({"PageLine"}).back(), "PageLine " + report_ + " (page 2)");
}

TEST_F(DriverTest, NormalFontThatCannotBeMadeStillGivesTheContextItsFontBack) {
  device_.failing_font = 1;
  device_.horzres = 1000;  // the context's own font is wide: room for the line
  Print("a\b_b\n");  // an underlined run selects a report font of its own
  const auto calls = device_.Only({"Select", "CurrentFont", "DeleteFont"});
  EXPECT_EQ(calls, (std::vector<std::string>{"Select F0", "CurrentFont", "Select F2", "Select F0", "Select stock",
                                             "DeleteFont F2", "DeleteFont F3", "DeleteFont F4"}));
  EXPECT_EQ(device_.fonts_alive, 0);
}

TEST_F(DriverTest, OutcomeTellsHowTheReportEnded) {
  struct Case {
    const char* name;
    std::function<void(RecordingDevice&, PrintJob&)> set_up;
    ReportOutcome outcome;
  } cases[] = {
      {"spooled", [](RecordingDevice&, PrintJob&) {}, ReportOutcome::kSpooled},
      {"not opened", [](RecordingDevice& d, PrintJob&) { d.fail_open = true; }, ReportOutcome::kNotOpened},
      {"no printer", [](RecordingDevice& d, PrintJob&) { d.make_dc = false; }, ReportOutcome::kNoPrinter},
      {"StartDoc", [](RecordingDevice& d, PrintJob&) { d.start_doc = -1; }, ReportOutcome::kSpoolerFailed},
      {"EndPage", [](RecordingDevice& d, PrintJob&) { d.end_page = {-4}; }, ReportOutcome::kSpoolerFailed},
      {"EndDoc", [](RecordingDevice& d, PrintJob&) { d.end_doc = -1; }, ReportOutcome::kSpoolerFailed},
      {"EndDoc refused", [](RecordingDevice& d, PrintJob&) { d.end_doc = 0; }, ReportOutcome::kSpoolerFailed},
      {"cancelled", [](RecordingDevice& d, PrintJob&) { d.after_text = [] { user_abort = 1; }; },
       ReportOutcome::kCancelled},
      {"cancelled before the document started", [](RecordingDevice& d, PrintJob&) { d.cancel_in_start_doc = true; },
       ReportOutcome::kCancelled},
      {"cancelled, then refused by the spooler",
       [](RecordingDevice& d, PrintJob&) {
         d.after_text = [] { user_abort = 1; };
         d.end_page = {-2};
       },
       ReportOutcome::kCancelled},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    device_ = RecordingDevice();
    c.set_up(device_, job_);
    Write(report_, "a\fb\n");
    const ReportResult result = PrintReport(job_, call_, device_);
    EXPECT_EQ(result.outcome, c.outcome);
    // The error code of an unopened file, or the last error after a failed spooler call.
    const bool failed = c.outcome == ReportOutcome::kNotOpened || c.outcome == ReportOutcome::kSpoolerFailed;
    EXPECT_EQ(result.error, failed ? 2u : 0u);
    EXPECT_EQ(result.spooler_call != nullptr, c.outcome == ReportOutcome::kSpoolerFailed);
  }
  // The report is the trace log: printing it would read the trace's own lines
  // back and write more for each, without end.
  device_ = RecordingDevice();
  Write(report_, "a\n");
  OpenTraceFile(report_.c_str());
  EXPECT_EQ(PrintReport(job_, call_, device_).outcome, ReportOutcome::kIsTraceLog);
  EXPECT_EQ(device_.calls, (std::vector<std::string>{"OpenReport", "Box " + report_ + " is the trace log: not printed",
                                                     "CloseReport"}));
  OpenTraceFile((dir_ + "/trace.log").c_str());
  // Whoever listens hears of every page as it starts.
  static std::vector<int> pages;
  pages.clear();
  call_.on_page = [](int page) { pages.push_back(page); };
  device_ = RecordingDevice();
  Print("a\fb\fc\n");
  EXPECT_EQ(pages, (std::vector<int>{1, 2, 3}));
}

TEST_F(DriverTest, LinesPastTheRightEdgeAreCounted) {
  // horzres 100 / char_width 10: columns 1 to 10 lie on the page.
  struct Case {
    const char* report;
    int lines_cut;
  } cases[] = {
      {"0123456789\n", 0},
      {"0123456789          \n", 0},  // blanks lose nothing
      {"01234567890\na\n0123456789X\n", 2},
      {"012345678_\bX\n", 0},  // an overstrike takes one column
      {"0123456789x\bx\n", 1},
      {u8"€ééééééé😀  \n", 0},  // nine characters of 2 to 4 bytes each, the emoji two columns: ten
      {u8"€ééééééé😀x\n", 1},
      {"abcdefgh\tx\n", 1},  // the tab moves x to column 17
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.report));
    device_ = RecordingDevice();
    OpenTraceFile((dir_ + "/trace.log").c_str());
    Write(report_, c.report);
    const ReportResult result = PrintReport(job_, call_, device_);
    EXPECT_EQ(result.lines_cut, c.lines_cut);
    EXPECT_EQ(result.first_column_lost, c.lines_cut > 0 ? 11 : 0);
    EXPECT_EQ(TraceLog().find("PrintReport() " + report_ + ": " + std::to_string(c.lines_cut) +
                              " lines cut at column 11\n") != std::string::npos,
              c.lines_cut > 0);
  }
}

TEST_F(DriverTest, FontWithoutHeightStillPrints) {
  device_.font_metrics = TextMetrics{0, 0, 0, 0};
  Print("a\nb\n");
  EXPECT_EQ(device_.Pages(), "[0:a] [0:b]");
}

TEST_F(DriverTest, PitchFitPrintsAtTheLargestSizeThatFits) {
  // 600 dots per inch on 8 x 11 inches: 80 columns of 60 units (12 points) fit across.
  device_.scaled = true;
  device_.horzres = 4800;
  device_.vertres = 6600;
  job_.pitch_fit = 1;
  const std::string line(80, 'x');
  Print(line + "\n" + line + "\n" + line + "\f" + line + "\n");
  EXPECT_NE(TraceLog().find("-pitch=fit: 12 points for 80 columns and 3 lines\n"), std::string::npos);
  ASSERT_GE(device_.fonts.size(), 4u);
  for (std::size_t k = device_.fonts.size() - 4; k < device_.fonts.size(); ++k) EXPECT_EQ(device_.fonts[k].height, -100);
  // Read once to measure it, then printed; both handles closed, every font deleted.
  EXPECT_EQ(device_.Only({"OpenReport"}).size(), 2u);
  EXPECT_EQ(device_.Only({"CloseReport"}).size(), 2u);
  EXPECT_EQ(device_.Only({"StartPage"}).size(), 2u);
  EXPECT_EQ(device_.fonts_alive, 0);
}

TEST_F(DriverTest, CutLinesTellWhatWouldHavePrintedThemWhole) {
  job_.pitch = 20;  // 167 units high, 100 wide: 48 columns, 39 rows on 6600
  const std::string line = std::string(80, 'x') + "\n";
  std::string page;
  for (int k = 0; k < 39; ++k) page += line;
  const struct {
    const char* name;
    std::string report;
    int vertres;
    bool landscape;
    int fits_at;
  } cases[] = {
      // Landscape holds 90 columns at this size on the taller page; else 12 points fit.
      {"one line", line, 6600, false, 24},
      {"one line, taller page", line, 9000, true, 0},
      // The form feeds after full pages end the report's own 39-row pages.
      {"full pages, each with its form feed", page + "\f" + page + "\fend\fmore\n", 6600, false, 24},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    device_ = RecordingDevice();
    device_.scaled = true;
    device_.horzres = 4800;
    device_.vertres = c.vertres;
    Write(report_, c.report);
    const ReportResult result = PrintReport(job_, call_, device_);
    EXPECT_GE(result.lines_cut, 1);
    EXPECT_EQ(result.fits_landscape, c.landscape);
    EXPECT_EQ(result.fits_at, c.fits_at);
    EXPECT_EQ(device_.fonts_alive, 0);
  }
}

// The page of the device context against the paper asked, 1 mm each way;
// the report prints either way.
TEST_F(DriverTest, APageThatIsNotThePaperAskedIsTold) {
  struct Case {
    const char* form;
    int width, length;  // tenths of a millimetre
    short orientation;
    int physical_width, physical_height;  // at 600 dots per inch
    int given_width, given_length;        // 0: not told
  } cases[] = {
      {"", 1270, 1270, 1, 6600, 8400, 2794, 3556},  // 5 x 5 in on an 11 x 14 in page
      {"", 1270, 1270, 2, 8400, 6600, 2794, 3556},  // the same turned: measured upright
      {"A4", 0, 0, 1, 4960, 7016, 0, 0},            // 210.0 x 297.0 mm
      {"A4", 0, 0, 2, 7016, 4960, 0, 0},
      {"A4", 0, 0, 1, 5100, 6600, 2159, 2794},      // Letter instead
      {"", 1270, 1270, 1, 0, 0, 0, 0},              // the device does not say
      {"Bogus", 0, 0, 1, 5100, 6600, 0, 0},         // nothing asked that has a size
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.form << " " << c.width << " " << c.orientation << " " << c.physical_width);
    device_ = RecordingDevice();
    device_.physical_width = c.physical_width;
    device_.physical_height = c.physical_height;
    CopyField(job_.form_id, c.form);
    job_.paper_width = c.width;
    job_.paper_length = c.length;
    job_.orientation = c.orientation;
    Write(report_, "a\n");
    const ReportResult result = PrintReport(job_, call_, device_);
    EXPECT_EQ(result.outcome, ReportOutcome::kSpooled);
    EXPECT_EQ(std::make_pair(result.paper_given_width, result.paper_given_length),
              std::make_pair(c.given_width, c.given_length));
    EXPECT_EQ(result.paper_asked_width != 0, c.given_width != 0);
  }
  EXPECT_NE(TraceLog().find("PrintReport() paper asked A4 (210.0 x 297.0 mm), the printer gives 215.9 x 279.4 mm\n"),
            std::string::npos);
}

TEST_F(DriverTest, PagesNotSelectedAreReadButNeverStarted) {
  const std::string report = "p1\fp2\fp3\nmore\fp4\fp5\n";
  call_.pages = {{2, 3}};
  Print(report);
  EXPECT_EQ(device_.Pages(), "[0:p2] [0:p3 1:more]");
  EXPECT_EQ(device_.Only({"PageLine"}),
            (std::vector<std::string>{"PageLine " + report_ + " (page 1)", "PageLine " + report_ + " (page 2)"}));
  device_ = RecordingDevice();
  call_.pages = {{4, 4}, {7, 9}};
  Print(report);
  EXPECT_EQ(device_.Pages(), "[0:p4]");
  // Counted before anything starts: a selection of none holds no output file,
  // starts no document and shows no dialog.
  device_ = RecordingDevice();
  call_.pages = {{6, 9}};
  call_.output_path = u"/tmp/quillet-never-written.ps";
  Write(report_, report);
  const ReportResult none = PrintReport(job_, call_, device_);
  call_.output_path = nullptr;
  EXPECT_EQ(none.outcome, ReportOutcome::kNoPageSelected);
  EXPECT_EQ(none.pages, 5);
  EXPECT_TRUE(device_.Only({"HoldOutput", "StartDoc", "CreateCancelDialog", "AbortDoc"}).empty());
  EXPECT_EQ(device_.Only({"OpenReport"}).size(), device_.Only({"CloseReport"}).size());
  EXPECT_EQ(device_.fonts_alive, 0);
}

}  // namespace
}  // namespace quillet
