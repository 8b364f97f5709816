#include "cli/front_end.h"

#include <algorithm>
#include <cstring>

#include "job/options.h"
#include "platform/text.h"
#include "print/print_entry.h"

namespace quillet::cli {

const CommandInfo kCommands[5] = {
    {Command::kSetup, "--setup",
     "show the Print Setup dialog; the printer and settings chosen hold for the rest of the command line "
     "(Cancel keeps the current ones)"},
    {Command::kPrinterName, "--printer-name", "print the current printer's name"},
    {Command::kListPrinters, "--list-printers",
     "list the printers the spooler knows, one a line: name, port, driver and, for the default printer, "
     "the word default, separated by tabs"},
    {Command::kHelp, "--help", "show this text"},
    {Command::kVersion, "--version", "show the program's version"},
};

namespace {

bool StartsWithDashDash(const std::u16string& text) { return text.size() >= 2 && text[0] == u'-' && text[1] == u'-'; }

bool IsOption(const std::u16string& text) { return !text.empty() && (text[0] == u'-' || text[0] == u'/'); }

// The ASCII text of a command name, or nothing for any other character.
std::optional<std::string> Ascii(const std::u16string& text) {
  std::string out;
  for (char16_t c : text) {
    if (c == 0 || c > 0x7E) return std::nullopt;
    out.push_back(static_cast<char>(c));
  }
  return out;
}

std::u16string U16(std::string_view ascii) { return std::u16string(ascii.begin(), ascii.end()); }

// Appends "  <term><padding><text>", the text wrapped to the width with every
// further line indented to the text's column.
void AppendEntry(std::string& out, const std::string& term, std::string_view text, std::size_t column) {
  constexpr std::size_t kWidth = 79;
  std::string line = "  " + term;
  if (line.size() + 1 > column) {
    out += line + "\n";
    line.clear();
  }
  line.resize(column, ' ');
  std::size_t used = column;
  bool first_word = true;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find(' ', pos);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view word = text.substr(pos, end - pos);
    if (!first_word && used + 1 + word.size() > kWidth) {
      out += line + "\n";
      line.assign(column, ' ');
      used = column;
      first_word = true;
    }
    if (!first_word) {
      line += ' ';
      ++used;
    }
    line += word;
    used += word.size();
    first_word = false;
    pos = end + 1;
  }
  out += line + "\n";
}

// The usage errors of "-" and --output in the planned steps; empty: none.
std::string PipelineError(const std::vector<std::u16string>& arguments, const std::vector<Step>& steps) {
  bool standard_input = false;
  for (const Step& step : steps) {
    std::size_t reports = 0;
    for (std::size_t index : step.arguments) {
      if (IsStandardInput(arguments[index])) {
        if (standard_input) return "standard input can be printed only once, but - is named twice";
        standard_input = true;
      }
      if (IsReportArgument(arguments[index])) ++reports;
    }
    if (!step.output) continue;
    if (step.output->empty()) return "--output needs a file name: --output=FILE";
    const std::string output = "--output=" + Utf8FromUtf16(*step.output);
    if (reports == 0) return output + ": no report follows it";
    if (reports > 1) {
      return output + ": " + std::to_string(reports) +
             " reports would each write the file anew; give each report its own --output";
    }
  }
  return "";
}

// Standard input as a report, and --output=FILE, with an example of each.
void AppendInputOutputUsage(std::string& out) {
  out += "\nStandard input and output files:\n";
  AppendEntry(out, "-",
              "in the place of a REPORT: prints what arrives on standard input, read to its end "
              "(on a console: Ctrl+Z, then Enter), as one report named \"(standard input)\", with the "
              "options before it; once per command line",
              19);
  AppendEntry(out, "--output=FILE",
              "writes the report of the print call after it (up to the next command) to FILE "
              "instead of the printer: FILE then holds what the printer would have received. Like "
              "a command it ends the options given before it, so give the options after it, and "
              "one report",
              19);
  out += "Examples:\n"
         "  dir | quillet-print -printer_id=\"Office Printer 2\" -pitch=10 -\n"
         "  quillet-print --output=day.pdf -printer_id=\"Microsoft Print to PDF\" day.txt\n";
}

}  // namespace

