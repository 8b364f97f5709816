// The cancel dialog and the abort procedure.
#include <windows.h>

extern "C" BOOL CALLBACK AbrtDlgP(HWND, UINT, WPARAM, LPARAM) { return FALSE; }
extern "C" BOOL CALLBACK AbrtProc(HDC, int) { return TRUE; }
