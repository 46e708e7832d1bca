// The shell's folder picker and a program launcher that waits for the
// program it starts.
#pragma once
#include <cstdint>
#include <string>

#include "classlib/Classes.h"
#include "classlib/TypInfo.h"

class TOpenFolderDialog {
public:
  // Shows the folder browser owned by the active window; true when a folder
  // was picked. On Cancel, Path keeps the previous choice.
  bool Execute();
  const std::string& Path() const { return FPath; }

private:
  std::string FPath;
};

enum TplShowMode { smNormal, smMaximized, smMinimized, smHide };
extern const TEnumInfo TplShowModeInfo;

class TProgramLauncher : public TComponent {
  QNT_PUBLISHED(TProgramLauncher, TComponent)
public:
  static constexpr int32_t InfiniteTimeout = -1;  // all bits set

  explicit TProgramLauncher(TComponent* AOwner);
  ~TProgramLauncher() override;

  const std::string& Action() const { return FAction; }
  void SetAction(const std::string& v) { FAction = v; }
  const std::string& FileName() const { return FFileName; }
  void SetFileName(const std::string& v) { FFileName = v; }
  const std::string& Parameters() const { return FParameters; }
  void SetParameters(const std::string& v) { FParameters = v; }
  TplShowMode ShowMode() const { return FShowMode; }
  void SetShowMode(TplShowMode v) { FShowMode = v; }
  const std::string& StartDir() const { return FStartDir; }
  void SetStartDir(const std::string& v) { FStartDir = v; }
  int32_t Timeout() const { return FTimeout; }
  void SetTimeout(int32_t v) { FTimeout = v; }

  uint32_t ExitCode() const { return FExitCode; }
  void* HInstance() const { return FHInstance; }
  // The started process; kept open until the next Launch or the launcher's end.
  void* HProcess() const { return FHProcess; }

  // Starts FileName through the shell and waits for it at most Timeout ms.
  void Launch();

private:
  void CloseProcess();

  std::string FAction = "Open";
  std::string FFileName;
  std::string FParameters;
  TplShowMode FShowMode = smNormal;
  std::string FStartDir;
  int32_t FTimeout = InfiniteTimeout;
  uint32_t FExitCode = 0;
  void* FHInstance = nullptr;
  void* FHProcess = nullptr;
};

// The message the launcher gives for a shell start error code.
std::string ProgramLauncherErrorText(int32_t Code);