const char* OptionHelp(const OptionEntry& entry) {
  // Where the table's own text would mislead someone at a command line; the
  // table keeps its texts (docs/options.md says why they differ).
  static const struct {
    const char* name;
    const char* text;
  } kCorrected[] = {
      {"interactive",
       "'=none' shows no window while printing (no cancel dialog); any other value does nothing. The Print "
       "Setup dialog is the --setup command"},
      {"length",
       "length of form - use 'i' or 'm' as a suffix to indicate inches or millimeters (eg. 11i or 297m)"},
  };
  for (const auto& row : kCorrected) {
    if (std::strncmp(entry.name, row.name, sizeof entry.name) == 0) return row.text;
  }
  return entry.description != nullptr ? entry.description : "(no description)";
}

bool IsStandardInput(const std::u16string& argument) { return argument == u"-"; }

std::optional<std::u16string> OutputArgument(const std::u16string& argument) {
  const std::u16string_view name = u"--output";
  if (argument.compare(0, name.size(), name) != 0) return std::nullopt;
  if (argument.size() == name.size()) return std::u16string();
  if (argument[name.size()] != u'=') return std::nullopt;
  return argument.substr(name.size() + 1);
}

bool IsReportArgument(const std::u16string& argument) { return !IsOption(argument) || IsStandardInput(argument); }

std::u16string ReportLabel(const std::u16string& argument) {
  return IsStandardInput(argument) ? U16(kStandardInputName) : ReportPathFromArgument(std::u16string_view(argument));
}

Plan PlanCommandLine(const std::vector<std::u16string>& arguments) {
  Plan plan;
  Step* print = nullptr;  // the print call being gathered
  bool any_report = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::u16string& argument = arguments[i];
    if (const std::optional<std::u16string> output = OutputArgument(argument)) {
      // Ends the print call before it, as a command does, and opens the one it applies to.
      plan.steps.emplace_back();
      print = &plan.steps.back();
      print->output = *output;
      continue;
    }
    if (StartsWithDashDash(argument)) {
      const std::optional<std::string> name = Ascii(argument);
      const CommandInfo* found = nullptr;
      for (const CommandInfo& info : kCommands) {
        if (name && *name == info.name) found = &info;
      }
      if (found == nullptr) {
        plan.steps.clear();
        plan.error = "unknown command " + Utf8FromUtf16(argument);
        return plan;
      }
      Step step;
      step.command = found->command;
      plan.steps.push_back(step);
      print = nullptr;
      continue;
    }
    if (print == nullptr) {
      plan.steps.emplace_back();
      print = &plan.steps.back();
    }
    print->arguments.push_back(i);
    if (IsReportArgument(argument)) {
      print->unused_options.clear();
      any_report = true;
    } else {
      print->unused_options.push_back(i);
    }
  }
  plan.error = PipelineError(arguments, plan.steps);
  if (!plan.error.empty()) {
    plan.steps.clear();
    return plan;
  }
  bool any_command = false;
  for (const Step& step : plan.steps) any_command = any_command || step.command.has_value();
  if (!any_report && !any_command) {
    plan.steps.clear();
    plan.error = arguments.empty() ? "nothing to do: name a report or a command"
                                   : "nothing to print: no report is named, and no command given";
  }
  return plan;
}

