// launch_document and shellexec with real processes under Wine. The helper
// sleep_then_write.exe (next to this program) sleeps, then writes a file, so a
// file that exists when a call returns proves that the call waited.
#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "shell/shell_services.h"
#include "support/fake_jni.h"
#include "support/quillet_dll.h"
#include "support/window_answerer.h"

namespace quillet {
namespace {

using Calls = std::vector<std::string>;

std::string BinFolder() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string s = path;
  return s.substr(0, s.rfind('\\') + 1);
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Polls for a file that a process started without waiting will write.
bool WaitForFile(const std::string& path, DWORD timeout_ms = 20000) {
  const DWORD start = GetTickCount();
  while (!Exists(path)) {
    if (GetTickCount() - start > timeout_ms) return false;
    Sleep(20);
  }
  return true;
}

void RemoveFolder(const std::string& folder) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = found.cFileName;
      if (name == "." || name == "..") continue;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        RemoveFolder(folder + name + "\\");
      else
        DeleteFileA((folder + name).c_str());
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  RemoveDirectoryA(folder.c_str());
}

// A command line that runs the helper: it sleeps `ms`, then writes `out`.
std::string Helper(int ms, const std::string& out, const std::string& more = "") {
  std::string program = BinFolder() + "sleep_then_write.exe";
  if (program.find(' ') != std::string::npos) program = "\"" + program + "\"";
  std::string line = program + " " + std::to_string(ms) + " " + out;
  if (!more.empty()) line += " " + more;
  return line;
}

// ---- the shell request, without launching ----

TEST(ShellRequest, FilledFromTheSplitCommand) {
  struct Row {
    const char* verb;
    const char* command;
    ULONG mask;
    const char* file;
    const char* parameters;  // nullptr: absent
  } rows[] = {
      {nullptr, "notepad.exe notes.txt", 0, "notepad.exe", "notes.txt"},
      {"open", "/W wordpad.exe letter.doc", SEE_MASK_NOCLOSEPROCESS, "wordpad.exe", "letter.doc"},
      {"", "\"C:\\a b\\t.exe\"", 0, "\"C:\\a b\\t.exe\"", nullptr},
      {"print", "tool.exe    ", 0, "tool.exe", nullptr},
      {nullptr, " /x /w", SEE_MASK_NOCLOSEPROCESS, "", nullptr},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.command);
    const CommandLine command = SplitCommandLine(r.command);
    SHELLEXECUTEINFOA request;
    std::memset(&request, 0xCC, sizeof request);  // every member must be written
    FillShellRequest(request, r.verb, command);
    EXPECT_EQ(request.cbSize, sizeof(void*) == 4 ? 60u : 112u);
    EXPECT_EQ(request.fMask, r.mask);
    EXPECT_EQ(request.hwnd, nullptr);
    EXPECT_EQ(request.lpVerb, r.verb);  // the caller's bytes: nullptr, "" or a verb
    EXPECT_STREQ(request.lpFile, r.file);
    if (r.parameters == nullptr)
      EXPECT_EQ(request.lpParameters, nullptr);
    else
      EXPECT_STREQ(request.lpParameters, r.parameters);
    EXPECT_EQ(request.lpDirectory, nullptr);
    EXPECT_EQ(request.nShow, SW_SHOWNORMAL);
    EXPECT_EQ(request.hInstApp, nullptr);
    EXPECT_EQ(request.lpIDList, nullptr);
    EXPECT_EQ(request.lpClass, nullptr);
    EXPECT_EQ(request.hkeyClass, nullptr);
    EXPECT_EQ(request.dwHotKey, 0u);
    EXPECT_EQ(request.hIcon, nullptr);
    EXPECT_EQ(request.hProcess, nullptr);
  }
}

// ---- launches ----

class ShellTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dll_.ok());
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    folder_ = std::string(temp) + "quillet-shell-" + std::to_string(GetCurrentProcessId()) + "-" + info->name() + "\\";
    RemoveFolder(folder_);
    ASSERT_TRUE(CreateDirectoryA(folder_.c_str(), nullptr));
  }
  void TearDown() override { RemoveFolder(folder_); }

  std::string Out(const std::string& name) const { return folder_ + name; }

  test::QuilletDll dll_;
  test::WindowAnswerer answerer_;  // answers any error box the shell shows
  std::string folder_;
};

