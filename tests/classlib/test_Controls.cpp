// The remaining controls, pictures, timers and pointer lists: one form read
// from its text resource, shown modally and answered through real messages.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstdlib>

#include "classlib/Buttons.h"
#include "classlib/ComCtrls.h"
#include "classlib/ExtCtrls.h"
#include "classlib/FormReader.h"
#include "classlib/Forms.h"
#include "classlib/StdCtrls.h"
#include "common/PageRunner.h"

using testsupport::PageRunner;

namespace {

class TControlsDialog : public TForm {
  QNT_PUBLISHED(TControlsDialog, TForm)
public:
  explicit TControlsDialog(TComponent* AOwner) : TForm(AOwner) {
    RegisterHandler("ChoiceClick", this, &TControlsDialog::ChoiceClick);
    RegisterHandler("FoldersClick", this, &TControlsDialog::FoldersClick);
    RegisterHandler("TickerTimer", this, &TControlsDialog::TickerTimer);
    ReadForm("TCONTROLSDIALOG");
    Get<TImage>("Picture")->Picture()->LoadFromResourceName("UITESTPICTURE");
    Get<TBitBtn>("BrowseBtn")->Glyph()->LoadFromResourceName("UITESTPICTURE");
    Get<TBitBtn>("BrowseBtn")->SetNumGlyphs(2);
  }
  template <class T>
  T* Get(const char* Name) const {
    auto* c = dynamic_cast<T*>(FindComponent(Name));
    if (!c) throw Exception(std::string("no ") + Name);
    return c;
  }
  void ChoiceClick(TObject*) { Choices.push_back(Get<TRadioGroup>("Choice")->ItemIndex()); }
  void FoldersClick(TObject*) { Picked = Get<TListBox>("Folders")->ItemIndex(); }
  void TickerTimer(TObject*) { ++Ticks; }

