/* Walks a setup program's wizard (or the uninstaller's window) as a user
   who takes every default would: it starts the command line given, and for
   every new page of the other programs' windows it saves a picture of that
   window and clicks the button that goes on ("Next >", "Finish", "&Start").
   Message boxes are pictured, printed and answered with their default
   button; under the mode "setup" one counts as a failure.

     qnt_wizard_driver <setup|uninstall> <unix folder for pictures> <command line>

   Exits 0 once the other program's windows are gone after the last button
   (Finish, or Start for the uninstaller), 1 when they went before it, a
   message box showed under "setup" or a program whose window it saw ended
   in a crash (an exception's code as its exit code: Wine's "Program Error"
   box, where one is shown), 2 when nothing happened in time. */
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>

#define MAX_SEEN 64

static wchar_t Seen[MAX_SEEN][256];
static int SeenCount, Pictures;
static const wchar_t* Shots;

struct Found {
  HWND Page;    /* a top-level window of another program */
  HWND Button;  /* its visible, enabled button that goes on */
  HWND Box;     /* a message box */
  int Windows;  /* visible top-level windows of other programs */
  int IsFinal;  /* Button ends the run */
};

static const wchar_t* const GoOn[] = {L"&Finish", L"Finish", L"Next >", L"&Start"};

/* The programs whose windows were seen, to read how each ended. */
#define MAX_PROGRAMS 16
static HANDLE Programs[MAX_PROGRAMS];
static DWORD ProgramIds[MAX_PROGRAMS];
static int ProgramCount;

static void NoteProgram(DWORD Pid) {
  for (int i = 0; i < ProgramCount; ++i)
    if (ProgramIds[i] == Pid) return;
  if (ProgramCount == MAX_PROGRAMS) return;
  HANDLE h = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, Pid);
  if (!h) return;
  ProgramIds[ProgramCount] = Pid;
  Programs[ProgramCount++] = h;
}

/* 1 when a program whose window was seen ended with an exception's code:
   its run ended in a crash, however whole its work looks. */
static int AnyCrashed(void) {
  int crashed = 0;
  for (int i = 0; i < ProgramCount; ++i) {
    DWORD code = 0;
    WaitForSingleObject(Programs[i], 10000);
    if (GetExitCodeProcess(Programs[i], &code) && code != STILL_ACTIVE && code >= 0xC0000000u) {
      wprintf(L"  program %lu crashed: exit code 0x%08lx\n", ProgramIds[i], code);
      fflush(stdout);
      crashed = 1;
    }
  }
  return crashed;
}
static const wchar_t* Mode;

static BOOL CALLBACK Child(HWND W, LPARAM L) {
  struct Found* f = (struct Found*)L;
  wchar_t text[128];
  if (!IsWindowVisible(W) || !IsWindowEnabled(W)) return TRUE;
  GetWindowTextW(W, text, 128);
  for (int i = 0; i < 4; ++i)
    if (wcscmp(text, GoOn[i]) == 0 && (!f->Button || i < 3)) {
      f->Button = W;
      f->IsFinal = i < 2 || (wcscmp(Mode, L"uninstall") == 0 && i == 3);
      return FALSE;
    }
  return TRUE;
}

static BOOL CALLBACK Top(HWND W, LPARAM L) {
  struct Found* f = (struct Found*)L;
  DWORD pid = 0;
  wchar_t cls[64];
  GetWindowThreadProcessId(W, &pid);
  if (pid == GetCurrentProcessId() || !IsWindowVisible(W)) return TRUE;
  GetClassNameW(W, cls, 64);
  if (wcscmp(cls, L"#32769") == 0) return TRUE;
  RECT r;
  GetWindowRect(W, &r);
  if (r.right <= 0 || r.bottom <= 0) return TRUE; /* placed off the screen on purpose */
  ++f->Windows;
  NoteProgram(pid);
  if (wcscmp(cls, L"#32770") == 0) {
    f->Box = W;
    return TRUE;
  }
  struct Found c = {0};
  EnumChildWindows(W, Child, (LPARAM)&c);
  if (!f->Page || c.Button) {
    f->Page = W;
    f->Button = c.Button;
    f->IsFinal = c.IsFinal;
  }
  return TRUE;
}

/* import grabs the display while it takes a picture, and one that never
   ends (its window went in the middle of the picture) has kept the display
   frozen for the rest of the run: each picture gets PictureSeconds, and is
   given up after that. */
