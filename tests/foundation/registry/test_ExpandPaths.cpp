#include <gtest/gtest.h>

#include "classlib/Registry.h"
#include "foundation/routines/routines_API.h"
#include "foundation/routines/routines_ExpandPaths.h"
#include "foundation/routines/routines_Registry.h"
#include "foundation/routines/routines_Strings.h"

namespace {
const char* const ShellFolders = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char* const CurrentVersion = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion";

std::string Reg(TRootKeys root, const char* key, const char* ident) {
  return DirectoryWOBS(GetRVStr(root, key, ident, "<missing>"));
}

class FakeObject : public TDestinationSource {
public:
  FakeObject(std::string dir, FakeObject* container) : Dir(std::move(dir)), Container(container) {}
  std::string GetDestDir() override { return Dir; }
  TDestinationSource* DestinationContainer() const override { return Container; }
  std::string Dir;
  FakeObject* Container;
};

FakeObject* MainForTest = nullptr;
TDestinationSource* MainHook() { return MainForTest; }
}  // namespace

TEST(ExpandDirs, ComeFromWinesShellFoldersAndCurrentVersion) {
  // A fresh prefix has every value; the routines give them without a
  // trailing backslash.
  EXPECT_EQ(ExpandStartMenuDir(), Reg(hkCurrentUser, ShellFolders, "Start Menu"));
  EXPECT_EQ(ExpandProgramMenuDir(), Reg(hkCurrentUser, ShellFolders, "Programs"));
  EXPECT_EQ(ExpandDesktopDir(), Reg(hkCurrentUser, ShellFolders, "Desktop"));
  EXPECT_EQ(ExpandFontDir(), Reg(hkCurrentUser, ShellFolders, "Fonts"));
  EXPECT_EQ(ExpandStartupMenuDir(), Reg(hkCurrentUser, ShellFolders, "Startup"));
  EXPECT_EQ(ExpandProgramFilesDir(), Reg(hkLocalMachine, CurrentVersion, "ProgramFilesDir"));
  EXPECT_EQ(ExpandCommonFilesDir(), Reg(hkLocalMachine, CurrentVersion, "CommonFilesDir"));
  for (const std::string& d : {ExpandStartMenuDir(), ExpandProgramMenuDir(), ExpandDesktopDir(), ExpandFontDir(),
                               ExpandStartupMenuDir(), ExpandProgramFilesDir(), ExpandCommonFilesDir()}) {
    ASSERT_FALSE(d.empty());
    EXPECT_NE(d.back(), '\\') << d;
    EXPECT_NE(d.find("<missing>"), 0u) << d;
  }
}

TEST(ExpandPath, EveryLetterInBothCasesPercentSignsAndUnknownLetters) {
  struct Row {
    char letter;
    std::string folder;
  } rows[] = {{'w', WindowsDir},
              {'s', SystemDir},
              {'p', ExpandProgramFilesDir()},
              {'f', ExpandCommonFilesDir()},
              {'b', ExpandProgramMenuDir()},
              {'d', ExpandDesktopDir()},
              {'m', ExpandStartMenuDir()}};
  for (const Row& r : rows) {
    std::string lower = std::string("%") + r.letter + "\\Fonts";
    std::string upper = std::string("%") + static_cast<char>(r.letter - 'a' + 'A') + "\\Fonts";
    EXPECT_EQ(ExpandPath(lower, nullptr), r.folder + "\\Fonts") << lower;
    EXPECT_EQ(ExpandPath(upper, nullptr), r.folder + "\\Fonts") << upper;
  }
  EXPECT_EQ(ExpandPath("100%% sure", nullptr), "100% sure");
  EXPECT_EQ(ExpandPath("%%w", nullptr), "%w");
  EXPECT_EQ(ExpandPath("a%xb%Zc%1d", nullptr), "abcd");
  // A character of several bytes after the percent sign goes whole.
  EXPECT_EQ(ExpandPath("a%\xC3\xA9" "b%\xE2\x82\xAC" "c", nullptr), "abc");
  EXPECT_EQ(ExpandPath("end%", nullptr), "end");
  EXPECT_EQ(ExpandPath("%", nullptr), "");
  EXPECT_EQ(ExpandPath("", nullptr), "");
  EXPECT_EQ(ExpandPath("plain\\path", nullptr), "plain\\path");
  // The fonts and startup folders have no letter of their own.
  EXPECT_EQ(ExpandPath("%t%u", nullptr), "");
}

TEST(ExpandPath, ComponentContainerAndControllerFolders) {
  FakeObject main("C:\\Main\\", nullptr);
  FakeObject group("D:\\Group", &main);
  FakeObject file("D:\\Group\\Sub\\", &group);
  EXPECT_EQ(ExpandPath("%a\\x.dll", &file), "D:\\Group\\Sub\\x.dll");
  EXPECT_EQ(ExpandPath("%C\\x.dll", &file), "D:\\Group\\x.dll");
  EXPECT_EQ(ExpandPath("%c", &group), "C:\\Main");
  auto saved = MainInstallDestination;
  MainInstallDestination = MainHook;
  MainForTest = nullptr;
  try {
    ExpandPath("%i\\x", &file);
    ADD_FAILURE() << "no exception";
  } catch (const EAICannotExpandInstallDirMV& e) {
    EXPECT_EQ(e.Message, "Cannot expand the %i meta variable because there is no TInstall component");
  }
  MainForTest = &main;
  EXPECT_EQ(ExpandPath("%I\\x", nullptr), "C:\\Main\\x");
  MainInstallDestination = saved;
  try {
    ExpandPath("%a", nullptr);
    ADD_FAILURE() << "no exception";
  } catch (const EAICannotExpandContainerDirMV& e) {
    EXPECT_EQ(e.Message, "Cannot expand the %a meta variable because the component is Nil");
  }
  try {
    ExpandPath("x%c", nullptr);
    ADD_FAILURE() << "no exception";
  } catch (const EAICannotExpandContainerDirMV& e) {
    EXPECT_EQ(e.Message, "Cannot expand the %c meta variable because the component is Nil");
  }
  try {
    ExpandPath("%c", &main);
    ADD_FAILURE() << "no exception";
  } catch (const EAICannotExpandContainerDirMV& e) {
    EXPECT_EQ(e.Message, "Cannot expand the %c meta variable because the Container property is Nil");
  }
  // A doubled percent sign is no variable: nothing is looked up.
  EXPECT_EQ(ExpandPath("%%a%%c%%i", nullptr), "%a%c%i");
}

TEST(ExtractFileDrive, LettersAndShares) {
  EXPECT_EQ(ExtractFileDrive("C:\\Windows"), "C:");
  EXPECT_EQ(ExtractFileDrive("d:"), "d:");
  EXPECT_EQ(ExtractFileDrive("\\\\server\\share\\dir\\f"), "\\\\server\\share");
  EXPECT_EQ(ExtractFileDrive("\\\\server\\share"), "\\\\server\\share");
  EXPECT_EQ(ExtractFileDrive("\\dir"), "");
  EXPECT_EQ(ExtractFileDrive("rel"), "");
}
