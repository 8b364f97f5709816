// Printer selection on the spooler and the common print dialog: the held device
// mode and device names, the Print Setup dialog, and the device context of a
// report.
#include "printer/printer_setup.h"

#include <windows.h>
#include <commdlg.h>
#include <winspool.h>

#include <cinttypes>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/handles_win32.h"
#include "platform/message_box_win32.h"
#include "job/devmode_fields.h"
#include "printer/printer_setup_win32.h"
#include "trace/trace.h"

namespace quillet {
namespace {

static_assert(sizeof(PRINTDLGA) == (sizeof(void*) == 4 ? 66 : 120), "PRINTDLGA must have its Windows size");
static_assert(kDmOrientation == DM_ORIENTATION && kDmPaperSize == DM_PAPERSIZE &&
                  kDmPaperLength == DM_PAPERLENGTH && kDmPaperWidth == DM_PAPERWIDTH && kDmScale == DM_SCALE &&
                  kDmCopies == DM_COPIES && kDmDefaultSource == DM_DEFAULTSOURCE && kDmCollate == DM_COLLATE &&
                  kDmFormName == DM_FORMNAME,
              "dmFields bits");
static_assert(kDmPaperUser == DMPAPER_USER && kDmCollateTrue == DMCOLLATE_TRUE &&
                  kDmCollateFalse == DMCOLLATE_FALSE,
              "device-mode values");

// The default printer, asked for without showing anything.
constexpr DWORD kDefaultPrinterFlags =
    PD_RETURNDEFAULT | PD_NOSELECTION | PD_NOPAGENUMS | PD_USEDEVMODECOPIESANDCOLLATE | PD_HIDEPRINTTOFILE;
// The Print Setup dialog.
constexpr DWORD kPrintSetupFlags =
    PD_PRINTSETUP | PD_NOSELECTION | PD_NOPAGENUMS | PD_USEDEVMODECOPIESANDCOLLATE | PD_HIDEPRINTTOFILE;
static_assert(kDefaultPrinterFlags == 0x0014040C && kPrintSetupFlags == 0x0014004C, "dialog flags");

constexpr char kNoDevModeCaption[] = "Quillet - Can't Get DEVMODE";
constexpr char kCantOpenCaption[] = "Quillet - Can't Open Printer";

HGLOBAL Unset() { return reinterpret_cast<HGLOBAL>(static_cast<INT_PTR>(-1)); }

// Process-wide: the current printer, as movable blocks that belong to the
// library. Unset until the first GetDevMode; null when the system had no
// default printer. Never locked while no routine of this file runs.
HGLOBAL hDevMode = Unset();
HGLOBAL hDevNames = Unset();

PrintDlgFunction g_print_dlg = nullptr;  // null: PrintDlgA

BOOL CallPrintDlg(PRINTDLGA* dialog) { return g_print_dlg != nullptr ? g_print_dlg(dialog) : PrintDlgA(dialog); }

DocumentPropertiesFunction g_document_properties = nullptr;  // null: DocumentPropertiesA

LONG CallDocumentProperties(HANDLE printer, char* device, DEVMODEA* out, DEVMODEA* in, DWORD mode) {
  return g_document_properties != nullptr ? g_document_properties(nullptr, printer, device, out, in, mode)
                                          : DocumentPropertiesA(nullptr, printer, device, out, in, mode);
}

OpenPrinterFunction g_open_printer = nullptr;  // null: OpenPrinterA

bool IsBlock(HGLOBAL block) { return block != nullptr && block != Unset(); }

// A printer opened for queries, closed at the end of its scope.
class OpenedPrinter {
 public:
  explicit OpenedPrinter(const std::string& name) {
    HANDLE handle = nullptr;
    const OpenPrinterFunction open = g_open_printer != nullptr ? g_open_printer : &OpenPrinterA;
    if (open(const_cast<char*>(name.c_str()), &handle, nullptr)) {
      printer_.reset(handle);
    } else {
      error_ = GetLastError();
    }
  }

  HANDLE get() const { return printer_.get(); }
  explicit operator bool() const { return static_cast<bool>(printer_); }
  DWORD error() const { return error_; }  // why the open failed

