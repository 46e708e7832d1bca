#include "foundation/routines/routines_ExpandPaths.h"

#include <cctype>
#include <optional>

#include "classlib/base/TextBase.h"
#include "classlib/SysUtils.h"
#include "foundation/routines/routines_API.h"
#include "foundation/routines/routines_Registry.h"
#include "foundation/routines/routines_Strings.h"
#include "foundation/translator/cmp_TTranslator.h"

TDestinationSource* (*MainInstallDestination)() = nullptr;

namespace {

const char* const ShellFoldersKey = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char* const CurrentVersionKey = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion";

// A registry folder without one trailing backslash, or Default when missing.
std::string Folder(TRootKeys Root, const char* Key, const char* Ident, const std::string& Default) {
  const std::string missing = std::string(1, '\0');
  std::string v = GetRVStr(Root, Key, Ident, missing);
  if (v == missing) return Default;
  return DirectoryWOBS(v);
}

std::string UnderWindows(const char* Tail) { return DirectoryWBS(WindowsDir) + Tail; }

std::string UnderCurrentDrive(const char* Tail) {
  return DirectoryWBS(ExtractFileDrive(GetCurrentDir())) + Tail;
}

}  // namespace

std::string ExtractFileDrive(const std::string& Path) {
  if (Path.size() >= 2 && Path[1] == ':') return Path.substr(0, 2);
  if (Path.size() >= 2 && Path[0] == '\\' && Path[1] == '\\') {
    // \\server\share: up to the backslash after the share name.
    size_t server = Path.find('\\', 2);
    if (server == std::string::npos) return Path;
    size_t share = Path.find('\\', server + 1);
    return share == std::string::npos ? Path : Path.substr(0, share);
  }
  return {};
}

std::string ExpandStartMenuDir() {
  return Folder(hkCurrentUser, ShellFoldersKey, "Start Menu", UnderWindows("Startmen"));
}

std::string ExpandProgramMenuDir() {
  const std::string missing = std::string(1, '\0');
  std::string v = GetRVStr(hkCurrentUser, ShellFoldersKey, "Programs", missing);
  if (v == missing) return DirectoryWBS(ExpandStartMenuDir()) + "Programs";
  return DirectoryWOBS(v);
}

std::string ExpandDesktopDir() { return Folder(hkCurrentUser, ShellFoldersKey, "Desktop", UnderWindows("Desktop")); }

std::string ExpandFontDir() { return Folder(hkCurrentUser, ShellFoldersKey, "Fonts", SystemDir); }

std::string ExpandStartupMenuDir() {
  return Folder(hkCurrentUser, ShellFoldersKey, "Startup", UnderWindows("Startup"));
}

std::string ExpandProgramFilesDir() {
  return Folder(hkLocalMachine, CurrentVersionKey, "ProgramFilesDir", UnderCurrentDrive("Program Files"));
}

std::string ExpandCommonFilesDir() {
  return Folder(hkLocalMachine, CurrentVersionKey, "CommonFilesDir",
                UnderCurrentDrive("Program Files\\Common Files"));
}

namespace {

std::string ComponentFolder(char Letter, TDestinationSource* BH) {
  if (Letter == 'a') {
    if (!BH)
      throw EAICannotExpandContainerDirMV(TSE("Cannot expand the %a meta variable because the component is Nil"));
    return BH->GetDestDir();
  }
  if (!BH) throw EAICannotExpandContainerDirMV(TSE("Cannot expand the %c meta variable because the component is Nil"));
  if (!BH->DestinationContainer())
    throw EAICannotExpandContainerDirMV(
        TSE("Cannot expand the %c meta variable because the Container property is Nil"));
  return BH->DestinationContainer()->GetDestDir();
}

std::string InstallFolder() {
  TDestinationSource* main = MainInstallDestination ? MainInstallDestination() : nullptr;
  if (!main)
    throw EAICannotExpandInstallDirMV(TSE("Cannot expand the %i meta variable because there is no TInstall component"));
  return main->GetDestDir();
}

// The folder the lower-case letter after a percent sign stands for; nothing
// when the letter names none.
std::optional<std::string> MetaFolder(char Letter, TDestinationSource* BH) {
  switch (Letter) {
    case 'w': return WindowsDir;
    case 's': return SystemDir;
    case 'p': return ExpandProgramFilesDir();
    case 'f': return ExpandCommonFilesDir();
    case 'b': return ExpandProgramMenuDir();
    case 'd': return ExpandDesktopDir();
    case 'm': return ExpandStartMenuDir();
    case 'a':
    case 'c': return ComponentFolder(Letter, BH);
    case 'i': return InstallFolder();
    default: return std::nullopt;
  }
}

}  // namespace

std::string ExpandPath(const std::string& Str, TDestinationSource* BH) {
  std::string result;
  bool afterPercent = false;
  for (size_t at = 0; at < Str.size(); ++at) {
    const char ch = Str[at];
    if (!afterPercent) {
      if (ch == '%')
        afterPercent = true;
      else
        result += ch;
      continue;
    }
    afterPercent = false;
    if (ch == '%') {
      result += '%';
      continue;
    }
    const std::optional<std::string> folder =
        MetaFolder(static_cast<char>(std::tolower(static_cast<unsigned char>(ch))), BH);
    if (folder)
      result += DirectoryWOBS(*folder);
    else
      // An unknown letter goes with its percent sign, a character of several
      // bytes as a whole.
      at += qbase::Utf8SequenceLength(Str, at) - 1;
  }
  return result;
}
