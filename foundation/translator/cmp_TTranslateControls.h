// The two controls that carry the number of their text (GLID): a label and a
// bitmap button. They do nothing of their own; the translator reads GLID.
//   GLID > 0   the caption is the text of that number in the target language
//   GLID = 0   the caption is looked up by its wording, like any control's
//   GLID < 0   the caption stays as it is
//
// Windows only (classlib_ui).
#pragma once
#include <cstdint>

#include "classlib/Buttons.h"
#include "classlib/StdCtrls.h"
#include "foundation/translator/cmp_TTranslator.h"

class TTranslateLabel : public TLabel {
  QNT_PUBLISHED(TTranslateLabel, TLabel)
public:
  using TLabel::TLabel;
  TGlobalId GLID() const { return FGLID; }
  void SetGLID(TGlobalId Value) { FGLID = Value; }

private:
  TGlobalId FGLID = 0;
};

class TTranslateBitBtn : public TBitBtn {
  QNT_PUBLISHED(TTranslateBitBtn, TBitBtn)
public:
  using TBitBtn::TBitBtn;
  TGlobalId GLID() const { return FGLID; }
  void SetGLID(TGlobalId Value) { FGLID = Value; }

private:
  TGlobalId FGLID = 0;
};
