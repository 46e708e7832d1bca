// The version reader on real files (Wine's system libraries and our own test
// libraries with version blocks) and the overwrite decision.
#include <gtest/gtest.h>
#include <windows.h>

#include "classlib/DateUtils.h"
#include "classlib/SysUtils.h"
#include "classlib/WinText.h"
#include "common/TestSupport.h"
#include "foundation/archive/cmp_TVersion.h"
#include "foundation/routines/routines_API.h"

using namespace testsupport;

namespace {

std::string Lib(const std::string& name) { return BinDir() + "\\" + name + ".dll"; }

void SetDate(const std::string& path, int y, int mo, int d, int h) {
  SYSTEMTIME st{};
  st.wYear = static_cast<WORD>(y);
  st.wMonth = static_cast<WORD>(mo);
  st.wDay = static_cast<WORD>(d);
  st.wHour = static_cast<WORD>(h);
  FILETIME local, utc;
  SystemTimeToFileTime(&st, &local);
  LocalFileTimeToFileTime(&local, &utc);
  HANDLE f = CreateFileW(Widen(path).c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(f, INVALID_HANDLE_VALUE);
  SetFileTime(f, nullptr, nullptr, &utc);
  CloseHandle(f);
}

std::string Copy(const std::string& from, const std::string& dir, const std::string& name) {
  std::string to = dir + "\\" + name;
  CopyFileW(Widen(from).c_str(), Widen(to).c_str(), FALSE);
  return to;
}

}  // namespace

TEST(VersionCompare, FieldsCompareAsTextAndLongerIsNewer) {
  using V = TVersionResource;
  EXPECT_EQ(V::FileVersionNewer("1.10.0.0", "1.9.0.0"), vcNewer2);
  EXPECT_EQ(V::FileVersionNewer("2.0", "2.0.0.0"), vcNewer2);
  EXPECT_EQ(V::FileVersionNewer("2.0.0.0", "2.0"), vcNewer1);
  EXPECT_EQ(V::FileVersionNewer("", "1.0.0.0"), vcNewer2);
  EXPECT_EQ(V::FileVersionNewer("1.0.0.0", ""), vcNewer1);
  EXPECT_EQ(V::FileVersionNewer("", ""), vcSame);
  EXPECT_EQ(V::FileVersionNewer("4.0.950.1", "4.0.950.1"), vcSame);
  EXPECT_EQ(V::FileVersionNewer("1", "10"), vcNewer2);
  EXPECT_EQ(V::FileVersionNewer("2", "10"), vcNewer1);
  // An empty field ends the comparison there.
  EXPECT_EQ(V::FileVersionNewer("1..9", "1..3"), vcSame);
}

TEST(VersionReader, ReadsFixedAndStringInformation) {
  TVersionResource r(nullptr);
  EXPECT_FALSE(r.IsFileNameStored());
  r.SetFileName(Lib("qnt_ver_1_9"));
  EXPECT_TRUE(r.IsFileNameStored());
  const TVersionInfo& v = *r.VersionInfo();
  EXPECT_EQ(v.FileVersion(), "1.9.0.0");
  EXPECT_EQ(v.ProductVersion(), "7.6 beta");  // the string replaces the fixed one
  EXPECT_EQ(v.CompanyName(), "Quillant Test Works");
  EXPECT_EQ(v.Comment(), "made for the tests");
  EXPECT_EQ(v.InternalName(), "qnt_versioned");
  EXPECT_EQ(v.LegalCopyright(), "");
  EXPECT_EQ(v.FileOS(), "Windows NT with 32 bit Windows");
  EXPECT_EQ(v.FileType(), "Dynamic-Link Library");
  EXPECT_EQ(v.FileSubType(), "");
  // Another string table: only what it holds.
  r.SetLanguage(lnGerman);
  EXPECT_EQ(v.CompanyName(), "Quillant Testwerke");
  EXPECT_EQ(v.ProductVersion(), "7.6.5.4");
  EXPECT_EQ(v.FileVersion(), "1.9.0.0");
  r.SetLanguage(lnUSEnglish);
  r.SetCharacterSet(csUnicode);
  EXPECT_EQ(v.CompanyName(), "");

  r.SetCharacterSet(csMultilingual);
  r.SetFileName(Lib("qnt_ver_drv"));
  EXPECT_EQ(v.FileType(), "Device Driver");
  EXPECT_EQ(v.FileSubType(), "Display");
  r.SetFileName(Lib("qnt_ver_max"));
  EXPECT_EQ(v.FileVersion(), "65535.65535.65535.65535");
}

TEST(VersionReader, FilesWithoutBlockAndSystemLibraries) {
  TVersionResource r(nullptr);
  r.SetFileName(Lib("qnt_ver_none"));
  EXPECT_EQ(r.VersionInfo()->FileVersion(), "");
  EXPECT_EQ(r.VersionInfo()->FileType(), "");
  r.SetFileName(BinDir() + "\\no such file.dll");
  EXPECT_EQ(r.VersionInfo()->FileVersion(), "");
  // Wine's own libraries carry real version blocks.
  for (const char* name : {"kernel32.dll", "comctl32.dll", "shell32.dll"}) {
    r.SetFileName(SystemDir + "\\" + name);
    std::string fv = r.VersionInfo()->FileVersion();
    int dots = 0;
    for (char c : fv) dots += c == '.';
    EXPECT_EQ(dots, 3) << name << " " << fv;
    EXPECT_EQ(r.VersionInfo()->FileType(), "Dynamic-Link Library") << name;
  }
  r.SetFileName(SystemDir + "\\msiexec.exe");
  EXPECT_EQ(r.VersionInfo()->FileType(), "Application");
  EXPECT_FALSE(r.VersionInfo()->FileVersion().empty());
}

TEST(VersionReader, OutOfRangeKeysRaiseTheBaseException) {
  TVersionResource r(nullptr);
  try {
    r.SetLanguage(static_cast<cmp_TVersion::TLanguage>(45));
    FAIL();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message, "");
  }
  EXPECT_THROW(r.SetCharacterSet(static_cast<TCharacterSet>(-1)), Exception);
  EXPECT_EQ(LanguageIdentifier(lnArabic), 0x0401u);
  EXPECT_EQ(LanguageIdentifier(lnBahasa), 0x0421u);
  EXPECT_EQ(LanguageIdentifier(lnSwissFrench), 0x100Cu);
  EXPECT_EQ(CharacterSetCodePage(csArabic), 1256u);
}

