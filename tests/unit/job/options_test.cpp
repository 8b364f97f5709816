#include "job/options.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <iterator>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/file.h"
#include "platform/text.h"
#include "trace/trace.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;

class OptionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    unsetenv("QUILLET_DEBUG");
    ResetTraceForTesting();
    SortOptionTable();
    char tmpl[] = "/tmp/quillet-opts-XXXXXX";
    dir_ = mkdtemp(tmpl);
    old_cwd_ = fs::current_path();
    fs::current_path(dir_);  // a bare "-log" or "-config" names a file in the working directory
  }
  void TearDown() override {
    ResetTraceForTesting();
    fs::current_path(old_cwd_);
    fs::remove_all(dir_);
  }
  void Apply(const std::string& text) {
    std::vector<char> buf(text.begin(), text.end());
    buf.push_back('\0');
    Parse_Arg(job_, call_, buf.data());
  }
  std::string Write(const std::string& name, const std::string& contents) {
    const std::string path = dir_ + "/" + name;
    std::ofstream(path, std::ios::binary) << contents;
    return path;
  }
  static std::string Read(const std::string& path) {
    std::stringstream s;
    s << std::ifstream(path, std::ios::binary).rdbuf();
    return s.str();
  }
  std::string StartTrace() {
    OpenTraceFile((dir_ + "/trace.log").c_str());
    return dir_ + "/trace.log";
  }
  std::string dir_;
  fs::path old_cwd_;
  PrintJob job_;
  CallRecord call_;
};

size_t Count(const std::string& text, const std::string& line) {
  size_t n = 0;
  for (size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + 1)) ++n;
  return n;
}

std::string Repeat(const std::string& s, int n) { return n > 0 ? s + Repeat(s, n - 1) : ""; }

long OpenDescriptors() { return std::distance(fs::directory_iterator("/proc/self/fd"), {}); }

TEST_F(OptionsTest, TableSortsIntoNameOrderAndStaysSorted) {
  const char* const names[kOptionCount] = {
      "ansi", "banner", "collate", "config", "copies", "date", "disposition", "font", "form_ctl", "form_id",
      "form_name", "format", "interactive", "length", "log", "mode", "notify", "oem", "orientation", "pitch",
      "printer_ctl", "printer_id", "printer_name", "priority", "raw", "ruler", "source", "user", "width"};
  for (int pass = 0; pass < 2; ++pass, SortOptionTable()) {
    for (int i = 0; i < kOptionCount; ++i) {
      EXPECT_STREQ(option_table[i].name, names[i]) << i;
      EXPECT_EQ(FindOption(names[i]), &option_table[i]) << names[i];
    }
  }
  // Names fill their 20 bytes without a terminator when taken from a long text.
  OptionEntry a{0, "", "one"}, b{0, "", "two"};
  std::memset(a.name, 'x', sizeof a.name);
  std::memset(b.name, 'x', sizeof b.name);
  EXPECT_EQ(CompareOptionNames(&a, &b), 0);
  EXPECT_EQ(source_table[12].id, 256);
  EXPECT_EQ(source_table[13].name, nullptr);
}

TEST_F(OptionsTest, FindOptionFollowsTheProbeOrder) {
  const struct { const char* text; const char* found; } cases[] = {
      {"copies=2", "copies"}, {"copies", "copies"}, {"copiesX", "copies"}, {"form_id=A4", "form_id"},
      {"cop", "copies"}, {"ra", "raw"}, {"rul", "ruler"}, {"int", "interactive"},
      {"cop=2", nullptr}, {"pit=10", nullptr}, {"or=Landscape", nullptr}, {"Copies=2", nullptr}, {"p=x", nullptr},
      {"c", "collate"}, {"co", "collate"}, {"d", "disposition"}, {"f", "form_name"}, {"fo", "form_name"},
      {"for", "form_name"}, {"form", "form_name"}, {"form_", "form_name"}, {"l", "log"}, {"o", "oem"},
      {"p", "printer_id"}, {"pr", "printer_id"}, {"pri", "printer_id"}, {"prin", "printer_id"},
      {"print", "printer_id"}, {"printe", "printer_id"}, {"printer", "printer_id"}, {"printer_", "printer_id"},
      {"r", "ruler"}, {"printer_id=Office Printer 2 on the third floor", "printer_id"}, {"", "log"}};
  for (const auto& c : cases) {
    const OptionEntry* row = FindOption(c.text);
    EXPECT_STREQ(row != nullptr ? row->name : nullptr, c.found) << c.text;
  }
}

