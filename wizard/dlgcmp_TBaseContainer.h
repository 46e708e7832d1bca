// The wizard window: every page of one dialog manager's run lives in it at
// once, stacked as child windows; Back and Next move through them in Order,
// passing over pages that ask to be skipped, Next on the last page closes the
// window with OK and a confirmed Cancel with mrAbort.
#pragma once
#include <functional>
#include <vector>

#include "classlib/ExtCtrls.h"
#include "classlib/Forms.h"
#include "wizard/WizardRules.h"
#include "wizard/dlgcmp_TBaseDlg.h"

class TBaseFormContainer : public TForm {
  QNT_PUBLISHED(TBaseFormContainer, TForm)
public:
  explicit TBaseFormContainer(TComponent* AOwner);
  ~TBaseFormContainer() override;

  // Builds the pages of CurrentDM's run; their number (0: nothing to show).
  int CreateInstanceList();
  virtual void Previous();
  virtual void Next();
  bool IsFirst() const { return FNav.IsFirst(); }
  bool IsLast() const { return FNav.IsLast(); }
  bool ChangeTo(int Number, TChangeToDir Dir) { return FNav.ChangeTo(Number, Dir); }

  // The pages of this run in display order.
  const std::vector<TBaseInstallForm*>& Pages() const { return FPages; }
  int PageIndex() const { return FNav.Current; }
  TBaseInstallForm* CurrentPage() const;

  // The window's close command is the current page's (CloseCommand).
  LRESULT WndProc(UINT Msg, WPARAM WParam, LPARAM LParam) override;
  // Calls Leave on the page shown, once; Back and Next call it when they
  // move away from a page, the dialog manager when the wizard closes.
  void LeaveCurrentPage();

  // The area the pages are placed on.
  TPanel* DisplayPanel = nullptr;

protected:
  void FormCreate(TObject* Sender);
  void FormDestroy(TObject* Sender);
  void FormResize(TObject* Sender);
  void FormShow(TObject* Sender);

private:
  void PlacePage(TBaseInstallForm* Page);

  bool FDontTriggerResize = false;
  std::vector<TBaseInstallForm*> FPages;
  // The page shown last and not left since.
  TBaseInstallForm* FShownPage = nullptr;
  // Its current index is the page shown (the selected tab of a tab control
  // that is never shown: only the count and the index matter).
  TWizardNavigation FNav;
};
