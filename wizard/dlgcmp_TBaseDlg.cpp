#include "wizard/dlgcmp_TBaseDlg.h"

#include <algorithm>

#include "classlib/Units.h"
#include "engine/cmp_TInstall.h"
#include "foundation/ftp/cmp_TQlntFTP.h"
#include "foundation/translator/cmp_TTranslateControls.h"
#include "wizard/dlgcmp_TBaseContainer.h"

const TEnumInfo ManagerTypeInfo{"TManagerType",
                                {"dmBeforeInstall", "dmAfterGoodInstall", "dmAfterBadInstall", "dmDuringCopyFiles",
                                 "dmChangeDisk", "dmReboot"}};

TDialogManager* CurrentDM = nullptr;
std::vector<TDCFEntry*>* DCFList = nullptr;
std::vector<TBCDFEntry*>* BCDFList = nullptr;

TBIFEntry* WelcomeFormBIFEntry = nullptr;
TBIFEntry* SelectFolderFormBIFEntry = nullptr;
TBIFEntry* RebootFormBIFEntry = nullptr;
TBIFEntry* FileGroupSelectFormBIFEntry = nullptr;
TBIFEntry* BadInstallFormBIFEntry = nullptr;
TBIFEntry* SelectLanguageFormBIFEntry = nullptr;
TBIFEntry* GoodInstallFormBIFEntry = nullptr;
TBCDFEntry* ChangeDiskFormBCDFEntry = nullptr;
TDCFEntry* CopyFileFormDCF = nullptr;

namespace {

std::vector<TBIFEntry*>* BIFList = nullptr;

// Every entry ever made, freed when the program ends: an entry removed from
// its list may still be held by whoever registered it.
std::vector<TObject*>& EntryStore() {
  static std::vector<TObject*> store;
  return store;
}

template <class E>
E* Keep(E* Entry) {
  EntryStore().push_back(Entry);
  return Entry;
}

template <class E>
void RemoveFrom(std::vector<E*>* List, E* Entry) {
  if (!List) return;
  auto it = std::find(List->begin(), List->end(), Entry);
  if (it != List->end()) List->erase(it);
}

}  // namespace

// ------------------------------------------------------------ lists

TBIFEntry* AddToBIFList(TFormClass BIFClassType, TCustomBaseInstallDlg* ADlgCmp, TDialogManager* ADlgMgr) {
  if (!BIFList) BIFList = new std::vector<TBIFEntry*>();
  TBIFEntry* e = Keep(new TBIFEntry);
  e->BIFClassType = BIFClassType;
  e->DlgCmp = ADlgCmp;
  e->DlgMgr = ADlgMgr;
  BIFList->push_back(e);
  return e;
}

int BIFCount() { return BIFList ? static_cast<int>(BIFList->size()) : 0; }

TBIFEntry* GetBIFEntry(int Index) {
  if (!BIFList) throw Exception(TSE("The BIFList is NIL"));
  if (Index < 0 || Index >= BIFCount()) throw Exception(TSEFormat("%d is an invalid index in the BIFList", {Index}));
  TBIFEntry* e = (*BIFList)[static_cast<size_t>(Index)];
  if (!e) throw Exception(TSEFormat("The %d 'th entry in the BIFList is NIL", {Index}));
  return e;
}

void RemoveBIFEntry(TBIFEntry* ABIFEntry) { RemoveFrom(BIFList, ABIFEntry); }

TDCFEntry* AddToDCFList(TFormClass DCFClassType, TCustomBaseInstallDlg* ADlgCmp, TDialogManager* ADlgMgr) {
  if (!DCFList) DCFList = new std::vector<TDCFEntry*>();
  TDCFEntry* e = Keep(new TDCFEntry);
  e->DCFClassType = DCFClassType;
  e->DlgCmp = ADlgCmp;
  e->DlgMgr = ADlgMgr;
  DCFList->push_back(e);
  return e;
}

TBCDFEntry* AddToBCDFList(TFormClass BCDFClassType, TCustomBaseInstallDlg* ADlgCmp, TDialogManager* ADlgMgr) {
  if (!BCDFList) BCDFList = new std::vector<TBCDFEntry*>();
  TBCDFEntry* e = Keep(new TBCDFEntry);
  e->BCDFClassType = BCDFClassType;
  e->DlgCmp = ADlgCmp;
  e->DlgMgr = ADlgMgr;
  BCDFList->push_back(e);
  return e;
}

void RemoveDCFEntry(TDCFEntry* Entry) { RemoveFrom(DCFList, Entry); }
void RemoveBCDFEntry(TBCDFEntry* Entry) { RemoveFrom(BCDFList, Entry); }

