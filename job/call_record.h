// What one print call keeps while it runs, beside the options of its job: the
// report at hand and where it goes, the files the call reads, and who listens.
// The print entry and quillet-print own it and hand it to the option parser and
// the print driver.
#ifndef QUILLET_JOB_CALL_RECORD_H
#define QUILLET_JOB_CALL_RECORD_H

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "platform/file.h"

namespace quillet {

struct OptionSeen;  // options.h

// Pages first to last of a report, both included.
struct PageRange {
  int first = 1;
  int last = 1;
};

struct CallRecord {
  // The report being printed: its path in the ANSI code page, and in UTF-16
  // when the code page cannot spell it (report_path then holds '?' in its
  // place; the file is opened and removed by the UTF-16 name). Null between
  // reports.
  const char* report_path = nullptr;
  const char16_t* report_path_wide = nullptr;
  // The document's name in the spooler and on the page line when the report has
  // no name of its own (quillet-print's standard input, saved to a temporary
  // file); null: report_path.
  const char* document_name = nullptr;
  // The file the document is written to instead of the printer, in UTF-16; null:
  // the printer. Only quillet-print's --output sets it.
  const char16_t* output_path = nullptr;
  // The pages of the report to print, counted as the report is paged (from 1);
  // empty: every page. Only quillet-print's --pages sets it.
  std::vector<PageRange> pages;

  // Told at the start of every page (1, 2, ...) of the report being printed;
  // null: nobody listens.
  void (*on_page)(int page_no) = nullptr;
  // Told of every option text the parser takes, before it is applied, for a
  // front end that warns about what the library ignores; null: nobody listens.
  void (*on_option)(const OptionSeen& seen) = nullptr;
  // Told, with the text of its trace line, of a file the call names that is
  // left alone so that nothing is lost: a configuration file that is the trace
  // log, a log file that the call reads. Null: nobody listens.
  void (*on_refused)(const char* text) = nullptr;

  // Whether the call reads the file of `identity`, as a report or a
  // configuration file, after the argument being applied; set by the print
  // entry. A -log option never empties such a file. Empty: the files opened so
  // far (files_read) are all that is known.
  std::function<bool(const FileIdentity& identity)> reads_file;
  // The reports and configuration files this call has opened.
  std::vector<FileIdentity> files_read;

  // Whether the call has opened, or is to open, the file of `identity`.
  bool Reads(const FileIdentity& identity) const {
    return std::find(files_read.begin(), files_read.end(), identity) != files_read.end() ||
           (reads_file && reads_file(identity));
  }

  // A configuration file that was the job's config_path when a report ended:
  // scratch disposition deletes it at the end of the call, and only when every
  // such report printed.
  struct UsedConfig {
    std::string path;
    std::u16string wide;   // as PrintJob::config_path_wide
    bool scratch = false;  // a report printed with scratch disposition while it applied
    bool keep = false;     // a report it applied to was not printed
  };
  std::vector<UsedConfig> configs_used;
};

}  // namespace quillet

#endif
