// The distribution build (*BUILD) and the copy of a self-extracting setup
// onto disks (*TODISK): the setup program's author side.
#include <windows.h>

#include <algorithm>
#include <memory>
#include <thread>

#include "classlib/Forms.h"
#include "classlib/Handles.h"
#include "classlib/Streams.h"
#include "classlib/WinText.h"
#include "engine/cmp_TInstall.h"
#include "foundation/exceptions_Quillant.h"
#include "foundation/routines/routines_Registry.h"
#include "foundation/routines/routines_Strings.h"
#include "foundation/translator/cmp_TTranslator.h"

namespace {
const char* const SNoBuildInf =
    "Need to have a BUILD.INF file in this directory with the first line specifying the build directory";
const char* const SBuildInfOneLine = "Must be 1 line in BUILD.INF. This line should specify the build directory";
const char* const SNoStandAlone =
    "Cannot build a stand alone executable if the UseLoadingProgram property of the TInstall is set to False";
const char* const SSetup1DiskFull =
    "The disk that you have specified has been determined to be either too full or is corrupt while trying to copy "
    "the SETUP.1 archive file. You should probably clear all files off of the drive. Minimally, you should leave "
    "enough space on the drive for the SETUP.1 archive file.";
const char* const SBadProductKey =
    "The HKEY_LOCAL_MACHINE | %s key in the registry is either missing or points to an invalid Quillant directory";
const char* const SProductKey = "\\Software\\Pellitor\\Q32V25B0001";
// The build never reads the key that message names: it is followed by where
// the build did look for the product folder.
const char* const SWhereLooked =
    "The build looked for it on the library path, the value SearchPath of HKEY_CURRENT_USER%s (%s), for the first "
    "folder that holds the file %s, and takes the loader %s from that folder.";
const char* const SNoLoader = "The loader program %s was not found";
const char* const SCannotCopyLoader = "Cannot copy the loading program from %s to %s";
const char* const SCannotCopyExe = "Cannot copy the installation application from %s to %s";
const char* const SBlankExecutable = "Cannot create setup file. Executable is blank";
const char* const SNoExecutable = "TInstall: Cannot find the executable file %s";
const char* const SCannotAppend = "Cannot create the self-extracting exe because %s could not be loaded onto %s";
const char* const STooLarge = "Cannot create the self-extracting exe %s: it would grow beyond 2 GB";
const char* const SCannotReplace = "Cannot replace the file %s";
const char* const SNoBuildFolder = "Cannot create the build directory %s";
const char* const SNoBuildInfFolder = "Cannot create the build directory %s that the first line of %s specifies";
const char* const SDoesNotFit =
    "The install file %s cannot be listed in filelist.lst: its name must be shorter than 40 characters and its "
    "version (%s) shorter than 20";
const char* const SNotSelfExtracting = "%s is not a self-extracting setup file";
const char* const STooLargeToCopy = "%s is larger than 2 GB: its offsets cannot describe it";
const char* const SNoRoomExe = "Cannot create setup.exe on the A drive. Probably not enough room";
const char* const SNoRoomSetup1 = "Cannot create setup.1 on the A drive. Probably not enough room";
const char* const SInsertDisk = "Please insert disk %d";
const char* const SAborted = "Aborted by user";
const char* const LoaderFileName = "QuillantLoadProgram.exe";

void PumpMessages() {
  if (Application) Application->ProcessMessages();
}

// Copies Count bytes (all when negative) of Source from its position onto
// Dest; the count that arrived. Pump lets messages run after each block.
int64_t CopyBytes(TStream& Source, TStream& Dest, int64_t Count, size_t Block, bool Pump) {
  std::vector<unsigned char> buf(Block);
  int64_t done = 0;
  while (Count < 0 || done < Count) {
    int64_t want = static_cast<int64_t>(Block);
    if (Count >= 0 && Count - done < want) want = Count - done;
    const int64_t n = Source.Read(buf.data(), want);
    if (n <= 0) break;
    const int64_t w = Dest.Write(buf.data(), n);
    if (w > 0) done += w;
    if (w != n) break;
    if (Pump) PumpMessages();
  }
  return done;
}

bool CopyOver(const std::string& From, const std::string& To) {
  return CopyFileW(Widen(From).c_str(), Widen(To).c_str(), FALSE) != 0;
}

// The message of any failure of the build or the disk copy.
std::string MessageOf(std::exception_ptr E) {
  try {
    std::rethrow_exception(E);
  } catch (const Exception& X) {
    return X.Message;
  } catch (const std::exception& X) {
    return X.what();
  } catch (...) {
    return "Unknown error";
  }
}

void ShowPlainMessage(const std::string& Text) {
  EngineMessageBox(Text, EngineBoxCaption(), MB_OK);
}

// Ends the program, which a build or a disk copy does in every case; a
// failed one ends it with exit code 1, so that the script that started it
// sees the failure. The code rides on the quit message, which the program's
// main block hands on as its own exit code. Called after the message box:
// a quit already asked for would close a box at once.
void EndProgram(bool Failed) {
  if (!Application) return;
  Application->Terminate();
  if (Failed) PostQuitMessage(1);  // the latest quit's code counts
}

// ------------------------------------------------------------ the stage

// Everything a build makes goes into this folder inside the build folder
// and is put in place when all of it is whole: a failed or killed build
// leaves the previous distribution as it was.
const char* const StageName = "build.partial";
// Written into the stage, one path a line, once its files are whole and
// about to be put in place: a build killed from then on is finished by the
// next one.
const char* const WholeList = "~whole.lst";
// The files that a build replaces wait here until all the new ones are in.
const char* const AsideName = "~replaced";
// Each build's own names: once it is done, a name it did not make holds no
// older build's file either.
const char* const OwnNames[] = {"setup.exe", "setup.1", "files.1"};

bool MoveOver(const std::string& From, const std::string& To) {
  ForceDirectories(ExtractFileDir(To));
  return MoveFileExW(Widen(From).c_str(), Widen(To).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED) != 0;
}

// The files under Root\Rel as paths relative to Root ("\files.1"), the
// stage's own list and set-aside files left out.
void StagedFiles(const std::string& Root, const std::string& Rel, std::vector<std::string>& Out) {
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW(Widen(Root + Rel + "\\*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return;
  do {
    const std::string name = Narrow(fd.cFileName);
    if (name == "." || name == ".." || (Rel.empty() && (SameText(name, WholeList) || SameText(name, AsideName))))
      continue;
    if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
      StagedFiles(Root, Rel + "\\" + name, Out);
    else
      Out.push_back(Rel + "\\" + name);
  } while (FindNextFileW(h, &fd));
  FindClose(h);
}

// Removes Dir and what it holds, as far as it can; a link inside goes as a
// link, never what it points to.
void RemoveFolder(const std::string& Dir) {
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW(Widen(Dir + "\\*").c_str(), &fd);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = Narrow(fd.cFileName), path = Dir + "\\" + name;
      const DWORD a = fd.dwFileAttributes;
      if (name == "." || name == "..") continue;
      if ((a & FILE_ATTRIBUTE_DIRECTORY) && !(a & FILE_ATTRIBUTE_REPARSE_POINT))
        RemoveFolder(path);
      else if (a & FILE_ATTRIBUTE_DIRECTORY)
        RemoveDirectoryW(Widen(path).c_str());
      else
        DeleteFileW(Widen(path).c_str());
    } while (FindNextFileW(h, &fd));
    FindClose(h);
  }
  RemoveDirectoryW(Widen(Dir).c_str());
}

bool Listed(const std::vector<std::string>& Paths, const std::string& Rel) {
  return std::any_of(Paths.begin(), Paths.end(), [&](const std::string& P) { return SameText(P, Rel); });
}

// The build folder's stage (StageName) for one build, made afresh.
class TBuildStage {
public:
  explicit TBuildStage(const std::string& BuildPath);
  TBuildStage(const TBuildStage&) = delete;
  TBuildStage& operator=(const TBuildStage&) = delete;
  ~TBuildStage() {
    if (!FPlaced) RemoveFolder(FDir);
  }
  const std::string& Dir() const { return FDir; }
  // Moves every file of the stage to its place in the build folder; the
  // own names it did not make go. When one cannot be put in place,
  // IEInstall SCannotReplace and the build folder as it was.
  void PutInPlace();
  // The stage is the build's own business: a message names the files by
  // the names they are given in the build folder.
  void NameOutputs(Exception& E) const {
    E.Message = StringReplaceAll(StringReplaceAll(E.Message, FDir + "\\", FBuild + "\\"), FDir, FBuild);
  }

private:
  std::string FBuild, FDir;  // without a trailing backslash
  bool FPlaced = false;
  // An earlier build killed while it put its whole files in place: its
  // remaining ones go there now.
  void FinishEarlier(const std::vector<std::string>& Made);
  void PutBack(const std::vector<std::string>& Places, size_t Made, const std::vector<bool>& Aside, size_t Reached);
};

TBuildStage::TBuildStage(const std::string& BuildPath)
    : FBuild(DirectoryWOBS(BuildPath)), FDir(FBuild + "\\" + StageName) {
  if (!ForceDirectories(FBuild)) throw IEInstall(SNoBuildFolder, {BuildPath});
  const std::string list = FDir + "\\" + WholeList;
  if (FileExists(list)) {
    TStringList made;
    made.LoadFromFile(list);
    std::vector<std::string> paths;
    for (int i = 0; i < made.Count(); ++i) paths.push_back(made[i]);
    FinishEarlier(paths);
  }
  // Anything else left here is a failed or killed build's half.
  RemoveFolder(FDir);
  if (!ForceDirectories(FDir)) throw IEInstall(SNoBuildFolder, {BuildPath});
}

void TBuildStage::FinishEarlier(const std::vector<std::string>& Made) {
  for (const std::string& rel : Made)
    if (FileExists(FDir + rel) && !MoveOver(FDir + rel, FBuild + rel)) throw IEInstall(SCannotReplace, {FBuild + rel});
  for (const char* own : OwnNames)
    if (!Listed(Made, "\\" + std::string(own))) RemoveFile(FBuild + "\\" + own);
  RemoveFile(FDir + "\\" + WholeList);
}

void TBuildStage::PutInPlace() {
  std::vector<std::string> places;
  StagedFiles(FDir, "", places);
  const size_t made = places.size();
  // The list goes in whole or not at all (written aside, then renamed).
  TStringList list;
  for (const std::string& rel : places) list.Add(rel);
  const std::string listName = FDir + "\\" + WholeList;
  list.SaveToFile(listName + ".new");
  if (!MoveOver(listName + ".new", listName)) throw IEInstall(SCannotReplace, {listName});
  for (const char* own : OwnNames)
    if (!Listed(places, "\\" + std::string(own))) places.push_back("\\" + std::string(own));
  std::vector<bool> aside(places.size(), false);
  size_t i = 0;
  try {
    for (; i < places.size(); ++i) {
      const std::string target = FBuild + places[i];
      if (FileExists(target)) {
        if (!MoveOver(target, FDir + "\\" + AsideName + places[i])) throw IEInstall(SCannotReplace, {target});
        aside[i] = true;
      }
      if (i < made && !MoveOver(FDir + places[i], target)) throw IEInstall(SCannotReplace, {target});
    }
  } catch (...) {
    RemoveFile(listName);
    PutBack(places, made, aside, i);
    throw;
  }
  FPlaced = true;
  RemoveFile(listName);
  RemoveFolder(FDir);
}

// Undoes the moves of places 0 .. Reached: each new file back into the
// stage (the first Made places are the stage's files), each old one back
// into place.
void TBuildStage::PutBack(const std::vector<std::string>& Places, size_t Made, const std::vector<bool>& Aside,
                          size_t Reached) {
  for (size_t i = std::min(Reached + 1, Places.size()); i-- > 0;) {
    const std::string target = FBuild + Places[i], staged = FDir + Places[i];
    if (i < Made && !FileExists(staged)) MoveOver(target, staged);
    if (Aside[i]) MoveOver(FDir + "\\" + AsideName + Places[i], target);
  }
}
}  // namespace

