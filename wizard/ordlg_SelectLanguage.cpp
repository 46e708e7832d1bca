#include "wizard/ordlg_SelectLanguage.h"

#include <algorithm>
#include <cmath>

#include "classlib/Units.h"
#include "wizard/dlgcmp_TBaseContainer.h"

bool IsListedLanguage(const TLanguage* Language) { return Language && Language->Strings()->Count() > 1; }

void SwitchWizardLanguage(TQlntLanguage Language) {
  if (MTranslator) MTranslator->SetTranslateIntoLanguage(Language);
  SwitchLanguageOfAll(Language);
}

QNT_PUBLISH(TSelectLanguageForm);

TSelectLanguageForm::TSelectLanguageForm(TComponent* AOwner) : TBaseInstallForm(AOwner) {
  RegisterHandler("FormCreate", this, &TSelectLanguageForm::FormCreate);
  RegisterHandler("FormDestroy", this, &TSelectLanguageForm::FormDestroy);
  RegisterHandler("BackBtnClick", this, &TSelectLanguageForm::BackBtnClick);
  RegisterHandler("ProceedBtnClick", this, &TSelectLanguageForm::ProceedBtnClick);
  RegisterHandler("CancelBtnClick", this, &TSelectLanguageForm::CancelBtnClick);
  RegisterHandler("LanguageListClick", this, &TSelectLanguageForm::LanguageListClick);
  RegisterHandler("LanguageListKeyPress", this, &TSelectLanguageForm::LanguageListKeyPress);
  RegisterHandler("LanguageGridDrawCell", this, &TSelectLanguageForm::LanguageGridDrawCell);
  ReadForm("TSelectLanguageForm");
  SetDM(LinkToManager(dmBeforeInstall));
  SetOrder(0);
}

void TSelectLanguageForm::FormCreate(TObject*) {
  BackBtn = FindChild<TTranslateBitBtn>(this, "BackBtn");
  ProceedBtn = FindChild<TTranslateBitBtn>(this, "ProceedBtn");
  CancelBtn = FindChild<TTranslateBitBtn>(this, "CancelBtn");
  LanguageGrid = FindChild<TStringGrid>(this, "LanguageGrid");
  ThemeImage = FindChild<TImage>(this, "ThemeBitmap");
  BackButton = BackBtn;
  OkButtons = {ProceedBtn};
  ThemeImage->Picture()->LoadFromResourceName("INSTALLTHEME1");
  CancelBtn->Glyph()->LoadFromResourceName("CANCELGLYPH");
  for (TBitmap*& b : LanguageBitmaps) {
    b = new TBitmap();
    b->LoadFromResourceName("BM_LANG_NONE");
  }
}

void TSelectLanguageForm::FormDestroy(TObject*) {
  for (TBitmap*& b : LanguageBitmaps) {
    delete b;
    b = nullptr;
  }
}

void TSelectLanguageForm::CancelBtnClick(TObject*) {
  // The button's own modal result (Cancel) would end a modal loop before
  // the question is answered: only the controller's answer ends the page.
  if (TForm* f = GetParentForm(CancelBtn)) f->SetModalResult(mrNone);
  TryCancel();
}

void TSelectLanguageForm::RefreshInformation() {
  TBaseInstallForm::RefreshInformation();
  if (MTranslator) {
    IncludedLanguageCount = 0;
    for (TLanguage* l : MTranslator->LanguageList())
      if (IsListedLanguage(l)) ++IncludedLanguageCount;
    const int cols = LanguageGrid->ColCount();
    LanguageGrid->SetRowCount(std::max(1, LanguageGridRows(IncludedLanguageCount, cols)));
    for (int r = 0; r < LanguageGrid->RowCount(); ++r)
      for (int c = 0; c < cols; ++c) LanguageGrid->SetObjects(c, r, nullptr);
    const TLanguage* wizard = MTranslator->GetTranslateIntoLanguageObject();
    int cell = 0;
    for (TLanguage* l : MTranslator->LanguageList()) {
      if (!IsListedLanguage(l)) continue;
      LanguageBitmaps[static_cast<size_t>(l->LanguageIdent())]->LoadFromResourceName(l->DefaultFlagResource);
      const int c = cell % cols, r = cell / cols;
      ++cell;
      LanguageGrid->SetCells(c, r, l->GetName());
      LanguageGrid->SetObjects(c, r, l);
      if (l == wizard) {
        IgnoreClick = true;
        try {
          LanguageGrid->SetCell(c, r);
        } catch (...) {
          IgnoreClick = false;
          throw;
        }
        IgnoreClick = false;
      }
    }
  }
  BackBtn->SetVisible(!IsFirst());
  FocusIfVisible(ProceedBtn);
}

void TSelectLanguageForm::LanguageListClick(TObject*) {
  if (IgnoreClick) return;
  auto* lang = dynamic_cast<TLanguage*>(LanguageGrid->Objects(LanguageGrid->Col(), LanguageGrid->Row()));
  if (!lang) return;
  Screen->SetCursor(crHourGlass);
  LanguageGrid->SetEnabled(false);
  struct TRestore {
    TStringGrid* Grid;
    ~TRestore() {
      Grid->SetEnabled(true);
      Screen->SetCursor(crDefault);
    }
  } restore{LanguageGrid};
  SwitchWizardLanguage(lang->LanguageIdent());
  // The window's caption is its page's, in the language just chosen.
  if (TBaseFormContainer* w = Wizard())
    if (TBaseInstallForm* page = w->CurrentPage()) w->SetCaption(page->Caption());
  LanguageGrid->SetScrollBarsVisible(false);
  LanguageGrid->SetScrollBarsVisible(true);
  CancelBtn->Repaint();
}

void TSelectLanguageForm::LanguageListKeyPress(TObject* Sender, char&) { LanguageListClick(Sender); }

void TSelectLanguageForm::LanguageGridDrawCell(TObject*, int ACol, int ARow, RECT Rect, HDC DC) {
  try {
    FillRect(DC, &Rect, LanguageGrid->BrushHandle());
    auto* lang = dynamic_cast<TLanguage*>(LanguageGrid->Objects(ACol, ARow));
    if (!lang) return;
    TBitmap* b = LanguageBitmaps[static_cast<size_t>(lang->LanguageIdent())];
    const int top = Rect.top + static_cast<int>(std::nearbyint((Rect.bottom - Rect.top) / 2.0 - b->Height() / 2.0));
    b->DrawTransparent(DC, Rect.left + 2, top, RGB(128, 128, 0));
  } catch (...) {
    // A flag that cannot be drawn leaves its cell blank.
  }
}

namespace {
void InitSelectLanguageForm() {
  SelectLanguageFormBIFEntry = AddToBIFList(&TSelectLanguageForm::StaticClassInfo(), nullptr, nullptr);
}
TUnitRegistration registration(ulWizardForms, "ordlg_SelectLanguage", InitSelectLanguageForm, nullptr);
}  // namespace
