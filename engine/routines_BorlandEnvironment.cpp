#include "engine/routines_BorlandEnvironment.h"

#include <windows.h>

#include <memory>

#include "classlib/Handles.h"
#include "classlib/Registry.h"
#include "classlib/SysUtils.h"
#include "classlib/Units.h"
#include "foundation/routines/routines_API.h"
#include "foundation/routines/routines_FileSystem.h"
#include "foundation/routines/routines_Registry.h"
#include "foundation/routines/routines_Strings.h"

TBorlandEnvironment* BorlandEnvironment = nullptr;

namespace {
const char* const SKnownPackagesKey = "\\Software\\Borland\\Delphi\\3.0\\Known Packages";
const char* const SDisabledPackagesKey = "\\Software\\Borland\\Delphi\\3.0\\Disabled Packages";
const char* const SLibraryKey = "\\Software\\Borland\\Delphi\\3.0\\Library";

// A registry object of the current user whose changes reach the disk when
// each key is closed: the IDE may read them the moment we are done.
std::unique_ptr<TRegistry> CurrentUserRegistry() {
  auto reg = std::make_unique<TRegistry>();
  reg->SetRootKey(HKEY_CURRENT_USER);
  reg->SetLazyWrite(false);
  return reg;
}

bool InList(const TStrings* List, const std::string& Name) { return List && List->IndexOf(Name) >= 0; }

// Deletes the values of the open key that Match picks; the names are all
// read before the first one goes, so that no value is passed over.
template <class F>
void DeleteValuesWhere(TRegistry& Reg, F Match) {
  TStringList names;
  Reg.GetValueNames(&names);
  for (int i = 0; i < names.Count(); ++i)
    if (Match(ExtractFileName(names[i]))) Reg.DeleteValue(names[i]);
}
}  // namespace

// ------------------------------------------------------ TBorlandEnvironment

void TBorlandEnvironment::Initialize() {
  FInitialized = false;
  FProducts = 0;
  struct Environment {
    const char* Key;
    std::string* Bin;
    std::string* Help;
    const char* Program;
    TBorlandProduct Product;
  };
  const Environment environments[] = {
      {"\\Software\\Borland\\Delphi\\3.0", &FDelphi30Bin, &FDelphi30Help, "DELPHI32.EXE", bpDelphi30},
      {"\\Software\\Borland\\C++Builder\\1.0", &FCBuilder10Bin, &FCBuilder10Help, "BCB.EXE", bpCBuilder10},
      {"\\Software\\Borland\\Delphi\\2.0", &FDelphi20Bin, &FDelphi20Help, "DELPHI32.EXE", bpDelphi20},
  };
  for (const Environment& e : environments) {
    *e.Bin = GetRVStr(hkLocalMachine, e.Key, "RootDir", "");
    e.Help->clear();
    if (Trim(*e.Bin).empty()) continue;
    const std::string root = DirectoryWBS(*e.Bin);
    *e.Help = root + "HELP";
    *e.Bin = root + "BIN";
    if (FileExists(DirectoryWBS(*e.Bin) + e.Program)) FProducts |= BorlandProductBit(e.Product);
  }
  FInitialized = true;
}

bool TBorlandEnvironment::LinkIntoBorlandHelp(const std::string& HelpFile, TBorlandProduct Product) {
  if (!FInitialized) Initialize();
  std::string contents;
  switch (Product) {
    case bpDelphi30: contents = DirectoryWBS(FDelphi30Help) + "DELPHI3.CNT"; break;
    case bpCBuilder10: contents = DirectoryWBS(FCBuilder10Help) + "BCB.CNT"; break;
    default: return false;
  }
  if (!FileExists(contents)) return false;
  TStringList lines;
  lines.LoadFromFile(contents);
  const std::string entry = Format(":Link %s", {HelpFile});
  for (int i = 0; i < lines.Count(); ++i)
    if (SameText(lines[i], entry)) return true;
  lines.Add(entry);
  try {
    lines.SaveToFile(contents);
  } catch (const Exception&) {
    return false;
  }
  return true;
}

bool TBorlandEnvironment::RemoveVCLTabs(TBorlandProduct Product, const TStrings* RemoveTabs) {
  if (!FInitialized) Initialize();
  if (Product != bpDelphi30 || !HasProduct(bpDelphi30)) return false;
  auto reg = CurrentUserRegistry();
  for (const char* key : {"\\Software\\Borland\\Delphi\\3.0\\Palette", "\\Software\\Borland\\Delphi\\3.0\\Palette Defaults"}) {
    if (!reg->OpenKey(key, true)) continue;
    for (int i = 0; RemoveTabs && i < RemoveTabs->Count(); ++i) reg->DeleteValue((*RemoveTabs)[i]);
    reg->CloseKey();
  }
  return true;
}

// ------------------------------------------------------------ the compile

