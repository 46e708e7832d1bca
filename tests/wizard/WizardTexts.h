// The wizard's texts in English, German and Japanese for the page tests, in
// the translator's line format; and a translator that carries them.
#pragma once
#include "foundation/translator/cmp_TTranslator.h"

extern const char* const EnglishLines;
extern const char* const GermanLines;
extern const char* const JapaneseLines;

// Fills English, German and Japanese (and a one-line Russian that is not
// listed); the wizard language is English.
void FillWizardTexts(TTranslator* T);
