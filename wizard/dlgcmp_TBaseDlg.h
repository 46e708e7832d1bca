// The page framework: page components (install objects that carry a page's
// configuration and answer the engine's broadcasts), the bases of the page
// forms, the registration lists through which the wizard window and the
// dialog managers find the forms, and the dialog manager.
//
// A page is a pair: a form unit (ordlg_<Page>) whose start-up registers a
// form-only entry, and a component unit (dlgcmp_<Page>) whose start-up
// removes that entry again and whose components each register a component
// entry. With both linked, a page is shown only through its components.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "classlib/Buttons.h"
#include "classlib/ExtCtrls.h"
#include "classlib/Forms.h"
#include "classlib/Graphics.h"
#include "classlib/Units.h"
#include "engine/cmp_TInstallContainer.h"
#include "wizard/WizardRules.h"

extern const TEnumInfo ManagerTypeInfo;

class TDialogManager;
class TBIFEntry;
class TBaseInstallForm;
class TBaseDuringCopyForm;
class TBaseChangeDiskForm;

// Class references: the table of a form class, whose creator makes the form.
using TFormClass = const TClassInfo*;

// Creates a form of class FormClass owned by AOwner; nullptr when the class
// cannot be created or is not a T.
template <class T>
T* CreateFormOf(TFormClass FormClass, TComponent* AOwner) {
  if (!FormClass || !FormClass->Creator()) return nullptr;
  TComponent* c = FormClass->Creator()(AOwner);
  T* t = dynamic_cast<T*>(c);
  if (!t && c) c->Free();
  return t;
}

// The component named Name that Root owns, as a T; an Exception naming both
// when there is none (a form resource that lost a control).
template <class T>
T* FindChild(TComponent* Root, const std::string& Name) {
  T* t = dynamic_cast<T*>(Root->FindComponent(Name));
  if (!t) throw Exception(Root->ClassName() + " has no " + Name);
  return t;
}

// --------------------------------------------------------------------------
// Page component.
class TCustomBaseInstallDlg : public TInstallObject {
  QNT_PUBLISHED(TCustomBaseInstallDlg, TInstallObject)
public:
  explicit TCustomBaseInstallDlg(TComponent* AOwner);
  ~TCustomBaseInstallDlg() override;

  bool AutoSetFont() const { return FAutoSetFont; }
  void SetAutoSetFont(bool Value) { FAutoSetFont = Value; }
  bool AutoTranslate() const { return FAutoTranslate; }
  void SetAutoTranslate(bool Value) { FAutoTranslate = Value; }
  TQlntLanguage CurrentLanguage() const { return FCurrentLanguage; }
  void SetCurrentLanguage(TQlntLanguage Value) { FCurrentLanguage = Value; }
  // The live page form; nullptr whenever none exists.
  TForm* Dialog() const { return FDialog; }
  void SetDialog(TForm* Value);
  TDialogManager* DialogManager() const { return FDialogManager; }
  // Inserts into the new manager first (a refused insertion changes
  // nothing), then leaves the old one.
  virtual void SetDialogManager(TDialogManager* DM);
  // The page's place in its wizard (smaller first); not the install object's
  // position among its container's children.
  int32_t Order() const { return FDlgOrder; }
  void SetOrder(int32_t Value) { FDlgOrder = Value; }
  bool OverrideMainTranslator() const { return FOverrideMainTranslator; }
  void SetOverrideMainTranslator(bool Value) { FOverrideMainTranslator = Value; }
  TPicture* ThemeBitmap() const { return FThemeBitmap; }
  virtual void SetThemeBitmap(const TPicture* Value);
  TQlntLanguage TranslateIntoLanguage() const { return FTranslateIntoLanguage; }
  void SetTranslateIntoLanguage(TQlntLanguage Value) { FTranslateIntoLanguage = Value; }
  const TNotifyEvent& OnBeforeExecute() const { return FOnBeforeExecute; }
  void SetOnBeforeExecute(TNotifyEvent Value) { FOnBeforeExecute = std::move(Value); }
  const TNotifyEvent& OnAfterExecute() const { return FOnAfterExecute; }
  void SetOnAfterExecute(TNotifyEvent Value) { FOnAfterExecute = std::move(Value); }

