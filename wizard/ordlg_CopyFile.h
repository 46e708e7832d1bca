// The copy-progress window: the file being processed, its progress and the
// container's, or a gauge for a download; Cancel stops the running step.
#pragma once
#include "classlib/ComCtrls.h"
#include "classlib/StdCtrls.h"
#include "foundation/translator/cmp_TTranslateControls.h"
#include "wizard/dlgcmp_TBaseDlg.h"

class TCopyFileForm : public TBaseDuringCopyForm {
  QNT_PUBLISHED(TCopyFileForm, TBaseDuringCopyForm)
public:
  explicit TCopyFileForm(TComponent* AOwner);
  void RefreshStatistics(TFileStatusParameter* FileStatus, TDownloadStatusParameter* DownloadStatus) override;

  TImage* UnZipImage = nullptr;
  TImage* TransferBitmap = nullptr;
  TGauge* TransferProgress = nullptr;
  TTranslateBitBtn* CancelBtn = nullptr;
  TLabel* lblCopyingFile = nullptr;
  TProgressBar* ProgressBar1 = nullptr;
  TProgressBar* ProgressBar2 = nullptr;

  // Shows the download gauge and picture, or hides them.
  void ShowDownload(bool Download);

private:
  void CancelBtnClick(TObject*) { TryCancel(); }
};
