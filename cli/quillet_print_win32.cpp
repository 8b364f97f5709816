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
#include <set>
#include <string>
#include <vector>

#include "cli/front_end.h"
#include "job/paper_sizes.h"
#include "platform/handles_win32.h"
#include "platform/message_box_win32.h"
#include "platform/spool_turn.h"
#include "platform/standard_stream_win32.h"
#include "platform/text.h"
#include "platform/text_win32.h"
#include "print/abort_dialog.h"
#include "print/print_entry.h"
#include "print/print_lock.h"
#include "printer/printer_setup.h"

namespace quillet::cli {
namespace {

// One of the standard streams, with the lines the program writes.
class Output : public StandardStream {
 public:
  using StandardStream::StandardStream;

  void Line(const std::u16string& text) { Write(text + u"\n"); }
  // Text of the program's own (UTF-8) or of the ANSI code page.
  void Line(const std::string& utf8) { Line(Utf16FromModifiedUtf8(utf8)); }
  void AnsiLine(const std::string& ansi) { Line(Utf16FromAnsi(ansi)); }
};

Output* g_out = nullptr;
Output* g_err = nullptr;

std::u16string U16(const char* ascii) { return std::u16string(ascii, ascii + std::char_traits<char>::length(ascii)); }
std::u16string FromWide(const wchar_t* text) { return text != nullptr ? reinterpret_cast<const char16_t*>(text) : u""; }

void Complain(const std::u16string& text) { g_err->Line(U16(kProgram) + u": " + text); }

void ClearProgress();

// A warning, once per command line however often its cause comes back.
void Warn(const std::u16string& text) {
  static std::set<std::u16string> warned;
  if (!warned.insert(text).second) return;
  ClearProgress();
  Complain(u"warning: " + text);
}

// What the option parser meets: every option text of the call, wherever it
// stands, and the files it leaves alone.
void OnOption(const OptionSeen& seen) {
  const std::string text = OptionWarning(seen);
  if (!text.empty()) Warn(Utf16FromAnsi(text));
}
void OnRefused(const char* text) { Warn(Utf16FromAnsi(text)); }

std::u16string g_report;  // the report being printed, as given

// A document start that waits for another process's document (spool_turn.h).
void OnSpoolWait(const char* text) {
  ClearProgress();
  Complain(g_report + u": " + Utf16FromModifiedUtf8(text));
}

// ---- the library's message boxes, as lines on standard error -------------------

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
// Standard input is being read: a writer that sends nothing holds the read
// until it goes away.
std::atomic<bool> g_reading_input{false};

// Runs on a thread the system starts. The driver looks at user_abort between
// lines and in the abort procedure, and drops the document. A read of standard
// input ends with the process: its copy is a file that deletes itself when the
// process's handles close, as it also does when the console is closed (the
// system's own handler ends the process then).
BOOL WINAPI OnConsoleControl(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  g_interrupted = true;
  user_abort = 1;
  if (g_reading_input) {
    Complain(u"interrupted");
    ExitProcess(kExitFailed);
  }
  return TRUE;
}

std::size_t g_progress_width = 0;  // characters of the progress line on the console

void ClearProgress() {
  if (g_progress_width == 0) return;
  g_err->Write(u"\r" + std::u16string(g_progress_width, u' ') + u"\r");
  g_progress_width = 0;
}

void OnPage(int page) {
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
// paging, cancel and the trace work on it as on any report. The file deletes
// itself when its owner closes it, and when the process ends however it ends
// (Ctrl+C, the console closed, killed), whatever became of the report.
class SavedInput {
 public:
  SavedInput() = default;
  ~SavedInput() {
    file_.reset();
    if (!path_.empty()) DeleteFileW(Wide(path_));  // made, but never opened to delete itself
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
    // The report is read through another handle, which shares the deletion.
    const HANDLE created =
        CreateFileW(name, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (created == INVALID_HANDLE_VALUE) {
      why = SystemText(GetLastError());
      return false;
    }
    file_.reset(created);
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    if (input == nullptr || input == INVALID_HANDLE_VALUE) {
      why = "the program has no standard input";
      return false;
    }
    DWORD mode = 0;
    g_reading_input = true;
    const bool saved =
        GetConsoleMode(input, &mode) ? SaveConsole(input, file_.get(), why) : SaveBytes(input, file_.get(), why);
    g_reading_input = false;
    LARGE_INTEGER size{};
    empty_ = saved && GetFileSizeEx(file_.get(), &size) && size.QuadPart == 0;
    return saved;
  }

  // Nothing arrived.
  bool empty() const { return empty_; }

  const std::u16string& path() const { return path_; }

 private:
  std::u16string path_;
  UniqueHandle file_;  // deletes the file when closed
  bool empty_ = false;
};

// The full name of an --output FILE (the spooler may work in another folder),
// checked to be writable without changing it: a FILE that did not exist is made
// and removed again. False, with the reason, when it cannot be written. (The
// library refuses a FILE that the call reads, or the trace log.)
bool PrepareOutput(const std::u16string& file, std::u16string& full, std::string& why) {
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
  CloseHandle(opened);
  if (!existed) DeleteFileW(buffer.data());
  return true;
}

// Whether a file is there and holds nothing.
bool IsEmptyFile(const std::u16string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  return GetFileAttributesExW(Wide(path), GetFileExInfoStandard, &data) &&
         (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && data.nFileSizeHigh == 0 &&
         data.nFileSizeLow == 0;
}

bool IsFolder(const std::u16string& path) {
  const DWORD attributes = GetFileAttributesW(Wide(path));
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Whether the printer lists a paper of this name, letter case aside; true when
// it cannot be asked (its own failure is told when a report goes to it).
bool PrinterKnowsPaper(const char* printer, const char* form) {
  constexpr int kNameSize = 64;  // a paper name of DC_PAPERNAMES
  const int count = DeviceCapabilitiesA(printer, nullptr, DC_PAPERNAMES, nullptr, nullptr);
  if (count <= 0) return true;
  std::vector<char> names(static_cast<std::size_t>(count) * kNameSize + 1);
  if (DeviceCapabilitiesA(printer, nullptr, DC_PAPERNAMES, names.data(), nullptr) != count) return true;
  for (int k = 0; k < count; ++k) {
    const std::string name(&names[static_cast<std::size_t>(k) * kNameSize],
                           strnlen(&names[static_cast<std::size_t>(k) * kNameSize], kNameSize));
    if (lstrcmpiA(name.c_str(), form) == 0) return true;
  }
  return false;
}

// Warns about a -form_id that neither the library nor the job's printer knows,
// before a report is printed with it.
void CheckForm(const PrintJob& job) {
  if (job.form_id[0] == '\0' || FindPaperByName(job.form_id) != nullptr) return;
  std::string printer = job.printer_id;
  if (printer.empty() && !GetCurrentPrinterName(printer)) return;
  static std::string checked;  // the form and printer asked last
  const std::string pair = std::string(job.form_id) + '\n' + printer;
  if (pair == checked) return;
  checked = pair;
  if (!PrinterKnowsPaper(printer.c_str(), job.form_id)) Warn(Utf16FromAnsi(FormWarning(job.form_id, printer)));
}

// ---- print calls ---------------------------------------------------------------

// Prints argument `index` of the call, a report or an option. Nothing for an
// option, and for "-" when standard input could not be saved (`failed` is then
// set, and the reason told unless Ctrl+C ended the reading). `empty`: the
// report held nothing.
std::optional<ReportResult> PrintArgument(PrintCall& call, int index, const std::u16string& wide, bool& failed,
                                          bool& empty) {
  if (IsStandardInput(wide)) {
    SavedInput input;
    std::string why;
    if (!input.Save(why)) {
      failed = true;
      if (!g_interrupted) Complain(g_report + u": " + Utf16FromModifiedUtf8(StandardInputFailureText(why)));
      return std::nullopt;
    }
    empty = input.empty();
    CheckForm(call.job());
    // Opened by its UTF-16 name, which shares the deletion of the copy.
    const AnsiText path = AnsiFromUtf16(input.path());
    ReportResult result = call.File(index, "-", path.bytes.c_str(), input.path().c_str(), kStandardInputName);
    result.kept = false;  // the temporary copy goes, whatever became of the report
    return result;
  }
  // Converted as the JNI bridge converts a Java string: the ANSI code page, with
  // the UTF-16 form beside it when the code page cannot spell the text.
  const AnsiText ansi = AnsiFromUtf16(wide);
  if (IsReportArgument(wide)) {
    empty = IsEmptyFile(ReportPathFromArgument(std::u16string_view(wide)));
    CheckForm(call.job());
  }
  return call.Argument(index, ansi.bytes.c_str(), ansi.exact ? nullptr : &wide);
}

// The line on standard error for a report that did not print.
std::u16string FailureLine(const ReportResult& result, const PrintJob& job, const std::u16string& argument,
                           const std::u16string* output, const Step::Pages* pages) {
  std::string system_text;
  std::string printer;
  ReportResult told = result;
  switch (result.outcome) {
    case ReportOutcome::kNotOpened:
      if (IsFolder(ReportPathFromArgument(std::u16string_view(argument)))) {
        system_text = kFolderText;
        told.kept = false;  // no file, and nothing scratch would delete
      } else {
        system_text = SystemText(result.error);
      }
      break;
    case ReportOutcome::kNoPrinter:
      printer = Utf8FromUtf16(Utf16FromAnsi(job.printer_id));
      break;
    case ReportOutcome::kOutputFailed:
      if (output != nullptr) {
        const std::string why = result.output_refused != nullptr ? result.output_refused : SystemText(result.error);
        return Utf16FromModifiedUtf8(OutputFailureText(*output, why, result.kept));
      }
      system_text = SystemText(result.error);
      break;
    default:
      break;
  }
  return Utf16FromModifiedUtf8(FailureText(told, system_text, printer,
                                           pages != nullptr ? Utf8FromUtf16(pages->argument) : std::string()));
}

// One call of the print entry over the step's arguments. False when a report did
// not print.
bool RunPrintCall(const std::vector<std::u16string>& arguments, const Step& step) {
  bool all_spooled = true;
  PrintCall call(static_cast<int>(step.arguments.size()));
  call.record().on_page = &OnPage;
  call.record().on_option = &OnOption;
  call.record().on_refused = &OnRefused;
  call.SetLaterArguments([&](int index, std::vector<CallArgument>& later) {
    for (std::size_t k = static_cast<std::size_t>(index) + 1; k < step.arguments.size(); ++k) {
      const std::u16string& wide = arguments[step.arguments[k]];
      if (IsStandardInput(wide)) continue;
      const AnsiText ansi = AnsiFromUtf16(wide);
      later.push_back({ansi.bytes, ansi.exact ? u"" : wide});
    }
    return true;
  });
  for (std::size_t k = 0; k < step.arguments.size() && !g_interrupted; ++k) {
    const std::u16string& wide = arguments[step.arguments[k]];
    g_report = ReportLabel(wide);
    const std::u16string* file = step.OutputOf(step.arguments[k]);
    std::u16string output;
    if (file != nullptr) {
      std::string why;
      if (!PrepareOutput(*file, output, why)) {
        // Not printed, so scratch keeps it (the copy of standard input is never made).
        const bool kept = call.job().scratch != 0 && !IsStandardInput(wide);
        Complain(g_report + u": " + Utf16FromModifiedUtf8(OutputFailureText(*file, why, kept)));
        call.Unprinted(static_cast<int>(k), AnsiFromUtf16(wide).bytes.c_str(), "its output file cannot be written");
        all_spooled = false;
        continue;
      }
      call.record().output_path = output.c_str();
    }
    const Step::Pages* pages = step.PagesOf(step.arguments[k]);
    if (pages != nullptr) call.record().pages = pages->ranges;
    bool failed = false;
    bool empty = false;
    const std::optional<ReportResult> result = PrintArgument(call, static_cast<int>(k), wide, failed, empty);
    call.record().output_path = nullptr;
    call.record().pages.clear();
    if (failed) all_spooled = false;
    ClearProgress();
    if (!result) continue;
    if (result->outcome != ReportOutcome::kSpooled) {
      all_spooled = false;
      Complain(g_report + u": " + FailureLine(*result, call.job(), wide, file, pages));
      continue;
    }
    if (const std::string paper = PaperWarning(*result, call.job().form_id); !paper.empty()) {
      Complain(g_report + u": " + Utf16FromAnsi(paper));
    }
    if (const std::string fit = FitText(*result); !fit.empty()) Complain(g_report + u": " + Utf16FromModifiedUtf8(fit));
    if (const std::string cut = CutLinesWarning(*result); !cut.empty()) {
      Complain(g_report + u": " + Utf16FromModifiedUtf8(cut));
    } else if (empty) {
      Complain(g_report + u": " + U16(kEmptyReportText));
    }
  }
  call.Finish();
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
  quillet::SetSpoolWaitNotice(&OnSpoolWait);
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