TEST(VersionReader, GlobalReaderExistsFromStartUp) {
  ASSERT_NE(VersionResource, nullptr);
  EXPECT_EQ(ReadFileVersion(Lib("qnt_ver_2_0")), "2.0.0.0");
  EXPECT_EQ(VersionResource->FileName(), Lib("qnt_ver_2_0"));
}

TEST(OverwriteDecision, RulesMapOneToOne) {
  EXPECT_EQ(ConvertToVersionCompareCriteria(owAlways), vccSourceAlwaysNewer);
  EXPECT_EQ(ConvertToVersionCompareCriteria(owNever), vccDestAlwaysNewerIfExists);
  EXPECT_EQ(ConvertToVersionCompareCriteria(owVersion), vccVersion);
  EXPECT_EQ(ConvertToVersionCompareCriteria(owDate), vccDate);
  EXPECT_EQ(ConvertToVersionCompareCriteria(owVersionDate), vccVersionDate);
}

TEST(OverwriteDecision, ByNameOnVersionedFiles) {
  std::string dir = ScratchDir("ver");
  std::string v19 = Copy(Lib("qnt_ver_1_9"), dir, "a19.dll");
  std::string v110 = Copy(Lib("qnt_ver_1_10"), dir, "a110.dll");
  std::string v110b = Copy(Lib("qnt_ver_1_10b"), dir, "b110.dll");
  std::string v20 = Copy(Lib("qnt_ver_2_0"), dir, "a20.dll");
  std::string none = Copy(Lib("qnt_ver_none"), dir, "none.dll");
  std::string none2 = Copy(Lib("qnt_ver_none"), dir, "none2.dll");
  std::string missing = dir + "\\missing.dll";
  using V = TVersionResource;

  EXPECT_EQ(V::IsFileNewerByName(v19, v20, vccSourceAlwaysNewer), vcrSourceNewer);
  EXPECT_EQ(V::IsFileNewerByName(v19, v20, vccDestAlwaysNewerIfExists), vcrDestNewer);
  EXPECT_EQ(V::IsFileNewerByName(v19, missing, vccDestAlwaysNewerIfExists), vcrSourceNewer);
  EXPECT_EQ(V::IsFileNewerByName(v19, "  ", vccDestAlwaysNewerIfExists), vcrSourceNewer);

  EXPECT_EQ(V::IsFileNewerByName(v20, v19, vccVersion), vcrSourceNewer);
  EXPECT_EQ(V::IsFileNewerByName(v110, v19, vccVersion), vcrDestNewer);  // "10" < "9"
  EXPECT_EQ(V::IsFileNewerByName(v110, v110b, vccVersion), vcrSame);
  EXPECT_EQ(V::IsFileNewerByName(none, none2, vccVersion), vcrSame);
  EXPECT_EQ(V::IsFileNewerByName(v19, none, vccVersion), vcrSourceNewer);
  EXPECT_EQ(V::IsFileNewerByName(none, v19, vccVersion), vcrDestNewer);
  EXPECT_EQ(V::IsFileNewerByName(v19, missing, vccVersion), vcrSourceNewer);
  EXPECT_EQ(V::IsFileNewerByName(none, missing, vccVersion), vcrSame);
  EXPECT_EQ(VersionResource->FileName(), missing);  // left at the destination

  SetDate(v110, 2001, 5, 6, 10);
  SetDate(v110b, 2001, 5, 6, 12);
  EXPECT_EQ(V::IsFileNewerByName(v110, v110b, vccDate), vcrDestNewer);
  EXPECT_EQ(V::IsFileNewerByName(v110b, v110, vccDate), vcrSourceNewer);
  EXPECT_EQ(V::IsFileNewerByName(v110, v110, vccDate), vcrSame);
  EXPECT_EQ(V::IsFileNewerByName(v110, missing, vccDate), vcrError);
  // Equal versions fall to the date; different ones do not look at it.
  EXPECT_EQ(V::IsFileNewerByName(v110b, v110, vccVersionDate), vcrSourceNewer);
  EXPECT_EQ(V::IsFileNewerByName(v110, v110b, vccVersionDate), vcrDestNewer);
  EXPECT_EQ(V::IsFileNewerByName(v20, v19, vccVersionDate), vcrSourceNewer);
  EXPECT_EQ(V::IsFileNewerByName(none, missing, vccVersionDate), vcrError);

  // A destination locked against reading cannot be dated.
  HANDLE lock = CreateFileW(Widen(v110b).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  EXPECT_EQ(V::IsFileNewerByName(v110, v110b, vccDate), vcrError);
  CloseHandle(lock);

  // A date a DOS date cannot hold leaves the function with the conversion error.
  SetDate(v19, 1975, 1, 1, 12);
  EXPECT_THROW(V::IsFileNewerByName(v19, v110, vccDate), EConvertError);
  RemoveTree(dir);
}

TEST(OverwriteDecision, FromArchiveHeaderValues) {
  std::string dir = ScratchDir("ver");
  std::string dest = Copy(Lib("qnt_ver_1_9"), dir, "d.dll");
  SetDate(dest, 2001, 5, 6, 10);
  TDateTime destDate = FileDateToDateTime(FileAge(dest));
  using V = TVersionResource;
  EXPECT_EQ(V::IsFileNewerHaveSource(destDate, "2.0.0.0", dest, vccVersion), vcrSourceNewer);
  EXPECT_EQ(V::IsFileNewerHaveSource(destDate, "1.10.0.0", dest, vccVersion), vcrDestNewer);
  EXPECT_EQ(V::IsFileNewerHaveSource(destDate, "1.9.0.0", dest, vccVersionDate), vcrSame);
  EXPECT_EQ(V::IsFileNewerHaveSource(destDate + 1, "1.9.0.0", dest, vccVersionDate), vcrSourceNewer);
  EXPECT_EQ(V::IsFileNewerHaveSource(destDate - 1, "", dest, vccDate), vcrDestNewer);
  EXPECT_EQ(V::IsFileNewerHaveSource(destDate, "", dir + "\\gone.dll", vccDate), vcrError);
  EXPECT_EQ(V::IsFileNewerHaveSource(destDate, "", dir + "\\gone.dll", vccDestAlwaysNewerIfExists), vcrSourceNewer);
  RemoveTree(dir);
}