  // Sets the form's font and translates its texts, as the settings ask.
  virtual void Translate();
  // Copies the settings to the form, makes it this component's, translates
  // it; pages add their stand-alone look.
  virtual void AssignDialogProperties();
  // A stand-alone run: OnBeforeExecute, ExecuteUnique, pending messages,
  // OnAfterExecute. A silent abort ends it quietly.
  virtual bool Execute();
  // Shows the form modally; any result but OK raises EAIUserAbort.
  virtual bool ExecuteUnique();
  virtual TFormClass GetDialogClassType() = 0;
  virtual bool IsIncluded() { return true; }

  void DestroyingContainer(TInstallContainer* AContainer) override;
  int RegisteredType() override { return cDialog; }
  void LanguageSwitch(TQlntLanguage NewLanguageIdent) override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  // Inherited handling; then, without a manager, Execute on the page's own
  // code (StandAloneCode).
  void HandleExternalComponentCall(TInstallContainer* Container, int ComponentCall, TObject* PO) override;

protected:
  // A wizard page component's start: its component entry for FormClass in
  // the page list, and its manager found by type (set directly: the stored
  // DialogManager goes through SetDialogManager when the module is read).
  void RegisterPage(TFormClass FormClass, TManagerType ManagerType, int32_t DefaultOrder, int StandAloneCode);
  int FStandAloneCode = 0;
  // The look every wizard page gives its form when run by its component:
  // Back hidden, Next (and Finish) closing a modal form with OK, the theme
  // picture from the component or the resource.
  void StandAloneLook(TBaseInstallForm* Form);
  // Assigns the component's theme picture to Image, or the resource
  // "INSTALLTHEME1" when the component's picture is empty.
  void AssignTheme(TPicture* Image);

  TDialogManager* FDialogManager = nullptr;

private:
  bool FAutoSetFont = true;
  bool FAutoTranslate = true;
  TQlntLanguage FCurrentLanguage = qlEnglish;
  TForm* FDialog = nullptr;
  int32_t FDlgOrder = 0;
  bool FOverrideMainTranslator = false;
  TPicture* FThemeBitmap;
  TQlntLanguage FTranslateIntoLanguage = qlUser;
  TNotifyEvent FOnBeforeExecute;
  TNotifyEvent FOnAfterExecute;
  TBIFEntry* FEntry = nullptr;
};

// Publishes the page settings; the wizard page components derive from it.
class TBaseInstallDlg : public TCustomBaseInstallDlg {
  QNT_PUBLISHED(TBaseInstallDlg, TCustomBaseInstallDlg)
public:
  using TCustomBaseInstallDlg::TCustomBaseInstallDlg;
};

// --------------------------------------------------------------------------
// Page forms.
class TBaseInstallForm : public TBaseQuillantForm {
  QNT_PUBLISHED(TBaseInstallForm, TBaseQuillantForm)
public:
  explicit TBaseInstallForm(TComponent* AOwner);

  TCustomBaseInstallDlg* DC() const { return FDC; }
  void SetDC(TCustomBaseInstallDlg* Value) { FDC = Value; }
  TDialogManager* DM() const { return FDM; }
  void SetDM(TDialogManager* Value) { FDM = Value; }
  int32_t Order() const { return FOrder; }
  void SetOrder(int32_t Value) { FOrder = Value; }

  virtual bool IsFirst();
  virtual bool IsLast();
  // Called when the wizard's own tab selection leaves the page.
  virtual void Leave() {}
  // Ends the wizard (or the form) with mrAbort without asking.
  virtual void ForceCancel();
  virtual void Next();
  virtual void Previous();
  // Refreshes the page and brings it to the front (inside a wizard only).
  virtual void ShowIt();
  // True passes the page over in the wizard.
  virtual bool Skip() { return false; }
  // Asks the controller; a confirmed Cancel ends as ForceCancel does.
  virtual void TryCancel();
  // The window's close command (Alt+F4). A page that can abort takes it as
  // its Cancel: the controller asks. On a page that cannot it means what
  // its Finish means (Next when it is not the last page).
  virtual void CloseCommand();
  // The page shows a Cancel button (one marked Cancel, visible and enabled)
  // and is not shown by a manager whose pages come after the install.
  bool CanAbort() const;