namespace {
// False when the compiler's folder cannot be entered or the package did not
// compile: such a package must not be registered.
bool CompilePackage(TBorlandEnvironment& Env, const std::string& Compiler, const std::string& DPKFile) {
  // The compiler runs in its own folder; ours comes back afterwards.
  const std::string previous = GetCurrentDir();
  if (!SetCurrentDir(Env.Delphi30Bin())) return false;
  TScopeGuard restore([&] { SetCurrentDir(previous); });
  if (!FileExists(DPKFile)) throw EInstallD3NoDPK(Format("Cannot find the package %s to compile", {DPKFile}));

  const std::string folder = ExtractFileDir(DPKFile);
  std::string shortFolder = GetShortPath(folder);
  if (shortFolder.empty()) shortFolder = folder;
  TProgramLauncher launcher(nullptr);
  launcher.SetFileName(Compiler);
  launcher.SetParameters(DirectoryWBS(shortFolder) + ExtractFileName(DPKFile));
  launcher.SetShowMode(smHide);
  launcher.SetStartDir(folder);
  launcher.Launch();
  return launcher.ExitCode() == 0;
}

bool RegisterKnownPackage(TRegistry& Reg, const std::string& Folder, const std::string& DPLFile,
                          const std::string& Description, const TStrings* DeletePackages) {
  if (!Reg.OpenKey(SKnownPackagesKey, true)) return false;
  DeleteValuesWhere(Reg, [&](const std::string& file) {
    return SameText(file, DPLFile) || InList(DeletePackages, file);
  });
  try {
    Reg.WriteString(DirectoryWBS(Folder) + DPLFile, Description);
  } catch (const ERegistryException&) {
    throw EInstallD3CannotWriteDPLEntry("Cannot write the DPL entry into the registry");
  }
  Reg.CloseKey();
  return true;
}

bool EnablePackage(TRegistry& Reg, const std::string& Source, const std::string& DPLFile,
                   const TStrings* DeletePackages) {
  if (!Reg.OpenKey(SDisabledPackagesKey, true)) return false;
  DeleteValuesWhere(Reg, [&](const std::string& file) {
    return SameText(file, DPLFile) || SameText(file, Source) || InList(DeletePackages, file);
  });
  Reg.CloseKey();
  return true;
}

// The package's folder goes last on the library search path, in place of
// every folder that holds its source or one of the packages it replaces.
bool PutOnSearchPath(TRegistry& Reg, const std::string& Folder, const std::string& Source,
                     const TStrings* DeletePackages) {
  if (!Reg.OpenKey(SLibraryKey, true)) return false;
  std::string searchPath;
  try {
    if (!Reg.ValueExists("SearchPath")) throw ERegistryException("missing");
    searchPath = Reg.ReadString("SearchPath");
  } catch (const ERegistryException&) {
    throw EInstallD3NoSearchPath("Cannot find the SearchPath entry in the registry");
  }
  TStringList folders;
  if (!searchPath.empty()) StringToStringList(searchPath, ';', &folders);
  for (int i = folders.Count() - 1; i >= 0; --i) {
    const std::string dir = folders[i];
    if (Trim(dir).empty() || !DirectoryExists(dir)) continue;
    bool holds = FileExists(DirectoryWBS(dir) + Source);
    for (int k = 0; !holds && DeletePackages && k < DeletePackages->Count(); ++k)
      holds = FileExists(DirectoryWBS(dir) + (*DeletePackages)[k]);
    if (holds) folders.Delete(i);
  }
  folders.Add(DirectoryWOBS(Folder));
  try {
    Reg.WriteString("SearchPath", StringListToString(&folders, ";", false));
  } catch (const ERegistryException&) {
    throw EInstallD3CannotWriteSearchPath("Cannot write the search path entry in the registry");
  }
  Reg.CloseKey();
  return true;
}
}  // namespace

bool CompileInstallDelphi3(const std::string& DPKFile, const std::string& DPLFile, const std::string& Description,
                           const TStrings* DeletePackages) {
  TBorlandEnvironment& env = *BorlandEnvironment;
  if (!env.Initialized()) env.Initialize();
  if (!env.HasProduct(bpDelphi30)) return false;

  const std::string compiler = DirectoryWBS(env.Delphi30Bin()) + "DCC32.EXE";
  if (!FileExists(compiler)) throw EInstallD3NoDCC(Format("Cannot find Delphi compiler in %s", {compiler}));
  if (!CompilePackage(env, compiler, DPKFile)) return false;

  const std::string folder = ExtractFileDir(DPKFile);
  const std::string source = ExtractFileName(DPKFile);
  auto reg = CurrentUserRegistry();
  return RegisterKnownPackage(*reg, folder, DPLFile, Description, DeletePackages) &&
         EnablePackage(*reg, source, DPLFile, DeletePackages) && PutOnSearchPath(*reg, folder, source, DeletePackages);
}

// ------------------------------------------------------------------- unit

namespace {
void InitBorlandEnvironment() { BorlandEnvironment = new TBorlandEnvironment(); }
void FinBorlandEnvironment() {
  delete BorlandEnvironment;
  BorlandEnvironment = nullptr;
}
TUnitRegistration registration(ulEngine, "routines_BorlandEnvironment", InitBorlandEnvironment,
                               FinBorlandEnvironment);
}  // namespace
