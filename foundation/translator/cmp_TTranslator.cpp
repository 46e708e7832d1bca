#include "foundation/translator/cmp_TTranslator.h"

#include "classlib/base/TextBase.h"
#include "classlib/Handles.h"
#include "classlib/WinText.h"

#ifdef _WIN32
#include <windows.h>
#endif

const TEnumInfo QlntLanguageInfo{
    "TQlntLanguage",
    {"qlChineseSimplified", "qlCzech", "qlDanish", "qlEnglish", "qlFrench", "qlGerman", "qlGreek", "qlHebrew",
     "qlItalian", "qlJapanese", "qlKorean", "qlPortugese", "qlRussian", "qlSpanish", "qlUser", "qlVietnamese"}};

TTranslator* MTranslator = nullptr;
TTranslator* OnCreateTranslator = nullptr;

namespace {
struct LanguageRow {
  TQlntLanguage ident;
  const char* file;
  const char* flag;
  const char* name;
};
// List order of the translator's languages.
const LanguageRow Languages[] = {
    {qlChineseSimplified, "qlnxChineseSimplified.txt", "BM_LANG_SIMPCHINESE", "ChineseSimplified"},
    {qlCzech, "qlnxCzech.txt", "BM_LANG_CZECH", "Czech"},
    {qlDanish, "qlnxDanish.txt", "BM_LANG_DANISH", "Danish"},
    {qlEnglish, "qlnxEnglish.txt", "BM_LANG_ENGLISH", "English"},
    {qlFrench, "qlnxFrench.txt", "BM_LANG_FRENCH", "French"},
    {qlGerman, "qlnxGerman.txt", "BM_LANG_GERMAN", "German"},
    {qlGreek, "qlnxGreek.txt", "BM_LANG_GREEK", "Greek"},
    {qlHebrew, "qlnxHebrew.txt", "BM_LANG_HEBREW", "Hebrew"},
    {qlItalian, "qlnxItalian.txt", "BM_LANG_ITALIAN", "Italian"},
    {qlJapanese, "qlnxJapanese.txt", "BM_LANG_JAPANESE", "Japanese"},
    {qlKorean, "qlnxKorean.txt", "BM_LANG_KOREAN", "Korean"},
    {qlPortugese, "qlnxPortugese.txt", "BM_LANG_PORTUGESE", "Portugese"},
    {qlRussian, "qlnxRussian.txt", "BM_LANG_RUSSIAN", "Russian"},
    {qlSpanish, "qlnxSpanish.txt", "BM_LANG_SPANISH", "Spanish"},
    {qlVietnamese, "qlnxVietnamese.txt", "BM_LANG_VIETNAMESE", "Vietnamese"},
};

std::string DisplayName(TQlntLanguage l) {
  for (const LanguageRow& r : Languages)
    if (r.ident == l) return r.name;
  return {};
}

// Trimmed of blanks and control characters at both ends, as the class
// library's Trim does (bytes of multi-byte characters are kept).
std::string TrimLine(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
  return s.substr(b, e - b);
}

// The first 255 characters (UTF-8 sequences are not split; text that is no
// valid UTF-8 is cut by bytes).
std::string Cut255(const std::string& s) { return qbase::CutChars(s, 255); }

// A bad line as its error quotes it: a long one (an author's list can hold
// a megabyte on one line) by its first 80 characters and an ellipsis.
std::string Quoted(const std::string& Line) {
  std::string cut = qbase::CutChars(Line, 80);
  return cut.size() < Line.size() ? cut + "\xE2\x80\xA6" : Line;
}

bool ReadGLID(const std::string& s, TGlobalId& out) {
  long long v;
  if (!TryStrToInt(s, v) || v < INT32_MIN || v > INT32_MAX) return false;
  out = static_cast<TGlobalId>(v);
  return true;
}

bool SameTextLocale(const std::string& a, const std::string& b) {
#ifdef _WIN32
  std::wstring wa = Widen(a), wb = Widen(b);
  return CompareStringW(0, NORM_IGNORECASE, wa.c_str(), static_cast<int>(wa.size()), wb.c_str(),
                        static_cast<int>(wb.size())) == CSTR_EQUAL;
#else
  return SameText(a, b);
#endif
}

std::string Joined(const TStrings* l) {
  std::string r;
  for (int i = 0; i < l->Count(); ++i) {
    if (i) r += "\r\n";
    r += l->Get(i);
  }
  return r;
}
}  // namespace

