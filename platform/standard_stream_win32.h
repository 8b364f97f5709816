// The process's standard output and error as text: Unicode to a console, UTF-8
// to anything else (a pipe, a file, a Java virtual machine's stream).
#ifndef QUILLET_PLATFORM_STANDARD_STREAM_WIN32_H
#define QUILLET_PLATFORM_STANDARD_STREAM_WIN32_H

#include <windows.h>

#include <string>

namespace quillet {

class StandardStream {
 public:
  // STD_OUTPUT_HANDLE or STD_ERROR_HANDLE.
  explicit StandardStream(DWORD which);

  bool console() const { return console_; }
  // Writes the text as it is (line ends are the caller's); nothing without a stream.
  void Write(const std::u16string& text);

 private:
  HANDLE handle_;
  bool console_ = false;
};

}  // namespace quillet

#endif
