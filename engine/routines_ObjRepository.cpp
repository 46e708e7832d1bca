#include "engine/routines_ObjRepository.h"

#include "classlib/IniFiles.h"
#include "classlib/SysUtils.h"
#include "foundation/exceptions_Quillant.h"
#include "foundation/routines/routines_Registry.h"
#include "foundation/routines/routines_Strings.h"
#include "foundation/translator/cmp_TTranslator.h"

const TEnumInfo RepositoryTypeInfo{"TRepositoryType", {"rtDelphi3x", "rtDelphi2x", "rtCBuilder1x"}};

std::string GetSharedRepositoryFile(TRepositoryType Type) {
  std::string keyPart, file;
  switch (Type) {
    case rtDelphi3x: keyPart = "\\Delphi\\3.0"; file = "DELPHI32.DRO"; break;
    case rtDelphi2x: keyPart = "\\Delphi\\2.0"; file = "DELPHI32.DRO"; break;
    case rtCBuilder1x: keyPart = "\\C++Builder\\1.0"; file = "BCB.DRO"; break;
  }
  std::string result;
  const std::string baseDir = GetRVStr(hkCurrentUser, "\\Software\\Borland" + keyPart + "\\repository", "BaseDir", "");
  if (!baseDir.empty()) {
    result = DirectoryWBS(baseDir) + file;
  } else {
    const std::string root = GetRVStr(hkLocalMachine, "\\Software\\Borland" + keyPart, "RootDir", "");
    if (root.empty())
      throw ECustomQuillantAbnormal(TSEFormat("Could find the object repository because the "
                                              "HKEY_LOCAL_MACHINE\\Software\\Borland%s | RootDir entry was blank "
                                              "in the registry",
                                              {keyPart}));
    result = DirectoryWBS(root) + "Bin\\" + file;
  }
  if (!FileExists(result))
    throw ECustomQuillantAbnormal(TSEFormat("Could not find the Object Repository file %s", {result}));
  return result;
}

void DeleteSameNameEntries(const std::string& RepositoryFile, const std::string& FileName) {
  TIniFile ini(RepositoryFile);
  TStringList sections;
  ini.ReadSections(&sections);
  if (sections.Count() <= 1) return;
  for (int i = 0; i < sections.Count(); ++i) {
    const std::string& section = sections[i];
    // Only a whole last path part names the unit: "ORDLG_README" must keep
    // "...\ORDLG_README2" and the IDE's own page list.
    if (SameText(section, "Repository Pages")) continue;
    const size_t slash = section.find_last_of("\\/");
    const std::string unit = slash == std::string::npos ? section : section.substr(slash + 1);
    if (SameText(unit, FileName)) ini.EraseSection(section);
  }
}
