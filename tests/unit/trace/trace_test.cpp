#include "trace/trace.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace quillet {
namespace {

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

bool Exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

class TraceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char templ[] = "/tmp/quillet-trace-XXXXXX";
    dir_ = mkdtemp(templ);
    unsetenv("QUILLET_DEBUG");
    ResetTraceForTesting();
  }
  void TearDown() override {
    unsetenv("QUILLET_DEBUG");
    ResetTraceForTesting();
    std::filesystem::remove_all(dir_);
  }
  std::string Path(const char* name) const { return dir_ + "/" + name; }
  std::string dir_;
};

TEST_F(TraceTest, OffWithoutVariableWritesNothingAndNeverFormats) {
  Trace("argc = [%d]\n", 3);
  // While off the format is not evaluated: a bad pointer for %s is never read.
  Trace("%s\n", reinterpret_cast<const char*>(1));
  // The variable is read once: setting it later does not turn tracing on.
  setenv("QUILLET_DEBUG", Path("late.log").c_str(), 1);
  Trace("still off\n");
  EXPECT_FALSE(Exists(Path("late.log")));
}

TEST_F(TraceTest, VariableFileIsEmptiedOnceAndKeepsEveryMessageFlushed) {
  const std::string log = Path("debug.log");
  { std::ofstream(log) << "old content\n"; }
  setenv("QUILLET_DEBUG", log.c_str(), 1);
  Trace("argc = [%d]\n", 2);
  EXPECT_EQ(Slurp(log), "argc = [2]\n");  // flushed at once, old content gone
  Trace("argv[%d] = [%s]\n", 0, "-copies=50%");
  EXPECT_EQ(Slurp(log), "argc = [2]\nargv[0] = [-copies=50%]\n");  // '%' in arguments unchanged
}

TEST_F(TraceTest, UnopenableVariableFileTurnsTracingOffUntilALogOption) {
  setenv("QUILLET_DEBUG", Path("no/such/dir/debug.log").c_str(), 1);
  Trace("lost\n");
  const std::string log = Path("opened.log");
  OpenTraceFile(log.c_str());
  Trace("kept %d\n", 1);
  EXPECT_EQ(Slurp(log), "kept 1\n");
}

TEST_F(TraceTest, LogOptionSwitchesFilesAndAFailedSwitchStopsTracing) {
  const std::string first = Path("first.log");
  const std::string second = Path("second.log");
  OpenTraceFile(first.c_str());
  Trace("one\n");
  OpenTraceFile(second.c_str());
  Trace("two\n");
  EXPECT_EQ(Slurp(first), "one\n");  // the earlier file keeps what it got
  EXPECT_EQ(Slurp(second), "two\n");

  OpenTraceFile(Path("missing/x.log").c_str());
  Trace("three\n");
  EXPECT_EQ(Slurp(first), "one\n");
  EXPECT_EQ(Slurp(second), "two\n");
}

TEST_F(TraceTest, SwitchingFilesClosesTheOneBefore) {
  const auto open_files = [] { return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}); };
  setenv("QUILLET_DEBUG", Path("env.log").c_str(), 1);
  Trace("first\n");
  const auto before = open_files();
  for (int i = 0; i < 50; ++i) {
    OpenTraceFile(Path(("log" + std::to_string(i)).c_str()).c_str());
    Trace("%d\n", i);
  }
  EXPECT_EQ(open_files(), before);
  EXPECT_EQ(Slurp(Path("log49")), "49\n");
}

TEST_F(TraceTest, ReopeningTheCurrentFileStartsItAgain) {
  const std::string log = Path("same.log");
  OpenTraceFile(log.c_str());
  Trace("before\n");
  OpenTraceFile(log.c_str());
  Trace("after\n");
  EXPECT_EQ(Slurp(log), "after\n");
}

}  // namespace
}  // namespace quillet
