// Answers the message boxes and dialogs that the library shows, from a thread of
// its own, so that no test can hang on a modal window. Each box seen is recorded.
#ifndef QUILLET_TESTS_WINDOW_ANSWERER_H
#define QUILLET_TESTS_WINDOW_ANSWERER_H

#include <windows.h>

#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace quillet::test {

struct SeenWindow {
  std::string caption;
  std::string text;  // the texts of its static controls, joined by '\n'
  int answer;        // the command sent to it
};

class WindowAnswerer {
 public:
  // decide(caption, text) gives the command id to send (IDOK, IDRETRY, IDCANCEL ...)
  // or 0 to leave the window alone (the cancel dialog, for instance).
  using Decide = std::function<int(const std::string& caption, const std::string& text)>;

  // The default answer presses the button that ends the box (IDOK, else IDCANCEL)
  // and leaves the cancel dialog ("Spooling") alone. With `any_process` the boxes
  // of every process on the desktop are answered, not only this one's.
  explicit WindowAnswerer(Decide decide = nullptr, bool any_process = false);
  ~WindowAnswerer();
  WindowAnswerer(const WindowAnswerer&) = delete;
  WindowAnswerer& operator=(const WindowAnswerer&) = delete;

  std::vector<SeenWindow> seen();
  void Clear();

 private:
  static DWORD WINAPI ThreadMain(void* self);
  void Poll();

  Decide decide_;
  DWORD process_;  // 0: any process
  HANDLE thread_ = nullptr;
  HANDLE stop_ = nullptr;
  std::mutex mutex_;
  std::vector<SeenWindow> seen_;
  std::vector<HWND> answered_;
};

}  // namespace quillet::test

#endif
