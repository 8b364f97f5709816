#include "cli/front_end.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "cli/page_list.h"
#include "job/options.h"
#include "job/paper_sizes.h"
#include "platform/spool_turn.h"
#include "platform/text.h"
#include "print/page_fit.h"
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

// An --output=FILE while the reports after it are counted, up to the next "--"
// argument.
struct PendingOutput {
  std::u16string file;
  std::size_t reports = 0;

  // The usage error of the stretch it ends; empty: none.
  std::string Error() const {
    if (file.empty()) return "--output needs a file name: --output=FILE";
    const std::string output = "--output=" + Utf8FromUtf16(file);
    if (reports == 0) return output + ": no report follows it";
    if (reports > 1) {
      return output + ": " + std::to_string(reports) +
             " reports would each write the file anew; give each report its own --output";
    }
    return "";
  }
};

// Standard input as a report, --output=FILE and --pages=LIST, with examples.
void AppendInputOutputUsage(std::string& out) {
  out += "\nStandard input, output files and pages:\n";
  AppendEntry(out, "-",
              "in the place of a REPORT: prints what arrives on standard input, read to its end "
              "(on a console: Ctrl+Z, then Enter), as one report named \"(standard input)\", with the "
              "options before it; once per command line",
              19);
  AppendEntry(out, "--output=FILE",
              "writes the next report to FILE instead of the printer: FILE then holds what the "
              "printer would have received, and only that. The options before it still apply; "
              "up to the next command or --output it names one report",
              19);
  AppendEntry(out, "--pages=LIST",
              "prints only those pages of the next report, counted as the report is paged (form "
              "feeds and full pages): 3, 47-49, 10- (to the end) or 1,5,9-12. The other pages are "
              "read but not printed; a list that selects none of the report's pages prints nothing",
              19);
  out += "Examples:\n"
         "  dir | quillet-print -printer_id=\"Office Printer 2\" -pitch=10 -\n"
         "  quillet-print -printer_id=\"Microsoft Print to PDF\" --output=day.pdf day.txt\n"
         "  quillet-print --pages=47-49 -pitch=fit ledger.txt\n";
}

}  // namespace

const char* OptionHelp(const OptionEntry& entry) {
  // Where the table's own text would mislead someone at a command line, or says
  // too little; the table keeps its texts (docs/options.md says why they differ).
  static const struct {
    const char* name;
    const char* text;
  } kCorrected[] = {
      {"interactive",
       "'=none' shows no window while printing (no cancel dialog); any other value does nothing. The Print "
       "Setup dialog is the --setup command"},
      {"length",
       "length of form - use 'i' or 'm' as a suffix to indicate inches or millimeters (eg. 11i or 297m)"},
      {"pitch",
       "font size in points, or 'fit': the largest size, from 4 to 72 points, at which the report's lines "
       "(and, when form feeds page it, its pages) fit the paper"},
  };
  for (const auto& row : kCorrected) {
    if (std::strncmp(entry.name, row.name, sizeof entry.name) == 0) return row.text;
  }
  return entry.description != nullptr ? entry.description : "(no description)";
}

bool IsStandardInput(const std::u16string& argument) { return argument == u"-"; }

namespace {

// The VALUE of an argument "NAME=VALUE" ("" for NAME alone), or nothing.
std::optional<std::u16string> ArgumentValue(const std::u16string& argument, std::u16string_view name) {
  if (argument.compare(0, name.size(), name) != 0) return std::nullopt;
  if (argument.size() == name.size()) return std::u16string();
  if (argument[name.size()] != u'=') return std::nullopt;
  return argument.substr(name.size() + 1);
}

}  // namespace

std::optional<std::u16string> OutputArgument(const std::u16string& argument) {
  return ArgumentValue(argument, u"--output");
}

std::optional<std::u16string> PagesArgument(const std::u16string& argument) {
  return ArgumentValue(argument, u"--pages");
}

bool IsReportArgument(const std::u16string& argument) { return !IsOption(argument) || IsStandardInput(argument); }

std::u16string ReportLabel(const std::u16string& argument) {
  return IsStandardInput(argument) ? U16(kStandardInputName) : ReportPathFromArgument(std::u16string_view(argument));
}

const Step::Pages* Step::PagesOf(std::size_t index) const {
  for (const Pages& entry : pages) {
    if (entry.report == index) return &entry;
  }
  return nullptr;
}