#define FIELD(f) [](const PrintJob& j) -> long long { return j.f; }

TEST_F(OptionsTest, EachOptionAppliesItsEffect) {
  const struct { std::vector<std::string> args; long long (*field)(const PrintJob&); long long want; } cases[] = {
      {{"ruler"}, FIELD(ruler), 1}, {{"ruler=no"}, FIELD(ruler), 1}, {{"r"}, FIELD(ruler), 1},
      {{"raw=false"}, FIELD(raw), 1}, {{"oem"}, FIELD(oem), 1}, {{"ansi=0"}, FIELD(ansi), 1},
      {{"disposition=SCRATCH"}, FIELD(scratch), 1}, {{"disposition=SCRATCH", "disposition=save"}, FIELD(scratch), 0},
      {{"orientation=landscape"}, FIELD(orientation), 2}, {{"orientation=Landscap"}, FIELD(orientation), 1},
      {{"orientation=Landscape", "orientation=x"}, FIELD(orientation), 1},
      {{"collate"}, FIELD(collate), '1'}, {{"co"}, FIELD(collate), '1'}, {{"collate=TRUE"}, FIELD(collate), '1'},
      {{"collate=yes"}, FIELD(collate), '0'}, {{"collate=invalid argument"}, FIELD(collate), '0'},
      {{"copies=2"}, FIELD(collate), 0},
      {{"copies= 3"}, FIELD(copies), 3}, {{"copies=\"3\""}, FIELD(copies), 3}, {{"copies"}, FIELD(copies), 0},
      {{"copies=abc"}, FIELD(copies), 0}, {{"copies=-2"}, FIELD(copies), -2}, {{"cop=2"}, FIELD(copies), 1},
      {{"copies=99999999999"}, FIELD(copies), INT_MAX}, {{"copies=-99999999999"}, FIELD(copies), INT_MIN},
      {{"pitch=10"}, FIELD(pitch), 10}, {{"pitch=65546"}, FIELD(pitch), 10}, {{"pitch=40000"}, FIELD(pitch), -25536},
      {{"pitch=99999999999"}, FIELD(pitch), -1},
      {{"pitch=Fit"}, FIELD(pitch_fit), 1}, {{"pitch=10", "pitch=fit"}, FIELD(pitch), 0},
      {{"pitch=fit", "pitch=9"}, FIELD(pitch_fit), 0}, {{"pitch=fits"}, FIELD(pitch_fit), 0},
      {{"interactive"}, FIELD(quiet), 0}, {{"interactive=yes"}, FIELD(quiet), 0},
      {{"interactive=NONE"}, FIELD(quiet), 1},
      {{"source=Upper", "source=3"}, FIELD(source), 1}, {{"source=3", "source=Lower"}, FIELD(source), 2},
      {{"source=Manual"}, FIELD(source), 4}, {{"source=4"}, FIELD(source), 4},
      {{"source=manual envelope"}, FIELD(source), 6},
      {{"source=\"User Defined\""}, FIELD(source), 256}, {{"source=15"}, FIELD(source), 15},
      {{"source=259"}, FIELD(source), 259}, {{"source=Bin"}, FIELD(source), 0},
      {{"width=8.5i"}, FIELD(paper_width), 2159}, {{"width=11"}, FIELD(paper_width), 2794},
      {{"width=23m"}, FIELD(paper_width), 230}, {{"width=8.27i"}, FIELD(paper_width), 2100},
      {{"width=210.55mm"}, FIELD(paper_width), 2105}, {{"width=21 cm"}, FIELD(paper_width), 210},
      {{"width=A4"}, FIELD(paper_width), 0}, {{"width=-1i"}, FIELD(paper_width), -254},
      {{"width=1e300"}, FIELD(paper_width), INT_MAX}, {{"width=-1e300"}, FIELD(paper_width), INT_MIN},
      {{"width=nan"}, FIELD(paper_width), 0}, {{"length=297mm"}, FIELD(paper_length), 2970},
      {{"width=0x10"}, FIELD(paper_width), 0}, {{"width=infinity"}, FIELD(paper_width), 0},
      {{"width= .5e1x"}, FIELD(paper_width), 1270}, {{"width=2e+i"}, FIELD(paper_width), 508},
      {{"mode=HOLD", "banner", "user=x", "date=1", "notify", "priority=1", "format=x", "form_name=x",
        "printer_name=x"}, FIELD(copies), 1},
      {{"printer_ctl=-printer_id=\"Office Printer 2\" -copies=2"}, FIELD(copies), 2},
      {{"form_ctl=-form_id=Letter /width=8.5i"}, FIELD(paper_width), 2159},
      {{"printer_ctl=-form_ctl=-pitch=9"}, FIELD(pitch), 9},
      {{"printer_ctl=-font=\"a -copies=5\" -pitch=7"}, FIELD(copies), 1},
      {{"printer_ctl=-font=\"a -copies=5\" -pitch=7"}, FIELD(pitch), 7},
      {{"printer_ctl=-font=a\"b -copies=5 -pitch=7"}, FIELD(pitch), 0},
      {{"printer_ctl=  - /  -copies=4  "}, FIELD(copies), 4}, {{"printer_ctl"}, FIELD(copies), 1},
      {{"printer_ctl=" + Repeat("-printer_ctl=", 15) + "-copies=7"}, FIELD(copies), 7},
      {{"printer_ctl=" + Repeat("-printer_ctl=", 16) + "-copies=7"}, FIELD(copies), 1},
  };
  for (const auto& c : cases) {
    job_ = PrintJob{};
    for (const auto& a : c.args) Apply(a);
    EXPECT_EQ(c.field(job_), c.want) << c.args.front();
  }
  EXPECT_FALSE(fs::exists(dir_ + "/INVALID ARGUMENT"));
}

