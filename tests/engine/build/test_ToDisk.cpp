// The copy of a self-extracting setup onto disks (*TODISK), and the 2 GB
// bound that it and the build keep for setup.exe.
#include <gtest/gtest.h>

#include <windows.h>

#include "classlib/SysUtils.h"
#include "classlib/WinText.h"
#include "common/TestSupport.h"
#include "engine/build/BuildRig.h"
#include "foundation/archive/archive_test_util.h"
#include "foundation/archive/lzhFormat.h"

using namespace testsupport;
using namespace buildtest;

namespace {
// The command line of a disk copy from Dist while it lives.
struct TToDiskCommandLine {
  decltype(InstallParams) Saved = InstallParams;
  explicit TToDiskCommandLine(const std::string& Dist) {
    Folder() = Dist;
    InstallParams = [] { return std::vector<std::string>{"*TODISK", "setup.exe", Folder()}; };
  }
  ~TToDiskCommandLine() { InstallParams = Saved; }
  static std::string& Folder() {
    static std::string dist;
    return dist;
  }
};
}  // namespace

TEST(Build, ToDiskCopiesTheLoaderSetupOneAndFilesOne) {
  TRig rig;
  const std::string product = MakeProductFolder();
  const std::string out = ScratchDir("todisk-dist");
  const std::string disk = ScratchDir("todisk-a");
  rig.AddFile("A.TXT", std::string(3000, 'a'), "FileA");
  const std::string setupProgram = rig.Source + "\\Quillant20.exe";
  WriteFileText(setupProgram, "MZ setup program");
  rig.Install->BuildDistributables(setupProgram, out, true);
  TShownMessages messages;
  std::vector<std::string>& shown = messages.Shown;
  TToDiskCommandLine commandLine(out);
  rig.Install->ProcessToDiskParam(disk);
  EXPECT_EQ(shown, Names());
  const std::string exe = Bytes(out + "\\setup.exe");
  EXPECT_EQ(Bytes(disk + "\\setup.exe"), Bytes(product + "\\QuillantLoadProgram.exe"));
  EXPECT_EQ(Bytes(disk + "\\setup.1"), Bytes(out + "\\setup.1"));
  EXPECT_EQ(Entries(disk + "\\files.1"), Names({"A.TXT"}));

  // files.1 is read whole before the first disk is written: with its range
  // cut in the last entry, the message is extraction's, and the disk holds
  // nothing of the copy.
  std::string cut = exe;
  uint8_t* end = reinterpret_cast<uint8_t*>(cut.data()) + cut.size() - lzh::kTrailerSize + 28;
  lzh::PutI32(end, lzh::GetI32(end) - 10);
  WriteFileText(out + "\\setup.exe", cut);
  RemoveTree(disk);
  ForceDirectories(disk);
  rig.Install->ProcessToDiskParam(disk);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0], "The compressed data of the following file is incomplete: " + rig.Source +
                          "\\A.TXT in the archive " + out + "\\setup.exe");
  for (const char* name : {"setup.exe", "setup.1", "files.1"}) EXPECT_FALSE(FileExists(disk + "\\" + name)) << name;
  shown.clear();

  // A file without the marker is refused with one message.
  std::string unmarked = exe;
  unmarked[exe.size() - lzh::kTrailerSize + 1] = 's';  // "sELFEXTRACTING"
  WriteFileText(out + "\\setup.exe", unmarked);
  RemoveFile(disk + "\\setup.exe");
  rig.Install->ProcessToDiskParam(disk);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_NE(shown[0].find("is not a self-extracting setup file"), std::string::npos);
  EXPECT_FALSE(FileExists(disk + "\\setup.exe"));
  RemoveTree(out);
  RemoveTree(disk);
  RemoveTree(product);
}

namespace {
// Grows a file to Size bytes without writing them (a sparse file on the
// host), then writes Tail at its new end.
void GrowSparse(const std::string& Path, int64_t Size, const std::string& Tail = "") {
  HANDLE h = CreateFileA(Path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE) << Path;
  LARGE_INTEGER at;
  at.QuadPart = Size;
  EXPECT_TRUE(SetFilePointerEx(h, at, nullptr, FILE_BEGIN) && SetEndOfFile(h));
  DWORD n = 0;
  if (!Tail.empty()) {
    EXPECT_TRUE(WriteFile(h, Tail.data(), static_cast<DWORD>(Tail.size()), &n, nullptr));
  }
  CloseHandle(h);
}
}  // namespace