// launch_document(verb, command) through the DLL, with its JNI calls checked.
void LaunchDocument(const test::QuilletDll& dll, const std::string& verb, const std::string& command) {
  test::FakeJni jni;
  EXPECT_EQ(dll.launch_document(jni.env(), nullptr, jni.String(verb), jni.String(command)), JNI_TRUE);
  EXPECT_EQ(jni.calls(), (Calls{"GetStringUTFChars " + verb, "GetStringUTFChars " + command,
                                "ReleaseStringUTFChars " + verb, "DeleteLocalRef " + verb,
                                "ReleaseStringUTFChars " + command, "DeleteLocalRef " + command}));
  EXPECT_TRUE(jni.faults().empty());
  EXPECT_EQ(jni.outstanding_chars(), 0);
}

// shellexec(commands) through the DLL, with its JNI calls checked.
void ShellExec(const test::QuilletDll& dll, const std::vector<std::string>& commands) {
  test::FakeJni jni;
  std::vector<const char*> elements;
  for (const std::string& c : commands) elements.push_back(c.c_str());
  EXPECT_EQ(dll.shellexec(jni.env(), nullptr, jni.Array(elements)), JNI_TRUE);
  Calls expected = {"GetArrayLength"};
  for (size_t i = 0; i < commands.size(); ++i) {
    expected.push_back("GetObjectArrayElement " + std::to_string(i));
    expected.push_back("GetStringUTFChars " + commands[i]);
    expected.push_back("ReleaseStringUTFChars " + commands[i]);
    expected.push_back("DeleteLocalRef " + commands[i]);
  }
  EXPECT_EQ(jni.calls(), expected);
  EXPECT_TRUE(jni.faults().empty());
  EXPECT_LE(jni.max_live_elements(), 1);
  EXPECT_EQ(jni.outstanding_chars(), 0);
}

TEST_F(ShellTest, WaitSwitchReturnsAfterTheProgramHasEnded) {
  const std::string out = Out("waited.txt");
  const DWORD start = GetTickCount();
  LaunchDocument(dll_, "**NULL**", "/W " + Helper(800, out));
  EXPECT_GE(GetTickCount() - start, 700u);
  ASSERT_TRUE(Exists(out));
  EXPECT_EQ(ReadFile(out), "800 " + out + "\n");
}

TEST_F(ShellTest, WithoutWaitReturnsAtOnce) {
  const std::string out = Out("not-waited.txt");
  LaunchDocument(dll_, "**NULL**", Helper(1500, out));
  EXPECT_FALSE(Exists(out));
  EXPECT_TRUE(WaitForFile(out)) << "the program was never started";
}

TEST_F(ShellTest, VerbsAndTheVerbMarker) {
  // The marker (and anything that starts with it) gives the default verb; other
  // verbs, the empty one included, are passed on. Each launch waits, so its file
  // is there when the call returns.
  const char* verbs[] = {"**NULL**", "**NULL**x", "open", ""};
  int n = 0;
  for (const char* verb : verbs) {
    const std::string out = Out("verb" + std::to_string(n++) + ".txt");
    LaunchDocument(dll_, verb, "/w " + Helper(0, out));
    EXPECT_TRUE(Exists(out)) << "verb [" << verb << "]";
  }
}

TEST_F(ShellTest, QuotedFileWithSpacesAndParametersKeptAsWritten) {
  const std::string folder = Out("with space\\");
  ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
  const std::string program = folder + "sleep then write.exe";
  ASSERT_TRUE(CopyFileA((BinFolder() + "sleep_then_write.exe").c_str(), program.c_str(), FALSE));
  const std::string out = Out("quoted.txt");
  // The character after the closing quote is the separator; the parameters keep
  // their inner and trailing spaces.
  LaunchDocument(dll_, "open", " /x  /Wait \"" + program + "\" 0 " + out + "  a\tb  ");
  ASSERT_TRUE(Exists(out));
  EXPECT_EQ(ReadFile(out), "0 " + out + "  a\tb  \n");
}

