// quillet-print.exe: prints reports from the command line through the library's
// own print entry, for people and scripts without the Java client.
//
// It runs what PlanCommandLine plans. Nothing here may stop a script: the
// library's message boxes become lines on standard error, answered as Cancel
// (or OK) would answer them, so a report that cannot print is abandoned and the
// program goes on with the next one.
#include <windows.h>
#include <shellapi.h>
#include <winspool.h>

#include <atomic>
#include <new>
#include <string>
#include <vector>

#include "cli/front_end.h"
#include "platform/handles_win32.h"
#include "platform/message_box_win32.h"
#include "platform/text.h"
#include "platform/text_win32.h"
#include "print/abort_dialog.h"
#include "print/print_entry.h"
#include "print/print_lock.h"
#include "printer/printer_setup.h"

namespace quillet::cli {
namespace {

// One of the standard streams: Unicode text to a console, UTF-8 to anything else.
class Output {
 public:
  explicit Output(DWORD which) : handle_(GetStdHandle(which)) {
    DWORD mode = 0;
    console_ = handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE && GetConsoleMode(handle_, &mode) != 0;
  }

  bool console() const { return console_; }

  void Write(const std::u16string& text) {
    if (handle_ == nullptr || handle_ == INVALID_HANDLE_VALUE || text.empty()) return;
    DWORD done = 0;
    if (console_) {
      WriteConsoleW(handle_, Wide(text), static_cast<DWORD>(text.size()), &done, nullptr);
    } else {
      const std::string bytes = Utf8FromUtf16(text);
      WriteFile(handle_, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
    }
  }
  void Line(const std::u16string& text) { Write(text + u"\n"); }
  // Text of the program's own (UTF-8) or of the ANSI code page.
  void Line(const std::string& utf8) { Line(Utf16FromModifiedUtf8(utf8)); }
  void AnsiLine(const std::string& ansi) { Line(Utf16FromAnsi(ansi)); }

 private:
  HANDLE handle_;
  bool console_ = false;
};

Output* g_out = nullptr;
Output* g_err = nullptr;

std::u16string U16(const char* ascii) { return std::u16string(ascii, ascii + std::char_traits<char>::length(ascii)); }
std::u16string FromWide(const wchar_t* text) { return text != nullptr ? reinterpret_cast<const char16_t*>(text) : u""; }

void Complain(const std::u16string& text) { g_err->Line(U16(kProgram) + u": " + text); }

// ---- the library's message boxes, as lines on standard error -------------------

void ClearProgress();

int AnswerBox(const char* text, const char* caption, UINT type) {
  ClearProgress();
  std::u16string line = Utf16FromAnsi(caption != nullptr ? caption : "Error");
  line += u": " + Utf16FromAnsi(OneLine(text != nullptr ? text : ""));
  Complain(line);
  // The answer that gives up: the report is abandoned, the program goes on.
  switch (type & MB_TYPEMASK) {
    case MB_OK:
      return IDOK;
    case MB_YESNO:
      return IDNO;
    case MB_ABORTRETRYIGNORE:
      return IDABORT;
    default:
      return IDCANCEL;
  }
}

// ---- Ctrl+C and the progress line ------------------------------------------------

std::atomic<bool> g_interrupted{false};

// Runs on a thread the system starts. The driver looks at user_abort between
// lines and in the abort procedure, and drops the document.
BOOL WINAPI OnConsoleControl(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  g_interrupted = true;
  user_abort = 1;
  return TRUE;
}

std::u16string g_report;        // the report being printed, as given
std::size_t g_progress_width = 0;  // characters of the progress line on the console

void ClearProgress() {
  if (g_progress_width == 0) return;
  g_err->Write(u"\r" + std::u16string(g_progress_width, u' ') + u"\r");
  g_progress_width = 0;
}

void OnPage(const PrintJob&, int page) {
  // A Ctrl+C that came before the driver reset the flag for this report.
  if (g_interrupted) user_abort = 1;
  if (!g_err->console()) return;
  std::u16string line = ProgressLine(g_report, page);
  const std::size_t width = line.size();
  if (width < g_progress_width) line += std::u16string(g_progress_width - width, u' ');
  g_err->Write(u"\r" + line);
  g_progress_width = width > g_progress_width ? width : g_progress_width;
}

// ---- commands ------------------------------------------------------------------

std::string SystemText(unsigned long error) {
  wchar_t* text = nullptr;
  const DWORD length =
      FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, error, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPWSTR>(&text), 0,
                     nullptr);
  const UniqueLocal owned(text);
  if (length == 0 || text == nullptr) return "error " + std::to_string(error);
  return Utf8FromUtf16(std::u16string(reinterpret_cast<const char16_t*>(text), length));
}

bool PrinterName() {
  std::string name;
  if (!GetCurrentPrinterName(name)) {
    Complain(u"no printer: the system has no default printer");
    return false;
  }
  g_out->AnsiLine(name);
  return true;
}

bool ListPrinters() {
  const DWORD flags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
  DWORD needed = 0;
  DWORD count = 0;
  EnumPrintersW(flags, nullptr, 2, nullptr, 0, &needed, &count);
  std::vector<BYTE> buffer(needed > 0 ? needed : 1);
  if (!EnumPrintersW(flags, nullptr, 2, buffer.data(), needed, &needed, &count)) {
    Complain(u"cannot list the printers: " + Utf16FromModifiedUtf8(OneLine(SystemText(GetLastError()))));
    return false;
  }
  std::u16string default_name;
  DWORD size = 0;
  GetDefaultPrinterW(nullptr, &size);
  if (size > 0) {
    std::vector<wchar_t> name(size);
    if (GetDefaultPrinterW(name.data(), &size)) default_name = FromWide(name.data());
  }
  const auto* printers = reinterpret_cast<const PRINTER_INFO_2W*>(buffer.data());
  for (DWORD i = 0; i < count; ++i) {
    const std::u16string name = FromWide(printers[i].pPrinterName);
    std::u16string line = name + u"\t" + FromWide(printers[i].pPortName) + u"\t" + FromWide(printers[i].pDriverName);
    if (!default_name.empty() && name == default_name) line += u"\tdefault";
    g_out->Line(line);
  }
  return true;
}

// "\StringFileInfo\040904E4\<name>" of the program's own version resource.
std::u16string VersionValue(const std::vector<BYTE>& info, const wchar_t* name) {
  std::wstring path = L"\\StringFileInfo\\040904E4\\";
  path += name;
  void* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(info.data(), path.c_str(), &value, &length) || value == nullptr) return u"";
  return FromWide(static_cast<const wchar_t*>(value));
}

bool Version() {
  std::vector<wchar_t> path(MAX_PATH);
  for (;;) {
    const DWORD got = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (got == 0) break;
    if (got < path.size()) break;
    path.resize(path.size() * 2);
  }
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.data(), &ignored);
  std::vector<BYTE> info(size);
  if (size == 0 || !GetFileVersionInfoW(path.data(), 0, size, info.data())) {
    Complain(u"no version information in the program");
    return false;
  }
  g_out->Line(U16(kProgram) + u" (" + VersionValue(info, L"ProductName") + u") " +
              VersionValue(info, L"FileVersion"));
  return true;
}