// ------------------------------------------------------------------ entries

TLanguageString::TLanguageString(TLanguage* ALanguage, TGlobalId AGLID, int32_t AStrIndex, const std::string& AText)
    : TLanguageElement(ALanguage, AGLID, AStrIndex), FText(Cut255(AText)) {}

TLanguageMemo::TLanguageMemo(TLanguage* ALanguage, TGlobalId AGLID, int32_t AStrIndex, const TStrings* ALines)
    : TLanguageElement(ALanguage, AGLID, AStrIndex) {
  if (ALines) FLines.AddStrings(ALines);
}

// ------------------------------------------------------------ line list

// Within BeginUpdate and EndUpdate (the module's streaming adds the lines
// one by one) the lines are parsed once, at the end.
void TLangFormatStrings::Changed() {
  if (Language && Language->DoUpdate && UpdateCount() == 0) Language->Update();
}

void TLangFormatStrings::SetUpdateState(bool Updating) {
  if (!Updating) Changed();
}

int TLangFormatStrings::Add(const std::string& S) {
  int i = TStringList::AddObject(S, nullptr);
  Changed();
  return i;
}

int TLangFormatStrings::AddObject(const std::string& S, TObject* AObject) {
  int i = TStringList::AddObject(S, AObject);
  Changed();
  return i;
}

// Runs Edit with the per-line reparse switched off, then reparses once.
// DoUpdate afterwards is its earlier value, or True when SwitchOn is set.
void TLangFormatStrings::WithoutReparse(const std::function<void()>& Edit, bool SwitchOn) {
  bool after = SwitchOn || (Language && Language->DoUpdate);
  if (Language) Language->DoUpdate = false;
  {
    TScopeGuard restore([&] {
      if (Language) Language->DoUpdate = after;
    });
    Edit();
  }
  Changed();
}

// The lines are added without reparsing in between, so a bad line does not
// stop the copy halfway; the language is reparsed once at the end.
void TLangFormatStrings::AddStrings(const TStrings* Strings) {
  WithoutReparse([&] { TStringList::AddStrings(Strings); });
}

// Assign and LoadFromFile leave DoUpdate switched on, whatever it was: the
// copy or load is parsed once, also after a failure.
void TLangFormatStrings::Assign(const TPersistent* Source) {
  WithoutReparse([&] { TStringList::Assign(Source); }, true);
}

void TLangFormatStrings::Clear() {
  TStringList::Clear();
  Changed();
}

// The deleted line's own string entry goes with it (it would otherwise keep
// translating a text that is no longer there); later string entries move up.
void TLangFormatStrings::Delete(int Index) {
  TStringList::Delete(Index);
  if (!Language) return;
  auto& strings = Language->FLangStrings;
  for (size_t i = 0; i < strings.size();) {
    if (strings[i]->StrIndex == Index) {
      delete strings[i];
      strings.erase(strings.begin() + static_cast<std::ptrdiff_t>(i));
      continue;
    }
    if (strings[i]->StrIndex > Index) --strings[i]->StrIndex;
    ++i;
  }
}

void TLangFormatStrings::Insert(int Index, const std::string& S) {
  TStringList::Insert(Index, S);
  Changed();
}

void TLangFormatStrings::LoadFromFile(const std::string& FileName) {
  WithoutReparse([&] { TStringList::LoadFromFile(FileName); }, true);
}

// Loaded whole before the one reparse, so a bad line leaves every line of the
// stream in the list.
void TLangFormatStrings::LoadFromStream(TStream* Stream) {
  WithoutReparse([&] { TStringList::LoadFromStream(Stream); });
}

