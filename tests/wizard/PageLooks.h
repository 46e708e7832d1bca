// What a person sees of a page, for the look tests of the wizard and of
// this setup: the misfit rule, the page shown now, the button that goes on
// from it and the language page's flags.
//
// The rule measures each text where its pixels fall when drawn in the font
// the control really draws with on the window it is drawn on, placed by the
// control's alignment, inside the control's own frame and margins (a
// button's edges and picture, a check box's box); blanks take room but show
// nothing. It finds a text wider or taller than its room; a label's letters
// running into what stands beside them or nearer than a blank; a disabled
// system button whose letters reach past the width the system measures
// (greyed, they are cut there); an edit's text, from its first shown letter,
// wider than its client area; a numbered text that the translator cut to
// the length it keeps; a face lacking a letter of its text; black letters
// that the window's picture shows grey; a control reaching outside its
// parent; a wizard whose caption is not its page's; two controls answering
// one Alt key.
#pragma once
#include <string>

#include "common/PageRunner.h"
#include "wizard/dlgcmp_TBaseContainer.h"
#include "wizard/ordlg_SelectLanguage.h"

namespace pagelooks {

// The problems of what Whole shows ("Name: why; ..."), "" when none.
std::string Looks(TForm* Whole);

// The page of class F shown now: the wizard's current page, or a form shown
// on its own.
template <class F>
F* ShownPage() {
  using testsupport::PageRunner;
  if (auto* w = PageRunner::ShownForm<TBaseFormContainer>())
    if (auto* p = dynamic_cast<F*>(w->CurrentPage())) return p;
  for (int i = 0; i < Screen->FormCount(); ++i)
    if (auto* f = dynamic_cast<F*>(Screen->Forms(i));
        f && PageRunner::Shown(f) && !(GetWindowLongPtrW(f->Handle(), GWL_STYLE) & WS_CHILD))
      return f;
  return nullptr;
}

// A page inside a wizard is done with its refresh once it is brought to the
// front of its siblings.
bool Settled(TForm* Page);

// The button that goes on: Next, else Finish, else Proceed.
TWinControl* GoOn(TForm* Page);

// Clicks the flag of Language on the language page, as a user does; false
// when the page lists no such language.
bool ClickLanguage(TSelectLanguageForm* Page, TQlntLanguage Language);

}  // namespace pagelooks
