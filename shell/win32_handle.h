// Move-only owners of the Windows handles that the shell and registry code
// opens: the handle is closed exactly once, on every path out of its scope.
#ifndef QUILLET_SHELL_WIN32_HANDLE_H
#define QUILLET_SHELL_WIN32_HANDLE_H

#include <windows.h>

#include <utility>

namespace quillet {

template <class Handle, auto Close>
class UniqueWin32 {
 public:
  UniqueWin32() = default;
  explicit UniqueWin32(Handle handle) : handle_(handle) {}
  ~UniqueWin32() { reset(); }
  UniqueWin32(UniqueWin32&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  UniqueWin32& operator=(UniqueWin32&& other) noexcept {
    if (this != &other) {
      reset();
      handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
  }
  UniqueWin32(const UniqueWin32&) = delete;
  UniqueWin32& operator=(const UniqueWin32&) = delete;

  Handle get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }
  void reset() {
    if (handle_ != nullptr) Close(std::exchange(handle_, nullptr));
  }

 private:
  Handle handle_ = nullptr;
};

using UniqueHandle = UniqueWin32<HANDLE, &::CloseHandle>;
using UniqueRegKey = UniqueWin32<HKEY, &::RegCloseKey>;

}  // namespace quillet

#endif
