/* Walks a setup program's wizard (or the uninstaller's window) as a user
   who takes every default would: it starts the command line given and
   follows that program and the programs it starts; for every new page of
   their windows it saves a picture of that window and clicks the button
   that goes on ("Next >", "Finish", "&Start"). Message boxes are pictured,
   printed and answered with their default button; under the mode "setup"
   one counts as a failure. A box that comes back more than SameBoxAnswers
   times (a Retry that cannot help) is given up: answered with its Cancel
   button where it has one, else its programs are ended. The windows of
   other programs are left alone.

     qnt_wizard_driver <setup|uninstall|build> <unix folder for pictures> <command line>

   A followed program that ends while programs it started run hands the
   walk on to them (the loader starts the setup program and ends). Programs
   of the Windows folder are not followed: Wine's helpers, Notepad. Once the
   last button is clicked (Finish; Start for the uninstaller), the walk ends
   when the program whose button it was has ended: what that one started (a
   readme in a viewer of its own) is left running. The end of the program
   started, and of each whose window was met, is printed at once, with its
   exit code.

   Exits 0 once the program of the last button has ended; 1 when the
   followed programs ended before it, a message box showed under "setup", a
   box was given up or a program ended in a crash (an exception's code as
   its exit code: Wine's "Program Error" box, where one is shown); 2 when
   they did not end in time, or the picture folder is no Unix folder from
   the root that exists. Under "build" (a program without pages: a *BUILD
   run) it answers the boxes and exits with the started program's own exit
   code once that has ended (1 when a box was given up). */
#include <windows.h>
#include <tlhelp32.h>
#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>

#define MAX_SEEN 64
#define SameBoxAnswers 5

static wchar_t Seen[MAX_SEEN][256];
static int SeenCount, Pictures;
static const wchar_t* Shots;
static const wchar_t* Mode;

/* The programs followed: the one started, and those that a followed
   program started (found by their parent's id; the handles held keep the
   ids from being reused while the walk runs). */
#define MAX_PROGRAMS 32
struct Program {
  HANDLE Handle;
  DWORD Id, Code;
  ULONGLONG Started; /* creation time */
  int Ended, Showed; /* Showed: a window of it was met */
  wchar_t Name[MAX_PATH];
};
static struct Program Programs[MAX_PROGRAMS];
static int ProgramCount, Crashed, Failed;

static ULONGLONG CreationTime(HANDLE H) {
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(H, &created, &exited, &kernel, &user)) return 0;
  return ((ULONGLONG)created.dwHighDateTime << 32) | created.dwLowDateTime;
}

/* The program file of the process H; 0 while it cannot be read (a process
   that is still starting, or gone). */
static int ImagePath(HANDLE H, wchar_t* Path) {
  DWORD size = MAX_PATH;
  return QueryFullProcessImageNameW(H, 0, Path, &size);
}

/* Follows the process H; its name is its program's file name. */
static void Follow(HANDLE H, DWORD Id, const wchar_t* Path) {
  struct Program* p = &Programs[ProgramCount++];
  p->Handle = H;
  p->Id = Id;
  p->Started = CreationTime(H);
  const wchar_t* slash = wcsrchr(Path, L'\\');
  wcsncpy(p->Name, slash ? slash + 1 : Path, MAX_PATH - 1);
}

static struct Program* Followed(DWORD Id) {
  for (int i = 0; i < ProgramCount; ++i)
    if (Programs[i].Id == Id) return &Programs[i];
  return NULL;
}

/* 1 when Path is a program of the Windows folder: Wine's own
   helpers (its desktop, services and console, which the first program that
   needs them starts and which outlive it) and Windows' programs, such as the
   Notepad a closing page opens a readme in. They are not the setup's; what
   runs from the temporary folder (the loader's setup program) is, also
   where that lies in the Windows folder. */
static int OfWindows(const wchar_t* Path) {
  wchar_t windows[MAX_PATH], temp[MAX_PATH];
  const UINT n = GetWindowsDirectoryW(windows, MAX_PATH);
  if (!n || n >= MAX_PATH - 1) return 0;
  const DWORD t = GetTempPathW(MAX_PATH, temp);
  if (t && t < MAX_PATH && _wcsnicmp(Path, temp, t) == 0) return 0;
  wcscat(windows, L"\\");
  return _wcsnicmp(Path, windows, wcslen(windows)) == 0;
}

