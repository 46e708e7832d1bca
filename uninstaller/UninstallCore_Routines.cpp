// The uninstaller's registry helpers and small routines.
#include <windows.h>
#include <ole2.h>
#include <shlobj.h>

#include <vector>

#include "classlib/Registry.h"
#include "classlib/SysUtils.h"
#include "classlib/WinText.h"
#include "foundation/routines/routines_API.h"
#include "foundation/routines/routines_ExpandPaths.h"
#include "foundation/routines/routines_InstallParts.h"
#include "foundation/routines/routines_Strings.h"
#include "uninstaller/UninstallCore.h"

bool ClearReadOnly(const std::string& FilePath) {
  std::wstring path = Widen(FilePath);
  DWORD attrs = GetFileAttributesW(path.c_str());
  if (attrs == INVALID_FILE_ATTRIBUTES || !(attrs & FILE_ATTRIBUTE_READONLY)) return true;
  return SetFileAttributesW(path.c_str(), attrs & ~FILE_ATTRIBUTE_READONLY) != 0;
}

bool (*ClearRecordedReadOnly)(const std::string& FilePath) = ClearReadOnly;

bool RemoveInstallLeftovers(const std::string& Dir, std::vector<std::string>* Left) {
  bool removed = false;
  for (const TInstallPart& part : InstallPartsOf(Dir, "")) {
    const std::string path = DirectoryWBS(Dir) + part.Name;
    // The setup wrote it with the source's attributes, a CD's read-only one
    // among them.
    if (!part.OwnerRuns) ClearReadOnly(path);
    if (!part.OwnerRuns && RemoveFile(path))
      removed = true;
    else if (Left && FileExists(path))
      Left->push_back(path);
  }
  return removed;
}

int32_t GetRVInteger(TRootKeys Root, const std::string& Key, const std::string& Ident, int32_t Default) {
  try {
    TRegistry reg(KEY_READ);
    SetTheRoot(&reg, Root);
    if (!reg.OpenKeyReadOnly(Key) || !reg.ValueExists(Ident)) return Default;
    return reg.ReadInteger(Ident);
  } catch (const Exception&) {
    return Default;
  }
}

void DeleteIdent(TRootKeys Root, const std::string& Key, const std::string& Ident) {
  try {
    TRegistry reg;
    SetTheRoot(&reg, Root);
    if (reg.OpenKey(Key, false)) reg.DeleteValue(Ident);
  } catch (const Exception&) {
  }
}

void GetKeys(TRootKeys Root, const std::string& Key, TStrings* List) {
  List->Clear();
  TRegistry reg(KEY_READ);
  SetTheRoot(&reg, Root);
  if (reg.OpenKeyReadOnly(Key)) reg.GetKeyNames(List);
}

int GetFileCount(const std::string& Dir) {
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW(Widen(ExtractFilePath(Dir) + "*.*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return 0;
  int n = 0;
  do {
    std::string name = Trim(Narrow(std::wstring(fd.cFileName)));
    if (!name.empty() && name != "." && name != "..") ++n;
  } while (FindNextFileW(h, &fd));
  FindClose(h);
  return n;
}

void UnregisterActiveX_DLLStyle(const std::string& FilePath) {
  if (Trim(FilePath).empty() || !FileExists(FilePath)) return;
  HMODULE lib = LoadLibraryW(Widen(FilePath).c_str());
  if (!lib) return;
  // A server's unregistration may use COM; the result of either call does not
  // change what is removed.
  HRESULT ole = OleInitialize(nullptr);
  using Unregister = HRESULT(STDAPICALLTYPE*)();
  auto fn = reinterpret_cast<Unregister>(reinterpret_cast<void*>(GetProcAddress(lib, "DllUnregisterServer")));
  if (fn) fn();
  FreeLibrary(lib);
  if (SUCCEEDED(ole)) OleUninitialize();
}

void UnregisterActiveX_EXEStyle(const std::string& FilePath) {
  if (Trim(FilePath).empty() || !FileExists(FilePath)) return;
  // Quoted, so that a server in a folder with blanks is the program started
  // (unquoted, the system would try "C:\Program" first).
  std::wstring cl = L"\"" + Widen(FilePath) + L"\" /UNREGSERVER";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESHOWWINDOW;
  si.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION pi{};
  if (CreateProcessW(nullptr, cl.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
  }
}

std::string StrToOem(const std::string& S) {
  if (S.empty()) return S;
  std::wstring w = Widen(S);
  int n = WideCharToMultiByte(CP_OEMCP, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
  if (n > 0) WideCharToMultiByte(CP_OEMCP, 0, w.data(), static_cast<int>(w.size()), out.data(), n, nullptr, nullptr);
  return out;
}

namespace {

std::string KnownFolder(int Csidl) {
  wchar_t buf[MAX_PATH];
  if (SHGetFolderPathW(nullptr, Csidl, nullptr, SHGFP_TYPE_CURRENT, buf) != S_OK) return {};
  return Narrow(std::wstring(buf));
}

// A drive ("C:", "C:\", or "C:" and a relative path, which names the drive's
// current folder) or a share ("\\server\share").
bool IsRoot(const std::string& Dir) {
  std::string d = DirectoryWOBS(Trim(Dir));
  if (d.size() >= 2 && d[1] == ':' && d.find('\\') == std::string::npos) return true;
  if (d.size() > 2 && d[0] == '\\' && d[1] == '\\') {
    size_t server = d.find('\\', 2);
    return server == std::string::npos || d.find('\\', server + 1) == std::string::npos;
  }
  return d.empty();
}

}  // namespace

bool IsShellFolder(const std::string& Dir) {
  if (IsRoot(Dir)) return true;
  std::vector<std::string> kept = {
      WindowsDir,           SystemDir,           ExpandDesktopDir(),   ExpandStartMenuDir(),
      ExpandProgramMenuDir(), ExpandStartupMenuDir(), ExpandFontDir(), ExpandProgramFilesDir(),
      ExpandCommonFilesDir()};
  // The same folders of all users and the other shell folders a product may
  // have put files in.
  for (int csidl : {CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_COMMON_STARTMENU, CSIDL_COMMON_PROGRAMS,
                    CSIDL_COMMON_STARTUP, CSIDL_DESKTOPDIRECTORY, CSIDL_STARTMENU, CSIDL_PROGRAMS,
                    CSIDL_STARTUP, CSIDL_PROGRAM_FILES, CSIDL_PROGRAM_FILES_COMMON, CSIDL_PROGRAM_FILESX86,
                    CSIDL_PROGRAM_FILES_COMMONX86, CSIDL_WINDOWS, CSIDL_SYSTEM, CSIDL_SYSTEMX86,
                    CSIDL_FONTS, CSIDL_PERSONAL, CSIDL_APPDATA, CSIDL_LOCAL_APPDATA, CSIDL_COMMON_APPDATA,
                    CSIDL_PROFILE})
    kept.push_back(KnownFolder(csidl));
  wchar_t temp[MAX_PATH + 1];
  const DWORD n = GetTempPathW(MAX_PATH + 1, temp);
  if (n > 0 && n <= MAX_PATH) kept.push_back(Narrow(temp, n));
  std::string key = ComparablePath(Dir);
  for (const auto& k : kept)
    if (!Trim(k).empty() && ComparablePath(k) == key) return true;
  return false;
}
