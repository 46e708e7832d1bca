/* A stand-in for an outside program (a command-line compiler, an IDE) that
   the tests place under the program's name. It appends two lines to
   <own name without extension>.LOG beside itself, its arguments as given and
   its current folder, and exits with the number in <name>.EXIT beside itself
   (0 when that file is missing). */
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>

static void Beside(wchar_t* Path, const wchar_t* Ext) {
  wchar_t* dot = wcsrchr(Path, L'.');
  wchar_t* slash = wcsrchr(Path, L'\\');
  if (dot && (!slash || dot > slash)) *dot = 0;
  wcscat(Path, Ext);
}

/* One line in UTF-8. */
static void Line(FILE* F, const wchar_t* Text) {
  char buf[4 * MAX_PATH + 4096];
  int n = WideCharToMultiByte(CP_UTF8, 0, Text, -1, buf, (int)sizeof buf, NULL, NULL);
  if (n > 0) fputs(buf, F);
  fputs("\r\n", F);
}

int WINAPI wWinMain(HINSTANCE Instance, HINSTANCE Prev, PWSTR Cmd, int Show) {
  (void)Instance;
  (void)Prev;
  (void)Show;
  wchar_t log[MAX_PATH + 8], code[MAX_PATH + 8], dir[MAX_PATH];
  GetModuleFileNameW(NULL, log, MAX_PATH);
  wcscpy(code, log);
  Beside(log, L".LOG");
  Beside(code, L".EXIT");
  GetCurrentDirectoryW(MAX_PATH, dir);
  FILE* f = _wfopen(log, L"ab");
  if (f) {
    Line(f, Cmd);
    Line(f, dir);
    fclose(f);
  }
  int result = 0;
  FILE* c = _wfopen(code, L"rb");
  if (c) {
    if (fscanf(c, "%d", &result) != 1) result = 0;
    fclose(c);
  }
  return result;
}
