// The argument walk of the print entry on the library's printer and GDI driver.
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
}

std::optional<ReportResult> PrintCall::Argument(int index, const char* text, const std::u16string* wide) {
  Trace("argv[%d] = [%s]\n", index, text);
  if (IsOptionArgument(text)) {
    // Parse_Arg cuts quotes and list tokens in place: give it a copy of its own.
    std::vector<char> option(text + 1, text + std::strlen(text) + 1);
    Parse_Arg(job_, option.data());
    return std::nullopt;
  }
  const std::string path = ReportPathFromArgument(text);
  std::u16string wide_path;
  if (wide != nullptr) wide_path = ReportPathFromArgument(std::u16string_view(*wide));
  job_.report_path = path.c_str();
  job_.report_path_wide = wide != nullptr ? wide_path.c_str() : nullptr;
  const ReportResult result = PrintReport(job_);
  DisposeReport(job_);
  job_.report_path = nullptr;
  job_.report_path_wide = nullptr;
  return result;
}

}  // namespace quillet