 private:
  UniquePrinter printer_;
  DWORD error_ = 0;
};

// The device name of a locked DEVNAMES block, read no further than the block.
std::string DeviceNameOf(const GlobalLockGuard<DEVNAMES>& names) {
  const SIZE_T size = names.size();
  if (names->wDeviceOffset >= size) return {};
  const char* name = GetDeviceName(names.get());
  return std::string(name, strnlen(name, size - names->wDeviceOffset));
}

// The current printer's full name: from the device names, which describe the
// same printer as the device mode and are not cut to dmDeviceName's 31
// characters; from the device mode when there are no device names.
bool HeldPrinterName(std::string& name) {
  {
    GlobalLockGuard<DEVNAMES> names(hDevNames);
    if (names) {
      name = DeviceNameOf(names);
      return true;
    }
  }
  GlobalLockGuard<DEVMODEA> mode(hDevMode);
  if (!mode) return false;
  const char* device = reinterpret_cast<const char*>(mode->dmDeviceName);
  name.assign(device, strnlen(device, sizeof mode->dmDeviceName));
  return true;
}

// The names the spooler gives an opened printer: its own spelling of the
// printer's name, and its port.
struct SpoolerNames {
  std::string printer;
  std::string port;
};

// False when the spooler does not say.
bool AskSpoolerNames(HANDLE printer, SpoolerNames& names) {
  DWORD needed = 0;
  GetPrinterA(printer, 2, nullptr, 0, &needed);
  if (needed < sizeof(PRINTER_INFO_2A)) return false;
  std::vector<BYTE> buffer(needed);
  if (!GetPrinterA(printer, 2, buffer.data(), needed, &needed)) return false;
  const auto* info = reinterpret_cast<const PRINTER_INFO_2A*>(buffer.data());
  if (info->pPrinterName == nullptr || info->pPrinterName[0] == '\0') return false;
  names.printer = info->pPrinterName;
  names.port = info->pPortName != nullptr ? info->pPortName : "";
  return true;
}

// A new DEVNAMES block for a printer; empty when it cannot be made.
UniqueGlobal MakeDevNames(const SpoolerNames& spooler) {
  static constexpr char kDriver[] = "winspool";
  const std::string& device = spooler.printer;
  const std::size_t driver_at = sizeof(DEVNAMES);
  const std::size_t device_at = driver_at + sizeof kDriver;
  const std::size_t port_at = device_at + device.size() + 1;
  if (port_at > 0xFFFF) return {};  // the offsets are 16 bits
  UniqueGlobal block = AllocGlobal(port_at + spooler.port.size() + 1);
  GlobalLockGuard<char> bytes(block.get());
  if (!bytes) return {};
  auto* names = reinterpret_cast<DEVNAMES*>(bytes.get());
  names->wDriverOffset = static_cast<WORD>(driver_at);
  names->wDeviceOffset = static_cast<WORD>(device_at);
  names->wOutputOffset = static_cast<WORD>(port_at);
  names->wDefault = 0;
  // The block is zeroed, so every text ends with its terminator.
  std::memcpy(bytes.get() + driver_at, kDriver, sizeof kDriver);
  std::memcpy(bytes.get() + device_at, device.data(), device.size());
  std::memcpy(bytes.get() + port_at, spooler.port.data(), spooler.port.size());
  return block;
}

enum class Switch {
  kDone,         // the job's printer is the current one now
  kNotOpened,    // the printer cannot be opened: the check that follows tells the user
  kNoSettings,   // it opened, but its own settings could not be had
};

// Makes the job's printer the current one: its own default settings, with the
// current settings carried over, become the held device mode, and new device
// names for it replace the held ones. The names are the spooler's, so the pair
// names one printer in one spelling whatever spelling the job used. Anything
// that fails keeps the held pair as it is.
Switch SwitchPrinter(const std::string& name) {
  OpenedPrinter printer(name);
  if (!printer) return Switch::kNotOpened;
  char* device = const_cast<char*>(name.c_str());
  const LONG size = CallDocumentProperties(printer.get(), device, nullptr, nullptr, 0);
  if (size <= 0) {
    Trace("GetPrinterDC() no device mode size for %s, current settings kept\n", device);
    return Switch::kNoSettings;
  }
  UniqueGlobal mode_block = AllocGlobal(static_cast<SIZE_T>(size));
  GlobalLockGuard<DEVMODEA> mode(mode_block.get());
  if (!mode) {
    Trace("GetPrinterDC() no memory for the device mode of %s, current settings kept\n", device);
    return Switch::kNoSettings;
  }
  if (CallDocumentProperties(printer.get(), device, mode.get(), nullptr, DM_OUT_BUFFER) < 0) {
    Trace("GetPrinterDC() no device mode for %s, current settings kept\n", device);
    return Switch::kNoSettings;
  }
  {
    GlobalLockGuard<DEVMODEA> current(hDevMode);
    if (current) MergeDevMode(*mode.get(), *current.get());
  }
  if (CallDocumentProperties(printer.get(), device, mode.get(), mode.get(), DM_IN_BUFFER | DM_OUT_BUFFER) <
      0) {
    Trace("GetPrinterDC() %s refused the settings, current settings kept\n", device);
    return Switch::kNoSettings;
  }
  mode.Unlock();
  SpoolerNames spooler;
  UniqueGlobal names;
  if (AskSpoolerNames(printer.get(), spooler)) names = MakeDevNames(spooler);
  if (!names) {
    Trace("GetPrinterDC() no device names for %s, current settings kept\n", device);
    return Switch::kNoSettings;
  }
  if (IsBlock(hDevMode)) GlobalFree(hDevMode);
  if (IsBlock(hDevNames)) GlobalFree(hDevNames);
  hDevMode = mode_block.release();
  hDevNames = names.release();
  return Switch::kDone;
}

// A copy of a device mode's public part for another printer: no driver-private
// data (which belongs to the printer it came from and may make another
// driver fail or misprint), and that printer's name as far as it fits.
std::vector<BYTE> PublicPartFor(const DEVMODEA& current, SIZE_T block_size, const std::string& printer) {
  SIZE_T size = current.dmSize;
  if (size > block_size) size = block_size;
  std::vector<BYTE> copy(size > sizeof(DEVMODEA) ? size : sizeof(DEVMODEA), 0);
  std::memcpy(copy.data(), &current, size);
  auto* mode = reinterpret_cast<DEVMODEA*>(copy.data());
  mode->dmDriverExtra = 0;
  std::memset(mode->dmDeviceName, 0, sizeof mode->dmDeviceName);
  std::memcpy(mode->dmDeviceName, printer.data(),
              printer.size() < sizeof mode->dmDeviceName ? printer.size() : sizeof mode->dmDeviceName - 1);
  return copy;
}

// The papers a printer lists, in its own order, with their sizes; false when
// it does not say.
bool ListPapers(const std::string& printer, std::vector<PrinterPaper>& papers) {
  OpenedPrinter opened(printer);
  SpoolerNames names;
  const char* port = opened && AskSpoolerNames(opened.get(), names) ? names.port.c_str() : nullptr;
  const int count = DeviceCapabilitiesA(printer.c_str(), port, DC_PAPERS, nullptr, nullptr);
  if (count <= 0 || count > 0x10000) return false;
  std::vector<WORD> ids(static_cast<std::size_t>(count));
  if (DeviceCapabilitiesA(printer.c_str(), port, DC_PAPERS, reinterpret_cast<LPSTR>(ids.data()), nullptr) != count)
    return false;
  // Sizes in tenths of a millimetre; a printer that does not tell them still
  // tells which papers it has.
  std::vector<POINT> sizes(static_cast<std::size_t>(count), POINT{0, 0});
  if (DeviceCapabilitiesA(printer.c_str(), port, DC_PAPERSIZE, reinterpret_cast<LPSTR>(sizes.data()), nullptr) !=
      count)
    sizes.assign(sizes.size(), POINT{0, 0});
  papers.clear();
  for (int k = 0; k < count; ++k) {
    papers.push_back(PrinterPaper{static_cast<std::int16_t>(ids[k]), sizes[k].x, sizes[k].y});
  }
  return true;
}

}  // namespace

const char* GetDeviceName(const DEVNAMES* names) {
  return reinterpret_cast<const char*>(names) + names->wDeviceOffset;
}

HGLOBAL HeldDevMode() { return hDevMode; }
HGLOBAL HeldDevNames() { return hDevNames; }
HGLOBAL UnsetPrinterHandle() { return Unset(); }

std::string OpenFailureText(DWORD error) {
  char* text = nullptr;
  // A system text may hold inserts ("%1"): there is nothing to put in them.
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
      MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPSTR>(&text), 0, nullptr);
  const UniqueLocal owned(text);
  if (length == 0 || text == nullptr) {
    char fallback[32];
    std::snprintf(fallback, sizeof fallback, "Error %lu", static_cast<unsigned long>(error));
    return fallback;
  }
  return std::string(text, length);
}

