// The setup program's command line: the switch of the first argument and the
// loader's arguments, as the loader and the continuation pass them.
#include <gtest/gtest.h>

#include "engine/cmp_TInstall.h"
#include "foundation/translator/cmp_TTranslator.h"

namespace {
using Args = std::vector<std::string>;
}

TEST(ControllerCommandLine, SwitchDispatch) {
  struct Case {
    Args params;
    TStartSwitch expected;
  };
  using enum TStartSwitch;
  const Case cases[] = {
      {{}, ssNone},
      {{"*build"}, ssBuild},
      {{"*Build", "x"}, ssBuild},
      {{"*BUILD"}, ssBuild},
      {{"*todisk", "setup.exe", "A:"}, ssToDisk},
      {{"*aBoot", "*SELFEXTRACT"}, ssABoot},
      {{"*SELFEXTRACT", "setup.exe", "C:\\dist"}, ssSelfExtract},
      {{"*NOTSELFEXTRACT", "setup.exe", "C:\\dist"}, ssNone},
      {{"*"}, ssNone},                 // a lone star is too short to be a switch
      {{"BUILD"}, ssNone},             // no star
      {{"C:\\dist", "*BUILD"}, ssNone},  // only the first argument is looked at
      {{"**BUILD"}, ssNone},
  };
  for (const Case& c : cases) {
    std::string shown;
    for (const auto& a : c.params) shown += a + " ";
    EXPECT_EQ(StartSwitch(c.params), c.expected) << shown;
  }
}

TEST(ControllerCommandLine, LoaderArguments) {
  struct Case {
    Args params;
    size_t first;
    bool developer;
    const char* error;  // nullptr: no error
    const char* loader;
    const char* source;
  };
  const Case cases[] = {
      // An ordinary start: "*<MODE> <loader> <folder ...>".
      {{}, 1, true, SNoLoaderName, "", ""},
      {{"C:\\dev\\dist"}, 1, true, nullptr, "", "C:\\dev\\dist"},
      {{"*SELFEXTRACT", "setup.exe"}, 1, true, SNoSourceDir, "", ""},
      {{"*SELFEXTRACT", "setup.exe", "C:\\dist"}, 1, true, nullptr, "setup.exe", "C:\\dist"},
      {{"*NOTSELFEXTRACT", "setup.exe", "C:\\Program", "Files\\My", "Dist"}, 1, true, nullptr, "setup.exe",
       "C:\\Program Files\\My Dist"},
      // The run after the restart: "*ABOOT *<MODE> <loader> <folder ...>".
      {{"*ABOOT", "*SELFEXTRACT"}, 2, false, SNoLoaderName, "", ""},
      {{"*ABOOT", "*SELFEXTRACT", "setup.exe"}, 2, false, SNoSourceDir, "", ""},
      {{"*ABOOT", "*NOSELFEXTRACT", "Quillant20.exe", "C:\\a", "b"}, 2, false, nullptr, "Quillant20.exe", "C:\\a b"},
  };
  for (const Case& c : cases) {
    std::string shown;
    for (const auto& a : c.params) shown += a + " ";
    if (c.error) {
      try {
        ReadLoaderArguments(c.params, c.first, c.developer);
        ADD_FAILURE() << "no error for " << shown;
      } catch (const IEInstall& e) {
        EXPECT_EQ(e.Message, c.error) << shown;
      }
      continue;
    }
    TLoaderArguments a = ReadLoaderArguments(c.params, c.first, c.developer);
    EXPECT_EQ(a.LoaderFile, c.loader) << shown;
    EXPECT_EQ(a.SourceDir, c.source) << shown;
  }
}

TEST(ControllerCommandLine, JobsSplitAtTheLastSemicolon) {
  struct Case {
    const char* line;
    bool ok;
    const char* data;
    int command;
  };
  const Case cases[] = {
      {"Install1;0", true, "Install1", 0},
      {"C:\\odd;name\\file.bat;1", true, "C:\\odd;name\\file.bat", 1},
      {"C:\\file.dll;", false, "", 0},
      {"C:\\file.dll;one", false, "", 0},
      {"no separator", false, "", 0},
      {";7", true, "", 7},
  };
  for (const Case& c : cases) {
    std::string data;
    int command = -1;
    EXPECT_EQ(SplitUnfinishedJob(c.line, data, command), c.ok) << c.line;
    if (!c.ok) continue;
    EXPECT_EQ(data, c.data) << c.line;
    EXPECT_EQ(command, c.command) << c.line;
  }
}

TEST(ControllerCommandLine, ContinuationLineQuotesTheProgramOnly) {
  EXPECT_EQ(ContinuationLine("C:\\Temp\\qnt1.tmp\\Quillant20.exe", true, "D:\\Setup Files\\setup.exe"),
            "\"C:\\Temp\\qnt1.tmp\\Quillant20.exe\" *ABOOT *SELFEXTRACT setup.exe D:\\Setup Files");
  EXPECT_EQ(ContinuationLine("C:\\My Dist\\Quillant20.exe", false, "A:\\setup.exe"),
            "\"C:\\My Dist\\Quillant20.exe\" *ABOOT *NOSELFEXTRACT setup.exe A:");
  // The line reads back through the program's own argument rules.
  std::vector<std::string> back = SplitCommandLine(
      ContinuationLine("C:\\My Dist\\Quillant20.exe", false, "C:\\My Dist\\QuillantLoadProgram.exe"));
  ASSERT_EQ(back.size(), 6u);
  EXPECT_EQ(back[0], "C:\\My Dist\\Quillant20.exe");
  back.erase(back.begin());
  EXPECT_EQ(StartSwitch(back), TStartSwitch::ssABoot);
  TLoaderArguments a = ReadLoaderArguments(back, 2, false);
  EXPECT_EQ(a.LoaderFile, "QuillantLoadProgram.exe");
  EXPECT_EQ(a.SourceDir, "C:\\My Dist");
}