std::string UsageText() {
  std::string out;
  out += "Usage: quillet-print [OPTION...] REPORT [[OPTION...] REPORT]...\n";
  out += "       quillet-print COMMAND... (commands, options and reports may be mixed)\n\n";
  out +=
      "Prints each REPORT, a text file laid out for a line printer, as one spooler\n"
      "document, with the options given before it on the command line. An option\n"
      "begins with '-' or '/' and stays in force for every later report; anything\n"
      "else names a report. This is exactly what the Java method quillet(String[])\n"
      "does with the same list.\n\n";
  out += "Commands (they run in command-line order among the reports; each ends the\n"
         "options given before it):\n";
  for (const CommandInfo& info : kCommands) AppendEntry(out, info.name, info.description, 19);
  AppendInputOutputUsage(out);

  out += "\nPrint options (-NAME=VALUE or /NAME=VALUE; a name may be shortened when no\n"
         "value follows it):\n";
  std::vector<const OptionEntry*> options;
  for (const OptionEntry& entry : option_table) options.push_back(&entry);
  std::sort(options.begin(), options.end(), [](const OptionEntry* a, const OptionEntry* b) {
    return std::strncmp(a->name, b->name, sizeof a->name) < 0;
  });
  for (const OptionEntry* entry : options) {
    const std::string name(entry->name, strnlen(entry->name, sizeof entry->name));
    AppendEntry(out, "-" + name, OptionHelp(*entry), 17);
  }

  out +=
      "\nExit status: 0 when every report was spooled; 1 when a report could not be\n"
      "opened, its printer could not be opened, the spooler failed or the job was\n"
      "cancelled (one line on standard error for each such report), or a command\n"
      "failed; 2 when the command line is not understood.\n\n"
      "Names and messages go to a console as Unicode text, and to a file or a pipe\n"
      "as UTF-8. While a report prints, a console shows its page on standard error;\n"
      "Ctrl+C cancels the report being printed and ends the program.\n\n"
      "docs/options.md, in the docs folder of the release ZIP (beside x86 and x64),\n"
      "describes every option.\n";
  return out;
}

std::string FailureText(const ReportResult& result, std::string_view system_text) {
  std::string text;
  switch (result.outcome) {
    case ReportOutcome::kSpooled:
      text = "spooled";
      break;
    case ReportOutcome::kNotOpened: {
      text = "cannot open the report";
      const std::string why = OneLine(system_text);
      if (!why.empty()) text += ": " + why;
      break;
    }
    case ReportOutcome::kNoPrinter:
      text = "not printed: no printer could be opened for it";
      break;
    case ReportOutcome::kSpoolerFailed:
      text = result.error == kSharingViolation ? "not printed: the spooler was busy with another document"
                                               : "not printed: the spooler refused it";
      if (result.spooler_call != nullptr) {
        text += " (" + std::string(result.spooler_call) + " returned " + std::to_string(result.spooler_result) +
                ", error " + std::to_string(result.error) + ")";
      }
      text += ", and the document was dropped";
      break;
    case ReportOutcome::kCancelled:
      text = "cancelled: the document was dropped";
      break;
    case ReportOutcome::kIsTraceLog:
      text = "not printed: it is the trace log";
      break;
  }
  if (result.kept) text += "; the file was kept";
  return text;
}

std::string CutLinesWarning(const ReportResult& result) {
  if (result.lines_cut <= 0) return {};
  return std::to_string(result.lines_cut) + (result.lines_cut == 1 ? " line" : " lines") + " cut at column " +
         std::to_string(result.first_column_lost) + "; try -pitch or -orientation=Landscape";
}

std::string OutputFailureText(const std::u16string& file, std::string_view system_text) {
  std::string text = "not printed: cannot write " + Utf8FromUtf16(file);
  const std::string why = OneLine(system_text);
  if (!why.empty()) text += ": " + why;
  return text;
}

std::string StandardInputFailureText(std::string_view system_text) {
  std::string text = "not printed: cannot read standard input into a temporary file";
  const std::string why = OneLine(system_text);
  if (!why.empty()) text += ": " + why;
  return text;
}

std::u16string UnusedOptionsWarning(const std::vector<std::u16string>& arguments, const Step& step) {
  std::u16string text = U16(kProgram) + u": warning: no report follows";
  for (std::size_t index : step.unused_options) text += u" " + arguments[index];
  text += step.unused_options.size() == 1 ? u"; it applies to nothing" : u"; they apply to nothing";
  return text;
}

std::u16string ProgressLine(std::u16string_view report, int page) {
  return std::u16string(report) + u": page " + U16(std::to_string(page));
}

std::string OneLine(std::string_view text) {
  std::string out;
  for (char c : text) out.push_back(c == '\r' || c == '\n' ? ' ' : c);
  while (!out.empty() && (out.back() == ' ' || out.back() == '\t')) out.pop_back();
  std::string squeezed;
  for (char c : out) {
    if (c == ' ' && !squeezed.empty() && squeezed.back() == ' ') continue;
    squeezed.push_back(c);
  }
  return squeezed;
}

}  // namespace quillet::cli