// The line moves without passing through Delete, so its string entry stays
// and moves along with it (what a reparse would give, also while DoUpdate is
// off).
void TLangFormatStrings::Move(int CurIndex, int NewIndex) {
  if (CurIndex != NewIndex) {
    std::string s = Get(CurIndex);
    TObject* o = Objects(CurIndex);
    if (NewIndex < 0 || NewIndex >= Count())
      throw EStringListError(Format("List index out of bounds (%d)", {NewIndex}));
    TStringList::Delete(CurIndex);
    TStringList::InsertObject(NewIndex, s, o);
    if (Language) {
      for (TLanguageString* e : Language->FLangStrings) {
        if (e->StrIndex == CurIndex)
          e->StrIndex = NewIndex;
        else if (CurIndex < NewIndex && e->StrIndex > CurIndex && e->StrIndex <= NewIndex)
          --e->StrIndex;
        else if (CurIndex > NewIndex && e->StrIndex >= NewIndex && e->StrIndex < CurIndex)
          ++e->StrIndex;
      }
    }
  }
  Changed();
}

// ------------------------------------------------------------------ language

QNT_PUBLISH(TLanguage,
  Prop::Object("Font", &TLanguage::Font),
  Prop::Boolean("FontOverride", &TLanguage::FontOverride, &TLanguage::SetFontOverride, false),
  Prop::EnumReadOnly("LanguageIdent", &TLanguage::LanguageIdent, QlntLanguageInfo),
  Prop::Strings("Strings", &TLanguage::Strings));

TLanguage::TLanguage(TTranslator* ATranslator, TQlntLanguage ALanguageIdent, const std::string& ATextFile,
                     const std::string& AResourceName)
    : DefaultFlagResource(AResourceName),
      DefaultLanguageFile(ATextFile),
      FTranslator(ATranslator),
      FFont(new TFont),
      FLanguageIdent(ALanguageIdent),
      FStrings(new TLangFormatStrings) {
  FStrings->Language = this;
}

TLanguage::~TLanguage() {
  delete FFont;
  ClearEntries();
  FStrings->Language = nullptr;
  delete FStrings;
}

void TLanguage::ClearEntries() {
  for (TLanguageString* s : FLangStrings) delete s;
  FLangStrings.clear();
  for (TLanguageMemo* m : FLangMemos) delete m;
  FLangMemos.clear();
}

void TLanguage::Update() {
  if (!DoUpdate) return;
  ++FParseCount;
  ClearEntries();
  bool inMemo = false;
  TGlobalId memoGLID = 0;
  int32_t memoIndex = 0;
  TStringList gathered;
  auto fail = [&](const std::string& fmt, const TVarRecs& args) {
    ClearEntries();
    throw Exception(fmt, args);
  };
  const char* const badFormat = "The %d'th string (%s) does not have the proper format of GLID;Text";
  const char* const badNumber = "The %d'th string (%s) does not have the proper format of GLID;Text or .GLID;";
  int count = FStrings->Count();
  for (int i = 0; i < count; ++i) {
    std::string line = TrimLine(FStrings->Get(i));
    if (line.empty()) continue;
    if (line == "#") {
      if (!inMemo) fail("Found the end of memo marker # at line %d. Was not in a memo however", {i});
      FLangMemos.push_back(new TLanguageMemo(this, memoGLID, memoIndex, &gathered));
      inMemo = false;
      continue;
    }
    if (line[0] == '*') continue;
    if (inMemo) {
      gathered.Add(line);
      continue;
    }
    size_t semi = line.find(';');
    std::string number = line.substr(0, semi);
    if (line[0] == '#') number.erase(0, 1);
    if (number.empty()) fail(badFormat, {i, Quoted(line)});
    TGlobalId glid;
    if (!ReadGLID(number, glid)) fail(badNumber, {i, Quoted(line)});
    if (line[0] == '#') {
      gathered.Clear();
      memoGLID = glid;
      memoIndex = i;
      inMemo = true;
      continue;
    }
    std::string text;
    if (semi != std::string::npos) {
      size_t second = line.find(';', semi + 1);
      text = line.substr(semi + 1, second == std::string::npos ? std::string::npos : second - semi - 1);
    }
    if (TrimLine(text).empty()) fail(badFormat, {i, Quoted(line)});
    FLangStrings.push_back(new TLanguageString(this, glid, i, text));
  }
  // A multi-line text still open at the end is dropped.
}

TLanguageString* TLanguage::FindStringByGlobalId(TGlobalId GLID) const {
  for (TLanguageString* s : FLangStrings)
    if (s->GLID() == GLID) return s;
  return nullptr;
}

TLanguageMemo* TLanguage::FindMemoByGlobalId(TGlobalId GLID) const {
  for (TLanguageMemo* m : FLangMemos)
    if (m->GLID() == GLID) return m;
  return nullptr;
}

