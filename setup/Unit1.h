// The setup program's main form: empty, borderless and off the screen. It is
// the first form created, so it becomes the application's main form, and its
// first activation starts the install (the wizard's pages are forms of their
// own).
#pragma once
#include "classlib/Forms.h"

class TForm1 : public TForm {
  QNT_PUBLISHED(TForm1, TForm)
public:
  explicit TForm1(TComponent* AOwner);
};
