// Move-only owners of the Windows handles and memory blocks the library takes:
// each is released exactly once, on every path out of its owner's scope.
#ifndef QUILLET_PLATFORM_HANDLES_WIN32_H
#define QUILLET_PLATFORM_HANDLES_WIN32_H

#include <windows.h>
#include <winspool.h>

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
  // Gives the handle up without closing it.
  Handle release() { return std::exchange(handle_, nullptr); }
  void reset(Handle handle = nullptr) {
    if (handle_ != nullptr) Close(handle_);
    handle_ = handle;
  }

 private:
  Handle handle_ = nullptr;
};

using UniqueHandle = UniqueWin32<HANDLE, &::CloseHandle>;
using UniqueRegKey = UniqueWin32<HKEY, &::RegCloseKey>;
using UniquePrinter = UniqueWin32<HANDLE, &::ClosePrinter>;
using UniqueGlobal = UniqueWin32<HGLOBAL, &::GlobalFree>;
using UniqueLocal = UniqueWin32<HLOCAL, &::LocalFree>;
using UniqueFont = UniqueWin32<HFONT, &::DeleteObject>;

// A new movable, zeroed global block; empty when it cannot be allocated.
inline UniqueGlobal AllocGlobal(SIZE_T size) { return UniqueGlobal(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size)); }

// A lock on a global block for the length of one scope (or until Unlock). A
// null block, or the all-bits-set value that marks a handle not yet asked for,
// locks nothing.
template <class T>
class GlobalLockGuard {
 public:
  explicit GlobalLockGuard(HGLOBAL block)
      : block_(block),
        data_(block != nullptr && block != INVALID_HANDLE_VALUE ? static_cast<T*>(GlobalLock(block)) : nullptr) {}
  ~GlobalLockGuard() { Unlock(); }
  GlobalLockGuard(const GlobalLockGuard&) = delete;
  GlobalLockGuard& operator=(const GlobalLockGuard&) = delete;

  T* get() const { return data_; }
  T* operator->() const { return data_; }
  explicit operator bool() const { return data_ != nullptr; }
  // Bytes the block holds.
  SIZE_T size() const { return data_ != nullptr ? GlobalSize(block_) : 0; }
  void Unlock() {
    if (data_ != nullptr) GlobalUnlock(block_);
    data_ = nullptr;
  }

 private:
  HGLOBAL block_;
  T* data_;
};

}  // namespace quillet

#endif
