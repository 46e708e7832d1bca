#include "foundation/translator/cmp_TTranslateControls.h"

QNT_PUBLISH(TTranslateLabel,
  Prop::Integer("GLID", &TTranslateLabel::GLID, &TTranslateLabel::SetGLID, 0));

QNT_PUBLISH(TTranslateBitBtn,
  Prop::Integer("GLID", &TTranslateBitBtn::GLID, &TTranslateBitBtn::SetGLID, 0));