TDialogManager* LinkToManager(TManagerType ManagerType) {
  if (!QuillantComps) return nullptr;
  for (TInstallContainer* c : *QuillantComps) {
    auto* dm = dynamic_cast<TDialogManager*>(c);
    if (dm && dm->ManagerType() == ManagerType && dm->Container() == MainInstall) return dm;
  }
  return nullptr;
}

// ------------------------------------------------------------ page component

QNT_PUBLISH(TCustomBaseInstallDlg);

QNT_PUBLISH(TBaseInstallDlg,
  Prop::Boolean("AutoSetFont", &TBaseInstallDlg::AutoSetFont, &TBaseInstallDlg::SetAutoSetFont, true),
  Prop::Boolean("AutoTranslate", &TBaseInstallDlg::AutoTranslate, &TBaseInstallDlg::SetAutoTranslate, true),
  Prop::Component("DialogManager", &TBaseInstallDlg::DialogManager, &TBaseInstallDlg::SetDialogManager),
  Prop::Integer("Order", &TBaseInstallDlg::Order, &TBaseInstallDlg::SetOrder),
  Prop::Boolean("OverrideMainTranslator", &TBaseInstallDlg::OverrideMainTranslator,
                &TBaseInstallDlg::SetOverrideMainTranslator),
  Prop::Object("ThemeBitmap", &TBaseInstallDlg::ThemeBitmap),
  Prop::Enum("TranslateIntoLanguage", &TBaseInstallDlg::TranslateIntoLanguage,
             &TBaseInstallDlg::SetTranslateIntoLanguage, QlntLanguageInfo, qlUser),
  Prop::Event("OnAfterExecute", &TBaseInstallDlg::OnAfterExecute, &TBaseInstallDlg::SetOnAfterExecute),
  Prop::Event("OnBeforeExecute", &TBaseInstallDlg::OnBeforeExecute, &TBaseInstallDlg::SetOnBeforeExecute));

TCustomBaseInstallDlg::TCustomBaseInstallDlg(TComponent* AOwner) : TInstallObject(AOwner) {
  SetAutomaticInstallation(false);
  FThemeBitmap = new TPicture();
  if (HasState(csDesigning)) {
    SetContainer(MainInstall);
    return;
  }
  FThemeBitmap->LoadFromResourceName("INSTALLTHEME1");
}

TCustomBaseInstallDlg::~TCustomBaseInstallDlg() {
  // Told first, while this is still a page component to the managers.
  AnnounceDestruction();
  RemoveBIFEntry(FEntry);
  if (FDialog) FDialog->RemoveFreeNotification(this);
  delete FThemeBitmap;
}

void TCustomBaseInstallDlg::RegisterPage(TFormClass FormClass, TManagerType ManagerType, int32_t DefaultOrder,
                                         int StandAloneCode) {
  FDlgOrder = DefaultOrder;
  FStandAloneCode = StandAloneCode;
  FEntry = AddToBIFList(FormClass, this, nullptr);
  FDialogManager = LinkToManager(ManagerType);
}

void TCustomBaseInstallDlg::HandleExternalComponentCall(TInstallContainer* Container, int ComponentCall,
                                                        TObject* PO) {
  TInstallObject::HandleExternalComponentCall(Container, ComponentCall, PO);
  if (!FDialogManager && FStandAloneCode != 0 && ComponentCall == FStandAloneCode) Execute();
}

void TCustomBaseInstallDlg::SetDialog(TForm* Value) {
  if (Value == FDialog) return;
  if (FDialog) FDialog->RemoveFreeNotification(this);
  FDialog = Value;
  if (FDialog) FDialog->FreeNotification(this);
}

void TCustomBaseInstallDlg::Notification(TComponent* AComponent, TOperation Operation) {
  TInstallObject::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FDialog) FDialog = nullptr;
}

void TCustomBaseInstallDlg::DestroyingContainer(TInstallContainer* AContainer) {
  TInstallObject::DestroyingContainer(AContainer);
  if (AContainer == FDialogManager) FDialogManager = nullptr;
}

void TCustomBaseInstallDlg::SetDialogManager(TDialogManager* DM) {
  if (DM == FDialogManager) return;
  if (DM) DM->InsertDialog(this);
  if (FDialogManager) FDialogManager->RemoveDialog(this);
  FDialogManager = DM;
}

void TCustomBaseInstallDlg::SetThemeBitmap(const TPicture* Value) { FThemeBitmap->Assign(Value); }

