#include "platform/message_box_win32.h"

#include <atomic>
#include <string>

#include "platform/standard_stream_win32.h"
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
  StandardStream(STD_ERROR_HANDLE).Write(Utf16FromAnsi(line) + u"\r\n");
  return ClosedMessageBoxAnswer(type);
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) { return g_handler.exchange(handler); }

}  // namespace quillet
