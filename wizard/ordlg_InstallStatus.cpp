#include "wizard/ordlg_InstallStatus.h"

#include "wizard/dlgcmp_TBaseDlg.h"

QNT_PUBLISH(TInstallStatusForm);

TInstallStatusForm::TInstallStatusForm(TComponent* AOwner) : TForm(AOwner) {
  ReadForm("TInstallStatusForm");
  pnlBack = FindChild<TPanel>(this, "pnlBack");
  Image1 = FindChild<TImage>(this, "Image1");
  pnlMessage = FindChild<TPanel>(this, "pnlMessage");
  lblMessage = FindChild<TLabel>(this, "lblMessage");
  Image1->Picture()->LoadFromResourceName("STATUSINFO");
}
