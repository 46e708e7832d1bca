// For tests that start a program and drive its windows from the outside: the
// started process, and its boxes and buttons found by caption and text.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

namespace testsupport {

// A started program; the handles close with it.
class TChildProcess {
public:
  // Starts CommandLine with the given working folder (empty: ours); a given
  // Program is started whatever the command line names as its program; a
  // given OutputFile is made anew and takes its standard output and error.
  // Started() tells whether that worked.
  explicit TChildProcess(const std::string& CommandLine, const std::string& WorkDir = "",
                         const std::string& Program = "", const std::string& OutputFile = "");
  ~TChildProcess();
  TChildProcess(const TChildProcess&) = delete;
  TChildProcess& operator=(const TChildProcess&) = delete;
  bool Started() const { return FProcess != nullptr; }
  uint32_t Pid() const { return FPid; }
  // The exit code once ended within TimeoutMs; -2 on time-out (the program is
  // then ended).
  long Wait(uint32_t TimeoutMs);

private:
  void* FProcess = nullptr;
  uint32_t FPid = 0;
};

struct TForeignBox {
  bool Found = false;
  std::string Caption;
  std::string Text;  // the texts of its static controls, one per line
};

// Waits up to TimeoutMs for a visible top-level window of process Pid whose
// caption is Caption, reads its text and presses its OK button.
TForeignBox AnswerForeignBox(uint32_t Pid, const std::string& Caption, uint32_t TimeoutMs);

// Waits up to TimeoutMs for a visible dialog box (a message box) of process
// Pid, whatever its caption, reads it and presses the button that Choose
// names for its text (IDOK, IDYES, IDNO ...).
TForeignBox AnswerForeignDialog(uint32_t Pid, const std::function<int(const std::string& Text)>& Choose,
                                uint32_t TimeoutMs);

// Waits up to TimeoutMs for the window of process Pid captioned Caption and
// clicks its button (at any depth) whose text is ButtonText; false when there
// was none, or it was disabled.
bool ClickForeignButton(uint32_t Pid, const std::string& Caption, const std::string& ButtonText,
                        uint32_t TimeoutMs);

// True while process Pid shows a visible top-level window captioned Caption.
bool HasWindowCaptioned(uint32_t Pid, const std::string& Caption);

}  // namespace testsupport