bool RunCommand(Command command) {
  switch (command) {
    case Command::kSetup:
      ShowPrintSetup();  // Cancel keeps the current printer: nothing failed
      return true;
    case Command::kPrinterName:
      return PrinterName();
    case Command::kListPrinters:
      return ListPrinters();
    case Command::kHelp:
      g_out->Write(Utf16FromModifiedUtf8(UsageText()));
      return true;
    case Command::kVersion:
      return Version();
  }
  return false;
}

// ---- standard input and output files --------------------------------------------

bool WriteAll(HANDLE file, const char* data, DWORD size, std::string& why) {
  while (size > 0) {
    DWORD done = 0;
    if (!WriteFile(file, data, size, &done, nullptr) || done == 0) {
      why = SystemText(GetLastError());
      return false;
    }
    data += done;
    size -= done;
  }
  return true;
}

// A pipe or a file: its bytes as they are, form feeds, backspaces and line ends
// included.
bool SaveBytes(HANDLE input, HANDLE file, std::string& why) {
  std::vector<char> buffer(64 * 1024);
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(input, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) {
      const DWORD error = GetLastError();
      if (error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF) return true;  // the writer is done
      if (!g_interrupted) why = SystemText(error);
      return false;
    }
    if (g_interrupted) return false;
    if (got == 0) return true;
    if (!WriteAll(file, buffer.data(), got, why)) return false;
  }
}

