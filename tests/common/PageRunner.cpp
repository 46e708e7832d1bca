#include "common/PageRunner.h"

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
             Taken = testsupport::Screenshot(Path);
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

bool Screenshot(const std::string& UnixPath) {
  std::string cmd = "start /wait /unix /usr/bin/import -window root " + UnixPath;
  if (RunAndWait(cmd, "", 30000) != 0) return false;
  // start does not wait for a Unix program: wait for the picture (the Unix
  // root is drive Z:) until its size holds still, so that it shows the
  // screen before the next step acts.
  std::string file = "Z:" + UnixPath;
  for (char& c : file)
    if (c == '/') c = '\\';
  long long last = -1;
  for (int i = 0; i < 200; ++i) {
    WIN32_FILE_ATTRIBUTE_DATA a;
    long long size = -1;
    if (GetFileAttributesExA(file.c_str(), GetFileExInfoStandard, &a))
      size = (static_cast<long long>(a.nFileSizeHigh) << 32) | a.nFileSizeLow;
    if (size > 0 && size == last) return true;
    last = size;
    Sleep(100);
  }
  return false;
}

}  // namespace testsupport