// The trailer's offsets are signed 32-bit: neither the build nor the disk copy
// takes a setup.exe past 2^31-1 bytes.
TEST(Build, SetupExePastTwoGigabytesRefused) {
  TRig rig;
  const std::string product = MakeProductFolder();
  const std::string out = ScratchDir("huge");
  const std::string disk = ScratchDir("huge-a");
  rig.AddFile("A.TXT", "aaaa", "FileA");
  const std::string setupProgram = rig.Source + "\\Quillant20.exe";
  WriteFileText(setupProgram, "MZ setup program");
  rig.Install->BuildDistributables(setupProgram, out, true);
  const std::string exe = Bytes(out + "\\setup.exe");
  const int64_t twoGB = int64_t{1} << 31;

  // files.1 grown so that setup.exe would end one byte past the limit.
  // The build writes into its stage until all is whole.
  const std::string stage = out + "\\build.partial";
  rig.Install->SetOnAfterBuildFiles1([&](TObject*) {
    const int64_t head =
        static_cast<int64_t>(Bytes(product + "\\QuillantLoadProgram.exe").size() + Bytes(stage + "\\setup.1").size());
    GrowSparse(stage + "\\files.1", twoGB - head - static_cast<int64_t>(lzh::kTrailerSize));
  });
  try {
    rig.Install->BuildDistributables(setupProgram, out, true);
    ADD_FAILURE() << "a setup.exe of 2 GB was built";
  } catch (const IEInstall& e) {
    EXPECT_NE(e.Message.find("beyond 2 GB"), std::string::npos) << e.Message;
  }
  EXPECT_TRUE(Bytes(out + "\\setup.exe") == exe);
  EXPECT_FALSE(DirectoryExists(stage));

  // A setup.exe whose trailer sits past 2 GB: its offsets still fit, the
  // file does not; nothing reaches the disk.
  WriteFileText(out + "\\setup.exe", exe.substr(0, exe.size() - lzh::kTrailerSize));
  GrowSparse(out + "\\setup.exe", twoGB, exe.substr(exe.size() - lzh::kTrailerSize));
  TShownMessages messages;
  std::vector<std::string>& shown = messages.Shown;
  TToDiskCommandLine commandLine(out);
  rig.Install->ProcessToDiskParam(disk);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_NE(shown[0].find("is larger than 2 GB"), std::string::npos) << shown[0];
  EXPECT_FALSE(FileExists(disk + "\\setup.exe"));
  RemoveTree(out);
  RemoveTree(disk);
  RemoveTree(product);
}

