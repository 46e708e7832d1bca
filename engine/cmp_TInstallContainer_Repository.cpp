// The IDE object-repository entries an install file carries: each entry
// whose RegisterIt is set writes the installed file into its IDE's
// repository file as a template.
#include "classlib/IniFiles.h"
#include "classlib/SysUtils.h"
#include "engine/cmp_TInstallContainer.h"
#include "foundation/routines/routines_Strings.h"

QNT_PUBLISH(TCustomObjectRepositoryEntry);
QNT_PUBLISH(TObjectRepositoryEntry,
  Prop::Component("Ancestor", &TObjectRepositoryEntry::Ancestor, &TObjectRepositoryEntry::SetAncestor),
  Prop::String("Author", &TObjectRepositoryEntry::Author, &TObjectRepositoryEntry::SetAuthor, ""),
  Prop::String("Description", &TObjectRepositoryEntry::Description, &TObjectRepositoryEntry::SetDescription, ""),
  Prop::String("EntryName", &TObjectRepositoryEntry::EntryName, &TObjectRepositoryEntry::SetEntryName, ""),
  Prop::String("EntryType", &TObjectRepositoryEntry::EntryType, &TObjectRepositoryEntry::SetEntryType, ""),
  Prop::Component("IconFile", &TObjectRepositoryEntry::IconFile, &TObjectRepositoryEntry::SetIconFile),
  Prop::Boolean("OverwriteSameFileName", &TObjectRepositoryEntry::OverwriteSameFileName,
                &TObjectRepositoryEntry::SetOverwriteSameFileName, true),
  Prop::String("Page", &TObjectRepositoryEntry::Page, &TObjectRepositoryEntry::SetPage, ""),
  Prop::Boolean("RaiseExceptionOnFailure", &TObjectRepositoryEntry::RaiseExceptionOnFailure,
                &TObjectRepositoryEntry::SetRaiseExceptionOnFailure, false),
  Prop::Boolean("RegisterIt", &TObjectRepositoryEntry::RegisterIt, &TObjectRepositoryEntry::SetRegisterIt, false));
QNT_PUBLISH(TCustomRepository);
QNT_PUBLISH(TRepository,
  Prop::Object("Delphi2", &TRepository::Delphi2),
  Prop::Object("Delphi3", &TRepository::Delphi3),
  Prop::Object("CBuilder", &TRepository::CBuilder));

// ------------------------------------------------- TCustomObjectRepositoryEntry

TCustomObjectRepositoryEntry::TCustomObjectRepositoryEntry(TRepositoryType ARepositoryType,
                                                           TCustomInstallFile* AInstallFile)
    : FInstallType(ARepositoryType), FInstallFile(AInstallFile) {
  if (!AInstallFile)
    throw IEObjectRepositoryEntry(
        "Cannot create the TObjectRepositoryEntry because the file component passed to the contructor was NIL");
}

void TCustomObjectRepositoryEntry::Assign(const TPersistent* Source) {
  auto* s = dynamic_cast<const TCustomObjectRepositoryEntry*>(Source);
  if (!s) {
    TPersistent::Assign(Source);
    return;
  }
  FAncestor = s->FAncestor;
  FAuthor = s->FAuthor;
  FDescription = s->FDescription;
  FEntryName = s->FEntryName;
  FEntryType = s->FEntryType;
  FIconFile = s->FIconFile;
  FOverwriteSameFileName = s->FOverwriteSameFileName;
  FPage = s->FPage;
  FRaiseExceptionOnFailure = s->FRaiseExceptionOnFailure;
  FRegisterIt = s->FRegisterIt;
}

void TCustomObjectRepositoryEntry::FileDestroyed(const TInstallContainer* AFile) {
  if (FAncestor && static_cast<const TInstallContainer*>(FAncestor) == AFile) FAncestor = nullptr;
  if (FIconFile && static_cast<const TInstallContainer*>(FIconFile) == AFile) FIconFile = nullptr;
}

void TCustomObjectRepositoryEntry::Install() {
  if (!FRegisterIt) return;
  try {
    const std::string repository = GetSharedRepositoryFile(FInstallType);
    const std::string unit = ChangeFileExt(FInstallFile->DestFileName(), "");
    if (FOverwriteSameFileName) DeleteSameNameEntries(repository, UpperCase(unit));
    TIniFile ini(repository);
    ini.WriteString("Repository Pages", FPage, "");
    const std::string section = DirectoryWBS(FInstallFile->GetDestDir()) + unit;
    ini.WriteString(section, "Name", FEntryName);
    ini.WriteString(section, "Page", FPage);
    ini.WriteString(section, "Type", FEntryType);
    ini.WriteString(section, "Description", FDescription);
    ini.WriteString(section, "Author", FAuthor);
    if (FIconFile) ini.WriteString(section, "Icon", FIconFile->GetDestFile());
    if (FAncestor)
      ini.WriteString(section, "Ancestor", FAncestor->GetDestFile());
  } catch (...) {
    // An IDE that is not there, or any other failure of the entry, is no
    // reason to stop the install unless the entry asks for it.
    if (FRaiseExceptionOnFailure) throw;
  }
}

// ------------------------------------------------------------ TCustomRepository

TCustomRepository::TCustomRepository(TCustomInstallFile* AInstallFile)
    : FDelphi2(new TObjectRepositoryEntry(rtDelphi2x, AInstallFile)),
      FDelphi3(new TObjectRepositoryEntry(rtDelphi3x, AInstallFile)),
      FCBuilder(new TObjectRepositoryEntry(rtCBuilder1x, AInstallFile)) {}

TCustomRepository::~TCustomRepository() {
  delete FDelphi2;
  delete FDelphi3;
  delete FCBuilder;
}

void TCustomRepository::Assign(const TPersistent* Source) {
  auto* s = dynamic_cast<const TCustomRepository*>(Source);
  if (!s) {
    TPersistent::Assign(Source);
    return;
  }
  FDelphi2->Assign(s->FDelphi2);
  FDelphi3->Assign(s->FDelphi3);
  FCBuilder->Assign(s->FCBuilder);
}

void TCustomRepository::Install() {
  FDelphi2->Install();
  FDelphi3->Install();
  FCBuilder->Install();
}

void TCustomRepository::FileDestroyed(const TInstallContainer* AFile) {
  FDelphi2->FileDestroyed(AFile);
  FDelphi3->FileDestroyed(AFile);
  FCBuilder->FileDestroyed(AFile);
}
