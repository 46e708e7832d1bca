// The change-disk prompt: names the disk wanted and the folder where it will
// be looked for; Browse picks another folder.
#pragma once
#include "classlib/StdCtrls.h"
#include "foundation/translator/cmp_TTranslateControls.h"
#include "wizard/dlgcmp_TBaseDlg.h"

class TChangeDiskForm : public TBaseChangeDiskForm {
  QNT_PUBLISHED(TChangeDiskForm, TBaseChangeDiskForm)
public:
  explicit TChangeDiskForm(TComponent* AOwner);
  LRESULT WndProc(UINT Msg, WPARAM WParam, LPARAM LParam) override;

  TTranslateLabel* PromptDiskLabel = nullptr;
  TEdit* PathEdit = nullptr;
  TTranslateBitBtn* BrowseBtn = nullptr;
  TTranslateBitBtn* InstallBtn = nullptr;
  TTranslateBitBtn* CancelBtn = nullptr;

private:
  void FormShow(TObject* Sender);
  void MakeRoomFor(TLabel* Label);
  void BrowseBtnClick(TObject* Sender);
  void CancelBtnClick(TObject*) { TryCancel(); }
};

// The prompt for disk Disk: the translated format, or the English one when
// the translation's placeholders do not fit.
std::string DiskPromptText(int Disk);
