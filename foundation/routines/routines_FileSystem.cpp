#include "foundation/routines/routines_FileSystem.h"

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include "classlib/SysUtils.h"
#include "classlib/WinText.h"
#include "foundation/exceptions_Quillant.h"
#include "foundation/routines/routines_Strings.h"

bool TOpenFolderDialog::Execute() {
  wchar_t display[261] = {};
  BROWSEINFOW bi{};
  bi.hwndOwner = GetActiveWindow();
  bi.pidlRoot = nullptr;  // the desktop
  bi.pszDisplayName = display;
  bi.ulFlags = BIF_RETURNONLYFSDIRS;
  LPITEMIDLIST pidl = SHBrowseForFolderW(&bi);
  if (!pidl) return false;
  wchar_t path[261] = {};
  bool ok = SHGetPathFromIDListW(pidl, path) != FALSE;
  CoTaskMemFree(pidl);
  if (ok) FPath = Narrow(std::wstring(path));
  return ok;
}

std::string ProgramLauncherErrorText(int32_t Code) {
  switch (Code) {
    case 0: case 8: return "Out of memory";
    case 2: return "File not found";
    case 3: return "Path not found";
    case 5: return "Sharing violation";
    case 6: return "Library/Segment error";
    case 10: return "Incorrect version of windows";
    case 11: return "Invalid file";
    case 12: case 13: return "Invalid DOS version";
    case 14: case 31: return "File type has no association";
    case 15: return "Cannot load a Real-mode application";
    case 16: return "Invalid attempt to launch second instance";
    case 19: return "Cannot load a compressed executable file";
    case 20: return "Invalid dynamic link library";
    case 21: return "Application requires Win32";
    default: return "Unknown error";
  }
}

namespace {
[[noreturn]] void Failed(int32_t code) { throw EProgramLauncherFailed(ProgramLauncherErrorText(code), code); }

int ShowCommand(TplShowMode m) {
  switch (m) {
    case smMaximized: return SW_SHOWMAXIMIZED;
    case smMinimized: return SW_SHOWMINIMIZED;
    case smHide: return SW_HIDE;
    default: return SW_SHOWNORMAL;
  }
}
}  // namespace

const TEnumInfo TplShowModeInfo{"TplShowMode", {"smNormal", "smMaximized", "smMinimized", "smHide"}};

QNT_PUBLISH(TProgramLauncher,
  Prop::String("Action", &TProgramLauncher::Action, &TProgramLauncher::SetAction, "Open"),
  Prop::String("FileName", &TProgramLauncher::FileName, &TProgramLauncher::SetFileName, ""),
  Prop::String("Parameters", &TProgramLauncher::Parameters, &TProgramLauncher::SetParameters, ""),
  Prop::Enum("ShowMode", &TProgramLauncher::ShowMode, &TProgramLauncher::SetShowMode, TplShowModeInfo, smNormal),
  Prop::String("StartDir", &TProgramLauncher::StartDir, &TProgramLauncher::SetStartDir, ""),
  Prop::Integer("Timeout", &TProgramLauncher::Timeout, &TProgramLauncher::SetTimeout,
                TProgramLauncher::InfiniteTimeout));

TProgramLauncher::TProgramLauncher(TComponent* AOwner) : TComponent(AOwner) {}

TProgramLauncher::~TProgramLauncher() { CloseProcess(); }

void TProgramLauncher::CloseProcess() {
  if (FHProcess) CloseHandle(static_cast<HANDLE>(FHProcess));
  FHProcess = nullptr;
}

void TProgramLauncher::Launch() {
  // The handle of the previous run is released here rather than leaked.
  CloseProcess();
  FHInstance = nullptr;
  FExitCode = 0;
  if (!Trim(FStartDir).empty() && !DirectoryExists(FStartDir))
    throw EProgramLauncherFailed(
        Format("The directory %s, as specified in the StartDir property, does not exist", {FStartDir}), 0);

  std::wstring verb = Widen(FAction), file = Widen(FFileName), params = Widen(FParameters),
               dir = Widen(FStartDir);
  SHELLEXECUTEINFOW sei{};
  sei.cbSize = sizeof sei;
  sei.fMask = SEE_MASK_NOCLOSEPROCESS;
  sei.hwnd = nullptr;
  sei.lpVerb = verb.c_str();
  sei.lpFile = file.c_str();
  sei.lpParameters = params.c_str();
  sei.lpDirectory = dir.empty() ? nullptr : dir.c_str();
  sei.nShow = ShowCommand(FShowMode);
  if (!ShellExecuteExW(&sei)) Failed(static_cast<int32_t>(reinterpret_cast<INT_PTR>(sei.hInstApp)));

  FHInstance = sei.hInstApp;
  FHProcess = sei.hProcess;
  DWORD w = WaitForSingleObject(sei.hProcess, static_cast<DWORD>(FTimeout));
  if (w == WAIT_FAILED) Failed(static_cast<int32_t>(GetLastError()));
  if (w == WAIT_TIMEOUT) throw EProgramLauncherTimeout("The program launcher timed out");
  DWORD code = 0;
  GetExitCodeProcess(sei.hProcess, &code);
  FExitCode = code;
}
