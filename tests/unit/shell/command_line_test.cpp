#include "shell/command_line.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace quillet {
namespace {

struct SplitCase {
  const char* name;
  std::string text;
  bool wait;
  std::string file;
  std::optional<std::string> parameters;
};

void PrintTo(const SplitCase& c, std::ostream* os) { *os << c.name; }

class SplitCommandLineTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitCommandLineTest, Splits) {
  const SplitCase& c = GetParam();
  const CommandLine got = SplitCommandLine(c.text);
  EXPECT_EQ(got.wait, c.wait) << "[" << c.text << "]";
  EXPECT_EQ(got.file, c.file) << "[" << c.text << "]";
  EXPECT_EQ(got.parameters, c.parameters) << "[" << c.text << "]";
}

const std::optional<std::string> kNone;

std::string CaseName(const ::testing::TestParamInfo<SplitCase>& info) { return info.param.name; }

INSTANTIATE_TEST_SUITE_P(
    Switches, SplitCommandLineTest,
    ::testing::Values(
        SplitCase{"PlainNoWait", "notepad.exe notes.txt", false, "notepad.exe", "notes.txt"},
        SplitCase{"UpperW", "/W wordpad.exe letter.doc", true, "wordpad.exe", "letter.doc"},
        SplitCase{"LowerW", "/w wordpad.exe letter.doc", true, "wordpad.exe", "letter.doc"},
        SplitCase{"WaitWord", "/Wait wordpad.exe letter.doc", true, "wordpad.exe", "letter.doc"},
        SplitCase{"LowerWait", "/wait tool.exe", true, "tool.exe", kNone},
        SplitCase{"OtherSwitchSkipped", "/X tool.exe a", false, "tool.exe", "a"},
        SplitCase{"WaitOnlyFromSecondChar", "/xW tool.exe", false, "tool.exe", kNone},
        SplitCase{"SpacesAroundSwitches", "  /x   /W tool.exe a b", true, "tool.exe", "a b"},
        SplitCase{"WaitAfterOtherSwitch", "/X /w tool.exe", true, "tool.exe", kNone},
        SplitCase{"LeadingSpacesNoSwitch", "   tool.exe a", false, "tool.exe", "a"},
        SplitCase{"LoneSlash", "/ tool.exe", false, "tool.exe", kNone},
        SplitCase{"SwitchRunsToSpace", "/Wtool.exe a", true, "a", kNone},
        SplitCase{"SlashAfterFileIsParameter", "tool.exe /W x", false, "tool.exe", "/W x"},
        SplitCase{"SwitchesOnly", "/W /X", true, "", kNone},
        SplitCase{"SwitchesAndSpaces", " /w   ", true, "", kNone},
        SplitCase{"Empty", "", false, "", kNone},
        SplitCase{"SpacesOnly", "    ", false, "", kNone}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    Quotes, SplitCommandLineTest,
    ::testing::Values(
        SplitCase{"QuotedFileThenParams", "\"C:\\My Files\\a b.exe\" -n", false, "\"C:\\My Files\\a b.exe\"", "-n"},
        SplitCase{"QuotedFileEndsLine", "\"C:\\a b.txt\"", false, "\"C:\\a b.txt\"", kNone},
        SplitCase{"QuoteClosesMidToken", "abc\"d e\"f g", false, "abc\"d e\"", " g"},
        SplitCase{"CharAfterQuoteDropped", "\"a\"xparams", false, "\"a\"", "params"},
        SplitCase{"OnlyDroppedChar", "\"a\"x", false, "\"a\"", kNone},
        SplitCase{"UnclosedQuote", "\"a b c", false, "\"a b c", kNone},
        SplitCase{"LoneQuote", "\"", false, "\"", kNone},
        SplitCase{"EmptyQuotes", "\"\" x", false, "\"\"", "x"},
        SplitCase{"QuotedAfterWait", "/W \"C:\\p q\\t.exe\" 1 2", true, "\"C:\\p q\\t.exe\"", "1 2"}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    Parameters, SplitCommandLineTest,
    ::testing::Values(
        SplitCase{"TrailingSpacesOnly", "tool.exe    ", false, "tool.exe", kNone},
        SplitCase{"LeadingSpacesKept", "tool.exe   x", false, "tool.exe", "  x"},
        SplitCase{"TrailingSpacesKept", "tool.exe x  ", false, "tool.exe", "x  "},
        SplitCase{"InnerSpacesKept", "tool.exe a   b", false, "tool.exe", "a   b"},
        SplitCase{"TabIsOrdinary", "tool.exe\ta b", false, "tool.exe\ta", "b"},
        SplitCase{"TabOnlyParameters", "tool.exe \t", false, "tool.exe", "\t"},
        SplitCase{"TabBeforeSwitch", "\t/W tool.exe", false, "\t/W", "tool.exe"},
        SplitCase{"QuotesInParameters", "tool.exe \"a b\" c", false, "tool.exe", "\"a b\" c"}),
    CaseName);

TEST(SplitCommandLine, LongCommandLineKeptWhole) {
  // Far past a kilobyte: nothing is cut and nothing is lost.
  const std::string file = "C:\\" + std::string(1500, 'f') + ".exe";
  const std::string params = std::string(3000, 'p') + "   end";
  const CommandLine got = SplitCommandLine("/W " + file + " " + params);
  EXPECT_TRUE(got.wait);
  EXPECT_EQ(got.file, file);
  EXPECT_EQ(got.parameters, params);
}

TEST(SplitCommandLine, EachCommandStartsAfresh) {
  // Split one after another as shellexec does: a wait or an open quote in one
  // command has no effect on the next.
  const std::vector<std::string> commands = {"/W first.exe", "\"open quote", "second.exe a", "third.exe"};
  std::vector<CommandLine> got;
  for (const std::string& c : commands) got.push_back(SplitCommandLine(c));
  EXPECT_TRUE(got[0].wait);
  EXPECT_FALSE(got[1].wait);
  EXPECT_EQ(got[1].file, "\"open quote");
  EXPECT_FALSE(got[2].wait);
  EXPECT_EQ(got[2].file, "second.exe");
  EXPECT_EQ(got[2].parameters, "a");
  EXPECT_EQ(got[3].file, "third.exe");
}

TEST(IsNullVerb, ComparesTheFirstEightBytes) {
  struct Row {
    const char* verb;
    bool null_verb;
  } rows[] = {
      {"**NULL**", true}, {"**NULL**open", true}, {"**NULL", false}, {"**null**", false},
      {"open", false},    {"", false},            {" **NULL**", false},
  };
  for (const Row& r : rows) EXPECT_EQ(IsNullVerb(r.verb), r.null_verb) << "[" << r.verb << "]";
}

}  // namespace
}  // namespace quillet