int BuildPackThreads = 0;

namespace {
// The sources of a container's files in the order its packing reaches them.
void PackOrder(TInstallContainer* C, std::vector<std::string>& Sources) {
  for (int i = 0; i < C->HCCount(); ++i) {
    TInstallObject* o = C->HC(i);
    if (auto* f = dynamic_cast<TCustomInstallFile*>(o))
      Sources.push_back(f->SourcePath());
    else if (auto* fc = dynamic_cast<TFileContainer*>(o))
      PackOrder(fc, Sources);
  }
}
}  // namespace

void TCustomInstall::Compress(TCompressOptionsSet CompressOptions) {
  for (int i = 0; i < InstallFileList->Count(); ++i) InstallFileList->Items(i)->CompressInfo() = TCompressInfo{};
  // The files' zlib streams are independent: they are deflated ahead on
  // every processor and written in order by this thread.
  std::vector<std::string> sources;
  PackOrder(this, sources);
  int threads = BuildPackThreads;
  if (threads <= 0) threads = static_cast<int>(std::thread::hardware_concurrency());
  QlntCompress->SetPackAhead(sources, threads);
  TScopeGuard stop([] { QlntCompress->SetPackAhead({}, 0); });
  TFileContainer::Compress(CompressOptions);
}

// ------------------------------------------------------------------ *BUILD

