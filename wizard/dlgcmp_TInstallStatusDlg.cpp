#include "wizard/dlgcmp_TInstallStatusDlg.h"

#include <cmath>

#include "classlib/WinText.h"

namespace {
// The width of S drawn in the control's font.
int TextWidthOf(TControl* Control, const std::string& S) {
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, Control->FontHandle());
  const std::wstring w = Widen(S);
  SIZE size{};
  GetTextExtentPoint32W(dc, w.c_str(), static_cast<int>(w.size()), &size);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return size.cx;
}
}  // namespace

QNT_PUBLISH(TInstallStatusDlg,
  Prop::Boolean("AutoSetFont", &TInstallStatusDlg::AutoSetFont, &TInstallStatusDlg::SetAutoSetFont, true),
  Prop::Boolean("AutoTranslate", &TInstallStatusDlg::AutoTranslate, &TInstallStatusDlg::SetAutoTranslate, true),
  Prop::Boolean("OverrideMainTranslator", &TInstallStatusDlg::OverrideMainTranslator,
                &TInstallStatusDlg::SetOverrideMainTranslator),
  Prop::Object("ThemeBitmap", &TInstallStatusDlg::ThemeBitmap),
  Prop::Enum("TranslateIntoLanguage", &TInstallStatusDlg::TranslateIntoLanguage,
             &TInstallStatusDlg::SetTranslateIntoLanguage, QlntLanguageInfo, qlUser));

TInstallStatusDlg::TInstallStatusDlg(TComponent* AOwner) : TCustomBaseInstallDlg(AOwner) {}

TInstallStatusDlg::~TInstallStatusDlg() {
  if (TForm* f = Dialog()) {
    SetDialog(nullptr);
    f->Free();
  }
}

void TInstallStatusDlg::HandleExternalComponentCall(TInstallContainer* Container, int ComponentCall, TObject* PO) {
  TCustomBaseInstallDlg::HandleExternalComponentCall(Container, ComponentCall, PO);
  if (DialogManager()) return;
  if (ComponentCall == eccInstallStatusDialog_Display) {
    auto* mp = ParameterAs<TMessageParameter>(PO, this, SPONotMessage);
    Message = mp->Text;
    FStack.Add(Message);
    DisplayMessage();
  } else if (ComponentCall == eccInstallStatusDialog_Hide) {
    if (FStack.Count() > 0) FStack.Delete(FStack.Count() - 1);
    if (FStack.Count() > 0) {
      Message = FStack.Get(FStack.Count() - 1);
      DisplayMessage();
    } else {
      Hide();
    }
  }
}

void TInstallStatusDlg::Hide() {
  if (TForm* f = Dialog()) {
    f->Hide();
    Application->ProcessMessages();
  }
}

void TInstallStatusDlg::Translate() {
  TCustomBaseInstallDlg::Translate();
  SetCurrentLanguage(qlEnglish);
}

void TInstallStatusDlg::AssignDialogProperties() {
  if (!Dialog())
    throw Exception(TSEFormat("Cannot AssignDialogProperties for %s because the Dialog is Nil", {Name()}));
  Translate();
}

void TInstallStatusDlg::DisplayMessage() {
  TInstallStatusForm* form = Form();
  if (!form) {
    form = new TInstallStatusForm(Application);
    SetDialog(form);
    AssignDialogProperties();
  }
  TLabel* l = form->lblMessage;
  l->SetAlign(alNone);
  l->SetWordWrap(false);
  l->SetCaption(Message);
  // The window is sized to the text it shows: the translation, in the
  // language's font, which may be much longer than the English text.
  Translate();
  l->SetAutoSize(false);
  l->SetAutoSize(true);
  l->SetTop(static_cast<int>(std::nearbyint(form->ClientHeight() / 2.0 - l->Height() / 2.0)));
  const int text = TextWidthOf(l, l->Caption());
  form->SetWidth(form->pnlBack->Left() + form->pnlMessage->Left() + l->Left() + text + 25);
  form->SetLeft(static_cast<int>(std::nearbyint(Screen->Width() / 2.0 - form->Width() / 2.0)));
  form->Show();
  form->Repaint();
  Application->ProcessMessages();
}
