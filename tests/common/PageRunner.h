// Drives forms from inside whatever message loop runs (ShowModal, a message
// box, Application->Run): a thread timer ticks on the user-interface thread,
// each tick looks at the objects without races and acts through real window
// messages (clicks, keys, the close command), as a user would.
//
//     testsupport::PageRunner run;
//     run.Step("wizard shown", [&] { return run.Shown(form); },
//              [&] { run.Click(form->NextButton); })
//        .Step("Return", [&] { return run.Shown(form); }, [&] { run.Key(VK_RETURN); });
//     TModalResult r = form->ShowModal();
//     EXPECT_TRUE(run.Finished()) << run.Report();
//
// Steps run in order: a step waits (ticks pass) until Ready is true, then
// Act runs once. The next step is current before Act runs, so an Act that
// opens a nested modal loop is answered by the following steps. An exception
// in a step and the watchdog (nothing finished within WatchdogMs) are
// recorded in Errors; the watchdog also terminates the application so that
// every loop ends (tests run one per process).
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "classlib/Forms.h"

namespace testsupport {

class PageRunner {
public:
  explicit PageRunner(unsigned WatchdogMs = 20000, unsigned IntervalMs = 15);
  ~PageRunner();
  PageRunner(const PageRunner&) = delete;
  PageRunner& operator=(const PageRunner&) = delete;

  PageRunner& Step(std::string Name, std::function<bool()> Ready, std::function<void()> Act);
  // Runs Act at the next tick.
  PageRunner& Do(std::string Name, std::function<void()> Act) { return Step(std::move(Name), nullptr, std::move(Act)); }
  // Waits until Ready is true.
  PageRunner& When(std::string Name, std::function<bool()> Ready) {
    return Step(std::move(Name), std::move(Ready), nullptr);
  }

  bool Finished() const { return FIndex >= FSteps.size(); }
  const std::vector<std::string>& Errors() const { return FErrors; }
  // Steps done, the one waited for, and the errors: for test messages.
  std::string Report() const;

  // Predicates.
  // The form's window is shown (and, for a modal form, its loop runs).
  static bool Shown(TForm* Form);
  // The first shown form of class T, or nullptr.
  template <class T>
  static T* ShownForm() {
    for (int i = 0; Screen && i < Screen->FormCount(); ++i)
      if (auto* f = dynamic_cast<T*>(Screen->Forms(i)); f && Shown(f)) return f;
    return nullptr;
  }
  // A shown message box (or other system dialog) of this thread, or nullptr.
  static HWND MessageBoxWindow();
  static std::string MessageBoxText(HWND Box);

  // Actions, through posted messages.
  static void Click(TWinControl* Control);
  // Key down and up at the window that has the focus (or at Target); throws
  // when there is none (another program's window has the foreground).
  static void Key(WORD VirtualKey, HWND Target = nullptr);
  // The window's close command (system menu Close, Alt+F4).
  static void CloseCommand(TForm* Form);
  static void AnswerMessageBox(HWND Box, int ButtonId);

  // Shows Form modally, saves a picture of its window at Path (a Unix path)
  // once it is painted, then closes it with the close command. Returns ShowModal's result; Taken says
  // whether the picture was saved.
  static int ShowModalForScreenshot(TForm* Form, const char* Path, bool& Taken);

private:
  struct TStep {
    std::string Name;
    std::function<bool()> Ready;
    std::function<void()> Act;
  };
  static void CALLBACK TimerProc(HWND, UINT, UINT_PTR Id, DWORD);
  void Tick();
  std::vector<TStep> FSteps;
  size_t FIndex = 0;
  std::vector<std::string> FErrors;
  UINT_PTR FTimer = 0;
  DWORD FStart;
  unsigned FWatchdogMs;
  bool FFired = false;
};

// What one window shows: its client area with the windows inside it, as
// the display shows it when nothing lies over it (no window manager runs on
// the test display, so top-level windows have no frame there either).
struct TPicture {
  int Width = 0, Height = 0;
  std::vector<uint32_t> Pixels;  // rows from the top, 0x00RRGGBB
  bool operator==(const TPicture&) const = default;
};

// The picture of a window of this process, read from the window's own
// pixels, so that whatever covers it on the shared display stays out of it;
// empty when it cannot be read.
TPicture WindowPicture(HWND Window);

// Saves a picture of Window into UnixPath (PNG): a window of this process
// from its own pixels, another program's window as its X window shows it.
// False when it could not.
bool Screenshot(HWND Window, const std::string& UnixPath);

}  // namespace testsupport