TLanguageString* TLanguage::FindStringByText(const std::string& Str) const {
  for (TLanguageString* s : FLangStrings)
    if (SameTextLocale(s->Text(), Str)) return s;
  return nullptr;
}

TLanguageMemo* TLanguage::FindMemoByText(const TStrings* Lines) const {
  if (!Lines) return nullptr;
  std::string want = Joined(Lines);
  for (TLanguageMemo* m : FLangMemos)
    if (Joined(m->Lines()) == want) return m;
  return nullptr;
}

std::string TLanguage::GetName() const { return DisplayName(FLanguageIdent); }

// ---------------------------------------------------------------- translator

QNT_PUBLISH(TTranslator,
  Prop::Object("lgChineseSimplified", &TTranslator::lgChineseSimplified),
  Prop::Object("lgCzech", &TTranslator::lgCzech),
  Prop::Object("lgDanish", &TTranslator::lgDanish),
  Prop::Object("lgEnglish", &TTranslator::lgEnglish),
  Prop::Object("lgFrench", &TTranslator::lgFrench),
  Prop::Object("lgGerman", &TTranslator::lgGerman),
  Prop::Object("lgGreek", &TTranslator::lgGreek),
  Prop::Object("lgHebrew", &TTranslator::lgHebrew),
  Prop::Object("lgItalian", &TTranslator::lgItalian),
  Prop::Object("lgKorean", &TTranslator::lgKorean),
  Prop::Object("lgJapanese", &TTranslator::lgJapanese),
  Prop::Object("lgPortugese", &TTranslator::lgPortugese),
  Prop::Object("lgRussian", &TTranslator::lgRussian),
  Prop::Object("lgSpanish", &TTranslator::lgSpanish),
  Prop::Object("lgVietnamese", &TTranslator::lgVietnamese),
  Prop::Enum("TranslateIntoLanguage", &TTranslator::TranslateIntoLanguage, &TTranslator::SetTranslateIntoLanguage,
             QlntLanguageInfo, qlUser));

TTranslator::TTranslator(TComponent* AOwner) : TComponent(AOwner) {
  if (OnCreateTranslator) {
    TTranslator* old = OnCreateTranslator;
    OnCreateTranslator = nullptr;
    delete old;
  }
  for (const LanguageRow& r : Languages) FLanguageList.push_back(new TLanguage(this, r.ident, r.file, r.flag));
  FTranslateIntoLanguage = qlUser;
  if (!MTranslator) MTranslator = this;
}

TTranslator::~TTranslator() {
  for (TLanguage* l : FLanguageList) delete l;
  FLanguageList.clear();
  if (MTranslator == this) MTranslator = nullptr;
  if (OnCreateTranslator == this) OnCreateTranslator = nullptr;
}

TLanguage* TTranslator::GetLanguageObject(TQlntLanguage LangIdent) const {
  for (TLanguage* l : FLanguageList)
    if (l->LanguageIdent() == LangIdent) return l;
  return nullptr;
}

TLanguage* TTranslator::GetDefaultLanguage() const {
  TQlntLanguage l;
  try {
    l = ConvertLIDToLang(GetPrimaryId(UserDefaultLanguageId()));
  } catch (const Exception&) {
    return nullptr;
  }
  return GetLanguageObject(l);
}

TLanguage* TTranslator::GetTranslateIntoLanguageObject() const {
  if (FTranslateIntoLanguage == qlUser) return GetDefaultLanguage();
  return GetLanguageObject(FTranslateIntoLanguage);
}

void TTranslator::SetTranslateIntoLanguage(TQlntLanguage ALanguageIdent) {
  FTranslateIntoLanguage = ALanguageIdent;
  if (FTranslateLanguageChanged) FTranslateLanguageChanged(this);
}

std::string TTranslator::Translate(TQlntLanguage FromLang, const std::string& Text) const {
  TLanguage* source = FromLang == qlUser ? GetDefaultLanguage() : GetLanguageObject(FromLang);
  if (!source) return Text;
  TLanguageString* entry = source->FindStringByText(Text);
  if (!entry) return Text;
  return TranslateByGLID(entry->GLID(), Text);
}

