// The copy-progress component: always answers the copy codes itself and
// keeps its one window (hidden between copy phases) until the program ends.
#pragma once
#include "wizard/ordlg_CopyFile.h"

enum TCopyFileDlgPosition { cfpCenter, cfpBottom };
extern const TEnumInfo CopyFileDlgPositionInfo;

class TCopyFileDlg : public TCustomBaseInstallDlg {
  QNT_PUBLISHED(TCopyFileDlg, TCustomBaseInstallDlg)
public:
  explicit TCopyFileDlg(TComponent* AOwner);
  ~TCopyFileDlg() override;

  TCopyFileDlgPosition Position() const { return FPosition; }
  void SetPosition(TCopyFileDlgPosition Value) { FPosition = Value; }
  TCopyFileForm* Form() const { return dynamic_cast<TCopyFileForm*>(Dialog()); }

  TFormClass GetDialogClassType() override { return &TCopyFileForm::StaticClassInfo(); }
  void HandleExternalComponentCall(TInstallContainer* Container, int ComponentCall, TObject* PO) override;
  void HideCopy();

private:
  void UpdateCopy();

  TCopyFileDlgPosition FPosition = cfpCenter;
  bool FAlreadyPositioned = false;
  bool FIsDownload = false;
  int FFileCompletion = 0;
  std::string FFileName;
  int FTotalCompletion = 0;
};
