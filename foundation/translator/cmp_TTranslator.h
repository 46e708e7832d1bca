// The translator of wizard texts: per language a list of numbered texts in
// the line format, parsed into entries; a text of one language becomes the
// text with the same number in the wizard language. Also the install errors,
// whose English messages are translated through TSE.
//
// Line format (each line trimmed first; empty lines skipped everywhere):
//   12;Click Next to continue.;anything after a second ';' is ignored
//   * a comment
//   #40;           opens a multi-line text numbered 40, whose lines follow
//   #              closes it
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "classlib/Classes.h"
#include "classlib/Graphics.h"
#include "classlib/TypInfo.h"
#include "foundation/exceptions_Quillant.h"

using TGlobalId = int32_t;

// The ordinals are stored by the install controller: the order is fixed.
enum TQlntLanguage {
  qlChineseSimplified,
  qlCzech,
  qlDanish,
  qlEnglish,
  qlFrench,
  qlGerman,
  qlGreek,
  qlHebrew,
  qlItalian,
  qlJapanese,
  qlKorean,
  qlPortugese,
  qlRussian,
  qlSpanish,
  qlUser,  // the language of the Windows user, resolved at each use
  qlVietnamese,
};
using TQlntLanguageSet = unsigned;  // bit (1 << language)
extern const TEnumInfo QlntLanguageInfo;

class TLanguage;
class TTranslator;
class TControl;

class TLanguageElement : public TObject {
public:
  TLanguageElement(TLanguage* ALanguage, TGlobalId AGLID, int32_t AStrIndex)
      : StrIndex(AStrIndex), FGLID(AGLID), FLanguage(ALanguage) {}
  TGlobalId GLID() const { return FGLID; }
  TLanguage* Language() const { return FLanguage; }
  // Index in the language's lines of the entry's (opening) line.
  int32_t StrIndex;

private:
  TGlobalId FGLID;
  TLanguage* FLanguage;
};

class TLanguageString : public TLanguageElement {
public:
  // A text longer than 255 characters keeps its first 255.
  TLanguageString(TLanguage* ALanguage, TGlobalId AGLID, int32_t AStrIndex, const std::string& AText);
  const std::string& Text() const { return FText; }

private:
  std::string FText;
};

class TLanguageMemo : public TLanguageElement {
public:
  // Keeps a copy of the lines.
  TLanguageMemo(TLanguage* ALanguage, TGlobalId AGLID, int32_t AStrIndex, const TStrings* ALines);
  const TStringList* Lines() const { return &FLines; }

private:
  TStringList FLines;
};

// The raw lines of one language; every edit keeps the parsed entries current.
class TLangFormatStrings : public TStringList {
public:
  TLanguage* Language = nullptr;

  int Add(const std::string& S) override;
  int AddObject(const std::string& S, TObject* AObject) override;
  void AddStrings(const TStrings* Strings) override;
  void Assign(const TPersistent* Source) override;
  void Clear() override;
  // Does not reparse: the line's string entry is dropped and later string
  // entries move up one line; memo entries stay as they are.
  void Delete(int Index) override;
  void Insert(int Index, const std::string& S) override;
  void LoadFromFile(const std::string& FileName) override;
  void LoadFromStream(TStream* Stream) override;
  void Move(int CurIndex, int NewIndex) override;

protected:
  void SetUpdateState(bool Updating) override;

private:
  void Changed();
  void WithoutReparse(const std::function<void()>& Edit, bool SwitchOn = false);
};

class TLanguage : public TPersistent {
  QNT_PUBLISHED(TLanguage, TPersistent)
public:
  TLanguage(TTranslator* ATranslator, TQlntLanguage ALanguageIdent, const std::string& ATextFile,
            const std::string& AResourceName);
  ~TLanguage() override;
  TLanguage(const TLanguage&) = delete;
  TLanguage& operator=(const TLanguage&) = delete;

  TTranslator* Translator() const { return FTranslator; }
  std::string DefaultFlagResource;
  std::string DefaultLanguageFile;
  TFont* Font() const { return FFont; }
  void SetFont(const TFont* Value) { FFont->Assign(Value); }
  bool FontOverride() const { return FFontOverride; }
  void SetFontOverride(bool Value) { FFontOverride = Value; }
  TQlntLanguage LanguageIdent() const { return FLanguageIdent; }
  TLangFormatStrings* Strings() const { return FStrings; }
  void SetStrings(const TStrings* Value) { FStrings->Assign(Value); }
  // While false, edits of Strings do not reparse.
  bool DoUpdate = true;

  int LangStringCount() const { return static_cast<int>(FLangStrings.size()); }
  TLanguageString* LangString(int Index) const { return ListItem(FLangStrings, Index); }
  TLanguageString* operator[](int Index) const { return LangString(Index); }
  int LangMemoCount() const { return static_cast<int>(FLangMemos.size()); }
  TLanguageMemo* LangMemo(int Index) const { return ListItem(FLangMemos, Index); }