  std::vector<int> Choices;  // ItemIndex at each OnClick
  int Picked = -2;
  int Ticks = 0;
};
QNT_PUBLISH(TControlsDialog);

bool Checked(TWinControl* Button) { return SendMessageW(Button->Handle(), BM_GETCHECK, 0, 0) == BST_CHECKED; }

TEST(UiControls, ReadFromTextFormResource) {
  auto* d = new TControlsDialog(Application);
  d->HandleNeeded();
  EXPECT_EQ(d->BorderIcons(), 1u << biSystemMenu);
  EXPECT_EQ(d->TextHeight(), 14);
  EXPECT_FALSE(GetWindowLongPtrW(d->Handle(), GWL_STYLE) & WS_MAXIMIZEBOX);
  auto* rg = d->Get<TRadioGroup>("Choice");
  EXPECT_EQ(rg->ItemIndex(), 1) << "stated before its items";
  EXPECT_TRUE(d->Choices.empty()) << "reading fires no OnClick";
  EXPECT_EQ(rg->Items()->Count(), 3);
  EXPECT_TRUE(Checked(rg->Buttons(1)));
  EXPECT_FALSE(Checked(rg->Buttons(0)));
  // The buttons sit inside the frame, one under the other.
  EXPECT_GT(rg->Buttons(0)->Top(), 0);
  EXPECT_GT(rg->Buttons(1)->Top(), rg->Buttons(0)->Top());
  // Sorted ignoring case, in the object and in the window.
  auto* lb = d->Get<TListBox>("Folders");
  EXPECT_EQ(lb->Items()->Text(), "alpha\r\nMid\r\nZeta\r\n");
  lb->Items()->Add("beta");
  EXPECT_EQ(lb->Items()->IndexOf("beta"), 1);
  wchar_t text[32] = {};
  SendMessageW(lb->Handle(), LB_GETTEXT, 1, reinterpret_cast<LPARAM>(text));
  EXPECT_EQ(std::wstring(text), L"beta");
  EXPECT_EQ(SendMessageW(lb->Handle(), LB_GETCOUNT, 0, 0), 4);
  auto* memo = d->Get<TMemo>("Notes");
  EXPECT_EQ(memo->Lines()->Count(), 2);
  memo->Lines()->Add("Third");
  EXPECT_EQ(memo->Text(), "First line\r\nSecond line\r\nThird");
  EXPECT_TRUE(GetWindowLongPtrW(memo->Handle(), GWL_STYLE) & ES_MULTILINE);
  auto* pb = d->Get<TProgressBar>("Progress");
  EXPECT_EQ(SendMessageW(pb->Handle(), PBM_GETPOS, 0, 0), 25);
  EXPECT_EQ(d->Get<TGauge>("Gauge")->PercentDone(), 25);
  auto* image = d->Get<TImage>("Picture");
  EXPECT_EQ(image->Picture()->Width(), 32);
  EXPECT_EQ(image->Picture()->Height(), 16);
  // The controls inside the group box are its children.
  EXPECT_EQ(GetParent(d->Get<TEdit>("DirEdit")->Handle()), d->Get<TGroupBox>("Destination")->Handle());
  EXPECT_EQ(GetWindowLongPtrW(d->Get<TBitBtn>("BrowseBtn")->Handle(), GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
  d->Free();
}

TEST(UiControls, ShownModallyAndAnswered) {
  auto* d = new TControlsDialog(Application);
  auto* rg = d->Get<TRadioGroup>("Choice");
  auto* lb = d->Get<TListBox>("Folders");
  PageRunner run;
  run.Step("shown", [&] { return PageRunner::Shown(d); }, [&] { PageRunner::Click(rg->Buttons(2)); })
      .Step("radio clicked", [&] { return rg->ItemIndex() == 2; },
            [&] {
              EXPECT_TRUE(Checked(rg->Buttons(2)));
              EXPECT_FALSE(Checked(rg->Buttons(1)));
              rg->SetItemIndex(0);
              rg->SetItemIndex(0);  // no change, no click
              // A user's pick in the list: the selection and its notice.
              SendMessageW(lb->Handle(), LB_SETCURSEL, 2, 0);
              SendMessageW(GetParent(lb->Handle()), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(lb->Handle()), LBN_SELCHANGE),
                           reinterpret_cast<LPARAM>(lb->Handle()));
            })
      .Step("timer ticks in the modal loop", [&] { return d->Ticks > 0; },
            // A button inside the group box: its notice passes through.
            [&] { PageRunner::Click(d->Get<TBitBtn>("BrowseBtn")); });
  EXPECT_EQ(d->ShowModal(), mrRetry);
  EXPECT_TRUE(run.Finished() && run.Errors().empty()) << run.Report();
  EXPECT_EQ(d->Choices, (std::vector<int>{2, 0})) << "a click and a change in code";
  EXPECT_TRUE(Checked(rg->Buttons(0)));
  EXPECT_EQ(d->Picked, 2);
  d->Free();
}

TEST(UiControls, BitmapsFromResourcesDrawn) {
  TBitmap missing;
  EXPECT_THROW(missing.LoadFromResourceName("NO_SUCH_PICTURE"), EResNotFound);
  EXPECT_TRUE(missing.Empty());
  TPicture picture;
  int changes = 0;
  picture.OnChange = [&](TObject*) { ++changes; };
  TBitmap b;
  b.LoadFromResourceName("UITESTPICTURE");
  picture.Assign(&b);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(picture.Width(), 32);
  EXPECT_EQ(b.TransparentColor(), RGB(128, 128, 0));
  // Onto a white surface: plain, then without the olive background.
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP surface = CreateCompatibleBitmap(screen, 40, 20);
  ReleaseDC(nullptr, screen);
  HGDIOBJ old = SelectObject(dc, surface);
  struct Case {
    const char* Name;
    bool Transparent;
    COLORREF Corner, Middle;
  } cases[] = {{"Draw", false, RGB(128, 128, 0), RGB(255, 0, 0)},
               {"DrawTransparent", true, RGB(255, 255, 255), RGB(255, 0, 0)}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    RECT all{0, 0, 40, 20};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    if (c.Transparent)
      picture.Bitmap()->DrawTransparent(dc, 0, 0, b.TransparentColor());
    else
      picture.Bitmap()->Draw(dc, 0, 0);
    EXPECT_EQ(GetPixel(dc, 31, 0), c.Corner);
    EXPECT_EQ(GetPixel(dc, 16, 8), c.Middle);
    EXPECT_EQ(GetPixel(dc, 35, 8), RGB(255, 255, 255)) << "nothing beyond the picture";
  }
  SelectObject(dc, old);
  DeleteObject(surface);
  DeleteDC(dc);
}

TEST(UiControls, ListsAndRanges) {
  TList list;
  int a = 1, b = 2, c = 3;
  list.Add(&a);
  list.Add(&b);
  list.Add(&c);
  list.Add(&b);
  EXPECT_EQ(list.Remove(&b), 1);
  EXPECT_EQ(list.IndexOf(&b), 2);
  list.Delete(0);
  EXPECT_EQ(list.Items(0), &c);
  EXPECT_EQ(list.Count(), 2);
  EXPECT_THROW(list.Items(2), EListError);
  EXPECT_THROW(list.Delete(-1), EListError);
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  // Values outside the range are clamped, as the class library does.
  TProgressBar bar(nullptr);
  TGauge gauge(nullptr);
  const struct {
    int Min, Max, Set, Expected, Percent;
  } cases[] = {{0, 100, 150, 100, 100}, {0, 100, -5, 0, 0}, {10, 20, 15, 15, 50}, {5, 5, 7, 5, 0}};
  for (const auto& k : cases) {
    SCOPED_TRACE(k.Set);
    bar.SetMin(k.Min);
    bar.SetMax(k.Max);
    bar.SetPosition(k.Set);
    gauge.SetMinValue(k.Min);
    gauge.SetMaxValue(k.Max);
    gauge.SetProgress(k.Set);
    EXPECT_EQ(bar.Position(), k.Expected);
    EXPECT_EQ(gauge.Progress(), k.Expected);
    EXPECT_EQ(gauge.PercentDone(), k.Percent);
  }
}

class TTreeDialog : public TForm {
  QNT_PUBLISHED(TTreeDialog, TForm)
public:
  explicit TTreeDialog(TComponent* AOwner) : TForm(AOwner) {
    RegisterHandler("GroupsClick", this, &TTreeDialog::GroupsClick);
    ReadForm("TTREEDIALOG");
    Tree = dynamic_cast<TTreeView*>(FindComponent("Groups"));
  }
  void GroupsClick(TObject*) { Clicked.push_back(Tree->Selected()); }
  TTreeView* Tree = nullptr;
  std::vector<TTreeNode*> Clicked;  // the selection at each OnClick
};
QNT_PUBLISH(TTreeDialog);

int StateImageOf(TTreeView* Tree, TTreeNode* Node) {
  // The state picture's number, as the window holds it: found through the
  // node's rectangle, since the window's item handles are the view's own.
  RECT r = Tree->NodeRect(Node);
  TVHITTESTINFO hit{};
  hit.pt = {r.left + 2, (r.top + r.bottom) / 2};
  auto item = reinterpret_cast<HTREEITEM>(SendMessageW(Tree->Handle(), TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
  if (!item) return -1;
  return static_cast<int>(SendMessageW(Tree->Handle(), TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item),
                                       TVIS_STATEIMAGEMASK) >> 12);
}

// Nodes made before and after the window, their state pictures from the
// image list the form names after the tree, and a click selecting the node
// before OnClick.
TEST(UiControls, TreeViewNodesStatesAndClicks) {
  auto* d = new TTreeDialog(Application);
  TTreeView* tree = d->Tree;
  ASSERT_NE(tree, nullptr);
  ASSERT_NE(tree->StateImages(), nullptr) << "a reference to a later component";
  EXPECT_EQ(tree->StateImages()->Count(), 2);
  int data = 0;
  TTreeNode* root = tree->Items()->AddChildObject(nullptr, "All", &data);
  root->SetStateIndex(1);
  TTreeNode* a = tree->Items()->AddChild(root, "Alpha");
  a->SetStateIndex(2);
  d->HandleNeeded();
  TTreeNode* b = tree->Items()->AddChild(root, "Beta");
  b->SetStateIndex(1);
  root->Expand(false);
  tree->SetSelected(root);
  EXPECT_EQ(tree->Selected(), root);
  EXPECT_EQ(root->Data(), &data);
  EXPECT_EQ(b->Level(), 1);
  EXPECT_EQ(tree->Items()->Count(), 3);
  TTreeNode* clickAt = b;
  PageRunner run;
  run.Step("shown", [&] { return PageRunner::Shown(d); },
           [&] {
             const struct {
               TTreeNode* Node;
               int State;
             } cases[] = {{root, 1}, {a, 2}, {b, 1}};
             for (const auto& c : cases) EXPECT_EQ(StateImageOf(tree, c.Node), c.State) << c.Node->Text();
             b->SetStateIndex(2);
             EXPECT_EQ(StateImageOf(tree, b), 2) << "changed on a shown tree";
             RECT r = tree->NodeRect(clickAt);
             const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
             POINT screen{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
             ClientToScreen(tree->Handle(), &screen);
             SetCursorPos(screen.x, screen.y);
             PostMessageW(tree->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
             PostMessageW(tree->Handle(), WM_LBUTTONUP, 0, at);
           })
      .Step("clicked", [&] { return !d->Clicked.empty(); }, [&] { d->SetModalResult(mrCancel); });
  d->ShowModal();
  EXPECT_TRUE(run.Finished() && run.Errors().empty()) << run.Report();
  EXPECT_EQ(d->Clicked, std::vector<TTreeNode*>{b});
  tree->Items()->Clear();
  EXPECT_EQ(tree->Selected(), nullptr);
  d->Free();
}

// Not an assertion on pixels: a picture for people to look at, when asked
// for by QNT_SCREENSHOT (a Unix path).
TEST(UiControls, Screenshot) {
  const char* shot = std::getenv("QNT_SCREENSHOT");
  if (!shot) GTEST_SKIP() << "QNT_SCREENSHOT not set";
  auto* d = new TControlsDialog(Application);
  d->SetActiveControl(d->Get<TBitBtn>("BrowseBtn"));
  bool taken = false;
  EXPECT_EQ(PageRunner::ShowModalForScreenshot(d, shot, taken), mrCancel);
  EXPECT_TRUE(taken);
  d->Free();
}

}  // namespace