// A console: the lines typed up to Ctrl+Z, in the ANSI code page as report files
// hold their text.
bool SaveConsole(HANDLE input, HANDLE file, std::string& why) {
  std::vector<wchar_t> buffer(4096);
  for (;;) {
    DWORD got = 0;
    const BOOL ok = ReadConsoleW(input, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr);
    if (g_interrupted) return false;
    if (!ok) {
      why = SystemText(GetLastError());
      return false;
    }
    std::u16string text(reinterpret_cast<const char16_t*>(buffer.data()), got);
    const std::size_t end = text.find(u'\x1a');
    if (end != std::u16string::npos) text.resize(end);
    const std::string bytes = AnsiFromUtf16(text).bytes;
    if (!WriteAll(file, bytes.data(), static_cast<DWORD>(bytes.size()), why)) return false;
    if (end != std::u16string::npos || got == 0) return true;
  }
}

// Standard input saved to a new file of the temporary folder, so that the reader,
// paging, cancel and the trace work on it as on any report. The file is deleted
// with its owner, whatever became of the report.
class SavedInput {
 public:
  SavedInput() = default;
  ~SavedInput() {
    if (!path_.empty()) DeleteFileW(Wide(path_));
  }
  SavedInput(const SavedInput&) = delete;
  SavedInput& operator=(const SavedInput&) = delete;

  // Reads standard input to its end into the file. False when it cannot be read
  // or saved (`why` says why), or when Ctrl+C ended the reading (`why` empty).
  bool Save(std::string& why) {
    wchar_t folder[MAX_PATH + 1];
    wchar_t name[MAX_PATH];
    const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
    if (length == 0 || length > MAX_PATH || GetTempFileNameW(folder, L"qpr", 0, name) == 0) {
      why = SystemText(GetLastError());
      return false;
    }
    path_ = FromWide(name);  // made by GetTempFileNameW: from here on it is ours to delete
    const HANDLE created =
        CreateFileW(name, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY, nullptr);
    if (created == INVALID_HANDLE_VALUE) {
      why = SystemText(GetLastError());
      return false;
    }
    const UniqueHandle file(created);
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    if (input == nullptr || input == INVALID_HANDLE_VALUE) {
      why = "the program has no standard input";
      return false;
    }
    DWORD mode = 0;
    return GetConsoleMode(input, &mode) ? SaveConsole(input, file.get(), why) : SaveBytes(input, file.get(), why);
  }

  const std::u16string& path() const { return path_; }

 private:
  std::u16string path_;
};

// The identity of the file a handle has open; false when the system cannot tell.
bool Identify(HANDLE file, BY_HANDLE_FILE_INFORMATION& info) { return GetFileInformationByHandle(file, &info) != 0; }