  void CreateParams(TCreateParams& Params) override;
  void Loaded() override;
  // Shown on its own, the page takes the window's close command as
  // CloseCommand says; inside a wizard the wizard window passes it on.
  LRESULT WndProc(UINT Msg, WPARAM WParam, LPARAM LParam) override;

  // The button that closes a stand-alone page with OK (Next; Finish too on
  // the pages that have one) and Back; set by each page form.
  std::vector<TBitBtn*> OkButtons;
  TControl* BackButton = nullptr;
  // The picture at the left (its image named ThemeBitmap), or nullptr.
  TImage* ThemeImage = nullptr;

protected:
  // The owning wizard window, or nullptr.
  class TBaseFormContainer* Wizard() const;
  bool OwnedByForm() const;
  // Sets focus to Control when it and the form are visible.
  void FocusIfVisible(TWinControl* Control);
  // Clicks the first shown button of OkButtons (Next, or Finish on the last
  // page), as the user would; Next when none shows.
  void ClickOkButton();

private:
  TCustomBaseInstallDlg* FDC = nullptr;
  TDialogManager* FDM = nullptr;
  int32_t FOrder = 0;
};

class TBaseDuringCopyForm : public TBaseQuillantForm {
  QNT_PUBLISHED(TBaseDuringCopyForm, TBaseQuillantForm)
public:
  using TBaseQuillantForm::TBaseQuillantForm;
  TDialogManager* DM() const { return FDM; }
  void SetDM(TDialogManager* Value) { FDM = Value; }
  // Asks the controller; when confirmed, stops the running extraction and
  // download. The modeless window stays.
  virtual void TryCancel();
  // Exactly one of the two is given.
  virtual void RefreshStatistics(TFileStatusParameter* FileStatus, TDownloadStatusParameter* DownloadStatus) {
    (void)FileStatus;
    (void)DownloadStatus;
  }

private:
  TDialogManager* FDM = nullptr;
};

class TBaseChangeDiskForm : public TBaseQuillantForm {
  QNT_PUBLISHED(TBaseChangeDiskForm, TBaseQuillantForm)
public:
  using TBaseQuillantForm::TBaseQuillantForm;
  TDiskParameter* DiskParameter() const { return FDiskParameter; }
  void SetDiskParameter(TDiskParameter* Value) { FDiskParameter = Value; }
  TDialogManager* DM() const { return FDM; }
  void SetDM(TDialogManager* Value) { FDM = Value; }
  // Asks the controller; a confirmed Cancel closes the prompt with mrAbort.
  virtual void TryCancel();

private:
  TDiskParameter* FDiskParameter = nullptr;
  TDialogManager* FDM = nullptr;
};

// --------------------------------------------------------------------------
// Registration lists.
class TBIFEntry : public TObject {
public:
  TFormClass BIFClassType = nullptr;
  TCustomBaseInstallDlg* DlgCmp = nullptr;
  TDialogManager* DlgMgr = nullptr;
};
class TDCFEntry : public TObject {
public:
  TFormClass DCFClassType = nullptr;
  TCustomBaseInstallDlg* DlgCmp = nullptr;
  TDialogManager* DlgMgr = nullptr;
};
class TBCDFEntry : public TObject {
public:
  TFormClass BCDFClassType = nullptr;
  TCustomBaseInstallDlg* DlgCmp = nullptr;
  TDialogManager* DlgMgr = nullptr;
};

