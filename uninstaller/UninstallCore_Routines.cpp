// The uninstaller's registry helpers and small routines.
#include <windows.h>
#include <ole2.h>
#include <shlobj.h>
#include <shobjidl.h>

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

// Every known folder of the running user that has a path: the shell's own
// list, which holds more than the CSIDL values (Downloads, Saved Games,
// Links ...). Systems without it (before Windows Vista) have the CSIDL ones.
void AddKnownFolders(std::vector<std::string>& Kept) {
  using TGetPath = HRESULT(WINAPI*)(REFKNOWNFOLDERID, DWORD, HANDLE, PWSTR*);
  auto getPath = reinterpret_cast<TGetPath>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"shell32.dll"), "SHGetKnownFolderPath")));
  if (!getPath) return;
  const HRESULT co = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  IKnownFolderManager* manager = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_KnownFolderManager, nullptr, CLSCTX_INPROC_SERVER, IID_IKnownFolderManager,
                                 reinterpret_cast<void**>(&manager)))) {
    KNOWNFOLDERID* ids = nullptr;
    UINT count = 0;
    if (SUCCEEDED(manager->GetFolderIds(&ids, &count))) {
      for (UINT i = 0; i < count; ++i) {
        PWSTR path = nullptr;
        if (getPath(ids[i], KF_FLAG_DONT_VERIFY, nullptr, &path) == S_OK && path)
          Kept.push_back(Narrow(std::wstring(path)));
        CoTaskMemFree(path);
      }
      CoTaskMemFree(ids);
    }
    manager->Release();
  }
  if (SUCCEEDED(co)) CoUninitialize();
}

// A text value of the open key, its environment variables expanded (the
// profile list names folders with %SystemDrive%); "" when there is none.
std::string PathValue(const TRegistry& Reg, const std::string& Name) {
  std::string path;
  try {
    if (Reg.ValueExists(Name)) path = Reg.ReadString(Name);
  } catch (const Exception&) {
    return {};
  }
  wchar_t expanded[MAX_PATH * 2] = {};
  const DWORD n = ExpandEnvironmentStringsW(Widen(path).c_str(), expanded, MAX_PATH * 2);
  return n > 0 && n <= MAX_PATH * 2 ? Narrow(std::wstring(expanded)) : std::string();
}

// The folder of profiles and every user's profile folder (the default
// user's and the public one among them), as the machine lists them.
std::vector<std::string> ProfileFolders() {
  const std::string list = "\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
  std::vector<std::string> profiles;
  TRegistry reg(KEY_READ | KEY_WOW64_64KEY);
  reg.SetRootKey(HKEY_LOCAL_MACHINE);
  if (!reg.OpenKey(list, false)) return profiles;
  for (const char* name : {"ProfilesDirectory", "Default", "Public"}) profiles.push_back(PathValue(reg, name));
  TStringList users;
  reg.GetKeyNames(&users);
  for (int i = 0; i < users.Count(); ++i)
    if (reg.OpenKey(list + "\\" + users[i], false)) profiles.push_back(PathValue(reg, "ProfileImagePath"));
  return profiles;
}

// The shell folders of every user whose settings are loaded now.
void AddLoadedUsersFolders(std::vector<std::string>& Kept) {
  TRegistry reg(KEY_READ);
  reg.SetRootKey(HKEY_USERS);
  const std::string folders = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
  TStringList users, names;
  if (reg.OpenKey("\\", false)) reg.GetKeyNames(&users);
  for (int i = 0; i < users.Count(); ++i) {
    if (!reg.OpenKey("\\" + users[i] + folders, false)) continue;
    reg.GetValueNames(&names);
    for (int v = 0; v < names.Count(); ++v) Kept.push_back(PathValue(reg, names[v]));
  }
}

// Every user's profile folder, and each folder of the running user's that
// lies in its profile as it lies in every other profile: the other users'
// Start menus, desktops and documents, whose settings need not be loaded.
void AddOtherUsersFolders(std::vector<std::string>& Kept) {
  const std::string own = DirectoryWOBS(KnownFolder(CSIDL_PROFILE));
  const size_t mine = Kept.size();
  for (const std::string& profile : ProfileFolders()) {
    if (Trim(profile).empty()) continue;
    Kept.push_back(profile);
    if (own.empty() || SameText(DirectoryWOBS(profile), own)) continue;
    for (size_t i = 0; i < mine; ++i) {
      const std::string& k = Kept[i];
      if (k.size() > own.size() && k[own.size()] == '\\' && SameText(k.substr(0, own.size()), own))
        Kept.push_back(DirectoryWOBS(profile) + k.substr(own.size()));
    }
  }
  AddLoadedUsersFolders(Kept);
}

}  // namespace

std::set<std::string> ShellFolderKeys() {
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
                    CSIDL_PROFILE, CSIDL_COMMON_DOCUMENTS, CSIDL_COMMON_TEMPLATES, CSIDL_COMMON_ADMINTOOLS})
    kept.push_back(KnownFolder(csidl));
  AddKnownFolders(kept);
  wchar_t temp[MAX_PATH + 1];
  const DWORD n = GetTempPathW(MAX_PATH + 1, temp);
  if (n > 0 && n <= MAX_PATH) kept.push_back(Narrow(temp, n));
  AddOtherUsersFolders(kept);
  std::set<std::string> keys;
  for (const auto& k : kept)
    if (!Trim(k).empty()) keys.insert(ComparablePath(k));
  return keys;
}

bool IsShellFolder(const std::string& Dir, const std::set<std::string>& Keys) {
  return IsRoot(Dir) || Keys.count(ComparablePath(Dir)) > 0;
}

bool IsShellFolder(const std::string& Dir) { return IsShellFolder(Dir, ShellFolderKeys()); }
