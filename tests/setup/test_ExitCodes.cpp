// The setup program's exit code where a script reads it: a *BUILD or
// *TODISK that fails shows why and, once that is answered, ends with 1.
// (A build that succeeds ends with 0: the round-trip tests and the main job
// check that.)
#include <gtest/gtest.h>

#include "classlib/SysUtils.h"
#include "common/ForeignWindow.h"
#include "common/TestSupport.h"

using namespace testsupport;

TEST(SetupStart, FailedBuildOrDiskCopyEndsWithExitCodeOne) {
  ScratchFolder work("exitcode");
  const std::string program = CopyProgram("Quillant20.exe", work.Path(), "Quillant20.exe");
  WriteFileText(work("setup.exe"), std::string(200, 'x'));  // too short for its offsets
  WriteFileText(work("afile"), "");
  struct Case {
    const char* Arguments;
    const char* BuildInf;  // nullptr: none beside the program
    const char* Text;
  } cases[] = {
      {" *BUILD", nullptr, "Need to have a BUILD.INF file in this directory"},
      // The build folder would lie inside a file.
      {" *build", "afile\\dist", "Cannot create the build directory"},
      {" *TODISK setup.exe ", nullptr, "Could not read the extraction info from the archive file"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Arguments);
    RemoveFile(work("BUILD.INF"));
    if (c.BuildInf) WriteFileText(work("BUILD.INF"), work(c.BuildInf) + "\r\n");
    std::string arguments = c.Arguments;
    if (arguments.back() == ' ') arguments += work.Path();  // the loader's folder
    TChildProcess p("\"" + program + "\"" + arguments, work.Path());
    ASSERT_TRUE(p.Started());
    const TForeignBox box = AnswerForeignBox(p.Pid(), "Quillant32 2.5 Beta", 60000);
    ASSERT_TRUE(box.Found) << "no message box";
    EXPECT_NE(box.Text.find(c.Text), std::string::npos) << box.Text;
    EXPECT_EQ(p.Wait(30000), 1);
  }
}