  // Reparses Strings into entries (nothing while DoUpdate is false). A bad
  // line leaves the language without entries and raises an Exception that
  // names the zero-based line index.
  void Update();
  // How often the lines were parsed since the language was made.
  int ParseCount() const { return FParseCount; }
  TLanguageString* FindStringByGlobalId(TGlobalId GLID) const;
  TLanguageMemo* FindMemoByGlobalId(TGlobalId GLID) const;
  // Ignores case as the user's locale compares.
  TLanguageString* FindStringByText(const std::string& Str) const;
  // The lines joined with line breaks, compared exactly.
  TLanguageMemo* FindMemoByText(const TStrings* Lines) const;
  std::string GetName() const;

private:
  friend class TLangFormatStrings;
  void ClearEntries();

  TTranslator* FTranslator;
  TFont* FFont;
  bool FFontOverride = false;
  TQlntLanguage FLanguageIdent;
  TLangFormatStrings* FStrings;
  std::vector<TLanguageString*> FLangStrings;
  std::vector<TLanguageMemo*> FLangMemos;
  int FParseCount = 0;
};

class TTranslator : public TComponent {
  QNT_PUBLISHED(TTranslator, TComponent)
public:
  explicit TTranslator(TComponent* AOwner);
  ~TTranslator() override;

  // The fifteen languages in list order (qlChineseSimplified .. qlVietnamese,
  // qlUser left out).
  const std::vector<TLanguage*>& LanguageList() const { return FLanguageList; }
  int LanguageCount() const { return GetLanguageCount(); }
  TLanguage* Language(int Index) const { return GetLanguage(Index); }
  TLanguage* GetLanguage(int Index) const { return ListItem(FLanguageList, Index); }
  int GetLanguageCount() const { return static_cast<int>(FLanguageList.size()); }
  // nullptr when no language has that ident (always for qlUser).
  TLanguage* GetLanguageObject(TQlntLanguage LangIdent) const;
  // The Windows user's language; nullptr when it is not one of ours.
  TLanguage* GetDefaultLanguage() const;
  TLanguage* GetTranslateIntoLanguageObject() const;

  // The wizard language. Setting it fires TranslateLanguageChanged.
  TQlntLanguage TranslateIntoLanguage() const { return FTranslateIntoLanguage; }
  void SetTranslateIntoLanguage(TQlntLanguage ALanguageIdent);
  const TNotifyEvent& TranslateLanguageChanged() const { return FTranslateLanguageChanged; }
  void SetTranslateLanguageChanged(const TNotifyEvent& Value) { FTranslateLanguageChanged = Value; }

  // Text with the same number in the wizard language, looked up by its
  // wording in FromLang; Text itself when anything is missing.
  std::string Translate(TQlntLanguage FromLang, const std::string& Text) const;
  std::string TranslateByGLID(TGlobalId GLID, const std::string& Text) const;
  void TranslateMemo(TQlntLanguage FromLang, const TStrings* SourceStrings, TStrings* DestStrings) const;

  // Controls (Windows only). The text step: AComponent and every component it
  // owns (forms excepted) get their published string properties (Name
  // excepted), memo lines and list items translated from FromLang into the
  // wizard language; GLID controls take their caption by number. Returns the
  // language the texts are now in: the wizard language when it has lines,
  // else FromLang.
  TQlntLanguage TranslateComponent(TQlntLanguage FromLang, TComponent* AComponent);
  // The same into ToLang; the wizard language is put back afterwards, without
  // a change notice either way.
  TQlntLanguage TranslateComponentFromTo(TQlntLanguage FromLang, TQlntLanguage ToLang, TComponent* AComponent);
  // The font step: AControl and all its child controls, depth first, get the
  // wizard language's character set, face and minimum size (or a copy of the
  // language's Font when FontOverride is set). A language without lines
  // stands aside for English unless Force is set. Recurse is not consulted:
  // the children are always done.
  void SetControlFont(TControl* AControl, bool Force, bool Recurse);
  void SetControlFontTo(TQlntLanguage ToLang, TControl* AControl, bool Force, bool Recurse);

