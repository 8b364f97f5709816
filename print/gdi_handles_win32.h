// Move-only owners for the Windows handles of the print layer.
#ifndef QUILLET_PRINT_GDI_HANDLES_WIN32_H
#define QUILLET_PRINT_GDI_HANDLES_WIN32_H

#include <windows.h>

#include <utility>

#include "print/report_file.h"

namespace quillet {

// Owns one handle of a kind described by Traits: Traits::Invalid() is the empty
// value and Traits::Close(h) releases a handle.
template <class Traits>
class UniqueHandle {
 public:
  using Handle = decltype(Traits::Invalid());

  UniqueHandle() = default;
  explicit UniqueHandle(Handle handle) : handle_(handle) {}
  ~UniqueHandle() { reset(); }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }

  Handle get() const { return handle_; }
  explicit operator bool() const { return handle_ != Traits::Invalid(); }

  Handle release() { return std::exchange(handle_, Traits::Invalid()); }
  void reset(Handle handle = Traits::Invalid()) {
    Handle old = std::exchange(handle_, handle);
    if (old != Traits::Invalid()) Traits::Close(old);
  }

 private:
  Handle handle_ = Traits::Invalid();
};

struct FontTraits {
  static HFONT Invalid() { return nullptr; }
  static void Close(HFONT font) { DeleteObject(font); }
};
struct DcTraits {
  static HDC Invalid() { return nullptr; }
  static void Close(HDC dc) { DeleteDC(dc); }
};
struct WindowTraits {
  static HWND Invalid() { return nullptr; }
  static void Close(HWND window) { DestroyWindow(window); }
};
struct ReportFileTraits {
  static std::int32_t Invalid() { return kReportOpenError; }
  static void Close(std::int32_t file) { ReportClose(file); }
};

using UniqueFont = UniqueHandle<FontTraits>;
using UniqueDC = UniqueHandle<DcTraits>;
using UniqueWindow = UniqueHandle<WindowTraits>;
using UniqueReportFile = UniqueHandle<ReportFileTraits>;

}  // namespace quillet

#endif
