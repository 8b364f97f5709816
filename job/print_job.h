// The record of one print call: which printer, form, paper, font and options the
// reports of that call are printed with. Filled by Parse_Arg, read by printer
// selection, the report reader and the print driver.
#ifndef QUILLET_JOB_PRINT_JOB_H
#define QUILLET_JOB_PRINT_JOB_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/file.h"

namespace quillet {

struct OptionSeen;  // options.h

// Read-ahead of the open report file. The reader hands out one byte at a time but
// fetches the file in large blocks, so a report costs one read call per block.
// Whoever stores a new handle in PrintJob::file calls Reset(); GetLine also drops
// the read-ahead by itself when PrintJob::file no longer names `handle`.
struct ReportInput {
  static constexpr std::size_t kBlockSize = 64 * 1024;  // bytes asked of the file per read
  // Room in front of the data of `block`: a line that reads past its last
  // position before it knows that it is not UTF-8 gives those bytes back there.
  static constexpr std::size_t kGiveBack = 2048;
  // How the report's bytes are read, settled at its first line (report_reader.h).
  enum class Text : std::uint8_t { kUnknown, kBytes, kUtf16LE, kUtf16BE };

  std::unique_ptr<unsigned char[]> block;  // kGiveBack + kBlockSize, allocated at the first read
  std::size_t pos = 0;                     // next unread byte in block
  std::size_t end = 0;                     // bytes of block that hold data; when all are
                                           // used, the file is asked again
  std::int32_t handle = 0;                 // the file the bytes in block came from
  Text text = Text::kUnknown;
  // A UTF-16 report's bytes as read, before they become UTF-8 in `block`.
  std::unique_ptr<unsigned char[]> wide;   // kBlockSize, allocated at the mark
  std::size_t wide_pos = 0;
  std::size_t wide_end = 0;

  void Reset() {
    pos = end = 0;
    text = Text::kUnknown;
    wide_pos = wide_end = 0;
  }
};

// Pages first to last of a report, both included.
struct PageRange {
  int first = 1;
  int last = 1;
};

// Field order and sizes follow the job record the rest of the system knows.
struct PrintJob {
  const char* report_path = nullptr;  // report being printed; also the document name
  std::string config_path;            // last `config` file named (owned copy); empty: none
  std::int32_t file = 0;              // open report file handle
  std::uint8_t scratch = 0;           // delete report (and config file) after printing
  std::uint8_t ruler = 0;             // print a ruler on each page
  char printer_id[100] = {};          // printer name; empty: the current printer
  char form_id[32] = {};              // form name; empty: none
  std::int32_t copies = 1;
  std::int32_t paper_width = 0;       // tenths of a millimetre; 0: not given
  std::int32_t paper_length = 0;      // tenths of a millimetre; 0: not given
  std::int16_t orientation = 1;       // 1 portrait, 2 landscape
  std::int16_t pitch = 0;             // font size in points; 0: the printer's own
  char font[32] = {};                 // face name; empty: the printer's current face
  char collate = 0;                   // '1', '0', or 0 when no collate option was given
  std::int16_t source = 0;            // paper bin; 0: not given
  std::uint8_t oem = 0;               // translate printed text to the OEM set
  std::uint8_t ansi = 0;              // translate printed text to the ANSI set
  void* dc = nullptr;                 // printer device context (HDC)
  std::uint8_t raw = 0;               // pass text through to the printer untranslated
  std::uint8_t quiet = 0;             // show no windows while printing

  ReportInput input;                  // read-ahead of `file`
  // The report's path in UTF-16 when the ANSI code page cannot spell it
  // (report_path then holds '?' in its place): the file is opened and removed by
  // this name. Null otherwise.
  const char16_t* report_path_wide = nullptr;
  // config_path in UTF-16 when the option that named it came from Java, the
  // command line or a Unicode configuration file and the ANSI code page cannot
  // spell it; empty otherwise.
  std::u16string config_path_wide;
  // Configuration files read for the option text being applied now (nested
  // ones included); see Parse_Arg.
  int config_files_read = 0;
  // Told at the start of every page (1, 2, ...) of the report being printed;
  // null: nobody listens.
  void (*on_page)(const PrintJob& job, int page_no) = nullptr;
  // The document's name in the spooler and on the page line when the report has
  // no name of its own (quillet-print's standard input, saved to a temporary
  // file); null: report_path.
  const char* document_name = nullptr;
  // The file the document is written to instead of the printer, in UTF-16; null:
  // the printer. Only quillet-print's --output sets it.
  const char16_t* output_path = nullptr;
  // -pitch=fit: the font size is chosen when the report prints, the largest at
  // which it fits the page (pitch is then 0).
  std::uint8_t pitch_fit = 0;
  // The pages of the report to print, counted as the report is paged (from 1);
  // empty: every page. Only quillet-print's --pages sets it.
  std::vector<PageRange> pages;

  // Told of every option text the parser takes, before it is applied, for a
  // front end that warns about what the library ignores; null: nobody listens.
  void (*on_option)(const PrintJob& job, const OptionSeen& seen) = nullptr;
  // Told, with the text of its trace line, of a file the call names that is
  // left alone so that nothing is lost: a configuration file that is the trace
  // log, a log file that the call reads. Null: nobody listens.
  void (*on_refused)(const PrintJob& job, const char* text) = nullptr;
  // Whether the call reads the file of `identity`, as a report or a
  // configuration file, before or after the argument being applied; set by the
  // print entry. A -log option never empties such a file. Empty: the files
  // opened so far (files_read) are all that is known.
  std::function<bool(const FileIdentity& identity)> reads_file;
  // The reports and configuration files this call has opened.
  std::vector<FileIdentity> files_read;

  // A configuration file that was the job's config_path when a report ended:
  // scratch disposition deletes it at the end of the call, and only when every
  // such report printed.
  struct UsedConfig {
    std::string path;
    std::u16string wide;   // as config_path_wide
    bool scratch = false;  // a report printed with scratch disposition while it applied
    bool keep = false;     // a report it applied to was not printed
  };
  std::vector<UsedConfig> configs_used;
};

// Copies `value` into a fixed text field, cut to fit with its terminator.
template <std::size_t N>
void CopyField(char (&field)[N], const char* value) {
  std::size_t i = 0;
  for (; i + 1 < N && value[i] != '\0'; ++i) field[i] = value[i];
  field[i] = '\0';
}

}  // namespace quillet

#endif
