#include "wizard/WizardRules.h"

#include <algorithm>
#include <cmath>

#include "classlib/base/PathBase.h"
#include "foundation/constants_Quillant.h"

TManagerAction ManagerActionFor(TManagerType ManagerType, int ComponentCall) {
  switch (ManagerType) {
    case dmBeforeInstall:
      return ComponentCall == eccBeginningDialogManager ? maExecute : maNone;
    case dmAfterGoodInstall:
      return ComponentCall == eccGoodInstallDialogManager ? maExecute : maNone;
    case dmAfterBadInstall:
      return ComponentCall == eccBadInstallDialogManager ? maExecute : maNone;
    case dmReboot:
      return ComponentCall == eccShutDownDialog ? maExecute : maNone;
    case dmDuringCopyFiles:
      if (ComponentCall == eccCopyingFile) return maUpdateFile;
      if (ComponentCall == eccDownloadingNetFile) return maUpdateDownload;
      if (ComponentCall == eccDoneCopyingFiles) return maCloseCopyForms;
      return maNone;
    case dmChangeDisk:
      return ComponentCall == eccChangeDiskManager ? maChangeDisk : maNone;
  }
  return maNone;
}

bool ShowsAfterInstall(TManagerType ManagerType) {
  return ManagerType == dmAfterGoodInstall || ManagerType == dmAfterBadInstall || ManagerType == dmReboot;
}

bool TWizardNavigation::ChangeTo(int Number, TChangeToDir Dir) {
  // A skipping page passes the call on to its neighbour in direction Dir.
  for (;;) {
    if (Number < 0 || Number >= Count()) return false;
    if (!Skips(Number)) break;
    Number += Dir == cdBack ? -1 : 1;
  }
  Current = Number;
  Show(Number);
  return true;
}

void TWizardNavigation::Next() {
  const int remembered = Current;
  if (!ChangeTo(Current + 1, cdNext)) ChangeTo(Current + 1, cdBack);
  if (Current == remembered && Finish) Finish();
}

void TWizardNavigation::Previous() {
  if (!ChangeTo(Current - 1, cdBack)) ChangeTo(Current - 1, cdNext);
}

bool TWizardNavigation::IsFirst() const {
  for (int i = 0; i < Current; ++i)
    if (!Skips(i)) return false;
  return true;
}

bool TWizardNavigation::IsLast() const { return Current == Count() - 1; }

bool TWizardNavigation::Start() { return ChangeTo(0, cdBack) || ChangeTo(0, cdNext); }

int LanguageGridRows(int Count, int Columns) {
  return static_cast<int>(std::nearbyint(static_cast<double>(Count) / Columns + 0.1));
}

bool IsValidProgramFolderName(const std::string& Name) {
  if (Name == "." || Name == "..") return false;
  for (unsigned char c : Name)
    if (c < 32 || std::string("\\/:*?\"<>|").find(static_cast<char>(c)) != std::string::npos) return false;
  return true;
}

TFolderFault DestinationFolderFault(const std::string& Folder) {
  if (Folder.empty()) return {"No destination folder was chosen", ""};
  // Where the folder names begin: after the drive, or after the two
  // backslashes of a share (whose server and share are names too); and where
  // the drive's or the share's root ends.
  size_t names = 0, rootEnd = 0;
  const char letter = Folder[0];
  const bool drive =
      Folder.size() >= 2 && ((letter >= 'A' && letter <= 'Z') || (letter >= 'a' && letter <= 'z')) && Folder[1] == ':';
  const TFolderFault relative{"%s is not a full folder name: it must begin with a drive, such as C:\\, or a network share",
                              ""};
  if (drive) {
    if (Folder.size() > 2 && Folder[2] != '\\') return relative;
    names = 3;
    rootEnd = 2;
  } else if (Folder.compare(0, 2, "\\\\") == 0) {
    // \\server\share: both must be there.
    const size_t share = Folder.find('\\', 2);
    if (share == std::string::npos || share == 2 || share + 1 >= Folder.size() || Folder[share + 1] == '\\')
      return relative;
    names = 2;
    rootEnd = std::min(Folder.find('\\', share + 1), Folder.size());
  } else {
    return relative;
  }
  // A root holds other things already: the product gets a folder of its own
  // there, which its uninstall can remove whole.
  if (Folder.find_first_not_of('\\', rootEnd) == std::string::npos)
    return {"%s is the root of a drive or a share: the files need a folder of their own there", ""};
  const std::string rest = Folder.substr(names);
  for (unsigned char c : rest)
    if (c < 32 || std::string("/:*?\"<>|").find(static_cast<char>(c)) != std::string::npos)
      return {"%s cannot take the files: a folder name cannot hold the character %s",
              c < 32 ? "#" + std::to_string(c) : std::string(1, static_cast<char>(c))};
  size_t start = 0;
  for (;;) {
    const size_t end = rest.find('\\', start);
    const std::string name = rest.substr(start, end == std::string::npos ? std::string::npos : end - start);
    // A trailing backslash ends the folder; anywhere else it needs a name.
    if (name.empty() ? end != std::string::npos : name.find_first_not_of('.') == std::string::npos)
      return {"%s cannot take the files: it holds an empty folder name or one of dots only", name};
    if (qbase::IsDeviceName(name)) return {"%s cannot take the files: %s is the name of a device", name};
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return {};
}

void BottomPlace(int ScreenWidth, int ScreenHeight, int CaptionHeight, int FormWidth, int FormHeight, int& Left,
                 int& Top) {
  Left = static_cast<int>(std::nearbyint(ScreenWidth / 2.0 - FormWidth / 2.0));
  Top = ScreenHeight - CaptionHeight - FormHeight - 30;
}