// The full name of an --output FILE (the spooler may work in another folder),
// checked to be writable without changing it: a FILE that did not exist is made
// and removed again. False, with the reason, when it cannot be written or is the
// report itself (the driver empties its file before the report is read).
bool PrepareOutput(const std::u16string& file, const std::u16string& report, std::u16string& full, std::string& why) {
  const DWORD size = GetFullPathNameW(Wide(file), 0, nullptr, nullptr);
  std::vector<wchar_t> buffer(size + 1);
  const DWORD got = size == 0 ? 0 : GetFullPathNameW(Wide(file), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
  if (got == 0 || got >= buffer.size()) {
    why = SystemText(GetLastError());
    return false;
  }
  full = FromWide(buffer.data());
  const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  const HANDLE opened = CreateFileW(buffer.data(), GENERIC_WRITE, share, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (opened == INVALID_HANDLE_VALUE) {
    why = SystemText(GetLastError());
    return false;
  }
  const bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
  UniqueHandle output(opened);
  if (!existed) {
    output.reset();
    DeleteFileW(buffer.data());
    return true;
  }
  const HANDLE found =
      report.empty() ? INVALID_HANDLE_VALUE
                     : CreateFileW(Wide(report), 0, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (found == INVALID_HANDLE_VALUE) return true;  // standard input, or a report the driver will not find
  const UniqueHandle input(found);
  BY_HANDLE_FILE_INFORMATION a;
  BY_HANDLE_FILE_INFORMATION b;
  if (Identify(output.get(), a) && Identify(input.get(), b) && a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
      a.nFileIndexLow == b.nFileIndexLow) {
    why = "it is the report itself";
    return false;
  }
  return true;
}

// ---- print calls ---------------------------------------------------------------

// Prints argument `index` of the call, a report or an option. Nothing for an
// option, and for "-" when standard input could not be saved (`failed` is then
// set, and the reason told unless Ctrl+C ended the reading).
std::optional<ReportResult> PrintArgument(PrintCall& call, int index, const std::u16string& wide, bool& failed) {
  if (IsStandardInput(wide)) {
    SavedInput input;
    std::string why;
    if (!input.Save(why)) {
      failed = true;
      if (!g_interrupted) Complain(g_report + u": " + Utf16FromModifiedUtf8(StandardInputFailureText(why)));
      return std::nullopt;
    }
    const AnsiText path = AnsiFromUtf16(input.path());
    ReportResult result =
        call.File(index, "-", path.bytes.c_str(), path.exact ? nullptr : input.path().c_str(), kStandardInputName);
    result.kept = false;  // the temporary copy goes, whatever became of the report
    return result;
  }
  // Converted as the JNI bridge converts a Java string: the ANSI code page, with
  // the UTF-16 form beside it when the code page cannot spell the text.
  const AnsiText ansi = AnsiFromUtf16(wide);
  return call.Argument(index, ansi.bytes.c_str(), ansi.exact ? nullptr : &wide);
}

// One call of the print entry over the step's arguments. False when a report did
// not print.
bool RunPrintCall(const std::vector<std::u16string>& arguments, const Step& step) {
  bool all_spooled = true;
  std::u16string output;
  if (step.output) {
    std::u16string report;
    for (std::size_t index : step.arguments) {
      if (IsReportArgument(arguments[index])) report = arguments[index];
    }
    std::string why;
    const std::u16string path = IsStandardInput(report) ? u"" : ReportPathFromArgument(std::u16string_view(report));
    if (!PrepareOutput(*step.output, path, output, why)) {
      Complain(ReportLabel(report) + u": " + Utf16FromModifiedUtf8(OutputFailureText(*step.output, why)));
      return false;
    }
  }
  PrintCall call(static_cast<int>(step.arguments.size()));
  call.job().on_page = &OnPage;
  if (step.output) call.job().output_path = output.c_str();
  for (std::size_t k = 0; k < step.arguments.size() && !g_interrupted; ++k) {
    const std::u16string& wide = arguments[step.arguments[k]];
    g_report = ReportLabel(wide);
    bool failed = false;
    const std::optional<ReportResult> result = PrintArgument(call, static_cast<int>(k), wide, failed);
    if (failed) all_spooled = false;
    ClearProgress();
    if (!result) continue;
    if (result->outcome != ReportOutcome::kSpooled) {
      all_spooled = false;
      const std::string why =
          FailureText(*result, result->outcome == ReportOutcome::kNotOpened ? SystemText(result->error) : "");
      Complain(g_report + u": " + Utf16FromModifiedUtf8(why));
    } else if (const std::string cut = CutLinesWarning(*result); !cut.empty()) {
      Complain(g_report + u": " + Utf16FromModifiedUtf8(cut));
    }
  }
  return all_spooled;
}

int Run(const std::vector<std::u16string>& arguments) {
  const Plan plan = PlanCommandLine(arguments);
  if (!plan.error.empty()) {
    Complain(Utf16FromModifiedUtf8(plan.error));
    g_err->Line(u"Usage: quillet-print [OPTION...] REPORT [[OPTION...] REPORT]...");
    g_err->Line(u"Try 'quillet-print --help' for the commands and options.");
    return kExitUsage;
  }
  for (const Step& step : plan.steps) {
    if (!step.unused_options.empty()) g_err->Line(UnusedOptionsWarning(arguments, step));
  }

  // The printing state is the process's own here, but the lock is the library's
  // rule for every front end.
  const auto printing = LockPrinting();
  bool failed = false;
  for (const Step& step : plan.steps) {
    if (g_interrupted) break;
    const bool ok = step.command ? RunCommand(*step.command) : RunPrintCall(arguments, step);
    failed = failed || !ok;
  }
  if (g_interrupted) {
    Complain(u"interrupted");
    return kExitFailed;
  }
  return failed ? kExitFailed : kExitOk;
}

}  // namespace
}  // namespace quillet::cli

int main() {
  using namespace quillet::cli;
  Output out(STD_OUTPUT_HANDLE);
  Output err(STD_ERROR_HANDLE);
  g_out = &out;
  g_err = &err;
  quillet::SetMessageBoxHandler(&AnswerBox);
  SetConsoleCtrlHandler(&OnConsoleControl, TRUE);

  // The arguments as the system holds them, in UTF-16.
  int count = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &count);
  const quillet::UniqueLocal owned(argv);
  if (argv == nullptr) {
    Complain(u"cannot read the command line");
    return kExitUsage;
  }
  std::vector<std::u16string> arguments;
  for (int i = 1; i < count; ++i) arguments.push_back(FromWide(argv[i]));

  try {
    return Run(arguments);
  } catch (const std::bad_alloc&) {
    Complain(u"out of memory");
  }
  return kExitFailed;
}
