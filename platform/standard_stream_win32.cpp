#include "platform/standard_stream_win32.h"

#include "platform/text.h"
#include "platform/text_win32.h"

namespace quillet {

StandardStream::StandardStream(DWORD which) : handle_(GetStdHandle(which)) {
  DWORD mode = 0;
  console_ = handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE && GetConsoleMode(handle_, &mode) != 0;
}

void StandardStream::Write(const std::u16string& text) {
  if (handle_ == nullptr || handle_ == INVALID_HANDLE_VALUE || text.empty()) return;
  DWORD done = 0;
  if (console_) {
    WriteConsoleW(handle_, Wide(text), static_cast<DWORD>(text.size()), &done, nullptr);
  } else {
    const std::string bytes = Utf8FromUtf16(text);
    WriteFile(handle_, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
  }
}

}  // namespace quillet