void TCustomBaseInstallDlg::Translate() {
  if (!FDialog) return;
  if (FAutoSetFont) {
    if (FOverrideMainTranslator)
      SetControlFontTo(FTranslateIntoLanguage, FDialog, false, false);
    else
      SetControlFont(FDialog, false, false);
  }
  if (FAutoTranslate) {
    if (FOverrideMainTranslator)
      FCurrentLanguage = TranslateComponentFromTo(FCurrentLanguage, FTranslateIntoLanguage, FDialog);
    else
      FCurrentLanguage = TranslateComponent(FCurrentLanguage, FDialog);
  }
  FitButtonsToCaptions(FDialog);
}

void TCustomBaseInstallDlg::AssignDialogProperties() {
  if (!FDialog)
    throw Exception(TSEFormat("Cannot AssignDialogProperties for %s because the Dialog is Nil", {Name()}));
  if (auto* q = dynamic_cast<TBaseQuillantForm*>(FDialog)) {
    q->SetAutoSetFont(FAutoSetFont);
    q->SetAutoTranslate(FAutoTranslate);
    q->SetContainer(Container());
    q->SetOverrideMainTranslator(FOverrideMainTranslator);
    q->SetTranslateIntoLanguage(FTranslateIntoLanguage);
    // A new form's texts are in the language it was designed in, whatever
    // language the previous form of this component was left in.
    FCurrentLanguage = q->CurrentLanguage();
  } else {
    FCurrentLanguage = qlEnglish;
  }
  if (auto* f = dynamic_cast<TBaseInstallForm*>(FDialog)) f->SetDC(this);
  Translate();
}

void TCustomBaseInstallDlg::StandAloneLook(TBaseInstallForm* Form) {
  if (!Form) return;
  if (Form->BackButton) Form->BackButton->SetVisible(false);
  for (TBitBtn* b : Form->OkButtons) b->SetModalResult(mrOk);
  if (Form->ThemeImage) AssignTheme(Form->ThemeImage->Picture());
}

void TCustomBaseInstallDlg::AssignTheme(TPicture* Image) {
  if (!Image) return;
  if (FThemeBitmap->Empty())
    Image->LoadFromResourceName("INSTALLTHEME1");
  else
    Image->Assign(FThemeBitmap);
}

bool TCustomBaseInstallDlg::Execute() {
  bool result = false;
  try {
    if (FOnBeforeExecute) FOnBeforeExecute(this);
    result = ExecuteUnique();
    Application->ProcessMessages();
    if (FOnAfterExecute) FOnAfterExecute(this);
  } catch (const EAbort&) {
    // A silent abort ends the page quietly; the install goes on.
  }
  return result;
}

bool TCustomBaseInstallDlg::ExecuteUnique() {
  if (!IsIncluded()) return true;
  TForm* form = CreateFormOf<TForm>(GetDialogClassType(), Application);
  if (!form) throw Exception(TSEFormat("Cannot AssignDialogProperties for %s because the Dialog is Nil", {Name()}));
  SetDialog(form);
  int mr = mrNone;
  try {
    AssignDialogProperties();
    mr = form->ShowModal();
  } catch (...) {
    form->Free();
    SetDialog(nullptr);
    throw;
  }
  form->Free();
  SetDialog(nullptr);
  if (mr != mrOk) throw EAIUserAbort();
  return true;
}

void TCustomBaseInstallDlg::LanguageSwitch(TQlntLanguage) { Translate(); }

// ------------------------------------------------------------ page forms

std::function<bool()> VerifyCancelSource;

bool VerifyCancel() {
  if (VerifyCancelSource) return VerifyCancelSource();
  if (auto* install = dynamic_cast<TCustomInstall*>(MainInstall)) return install->VerifyCancel();
  return true;
}

void CheckNotTerminated() {
  if (Application && Application->Terminated()) throw EAIUserAbort();
}

QNT_PUBLISH(TBaseInstallForm,
  Prop::Component("DC", &TBaseInstallForm::DC, &TBaseInstallForm::SetDC),
  Prop::Component("DM", &TBaseInstallForm::DM, &TBaseInstallForm::SetDM),
  Prop::Integer("Order", &TBaseInstallForm::Order, &TBaseInstallForm::SetOrder, 0));

TBaseInstallForm::TBaseInstallForm(TComponent* AOwner) : TBaseQuillantForm(AOwner) {}

bool TBaseInstallForm::OwnedByForm() const { return dynamic_cast<TForm*>(Owner()) != nullptr; }

TBaseFormContainer* TBaseInstallForm::Wizard() const { return dynamic_cast<TBaseFormContainer*>(Owner()); }

