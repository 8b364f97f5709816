#include "platform/message_box_win32.h"

#include <atomic>

namespace quillet {
namespace {
std::atomic<MessageBoxHandler> g_handler{nullptr};
}

int ShowMessageBox(const char* text, const char* caption, UINT type) {
  const MessageBoxHandler handler = g_handler.load();
  return handler != nullptr ? handler(text, caption, type) : MessageBoxA(nullptr, text, caption, type);
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) { return g_handler.exchange(handler); }

}  // namespace quillet