TBIFEntry* AddToBIFList(TFormClass BIFClassType, TCustomBaseInstallDlg* ADlgCmp, TDialogManager* ADlgMgr);
int BIFCount();
// "The BIFList is NIL", "%d is an invalid index in the BIFList",
// "The %d 'th entry in the BIFList is NIL".
TBIFEntry* GetBIFEntry(int Index);
void RemoveBIFEntry(TBIFEntry* ABIFEntry);
TDCFEntry* AddToDCFList(TFormClass DCFClassType, TCustomBaseInstallDlg* ADlgCmp, TDialogManager* ADlgMgr);
TBCDFEntry* AddToBCDFList(TFormClass BCDFClassType, TCustomBaseInstallDlg* ADlgCmp, TDialogManager* ADlgMgr);
// Removing from the two lists below is by reference, as the entries' owners do.
void RemoveDCFEntry(TDCFEntry* Entry);
void RemoveBCDFEntry(TBCDFEntry* Entry);

// The lists in registration order (entries stay alive until the program ends).
extern std::vector<TDCFEntry*>* DCFList;
extern std::vector<TBCDFEntry*>* BCDFList;

// The first dialog manager in QuillantComps of that type whose Container is
// MainInstall; nullptr when none exists yet.
TDialogManager* LinkToManager(TManagerType ManagerType);

// The manager whose wizard or change-disk form is being built or shown.
extern TDialogManager* CurrentDM;

// The form-only entries of the standard page forms.
extern TBIFEntry* WelcomeFormBIFEntry;
extern TBIFEntry* SelectFolderFormBIFEntry;
extern TBIFEntry* RebootFormBIFEntry;
extern TBIFEntry* FileGroupSelectFormBIFEntry;
extern TBIFEntry* BadInstallFormBIFEntry;
extern TBIFEntry* SelectLanguageFormBIFEntry;
extern TBIFEntry* GoodInstallFormBIFEntry;
extern TBCDFEntry* ChangeDiskFormBCDFEntry;
extern TDCFEntry* CopyFileFormDCF;

// Start-up levels inside the wizard: the framework, then the form units, then
// the component units (which remove the form units' entries).
constexpr int ulWizardFramework = ulWizard;
constexpr int ulWizardForms = ulWizard + 10;
constexpr int ulWizardComponents = ulWizard + 20;

// --------------------------------------------------------------------------
// Dialog manager.

class TDialogManager : public TInstallObject {
  QNT_PUBLISHED(TDialogManager, TInstallObject)
public:
  explicit TDialogManager(TComponent* AOwner);
  ~TDialogManager() override;

  TManagerType ManagerType() const { return FManagerType; }
  void SetManagerType(TManagerType Value) { FManagerType = Value; }

  // A wizard run of every page registered for this manager.
  virtual void Execute();
  virtual void ExecuteChangeDiskForm(TObject* PO);
  virtual void InsertDialog(TCustomBaseInstallDlg* D);
  virtual void RemoveDialog(TCustomBaseInstallDlg* D);

  void CloseAllCopyForms();
  void UpdateAllCopyForms(TFileStatusParameter* FileStatus, TDownloadStatusParameter* DownloadStatus);
  const std::vector<TCustomBaseInstallDlg*>& Dialogs() const { return FDialogs; }
  const std::vector<TBaseQuillantForm*>& CopyForms() const { return FCopyForms; }

  void DestroyingContainer(TInstallContainer* AContainer) override;
  void HandleExternalComponentCall(TInstallContainer* Container, int ComponentCall, TObject* PO) override;
  int RegisteredType() override { return cDialog; }
  void Notification(TComponent* AComponent, TOperation Operation) override;

protected:
  void ShowAllCopyForms();

private:
  TManagerType FManagerType = dmBeforeInstall;
  std::vector<TBaseQuillantForm*> FCopyForms;
  std::vector<TCustomBaseInstallDlg*> FDialogs;
};

// The install controller's answer to a Cancel: MainInstall's VerifyCancel
// (its OnUserAbort); true without a controller.
bool VerifyCancel();
// When set, VerifyCancel asks here instead (tests answer through it).
extern std::function<bool()> VerifyCancelSource;

// Ends a run that the application was told to end while a modal window was
// shown: the modal loop returned without the user's answer, so the install
// must not go on as if the page had been confirmed.
void CheckNotTerminated();