#define PictureSeconds 5

/* Saves a picture of the other program's window W: its X window (Wine
   keeps the window's X id in a property), as the display shows it. */
static void Picture(HWND W, const wchar_t* Caption) {
  wchar_t name[200], png[800], cmd[1200];
  int n = 0;
  for (const wchar_t* p = Caption; *p && n < 60; ++p)
    name[n++] = (iswalnum(*p) ? *p : L'-');
  name[n] = 0;
  Sleep(600); /* let the page paint */
  ULONG_PTR xid = (ULONG_PTR)GetPropW(W, L"__wine_x11_whole_window");
  ++Pictures;
  if (!xid) {
    /* not on the display (not yet shown, or gone): import without a window
       would wait for a click on one */
    wprintf(L"  picture %02d: %ls (not on the display, no picture)\n", Pictures, Caption);
    fflush(stdout);
    return;
  }
  swprintf(png, 800, L"%ls/%ls-%02d-%ls.png", Shots, Mode, Pictures, name);
  /* Wine starts a Unix program without waiting for it, so the shell leaves
     import's exit code beside the picture ("<picture>.rc"). The script holds
     no double quotes (start passes them on unescaped); without field
     splitting and globbing, the path may hold blanks. */
  swprintf(cmd, 1200,
           L"start.exe /unix /bin/sh -c \"set -f; IFS=; timeout -k 1 %d import -window 0x%llx $0; echo $? >$0.rc\" "
           L"\"%ls\"",
           PictureSeconds, (unsigned long long)xid, png);
  wchar_t file[800], rc[820];
  swprintf(file, 800, L"Z:%ls", png); /* the Unix root is drive Z: */
  for (wchar_t* p = file; *p; ++p)
    if (*p == L'/') *p = L'\\';
  swprintf(rc, 820, L"%ls.rc", file);
  DeleteFileW(file);
  DeleteFileW(rc);
  STARTUPINFOW si = {sizeof si};
  PROCESS_INFORMATION pi;
  int code = -1;
  if (CreateProcessW(NULL, cmd, NULL, NULL, FALSE, CREATE_NO_WINDOW, NULL, NULL, &si, &pi)) {
    WaitForSingleObject(pi.hProcess, 10000);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    /* import's time, the second before it is killed, and some to spare */
    for (int i = 0; i < (PictureSeconds + 5) * 10 && code < 0; ++i) {
      HANDLE h = CreateFileW(rc, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0, NULL);
      if (h != INVALID_HANDLE_VALUE) {
        char text[16] = {0};
        DWORD got = 0;
        ReadFile(h, text, sizeof text - 1, &got, NULL);
        CloseHandle(h);
        if (got > 0 && text[got - 1] == '\n') code = atoi(text);
      }
      if (code < 0) Sleep(100);
    }
  }
  DeleteFileW(rc);
  wprintf(L"  picture %02d: %ls\n", Pictures, Caption);
  if (code == 124 || code == 137)
    wprintf(L"    no picture: import did not finish within %d s, skipped\n", PictureSeconds);
  else if (code > 0)
    wprintf(L"    no picture: import ended with exit code %d, skipped\n", code);
  else if (code < 0)
    wprintf(L"    no picture: the picture's shell gave no answer within %d s, skipped\n", PictureSeconds + 5);
  fflush(stdout);
}

static int Remember(const wchar_t* Key) {
  for (int i = 0; i < SeenCount; ++i)
    if (wcscmp(Seen[i], Key) == 0) return 0;
  if (SeenCount < MAX_SEEN) wcsncpy(Seen[SeenCount++], Key, 255);
  return 1;
}

/* The box's default button: the one Enter presses. The box gives it the
   focus and the default frame; what DM_GETDEFID answers is the dialog's
   own record, which a message box need not keep. */
static BOOL CALLBACK DefaultButton(HWND W, LPARAM L) {
  wchar_t cls[32];
  GetClassNameW(W, cls, 32);
  if (_wcsicmp(cls, L"Button") != 0 || !IsWindowVisible(W) ||
      (GetWindowLongW(W, GWL_STYLE) & BS_TYPEMASK) != BS_DEFPUSHBUTTON)
    return TRUE;
  *(WPARAM*)L = (WPARAM)GetDlgCtrlID(W);
  return FALSE;
}

