#include "foundation/archive/cmp_TVersion.h"

#include <windows.h>

#include <vector>

#include "classlib/SysUtils.h"
#include "classlib/Units.h"
#include "classlib/WinText.h"

TVersionResource* VersionResource = nullptr;

const TEnumInfo VersionLanguageInfo{
    "TLanguage",
    {"lnArabic", "lnBulgarian", "lnCatalan", "lnTraditionalChinese", "lnCzech", "lnDanish", "lnGerman", "lnGreek",
     "lnUSEnglish", "lnCastilianSpanish", "lnFinnish", "lnFrench", "lnHebrew", "lnHungarian", "lnIcelandic",
     "lnItalian", "lnJapanese", "lnKorean", "lnDutch", "lnNorwegianBokmal", "lnPolish", "lnBrazilianPortuguese",
     "lnRhaetoRomanic", "lnRomanian", "lnRussian", "lnCroatoSerbian", "lnSlovak", "lnAlbanian", "lnSwedish",
     "lnThai", "lnTurkish", "lnUrdu", "lnBahasa", "lnSimplifiedChinese", "lnSwissGerman", "lnUKEnglish",
     "lnMexicanSpanish", "lnBelgianFrench", "lnSwissItalian", "lnBelgianDutch", "lnNorwegianNynorsk",
     "lnPortuguese", "lnSerboCroatian", "lnCanadianFrench", "lnSwissFrench"}};

const TEnumInfo VersionCharacterSetInfo{
    "TCharacterSet",
    {"csASCII", "csJapan", "csKorea", "csTaiwan", "csUnicode", "csLatin2", "csCyrillic", "csMultilingual",
     "csGreek", "csTurkish", "csHebrew", "csArabic"}};

namespace {
// A value shown by the form tools but never set from a form: the next read
// of the block would overwrite it anyway.
TPropInfo Shown(std::string Name, const std::string& (TVersionInfo::*Getter)() const) {
  TPropInfo p;
  p.Name = std::move(Name);
  p.Kind = pkString;
  p.ReadOnly = true;
  p.GetString = [Getter](const TPersistent* o) { return (Prop::detail::Cast<TVersionInfo>(o)->*Getter)(); };
  return p;
}
}  // namespace

QNT_PUBLISH(TVersionInfo,
  Shown("Comment", &TVersionInfo::Comment),
  Shown("CompanyName", &TVersionInfo::CompanyName),
  Shown("FileDescription", &TVersionInfo::FileDescription),
  Shown("FileVersion", &TVersionInfo::FileVersion),
  Shown("InternalName", &TVersionInfo::InternalName),
  Shown("LegalCopyright", &TVersionInfo::LegalCopyright),
  Shown("LegalTradeMarks", &TVersionInfo::LegalTradeMarks),
  Shown("OriginalFileName", &TVersionInfo::OriginalFileName),
  Shown("PrivateBuild", &TVersionInfo::PrivateBuild),
  Shown("ProductName", &TVersionInfo::ProductName),
  Shown("ProductVersion", &TVersionInfo::ProductVersion),
  Shown("SpecialBuild", &TVersionInfo::SpecialBuild),
  Shown("FileOS", &TVersionInfo::FileOS),
  Shown("FileType", &TVersionInfo::FileType),
  Shown("FileSubType", &TVersionInfo::FileSubType));

// FileName has no declared default: it starts as the running program's file,
// which differs from program to program.
QNT_PUBLISH(TVersionResource,
  Prop::String("FileName", &TVersionResource::FileName, &TVersionResource::SetFileName),
  Prop::Enum("Language", &TVersionResource::Language, &TVersionResource::SetLanguage, VersionLanguageInfo, lnUSEnglish),
  Prop::Enum("CharacterSet", &TVersionResource::CharacterSet, &TVersionResource::SetCharacterSet,
             VersionCharacterSetInfo, csMultilingual),
  Prop::Object("VersionInfo", &TVersionResource::VersionInfo));

