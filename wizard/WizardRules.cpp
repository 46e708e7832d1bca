#include "wizard/WizardRules.h"

#include <cmath>

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

void BottomPlace(int ScreenWidth, int ScreenHeight, int CaptionHeight, int FormWidth, int FormHeight, int& Left,
                 int& Top) {
  Left = static_cast<int>(std::nearbyint(ScreenWidth / 2.0 - FormWidth / 2.0));
  Top = ScreenHeight - CaptionHeight - FormHeight - 30;
}