/* Follows the programs that followed ones started: a process is a child
   when its parent's id is a followed program's and it began after that
   program (not before, under an id used again). */
static void FollowChildren(void) {
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snap == INVALID_HANDLE_VALUE) return;
  PROCESSENTRY32W pe = {sizeof pe};
  for (BOOL more = Process32FirstW(snap, &pe); more && ProgramCount < MAX_PROGRAMS; more = Process32NextW(snap, &pe)) {
    const struct Program* parent = Followed(pe.th32ParentProcessID);
    if (!parent || Followed(pe.th32ProcessID)) continue;
    HANDLE h = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE, FALSE, pe.th32ProcessID);
    if (!h) continue;
    /* one whose program cannot be read yet is looked at again next time */
    wchar_t path[MAX_PATH];
    if (CreationTime(h) < parent->Started || !ImagePath(h, path) || OfWindows(path))
      CloseHandle(h);
    else
      Follow(h, pe.th32ProcessID, path);
  }
  CloseHandle(snap);
}

/* Notes the ends of followed programs, and prints those of the program
   started and of those whose windows were met (Wine's helpers, such as a
   menu builder turned off, end without a window and unasked). */
static void NoteEnds(void) {
  for (int i = 0; i < ProgramCount; ++i) {
    struct Program* p = &Programs[i];
    if (p->Ended || WaitForSingleObject(p->Handle, 0) != WAIT_OBJECT_0) continue;
    p->Ended = 1;
    GetExitCodeProcess(p->Handle, &p->Code);
    if (i > 0 && !p->Showed) continue;
    if (p->Code >= 0xC0000000u) {
      wprintf(L"  %ls crashed: exit code 0x%08lx\n", p->Name, p->Code);
      Crashed = 1;
    } else {
      wprintf(L"  %ls ended: exit code %lu\n", p->Name, p->Code);
    }
    fflush(stdout);
  }
}

static int Running(DWORD Id) {
  const struct Program* p = Followed(Id);
  return p && !p->Ended;
}

static int AnyRunning(void) {
  for (int i = 0; i < ProgramCount; ++i)
    if (!Programs[i].Ended) return 1;
  return 0;
}

/* Ends the followed programs still running, waiting a little for each. */
static void EndPrograms(void) {
  for (int i = 0; i < ProgramCount; ++i)
    if (!Programs[i].Ended) {
      TerminateProcess(Programs[i].Handle, 1);
      WaitForSingleObject(Programs[i].Handle, 5000);
    }
  NoteEnds();
}

struct Found {
  HWND Page;    /* a top-level window of a followed program */
  HWND Button;  /* its visible, enabled button that goes on */
  HWND Box;     /* a message box */
  int IsFinal;  /* Button ends the run */
};

static const wchar_t* const GoOn[] = {L"&Finish", L"Finish", L"Next >", L"&Start"};

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
  if (!Running(pid) || !IsWindowVisible(W)) return TRUE;
  GetClassNameW(W, cls, 64);
  if (wcscmp(cls, L"#32769") == 0) return TRUE;
  RECT r;
  GetWindowRect(W, &r);
  if (r.right <= 0 || r.bottom <= 0) return TRUE; /* placed off the screen on purpose */
  Followed(pid)->Showed = 1;
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

/* import's exit code, once the shell has written it whole; -1 before. */
static int ImportCode(const wchar_t* RcFile) {
  HANDLE h = CreateFileW(RcFile, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0, NULL);
  if (h == INVALID_HANDLE_VALUE) return -1;
  char text[16] = {0};
  DWORD got = 0;
  ReadFile(h, text, sizeof text - 1, &got, NULL);
  CloseHandle(h);
  return got > 0 && text[got - 1] == '\n' ? atoi(text) : -1;
}

/* Saves a picture of a followed program's window W: its X window (Wine
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
    for (int i = 0; i < (PictureSeconds + 5) * 10 && (code = ImportCode(rc)) < 0; ++i) Sleep(100);
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

/* How often each box (caption and text) was answered. */
static wchar_t BoxKeys[MAX_SEEN][600];
static int BoxAnswers[MAX_SEEN], BoxCount, GaveUp;