void TCustomInstall::ProcessBuildParam() {
  bool failed = false;
  try {
    const std::string inf = DirectoryWBS(RunningDir()) + "BUILD.INF";
    if (!FileExists(inf)) throw IEInstall(SNoBuildInf);
    TStringList lines;
    lines.LoadFromFile(inf);
    // A blank first line would build into the root of the current drive.
    if (lines.Count() == 0 || Trim(lines[0]).empty()) throw IEInstall(SBuildInfOneLine);
    // A folder that cannot be made (a drive that is not there) is named with
    // the file that names it.
    if (!ForceDirectories(DirectoryWOBS(lines[0]))) throw IEInstall(SNoBuildInfFolder, {lines[0], inf});
    BuildDistributables(ParamStr(0), lines[0], true);
  } catch (...) {
    failed = true;
    ShowPlainMessage(MessageOf(std::current_exception()));
  }
  EndProgram(failed);
}

void TCustomInstall::BuildDistributables(const std::string& ExePath, const std::string& BuildPath, bool StandAlone) {
  if (StandAlone && !FUseLoadingProgram) throw IEInstall(SNoStandAlone);
  CheckEntryProductName(FInformation->ProductName(), Name());
  if (DefaultNetLocation) DefaultNetLocation->SetLoginInformation(FLoginInformation);
  // Every output (setup.exe, setup.1, files.1, the network archives and
  // filelist.lst, the copies of a build that is not stand-alone) is written
  // into the stage and put in place with the others once all are whole.
  TBuildStage stage(BuildPath);
  const std::string dir = DirectoryWBS(stage.Dir());
  const TPathSpecifiers savedType = FArchiveFileType;
  const std::string savedFile = FArchiveFile;
  auto restore = [&] {
    TFileRelated::SetArchiveFileType(savedType);
    TFileRelated::SetArchiveFile(savedFile);
  };
  try {
    CreateStub(stage.Dir(), ExePath);
    if (FOnBeforeBuildFiles1) FOnBeforeBuildFiles1(this);
    try {
      TFileRelated::SetArchiveFileType(ddAbsolute);
      TFileRelated::SetArchiveFile(dir + "files.1");
      TCompressOptionsSet options = CompressOptionBit(coIncludeAll) | CompressOptionBit(coForceDirectory) |
                                    CompressOptionBit(coSourceDirToBuildDir);
      if (FDistributeType == dtTraditional) options |= CompressOptionBit(coForceNetFilesLocal);
      if (FDistributeType == dtWeb) options |= CompressOptionBit(coForceFilesNet);
      Compress(options);
      if (FDistributeType != dtTraditional) WriteCompressedFileList();
    } catch (...) {
      // The original error passes on, whatever the restore meets.
      try {
        restore();
      } catch (...) {
      }
      throw;
    }
    restore();
    if (FOnAfterBuildFiles1) FOnAfterBuildFiles1(this);
    if (StandAlone) BuildSelfExtractor(dir + "setup.exe", dir + "setup.1", dir + "files.1");
    stage.PutInPlace();
  } catch (Exception& E) {
    stage.NameOutputs(E);
    throw;
  }
}