PrintDlgFunction SetPrintDlgForTesting(PrintDlgFunction function) {
  PrintDlgFunction previous = g_print_dlg;
  g_print_dlg = function;
  return previous;
}

DocumentPropertiesFunction SetDocumentPropertiesForTesting(DocumentPropertiesFunction function) {
  DocumentPropertiesFunction previous = g_document_properties;
  g_document_properties = function;
  return previous;
}

OpenPrinterFunction SetOpenPrinterForTesting(OpenPrinterFunction function) {
  OpenPrinterFunction previous = g_open_printer;
  g_open_printer = function;
  return previous;
}

void ResetPrinterSetupForTesting() {
  if (IsBlock(hDevMode)) GlobalFree(hDevMode);
  if (IsBlock(hDevNames)) GlobalFree(hDevNames);
  hDevMode = Unset();
  hDevNames = Unset();
}

bool GetDevMode() {
  PRINTDLGA dialog{};
  dialog.lStructSize = sizeof dialog;
  if (hDevMode != Unset()) {
    // Asked once per process: a missing default printer stays missing.
    Trace("GetDevMode() reusing existing PRINTDLG.\n");
    return hDevMode != nullptr;
  }
  Trace("GetDevMode() new PRINTDLG created.\n");
  dialog.Flags = kDefaultPrinterFlags;
  const BOOL ok = CallPrintDlg(&dialog);
  hDevMode = dialog.hDevMode;
  hDevNames = dialog.hDevNames;
  return ok != FALSE && hDevMode != nullptr;
}