TEST_F(ShellTest, LongCommandLineIsLaunchedWhole) {
  const std::string out = Out("long.txt");
  const std::string tail(3000, 'p');
  const std::string command = "/W " + Helper(0, out, tail);
  ASSERT_GT(command.size(), 1023u);
  LaunchDocument(dll_, "**NULL**", command);
  ASSERT_TRUE(Exists(out));
  EXPECT_EQ(ReadFile(out), "0 " + out + " " + tail + "\n");
}

TEST_F(ShellTest, FailedLaunchIsNotWaitedFor) {
  const char* failing[] = {"/W C:\\nowhere\\missing.exe x", "/W", "   ", ""};
  for (const char* command : failing) {
    EXPECT_EQ(LaunchCommand(nullptr, command), LaunchOutcome::kFailed) << command;
    LaunchDocument(dll_, "**NULL**", command);
  }
  // Whatever error boxes the shell showed were answered; none may stay open.
  for (const test::SeenWindow& w : answerer_.seen()) std::printf("shell box: [%s] %s\n", w.caption.c_str(), w.text.c_str());
}

TEST_F(ShellTest, LaunchOutcomes) {
  EXPECT_EQ(LaunchCommand(nullptr, "/W " + Helper(0, Out("a.txt"))), LaunchOutcome::kWaited);
  EXPECT_EQ(LaunchCommand("open", Helper(0, Out("b.txt"))), LaunchOutcome::kStarted);
  EXPECT_TRUE(WaitForFile(Out("b.txt")));
}

TEST_F(ShellTest, NullStringsLaunchNothing) {
  const std::string command = "/W " + Helper(0, Out("never.txt"));
  {
    test::FakeJni jni;
    EXPECT_EQ(dll_.launch_document(jni.env(), nullptr, nullptr, jni.String(command)), JNI_TRUE);
    EXPECT_EQ(jni.calls(),
              (Calls{"GetStringUTFChars " + command, "ReleaseStringUTFChars " + command, "DeleteLocalRef " + command}));
    EXPECT_TRUE(jni.faults().empty());
  }
  {
    test::FakeJni jni;
    EXPECT_EQ(dll_.launch_document(jni.env(), nullptr, jni.String("open"), nullptr), JNI_TRUE);
    EXPECT_EQ(jni.calls(), (Calls{"GetStringUTFChars open", "ReleaseStringUTFChars open", "DeleteLocalRef open"}));
  }
  {
    test::FakeJni jni;
    EXPECT_EQ(dll_.launch_document(jni.env(), nullptr, nullptr, nullptr), JNI_TRUE);
    EXPECT_TRUE(jni.calls().empty());
  }
  for (bool raw_zero : {false, true}) {
    // A command holding U+0000 (C0 80 from Java, or a zero byte from some
    // virtual machines) launches nothing: cut there, it would start what the
    // caller never asked for.
    test::FakeJni jni;
    jni.RawZero(raw_zero);
    EXPECT_EQ(dll_.launch_document(jni.env(), nullptr, jni.String("open"), jni.String(command + "\xC0\x80x")),
              JNI_TRUE);
    EXPECT_EQ(dll_.shellexec(jni.env(), nullptr, jni.Array({(command + "\xC0\x80x").c_str()})), JNI_TRUE);
    EXPECT_TRUE(jni.faults().empty());
  }
  Sleep(300);
  EXPECT_FALSE(Exists(Out("never.txt")));
}