static int Answered(const wchar_t* Key) {
  for (int i = 0; i < BoxCount; ++i)
    if (wcscmp(BoxKeys[i], Key) == 0) return ++BoxAnswers[i];
  if (BoxCount == MAX_SEEN) return 1;
  wcsncpy(BoxKeys[BoxCount], Key, 599);
  return BoxAnswers[BoxCount++] = 1;
}

/* What Enter does: the box's default button ("Yes" on a Yes/No question
   that defaults to it, "No" on one that does not), else the one DM_GETDEFID
   names, else OK. */
static WPARAM DefaultId(HWND Box) {
  WPARAM id = 0;
  EnumChildWindows(Box, DefaultButton, (LPARAM)&id);
  if (!id) {
    DWORD_PTR def = 0;
    if (!SendMessageTimeoutW(Box, DM_GETDEFID, 0, 0, SMTO_ABORTIFHUNG, 5000, &def)) def = 0;
    id = HIWORD(def) == DC_HASDEFID ? LOWORD(def) : IDOK;
  }
  return id;
}

/* Pictures (the first time), prints and answers a box; 1 when it was given
   up and its programs ended. */
static int AnswerBox(HWND Box) {
  wchar_t caption[200], text[1000] = L"", key[600];
  GetWindowTextW(Box, caption, 200);
  EnumChildWindows(Box, BoxText, (LPARAM)text);
  swprintf(key, 600, L"%ls|%ls", caption, text);
  const int times = Answered(key);
  if (times == 1) Picture(Box, L"message");
  wprintf(L"  message box \"%ls\": %ls\n", caption, text);
  fflush(stdout);
  if (wcscmp(Mode, L"setup") == 0) Failed = 1;
  WPARAM id = DefaultId(Box);
  if (times > SameBoxAnswers) {
    HWND cancel = GetDlgItem(Box, IDCANCEL);
    const int canCancel = !GaveUp && cancel && IsWindowVisible(cancel) && IsWindowEnabled(cancel);
    wprintf(L"  given up: the box \"%ls\" came back %d times; %ls\n", caption, times - 1,
            canCancel ? L"answered with Cancel" : L"its programs are ended");
    fflush(stdout);
    GaveUp = 1;
    if (!canCancel) {
      EndPrograms();
      return 1;
    }
    id = IDCANCEL;
  }
  SendMessageTimeoutW(Box, WM_COMMAND, id, 0, SMTO_ABORTIFHUNG, 5000, NULL);
  return 0;
}

/* The picture folder: a Unix folder from the root that exists (the
   pictures are taken by a Unix program, whose folder is not this one's). */
static int PictureFolderFault(void) {
  if (Shots[0] != L'/') {
    fwprintf(stderr, L"the picture folder must be a Unix path from the root (/tmp/pictures): %ls is relative\n", Shots);
    return 1;
  }
  wchar_t dos[800];
  swprintf(dos, 800, L"Z:%ls", Shots); /* the Unix root is drive Z: */
  for (wchar_t* p = dos; *p; ++p)
    if (*p == L'/') *p = L'\\';
  const DWORD a = GetFileAttributesW(dos);
  if (a == INVALID_FILE_ATTRIBUTES || !(a & FILE_ATTRIBUTE_DIRECTORY)) {
    fwprintf(stderr, L"the picture folder %ls does not exist\n", Shots);
    return 1;
  }
  return 0;
}

/* Starts the command line as the first followed program: the arguments
   from the third on, as given. One argument alone is the whole command
   line (a Unix shell passes 'NotesSetup.exe *BUILD' so), or the program,
   when it names a file (a path with blanks, quoted again). */