bool ShowPrintSetup() {
  PRINTDLGA dialog{};
  dialog.lStructSize = sizeof dialog;
  GetDevMode();
  dialog.hwndOwner = nullptr;
  dialog.hDevMode = hDevMode;
  dialog.hDevNames = hDevNames;
  dialog.hInstance = nullptr;
  dialog.Flags = kPrintSetupFlags;
  if (!CallPrintDlg(&dialog)) return false;
  // The dialog may have replaced the blocks it was given; what it returns is ours.
  hDevMode = dialog.hDevMode;
  hDevNames = dialog.hDevNames;
  return true;
}

bool GetCurrentPrinterName(std::string& name) {
  GetDevMode();
  return HeldPrinterName(name);
}

void* GetPrinterDC(PrintJob& job) {
  if (!GetDevMode()) {
    ShowMessageBox("quillet", kNoDevModeCaption, MB_OK);
    Trace("GetPrinterDC() no printer, report abandoned\n");
    return nullptr;
  }

  std::string current;
  HeldPrinterName(current);
  const bool named = job.printer_id[0] != '\0';
  const std::string printer = named ? std::string(job.printer_id) : current;
  if (!named) {
    // Later reports of the call compare this name. One too long for the field
    // is left out: an empty printer_id means the current printer anyway.
    if (current.size() < sizeof job.printer_id) {
      CopyField(job.printer_id, current.c_str());
    } else {
      Trace("GetPrinterDC() printer name too long for the job: %s\n", current.c_str());
    }
  }

  // The report goes to the job's printer or nowhere: Retry tries that printer
  // again, and anything but Retry abandons the report.
  Switch switched = Switch::kDone;
  for (;;) {
    if (named) {
      HeldPrinterName(current);
      Trace("job printer=%s, cur printer=%s\n", job.printer_id, current.c_str());
      switched = printer != current ? SwitchPrinter(printer) : Switch::kDone;
    }
    OpenedPrinter check(printer);
    if (check) break;
    const std::string text = OpenFailureText(check.error());
    if (ShowMessageBox(text.c_str(), kCantOpenCaption, MB_RETRYCANCEL) != IDRETRY) {
      Trace("GetPrinterDC() printer %s not opened, report abandoned\n", printer.c_str());
      return nullptr;
    }
  }

  // The papers the printer has, when the job asks for one: a paper it does not
  // list would print on its default paper without a word.
  std::vector<PrinterPaper> papers;
  const bool paper_asked = job.form_id[0] != '\0' || (job.paper_width != 0 && job.paper_length != 0);
  const bool papers_listed = paper_asked && ListPapers(printer, papers);

  GlobalLockGuard<DEVMODEA> held(hDevMode);
  DEVMODEA* mode = held.get();
  std::vector<BYTE> public_part;
  if (mode != nullptr && switched != Switch::kDone) {
    // The held settings belong to another printer (its own settings could not
    // be had, or it could not be opened a moment ago): this report gets their
    // public part alone, and the held pair keeps them as they were.
    Trace("GetPrinterDC() printing on %s with the current settings less their driver data\n", printer.c_str());
    public_part = PublicPartFor(*mode, held.size(), printer);
    mode = reinterpret_cast<DEVMODEA*>(public_part.data());
  }
  if (mode != nullptr) {
    const PaperChoice paper = WriteJobSettings(*mode, job, papers_listed ? &papers : nullptr);
    if (paper.asked) {
      Trace("GetPrinterDC() paper asked %s, given %s\n",
            AskedPaperText(job.form_id, job.paper_width, job.paper_length).c_str(), PaperText(paper).c_str());
    }
  }
  HDC dc = CreateDCA("WINSPOOL", mode != nullptr ? printer.c_str() : nullptr, nullptr, mode);
  // A device context handle fits in 32 bits on every Windows; the address is
  // printed in its full width.
  Trace("CreateDC returned %d given a DevMode = %" PRIxPTR "\n", static_cast<int>(reinterpret_cast<INT_PTR>(dc)),
        reinterpret_cast<std::uintptr_t>(mode));
  return dc;
}

}  // namespace quillet