void TCustomInstall::CreateStub(const std::string& BuildPath, const std::string& ExePath) {
  const std::string dir = DirectoryWBS(BuildPath);
  if (FUseLoadingProgram) {
    try {
      CreateSetup1File(BuildPath, ExePath);
    } catch (const EycDiskFull&) {
      throw IEInstall(SSetup1DiskFull);
    }
    std::string product;
    try {
      product = GetQuillantPath(true);
    } catch (const Exception&) {
      const std::string path = GetRVStr(hkCurrentUser, LibraryPathKey, "SearchPath", "");
      throw IEInstall(TSEFormat(SBadProductKey, {SProductKey}) + ". " +
                      TSEFormat(SWhereLooked, {LibraryPathKey, Trim(path).empty() ? "empty" : "\"" + path + "\"",
                                               ProductMarkerFile, LoaderFileName}));
    }
    const std::string loader = DirectoryWBS(product) + LoaderFileName;
    if (!FileExists(loader)) throw IEInstall(SNoLoader, {loader});
    const std::string target = dir + "setup.exe";
    if (!CopyOver(loader, target)) throw IEInstall(SCannotCopyLoader, {loader, target});
    return;
  }
  if (FOnBeforeCopyingEXE) FOnBeforeCopyingEXE(this);
  ForceDirectories(DirectoryWOBS(BuildPath));
  const std::string target = dir + ExtractFileName(ExePath);
  if (!CopyOver(ExePath, target)) throw IEInstall(SCannotCopyExe, {ExePath, target});
  if (FOnAfterCopyingEXE) FOnAfterCopyingEXE(this);
}