// Programs in folders whose names go beyond 7-bit ASCII, named as Java sends
// them (modified UTF-8): one the ANSI code page can spell, one it cannot.
TEST_F(ShellTest, ProgramsInFoldersBeyondAsciiAreLaunched) {
  const struct {
    std::wstring folder;
    std::string java;
  } cases[] = {{L"B\u00FCro", "B\xC3\xBCro"}, {L"\u03A9mega", "\xCE\xA9mega"}};
  const std::string bin = BinFolder();  // ASCII here
  const std::wstring helper = std::wstring(bin.begin(), bin.end()) + L"sleep_then_write.exe";
  int n = 0;
  for (const auto& c : cases) {
    const std::wstring folder = std::wstring(folder_.begin(), folder_.end()) + c.folder;
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    ASSERT_TRUE(CopyFileW(helper.c_str(), (folder + L"\\sleep_then_write.exe").c_str(), FALSE));
    const std::string program = "\"" + folder_ + c.java + "\\sleep_then_write.exe\"";
    const std::string out = Out("launched" + std::to_string(n++) + ".txt");
    LaunchDocument(dll_, "open", "/W " + program + " 0 " + out);
    EXPECT_TRUE(Exists(out)) << c.java;
    ShellExec(dll_, {"/W " + program + " 0 " + out + "2"});
    EXPECT_TRUE(Exists(out + "2")) << c.java;
    DeleteFileW((folder + L"\\sleep_then_write.exe").c_str());
    RemoveDirectoryW(folder.c_str());
  }
}

