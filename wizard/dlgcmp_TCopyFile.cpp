#include "wizard/dlgcmp_TCopyFile.h"

#include <cmath>

#include "classlib/Units.h"

const TEnumInfo CopyFileDlgPositionInfo{"TCopyFileDlgPosition", {"cfpCenter", "cfpBottom"}};

QNT_PUBLISH(TCopyFileDlg,
  Prop::Boolean("AutoSetFont", &TCopyFileDlg::AutoSetFont, &TCopyFileDlg::SetAutoSetFont, true),
  Prop::Boolean("AutoTranslate", &TCopyFileDlg::AutoTranslate, &TCopyFileDlg::SetAutoTranslate, true),
  Prop::Boolean("OverrideMainTranslator", &TCopyFileDlg::OverrideMainTranslator,
                &TCopyFileDlg::SetOverrideMainTranslator),
  Prop::Enum("Position", &TCopyFileDlg::Position, &TCopyFileDlg::SetPosition, CopyFileDlgPositionInfo, cfpCenter),
  Prop::Object("ThemeBitmap", &TCopyFileDlg::ThemeBitmap),
  Prop::Enum("TranslateIntoLanguage", &TCopyFileDlg::TranslateIntoLanguage, &TCopyFileDlg::SetTranslateIntoLanguage,
             QlntLanguageInfo, qlUser));

TCopyFileDlg::TCopyFileDlg(TComponent* AOwner) : TCustomBaseInstallDlg(AOwner) {}

TCopyFileDlg::~TCopyFileDlg() {
  if (TForm* f = Dialog()) {
    SetDialog(nullptr);
    f->Free();
  }
}

void TCopyFileDlg::HandleExternalComponentCall(TInstallContainer* Container, int ComponentCall, TObject* PO) {
  TCustomBaseInstallDlg::HandleExternalComponentCall(Container, ComponentCall, PO);
  if (DialogManager()) return;
  if (ComponentCall == eccCopyingFile) {
    auto* fs = ParameterAs<TFileStatusParameter>(PO, this, SPONotFileStatus);
    FFileCompletion = fs->FileComplete;
    FFileName = fs->FileName;
    FTotalCompletion = fs->TotalComplete;
    FIsDownload = false;
    UpdateCopy();
  } else if (ComponentCall == eccDownloadingNetFile) {
    auto* ds = ParameterAs<TDownloadStatusParameter>(PO, this, SPONotDownloadStatus);
    FFileName = ds->FileName;
    FFileCompletion = ds->TotalComplete;
    FTotalCompletion = ds->TotalComplete;
    FIsDownload = true;
    UpdateCopy();
  } else if (ComponentCall == eccDoneCopyingFiles) {
    HideCopy();
  }
}

void TCopyFileDlg::UpdateCopy() {
  TCopyFileForm* form = Form();
  if (!form) {
    form = new TCopyFileForm(Application);
    SetDialog(form);
    FAlreadyPositioned = false;
    AssignDialogProperties();
  }
  if (FPosition == cfpBottom && !FAlreadyPositioned) {
    form->SetPosition(poDesigned);
    int left = 0, top = 0;
    BottomPlace(Screen->Width(), Screen->Height(), GetSystemMetrics(SM_CYCAPTION), form->Width(), form->Height(), left,
                top);
    form->SetBounds(left, top, form->Width(), form->Height());
    FAlreadyPositioned = true;
  }
  form->Show();
  if (FIsDownload) {
    form->TransferProgress->SetProgress(FTotalCompletion);
    form->ShowDownload(true);
  } else {
    form->ShowDownload(false);
    form->ProgressBar2->SetPosition(FTotalCompletion);
  }
  form->ProgressBar1->SetPosition(FFileCompletion);
  form->lblCopyingFile->SetCaption(FFileName);
  form->Repaint();
}

void TCopyFileDlg::HideCopy() {
  if (TCopyFileForm* form = Form()) form->Hide();
}

namespace {
void InitCopyFileDlg() { RemoveDCFEntry(CopyFileFormDCF); }
TUnitRegistration registration(ulWizardComponents, "dlgcmp_TCopyFile", InitCopyFileDlg, nullptr);
}  // namespace
