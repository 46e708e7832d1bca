// The select-language page: the languages that carry texts as a grid of
// flags; a click switches every live page and install component to it.
#pragma once
#include <array>

#include "classlib/Grids.h"
#include "foundation/translator/cmp_TTranslateControls.h"
#include "wizard/dlgcmp_TBaseDlg.h"

// A language is listed when its list holds more than one line.
bool IsListedLanguage(const TLanguage* Language);
// Switches the wizard language and tells every install component and every
// page form, in list order.
void SwitchWizardLanguage(TQlntLanguage Language);

class TSelectLanguageForm : public TBaseInstallForm {
  QNT_PUBLISHED(TSelectLanguageForm, TBaseInstallForm)
public:
  explicit TSelectLanguageForm(TComponent* AOwner);
  void RefreshInformation() override;
  bool Skip() override { return MTranslator == nullptr; }

  bool IgnoreClick = false;
  int32_t IncludedLanguageCount = 0;
  std::array<TBitmap*, 16> LanguageBitmaps{};

  TTranslateBitBtn* BackBtn = nullptr;
  TTranslateBitBtn* ProceedBtn = nullptr;
  TTranslateBitBtn* CancelBtn = nullptr;
  TStringGrid* LanguageGrid = nullptr;

private:
  void FormCreate(TObject* Sender);
  void FormDestroy(TObject* Sender);
  void BackBtnClick(TObject*) { Previous(); }
  void ProceedBtnClick(TObject*) { Next(); }
  void CancelBtnClick(TObject* Sender);
  void LanguageListClick(TObject* Sender);
  void LanguageListKeyPress(TObject* Sender, char& Key);
  void LanguageGridDrawCell(TObject* Sender, int ACol, int ARow, RECT Rect, HDC DC);
};