static BOOL CALLBACK BoxText(HWND W, LPARAM L) {
  wchar_t cls[32];
  GetClassNameW(W, cls, 32);
  if (_wcsicmp(cls, L"Static") == 0) {
    wchar_t* out = (wchar_t*)L;
    size_t len = wcslen(out);
    GetWindowTextW(W, out + len, (int)(1000 - len));
  }
  return TRUE;
}

int wmain(int argc, wchar_t** argv) {
  if (argc < 4) {
    fwprintf(stderr, L"usage: qnt_wizard_driver <setup|uninstall> <unix picture folder> <command line>\n");
    return 2;
  }
  Mode = argv[1];
  Shots = argv[2];
  const wchar_t* cmdStart = wcsstr(GetCommandLineW(), argv[3]);
  wchar_t cmd[2048];
  wcsncpy(cmd, cmdStart ? cmdStart : argv[3], 2047);
  cmd[2047] = 0;
  if (cmdStart && cmdStart > GetCommandLineW() && cmdStart[-1] == L'"') {
    /* the first argument was quoted: keep its quotes */
    swprintf(cmd, 2048, L"\"%ls", cmdStart);
  }
  STARTUPINFOW si = {sizeof si};
  PROCESS_INFORMATION pi;
  if (!CreateProcessW(NULL, cmd, NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi)) {
    fwprintf(stderr, L"cannot start %ls (error %lu)\n", cmd, GetLastError());
    return 2;
  }
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  int sawWindow = 0, finished = 0, failed = 0, quiet = 0;
  for (int tick = 0; tick < 3000; ++tick) { /* 100 ms each */
    Sleep(100);
    struct Found f = {0};
    EnumWindows(Top, (LPARAM)&f);
    if (f.Windows == 0) {
      /* between two programs (the loader, then the setup program it
         starts) no window may show for a while */
      if (sawWindow && ++quiet >= (finished ? 30 : 600)) {
        const int crashed = AnyCrashed();
        return finished && !failed && !crashed ? 0 : 1;
      }
      continue;
    }
    quiet = 0;
    sawWindow = 1;
    if (f.Box) {
      wchar_t caption[200], text[1000] = L"";
      GetWindowTextW(f.Box, caption, 200);
      EnumChildWindows(f.Box, BoxText, (LPARAM)text);
      Picture(f.Box, L"message");
      wprintf(L"  message box \"%ls\": %ls\n", caption, text);
      fflush(stdout);
      if (wcscmp(Mode, L"setup") == 0) failed = 1;
      {
        /* what Enter does: the box's default button ("Yes" on a Yes/No
           question that defaults to it, "No" on one that does not), else
           the one DM_GETDEFID names, else OK */
        WPARAM id = 0;
        EnumChildWindows(f.Box, DefaultButton, (LPARAM)&id);
        if (!id) {
          DWORD_PTR def = 0;
          if (!SendMessageTimeoutW(f.Box, DM_GETDEFID, 0, 0, SMTO_ABORTIFHUNG, 5000, &def)) def = 0;
          id = HIWORD(def) == DC_HASDEFID ? LOWORD(def) : IDOK;
        }
        SendMessageTimeoutW(f.Box, WM_COMMAND, id, 0, SMTO_ABORTIFHUNG, 5000, NULL);
      }
      Sleep(500);
      continue;
    }
    if (!f.Page) continue;
    wchar_t caption[256];
    GetWindowTextW(f.Page, caption, 256);
    if (!caption[0]) wcscpy(caption, L"window without a caption");
    if (Remember(caption)) Picture(f.Page, caption);
    if (!f.Button) continue;
    /* the page may have changed while it was pictured: look again */
    struct Found g = {0};
    EnumWindows(Top, (LPARAM)&g);
    if (g.Page != f.Page || g.Button != f.Button) continue;
    PostMessageW(f.Button, BM_CLICK, 0, 0);
    if (f.IsFinal) finished = 1;
    /* the page is left once its button is hidden (or gone); then let the
       next page settle before looking at it */
    for (int i = 0; i < 100 && IsWindow(f.Button) && IsWindowVisible(f.Button) && IsWindowEnabled(f.Button); ++i)
      Sleep(100);
    Sleep(300);
  }
  fwprintf(stderr, L"the program did not finish in time\n");
  return 2;
}