unsigned LanguageIdentifier(cmp_TVersion::TLanguage Language) {
  static const unsigned tail[] = {0x0804, 0x0807, 0x0809, 0x080A, 0x080C, 0x0810,
                                  0x0813, 0x0814, 0x0816, 0x081A, 0x0C0C, 0x100C};
  int v = static_cast<int>(Language);
  if (v >= lnArabic && v <= lnBahasa) return 0x0401u + static_cast<unsigned>(v);
  if (v >= lnSimplifiedChinese && v <= lnSwissFrench) return tail[v - lnSimplifiedChinese];
  throw Exception("");
}

unsigned CharacterSetCodePage(TCharacterSet CharacterSet) {
  static const unsigned pages[] = {0, 932, 949, 950, 1200, 1250, 1251, 1252, 1253, 1254, 1255, 1256};
  int v = static_cast<int>(CharacterSet);
  if (v < csASCII || v > csArabic) throw Exception("");
  return pages[v];
}

TFileVersionCompareCriteria ConvertToVersionCompareCriteria(TOverwriteType Overwrite) {
  switch (Overwrite) {
    case owNever:
      return vccDestAlwaysNewerIfExists;
    case owVersion:
      return vccVersion;
    case owDate:
      return vccDate;
    case owVersionDate:
      return vccVersionDate;
    case owAlways:
    default:
      return vccSourceAlwaysNewer;
  }
}

void TVersionInfo::Clear() {
  for (std::string* s : {&FComment, &FCompanyName, &FFileDescription, &FFileVersion, &FInternalName,
                         &FLegalCopyright, &FLegalTradeMarks, &FOriginalFileName, &FPrivateBuild, &FProductName,
                         &FProductVersion, &FSpecialBuild, &FFileOS, &FFileType, &FFileSubType})
    s->clear();
}

std::string ProgramFileName() {
  std::vector<wchar_t> buf(MAX_PATH);
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0) return {};
    if (n < buf.size()) return Narrow(buf.data(), n);
    buf.resize(buf.size() * 2);
  }
}

TVersionResource::TVersionResource(TComponent* AOwner)
    : TComponent(AOwner), FFileName(ProgramFileName()), FVersionInfo(new TVersionInfo) {
  ReadVersionInfo();
}

TVersionResource::~TVersionResource() {
  delete FVersionInfo;
  if (VersionResource == this) VersionResource = nullptr;
}

void TVersionResource::SetFileName(const std::string& Value) {
  FFileName = Value;
  ReadVersionInfo();
}

void TVersionResource::SetLanguage(cmp_TVersion::TLanguage Value) {
  FLanguage = Value;
  ReadVersionInfo();
}

void TVersionResource::SetCharacterSet(TCharacterSet Value) {
  FCharacterSet = Value;
  ReadVersionInfo();
}

bool TVersionResource::IsFileNameStored() const { return !SameText(FFileName, ProgramFileName()); }

namespace {

std::string FourParts(DWORD MS, DWORD LS) {
  return std::to_string(HIWORD(MS)) + "." + std::to_string(LOWORD(MS)) + "." + std::to_string(HIWORD(LS)) + "." +
         std::to_string(LOWORD(LS));
}

std::string OSText(DWORD os) {
  switch (os) {
    case VOS_DOS: return "MS-Dos";
    case VOS_OS216: return "16 bit OS/2";
    case VOS_OS232: return "32 bit OS/2";
    case VOS_NT: return "Windows NT";
    case VOS__WINDOWS16: return "Windows 3.0 or later";
    case VOS__PM16: return "16 bit OS/2 Presentation Manager";
    case VOS__PM32: return "32 bit OS/2 Presentation Manager";
    case VOS__WINDOWS32: return "32 bit Windows";
    case VOS_DOS_WINDOWS16: return "Windows 3.0 or later with MS-Dos";
    case VOS_DOS_WINDOWS32: return "32 bit Windows with MS-Dos";
    case VOS_OS216_PM16: return "16 bit OS/2 with Presentation Manager";
    case VOS_OS232_PM32: return "32 bit OS/2 with Presentation Manager";
    case VOS_NT_WINDOWS32: return "Windows NT with 32 bit Windows";
    default: return "Unknown";
  }
}

std::string TypeText(DWORD type) {
  switch (type) {
    case 1: return "Application";
    case 2: return "Dynamic-Link Library";
    case 3: return "Device Driver";
    case 4: return "Font";
    case 5: return "Virtual Device Driver";
    case 7: return "Static-Link Library";
    default: return "Unknown";
  }
}

std::string SubTypeText(DWORD type, DWORD sub) {
  static const char* drivers[] = {"Printer", "Keyboard", "Language", "Display", "Mouse",
                                  "Network", "System",   "Installable", "Sound", "Communications"};
  static const char* fonts[] = {"Raster", "Vector", "TrueType"};
  if (type == 3) return sub >= 1 && sub <= 10 ? drivers[sub - 1] : "Unknown";
  if (type == 4) return sub >= 1 && sub <= 3 ? fonts[sub - 1] : "Unknown";
  return {};
}

}  // namespace

