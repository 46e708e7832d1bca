#include "wizard/ordlg_CopyFile.h"

#include "classlib/Units.h"

QNT_PUBLISH(TCopyFileForm);

TCopyFileForm::TCopyFileForm(TComponent* AOwner) : TBaseDuringCopyForm(AOwner) {
  RegisterHandler("CancelBtnClick", this, &TCopyFileForm::CancelBtnClick);
  ReadForm("TCopyFileForm");
  UnZipImage = FindChild<TImage>(this, "UnZipImage");
  TransferBitmap = FindChild<TImage>(this, "TransferBitmap");
  TransferProgress = FindChild<TGauge>(this, "TransferProgress");
  CancelBtn = FindChild<TTranslateBitBtn>(this, "CancelBtn");
  lblCopyingFile = FindChild<TLabel>(this, "lblCopyingFile");
  ProgressBar1 = FindChild<TProgressBar>(this, "ProgressBar1");
  ProgressBar2 = FindChild<TProgressBar>(this, "ProgressBar2");
  UnZipImage->Picture()->LoadFromResourceName("COPYUNZIP");
  TransferBitmap->Picture()->LoadFromResourceName("COPYTRANSFER");
  SetDM(LinkToManager(dmDuringCopyFiles));
}

void TCopyFileForm::ShowDownload(bool Download) {
  TransferProgress->SetVisible(Download);
  TransferBitmap->SetVisible(Download);
}

void TCopyFileForm::RefreshStatistics(TFileStatusParameter* FileStatus, TDownloadStatusParameter* DownloadStatus) {
  if (FileStatus) {
    ShowDownload(false);
    ProgressBar2->SetPosition(FileStatus->TotalComplete);
    ProgressBar1->SetPosition(FileStatus->FileComplete);
    lblCopyingFile->SetCaption(FileStatus->FileName);
  } else if (DownloadStatus) {
    ShowDownload(true);
    TransferProgress->SetProgress(DownloadStatus->TotalComplete);
    lblCopyingFile->SetCaption(DownloadStatus->FileName);
  }
  Repaint();
}

namespace {
void InitCopyFileForm() { CopyFileFormDCF = AddToDCFList(&TCopyFileForm::StaticClassInfo(), nullptr, nullptr); }
TUnitRegistration registration(ulWizardForms, "ordlg_CopyFile", InitCopyFileForm, nullptr);
}  // namespace
