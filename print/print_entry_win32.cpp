// The argument walk of the print entry on the library's printer and GDI driver.
#include <windows.h>

#include <cstring>
#include <vector>

#include "job/options.h"
#include "print/print_driver.h"
#include "print/print_entry.h"
#include "printer/printer_setup.h"
#include "trace/trace.h"

namespace quillet {

PrintCall::PrintCall(int argument_count) {
  GetDevMode();
  SortOptionTable();
  Trace("argc = [%d]\n", argument_count);
  record_.reads_file = [this](const FileIdentity& identity) { return ReadsLater(identity); };
}

bool PrintCall::ReadsLater(const FileIdentity& identity) {
  if (!later_) return false;
  std::vector<CallArgument> later;
  // Arguments that could not all be had may name it: the file is left alone.
  return !later_(index_, later) || ArgumentsName(later, identity);
}

void PrintCall::Unprinted(int index, const char* text, const char* why) {
  Trace("argv[%d] = [%s]\n", index, text);
  Trace("%s not printed: %s\n", text, why);
  const std::string path = ReportPathFromArgument(text);
  record_.report_path = path.c_str();
  DisposeReport(job_, record_, ReportResult{ReportOutcome::kOutputFailed});
  record_.report_path = nullptr;
}

void PrintCall::Finish() { DisposeConfigFiles(record_); }

std::optional<ReportResult> PrintCall::Argument(int index, const char* text, const std::u16string* wide,
                                                bool holds_nul) {
  index_ = index;
  Trace("argv[%d] = [%s]\n", index, text);
  if (holds_nul) {
    // Cut at the NUL, the text would name another file than the caller's, one
    // it never named (and scratch disposition would delete it).
    Trace("argv[%d] holds a NUL character: it names nothing\n", index);
    if (IsOptionArgument(text)) return std::nullopt;
    return ReportResult{ReportOutcome::kNotOpened, ERROR_INVALID_NAME};
  }
  if (IsOptionArgument(text)) {
    // Parse_Arg cuts quotes and list tokens in place: give it a copy of its own,
    // and the UTF-16 form for the names the code page cannot spell.
    std::vector<char> option(text + 1, text + std::strlen(text) + 1);
    std::u16string wide_option;
    if (wide != nullptr && !wide->empty()) wide_option = wide->substr(1);
    Parse_Arg(job_, record_, option.data(), wide != nullptr ? &wide_option : nullptr, text[0]);
    return std::nullopt;
  }
  const std::string path = ReportPathFromArgument(text);
  std::u16string wide_path;
  if (wide != nullptr) wide_path = ReportPathFromArgument(std::u16string_view(*wide));
  return Print(path.c_str(), wide != nullptr ? wide_path.c_str() : nullptr);
}

ReportResult PrintCall::File(int index, const char* argument, const char* path, const char16_t* wide_path,
                             const char* document_name) {
  index_ = index;
  Trace("argv[%d] = [%s]\n", index, argument);
  Trace("%s read into %s\n", document_name, path);
  record_.document_name = document_name;
  const ReportResult result = Print(path, wide_path);
  record_.document_name = nullptr;
  return result;
}

ReportResult PrintCall::Print(const char* path, const char16_t* wide_path) {
  record_.report_path = path;
  record_.report_path_wide = wide_path;
  ReportResult result = PrintReport(job_, record_);
  result.kept = job_.scratch && !DisposeReport(job_, record_, result);
  record_.report_path = nullptr;
  record_.report_path_wide = nullptr;
  return result;
}

}  // namespace quillet