void TVersionResource::ReadVersionInfo() {
  FVersionInfo->Clear();
  // The key is formed first: an unknown language or code page fails the read
  // whatever the file holds.
  std::string key = "\\StringFileInfo\\" + IntToHex(LanguageIdentifier(FLanguage), 4) +
                    IntToHex(CharacterSetCodePage(FCharacterSet), 4) + "\\";
  std::wstring name = Widen(FFileName);
  DWORD dummy = 0;
  DWORD size = GetFileVersionInfoSizeW(name.c_str(), &dummy);
  if (size == 0) return;
  std::vector<unsigned char> block(size);
  if (!GetFileVersionInfoW(name.c_str(), 0, size, block.data())) return;
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT len = 0;
  if (!VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &len) || !fixed ||
      len < sizeof(VS_FIXEDFILEINFO))
    return;
  TVersionInfo& v = *FVersionInfo;
  v.FFileVersion = FourParts(fixed->dwFileVersionMS, fixed->dwFileVersionLS);
  v.FProductVersion = FourParts(fixed->dwProductVersionMS, fixed->dwProductVersionLS);
  v.FFileOS = OSText(fixed->dwFileOS);
  v.FFileType = TypeText(fixed->dwFileType);
  v.FFileSubType = SubTypeText(fixed->dwFileType, fixed->dwFileSubtype);

  struct Field {
    const char* Name;
    std::string TVersionInfo::*Member;
  };
  static const Field fields[] = {
      {"Comment", &TVersionInfo::FComment},
      {"CompanyName", &TVersionInfo::FCompanyName},
      {"FileDescription", &TVersionInfo::FFileDescription},
      {"InternalName", &TVersionInfo::FInternalName},
      {"LegalCopyright", &TVersionInfo::FLegalCopyright},
      {"LegalTradeMarks", &TVersionInfo::FLegalTradeMarks},
      {"OriginalFileName", &TVersionInfo::FOriginalFileName},
      {"PrivateBuild", &TVersionInfo::FPrivateBuild},
      {"ProductName", &TVersionInfo::FProductName},
      {"ProductVersion", &TVersionInfo::FProductVersion},
      {"SpecialBuild", &TVersionInfo::FSpecialBuild},
  };
  for (const Field& f : fields) {
    wchar_t* text = nullptr;
    UINT chars = 0;
    std::wstring sub = Widen(key + f.Name);
    if (VerQueryValueW(block.data(), sub.c_str(), reinterpret_cast<void**>(&text), &chars) && text) {
      // The count may include the terminating zero; the text ends there.
      size_t n = 0;
      while (n < chars && text[n] != 0) ++n;
      v.*f.Member = Narrow(text, n);
    }
  }
}

TVersionCompareResult TVersionResource::FileVersionNewer(const std::string& V1, const std::string& V2) {
  size_t p1 = 0, p2 = 0;
  auto field = [](const std::string& v, size_t& pos) {
    if (pos > v.size()) return std::string();
    size_t dot = v.find('.', pos);
    std::string f = v.substr(pos, dot == std::string::npos ? std::string::npos : dot - pos);
    pos = dot == std::string::npos ? v.size() + 1 : dot + 1;
    return f;
  };
  for (;;) {
    std::string f1 = field(V1, p1), f2 = field(V2, p2);
    if (f1.empty() || f2.empty()) {
      if (f1.empty() && f2.empty()) return vcSame;
      return f2.empty() ? vcNewer1 : vcNewer2;
    }
    // Character codes, unsigned, a proper prefix counting as smaller.
    int c = f1.compare(f2);
    if (c < 0) return vcNewer2;
    if (c > 0) return vcNewer1;
  }
}

