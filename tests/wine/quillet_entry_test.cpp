// The print entry as the Java client calls it: the JNI call sequence, the
// string and reference discipline, and the argument walk seen in the trace log.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/fake_jni.h"
#include "support/quillet_dll.h"
#include "support/window_answerer.h"

namespace quillet::test {
namespace {

using Calls = std::vector<std::string>;

std::string TempPath(const char* name) {
  char dir[MAX_PATH] = {};
  GetTempPathA(sizeof dir, dir);
  return std::string(dir) + name;
}

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// The calls one string element of an array makes, around what it is used for.
Calls ElementCalls(int index, const std::string& text) {
  return {"GetObjectArrayElement " + std::to_string(index), "GetStringUTFChars " + text,
          "ReleaseStringUTFChars " + text, "DeleteLocalRef " + text};
}

class QuilletEntry : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dll_.ok()); }

  jboolean Call(const std::vector<const char*>& args) {
    return dll_.quillet(jni_.env(), nullptr, jni_.Array(args));
  }
  void ExpectCleanDiscipline() {
    EXPECT_TRUE(jni_.faults().empty()) << jni_.faults().front();
    EXPECT_EQ(jni_.outstanding_chars(), 0);
    EXPECT_LE(jni_.max_live_elements(), 1);
  }

  QuilletDll dll_;
  FakeJni jni_;
  WindowAnswerer answerer_;  // no box may block a test
};

TEST_F(QuilletEntry, EmptyListReadsOnlyTheLength) {
  EXPECT_EQ(Call({}), JNI_TRUE);
  EXPECT_EQ(jni_.calls(), Calls{"GetArrayLength"});
}

TEST_F(QuilletEntry, NullArrayAndNullElementsAreSkipped) {
  EXPECT_EQ(dll_.quillet(jni_.env(), nullptr, nullptr), JNI_TRUE);
  EXPECT_TRUE(jni_.calls().empty());

  EXPECT_EQ(Call({nullptr, "-copies=2", nullptr}), JNI_TRUE);
  Calls expected = {"GetArrayLength", "GetObjectArrayElement 0"};
  for (const std::string& c : ElementCalls(1, "-copies=2")) expected.push_back(c);
  expected.push_back("GetObjectArrayElement 2");
  EXPECT_EQ(jni_.calls(), expected);
  ExpectCleanDiscipline();
}

TEST_F(QuilletEntry, EachElementIsTakenUsedAndGivenBackBeforeTheNext) {
  const std::string log = TempPath("quillet-entry-seq.log");
  const std::string log_option = "-log=" + log;
  const std::string missing = TempPath("quillet-no-such-report.txt");
  std::vector<const char*> args = {log_option.c_str(), "/copies=2", missing.c_str(), "-ruler"};
  EXPECT_EQ(Call(args), JNI_TRUE);

  Calls expected = {"GetArrayLength"};
  for (size_t i = 0; i < args.size(); ++i)
    for (const std::string& c : ElementCalls(static_cast<int>(i), args[i])) expected.push_back(c);
  EXPECT_EQ(jni_.calls(), expected);
  ExpectCleanDiscipline();
  EXPECT_EQ(jni_.max_live_elements(), 1);

  // The log option switched tracing on; the later arguments are traced in order,
  // and the missing report fails to open without reaching the printer.
  const std::string trace = Slurp(log);
  EXPECT_NE(trace.find("argv[1] = [/copies=2]"), std::string::npos) << trace;
  EXPECT_NE(trace.find("Parse_Arg(copies=2)"), std::string::npos) << trace;
  EXPECT_NE(trace.find("argv[2] = [" + missing + "]"), std::string::npos) << trace;
  EXPECT_NE(trace.find("lopen(" + missing + ") failed because of error 2"), std::string::npos) << trace;
  EXPECT_NE(trace.find("argv[3] = [-ruler]"), std::string::npos) << trace;
  EXPECT_EQ(trace.find("StartDoc"), std::string::npos) << trace;
}

TEST_F(QuilletEntry, ArgumentsWithPercentSignsAndQuotesAreTracedUnchanged) {
  const std::string log = TempPath("quillet-entry-pct.log");
  const std::string log_option = "-log=" + log;
  EXPECT_EQ(Call({log_option.c_str(), "-font=50%s%n", "\"day.txt"}), JNI_TRUE);
  const std::string trace = Slurp(log);
  EXPECT_NE(trace.find("argv[1] = [-font=50%s%n]"), std::string::npos) << trace;
  // A quoted report name loses its quote and last character: "day.txt names day.tx.
  EXPECT_NE(trace.find("lopen(day.tx) failed"), std::string::npos) << trace;
  ExpectCleanDiscipline();
}

TEST_F(QuilletEntry, ScratchDispositionRunsEvenWhenTheReportCouldNotBeOpened) {
  const std::string config = TempPath("quillet-scratch.cfg");
  { std::ofstream(config) << "-interactive=none\n"; }
  const std::string config_option = "-config=" + config;
  const std::string missing = TempPath("quillet-scratch-missing.txt");
  EXPECT_EQ(Call({"-disposition=scratch", config_option.c_str(), missing.c_str()}), JNI_TRUE);
  EXPECT_EQ(GetFileAttributesA(config.c_str()), INVALID_FILE_ATTRIBUTES);  // removed with the report
  ExpectCleanDiscipline();
}

}  // namespace
}  // namespace quillet::test
