// Forms and controls over real windows, answered by the page runner through
// real window messages inside the modal loops.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

#include "classlib/Buttons.h"
#include "classlib/ExtCtrls.h"
#include "classlib/Forms.h"
#include "classlib/StdCtrls.h"
#include "classlib/WinText.h"
#include "common/PageRunner.h"

using testsupport::PageRunner;

namespace {

class TTestDialog : public TForm {
  QNT_PUBLISHED(TTestDialog, TForm)
public:
  explicit TTestDialog(TComponent* AOwner) : TForm(AOwner) {
    RegisterHandler("FormCreate", this, &TTestDialog::FormCreate);
    RegisterHandler("NestClick", this, &TTestDialog::NestClick);
    RegisterHandler("FailClick", this, &TTestDialog::FailClick);
    RegisterHandler("NameEditChange", this, &TTestDialog::NameEditChange);
    ReadForm("TTESTDIALOG");
  }
  template <class T>
  T* Get(const char* Name) const {
    auto* c = dynamic_cast<T*>(FindComponent(Name));
    if (!c) throw Exception(std::string("no ") + Name);
    return c;
  }
  void FormCreate(TObject*) { Created = true; Loaded_ = !HasState(csLoading); }
  void NestClick(TObject*) {
    auto* inner = new TTestDialog(this);
    inner->SetCaption("Inner dialog");
    Inner = inner;
    InnerResult = inner->ShowModal();
    Inner = nullptr;
    inner->Free();
  }
  void FailClick(TObject*) { throw EConvertError("The handler failed"); }
  void NameEditChange(TObject*) { ++Changes; }