void TCustomInstall::CreateSetup1File(const std::string& Path, const std::string& Executable) {
  if (Trim(Executable).empty()) throw IEInstall(SBlankExecutable);
  if (FOnBeforeBuildSetup1) FOnBeforeBuildSetup1(this);
  std::unique_ptr<TFileContainer> container(new TFileContainer(this));
  container->SetAddToArchive(lzcOverwrite);
  container->SetArchiveFileType(ddAbsolute);
  container->SetArchiveFile(DirectoryWBS(Path) + "setup.1");
  if (!FileExists(Executable)) throw IEInstall(SNoExecutable, {Executable});
  std::vector<std::unique_ptr<TInstallFile>> files;
  auto add = [&](const std::string& Source, bool Local) {
    auto* f = new TInstallFile(this);
    files.emplace_back(f);
    f->SetContainer(nullptr);
    f->SetIncludeFromDir(DirectoryWOBS(ExtractFileDir(Source)));
    f->SetFileName(ExtractFileName(Source));
    if (Local) f->SetNet(false);
    f->SetContainer(container.get());
  };
  add(Executable, false);
  // A pre-setup file named without a folder lies beside the setup program.
  const std::string home = ExtractFileDir(Executable);
  for (int i = 0; i < FPresetupFiles->Count(); ++i) {
    std::string line = FPresetupFiles->Get(i);
    if (ExtractFileDir(line).empty() && line.find(':') == std::string::npos) line = DirectoryWBS(home) + line;
    add(line, true);
  }
  container->Compress(CompressOptionBit(coForceOneFile) | CompressOptionBit(coForceNetFilesLocal));
  files.clear();
  container.reset();
  if (FOnAfterBuildSetup1) FOnAfterBuildSetup1(this);
}