const std::u16string* Step::OutputOf(std::size_t index) const {
  for (const auto& [report, file] : outputs) {
    if (report == index) return &file;
  }
  return nullptr;
}

Plan PlanCommandLine(const std::vector<std::u16string>& arguments) {
  Plan plan;
  Step* print = nullptr;  // the print call being gathered
  bool any_report = false;
  bool standard_input = false;
  std::optional<PendingOutput> output;
  std::optional<Step::Pages> pages;  // a --pages=LIST that waits for its report
  std::string error;  // the first usage error of "-", --output and --pages
  const auto end_output = [&] {
    if (output && error.empty()) error = output->Error();
    output.reset();
  };
  const auto end_pages = [&] {
    if (pages && error.empty()) error = Utf8FromUtf16(pages->argument) + ": no report follows it";
    pages.reset();
  };
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::u16string& argument = arguments[i];
    if (const std::optional<std::u16string> file = OutputArgument(argument)) {
      // The next report goes to the file; the options before it stay.
      end_output();
      output = PendingOutput{*file};
      continue;
    }
    if (const std::optional<std::u16string> list = PagesArgument(argument)) {
      // Only the next report is printed in part.
      end_pages();
      const std::optional<std::vector<PageRange>> ranges = ParsePageList(*list);
      if (!ranges && error.empty()) {
        error = Utf8FromUtf16(argument) +
                ": not a page list (pages and ranges from 1, such as 3, 47-49, 10- or 1,5,9-12)";
      }
      pages = Step::Pages{0, ranges.value_or(std::vector<PageRange>{}), argument};
      continue;
    }
    if (StartsWithDashDash(argument)) {
      end_output();
      end_pages();
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
      if (IsStandardInput(argument)) {
        if (standard_input && error.empty()) error = "standard input can be printed only once, but - is named twice";
        standard_input = true;
      }
      if (output && output->reports++ == 0) print->outputs.emplace_back(i, output->file);
      if (pages) {
        pages->report = i;
        print->pages.push_back(std::move(*pages));
        pages.reset();
      }
    } else {
      print->unused_options.push_back(i);
    }
  }
  end_output();
  end_pages();
  plan.error = error;
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
      "\nWarnings (one line each on standard error; the exit status stays as it is):\n"
      "options the library ignores or reads otherwise than written, wherever they\n"
      "stand (the command line, -config files, -printer_ctl and -form_ctl lists): a\n"
      "name that is no option (names are lower case), an abbreviation given a value,\n"
      "an -orientation neither Landscape nor Portrait, a -pitch neither a number nor\n"
      "fit, a -form_id that is no paper of the table and that the printer does not\n"
      "know; options that no report follows; lines cut at the right edge; an empty\n"
      "report. A -config file that is the trace log is not read, and a -log file\n"
      "that the command line reads as a report or -config file is not opened.\n";
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

namespace {

// "<text>: <the system's reason>", or the text alone when the system gave none.
std::string WithReason(std::string text, std::string_view system_text) {
  const std::string why = OneLine(system_text);
  if (!why.empty()) text += ": " + why;
  return text;
}

}  // namespace

std::string FailureText(const ReportResult& result, std::string_view system_text, std::string_view printer,
                        std::string_view pages_argument) {
  std::string text;
  switch (result.outcome) {
    case ReportOutcome::kSpooled:
      text = "spooled";
      break;
    case ReportOutcome::kNotOpened:
      text = WithReason("cannot open the report", system_text);
      break;
    case ReportOutcome::kNoPrinter:
      if (printer.empty()) {
        text = "not printed: no printer could be opened for it";
      } else {
        text = "not printed: the printer \"" + std::string(printer) +
               "\" cannot be opened (quillet-print --list-printers lists the printers)";
      }
      break;
    case ReportOutcome::kSpoolerFailed:
      text = result.error == kSharingViolation ? "not printed: the spooler was busy with another document"
             : result.error == kTurnTimedOut
                 ? "not printed: another process of this Wine prefix kept its turn to spool for " +
                       std::to_string(kBusySpoolerPatience / 1000) + " s"
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
    case ReportOutcome::kNoPageSelected:
      text = "not printed: " + (pages_argument.empty() ? std::string("the pages asked for") : std::string(pages_argument)) +
             " selects none of its " + std::to_string(result.pages) + (result.pages == 1 ? " page" : " pages");
      break;
    case ReportOutcome::kOutputFailed:
      text = WithReason("not printed: its output file cannot be written", system_text);
      break;
  }
  if (result.kept) text += "; the file was kept";
  return text;
}

