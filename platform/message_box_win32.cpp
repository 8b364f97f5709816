#include "platform/message_box_win32.h"

#include <atomic>
#include <string>

#include "platform/text.h"
#include "platform/text_win32.h"
#include "trace/trace.h"

namespace quillet {
namespace {

std::atomic<MessageBoxHandler> g_handler{nullptr};
std::atomic<WindowStationQuery> g_station_query{&ProcessWindowStation};

// Set with any value, the empty one included.
bool NoBoxesAsked() {
  wchar_t value[1];
  SetLastError(ERROR_SUCCESS);
  return GetEnvironmentVariableW(L"QUILLET_NO_MESSAGE_BOXES", value, 1) > 0 ||
         GetLastError() != ERROR_ENVVAR_NOT_FOUND;
}

// One line on the process's standard error: UTF-16 to a console, UTF-8 to
// anything else (a pipe, a file, a Java virtual machine's stream).
void WriteStandardError(const std::string& ansi_line) {
  const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
  if (error == nullptr || error == INVALID_HANDLE_VALUE) return;
  const std::u16string line = Utf16FromAnsi(ansi_line) + u"\r\n";
  DWORD mode = 0;
  DWORD done = 0;
  if (GetConsoleMode(error, &mode)) {
    WriteConsoleW(error, Wide(line), static_cast<DWORD>(line.size()), &done, nullptr);
    return;
  }
  const std::string bytes = Utf8FromUtf16(line);
  WriteFile(error, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
}

}  // namespace

WindowStation ProcessWindowStation() {
  const HWINSTA station = GetProcessWindowStation();
  if (station == nullptr) return WindowStation::kNotVisible;  // nothing to show a box on
  USEROBJECTFLAGS flags{};
  DWORD needed = 0;
  if (!GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof flags, &needed)) return WindowStation::kUnknown;
  return (flags.dwFlags & WSF_VISIBLE) != 0 ? WindowStation::kVisible : WindowStation::kNotVisible;
}

WindowStationQuery SetWindowStationQuery(WindowStationQuery query) {
  return g_station_query.exchange(query != nullptr ? query : &ProcessWindowStation);
}

int ShowMessageBox(const char* text, const char* caption, UINT type) {
  const MessageBoxHandler handler = g_handler.load();
  if (handler != nullptr) return handler(text, caption, type);
  const char* why = WhyNoMessageBox(NoBoxesAsked(), g_station_query.load()());
  if (why == nullptr) return MessageBoxA(nullptr, text, caption, type);
  const std::string line = MessageBoxLine(caption, text);
  Trace("Message box not shown (%s): %s\n", why, line.c_str());
  WriteStandardError(line);
  return ClosedMessageBoxAnswer(type);
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) { return g_handler.exchange(handler); }

}  // namespace quillet
