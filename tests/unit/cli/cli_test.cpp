#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "cli/front_end.h"
#include "job/options.h"
#include "platform/text.h"

namespace quillet::cli {
namespace {

using Args = std::vector<std::u16string>;
using Indices = std::vector<std::size_t>;

TEST(CliPlan, CommandsSplitThePrintArgumentsIntoCallsInOrder) {
  const Args args = {u"-copies=2", u"a.txt", u"--setup", u"/ruler", u"b.txt", u"-pitch=8", u"--printer-name"};
  const Plan plan = PlanCommandLine(args);
  ASSERT_TRUE(plan.error.empty());
  ASSERT_EQ(plan.steps.size(), 4u);
  EXPECT_EQ(plan.steps[0].arguments, (Indices{0, 1}));
  EXPECT_TRUE(plan.steps[0].unused_options.empty());
  EXPECT_EQ(plan.steps[1].command, Command::kSetup);
  EXPECT_EQ(plan.steps[2].arguments, (Indices{3, 4, 5}));
  EXPECT_EQ(plan.steps[2].unused_options, Indices{5});  // no report after -pitch=8
  EXPECT_EQ(plan.steps[3].command, Command::kPrinterName);
  EXPECT_EQ(UnusedOptionsWarning(args, plan.steps[2]),
            u"quillet-print: warning: no report follows -pitch=8; it applies to nothing");
}

TEST(CliPlan, UsageErrors) {
  EXPECT_NE(PlanCommandLine({}).error, "");
  EXPECT_NE(PlanCommandLine({u"-copies=2", u"/ruler"}).error, "");  // options only
  const Plan unknown = PlanCommandLine({u"a.txt", u"--setupX"});
  EXPECT_EQ(unknown.error, "unknown command --setupX");
  EXPECT_TRUE(unknown.steps.empty());  // nothing runs, not even a.txt
  EXPECT_EQ(PlanCommandLine({u"--h\u00e9lp"}).error, "unknown command --h\xc3\xa9lp");
  EXPECT_NE(PlanCommandLine({u"--"}).error, "");
  // Commands alone, and reports whose names begin like anything but "--", run.
  EXPECT_EQ(PlanCommandLine({u"--version"}).error, "");
  EXPECT_EQ(PlanCommandLine({u"\"--x.txt\""}).error, "");
}

TEST(CliPlan, StandardInputAndOutputFiles) {
  const std::string no_report = "nothing to print: no report is named, and no command given";
  const std::string twice = "standard input can be printed only once, but - is named twice";
  const std::string no_file = "--output needs a file name: --output=FILE";
  const struct Row {
    Args args;
    std::string error;
  } rows[] = {
      {{u"-"}, ""},  // a lone dash is standard input, a report
      {{u"/"}, no_report},  // a lone slash stays the empty option
      {{u"-", u"--version", u"-"}, twice},  // once per command line, not per print call
      {{u"--output=a.ps", u"-copies=2", u"r.txt", u"-ruler"}, ""},
      {{u"--output=a.ps", u"r.txt", u"--output=a.ps", u"-"}, ""},
      {{u"--output=a.ps", u"r.txt", u"s.txt"},
       "--output=a.ps: 2 reports would each write the file anew; give each report its own --output"},
      {{u"--output=a.ps", u"--version", u"r.txt"}, "--output=a.ps: no report follows it"},
      {{u"r.txt", u"--output=a.ps"}, "--output=a.ps: no report follows it"},
      {{u"--output=", u"r.txt"}, no_file},
      {{u"--output", u"r.txt"}, no_file},
      {{u"--outputs=a.ps", u"r.txt"}, "unknown command --outputs=a.ps"},
      {{u"--pages=2-3", u"--output=a.ps", u"r.txt", u"--pages=1"}, "--pages=1: no report follows it"},
      {{u"--pages=2", u"--pages=3", u"r.txt"}, "--pages=2: no report follows it"},
      {{u"--pages=3-2", u"r.txt"},
       "--pages=3-2: not a page list (pages and ranges from 1, such as 3, 47-49, 10- or 1,5,9-12)"},
  };
  for (const Row& row : rows) {
    const Plan plan = PlanCommandLine(row.args);
    EXPECT_EQ(plan.error, row.error) << Utf8FromUtf16(row.args[0]);
    EXPECT_EQ(plan.steps.empty(), !row.error.empty());
  }

  // --output sends the next report to the file (named as given, beyond the
  // ANSI code page too) and changes nothing else: the options before it apply.
  const Args args = {u"-log=t.log", u"a.txt", u"-copies=2", u"--output=a \u540d.ps", u"-pitch=9", u"-"};
  const Plan plan = PlanCommandLine(args);
  ASSERT_EQ(plan.steps.size(), 1u);
  EXPECT_EQ(plan.steps[0].arguments, (Indices{0, 1, 2, 4, 5}));
  EXPECT_TRUE(plan.steps[0].unused_options.empty());
  EXPECT_EQ(plan.steps[0].OutputOf(1), nullptr);
  ASSERT_NE(plan.steps[0].OutputOf(5), nullptr);
  EXPECT_EQ(*plan.steps[0].OutputOf(5), u"a \u540d.ps");
  // --pages prints part of the next report alone.
  const Plan pages = PlanCommandLine({u"--pages=2-3", u"-pitch=9", u"a.txt", u"b.txt"});
  ASSERT_EQ(pages.steps.size(), 1u);
  ASSERT_NE(pages.steps[0].PagesOf(2), nullptr);
  EXPECT_EQ(pages.steps[0].PagesOf(2)->ranges.size(), 1u);
  EXPECT_EQ(pages.steps[0].PagesOf(2)->argument, u"--pages=2-3");
  EXPECT_EQ(pages.steps[0].PagesOf(3), nullptr);
  // -log before --output applies to the report after it.
  EXPECT_TRUE(PlanCommandLine({u"-log=t.log", u"--output=a.ps", u"r.txt"}).steps[0].unused_options.empty());
  EXPECT_EQ(ReportLabel(u"-"), u"(standard input)");
  EXPECT_EQ(ReportLabel(u"\"a.txt\""), u"a.txt");
}

TEST(CliUsage, ListsEveryOptionWithItsHelpTextAndEveryCommand) {
  const std::string usage = UsageText();
  // Descriptions are wrapped: compare with the blanks and line breaks folded.
  std::string folded;
  for (char c : usage) {
    const char d = (c == '\n') ? ' ' : c;
    if (d == ' ' && !folded.empty() && folded.back() == ' ') continue;
    folded.push_back(d);
  }
  for (const OptionEntry& entry : option_table) {
    const std::string name(entry.name, strnlen(entry.name, sizeof entry.name));
    EXPECT_NE(folded.find(" -" + name + " "), std::string::npos) << name;
    EXPECT_NE(folded.find(OptionHelp(entry)), std::string::npos) << name;
  }
  // The table's text for -interactive promises a dialog that never shows.
  EXPECT_EQ(folded.find("show printer setup dialog"), std::string::npos);
  EXPECT_EQ(folded.find("(no description)"), std::string::npos);
  for (const CommandInfo& info : kCommands) EXPECT_NE(folded.find(info.name), std::string::npos);
  std::size_t start = 0;
  while (start < usage.size()) {
    const std::size_t end = usage.find('\n', start);
    EXPECT_LE(end - start, 79u) << usage.substr(start, end - start);
    start = end + 1;
  }
}

TEST(CliFailure, EachOutcomeSaysWhyInOneLine) {
  EXPECT_EQ(FailureText({ReportOutcome::kNotOpened, 2}, "The system cannot find\r\nthe file specified.\r\n"),
            "cannot open the report: The system cannot find the file specified.");
  EXPECT_EQ(FailureText({ReportOutcome::kNotOpened, 2}, ""), "cannot open the report");
  for (ReportOutcome outcome : {ReportOutcome::kNoPrinter, ReportOutcome::kSpoolerFailed, ReportOutcome::kCancelled}) {
    const std::string text = FailureText({outcome, 0}, "");
    EXPECT_FALSE(text.empty());
    EXPECT_EQ(text.find('\n'), std::string::npos);
  }
  ReportResult refused{ReportOutcome::kSpoolerFailed, 1722, "EndDoc", 0};
  refused.kept = true;
  EXPECT_EQ(FailureText(refused, ""),
            "not printed: the spooler refused it (EndDoc returned 0, error 1722), and the document was dropped; "
            "the file was kept");
  EXPECT_EQ(FailureText({ReportOutcome::kSpoolerFailed, kSharingViolation, "StartDoc", 0}, ""),
            "not printed: the spooler was busy with another document (StartDoc returned 0, error 32), and the "
            "document was dropped");
  EXPECT_EQ(FailureText({ReportOutcome::kSpoolerFailed, kTurnTimedOut, "StartDoc", 0}, ""),
            "not printed: another process of this Wine prefix kept its turn to spool for 120 s (StartDoc returned 0, "
            "error 1460), and the document was dropped");
  EXPECT_EQ(FailureText({ReportOutcome::kIsTraceLog}, ""), "not printed: it is the trace log");
  EXPECT_EQ(FailureText({ReportOutcome::kNoPrinter}, "", "No Such"),
            "not printed: the printer \"No Such\" cannot be opened (quillet-print --list-printers lists the printers)");
  EXPECT_EQ(OutputFailureText(u"x.ps", "Access is denied.\r\n", true),
            "not printed: cannot write x.ps: Access is denied.; the file was kept");
  ReportResult cut;
  cut.lines_cut = 143;
  cut.first_column_lost = 49;
  EXPECT_EQ(CutLinesWarning(cut), "143 lines cut at column 49; it does not fit the page even at 4 points");
  cut.fits_at = 15;
  EXPECT_EQ(CutLinesWarning(cut), "143 lines cut at column 49; -pitch=fit would print it at 7.5 points");
  cut.fits_landscape = true;
  EXPECT_EQ(CutLinesWarning(cut), "143 lines cut at column 49; -orientation=Landscape would print it whole at this size");
  EXPECT_EQ(CutLinesWarning({}), "");
  ReportResult fit;
  fit.fit_half_points = 17;
  fit.fit_columns = 132;
  EXPECT_EQ(FitText(fit), "-pitch=fit: 8.5 points for 132 columns");
  fit.fit_lines = 66;
  EXPECT_EQ(FitText(fit), "-pitch=fit: 8.5 points for 132 columns and 66 lines");
  ReportResult none{ReportOutcome::kNoPageSelected};
  none.pages = 5;
  EXPECT_EQ(FailureText(none, "", "", "--pages=7-9"), "not printed: --pages=7-9 selects none of its 5 pages");
  EXPECT_EQ(ProgressLine(u"report.txt", 12), u"report.txt: page 12");
  ReportResult paper;
  EXPECT_EQ(PaperWarning(paper, ""), "");
  paper.paper_asked_width = paper.paper_asked_length = 1270;
  paper.paper_given_width = 2794;
  paper.paper_given_length = 3556;
  EXPECT_EQ(PaperWarning(paper, ""),
            "warning: printed on 279.4 x 355.6 mm paper: the printer does not give the 127.0 x 127.0 mm asked");
  EXPECT_EQ(PaperWarning(paper, "Square"),
            "warning: printed on 279.4 x 355.6 mm paper: the printer does not give Square (127.0 x 127.0 mm)");
}

TEST(CliWarnings, OptionsTheLibraryIgnoresOrReadsOtherwise) {
  SortOptionTable();
  const auto warning = [](char lead, std::string text, const char* file = nullptr) {
    const std::size_t eq = text.find('=');
    const std::string value = eq == std::string::npos ? "" : text.substr(eq + 1);
    const OptionSeen seen{lead, text.c_str(), FindOption(text.c_str()), eq == std::string::npos ? nullptr : value.c_str(),
                          file};
    return OptionWarning(seen);
  };
  EXPECT_EQ(warning('-', "Copies=2"), "-Copies=2: no such option; option names are lower case");
  EXPECT_EQ(warning('-', "Copies=2", "job.cfg"), "job.cfg: -Copies=2: no such option; option names are lower case");
  EXPECT_EQ(warning('/', "colour"), "/colour: no such option");
  EXPECT_EQ(warning('-', "cop=2"), "-cop=2: an abbreviation takes no value; write -copies=2");
  EXPECT_EQ(warning('-', "pri=x"),
            "-pri=x: an abbreviation takes no value; write the whole name (-printer_ctl, -printer_id, -printer_name, "
            "-priority)");
  EXPECT_EQ(warning('-', "orientation=Landscpe"),
            "-orientation=Landscpe: neither Landscape nor Portrait; the report prints in portrait");
  EXPECT_EQ(warning('-', "orientation"),
            "-orientation: neither Landscape nor Portrait; the report prints in portrait");
  EXPECT_EQ(warning('-', "pitch=big"), "-pitch=big: neither a number nor fit; the printer's own font size is used");
  // Applied as written, or a note in a configuration file: nothing to say.
  for (const char* fine : {"copies=2", "cop", "orientation=PORTRAIT", "pitch=FIT", "pitch= -9", "pitch=10pt"})
    EXPECT_EQ(warning('-', fine), "") << fine;
  EXPECT_EQ(warning('#', " a note", "job.cfg"), "");
  EXPECT_EQ(warning(';', "Copies=2", "job.cfg"), "");
}

}  // namespace
}  // namespace quillet::cli
