#include "support/window_answerer.h"

#include <algorithm>

namespace quillet::test {
namespace {

std::string WindowText(HWND hwnd) {
  char buffer[1024] = {};
  GetWindowTextA(hwnd, buffer, sizeof buffer);
  return buffer;
}

struct Collect {
  DWORD process;  // 0: any process
  std::vector<HWND> windows;
};

BOOL CALLBACK CollectTopLevel(HWND hwnd, LPARAM param) {
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  char cls[64] = {};
  GetClassNameA(hwnd, cls, sizeof cls);
  auto* found = reinterpret_cast<Collect*>(param);
  if ((found->process == 0 || pid == found->process) && std::string(cls) == "#32770")
    found->windows.push_back(hwnd);
  return TRUE;
}

BOOL CALLBACK CollectStatics(HWND hwnd, LPARAM param) {
  char cls[64] = {};
  GetClassNameA(hwnd, cls, sizeof cls);
  if (lstrcmpiA(cls, "Static") == 0) {
    std::string text = WindowText(hwnd);
    if (!text.empty()) {
      auto* out = reinterpret_cast<std::string*>(param);
      if (!out->empty()) *out += '\n';
      *out += text;
    }
  }
  return TRUE;
}

int DefaultAnswer(HWND box, const std::string& caption) {
  // The cancel dialog: pressing it would cancel the job. Its caption may read
  // empty while the printing thread is busy in the spooler.
  if (caption == "Spooling" || caption.empty()) return 0;
  if (GetDlgItem(box, IDOK) != nullptr) return IDOK;
  return IDCANCEL;
}

}  // namespace

WindowAnswerer::WindowAnswerer(Decide decide, bool any_process)
    : decide_(std::move(decide)), process_(any_process ? 0 : GetCurrentProcessId()) {
  stop_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  thread_ = CreateThread(nullptr, 0, &WindowAnswerer::ThreadMain, this, 0, nullptr);
}

WindowAnswerer::~WindowAnswerer() {
  SetEvent(stop_);
  WaitForSingleObject(thread_, INFINITE);
  CloseHandle(thread_);
  CloseHandle(stop_);
}

std::vector<SeenWindow> WindowAnswerer::seen() {
  std::lock_guard<std::mutex> lock(mutex_);
  return seen_;
}

void WindowAnswerer::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  seen_.clear();
}

DWORD WINAPI WindowAnswerer::ThreadMain(void* self) {
  auto* answerer = static_cast<WindowAnswerer*>(self);
  while (WaitForSingleObject(answerer->stop_, 20) == WAIT_TIMEOUT) answerer->Poll();
  return 0;
}

void WindowAnswerer::Poll() {
  Collect found{process_, {}};
  EnumWindows(&CollectTopLevel, reinterpret_cast<LPARAM>(&found));
  for (HWND box : found.windows) {
    if (!IsWindowVisible(box)) continue;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (std::find(answered_.begin(), answered_.end(), box) != answered_.end()) continue;
    }
    std::string caption = WindowText(box);
    std::string text;
    EnumChildWindows(box, &CollectStatics, reinterpret_cast<LPARAM>(&text));
    int answer = decide_ ? decide_(caption, text) : DefaultAnswer(box, caption);
    if (answer == 0) continue;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      answered_.push_back(box);
      seen_.push_back({caption, text, answer});
    }
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), 0);
  }
}

}  // namespace quillet::test
