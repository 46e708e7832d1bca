// Arbitrary bytes as a language's lines: parsed, edited and looked up; a bad
// line is an Exception, never a crash, a hang or a leak.
#include <cstddef>
#include <cstdint>
#include <string>

#include "foundation/translator/cmp_TTranslator.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  TTranslator t(nullptr);
  TLanguage* en = t.lgEnglish();
  TLanguage* de = t.lgGerman();
  t.SetTranslateIntoLanguage(qlGerman);
  try {
    en->DoUpdate = false;
    en->Strings()->SetText(text);
    en->DoUpdate = true;
    en->Update();
  } catch (const Exception&) {
  }
  try {
    de->Strings()->Assign(en->Strings());
  } catch (const Exception&) {
  }
  if (en->Strings()->Count() > 0) en->Strings()->Delete(en->Strings()->Count() / 2);
  for (int i = 0; i < en->LangStringCount(); ++i) (void)t.Translate(qlEnglish, en->LangString(i)->Text());
  for (int i = 0; i < en->LangMemoCount(); ++i) {
    TStringList out;
    t.TranslateMemo(qlEnglish, en->LangMemo(i)->Lines(), &out);
  }
  return 0;
}