  // The published language properties.
  TLanguage* lgChineseSimplified() const { return Lang(qlChineseSimplified); }
  TLanguage* lgCzech() const { return Lang(qlCzech); }
  TLanguage* lgDanish() const { return Lang(qlDanish); }
  TLanguage* lgEnglish() const { return Lang(qlEnglish); }
  TLanguage* lgFrench() const { return Lang(qlFrench); }
  TLanguage* lgGerman() const { return Lang(qlGerman); }
  TLanguage* lgGreek() const { return Lang(qlGreek); }
  TLanguage* lgHebrew() const { return Lang(qlHebrew); }
  TLanguage* lgItalian() const { return Lang(qlItalian); }
  TLanguage* lgKorean() const { return Lang(qlKorean); }
  TLanguage* lgJapanese() const { return Lang(qlJapanese); }
  TLanguage* lgPortugese() const { return Lang(qlPortugese); }
  TLanguage* lgRussian() const { return Lang(qlRussian); }
  TLanguage* lgSpanish() const { return Lang(qlSpanish); }
  TLanguage* lgVietnamese() const { return Lang(qlVietnamese); }

private:
  TLanguage* Lang(TQlntLanguage l) const { return GetLanguageObject(l); }
  std::vector<TLanguage*> FLanguageList;
  TQlntLanguage FTranslateIntoLanguage = qlUser;
  TNotifyEvent FTranslateLanguageChanged;
};

// The first translator created; nullptr when none exists.
extern TTranslator* MTranslator;
// A translator made while the install module is designed; the next translator
// created frees it.
extern TTranslator* OnCreateTranslator;

// Translates an English message text into the current wizard language
// through the first translator; unchanged when there is none or no match.
std::string TSE(const std::string& English);
// TSE, then formatted with Args; a translation whose placeholders do not fit
// falls back to the English format, and to the bare English text when even
// that does not fit.
std::string TSEFormat(const std::string& English, const TVarRecs& Args);

// The font character set of a language; Exception "Unrecognized language"
// for qlUser.
int GetAppropriateCharSet(TQlntLanguage ALanguage);
// The face of a language as Unicode text (UTF-8) and its minimum size in
// points; Exception "Unrecognized language" for one without a face (Hebrew,
// qlUser). The far-eastern faces are stored as the bytes of their code page
// and decoded from it (Windows only).
struct TLanguageFace {
  std::string Name;
  int MinSize;
};
TLanguageFace GetLanguageFace(TQlntLanguage ALanguage);

// Through the first translator (Windows only); each does nothing and returns
// its default (FromLang) when there is none.
void SetControlFont(TControl* AControl, bool Force, bool Recurse);
void SetControlFontTo(TQlntLanguage ToLang, TControl* AControl, bool Force, bool Recurse);
TQlntLanguage TranslateComponent(TQlntLanguage FromLang, TComponent* AComponent);
TQlntLanguage TranslateComponentFromTo(TQlntLanguage FromLang, TQlntLanguage ToLang, TComponent* AComponent);

// The primary language part of a Windows language id (its low 10 bits).
unsigned GetPrimaryId(unsigned LID);
// Windows primary language id to language; Exception "Unrecognized language"
// for any other id.
TQlntLanguage ConvertLIDToLang(unsigned LI);
// Display name; for qlUser that of the Windows user's language, or empty.
std::string LangIdToString(TQlntLanguage ALanguage);
// The user default language id of Windows, asked on every call through
// UserLanguageIdSource (which tests point elsewhere to play another Windows).
unsigned UserDefaultLanguageId();
extern unsigned (*UserLanguageIdSource)();

// Install errors: the English text is translated before it is formatted.
class IException : public ECustomQuillantAbnormal {
public:
  explicit IException(const std::string& Msg);
  // A translated format string whose placeholders do not fit the arguments
  // falls back to the English one, and to the bare English text when even that
  // does not fit, so the error keeps its class and a readable message.
  IException(const std::string& Msg, const TVarRecs& Args);
};

#define QNT_IEXCEPTION(Name, Base)         \
  class Name : public Base {               \
  public:                                  \
    using Base::Base;                      \
  }

QNT_IEXCEPTION(IEInstall, IException);
QNT_IEXCEPTION(IEInstallContainer, IException);
QNT_IEXCEPTION(IEBaseHelperComponent, IException);
QNT_IEXCEPTION(IEFileRelated, IException);
QNT_IEXCEPTION(IEFileContainer, IException);
QNT_IEXCEPTION(IEfcDuplicateFile, IEFileContainer);
QNT_IEXCEPTION(IEObjectRepositoryEntry, IException);
QNT_IEXCEPTION(IEInstallBDE, IException);
QNT_IEXCEPTION(IEbdeCannotFindQuillantPath, IEInstallBDE);
QNT_IEXCEPTION(IEInstallShellLink, IException);
QNT_IEXCEPTION(IEShellLinkGroup, IException);
QNT_IEXCEPTION(IEInstallShellLinkList, IException);
QNT_IEXCEPTION(IECustomInstallFile, IException);
QNT_IEXCEPTION(IENetInstallLocation, IException);
QNT_IEXCEPTION(IEUninstallEXE, IException);
QNT_IEXCEPTION(IECustomInstallFileList, IException);
