#include "common/PageRunner.h"

#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <stdexcept>

#include "classlib/WinText.h"
#include "common/TestSupport.h"

namespace testsupport {

namespace {
std::map<UINT_PTR, PageRunner*>& Runners() {
  static std::map<UINT_PTR, PageRunner*> m;
  return m;
}

BOOL CALLBACK FindBox(HWND h, LPARAM p) {
  wchar_t cls[16] = {};
  GetClassNameW(h, cls, 16);
  if (IsWindowVisible(h) && std::wstring(cls) == L"#32770") {
    *reinterpret_cast<HWND*>(p) = h;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

PageRunner::PageRunner(unsigned WatchdogMs, unsigned IntervalMs) : FStart(GetTickCount()), FWatchdogMs(WatchdogMs) {
  FTimer = SetTimer(nullptr, 0, IntervalMs, &PageRunner::TimerProc);
  Runners()[FTimer] = this;
}

PageRunner::~PageRunner() {
  KillTimer(nullptr, FTimer);
  Runners().erase(FTimer);
}

PageRunner& PageRunner::Step(std::string Name, std::function<bool()> Ready, std::function<void()> Act) {
  FSteps.push_back({std::move(Name), std::move(Ready), std::move(Act)});
  return *this;
}

void CALLBACK PageRunner::TimerProc(HWND, UINT, UINT_PTR Id, DWORD) {
  auto it = Runners().find(Id);
  if (it != Runners().end()) it->second->Tick();
}

void PageRunner::Tick() {
  if (FFired) return;
  if (GetTickCount() - FStart > FWatchdogMs) {
    // Also when every step ran but the loop they should have ended still runs.
    FFired = true;
    FErrors.push_back(Finished() ? std::string("watchdog: every step ran, but the loop still runs")
                                 : "watchdog: still waiting at step '" + FSteps[FIndex].Name + "'");
    if (HWND box = MessageBoxWindow()) PostMessageW(box, WM_COMMAND, IDCANCEL, 0);
    if (Application) Application->Terminate();
    FIndex = FSteps.size();
    return;
  }
  if (Finished()) return;
  TStep& s = FSteps[FIndex];
  try {
    if (s.Ready && !s.Ready()) return;
    ++FIndex;  // before acting: a loop the action opens sees the next step
    if (s.Act) s.Act();
  } catch (const std::exception& e) {
    FErrors.push_back("step '" + s.Name + "': " + e.what());
  } catch (...) {
    FErrors.push_back("step '" + s.Name + "': unknown exception");
  }
}

std::string PageRunner::Report() const {
  std::string r = std::to_string(FIndex) + " of " + std::to_string(FSteps.size()) + " steps done";
  if (!Finished()) r += "; waiting at '" + FSteps[FIndex].Name + "'";
  for (const std::string& e : FErrors) r += "; " + e;
  return r;
}

int PageRunner::ShowModalForScreenshot(TForm* Form, const char* Path, bool& Taken) {
  Taken = false;
  PageRunner run(60000);
  run.Step("shown", [&] { return Shown(Form); },
           [&] {
             Form->Repaint();
             Sleep(300);
             Taken = testsupport::Screenshot(Form->Handle(), Path);
             CloseCommand(Form);
           });
  return Form->ShowModal();
}

bool PageRunner::Shown(TForm* Form) {
  if (!Form || !Form->HandleAllocated() || !IsWindowVisible(Form->Handle())) return false;
  // A modal form counts once its loop runs (the form is enabled, others not).
  return IsWindowEnabled(Form->Handle());
}

HWND PageRunner::MessageBoxWindow() {
  HWND found = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), FindBox, reinterpret_cast<LPARAM>(&found));
  return found;
}

std::string PageRunner::MessageBoxText(HWND Box) {
  return StaticTexts(Box);
}

void PageRunner::Click(TWinControl* Control) { PostMessageW(Control->Handle(), BM_CLICK, 0, 0); }

void PageRunner::Key(WORD VirtualKey, HWND Target) {
  if (!Target) Target = GetFocus();
  if (!Target) Target = GetActiveWindow();
  // Posted to no window it would become a thread message that nothing reads,
  // and the loop waiting for the key would run until the watchdog.
  if (!Target) throw std::runtime_error("no window of this thread has the focus for the key");
  UINT scan = MapVirtualKeyW(VirtualKey, MAPVK_VK_TO_VSC);
  PostMessageW(Target, WM_KEYDOWN, VirtualKey, static_cast<LPARAM>(1 | (scan << 16)));
  PostMessageW(Target, WM_KEYUP, VirtualKey, static_cast<LPARAM>(1 | (scan << 16) | (3u << 30)));
}

void PageRunner::CloseCommand(TForm* Form) { PostMessageW(Form->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0); }

void PageRunner::AnswerMessageBox(HWND Box, int ButtonId) { PostMessageW(Box, WM_COMMAND, ButtonId, 0); }

TPicture WindowPicture(HWND Window) {
  TPicture p;
  RECT r{};
  if (!IsWindow(Window) || !GetClientRect(Window, &r) || r.right <= 0 || r.bottom <= 0) return p;
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = r.right;
  bi.bmiHeader.biHeight = -r.bottom;  // rows from the top
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bitmap) return p;
  // Wine keeps each window's pixels apart from the display, so the window's
  // own device context reads them even where another window covers it.
  HDC source = GetDC(Window);
  HDC memory = CreateCompatibleDC(source);
  HGDIOBJ old = SelectObject(memory, bitmap);
  const bool copied = BitBlt(memory, 0, 0, r.right, r.bottom, source, 0, 0, SRCCOPY);
  GdiFlush();
  if (copied) {
    p.Width = r.right;
    p.Height = r.bottom;
    const auto* px = static_cast<const uint32_t*>(bits);
    p.Pixels.assign(px, px + static_cast<size_t>(p.Width) * p.Height);
    for (uint32_t& v : p.Pixels) v &= 0xFFFFFF;
  }
  SelectObject(memory, old);
  DeleteDC(memory);
  ReleaseDC(Window, source);
  DeleteObject(bitmap);
  return p;
}

namespace {

void PutBigEndian(std::string& Out, uint32_t V) {
  for (int shift = 24; shift >= 0; shift -= 8) Out += static_cast<char>((V >> shift) & 0xFF);
}

void PutChunk(std::string& Out, const char* Type, const std::string& Data) {
  PutBigEndian(Out, static_cast<uint32_t>(Data.size()));
  const std::string body = std::string(Type, 4) + Data;
  Out += body;
  PutBigEndian(Out, static_cast<uint32_t>(
                        crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()))));
}

