// Throughput of the report reader against a plain buffered read of the same file.
// Built natively and, as a 32-bit Windows program run under Wine, for the shipped
// build of the reader (its file calls, compiler and flags).
//
// Writes a 100 MB report to the temporary folder (pages of 60 lines of varying length with some
// backspace overstrikes, CR LF line ends, a form feed after each page), then
// times, best of three runs each:
//   (a) fread in 64 KiB blocks, summing the bytes;
//   (b) GetLine + DecodeLine and SplitRuns (or DecodeUnicodeLine and LayOutLine) over
//       the whole report.
// It does so for a report with emphasis here and there, again for one dense with
// overstrikes, and then for a UTF-8 report (names and words in Latin, Greek and
// Cyrillic letters) against the same report with every character beyond ASCII
// replaced by an ASCII letter. Usage: reader_bench [megabytes [report path]]
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "job/print_job.h"
#include "platform/file.h"
#include "text/characters.h"
#include "text/line_layout.h"
#include "report/report_reader.h"

namespace {

using Clock = std::chrono::steady_clock;

// Small deterministic generator, so every run measures the same report.
std::uint32_t g_seed = 2463534242u;
std::uint32_t Next() {
  g_seed ^= g_seed << 13;
  g_seed ^= g_seed >> 17;
  g_seed ^= g_seed << 5;
  return g_seed;
}

// Appends a word, struck over for emphasis when asked: underlined (c BS _) or
// bold (c BS c), as a line-printer program writes them. A character beyond ASCII
// is struck over whole (its UTF-8 bytes).
void AddWord(std::string& text, const char* word, int emphasis) {
  for (const char* c = word; *c;) {
    int size = 1;
    while ((c[size] & 0xC0) == 0x80) ++size;
    const std::string character(c, size);
    text += character;
    if (emphasis == 1) text += "\b_";
    if (emphasis == 2) text += "\b" + character;
    c += size;
  }
}

const char* const kAsciiWords[] = {"ACCOUNT", "balance", "total", "0001234.56", "Invoice", "-",
                                   "customer", "PAGE", "due", "2024-03-31", "net"};
// Names, places and amounts as a European report has them: four words in eleven
// hold letters beyond ASCII.
const char* const kUnicodeWords[] = {"ACCOUNT", "Zoë",    "total",  "1 234,56 €", "Invoice", "Ærøskøbing",
                                     "customer", "Σοφία", "due",    "2024-03-31", "Москва"};

// A paged report: a bold title and underlined column headings on every page of
// 60 lines, body lines of 0 to 131 columns, a bold total at the foot, CR LF line
// ends and a form feed after each page. One body word in `emphasis_rate` is
// underlined or bold.
template <std::size_t kWordCount>
std::string MakeReport(std::size_t target, unsigned emphasis_rate, const char* const (&words)[kWordCount]) {
  std::string report;
  report.reserve(target + 1024);
  int page = 0;
  while (report.size() < target) {
    std::string line;
    AddWord(line, "QUARTERLY LEDGER SUMMARY", 2);
    line += "                                        page " + std::to_string(++page);
    report += line + "\r\n\r\n";
    line.clear();
    AddWord(line, "ACCOUNT     CUSTOMER              DUE DATE      AMOUNT         BALANCE", 1);
    report += line + "\r\n";
    for (int row = 3; row < 59; ++row) {
      int width = Next() % 132;  // blank lines included
      line.clear();
      while (static_cast<int>(line.size()) < width) {
        unsigned pick = Next();
        AddWord(line, words[pick % kWordCount], pick / kWordCount % emphasis_rate == 0 ? 1 + pick % 2 : 0);
        line += ' ';
      }
      report += line + "\r\n";
    }
    line = "                                                  TOTAL ";
    AddWord(line, "0004567.89", 2);
    report += line + "\r\n\f";
  }
  return report;
}

// The same report in ASCII: every character beyond ASCII becomes one letter, so
// the lines, columns and overstrikes stay as they were.
std::string InAscii(const std::string& report) {
  std::string out;
  out.reserve(report.size());
  for (char c : report) {
    if ((c & 0xC0) == 0xC0) out += 'e';       // the first byte of a character
    if ((c & 0x80) == 0) out += c;            // ASCII; continuation bytes go
  }
  return out;
}

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

// (a) The floor: the bytes of the file through stdio, 64 KiB at a time.
double PlainRead(const char* path, std::uint64_t& checksum) {
  Clock::time_point start = Clock::now();
  std::FILE* f = std::fopen(path, "rb");
  if (f == nullptr) std::exit(1);
  static unsigned char block[64 * 1024];
  std::uint64_t sum = 0;
  std::size_t got;
  while ((got = std::fread(block, 1, sizeof block, f)) > 0) {
    for (std::size_t i = 0; i < got; ++i) sum += block[i];
  }
  std::fclose(f);
  double seconds = Seconds(start);
  checksum = sum;
  return seconds;
}

// (b) What the print driver does per line, minus the printing.
double ReaderPass(const char* path, std::uint64_t& checksum, std::uint64_t& lines) {
  Clock::time_point start = Clock::now();
  quillet::ReportInput input;
  input.Open(quillet::ReportOpen(path), quillet::PrintJob{});
  if (input.file == quillet::kReportOpenError) std::exit(1);
  quillet::ReportLine line;
  quillet::DecodedLine decoded;
  quillet::UnicodeLine unicode;
  static quillet::GridLine grid;
  quillet::TextRun runs[quillet::kLineCapacity];
  std::uint64_t sum = 0;
  std::uint64_t count_lines = 0;
  for (;;) {
    std::int32_t status;
    int count = quillet::GetLine(input, line, &status);
    if (status == quillet::CTL_EOF) break;
    ++count_lines;
    if (count == 0) continue;
    if (line.unicode) {
      quillet::DecodeUnicodeLine(line.text, count, line.positions, unicode);
      quillet::LayOutLine(quillet::TextLine{unicode.text, unicode.bytes, unicode.attrs, unicode.plain}, grid);
      for (int i = 0; i < grid.run_count; ++i)
        sum += grid.runs[i].units * (grid.runs[i].attribute + 1) + grid.runs[i].column * 50;
    } else {
      quillet::DecodeLine(line.text, count, decoded);
      const int n = quillet::SplitRuns(decoded, 50, runs);
      for (int i = 0; i < n; ++i) sum += runs[i].length * (runs[i].attribute + 1) + runs[i].x;
    }
  }
  quillet::ReportClose(input.file);
  double seconds = Seconds(start);
  checksum = sum;
  lines = count_lines;
  return seconds;
}

struct Result {
  double mb, plain_rate, reader_rate, reader_seconds;
  std::uint64_t lines, backspaces, plain_sum, reader_sum;
};

// The report's path: the one given, else a file in $TMPDIR, %TEMP% or /tmp.
std::string ReportPath(int argc, char** argv) {
  if (argc > 2) return argv[2];
  for (const char* name : {"TMPDIR", "TEMP"}) {
    if (const char* dir = std::getenv(name)) {
      if (*dir != '\0') return std::string(dir) + "/quillet-reader-bench.txt";
    }
  }
  return "/tmp/quillet-reader-bench.txt";
}

// Writes each report to its path and times the passes over them in turn, best of
// `runs` each, so that both meet the same load on a shared machine.
std::vector<Result> Measure(const std::vector<std::string>& paths, const std::vector<std::string>& reports,
                            int runs) {
  std::vector<Result> results(reports.size());
  for (std::size_t k = 0; k < reports.size(); ++k) {
    const std::string& report = reports[k];
    Result& r = results[k];
    r = Result{report.size() / 1e6, 0, 0, 1e9, 0, 0, 0, 0};
    for (char c : report) r.backspaces += c == '\b';
    std::FILE* out = std::fopen(paths[k].c_str(), "wb");
    if (out == nullptr || std::fwrite(report.data(), 1, report.size(), out) != report.size()) std::exit(1);
    std::fclose(out);
  }
  std::vector<double> best_plain(reports.size(), 1e9);
  for (int run = 0; run < runs; ++run) {
    for (std::size_t k = 0; k < reports.size(); ++k) {
      Result& r = results[k];
      best_plain[k] = std::min(best_plain[k], PlainRead(paths[k].c_str(), r.plain_sum));
      r.reader_seconds = std::min(r.reader_seconds, ReaderPass(paths[k].c_str(), r.reader_sum, r.lines));
    }
  }
  for (std::size_t k = 0; k < reports.size(); ++k) {
    results[k].plain_rate = results[k].mb / best_plain[k];
    results[k].reader_rate = results[k].mb / results[k].reader_seconds;
    std::remove(paths[k].c_str());
  }
  return results;
}

void Print(const char* name, const Result& r) {
  std::printf("%s: %.1f MB, %llu lines, %.1f%% backspaces, file in page cache\n", name, r.mb,
              static_cast<unsigned long long>(r.lines), 100.0 * r.backspaces / (r.mb * 1e6));
  // The sums are printed so that neither pass can be optimised away.
  std::printf("  (a) fread 64 KiB blocks, sum bytes: %8.1f MB/s  (sum %llu)\n", r.plain_rate,
              static_cast<unsigned long long>(r.plain_sum));
  std::printf("  (b) GetLine+DecodeLine+SplitRuns:   %8.1f MB/s  (sum %llu)\n", r.reader_rate,
              static_cast<unsigned long long>(r.reader_sum));
  std::printf("  ratio (b)/(a): %.2f\n", r.reader_rate / r.plain_rate);
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 100;
  const std::size_t size = megabytes * 1000 * 1000;
  const std::string path = ReportPath(argc, argv);
  Print("report (1 body word in 40 emphasised)", Measure({path}, {MakeReport(size, 40, kAsciiWords)}, 3)[0]);
  Print("dense overstrikes (1 body word in 4)", Measure({path}, {MakeReport(size, 4, kAsciiWords)}, 3)[0]);

  // The same text twice: in UTF-8, and with an ASCII letter for each character
  // beyond it; their passes taken in turn. Compared by the time each takes, and
  // by bytes per second.
  const std::string unicode = MakeReport(size, 40, kUnicodeWords);
  const std::vector<Result> pair = Measure({path + ".utf8", path + ".ascii"}, {unicode, InAscii(unicode)}, 5);
  Print("UTF-8 report (4 body words in 11 beyond ASCII, 1 in 40 emphasised)", pair[0]);
  Print("the same report in ASCII", pair[1]);
  std::printf("UTF-8 against ASCII: %.2f of its speed in time for the same text, %.2f in MB/s\n",
              pair[1].reader_seconds / pair[0].reader_seconds, pair[0].reader_rate / pair[1].reader_rate);
  return 0;
}