#define TEXT(f) [](const PrintJob& j) -> std::string { return j.f; }

TEST_F(OptionsTest, TextValuesAreUnquotedAndCutToTheirFields) {
  const struct { std::string arg; std::string (*field)(const PrintJob&); std::string want; } cases[] = {
      {"printer_id=\"Office Printer 2\"", TEXT(printer_id), "Office Printer 2"},
      {"printer_id=\"Office Printer 2", TEXT(printer_id), "Office Printer "},
      {"printer_id=\"", TEXT(printer_id), ""},
      {"font=\"x", TEXT(font), ""},
      {"printer_id", TEXT(printer_id), "INVALID ARGUMENT"},
      {"printer_id=Office Printer 2", TEXT(printer_id), "Office Printer 2"},
      {"printer_id=" + std::string(150, 'p'), TEXT(printer_id), std::string(99, 'p')},
      {"form_id=" + std::string(40, 'f'), TEXT(form_id), std::string(31, 'f')},
      {"font=" + std::string(40, 'n'), TEXT(font), std::string(31, 'n')},
      {"p=x", TEXT(printer_id), ""},
      {"printer_ctl=-printer_id=\"Office Printer 2\" -copies=2", TEXT(printer_id),
       "Office Printer 2"},
      {"form_ctl=-form_id=Letter /width=8.5i", TEXT(form_id), "Letter"},
      {"printer_ctl=-font=a\"b -copies=5 -pitch=7", TEXT(font), "a\"b -copies=5 -pitch=7"},
  };
  for (const auto& c : cases) {
    job_ = PrintJob{};
    Apply(c.arg);
    EXPECT_EQ(c.field(job_), c.want) << c.arg;
  }
}

TEST_F(OptionsTest, ConfigFileLinesSkipTheirLeadCharacter) {
  const std::string inner = Write("inner.cfg", "-copies=3\n");
  const std::string outer = Write("outer.cfg",
      "-copies=2\r\n/orientation=Landscape\n#pitch=10\nfont=Courier\n  -ruler\n; note\n\n-\n"
      "-config=" + inner + "\n-source=Lower\n-font=" + std::string(121, 'x') + "-form_id=Long\n");
  Apply("config=" + outer);
  EXPECT_EQ(job_.copies, 3);
  EXPECT_EQ(job_.orientation, 2);
  EXPECT_EQ(job_.pitch, 10);
  EXPECT_EQ(job_.ruler, 0);
  EXPECT_EQ(job_.source, 2);
  EXPECT_EQ(job_.font, std::string(31, 'x'));  // a 127-byte piece, then the rest of the line
  EXPECT_STREQ(job_.form_id, "Long");
  EXPECT_EQ(job_.config_path, inner);          // the last config option processed
  Apply("config=" + dir_ + "/missing.cfg");
  EXPECT_EQ(job_.config_path, dir_ + "/missing.cfg");
  Apply("config");
  EXPECT_EQ(job_.config_path, "INVALID ARGUMENT");

  // The UTF-16 name of an option the code page cannot spell goes with its
  // value, through list options too; a name inside a file has none.
  std::string text = "printer_ctl=-copies=4 -config=\"" + dir_ + "/?.cfg\"";
  const std::u16string wide = u"printer_ctl=-copies=4 -config=\"" +
                              std::u16string(dir_.begin(), dir_.end()) + u"/\u03A9.cfg\"";
  Parse_Arg(job_, call_, text.data(), &wide);
  EXPECT_EQ(job_.copies, 4);
  EXPECT_EQ(job_.config_path, dir_ + "/?.cfg");
  EXPECT_EQ(job_.config_path_wide, std::u16string(dir_.begin(), dir_.end()) + u"/\u03A9.cfg");
  Apply("config=" + outer);
  EXPECT_TRUE(job_.config_path_wide.empty());
}

