// The print entry as the Java client calls it: the JNI call sequence, the
// string and reference discipline, and the argument walk seen in the trace log.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "doc_NativeWindows.h"
#include "platform/message_box_win32.h"
#include "print/print_lock.h"
#include "support/fake_jni.h"
#include "support/quillet_dll.h"
#include "support/window_answerer.h"
#include "trace/trace.h"

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
  DeleteFileA(log.c_str());  // a log that exists would have the later arguments looked at
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

TEST_F(QuilletEntry, ScratchDispositionKeepsWhatWasNotPrinted) {
  const std::string config = TempPath("quillet-scratch.cfg");
  { std::ofstream(config) << "-interactive=none\n"; }
  const std::string config_option = "-config=" + config;
  const std::string missing = TempPath("quillet-scratch-missing.txt");
  const std::string printed = TempPath("quillet-scratch-printed.txt");
  { std::ofstream(printed) << "x\n"; }
  EXPECT_EQ(Call({"-disposition=scratch", config_option.c_str(), missing.c_str(), "-printer_id=Null", printed.c_str()}),
            JNI_TRUE);
  EXPECT_EQ(GetFileAttributesA(printed.c_str()), INVALID_FILE_ATTRIBUTES);
  // Kept with the report that did not print, though a later one of the call did.
  EXPECT_NE(GetFileAttributesA(config.c_str()), INVALID_FILE_ATTRIBUTES);
  DeleteFileA(config.c_str());
  ExpectCleanDiscipline();
}

// A -log never empties a report or configuration file of its call, before or
// after it; and the trace log is never read as a configuration file.
TEST_F(QuilletEntry, NothingTheCallReadsIsEmptiedOrFedItsOwnLines) {
  const std::string report = TempPath("quillet-entry-keep.txt");
  const std::string config = TempPath("quillet-entry-keep.cfg");
  const std::string log = TempPath("quillet-entry-keep.log");
  std::string lines;
  for (int i = 0; i < 100; ++i) lines += "LINE " + std::to_string(i) + "\n";
  { std::ofstream(report, std::ios::binary) << lines; }
  { std::ofstream(config, std::ios::binary) << "-interactive=none\n"; }
  const std::string log_option = "-log=" + log, report_log = "-log=" + report, config_log = "-log=" + config,
                    config_option = "-config=" + config, log_config = "-config=" + log;
  EXPECT_EQ(Call({log_option.c_str(), report_log.c_str(), "-printer_id=Null", config_option.c_str(),
                  config_log.c_str(), report.c_str()}),
            JNI_TRUE);
  EXPECT_EQ(Slurp(report), lines);
  EXPECT_EQ(Slurp(config), "-interactive=none\n");
  const std::string refused = " is a report or configuration file of this call: not opened as the trace log";
  EXPECT_NE(Slurp(log).find(report + refused), std::string::npos) << Slurp(log);
  EXPECT_NE(Slurp(log).find(config + refused), std::string::npos) << Slurp(log);
  // The log of an earlier call: the call returns, and the log holds its lines once.
  EXPECT_EQ(Call({log_config.c_str(), "-ruler"}), JNI_TRUE);
  const std::string trace = Slurp(log);
  EXPECT_NE(trace.find(log + " is the trace log: not read as a configuration file"), std::string::npos) << trace;
  EXPECT_EQ(trace.find("Parse_Arg(ruler)"), trace.rfind("Parse_Arg(ruler)"));
  ExpectCleanDiscipline();
  Call({"-log="});  // closes the log
  for (const std::string& file : {report, config, log}) DeleteFileA(file.c_str());
}

// Java's U+0000 arrives as C0 80, or as a zero byte that ends the bytes early
// (Avian). Cut at it, a name would be another file's.
TEST_F(QuilletEntry, TextsHoldingANulCharacterNameNothing) {
  const std::string victim = TempPath("quillet-victim.txt");
  const std::string log = TempPath("quillet-entry-nul.log");
  const std::string log_option = "-log=" + log;
  const std::string report = victim + "\xC0\x80.tmp";
  const std::string other_log = "-log=" + TempPath("quillet-nul-other.log") + "\xC0\x80x";
  for (bool raw_zero : {false, true}) {
    { std::ofstream(victim) << "NEVER PRINTED\n"; }
    jni_.RawZero(raw_zero);
    EXPECT_EQ(Call({log_option.c_str(), "-printer_id=Null", "-interactive=none", other_log.c_str(),
                    "-disposition=scratch", report.c_str()}),
              JNI_TRUE);
    EXPECT_NE(GetFileAttributesA(victim.c_str()), INVALID_FILE_ATTRIBUTES) << "a file the caller never named";
    const std::string trace = Slurp(log);  // the option with a NUL opened no other log
    EXPECT_NE(trace.find("argv[3] holds a NUL character: it names nothing"), std::string::npos) << trace;
    EXPECT_NE(trace.find("argv[5] holds a NUL character: it names nothing"), std::string::npos) << trace;
    EXPECT_EQ(trace.find("NEVER PRINTED"), std::string::npos) << trace;
    ExpectCleanDiscipline();
  }
  DeleteFileA(victim.c_str());
}

