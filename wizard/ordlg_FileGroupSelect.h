// The file-groups page: the controller's tree of file groups, each to be
// included or excluded, with destination, description and the space needed.
#pragma once
#include <cstdint>

#include "classlib/ComCtrls.h"
#include "classlib/Dialogs.h"
#include "classlib/StdCtrls.h"
#include "foundation/translator/cmp_TTranslateControls.h"
#include "wizard/dlgcmp_TBaseDlg.h"

// Free bytes on the drive of that letter, in 64 bits; -1 when there is no
// such drive.
int64_t DriveFreeBytes(char DriveLetter);
// "1,234,567 Bytes" (the word translated).
std::string BytesText(double Bytes);

class TFileGroupSelectForm : public TBaseInstallForm {
  QNT_PUBLISHED(TFileGroupSelectForm, TBaseInstallForm)
public:
  explicit TFileGroupSelectForm(TComponent* AOwner);
  void RefreshInformation() override;
  // Shown only for a custom or "always" install type.
  bool Skip() override;
  void RefreshTree();
  void SetButtons();

  TFileContainer* CurrentGroup = nullptr;

  TTranslateBitBtn* BackBtn = nullptr;
  TTranslateBitBtn* ProceedBtn = nullptr;
  TTranslateBitBtn* CancelBtn = nullptr;
  TTreeView* GroupListBox = nullptr;
  TTranslateLabel* GroupDescLabel = nullptr;
  TTranslateBitBtn* ToggleBtn = nullptr;
  TMemo* DescriptionMemo = nullptr;
  TEdit* DirectoryLabel = nullptr;
  TTranslateBitBtn* BrowseBtn = nullptr;
  TLabel* SpaceRequiredLabel = nullptr;
  TLabel* SpaceAvailableLabel = nullptr;
  TOpenDialog* OpenDialog = nullptr;

private:
  void FormCreate(TObject* Sender);
  void BackBtnClick(TObject*) { Previous(); }
  void ProceedBtnClick(TObject*) { Next(); }
  void CancelBtnClick(TObject*) { TryCancel(); }
  void GroupListBoxClick(TObject* Sender);
  void ToggleBtnClick(TObject* Sender);
  // A click on a group's box (its state picture), or Space.
  void GroupListBoxStateImageClick(TObject* Sender);
  void BrowseBtnClick(TObject* Sender);
  void AddGroups(TTreeNode* Parent, TFileContainer* Container);
  // The space figures stand a little right of their descriptions, from
  // where they were designed, or further when a translation is wider.
  void PlaceSpaceValues();
  int SpaceValuesLeft = 0;
};