void TCustomInstall::WriteCompressedFileList() {
  const std::string dir = DirectoryWBS(ExtractFileDir(GetArchiveFile())) + GetCompressSubDirectory();
  ForceDirectories(dir);
  std::vector<TCustomInstallFile*> listed;
  for (int i = 0; i < InstallFileList->Count(); ++i) {
    TCustomInstallFile* f = InstallFileList->Items(i);
    const TCompressAddedInfo added = f->CompressInfo().Added;
    if (added != ciAddedNewer && added != ciNotAddedNotNewer) continue;
    // A longer name or version would be cut and then match no file, or another.
    if (!lzh::FilePropInfoFits(f->Name(), f->Version())) throw IEInstall(SDoesNotFit, {f->Name(), f->Version()});
    listed.push_back(f);
  }
  TMemoryStream list;
  uint8_t count[4];
  lzh::PutI32(count, static_cast<int32_t>(listed.size()));
  list.WriteBuffer(count, sizeof count);
  for (TCustomInstallFile* f : listed) f->SavePropertiesToStream(&list);
  list.SaveToFile(dir + "\\filelist.lst");
}

void TCustomInstall::BuildSelfExtractor(const std::string& ExeName, const std::string& Setup1Name,
                                        const std::string& Files1Name) {
  if (FOnBeforeBuildSelfExtractor) FOnBeforeBuildSelfExtractor(this);
  {
    TFileStream out(ExeName, fmOpenReadWrite | fmShareDenyNone);
    out.Seek(0, soEnd);
    auto append = [&](const std::string& Name, int32_t& Start, int32_t& End) {
      TFileStream in(Name, fmOpenRead | fmShareDenyNone);
      const int64_t size = in.Size();
      const int64_t start = out.Position();
      // The trailer's offsets are signed 32-bit, and the trailer follows.
      if (start + size + static_cast<int64_t>(lzh::kTrailerSize) > INT32_MAX) throw IEInstall(STooLarge, {ExeName});
      if (CopyBytes(in, out, size, 1 << 20, false) != size) throw IEInstall(SCannotAppend, {Name, ExeName});
      Start = static_cast<int32_t>(start);
      End = static_cast<int32_t>(start + size - 1);
    };
    int32_t s1 = 0, e1 = 0, s2 = 0, e2 = 0;
    append(Setup1Name, s1, e1);
    if (FileExists(Files1Name)) append(Files1Name, s2, e2);
    uint8_t raw[lzh::kTrailerSize];
    lzh::EncodeTrailer(lzh::MakeSelfExtractInfo(s1, e1, s2, e2), raw);
    if (out.Write(raw, sizeof raw) != static_cast<int64_t>(sizeof raw))
      throw IEInstall(SCannotAppend, {Setup1Name, ExeName});
  }
  if (FOnAfterBuildSelfExtractor) FOnAfterBuildSelfExtractor(this);
}

// ------------------------------------------------------------------ *TODISK