std::string CutLinesWarning(const ReportResult& result) {
  if (result.lines_cut <= 0) return {};
  std::string text = std::to_string(result.lines_cut) + (result.lines_cut == 1 ? " line" : " lines") +
                     " cut at column " + std::to_string(result.first_column_lost) + "; ";
  if (result.fits_landscape) return text + "-orientation=Landscape would print it whole at this size";
  if (result.fits_at > 0) return text + "-pitch=fit would print it at " + PointsText(result.fits_at) + " points";
  return text + "it does not fit the page even at " + PointsText(kFitSmallest) + " points";
}

std::string FitText(const ReportResult& result) {
  if (result.fit_half_points <= 0) return {};
  std::string text = "-pitch=fit: " + PointsText(result.fit_half_points) + " points for " +
                     std::to_string(result.fit_columns) + " columns";
  if (result.fit_lines > 0) text += " and " + std::to_string(result.fit_lines) + " lines";
  return text;
}

std::string PaperWarning(const ReportResult& result, std::string_view form) {
  if (result.paper_given_width <= 0 || result.paper_given_length <= 0) return {};
  const std::string asked = Millimetres(result.paper_asked_width, result.paper_asked_length);
  return "warning: printed on " + Millimetres(result.paper_given_width, result.paper_given_length) +
         " paper: the printer does not give " + (form.empty() ? "the " + asked + " asked" : std::string(form) + " (" + asked + ")");
}

std::string OutputFailureText(const std::u16string& file, std::string_view system_text, bool kept) {
  std::string text = WithReason("not printed: cannot write " + Utf8FromUtf16(file), system_text);
  if (kept) text += "; the file was kept";
  return text;
}

std::string OptionWarning(const OptionSeen& seen) {
  const std::string_view text(seen.text);
  const std::string given = (seen.config_file != nullptr ? std::string(seen.config_file) + ": " : std::string()) +
                            seen.lead + std::string(text);
  const auto equals = [](std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
             return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
  };
  if (seen.option == nullptr) {
    if ((seen.lead != '-' && seen.lead != '/') || text.empty()) return "";
    const std::string_view name = text.substr(0, text.find('='));
    if (name.size() < text.size()) {
      // The library compares the '=' with a letter of the name.
      std::vector<std::string> whole;
      for (const OptionEntry& entry : option_table) {
        const std::string_view row(entry.name, strnlen(entry.name, sizeof entry.name));
        if (row.compare(0, name.size(), name) == 0) whole.push_back(std::string(row));
      }
      std::sort(whole.begin(), whole.end());
      if (whole.size() == 1) {
        return given + ": an abbreviation takes no value; write " + seen.lead + whole[0] +
               std::string(text.substr(name.size()));
      }
      if (!whole.empty()) {
        std::string names;
        for (const std::string& w : whole) names += (names.empty() ? "" : ", ") + (seen.lead + w);
        return given + ": an abbreviation takes no value; write the whole name (" + names + ")";
      }
    }
    std::string lower(text);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lower != text && FindOption(lower.c_str()) != nullptr) {
      return given + ": no such option; option names are lower case";
    }
    return given + ": no such option";
  }
  const std::string_view option(seen.option->name, strnlen(seen.option->name, sizeof seen.option->name));
  const std::string_view value = seen.value != nullptr ? seen.value : "";
  if (option == "orientation" && !equals(value, "Landscape") && !equals(value, "Portrait")) {
    return given + ": neither Landscape nor Portrait; the report prints in portrait";
  }
  if (option == "pitch" && !equals(value, "fit")) {
    std::size_t k = 0;
    while (k < value.size() && std::isspace(static_cast<unsigned char>(value[k]))) ++k;
    if (k < value.size() && (value[k] == '+' || value[k] == '-')) ++k;
    if (k == value.size() || !std::isdigit(static_cast<unsigned char>(value[k]))) {
      return given + ": neither a number nor fit; the printer's own font size is used";
    }
  }
  return "";
}

std::string FormWarning(std::string_view form, std::string_view printer) {
  return "-form_id=" + std::string(form) + ": no paper of that name, neither in the table nor on the printer " +
         std::string(printer) + "; the report prints on the printer's paper";
}

std::string StandardInputFailureText(std::string_view system_text) {
  return WithReason("not printed: cannot read standard input into a temporary file", system_text);
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