// Counts the COM initialisations of the thread it is registered on.
class InitializeSpy : public IInitializeSpy {
 public:
  int initialized = 0;
  int uninitialized = 0;
  DWORD last_flags = 0;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_IInitializeSpy) {
      *out = this;
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE PreInitialize(DWORD flags, DWORD) override {
    last_flags = flags;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE PostInitialize(HRESULT result, DWORD, DWORD) override {
    if (SUCCEEDED(result)) ++initialized;
    return result;
  }
  HRESULT STDMETHODCALLTYPE PreUninitialize(DWORD) override {
    ++uninitialized;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE PostUninitialize(DWORD) override { return S_OK; }
};

// The shell call runs in a single-threaded apartment, as the shell asks, and the
// thread leaves it again; a thread already in another apartment stays there.
TEST_F(ShellTest, ShellCallsRunInASingleThreadedApartment) {
  InitializeSpy spy;
  std::thread([&] {
    ULARGE_INTEGER cookie{};
    ASSERT_EQ(CoRegisterInitializeSpy(&spy, &cookie), S_OK);
    LaunchDocument(dll_, "open", "/W " + Helper(0, Out("sta.txt")));
    EXPECT_EQ(spy.initialized, 1);
    EXPECT_EQ(spy.uninitialized, 1);
    EXPECT_EQ(spy.last_flags, static_cast<DWORD>(COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE));

    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    LaunchDocument(dll_, "open", "/W " + Helper(0, Out("mta.txt")));
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE);  // still in the same apartment
    CoUninitialize();
    CoUninitialize();
    CoRevokeInitializeSpy(cookie);
  }).join();
  EXPECT_TRUE(Exists(Out("sta.txt")));
  EXPECT_TRUE(Exists(Out("mta.txt")));
}

// A command that names no program never reaches the shell, whose error box
// would block the calling thread until someone closed it.
TEST_F(ShellTest, CommandsNamingNoProgramNeverReachTheShell) {
  InitializeSpy spy;
  std::thread([&] {
    ULARGE_INTEGER cookie{};
    ASSERT_EQ(CoRegisterInitializeSpy(&spy, &cookie), S_OK);
    for (const char* command : {"", "   ", "/W", "/W /x   ", "/W \"\""}) {
      EXPECT_EQ(LaunchCommand(nullptr, command), LaunchOutcome::kFailed) << command;
      LaunchDocument(dll_, "**NULL**", command);
    }
    EXPECT_EQ(spy.initialized, 0);
    CoRevokeInitializeSpy(cookie);
  }).join();
  EXPECT_TRUE(answerer_.seen().empty());
}

TEST_F(ShellTest, FailedTakeGivesBackWhatIsHeldAndReturnsAtOnce) {
  const std::string command = "/W " + Helper(0, Out("never.txt"));
  const struct {
    int fail;
    Calls calls;
  } cases[] = {
      {0, {"GetStringUTFChars open (failed)", "DeleteLocalRef open"}},
      {1, {"GetStringUTFChars open", "GetStringUTFChars " + command + " (failed)", "ReleaseStringUTFChars open",
           "DeleteLocalRef open", "DeleteLocalRef " + command}},
  };
  for (const auto& c : cases) {
    test::FakeJni jni;
    jni.FailTake(c.fail);
    EXPECT_EQ(dll_.launch_document(jni.env(), nullptr, jni.String("open"), jni.String(command)), JNI_FALSE);
    EXPECT_EQ(jni.calls(), c.calls);
    EXPECT_TRUE(jni.faults().empty()) << jni.faults().front();
  }
  test::FakeJni jni;
  jni.FailTake(0);
  EXPECT_EQ(dll_.shellexec(jni.env(), nullptr, jni.Array({command.c_str(), command.c_str()})), JNI_FALSE);
  EXPECT_EQ(jni.calls(), (Calls{"GetArrayLength", "GetObjectArrayElement 0", "GetStringUTFChars " + command + " (failed)",
                                "DeleteLocalRef " + command}));
  EXPECT_TRUE(jni.faults().empty());
  {
    // A command holding U+0000 (C0 80 from Java) launches nothing: cut there,
    // it would start what the caller never asked for.
    test::FakeJni jni;
    EXPECT_EQ(dll_.launch_document(jni.env(), nullptr, jni.String("open"), jni.String(command + "\xC0\x80x")),
              JNI_TRUE);
    EXPECT_EQ(dll_.shellexec(jni.env(), nullptr, jni.Array({(command + "\xC0\x80x").c_str()})), JNI_TRUE);
  }
  Sleep(300);
  EXPECT_FALSE(Exists(Out("never.txt")));
}

// ---- shellexec ----

TEST_F(ShellTest, ShellExecEmptyAndNullArrays) {
  test::FakeJni jni;
  EXPECT_EQ(dll_.shellexec(jni.env(), nullptr, jni.Array({})), JNI_TRUE);
  EXPECT_EQ(jni.calls(), Calls{"GetArrayLength"});
  jni.ClearCalls();
  EXPECT_EQ(dll_.shellexec(jni.env(), nullptr, nullptr), JNI_TRUE);
  EXPECT_TRUE(jni.calls().empty());
}

TEST_F(ShellTest, ShellExecWaitingCommandHoldsBackTheNext) {
  const std::string first = Out("first.txt");
  const std::string second = Out("second.txt");
  ShellExec(dll_, {"/W " + Helper(700, first), "/w " + Helper(0, second, "--after=" + first)});
  ASSERT_TRUE(Exists(second));
  EXPECT_EQ(ReadFile(second), "0 " + second + " --after=" + first + "\npresent\n");
}

TEST_F(ShellTest, ShellExecCommandWithoutWaitDoesNotHoldBackTheNext) {
  const std::string first = Out("first.txt");
  const std::string second = Out("second.txt");
  ShellExec(dll_, {Helper(1500, first), "/W " + Helper(0, second, "--after=" + first)});
  ASSERT_TRUE(Exists(second));
  EXPECT_EQ(ReadFile(second), "0 " + second + " --after=" + first + "\nabsent\n");
  EXPECT_TRUE(WaitForFile(first));
}

TEST_F(ShellTest, ShellExecSplitsEachCommandOnItsOwn) {
  // A wait switch does not carry over to the next command, nor does an open
  // quote (the failing "\"C:\\nowhere" leaves the next command whole).
  const std::string a = Out("a.txt");
  const std::string b = Out("b.txt");
  const std::string c = Out("c.txt");
  ShellExec(dll_, {"/W " + Helper(0, a), Helper(1500, b), "\"C:\\nowhere x", "/W " + Helper(0, c)});
  EXPECT_TRUE(Exists(a));
  EXPECT_FALSE(Exists(b));
  ASSERT_TRUE(Exists(c));
  EXPECT_EQ(ReadFile(c), "0 " + c + "\n");
  EXPECT_TRUE(WaitForFile(b));
}

TEST_F(ShellTest, ShellExecSkipsNullElements) {
  const std::string a = Out("a.txt");
  const std::string b = Out("b.txt");
  const std::string first = "/W " + Helper(0, a);
  const std::string last = "/W " + Helper(0, b);
  test::FakeJni jni;
  EXPECT_EQ(dll_.shellexec(jni.env(), nullptr, jni.Array({first.c_str(), nullptr, last.c_str()})), JNI_TRUE);
  EXPECT_EQ(jni.calls(), (Calls{"GetArrayLength", "GetObjectArrayElement 0", "GetStringUTFChars " + first,
                                "ReleaseStringUTFChars " + first, "DeleteLocalRef " + first, "GetObjectArrayElement 1",
                                "GetObjectArrayElement 2", "GetStringUTFChars " + last,
                                "ReleaseStringUTFChars " + last, "DeleteLocalRef " + last}));
  EXPECT_TRUE(jni.faults().empty());
  EXPECT_TRUE(Exists(a));
  EXPECT_TRUE(Exists(b));
}

// ---- several threads at once ----

TEST_F(ShellTest, ConcurrentCallsKeepNothingBetweenCalls) {
  // Each thread reads its own registry value (of its own length) and launches the
  // helper with its own file and parameters, many times, with a FakeJni of its own.
  const std::string key = "Software\\QuilletTest\\" + std::to_string(GetCurrentProcessId()) + "-threads";
  HKEY created = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &created, nullptr),
            ERROR_SUCCESS);
  constexpr int kThreads = 4;
  constexpr int kRounds = 12;
  std::vector<std::string> values;
  for (int t = 0; t < kThreads; ++t) {
    values.push_back(std::string(1 + t * 60, static_cast<char>('a' + t)));
    const std::string name = "v" + std::to_string(t);
    RegSetValueExA(created, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(values[t].c_str()),
                   static_cast<DWORD>(values[t].size() + 1));
  }
  RegCloseKey(created);

  std::atomic<int> wrong{0};
  std::vector<std::string> failures[kThreads];
  auto work = [&](int t) {
    for (int round = 0; round < kRounds; ++round) {
      test::FakeJni jni;
      const std::string name = "v" + std::to_string(t);
      for (int i = 0; i < 5; ++i) {
        const std::string got = test::FakeJni::Text(
            dll_.read_registry_string(jni.env(), nullptr, -2147483647, jni.String(key), jni.String(name)));
        if (got != values[t]) failures[t].push_back("registry " + name + ": " + got);
        const std::string missing = "m" + std::to_string(t) + "-" + std::to_string(round);
        const std::string error = test::FakeJni::Text(
            dll_.read_registry_string(jni.env(), nullptr, -2147483647, jni.String(key), jni.String(missing)));
        if (error != "**ERROR** RegQueryValueEx() Data Value not found: " + missing)
          failures[t].push_back("error text: " + error);
      }
      const std::string tag = "t" + std::to_string(t) + "r" + std::to_string(round);
      const std::string out = Out(tag + ".txt");
      const std::string out2 = Out(tag + "-x.txt");
      dll_.launch_document(jni.env(), nullptr, jni.String("**NULL**"),
                           jni.String("/W " + Helper(0, out, tag + std::string(t + 1, ' '))));
      if (ReadFile(out) != "0 " + out + " " + tag + std::string(t + 1, ' ') + "\n")
        failures[t].push_back("launch " + tag + ": [" + ReadFile(out) + "]");
      dll_.shellexec(jni.env(), nullptr, jni.Array({("/W " + Helper(0, out2, tag)).c_str()}));
      if (ReadFile(out2) != "0 " + out2 + " " + tag + "\n") failures[t].push_back("shellexec " + tag);
      if (!jni.faults().empty() || jni.outstanding_chars() != 0) failures[t].push_back("JNI discipline " + tag);
    }
    if (!failures[t].empty()) ++wrong;
  };
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) threads.emplace_back(work, t);
  for (std::thread& thread : threads) thread.join();

  RegDeleteKeyA(HKEY_CURRENT_USER, key.c_str());
  RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\QuilletTest");  // only once it is empty
  EXPECT_EQ(wrong.load(), 0);
  for (int t = 0; t < kThreads; ++t)
    for (const std::string& f : failures[t]) ADD_FAILURE() << "thread " << t << ": " << f;
}

}  // namespace
}  // namespace quillet