static int StartProgram(int Argc, wchar_t** Argv) {
  const wchar_t* given = Argv[3];
  wchar_t cmd[2048];
  if (Argc == 4) {
    const DWORD a = GetFileAttributesW(given);
    const int file = a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
    swprintf(cmd, 2048, file ? L"\"%ls\"" : L"%ls", given);
  } else {
    const wchar_t* cmdStart = wcsstr(GetCommandLineW(), given);
    wcsncpy(cmd, cmdStart ? cmdStart : given, 2047);
    cmd[2047] = 0;
    if (cmdStart && cmdStart > GetCommandLineW() && cmdStart[-1] == L'"') {
      /* the first argument was quoted: keep its quotes */
      swprintf(cmd, 2048, L"\"%ls", cmdStart);
    }
  }
  STARTUPINFOW si = {sizeof si};
  PROCESS_INFORMATION pi;
  if (!CreateProcessW(NULL, cmd, NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi)) {
    fwprintf(stderr, L"cannot start %ls (error %lu)\n", cmd, GetLastError());
    return 0;
  }
  CloseHandle(pi.hThread);
  wchar_t path[MAX_PATH];
  if (!ImagePath(pi.hProcess, path)) {
    wcsncpy(path, cmd, MAX_PATH - 1);
    path[MAX_PATH - 1] = 0;
  }
  Follow(pi.hProcess, pi.dwProcessId, path);
  return 1;
}

/* Pictures a page the first time it shows and clicks its button that goes
   on; 1 when that was the last button. */
static int GoOnFrom(const struct Found* F) {
  wchar_t caption[256];
  GetWindowTextW(F->Page, caption, 256);
  if (!caption[0]) wcscpy(caption, L"window without a caption");
  if (Remember(caption)) Picture(F->Page, caption);
  if (!F->Button) return 0;
  /* the page may have changed while it was pictured: look again */
  struct Found g = {0};
  EnumWindows(Top, (LPARAM)&g);
  if (g.Page != F->Page || g.Button != F->Button) return 0;
  PostMessageW(F->Button, BM_CLICK, 0, 0);
  /* the page is left once its button is hidden (or gone); then let the
     next page settle before looking at it */
  for (int i = 0; i < 100 && IsWindow(F->Button) && IsWindowVisible(F->Button) && IsWindowEnabled(F->Button); ++i)
    Sleep(100);
  Sleep(300);
  return F->IsFinal;
}

/* The driver's exit code once the followed programs have all ended
   before the last button. */
static int EndedBeforeTheLastButton(void) {
  if (wcscmp(Mode, L"build") == 0) return GaveUp || Crashed ? 1 : (int)Programs[0].Code;
  wprintf(L"  the programs ended before the last button\n");
  fflush(stdout);
  return 1;
}

int wmain(int argc, wchar_t** argv) {
  if (argc < 4 || (wcscmp(argv[1], L"setup") && wcscmp(argv[1], L"uninstall") && wcscmp(argv[1], L"build"))) {
    fwprintf(stderr, L"usage: qnt_wizard_driver <setup|uninstall|build> <unix picture folder> <command line>\n");
    return 2;
  }
  Mode = argv[1];
  Shots = argv[2];
  if (PictureFolderFault() || !StartProgram(argc, argv)) return 2;
  DWORD last = 0; /* the program whose last button was clicked */
  int clickedLast = 0;
  for (int tick = 0; tick < 3000; ++tick) { /* 100 ms each */
    Sleep(100);
    /* ends first: a child that a program started before it ended is then
       in the list of processes */
    NoteEnds();
    FollowChildren();
    if (clickedLast && !Running(last)) return Failed || GaveUp || Crashed ? 1 : 0;
    if (!AnyRunning()) return EndedBeforeTheLastButton();
    struct Found f = {0};
    EnumWindows(Top, (LPARAM)&f);
    if (f.Box) {
      if (AnswerBox(f.Box)) return 1;
      Sleep(500);
      continue;
    }
    if (!f.Page) continue;
    DWORD pid = 0;
    GetWindowThreadProcessId(f.Page, &pid);
    if (GoOnFrom(&f)) {
      clickedLast = 1;
      last = pid;
    }
  }
  fwprintf(stderr, L"the program did not finish in time; still running:");
  for (int i = 0; i < ProgramCount; ++i)
    if (!Programs[i].Ended) fwprintf(stderr, L" %ls (%lu)", Programs[i].Name, Programs[i].Id);
  fwprintf(stderr, L"\n");
  return 2;
}
