// The print entry's walk over its argument list, and the pieces of it that need
// no platform: how an argument is told apart and what report path it names.
#ifndef QUILLET_PRINT_PRINT_ENTRY_H
#define QUILLET_PRINT_PRINT_ENTRY_H

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "job/call_record.h"
#include "job/print_job.h"
#include "print/print_driver.h"

namespace quillet {

// An argument that begins with '-' or '/' is an option; anything else names a report.
bool IsOptionArgument(const char* text);

// The report path an argument names. An argument that begins with a double quote
// loses that quote and its last character (normally the closing quote).
std::string ReportPathFromArgument(const char* text);
std::u16string ReportPathFromArgument(std::u16string_view text);

// An argument of a print call as a front end holds it: in the ANSI code page,
// with its UTF-16 form when the code page cannot spell it (empty otherwise).
struct CallArgument {
  std::string ansi;
  std::u16string wide;
};

// Whether one of `arguments` names the file of `identity` as a report or as a
// configuration file (in a config option, or in a list option's items).
bool ArgumentsName(const std::vector<CallArgument>& arguments, const FileIdentity& identity);

// One call of the print entry, whichever front end makes it. The constructor
// makes sure the current printer is known, sorts the option table, gives the job
// its defaults and traces the argument count; each argument then goes through
// Argument() in list order. Options stay in force for the rest of the call.
class PrintCall {
 public:
  explicit PrintCall(int argument_count);
  PrintCall(const PrintCall&) = delete;
  PrintCall& operator=(const PrintCall&) = delete;

  // Traces the argument, then applies the option, or prints the report it names
  // and disposes of it. `text` is in the ANSI code page; `wide` is the argument in
  // UTF-16 when the code page cannot spell it (null otherwise), so that such a
  // report or configuration file is still found by its name. An argument that
  // holds a NUL character (`text` then ends at it) names nothing: as an option
  // it is ignored whole, as a report it is a file that cannot be opened. What
  // became of a report; nothing for an option.
  std::optional<ReportResult> Argument(int index, const char* text, const std::u16string* wide,
                                       bool holds_nul = false);

  // Prints the file at `path` as the report of argument `index`, whose text
  // (`argument`) names no file: quillet-print's "-", standard input saved to a
  // file. `wide_path` as in PrintDevice::OpenReport; the spooler and the page line
  // call the report `document_name`. Traced and disposed of as Argument's reports.
  ReportResult File(int index, const char* argument, const char* path, const char16_t* wide_path,
                    const char* document_name);

  // A report argument that the front end did not print (its output file could
  // not be written): traced, and kept with its configuration file.
  void Unprinted(int index, const char* text, const char* why);

  // How the front end gives the arguments after argument `index`, for a -log
  // option that must not empty a file the call reads later. False when it
  // could not give them all.
  using LaterArguments = std::function<bool(int index, std::vector<CallArgument>& later)>;
  void SetLaterArguments(LaterArguments later) { later_ = std::move(later); }

  // Ends the call: the configuration files that scratch disposition deletes.
  void Finish();

  PrintJob& job() { return job_; }
  // The record of the call: a front end sets its listeners, and the output file
  // and page selection of the report it prints next.
  CallRecord& record() { return record_; }

 private:
  ReportResult Print(const char* path, const char16_t* wide_path);
  // Whether the call reads the file, after the argument being applied.
  bool ReadsLater(const FileIdentity& identity);

  PrintJob job_;  // every field zero or empty, copies 1, portrait
  CallRecord record_;
  int index_ = -1;  // the argument being applied
  LaterArguments later_;
};

}  // namespace quillet

#endif