TEST_F(OptionsTest, ConfigFileAlreadyBeingReadIsSkippedUnderAnyName) {
  const std::string trace = StartTrace();
  const std::string self = dir_ + "/self.cfg";
  Write("self.cfg", "-config=" + self + "\n-config=" + dir_ + "/./self.cfg\n-config=" + self + "\n-pitch=11\n");
  const int fds = OpenDescriptors();
  Apply("config=" + self);
  EXPECT_EQ(job_.pitch, 11);
  EXPECT_EQ(job_.config_path, self);  // still the last config option processed
  EXPECT_EQ(OpenDescriptors(), fds);
  const std::string log = Read(trace);
  EXPECT_EQ(Count(log, "Parse_Arg(pitch=11)\n"), 1u);
  EXPECT_EQ(Count(log, "Parse_Arg() config loop, skipping "), 3u);
}

// A configuration line of 5,000 bytes in 127-byte pieces, "\U0001F600" at its
// bytes 4,095 to 4,098 (units 4,095 and 4,096 of UTF-16): in piece 32, a printer_id.
std::u16string LongLine() {
  const std::u16string filler = u"-ruler" + std::u16string(121, u' ');
  std::u16string line;
  for (int k = 0; k < 32; ++k) line += filler;
  line += u"-printer_id=" + std::u16string(19, u'p') + u"\U0001F600" + std::u16string(92, u'q');
  line += u"-collate" + std::u16string(119, u' ');
  for (int k = 0; k < 5; ++k) line += filler;
  line += u"-ruler" + std::u16string(40, u' ');
  return line + u"\n";
}

TEST_F(OptionsTest, ConfigFilesWithAByteOrderMarkAreReadAsTheirText) {
  // Natively the code page's stand-in is UTF-8: a name beyond ASCII is spelt whole.
  Write("\xCE\xA9.cfg", "-copies=7\n");
  const std::u16string dir(dir_.begin(), dir_.end());
  const std::u16string text = u"-source=Lower\r\n/pitch=9\n#orientation=Landscape\r\n-font=\u00c9cole \U0001F600\n"
                              u"-config=" + dir + u"/\u03a9.cfg\r\n-printer_id=" + std::u16string(115, u'p') +
                              u"-form_id=A3\n" + LongLine();
  std::string le = "\xFF\xFE", be = "\xFE\xFF";
  for (char16_t unit : text) {
    le += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
    be += {static_cast<char>(unit >> 8), static_cast<char>(unit & 0xFF)};
  }
  const std::string ansi = Utf8FromUtf16(text);
  for (const std::string& bytes : {ansi, "\xEF\xBB\xBF" + ansi, le, be}) {
    job_ = PrintJob{};
    Apply("config=" + Write("unicode.cfg", bytes));
    SCOPED_TRACE(bytes.substr(0, 2));
    EXPECT_EQ(job_.pitch, 9);
    EXPECT_EQ(job_.orientation, 2);
    EXPECT_STREQ(job_.font, "\xC3\x89" "cole \xF0\x9F\x98\x80");
    EXPECT_EQ(job_.copies, 7);
    EXPECT_EQ(job_.source, 2);
    EXPECT_STREQ(job_.form_id, "A3");  // a 127-byte piece, then the rest of the line
    // The character across the line's 4,096th byte (unit) stays whole, and the
    // pieces after it fall where they would in a shorter line.
    EXPECT_EQ(job_.printer_id, std::string(19, 'p') + "\xF0\x9F\x98\x80" + std::string(76, 'q'));
    EXPECT_EQ(job_.collate, '1');
  }
}

