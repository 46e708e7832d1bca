// The wizard window: every page of one dialog manager's run lives in it at
// once, stacked as child windows; Back and Next move through them in Order,
// passing over pages that ask to be skipped, Next on the last page closes the
// window with OK and a confirmed Cancel with mrAbort.
#pragma once
#include <functional>
#include <vector>

#include "classlib/ExtCtrls.h"
#include "classlib/Forms.h"
#include "wizard/dlgcmp_TBaseDlg.h"

enum TChangeToDir { cdNext, cdBack };

// Sorts by Order, smaller first, with the wizard's exchange sort: for each
// position, every later element of smaller Order is swapped into it. Not
// stable: elements of equal Order may change their relative order, and which
// way they go is part of how a wizard looks, so no other sort will do.
template <class T, class OrderOf>
void ExchangeSortByOrder(std::vector<T>& Items, OrderOf Order) {
  const size_t n = Items.size();
  for (size_t i = 0; i < n; ++i)
    for (size_t j = i + 1; j < n; ++j)
      if (Order(Items[i]) > Order(Items[j])) std::swap(Items[i], Items[j]);
}

// Movement over pages that may skip, apart from any window: the pages are
// counted and asked whether they skip each time; Show makes one current.
class TWizardNavigation {
public:
  std::function<int()> Count;
  std::function<bool(int)> Skips;
  std::function<void(int)> Show;
  std::function<void()> Finish;  // Next passed the last page

  int Current = -1;

  // Shows page Number, or the nearest page in direction Dir that does not
  // skip; false when none is shown.
  bool ChangeTo(int Number, TChangeToDir Dir);
  void Next();
  void Previous();
  // Every page before the current one skips.
  bool IsFirst() const;
  // The current page is the last one (pages that skip count).
  bool IsLast() const;
  // Opens on the first page that does not skip; false when every page skips.
  bool Start();
};

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

  // The area the pages are placed on.
  TPanel* DisplayPanel = nullptr;

protected:
  void FormCreate(TObject* Sender);
  void FormDestroy(TObject* Sender);
  void FormResize(TObject* Sender);
  void FormShow(TObject* Sender);
  // The window's close command asks as Cancel does, on the current page.
  void FormCloseQuery(TObject* Sender, bool& CanClose);

private:
  void PlacePage(TBaseInstallForm* Page);

  bool FDontTriggerResize = false;
  bool FClosing = false;  // our own close (OK or abort), not the close command
  std::vector<TBaseInstallForm*> FPages;
  // Its current index is the page shown (the selected tab of a tab control
  // that is never shown: only the count and the index matter).
  TWizardNavigation FNav;
};