// Where nobody could answer a box (QUILLET_NO_MESSAGE_BOXES set, or a window
// station nobody sees) none is shown: its text goes to the trace, and the box
// of a printer that cannot be opened answers Cancel at once.
TEST_F(QuilletEntry, NoBoxWhereNobodyCouldAnswerIt) {
  const std::string log = TempPath("quillet-entry-nobox.log");
  const std::string log_option = "-log=" + log;
  const std::string report = TempPath("quillet-entry-nobox.txt");
  { std::ofstream(report) << "x\n"; }
  const std::vector<const char*> args = {log_option.c_str(), "-interactive=none", "-printer_id=No Such Printer",
                                         report.c_str()};
  SetEnvironmentVariableA("QUILLET_NO_MESSAGE_BOXES", "");
  EXPECT_EQ(Call(args), JNI_TRUE);  // through the DLL
  SetEnvironmentVariableA("QUILLET_NO_MESSAGE_BOXES", nullptr);
  const std::string line = "Quillet - Can't Open Printer: ";
  EXPECT_NE(Slurp(log).find("Message box not shown (QUILLET_NO_MESSAGE_BOXES is set): " + line), std::string::npos)
      << Slurp(log);
  const WindowStationQuery before = SetWindowStationQuery([] { return WindowStation::kNotVisible; });
  EXPECT_EQ(Java_doc_NativeWindows_quillet(jni_.env(), nullptr, jni_.Array(args)), JNI_TRUE);
  SetWindowStationQuery(before);
  ResetTraceForTesting();
  EXPECT_NE(Slurp(log).find("Message box not shown (the window station is not visible): " + line),
            std::string::npos)
      << Slurp(log);
  EXPECT_TRUE(answerer_.seen().empty()) << answerer_.seen().front().caption;
  DeleteFileA(report.c_str());
}

// A window of the printing thread that calls in while a report spools (the
// abort procedure dispatches its messages) starts no print call of its own.
TEST_F(QuilletEntry, PrintCallsFromInsideAPrintCallDoNothing) {
  const std::string log = TempPath("quillet-entry-nested.log");
  ResetTraceForTesting();
  OpenTraceFile(log.c_str());
  {
    const auto printing = LockPrinting();  // as a print call under way on this thread holds it
    EXPECT_EQ(Java_doc_NativeWindows_quillet(jni_.env(), nullptr, jni_.Array({"-copies=2"})), JNI_TRUE);
    EXPECT_EQ(Java_doc_NativeWindows_quillet_1setup(jni_.env(), nullptr), JNI_FALSE);
    EXPECT_EQ(FakeJni::Text(Java_doc_NativeWindows_get_1printer_1name(jni_.env(), nullptr)), "PDF");
  }
  ResetTraceForTesting();
  const std::string trace = Slurp(log);
  EXPECT_NE(trace.find("Java_doc_NativeWindows_quillet() called while this thread prints, ignored"),
            std::string::npos)
      << trace;
  EXPECT_NE(trace.find("Java_doc_NativeWindows_quillet_1setup() called while this thread prints, ignored"),
            std::string::npos);
  EXPECT_EQ(trace.find("argc"), std::string::npos) << "a print call ran inside the one under way";
  EXPECT_TRUE(answerer_.seen().empty()) << "the setup dialog was shown";
  EXPECT_EQ(jni_.calls(), Calls{"NewStringUTF PDF"});
}

TEST_F(QuilletEntry, FailedTakeGivesBackAndReturnsAtOnce) {
  jni_.FailTake(1);
  EXPECT_EQ(Call({"-copies=2", "x.txt", "-ruler"}), JNI_FALSE);
  Calls expected = {"GetArrayLength"};
  for (const std::string& c : ElementCalls(0, "-copies=2")) expected.push_back(c);
  expected.insert(expected.end(), {"GetObjectArrayElement 1", "GetStringUTFChars x.txt (failed)", "DeleteLocalRef x.txt"});
  EXPECT_EQ(jni_.calls(), expected);
  ExpectCleanDiscipline();
}

TEST_F(QuilletEntry, LogOptionsCloseTheTraceFileBefore) {
  const std::string first = TempPath("quillet-entry-first.log");
  const std::string second = TempPath("quillet-entry-second.log");
  const std::string first_option = "-log=" + first, second_option = "-log=" + second;
  EXPECT_EQ(Call({first_option.c_str(), second_option.c_str()}), JNI_TRUE);
  // Nothing holds the first file open any more.
  EXPECT_TRUE(DeleteFileA(first.c_str())) << GetLastError();
  EXPECT_EQ(Call({"-log="}), JNI_TRUE);  // a log file that cannot be opened still closes the one before
  EXPECT_TRUE(DeleteFileA(second.c_str())) << GetLastError();
}