namespace {
// The bare loader as setup.exe and setup.1 from the self-extracting File
// onto Drive; each is listed in OnDisk before it is made.
void CopyHeadToDisk(const std::string& File, const lzh::TSelfExtractInfo& T, const std::string& Drive,
                    std::vector<std::string>& OnDisk) {
  TFileStream in(File, fmOpenRead | fmShareDenyNone);
  if (in.Size() > INT32_MAX) throw IEInstall(STooLargeToCopy, {File});
  {
    OnDisk.push_back(Drive + "setup.exe");
    TFileStream out(Drive + "setup.exe", fmCreate);
    if (CopyBytes(in, out, T.Setup1StartOffset, 65536, false) != T.Setup1StartOffset) throw IEInstall(SNoRoomExe);
  }
  OnDisk.push_back(Drive + "setup.1");
  TFileStream out(Drive + "setup.1", fmCreate);
  const int64_t n = static_cast<int64_t>(T.Setup1EndOffset) - T.Setup1StartOffset + 1;
  in.Seek(T.Setup1StartOffset, soBeginning);
  if (CopyBytes(in, out, n, 8192, true) != n) throw IEInstall(SNoRoomSetup1);
}

// files.1 of File (QlntCompress points at it) onto disks in Drive, asking
// for each next one with the cursor Saved; OnDisk follows the disk in the
// drive. Status is the controller's progress event.
void CopyFilesToDisks(const std::string& File, const std::string& DestDrive, const std::string& Drive, TCursor Saved,
                      const TlzhFileStatsEvent& Status, std::vector<std::string>& OnDisk) {
  TScopeGuard unhook([] {
    QlntCompress->SetOnNewDisk(nullptr);
    QlntCompress->SetOnStatus(nullptr);
  });
  const std::vector<std::string> firstDisk{Drive + "setup.exe", Drive + "setup.1", Drive + "files.1"};
  QlntCompress->SetOnNewDisk([Saved, &OnDisk, &Drive, &firstDisk](TQlntCompress*, int32_t Disk, std::string&) {
    if (Screen) Screen->SetCursor(Saved);
    const int answer =
        EngineMessageBox(Format(TSE(SInsertDisk), {static_cast<long long>(Disk)}), EngineBoxCaption(), MB_OKCANCEL);
    if (Screen) Screen->SetCursor(crHourGlass);
    if (answer == IDCANCEL) throw IEInstall(SAborted);
    // Disk 1 comes back at the end for the final headers.
    OnDisk = Disk == 1 ? firstDisk : std::vector<std::string>{Drive + lzh::VolumeName("files.1", Disk)};
  });
  QlntCompress->SetOnStatus([&Status](TQlntCompress* S, const TlzhFileStats& St) {
    if (Status) Status(S, St);
    PumpMessages();
  });
  OnDisk.push_back(Drive + "files.1");
  PointQlntCompressAt(File);
  QlntCompress->CopyToDisk(DirectoryWOBS(DestDrive) + "\\", "files.1");
}
}  // namespace

void TCustomInstall::ProcessToDiskParam(const std::string& DestDrive) {
  const TCursor saved = Screen ? Screen->Cursor() : crDefault;
  if (Screen) Screen->SetCursor(crHourGlass);
  PumpMessages();
  bool failed = false;
  // What the copy wrote on the disk now in the drive: a failed copy takes
  // it away again, so that the drive holds no half-written disk set.
  std::vector<std::string> onDisk;
  try {
    FCalledBySelfExtracting = true;
    ReadLoadingInformation();
    const std::string file = GetArchiveFile();
    const lzh::TSelfExtractInfo t = ReadSelfExtractInfo(file);
    // Without the marker the last bytes are no trailer: the disks would be
    // cut at random places.
    if (!lzh::IsSelfExtracting(t)) throw IEInstall(SNotSelfExtracting, {file});
    const std::string drive = DirectoryWBS(DestDrive);
    if (t.Files1StartOffset > 0) {
      // files.1 is read whole before the first disk is written: a damaged
      // one fails here as an install from it would, with nothing written.
      SelfExtractArchive = file;
      SelfExtractOffset = t.Files1StartOffset;
      SelfExtractLast = t.Files1EndOffset;
      PointQlntCompressAt(file);
      QlntCompress->ReadInformation();
    }
    CopyHeadToDisk(file, t, drive, onDisk);
    if (t.Files1StartOffset > 0) CopyFilesToDisks(file, DestDrive, drive, saved, FOnMoveToFloppyStatus, onDisk);
  } catch (...) {
    failed = true;
    for (const std::string& written : onDisk) RemoveFile(written);
    ShowPlainMessage(MessageOf(std::current_exception()));
  }
  if (Screen) Screen->SetCursor(saved);
  PumpMessages();
  EndProgram(failed);
}
