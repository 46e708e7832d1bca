#include "wizard/dlgcmp_TBaseContainer.h"


// ------------------------------------------------------------ window

QNT_PUBLISH(TBaseFormContainer);

TBaseFormContainer::TBaseFormContainer(TComponent* AOwner) : TForm(AOwner) {
  FNav.Count = [this] { return static_cast<int>(FPages.size()); };
  FNav.Skips = [this](int i) { return FPages[static_cast<size_t>(i)]->Skip(); };
  FNav.Show = [this](int i) {
    TBaseInstallForm* page = FPages[static_cast<size_t>(i)];
    if (page != FShownPage) LeaveCurrentPage();
    FShownPage = page;
    SetCaption(page->Caption());
    page->ShowIt();
  };
  FNav.Finish = [this] { SetModalResult(mrOk); };
  RegisterHandler("FormCreate", this, &TBaseFormContainer::FormCreate);
  RegisterHandler("FormDestroy", this, &TBaseFormContainer::FormDestroy);
  RegisterHandler("FormResize", this, &TBaseFormContainer::FormResize);
  RegisterHandler("FormShow", this, &TBaseFormContainer::FormShow);
  ReadForm("TBaseFormContainer");
  DisplayPanel = dynamic_cast<TPanel*>(FindComponent("DisplayPanel"));
}

TBaseFormContainer::~TBaseFormContainer() = default;

TBaseInstallForm* TBaseFormContainer::CurrentPage() const {
  if (FNav.Current < 0 || FNav.Current >= static_cast<int>(FPages.size())) return nullptr;
  return FPages[static_cast<size_t>(FNav.Current)];
}

void TBaseFormContainer::FormCreate(TObject*) {
  Font()->SetCharset(0);  // ANSI_CHARSET
  FDontTriggerResize = true;
  SetHeight(395);
  SetWidth(478);
  FDontTriggerResize = false;
}

void TBaseFormContainer::FormDestroy(TObject*) {
  FShownPage = nullptr;
  FPages.clear();
}

void TBaseFormContainer::LeaveCurrentPage() {
  TBaseInstallForm* page = FShownPage;
  FShownPage = nullptr;
  if (page) page->Leave();
}

void TBaseFormContainer::PlacePage(TBaseInstallForm* Page) {
  Page->SetBounds(DisplayPanel->Left(), DisplayPanel->Top(), DisplayPanel->Width(), DisplayPanel->Height());
}

void TBaseFormContainer::FormResize(TObject*) {
  if (FDontTriggerResize || !DisplayPanel) return;
  for (TBaseInstallForm* page : FPages) {
    PlacePage(page);
    page->Repaint();
  }
}

void TBaseFormContainer::FormShow(TObject*) {
  // Every page asking to be passed over leaves the run nothing to show.
  if (!FNav.Start()) SetModalResult(mrOk);
}

LRESULT TBaseFormContainer::WndProc(UINT Msg, WPARAM WParam, LPARAM LParam) {
  if (Msg == WM_CLOSE) {
    // The user asks to leave: the current page says what that means (a
    // Cancel confirmed by the controller on a page that can abort).
    if (TBaseInstallForm* page = CurrentPage())
      page->CloseCommand();
    else if (VerifyCancel())
      SetModalResult(mrAbort);
    return 0;
  }
  return TForm::WndProc(Msg, WParam, LParam);
}

void TBaseFormContainer::Next() { FNav.Next(); }

void TBaseFormContainer::Previous() { FNav.Previous(); }

int TBaseFormContainer::CreateInstanceList() {
  if (!CurrentDM) throw Exception(TSE("The current dialog manager is not defined"));
  FPages.clear();
  for (int i = 0; i < BIFCount(); ++i) {
    TBIFEntry* entry = GetBIFEntry(i);
    TCustomBaseInstallDlg* cmp = entry->DlgCmp;
    if (cmp && (cmp->DialogManager() != CurrentDM || !cmp->IsIncluded())) continue;
    TBaseInstallForm* form = CreateFormOf<TBaseInstallForm>(entry->BIFClassType, this);
    if (!form) continue;
    if (!cmp && form->DM() != CurrentDM) {
      form->Free();
      continue;
    }
    form->SetDC(cmp);
    if (cmp) {
      form->SetContainer(cmp->Container());
      form->SetOrder(cmp->Order());
      cmp->SetDialog(form);
      cmp->AssignDialogProperties();
    }
    PlacePage(form);
    form->Translate();
    form->Show();
    FPages.push_back(form);
  }
  ExchangeSortByOrder(FPages, [](TBaseInstallForm* f) { return f->Order(); });
  return static_cast<int>(FPages.size());
}