TEST_F(OptionsTest, TheTraceLogIsNoConfigFileAndALogNeverEmptiesAFileTheCallReads) {
  const std::string trace = StartTrace();
  static std::vector<std::string> refused;
  refused.clear();
  call_.on_refused = [](const char* text) { refused.push_back(text); };
  const std::string outer = Write("outer.cfg", "-config=" + trace + "\n-pitch=11\n");
  Apply("config=" + trace);  // read, it would feed itself its own lines without end
  Apply("config=" + outer);
  EXPECT_EQ(job_.pitch, 11);
  const std::string not_read = trace + " is the trace log: not read as a configuration file";
  EXPECT_EQ(Count(Read(trace), "\n" + not_read + "\n"), 2u);

  // A log may not empty a configuration file read, nor a file the call reads later.
  const std::string later = Write("later.txt", "REPORT\n");
  call_.reads_file = [&later](const FileIdentity& identity) {
    FileIdentity named;
    return IdentifyPath(later.c_str(), nullptr, named) && named == identity;
  };
  Apply("log=" + outer);
  Apply("log=" + later);
  Apply("ruler");
  EXPECT_EQ(Read(outer), "-config=" + trace + "\n-pitch=11\n");
  EXPECT_EQ(Read(later), "REPORT\n");
  EXPECT_EQ(refused, (std::vector<std::string>{
                         not_read, not_read,
                         outer + " is a report or configuration file of this call: not opened as the trace log",
                         later + " is a report or configuration file of this call: not opened as the trace log"}));
  EXPECT_NE(Read(trace).find("Parse_Arg(ruler)\n"), std::string::npos);  // the trace goes on where it was
}

TEST_F(OptionsTest, OneOptionReadsAtMostSixtyFourConfigFiles) {
  // Six files, each naming the next three times: 364 reads without a bound.
  for (int k = 0; k < 6; ++k) {
    const std::string next = "-config=" + dir_ + "/fan" + std::to_string(k + 1) + ".cfg\n";
    Write("fan" + std::to_string(k) + ".cfg", "-ruler\n" + (k < 5 ? next + next + next : ""));
  }
  const std::string trace = StartTrace();
  Apply("config=" + dir_ + "/fan0.cfg");
  Apply("config=" + dir_ + "/fan5.cfg");  // the count starts again for the next option
  const std::string log = Read(trace);
  EXPECT_EQ(Count(log, "Parse_Arg(ruler)\n"), 64u + 1u);
  EXPECT_GT(Count(log, "Parse_Arg() too many config files, skipping "), 0u);
}

TEST_F(OptionsTest, TraceLinesAndEmptyTexts) {
  const std::string trace = StartTrace();
  const std::string cfg = Write("empty.cfg", "\n-\n");
  for (const char* text : {"copies= \"3\"", "Copies=2", "copies", "font=100%s", "", "printer_ctl=- -x"})
    Apply(text);
  Apply("config=" + cfg);
  EXPECT_EQ(Read(trace),
            "Parse_Arg(copies= \"3\")\nParse_Arg() val=[3]\n"
            "Parse_Arg(Copies=2)\n"
            "Parse_Arg(copies)\n"
            "Parse_Arg(font=100%s)\nParse_Arg() val=[100%s]\n"
            "Parse_Arg()\n"
            "Parse_Arg(printer_ctl=- -x)\nParse_Arg() val=[- -x]\nParse_Arg()\nParse_Arg(x)\n"
            "Parse_Arg(config=" + cfg + ")\nParse_Arg() val=[" + cfg + "]\nParse_Arg()\nParse_Arg()\n");
  EXPECT_FALSE(fs::exists(dir_ + "/INVALID ARGUMENT"));
  EXPECT_EQ(job_.copies, 0);

  Apply("log=" + dir_ + "/second.log");
  Apply("ruler");
  EXPECT_EQ(Read(dir_ + "/second.log"), "Parse_Arg(ruler)\n");
  Apply("log");  // a bare -log names the trace file "INVALID ARGUMENT"
  Apply("raw");
  EXPECT_EQ(Read(dir_ + "/INVALID ARGUMENT"), "Parse_Arg(raw)\n");
}

}  // namespace
}  // namespace quillet