// Report paths beyond 7-bit ASCII, as Java hands them over (modified UTF-8):
// one the ANSI code page can spell, and one it cannot.
TEST_F(QuilletEntry, ReportPathsBeyondAsciiOpenAndAreScratched) {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  const struct {
    std::wstring folder;
    std::string java;  // the folder's name as Java sends it
  } cases[] = {{L"quillet-Zo\u00EB", "quillet-Zo\xC3\xAB"}, {L"quillet-\u03A9mega", "quillet-\xCE\xA9mega"}};
  const std::string log = TempPath("quillet-entry-unicode.log");
  const std::string log_option = "-log=" + log;
  for (const auto& c : cases) {
    const std::wstring folder = std::wstring(temp) + c.folder;
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring report = folder + L"\\report.txt";
    HANDLE file = CreateFileW(report.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, "UNICODE PATH\n", 13, &written, nullptr);
    CloseHandle(file);

    char ansi_temp[MAX_PATH] = {};
    GetTempPathA(sizeof ansi_temp, ansi_temp);  // ASCII here
    const std::string path = std::string(ansi_temp) + c.java + "\\report.txt";
    // A configuration file in the same folder, named in an option: read by its
    // name as Java gave it, and scratched with the report.
    const std::wstring config = folder + L"\\job.cfg";
    file = CreateFileW(config.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    WriteFile(file, "-printer_id=Null\n", 17, &written, nullptr);
    CloseHandle(file);
    const std::string config_option = "-config=" + std::string(ansi_temp) + c.java + "\\job.cfg";
    EXPECT_EQ(Call({log_option.c_str(), config_option.c_str(), "-interactive=none", "-disposition=scratch",
                    path.c_str()}),
              JNI_TRUE);
    const std::string trace = Slurp(log);
    EXPECT_EQ(trace.find("failed because of error"), std::string::npos) << trace;
    EXPECT_NE(trace.find("Parse_Arg(printer_id=Null)"), std::string::npos) << trace;
    EXPECT_NE(trace.find("GetLine returned UNICODE PATH"), std::string::npos) << trace;
    EXPECT_EQ(GetFileAttributesW(report.c_str()), INVALID_FILE_ATTRIBUTES) << "scratched by its wide name";
    EXPECT_EQ(GetFileAttributesW(config.c_str()), INVALID_FILE_ATTRIBUTES) << "scratched by its wide name";
    RemoveDirectoryW(folder.c_str());
  }
  ExpectCleanDiscipline();
}

// The print methods take turns: a printer name asked for while a report waits
// on a box is answered once that report is done.
TEST(QuilletEntryThreads, PrintingCallsTakeTurns) {
  QuilletDll dll;
  ASSERT_TRUE(dll.ok());
  std::atomic<bool> release{false};
  WindowAnswerer answerer([&](const std::string& caption, const std::string&) {
    return caption == "Quillet - Can't Open Printer" && release ? IDCANCEL : 0;
  });
  const std::string report = TempPath("quillet-turns.txt");
  { std::ofstream(report) << "x\n"; }

  std::thread printing([&] {
    FakeJni jni;
    dll.quillet(jni.env(), nullptr, jni.Array({"-printer_id=No Such Printer", report.c_str()}));
  });
  for (int i = 0; i < 500 && FindWindowA(nullptr, "Quillet - Can't Open Printer") == nullptr; ++i) Sleep(10);
  ASSERT_NE(FindWindowA(nullptr, "Quillet - Can't Open Printer"), nullptr);

  std::atomic<bool> answered{false};
  std::string name;
  std::thread asking([&] {
    FakeJni jni;
    name = FakeJni::Text(dll.get_printer_name(jni.env(), nullptr));
    answered = true;
  });
  Sleep(300);
  EXPECT_FALSE(answered) << "the printer name was read while a report was being printed";
  release = true;
  printing.join();
  asking.join();
  EXPECT_FALSE(name.empty());
  EXPECT_NE(name.rfind("**ERROR**", 0), 0u);

  // Two threads printing and asking at once all come through.
  std::vector<std::thread> threads;
  std::atomic<int> done{0};
  for (int t = 0; t < 2; ++t) {
    threads.emplace_back([&] {
      FakeJni jni;
      for (int round = 0; round < 3; ++round) {
        if (dll.quillet(jni.env(), nullptr, jni.Array({"-printer_id=Null", "-interactive=none", report.c_str()})) &&
            FakeJni::Text(dll.get_printer_name(jni.env(), nullptr)) == "Null")
          ++done;
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(done, 6);
  DeleteFileA(report.c_str());
}

}  // namespace
}  // namespace quillet::test