namespace {
class TFloppyCompress : public TQlntCompress {
public:
  using TQlntCompress::TQlntCompress;

protected:
  TStream* CreateVolume(const std::string& Name) override { return new archtest::TSmallVolume(Name, 64 * 1024); }
};

// Moves every file of From into To.
void MoveAll(const std::string& From, const std::string& To) {
  ForceDirectories(To);
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA((From + "\\*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return;
  do {
    if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
      EXPECT_TRUE(MoveFileA((From + "\\" + fd.cFileName).c_str(), (To + "\\" + fd.cFileName).c_str()));
    }
  } while (FindNextFileA(h, &fd));
  FindClose(h);
}

// Maps drive Letter to the folder Dir, as Wine does: a link in the prefix's
// dosdevices, made by the host's ln, which Wine starts like any program (but
// gives no handle to wait on: the drive is watched until it shows Dir).
bool MapDrive(char Letter, const std::string& Dir) {
  using TUnixName = char*(CDECL*)(const wchar_t*);
  auto unixName = reinterpret_cast<TUnixName>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32"), "wine_get_unix_file_name")));
  char prefix[MAX_PATH];
  if (!unixName || !GetEnvironmentVariableA("WINEPREFIX", prefix, MAX_PATH)) return false;
  char* target = unixName(Widen(Dir).c_str());
  if (!target) return false;
  const std::string link = std::string(prefix) + "/dosdevices/" + static_cast<char>(tolower(Letter)) + ":";
  WriteFileText(Dir + "\\drive.probe", "");
  RunAndWait("/bin/ln -sfn " + std::string(target) + " " + link, "", 30000);
  HeapFree(GetProcessHeap(), 0, target);
  const std::string probe = std::string(1, Letter) + ":\\drive.probe";
  for (int i = 0; i < 300 && !FileExists(probe); ++i) Sleep(100);
  const bool mapped = FileExists(probe);
  RemoveFile(Dir + "\\drive.probe");
  return mapped;
}
}  // namespace

// *TODISK onto drive a:, disks of 64 KB: files.1 spreads over three disks;
// each prompt is answered by changing the disk (the drive's files go to
// that disk's shelf, the asked disk's come back), and the set reads back.
TEST(Build, ToDiskSpreadsFilesOneOverTheDisksInDriveA) {
  TRig rig;
  const std::string product = MakeProductFolder();
  const std::string out = ScratchDir("floppy-dist");
  const std::string drive = ScratchDir("floppy-drive");
  const std::string shelf = ScratchDir("floppy-shelf");
  std::string noise(150000, '\0');
  uint32_t x = 7;
  for (char& c : noise) c = static_cast<char>((x = x * 1103515245u + 12345u) >> 24);
  rig.AddFile("A.BIN", noise, "FileA");
  rig.AddFile("B.TXT", "bbb", "FileB");
  const std::string setupProgram = rig.Source + "\\Quillant20.exe";
  WriteFileText(setupProgram, "MZ setup program");
  rig.Install->BuildDistributables(setupProgram, out, true);
  ASSERT_TRUE(MapDrive('a', drive));

  TFloppyCompress floppy(nullptr);
  TQlntCompress* const global = QlntCompress;
  QlntCompress = &floppy;
  auto savedBox = EngineMessageBox;
  TToDiskCommandLine commandLine(out);
  std::vector<std::string> shown;
  int inDrive = 1, cancelAt = 0;
  EngineMessageBox = [&](const std::string& Text, const std::string& Caption, unsigned) {
    shown.push_back(Text);
    // Every box has a caption: the program's title.
    EXPECT_FALSE(Caption.empty()) << Text;
    int wanted = 0;
    if (sscanf(Text.c_str(), "Please insert disk %d", &wanted) != 1) return IDOK;
    if (wanted == cancelAt) return IDCANCEL;
    MoveAll(drive, shelf + "\\" + std::to_string(inDrive));
    MoveAll(shelf + "\\" + std::to_string(wanted), drive);
    inDrive = wanted;
    return IDOK;
  };
  rig.Install->ProcessToDiskParam("a:");
  MoveAll(drive, shelf + "\\" + std::to_string(inDrive));
  // Disk 1 again at the end: its headers are written last.
  EXPECT_EQ(shown, Names({"Please insert disk 2", "Please insert disk 3", "Please insert disk 1"}));
  EXPECT_EQ(Bytes(shelf + "\\1\\setup.exe"), Bytes(product + "\\QuillantLoadProgram.exe"));
  EXPECT_EQ(Bytes(shelf + "\\1\\setup.1"), Bytes(out + "\\setup.1"));
  for (int d = 1; d <= 3; ++d)
    EXPECT_TRUE(FileExists(shelf + "\\" + std::to_string(d) + "\\files." + std::to_string(d))) << d;
  TQlntCompress reader(nullptr);
  reader.SetOnNewDisk([&](TQlntCompress*, int32_t Disk, std::string& Path) {
    Path = shelf + "\\" + std::to_string(Disk);
  });
  reader.SetCompressedFile(shelf + "\\1\\files.1");
  reader.SetExtractDirectory(shelf + "\\out");
  reader.FilesToProcess()->Add(rig.Source + "\\A.BIN");
  reader.FilesToProcess()->Add(rig.Source + "\\B.TXT");
  reader.Extract();
  EXPECT_TRUE(Bytes(shelf + "\\out\\A.BIN") == noise);
  EXPECT_EQ(Bytes(shelf + "\\out\\B.TXT"), "bbb");

  // Cancel at the second disk: the one message that says so.
  shown.clear();
  inDrive = 1;
  cancelAt = 2;
  rig.Install->ProcessToDiskParam("a:");
  EXPECT_EQ(shown, Names({"Please insert disk 2", "Aborted by user"}));
  // The first disk, still in the drive, holds no half of a set.
  for (const char* name : {"setup.exe", "setup.1", "files.1"}) EXPECT_FALSE(FileExists(drive + "\\" + name)) << name;
  QlntCompress = global;
  EngineMessageBox = savedBox;
  RemoveTree(out);
  RemoveTree(drive);
  RemoveTree(shelf);
  RemoveTree(product);
}