  bool Created = false;
  bool Loaded_ = false;
  int Changes = 0;
  TTestDialog* Inner = nullptr;
  TModalResult InnerResult = -1;
};
QNT_PUBLISH(TTestDialog);

// Focus on a named control first (empty: as the form put it).
struct AnswerCase {
  const char* Name;
  const char* Focus;
  std::function<void(TTestDialog*)> Answer;
  TModalResult Expected;
};

TEST(UiForms, ModalAnswersThroughRealMessages) {
  const AnswerCase cases[] = {
      {"Return reaches the default button", "NameEdit", [](TTestDialog*) { PageRunner::Key(VK_RETURN); }, mrOk},
      {"Esc reaches the cancel button", "NameEdit", [](TTestDialog*) { PageRunner::Key(VK_ESCAPE); }, mrCancel},
      {"Return on a focused button clicks it", "CancelButton", [](TTestDialog*) { PageRunner::Key(VK_RETURN); },
       mrCancel},
      {"a click", "", [](TTestDialog* d) { PageRunner::Click(d->Get<TButton>("OkButton")); }, mrOk},
      {"the close command", "", [](TTestDialog* d) { PageRunner::CloseCommand(d); }, mrCancel},
  };
  for (const AnswerCase& c : cases) {
    SCOPED_TRACE(c.Name);
    auto* d = new TTestDialog(Application);
    PageRunner run;
    // Keys go to the window with the focus: wait until the form is active.
    run.Step("shown", [&] { return PageRunner::Shown(d) && GetActiveWindow() == d->Handle(); },
             [&] {
               if (*c.Focus) d->Get<TWinControl>(c.Focus)->SetFocus();
             })
        .Do("answer", [&] { c.Answer(d); });
    EXPECT_EQ(d->ShowModal(), c.Expected);
    EXPECT_TRUE(run.Finished() && run.Errors().empty()) << run.Report();
    EXPECT_FALSE(IsWindowVisible(d->Handle()));
    d->Free();
  }
  EXPECT_FALSE(Application->Terminated());
}

TEST(UiForms, ReadFromTextFormResourceAndLaidOut) {
  auto* d = new TTestDialog(Application);
  EXPECT_TRUE(d->Created);
  EXPECT_TRUE(d->Loaded_) << "OnCreate runs after Loaded";
  EXPECT_EQ(d->Changes, 0) << "reading the text fires no OnChange";
  // Designed by its client size: the outer size known before the window
  // exists (to place it) is the window's.
  const int w = d->Width(), h = d->Height();
  d->HandleNeeded();
  RECT outer;
  GetWindowRect(d->Handle(), &outer);
  EXPECT_EQ(std::vector<long>({w, h}), std::vector<long>({outer.right - outer.left, outer.bottom - outer.top}));
  int cw = d->ClientWidth(), ch = d->ClientHeight();
  EXPECT_EQ(cw, 360);
  EXPECT_EQ(ch, 240);
  auto bounds = [](TControl* c) {
    RECT r = c->BoundsRect();
    return std::vector<long>{r.left, r.top, r.right - r.left, r.bottom - r.top};
  };
  EXPECT_EQ(bounds(d->Get<TPanel>("TopPanel")), (std::vector<long>{0, 0, cw, 40}));
  EXPECT_EQ(bounds(d->Get<TPanel>("ButtonPanel")), (std::vector<long>{0, ch - 41, cw, 41}));
  EXPECT_EQ(bounds(d->Get<TPanel>("ClientPanel")), (std::vector<long>{0, 40, cw, ch - 81}));
  // BorderWidth 8 inside a one-pixel bevel.
  EXPECT_EQ(bounds(d->Get<TPanel>("InnerPanel")), (std::vector<long>{9, ch - 81 - 9 - 30, cw - 18, 30}));
  // Two bevels of the inner panel.
  RECT lr = d->Get<TLabel>("InnerLabel")->BoundsRect();
  EXPECT_EQ(lr.left, 2);
  EXPECT_EQ(lr.top, 2);
  EXPECT_EQ(lr.bottom - lr.top, 26);
  // The windows are where the objects say.
  HWND inner = d->Get<TPanel>("InnerPanel")->Handle();
  RECT wr;
  GetWindowRect(inner, &wr);
  MapWindowPoints(HWND_DESKTOP, d->Get<TPanel>("ClientPanel")->Handle(), reinterpret_cast<POINT*>(&wr), 2);
  EXPECT_EQ(wr.left, 9);
  EXPECT_EQ(wr.bottom - wr.top, 30);
  // Tab order: OK, Cancel, Nest, Fail among the buttons.
  EXPECT_EQ(d->Get<TButton>("OkButton")->TabOrder(), 0);
  EXPECT_EQ(GetWindow(d->Get<TPanel>("ButtonPanel")->Handle(), GW_CHILD), d->Get<TButton>("OkButton")->Handle());
  // Published values reached the windows.
  EXPECT_EQ(SendMessageW(d->Get<TCheckBox>("AgreeBox")->Handle(), BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(d->Get<TEdit>("NameEdit")->Text(), "Quillant");
  EXPECT_TRUE(GetWindowLongPtrW(d->Get<TButton>("OkButton")->Handle(), GWL_STYLE) & BS_DEFPUSHBUTTON);
  d->Free();
}

TEST(UiForms, ModalInsideModal) {
  auto* d = new TTestDialog(Application);
  bool outerDisabled = false;
  PageRunner run;
  run.Step("outer shown", [&] { return PageRunner::Shown(d); },
           [&] { PageRunner::Click(d->Get<TButton>("NestButton")); })
      // Esc goes to the window with the focus, so wait until the inner form
      // has really taken it over from the outer one.
      .Step("inner shown",
            [&] { return d->Inner && PageRunner::Shown(d->Inner) && GetActiveWindow() == d->Inner->Handle(); },
            [&] {
              outerDisabled = !IsWindowEnabled(d->Handle());
              PageRunner::Key(VK_ESCAPE);
            })
      .Step("back in the outer", [&] { return d->InnerResult != -1 && PageRunner::Shown(d); },
            [&] { PageRunner::Click(d->Get<TButton>("OkButton")); });
  EXPECT_EQ(d->ShowModal(), mrOk);
  EXPECT_EQ(d->InnerResult, mrCancel);
  EXPECT_TRUE(outerDisabled) << "the outer form waits while the inner one is up";
  EXPECT_TRUE(run.Finished() && run.Errors().empty()) << run.Report();
  d->Free();
}

TEST(UiForms, TerminateEndsEveryModalLoop) {
  auto* d = new TTestDialog(Application);
  PageRunner run;
  run.Step("outer shown", [&] { return PageRunner::Shown(d); },
           [&] { PageRunner::Click(d->Get<TButton>("NestButton")); })
      .Step("inner shown", [&] { return d->Inner && PageRunner::Shown(d->Inner); },
            [&] { Application->Terminate(); });
  EXPECT_EQ(d->ShowModal(), mrCancel);
  EXPECT_EQ(d->InnerResult, mrCancel);
  EXPECT_TRUE(Application->Terminated());
  EXPECT_TRUE(run.Finished() && run.Errors().empty()) << run.Report();
  // Sticky: a later modal loop ends at once.
  auto* again = new TTestDialog(Application);
  EXPECT_EQ(again->ShowModal(), mrCancel);
  again->Free();
  d->Free();
}

TEST(UiForms, ExceptionInClickHandlerReachesOnExceptionAndTheProgramGoesOn) {
  std::vector<std::string> seen;
  TObject* sender = nullptr;
  Application->OnException = [&](TObject* Sender, Exception* E) {
    sender = Sender;
    seen.push_back(E->Message);
  };
  auto* d = new TTestDialog(Application);
  PageRunner run;
  run.Step("shown", [&] { return PageRunner::Shown(d); },
           [&] { PageRunner::Click(d->Get<TButton>("FailButton")); })
      .Step("handled", [&] { return !seen.empty(); },
            [&] { PageRunner::Click(d->Get<TButton>("OkButton")); });
  EXPECT_EQ(d->ShowModal(), mrOk);
  EXPECT_EQ(seen, std::vector<std::string>{"The handler failed"});
  // The window whose procedure caught it: the button's container.
  EXPECT_EQ(sender, d->Get<TPanel>("ButtonPanel"));
  EXPECT_TRUE(run.Finished() && run.Errors().empty()) << run.Report();
  d->Free();
  Application->OnException = nullptr;
}

TEST(UiForms, WithoutOnExceptionTheMessageIsShownInABox) {
  auto* d = new TTestDialog(Application);
  Application->SetTitle("Quillant tests");
  std::string text;
  PageRunner run;
  run.Step("shown", [&] { return PageRunner::Shown(d); },
           [&] { PageRunner::Click(d->Get<TButton>("FailButton")); })
      .Step("box", [&] { return PageRunner::MessageBoxWindow() != nullptr; },
            [&] {
              HWND box = PageRunner::MessageBoxWindow();
              text = PageRunner::MessageBoxText(box);
              PageRunner::AnswerMessageBox(box, IDOK);
            })
      .Step("box gone", [&] { return !PageRunner::MessageBoxWindow() && PageRunner::Shown(d); },
            [&] { PageRunner::Click(d->Get<TButton>("CancelButton")); });
  EXPECT_EQ(d->ShowModal(), mrCancel);
  EXPECT_EQ(text, "The handler failed.");
  EXPECT_TRUE(run.Finished() && run.Errors().empty()) << run.Report();
  d->Free();
}

// A form as the child window of another: its buttons answer Return and Esc
// when the focus is inside it, and a click closes the outer modal form.
TEST(UiForms, ChildFormInsideAnotherForm) {
  auto* outer = new TTestDialog(Application);
  auto* page = new TForm(outer);
  page->SetParent(outer->Get<TPanel>("ClientPanel"));
  page->SetAlign(alClient);
  page->SetBorderStyle(bsNone);
  auto* pageButton = new TButton(page);
  pageButton->SetParent(page);
  pageButton->SetBounds(10, 10, 90, 25);
  pageButton->SetCaption("Page default");
  pageButton->SetDefault(true);
  pageButton->SetModalResult(mrRetry);
  auto* pageEdit = new TEdit(page);
  pageEdit->SetParent(page);
  pageEdit->SetBounds(10, 50, 120, 21);
  page->Show();
  EXPECT_TRUE(GetWindowLongPtrW(page->Handle(), GWL_STYLE) & WS_CHILD);
  EXPECT_EQ(GetParent(page->Handle()), outer->Get<TPanel>("ClientPanel")->Handle());
  PageRunner run;
  run.Step("shown", [&] { return PageRunner::Shown(outer); },
           [&] {
             pageEdit->SetFocus();
             PageRunner::Key(VK_RETURN);
           });
  EXPECT_EQ(outer->ShowModal(), mrRetry) << "Return reaches the page's default button";
  EXPECT_TRUE(run.Finished() && run.Errors().empty()) << run.Report();
  outer->Free();
}

// A windowed control freed on its own (a panel, an edit, a button, a page
// form inside a panel) leaves its parent's tab order with it: the parent
// keeps no pointer to it that destroying or making its window again, or the
// parent's own end, would follow to freed memory.
TEST(UiForms, AFreedWindowedControlLeavesItsParentsTabOrder) {
  auto* d = new TTestDialog(Application);
  auto* host = new TPanel(d);
  host->SetParent(d);
  d->HandleNeeded();
  const std::function<TWinControl*(TComponent*)> kinds[] = {
      [](TComponent* Owner) -> TWinControl* { return new TPanel(Owner); },
      [](TComponent* Owner) -> TWinControl* { return new TEdit(Owner); },
      [](TComponent* Owner) -> TWinControl* { return new TButton(Owner); },
      [](TComponent* Owner) -> TWinControl* { return new TForm(Owner); },
  };
  for (const auto& make : kinds) {
    TWinControl* first = make(d);
    TWinControl* gone = make(d);
    TWinControl* last = make(d);
    for (TWinControl* c : {first, gone, last}) c->SetParent(host);
    ASSERT_EQ(last->TabOrder(), 2) << gone->ClassName();
    const std::string kind = gone->ClassName();
    gone->Free();
    EXPECT_EQ(host->ControlCount(), 2) << kind;
    EXPECT_EQ(first->TabOrder(), 0) << kind;
    ASSERT_EQ(last->TabOrder(), 1) << kind << ": the freed one still counts in the tab order";
    host->DestroyHandle();
    host->HandleNeeded();
    EXPECT_TRUE(last->HandleAllocated()) << kind;
    first->Free();
    last->Free();
  }
  d->Free();
}

TEST(UiForms, EventsOnChangesMadeInCode) {
  auto* d = new TTestDialog(Application);
  auto* edit = d->Get<TEdit>("NameEdit");
  auto* box = d->Get<TCheckBox>("AgreeBox");
  int clicks = 0;
  box->OnClick = [&](TObject*) { ++clicks; };
  for (bool handles : {false, true}) {
    SCOPED_TRACE(handles ? "with windows" : "before the windows exist");
    if (handles) d->HandleNeeded();
    int before = d->Changes;
    edit->SetText(handles ? "second" : "first");
    EXPECT_EQ(d->Changes, before + 1);
    edit->SetText(edit->Text());
    EXPECT_EQ(d->Changes, before + 1) << "the same text is no change";
    int c = clicks;
    box->SetChecked(!box->Checked());
    EXPECT_EQ(clicks, c + 1);
  }
  EXPECT_EQ(SendMessageW(box->Handle(), BM_GETCHECK, 0, 0), BST_CHECKED);
  d->Free();
}

TEST(UiForms, ParentFontFollowsAndWindowsGetTheFont) {
  auto* d = new TTestDialog(Application);
  d->HandleNeeded();
  auto* ok = d->Get<TButton>("OkButton");
  auto* edit = d->Get<TEdit>("NameEdit");
  edit->Font()->SetName("Courier New");  // its own font from now on
  d->Font()->SetName("Arial");
  d->Font()->SetCharset(238);
  d->Font()->SetSize(12);
  auto requested = [](TWinControl* c) {
    LOGFONTW lf{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(c->Handle(), WM_GETFONT, 0, 0)), sizeof lf, &lf);
    return std::make_pair(Narrow(lf.lfFaceName), static_cast<int>(lf.lfCharSet));
  };
  EXPECT_EQ(requested(ok), std::make_pair(std::string("Arial"), 238));
  EXPECT_TRUE(ok->ParentFont());
  EXPECT_EQ(ok->Font()->Size(), 12);
  EXPECT_EQ(requested(edit).first, "Courier New");
  EXPECT_FALSE(edit->ParentFont());
  d->Free();
}

// Not an assertion on pixels: a picture for people to look at, when asked
// for by QNT_SCREENSHOT (a Unix path).
// While the screen has a cursor of its own, the program's windows keep it
// when the mouse moves over them; without, they show their own.
TEST(UiForms, TheScreenCursorHoldsOverTheWindows) {
  auto* d = new TTestDialog(Application);
  d->Show();
  HWND h = d->Handle();
  struct {
    TCursor screen;
    LPCWSTR shown;
  } rows[] = {{crHourGlass, IDC_WAIT}, {crDefault, IDC_ARROW}};
  for (const auto& r : rows) {
    Screen->SetCursor(r.screen);
    SendMessageW(h, WM_SETCURSOR, reinterpret_cast<WPARAM>(h), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, r.shown)) << r.screen;
  }
  d->Free();
}

TEST(UiForms, Screenshot) {
  const char* shot = std::getenv("QNT_SCREENSHOT");
  if (!shot) GTEST_SKIP() << "QNT_SCREENSHOT not set";
  auto* d = new TTestDialog(Application);
  bool taken = false;
  EXPECT_EQ(PageRunner::ShowModalForScreenshot(d, shot, taken), mrCancel);
  EXPECT_TRUE(taken);
  d->Free();
}

}  // namespace
