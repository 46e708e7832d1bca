// Reading a file's version block, comparing versions field by field, and the
// overwrite decision of extraction, plain copies and the install of files.
#pragma once
#include <string>

#include "classlib/Classes.h"
#include "classlib/DateUtils.h"
#include "classlib/TypInfo.h"
#include "foundation/types_Quillant.h"

// The language part of a string-table key. It lives in its unit's namespace,
// as the translator's class TLanguage has the same name; its values stand
// in the global one.
namespace cmp_TVersion {
enum TLanguage {
  lnArabic, lnBulgarian, lnCatalan, lnTraditionalChinese, lnCzech, lnDanish, lnGerman, lnGreek, lnUSEnglish,
  lnCastilianSpanish, lnFinnish, lnFrench, lnHebrew, lnHungarian, lnIcelandic, lnItalian, lnJapanese, lnKorean,
  lnDutch, lnNorwegianBokmal, lnPolish, lnBrazilianPortuguese, lnRhaetoRomanic, lnRomanian, lnRussian,
  lnCroatoSerbian, lnSlovak, lnAlbanian, lnSwedish, lnThai, lnTurkish, lnUrdu, lnBahasa,
  lnSimplifiedChinese, lnSwissGerman, lnUKEnglish, lnMexicanSpanish, lnBelgianFrench, lnSwissItalian,
  lnBelgianDutch, lnNorwegianNynorsk, lnPortuguese, lnSerboCroatian, lnCanadianFrench, lnSwissFrench
};
}  // namespace cmp_TVersion
using enum cmp_TVersion::TLanguage;

enum TCharacterSet {
  csASCII, csJapan, csKorea, csTaiwan, csUnicode, csLatin2, csCyrillic, csMultilingual, csGreek, csTurkish,
  csHebrew, csArabic
};

extern const TEnumInfo VersionLanguageInfo;
extern const TEnumInfo VersionCharacterSetInfo;

// The language identifier and code page of a string-table key; the base
// exception with an empty message for a value outside the lists.
unsigned LanguageIdentifier(cmp_TVersion::TLanguage Language);
unsigned CharacterSetCodePage(TCharacterSet CharacterSet);

enum TVersionCompareResult { vcSame, vcNewer1, vcNewer2 };
enum TFileVersionCompareCriteria {
  vccSourceAlwaysNewer, vccDestAlwaysNewerIfExists, vccVersion, vccDate, vccVersionDate
};
enum TFileVersionCompareResult { vcrError, vcrSame, vcrSourceNewer, vcrDestNewer };

TFileVersionCompareCriteria ConvertToVersionCompareCriteria(TOverwriteType Overwrite);

// Published for reading: the values come from the file, never from a form.
class TVersionInfo : public TPersistent {
  QNT_PUBLISHED(TVersionInfo, TPersistent)
public:
  const std::string& Comment() const { return FComment; }
  const std::string& CompanyName() const { return FCompanyName; }
  const std::string& FileDescription() const { return FFileDescription; }
  const std::string& FileVersion() const { return FFileVersion; }
  const std::string& InternalName() const { return FInternalName; }
  const std::string& LegalCopyright() const { return FLegalCopyright; }
  const std::string& LegalTradeMarks() const { return FLegalTradeMarks; }
  const std::string& OriginalFileName() const { return FOriginalFileName; }
  const std::string& PrivateBuild() const { return FPrivateBuild; }
  const std::string& ProductName() const { return FProductName; }
  const std::string& ProductVersion() const { return FProductVersion; }
  const std::string& SpecialBuild() const { return FSpecialBuild; }
  const std::string& FileOS() const { return FFileOS; }
  const std::string& FileType() const { return FFileType; }
  const std::string& FileSubType() const { return FFileSubType; }

  void Clear();

private:
  friend class TVersionResource;
  std::string FComment, FCompanyName, FFileDescription, FFileVersion, FInternalName, FLegalCopyright,
      FLegalTradeMarks, FOriginalFileName, FPrivateBuild, FProductName, FProductVersion, FSpecialBuild, FFileOS,
      FFileType, FFileSubType;
};

class TVersionResource : public TComponent {
  QNT_PUBLISHED(TVersionResource, TComponent)
public:
  explicit TVersionResource(TComponent* AOwner);
  ~TVersionResource() override;

  const std::string& FileName() const { return FFileName; }
  void SetFileName(const std::string& Value);
  cmp_TVersion::TLanguage Language() const { return FLanguage; }
  void SetLanguage(cmp_TVersion::TLanguage Value);
  TCharacterSet CharacterSet() const { return FCharacterSet; }
  void SetCharacterSet(TCharacterSet Value);
  TVersionInfo* VersionInfo() const { return FVersionInfo; }
  // FileName is kept with the component only when it names another file than
  // the running program.
  bool IsFileNameStored() const;

  static TVersionCompareResult FileVersionNewer(const std::string& V1, const std::string& V2);
  static TFileVersionCompareResult IsFileNewerByName(const std::string& Source, const std::string& Dest,
                                                     TFileVersionCompareCriteria CompareCriteria);
  static TFileVersionCompareResult IsFileNewerHaveSource(TDateTime SourceDate, const std::string& SourceVersion,
                                                         const std::string& Dest,
                                                         TFileVersionCompareCriteria CompareCriteria);

private:
  void ReadVersionInfo();

  std::string FFileName;
  cmp_TVersion::TLanguage FLanguage = lnUSEnglish;
  TCharacterSet FCharacterSet = csMultilingual;
  TVersionInfo* FVersionInfo;
};

// The running program's own file.
std::string ProgramFileName();

// The shared reader: made at start-up, freed at the end; the comparisons make
// it when it is missing. Callers set FileName right before reading.
extern TVersionResource* VersionResource;
TVersionResource* GlobalVersionResource();

// The version of a file, "" without a version block (through the shared reader).
std::string ReadFileVersion(const std::string& FileName);
