// The select-folder page: the Start-menu program folder (or Program Manager
// group) into which the product's shortcuts go, one level below Programs.
#pragma once
#include "classlib/StdCtrls.h"
#include "foundation/translator/cmp_TTranslateControls.h"
#include "wizard/dlgcmp_TBaseDlg.h"

// The existing program folders: the Programs folder's subfolders on Windows
// 95 and NT 4.0, the Program Manager's groups on other versions.
void FolderList(TStrings* List);

class TSelectFolderForm : public TBaseInstallForm {
  QNT_PUBLISHED(TSelectFolderForm, TBaseInstallForm)
public:
  explicit TSelectFolderForm(TComponent* AOwner);
  void RefreshInformation() override;
  bool Skip() override { return Container() == nullptr; }
  // The folder name the folder component now names; blank when it does not
  // name one below the Programs menu.
  std::string GetInstallToFolder();

  TTranslateBitBtn* BackBtn = nullptr;
  TTranslateBitBtn* ProceedBtn = nullptr;
  TTranslateBitBtn* CancelBtn = nullptr;
  TEdit* FolderEdit = nullptr;
  TListBox* FolderListBox = nullptr;

private:
  void FormCreate(TObject* Sender);
  void FormResize(TObject* Sender);
  void BackBtnClick(TObject*) { Previous(); }
  void ProceedBtnClick(TObject* Sender);
  void CancelBtnClick(TObject*) { TryCancel(); }
  void FolderListBoxClick(TObject* Sender);
  void FolderEditChange(TObject* Sender);
};