// The Unix path as Wine names it: the Unix root is drive Z:.
std::wstring WinePath(const std::string& UnixPath) {
  std::wstring file = L"Z:" + Widen(UnixPath);
  for (wchar_t& c : file)
    if (c == L'/') c = L'\\';
  return file;
}

// import grabs the display while it takes a picture, and one that never ends
// (its window went in the middle of the picture) has kept the display frozen
// for everything after it: a picture gets this long, then it is given up.
constexpr int PictureSeconds = 5;

// Waits (a bounded time) for the exit code that the picture's shell leaves
// in the file RcPath; -1 when none came.
int WaitForExitCode(const std::string& RcPath) {
  const std::wstring file = WinePath(RcPath);
  for (int i = 0; i < (PictureSeconds + 5) * 10; ++i) {
    HANDLE h = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      char text[16] = {};
      DWORD got = 0;
      ReadFile(h, text, sizeof text - 1, &got, nullptr);
      CloseHandle(h);
      if (got > 0 && text[got - 1] == '\n') return atoi(text);
    }
    Sleep(100);
  }
  return -1;
}

bool SavePng(const TPicture& Picture, const std::string& UnixPath) {
  std::string rows;
  rows.reserve(static_cast<size_t>(Picture.Width * 3 + 1) * Picture.Height);
  for (int y = 0; y < Picture.Height; ++y) {
    rows += '\0';  // no filter
    for (int x = 0; x < Picture.Width; ++x) {
      const uint32_t v = Picture.Pixels[static_cast<size_t>(y) * Picture.Width + x];
      rows += static_cast<char>(v >> 16);
      rows += static_cast<char>(v >> 8);
      rows += static_cast<char>(v);
    }
  }
  uLongf packedSize = compressBound(static_cast<uLong>(rows.size()));
  std::string packed(packedSize, '\0');
  if (compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize, reinterpret_cast<const Bytef*>(rows.data()),
                static_cast<uLong>(rows.size()), 6) != Z_OK)
    return false;
  packed.resize(packedSize);
  std::string header;
  PutBigEndian(header, static_cast<uint32_t>(Picture.Width));
  PutBigEndian(header, static_cast<uint32_t>(Picture.Height));
  header += std::string("\x08\x02\x00\x00\x00", 5);  // 8 bits, RGB, deflate, no filter, no interlace
  std::string png = "\x89PNG\r\n\x1a\n";
  PutChunk(png, "IHDR", header);
  PutChunk(png, "IDAT", packed);
  PutChunk(png, "IEND", "");
  HANDLE h =
      CreateFileW(WinePath(UnixPath).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = WriteFile(h, png.data(), static_cast<DWORD>(png.size()), &written, nullptr) && written == png.size();
  CloseHandle(h);
  return ok;
}

}  // namespace

bool Screenshot(HWND Window, const std::string& UnixPath) {
  DWORD pid = 0;
  GetWindowThreadProcessId(Window, &pid);
  if (pid == GetCurrentProcessId()) {
    const TPicture p = WindowPicture(Window);
    return !p.Pixels.empty() && SavePng(p, UnixPath);
  }
  // Another program's pixels are not readable from here: its top-level
  // window's X window, as the display shows it.
  HWND top = GetAncestor(Window, GA_ROOT);
  const auto xid = reinterpret_cast<uintptr_t>(GetPropW(top ? top : Window, L"__wine_x11_whole_window"));
  if (!xid) return false;
  char id[32];
  snprintf(id, sizeof id, "0x%llx", static_cast<unsigned long long>(xid));
  const std::string rc = UnixPath + ".rc";
  DeleteFileW(WinePath(UnixPath).c_str());
  DeleteFileW(WinePath(rc).c_str());
  // Wine starts a Unix program without waiting for it: the shell leaves
  // import's exit code beside the picture. The script holds no double quotes
  // (start passes them on unescaped); without field splitting and globbing
  // the path may hold blanks.
  if (RunAndWait("start /unix /bin/sh -c \"set -f; IFS=; timeout -k 1 " + std::to_string(PictureSeconds) +
                     " import -window " + id + " $0; echo $? >$0.rc\" \"" + UnixPath + "\"",
                 "", 10000) != 0)
    return false;
  const int code = WaitForExitCode(rc);
  DeleteFileW(WinePath(rc).c_str());
  if (code == 0) return true;
  if (code == 124 || code == 137)
    fprintf(stderr, "no picture of %s: import did not finish within %d s, skipped\n", id, PictureSeconds);
  else
    fprintf(stderr, "no picture of %s: import %s, skipped\n", id,
            code < 0 ? "gave no answer" : ("ended with exit code " + std::to_string(code)).c_str());
  return false;
}

}  // namespace testsupport
