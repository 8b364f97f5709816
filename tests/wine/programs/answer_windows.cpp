// Test helper that keeps a Java test from hanging on a modal window: it answers
// the dialogs and message boxes of every process on the Wine desktop.
//   answer_windows STOP LOG [SETUP...]
// SETUP: how to answer the Print Setup dialog each time it appears, in order
// ("ok" or "cancel"; cancel once the list is used up). Every other box is
// answered OK; the cancel dialog ("Spooling") is left alone. When the file STOP
// exists the program writes one line per window it answered to LOG (caption, a
// tab, the texts of its static controls joined by " / ", a tab, "ok" or
// "cancel") and ends.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/window_answerer.h"

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  const std::string stop = argv[1];
  std::vector<std::string> setup(argv + 3, argv + argc);
  size_t next_setup = 0;
  quillet::test::WindowAnswerer answerer(
      [&](const std::string& caption, const std::string&) {
        if (caption == "Spooling" || caption.empty()) return 0;
        if (caption != "Print Setup") return IDOK;
        const bool ok = next_setup < setup.size() && setup[next_setup] == "ok";
        ++next_setup;
        return ok ? IDOK : IDCANCEL;
      },
      /*any_process=*/true);
  // Ten minutes at most: longer than any test that starts it.
  for (int i = 0; i < 6000 && GetFileAttributesA(stop.c_str()) == INVALID_FILE_ATTRIBUTES; ++i) Sleep(100);

  FILE* log = std::fopen(argv[2], "wb");
  if (log == nullptr) return 1;
  for (const auto& seen : answerer.seen()) {
    std::string text = seen.text;
    for (size_t at = 0; (at = text.find('\n', at)) != std::string::npos;) text.replace(at, 1, " / ");
    std::fprintf(log, "%s\t%s\t%s\n", seen.caption.c_str(), text.c_str(), seen.answer == IDOK ? "ok" : "cancel");
  }
  std::fclose(log);
  return 0;
}
