// Another program spooling in the same Wine prefix, as a plain Windows program
// spools (not through the library, so not in its turn):
//   spool_holder PRINTER TEXT MS READY
// Starts a document named TEXT on PRINTER with one page that shows TEXT,
// writes the file READY, keeps the document open MS milliseconds, then ends it.
// Exit status 0 when every call succeeded.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
  if (argc != 5) return 2;
  HDC dc = CreateDCA("WINSPOOL", argv[1], nullptr, nullptr);
  if (dc == nullptr) return 1;
  DOCINFOA info;
  std::memset(&info, 0, sizeof info);
  info.cbSize = sizeof info;
  info.lpszDocName = argv[2];
  bool ok = StartDocA(dc, &info) > 0 && StartPage(dc) > 0;
  if (ok) TextOutA(dc, 100, 100, argv[2], static_cast<int>(std::strlen(argv[2])));
  if (std::FILE* ready = std::fopen(argv[4], "w")) std::fclose(ready);
  Sleep(static_cast<DWORD>(std::atoi(argv[3])));
  ok = ok && EndPage(dc) > 0 && EndDoc(dc) > 0;
  DeleteDC(dc);
  return ok ? 0 : 1;
}