void TBaseInstallForm::CreateParams(TCreateParams& Params) {
  TBaseQuillantForm::CreateParams(Params);
  auto* owner = dynamic_cast<TForm*>(Owner());
  if (!owner) return;
  Params.Style = WS_CHILD | WS_CLIPSIBLINGS;
  Params.WndParent = owner->Handle();
  Params.X = 0;
  Params.Y = 0;
}

void TBaseInstallForm::Loaded() {
  TBaseQuillantForm::Loaded();
  auto* owner = dynamic_cast<TForm*>(Owner());
  if (!owner) return;
  SetVisible(false);
  SetPosition(poDefault);
  SetBorderIcons(0);
  SetBorderStyle(bsNone);
  HandleNeeded();
  SetBounds(0, 0, owner->ClientWidth(), owner->Height());
}

bool TBaseInstallForm::IsFirst() {
  TBaseFormContainer* w = Wizard();
  return w ? w->IsFirst() : false;
}

bool TBaseInstallForm::IsLast() {
  TBaseFormContainer* w = Wizard();
  return w ? w->IsLast() : false;
}

void TBaseInstallForm::Next() {
  if (TBaseFormContainer* w = Wizard()) w->Next();
}

void TBaseInstallForm::Previous() {
  if (TBaseFormContainer* w = Wizard()) w->Previous();
}

void TBaseInstallForm::ShowIt() {
  if (!OwnedByForm()) return;
  RefreshInformation();
  BringToFront();
}

void TBaseInstallForm::ForceCancel() {
  if (TBaseFormContainer* w = Wizard())
    w->SetModalResult(mrAbort);
  else
    SetModalResult(mrAbort);
}

void TBaseInstallForm::TryCancel() {
  if (::VerifyCancel()) ForceCancel();
}

bool TBaseInstallForm::CanAbort() const {
  // Once the install has ended there is nothing left to abort, whatever
  // buttons the page carries.
  if (Wizard() && CurrentDM && ShowsAfterInstall(CurrentDM->ManagerType())) return false;
  return CancelButton() != nullptr;
}

void TBaseInstallForm::CloseCommand() {
  if (!CanAbort()) {
    ClickOkButton();
    return;
  }
  // Never a silent go-ahead: shown alone, the page's Cancel button answers.
  if (!OwnedByForm())
    if (TButton* cancel = CancelButton()) {
      cancel->Click();
      return;
    }
  TryCancel();
}

void TBaseInstallForm::ClickOkButton() {
  for (TBitBtn* b : OkButtons)
    if (b && b->Visible()) {
      b->Click();
      return;
    }
  Next();
}

LRESULT TBaseInstallForm::WndProc(UINT Msg, WPARAM WParam, LPARAM LParam) {
  // Inside a wizard the close command reaches the wizard window instead.
  if (Msg == WM_CLOSE && !OwnedByForm()) {
    CloseCommand();
    return 0;
  }
  return TBaseQuillantForm::WndProc(Msg, WParam, LParam);
}

void TBaseInstallForm::FocusIfVisible(TWinControl* Control) {
  if (Control && Control->Visible() && Visible()) Control->SetFocus();
}

QNT_PUBLISH(TBaseDuringCopyForm, Prop::Component("DM", &TBaseDuringCopyForm::DM, &TBaseDuringCopyForm::SetDM));

void TBaseDuringCopyForm::TryCancel() {
  if (::VerifyCancel()) {
    if (QlntCompress) QlntCompress->SetAbort(true);
    AbortDownload = true;
  }
  SetModalResult(mrCancel);
}

QNT_PUBLISH(TBaseChangeDiskForm, Prop::Component("DM", &TBaseChangeDiskForm::DM, &TBaseChangeDiskForm::SetDM));

void TBaseChangeDiskForm::TryCancel() {
  if (::VerifyCancel()) SetModalResult(mrAbort);
}

// ------------------------------------------------------------ unit

namespace {
void InitBaseDlg() {
  CurrentDM = nullptr;
  // Every page form carries labels and buttons with text numbers.
  RegisterClasses<TTranslateLabel, TTranslateBitBtn>();
  if (!BIFList) BIFList = new std::vector<TBIFEntry*>();
  if (!DCFList) DCFList = new std::vector<TDCFEntry*>();
  if (!BCDFList) BCDFList = new std::vector<TBCDFEntry*>();
}
void FinBaseDlg() {
  delete BIFList;
  delete DCFList;
  delete BCDFList;
  BIFList = nullptr;
  DCFList = nullptr;
  BCDFList = nullptr;
  for (TObject* e : EntryStore()) delete e;
  EntryStore().clear();
}
TUnitRegistration registration(ulWizardFramework, "dlgcmp_TBaseDlg", InitBaseDlg, FinBaseDlg);
}  // namespace