std::string TTranslator::TranslateByGLID(TGlobalId GLID, const std::string& Text) const {
  TLanguage* target = GetTranslateIntoLanguageObject();
  if (!target) return Text;
  TLanguageString* found = target->FindStringByGlobalId(GLID);
  return found ? found->Text() : Text;
}

void TTranslator::TranslateMemo(TQlntLanguage FromLang, const TStrings* SourceStrings, TStrings* DestStrings) const {
  if (!DestStrings) return;
  if (!SourceStrings)
    DestStrings->Clear();
  else if (SourceStrings != DestStrings)
    DestStrings->Assign(SourceStrings);
  TLanguage* source = FromLang == qlUser ? GetDefaultLanguage() : GetLanguageObject(FromLang);
  if (!source) return;
  TLanguageMemo* entry = source->FindMemoByText(DestStrings);
  if (!entry) return;
  TLanguage* target = GetTranslateIntoLanguageObject();
  if (!target) return;
  TLanguageMemo* found = target->FindMemoByGlobalId(entry->GLID());
  if (found) DestStrings->Assign(found->Lines());
}

// ------------------------------------------------------------------ routines

std::string TSE(const std::string& English) {
  return MTranslator ? MTranslator->Translate(qlEnglish, English) : English;
}

int GetAppropriateCharSet(TQlntLanguage ALanguage) {
  switch (ALanguage) {
    case qlChineseSimplified: return 134;  // GB2312_CHARSET
    case qlCzech:
    case qlGerman:
    case qlPortugese: return 238;  // EASTEUROPE_CHARSET
    case qlDanish:
    case qlEnglish:
    case qlFrench:
    case qlItalian:
    case qlSpanish: return 0;  // ANSI_CHARSET
    case qlGreek: return 161;  // GREEK_CHARSET: the texts are in Greek letters
    case qlHebrew: return 177;
    case qlJapanese: return 128;  // SHIFTJIS_CHARSET
    case qlKorean: return 129;  // HANGEUL_CHARSET
    case qlRussian: return 204;
    case qlVietnamese: return 163;
    case qlUser: break;
  }
  throw Exception("Unrecognized language");
}

unsigned GetPrimaryId(unsigned LID) { return LID & 0x3FF; }

TQlntLanguage ConvertLIDToLang(unsigned LI) {
  switch (LI) {
    case 0x04: return qlChineseSimplified;
    case 0x05: return qlCzech;
    case 0x06: return qlDanish;
    case 0x07: return qlGerman;
    case 0x08: return qlGreek;
    case 0x09: return qlEnglish;
    case 0x0A: return qlSpanish;
    case 0x0C: return qlFrench;
    case 0x0D: return qlHebrew;
    case 0x10: return qlItalian;
    case 0x11: return qlJapanese;
    case 0x12: return qlKorean;
    case 0x19: return qlRussian;
    case 0x2A: return qlVietnamese;
    default: throw Exception("Unrecognized language");
  }
}

std::string LangIdToString(TQlntLanguage ALanguage) {
  if (ALanguage != qlUser) return DisplayName(ALanguage);
  try {
    return DisplayName(ConvertLIDToLang(GetPrimaryId(UserDefaultLanguageId())));
  } catch (const Exception&) {
    return {};
  }
}

namespace {
unsigned SystemUserLanguageId() {
#ifdef _WIN32
  return GetUserDefaultLangID();
#else
  return 0;  // no system language here: nothing is mapped
#endif
}
}  // namespace

unsigned (*UserLanguageIdSource)() = SystemUserLanguageId;

unsigned UserDefaultLanguageId() { return UserLanguageIdSource ? UserLanguageIdSource() : SystemUserLanguageId(); }

// ---------------------------------------------------------------- exceptions

IException::IException(const std::string& Msg) : ECustomQuillantAbnormal(TSE(Msg)) {}

std::string TSEFormat(const std::string& Msg, const TVarRecs& Args) {
  try {
    return Format(TSE(Msg), Args);
  } catch (const EConvertError&) {
  }
  try {
    return Format(Msg, Args);
  } catch (const EConvertError&) {
  }
  return Msg;
}

IException::IException(const std::string& Msg, const TVarRecs& Args) : ECustomQuillantAbnormal(TSEFormat(Msg, Args)) {}
