// What a person sees of a page, for the look tests of the wizard and of
// this setup: the misfit rule (a text wider or taller than its control or
// running into another, a control reaching outside its parent, two controls
// answering one Alt key), the page shown now and the button that goes on
// from it.
#pragma once
#include <string>

#include "common/PageRunner.h"
#include "wizard/dlgcmp_TBaseContainer.h"

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

}  // namespace pagelooks