TVersionResource* GlobalVersionResource() {
  if (!VersionResource) VersionResource = new TVersionResource(nullptr);
  return VersionResource;
}

std::string ReadFileVersion(const std::string& FileName) {
  TVersionResource* r = GlobalVersionResource();
  r->SetFileName(FileName);
  return r->VersionInfo()->FileVersion();
}

namespace {

// The file's last write as a date-time (local, 2-second steps), or false when
// the file cannot be opened for reading. A date a DOS date cannot hold raises
// the class library's conversion error.
bool FileDate(const std::string& Name, TDateTime& Out) {
  HANDLE h = CreateFileW(Widen(Name).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  FILETIME ft{};
  BOOL ok = GetFileTime(h, nullptr, nullptr, &ft);
  CloseHandle(h);
  int32_t dos = -1;
  if (ok) {
    uint64_t t = (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    if (!FileTimeToLocalDosDateTime(t, dos)) dos = -1;
  }
  Out = FileDateToDateTime(dos);
  return true;
}

TFileVersionCompareResult CompareDates(const TDateTime* Source, const std::string& SourceName,
                                       const std::string& Dest) {
  TDateTime s = 0, d = 0;
  if (Source) {
    s = *Source;
  } else if (!FileDate(SourceName, s)) {
    return vcrError;
  }
  try {
    if (!FileDate(Dest, d)) return vcrError;
  } catch (const EConvertError&) {
    // A destination dated before 1980 (no DOS date holds it) is older than
    // any source.
    return vcrSourceNewer;
  }
  if (s < d) return vcrDestNewer;
  if (s > d) return vcrSourceNewer;
  return vcrSame;
}

TFileVersionCompareResult Decide(const TDateTime* SourceDate, const std::string& SourceName,
                                 const std::string* SourceVersion, const std::string& Dest,
                                 TFileVersionCompareCriteria Criteria) {
  auto byVersion = [&]() {
    std::string sv = SourceVersion ? *SourceVersion : ReadFileVersion(SourceName);
    std::string dv = ReadFileVersion(Dest);
    switch (TVersionResource::FileVersionNewer(sv, dv)) {
      case vcNewer1: return vcrSourceNewer;
      case vcNewer2: return vcrDestNewer;
      default: return vcrSame;
    }
  };
  switch (Criteria) {
    case vccSourceAlwaysNewer:
      return vcrSourceNewer;
    case vccDestAlwaysNewerIfExists:
      return !Trim(Dest).empty() && FileExists(Dest) ? vcrDestNewer : vcrSourceNewer;
    case vccVersion:
      return byVersion();
    case vccDate:
      return CompareDates(SourceDate, SourceName, Dest);
    case vccVersionDate: {
      TFileVersionCompareResult r = byVersion();
      return r == vcrSame ? CompareDates(SourceDate, SourceName, Dest) : r;
    }
  }
  return vcrError;
}

}  // namespace

TFileVersionCompareResult TVersionResource::IsFileNewerByName(const std::string& Source, const std::string& Dest,
                                                              TFileVersionCompareCriteria CompareCriteria) {
  return Decide(nullptr, Source, nullptr, Dest, CompareCriteria);
}

TFileVersionCompareResult TVersionResource::IsFileNewerHaveSource(TDateTime SourceDate,
                                                                  const std::string& SourceVersion,
                                                                  const std::string& Dest,
                                                                  TFileVersionCompareCriteria CompareCriteria) {
  return Decide(&SourceDate, {}, &SourceVersion, Dest, CompareCriteria);
}

namespace {
void InitVersion() { GlobalVersionResource(); }
void FinVersion() {
  delete VersionResource;
  VersionResource = nullptr;
}
TUnitRegistration registration(ulFoundation, "cmp_TVersion", InitVersion, FinVersion);
}  // namespace
