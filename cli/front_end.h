// quillet-print, the command line front end: what a command line asks for, the
// usage text, and how reports that did not print are told and counted. Portable:
// the Win32 program (quillet_print_win32.cpp) runs what is planned here.
#ifndef QUILLET_CLI_FRONT_END_H
#define QUILLET_CLI_FRONT_END_H

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "job/options.h"
#include "print/print_driver.h"

namespace quillet::cli {

constexpr char kProgram[] = "quillet-print";

// Exit statuses.
constexpr int kExitOk = 0;          // every report was spooled (or there was none)
constexpr int kExitFailed = 1;      // a report or a command failed, or Ctrl+C
constexpr int kExitUsage = 2;       // the command line cannot be run as given

// The program's own commands. They begin with "--", which no print option
// does, so the option parser never sees them.
enum class Command { kSetup, kPrinterName, kListPrinters, kHelp, kVersion };

struct CommandInfo {
  Command command;
  const char* name;  // with its "--"
  const char* description;
};
extern const CommandInfo kCommands[5];

// One step of a command line, in command-line order: a command, or one print
// call over a run of print arguments (options and reports) that no command
// interrupts. Each print call starts from a fresh job, as one call of
// quillet(String[]) does: a command ends the options given before it.
// --output=FILE does not: it sends the next report to FILE, nothing else.
struct Step {
  std::optional<Command> command;
  std::vector<std::size_t> arguments;       // print call: indices into the argument list
  std::vector<std::size_t> unused_options;  // of those, the options no report follows
  // print call: the reports that go to a file instead of the printer, by
  // argument index, each with the FILE of the --output=FILE before it
  std::vector<std::pair<std::size_t, std::u16string>> outputs;

  // The FILE that argument `index` goes to; null: the printer.
  const std::u16string* OutputOf(std::size_t index) const;

  // print call: the reports printed in part, each with the --pages=LIST before it.
  struct Pages {
    std::size_t report;            // argument index
    std::vector<PageRange> ranges;
    std::u16string argument;       // "--pages=LIST", for messages
  };
  std::vector<Pages> pages;
  // The pages of argument `index` to print; null: every page.
  const Pages* PagesOf(std::size_t index) const;
};

// The report argument "-": what arrives on standard input, printed as one report
// under this name (once per command line).
bool IsStandardInput(const std::u16string& argument);
constexpr char kStandardInputName[] = "(standard input)";

// The FILE of an argument "--output=FILE" (empty for "--output" and "--output="),
// or nothing when the argument is not of that form. The report after it goes
// to FILE; up to the next "--" argument it names exactly one.
std::optional<std::u16string> OutputArgument(const std::u16string& argument);

// The LIST of an argument "--pages=LIST" ("" for "--pages"), or nothing when the
// argument is not of that form. Only the next report prints in part (page_list.h).
std::optional<std::u16string> PagesArgument(const std::u16string& argument);

// Whether a print argument names a report (a file, or "-"), not an option.
bool IsReportArgument(const std::u16string& argument);

// How a report argument is called on standard error: its path, or
// kStandardInputName for "-".
std::u16string ReportLabel(const std::u16string& argument);

struct Plan {
  std::vector<Step> steps;
  std::string error;  // not empty: a usage error, and nothing is to run
};

// Plans a command line (the arguments after the program name). Usage errors:
// an unknown "--" command; nothing to do (no report and no command); "-" named
// twice; an --output without a file, or followed by no report or by more than
// one before the next "--" argument; a --pages=LIST whose list is malformed or
// that no report follows before the next "--" argument.
Plan PlanCommandLine(const std::vector<std::u16string>& arguments);

// The usage text: synopsis, commands, and every print option of the option
// table with its help text, in name order.
std::string UsageText();

// An option's help text: the table's own description, except where that would
// mislead or say too little ("interactive" shows no dialog; "length" has none;
// "pitch" takes fit too).
const char* OptionHelp(const OptionEntry& entry);

// Why a report did not print, for the line on standard error, and whether a
// scratch report was kept. `system_text` is the system's text for result.error
// (used for kNotOpened and kOutputFailed); `printer` (UTF-8) the printer that
// could not be opened (kNoPrinter; empty when there is none at all);
// `pages_argument`, the --pages=LIST it was printed with (kNoPageSelected).
std::string FailureText(const ReportResult& result, std::string_view system_text, std::string_view printer = {},
                        std::string_view pages_argument = {});

// What standard error says of a report that is a folder, in place of the
// system's text.
constexpr char kFolderText[] = "it is a folder";
// The warning for a report that holds nothing at all.
constexpr char kEmptyReportText[] = "the report is empty: it holds nothing to print";

// The warning for an option text that the library ignores, or takes otherwise
// than it reads (a misspelt name, an abbreviation given a value, an
// orientation or pitch it does not know), in the bytes of the text; empty when
// there is none. Lines of a configuration file that do not begin with '-' or
// '/' are notes, and a name that is no option there is no warning.
std::string OptionWarning(const OptionSeen& seen);

// The warning for a -form_id that is no paper of the table and that `printer`
// does not know either.
std::string FormWarning(std::string_view form, std::string_view printer);

// The warning for a report whose lines ran past the right edge of the page, with
// what would have printed it whole ("143 lines cut at column 49; -pitch=fit would
// print it at 7.5 points"); empty when none did.
std::string CutLinesWarning(const ReportResult& result);

// What -pitch=fit chose ("-pitch=fit: 8.5 points for 132 columns and 66 lines");
// empty when the report was not printed with -pitch=fit.
std::string FitText(const ReportResult& result);

// The warning for a report printed on another paper than the one asked
// ("warning: printed on 279.4 x 355.6 mm paper: the printer does not give the
// 127.0 x 127.0 mm asked"); `form`, the -form_id it was asked by, if any.
// Empty when the printer gave the paper asked.
std::string PaperWarning(const ReportResult& result, std::string_view form);

// Why a report was not printed to its --output FILE, or from standard input,
// for the line on standard error; `kept`: scratch disposition kept the report.
std::string OutputFailureText(const std::u16string& file, std::string_view system_text, bool kept = false);
std::string StandardInputFailureText(std::string_view system_text);

// The warning for options that no report follows: they apply to nothing.
std::u16string UnusedOptionsWarning(const std::vector<std::u16string>& arguments, const Step& step);

// The progress line of a page: "<report>: page <n>".
std::u16string ProgressLine(std::u16string_view report, int page);

// A system message as one line: trailing line breaks, blanks and the final
// full stop's line end removed, inner line breaks turned into blanks.
std::string OneLine(std::string_view text);

}  // namespace quillet::cli

#endif
