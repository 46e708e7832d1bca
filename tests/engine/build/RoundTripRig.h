// The build's round trip, shared by the build's tests and the README's
// examples: sources, a product folder with our loader (named in the current
// user's Delphi library path), a work folder with the setup program and its
// BUILD.INF, and the build folder; *BUILD there, then setup.exe as a user
// starts it.
#pragma once
#include <gtest/gtest.h>

#include <string>

#include <windows.h>

#include "classlib/SysUtils.h"
#include "common/TestSupport.h"
#include "foundation/archive/lzhFormat.h"
#include "foundation/routines/routines_Registry.h"

namespace buildtest {
using namespace testsupport;

inline const char* const Source = "C:\\qnt-roundtrip-src";

inline std::string Patterned(size_t N) {
  std::string s(N, '\0');
  for (size_t i = 0; i < N; ++i) s[i] = static_cast<char>((i * 7) ^ (i >> 9));
  return s;
}

// The sources, the product folder with our loader, the setup program with
// its BUILD.INF, and the build folder; all removed at the end.
struct TRoundTrip {
  const std::string Data = Patterned(300000), Readme = "read me\r\n";
  std::string Sources, Product, Work, Build, Dest;

  explicit TRoundTrip(const std::string& DestDir, const std::string& SourceDir = Source)
      : Sources(SourceDir), Dest(DestDir) {
    ForceDirectories(Sources);
    WriteFileText(Sources + "\\DATA.BIN", Data);
    WriteFileText(Sources + "\\README.TXT", Readme);
    Product = ScratchDir("rt-product");
    WriteFileText(Product + "\\Q32V25B0001.TXT", "");
    CopyProgram("QuillantLoadProgram.exe", Product, "QuillantLoadProgram.exe");
    WriteRVStr(hkCurrentUser, "\\Software\\Borland\\Delphi\\3.0\\Library", "SearchPath", Product);
    Work = ScratchDir("rt-work");
    Build = ScratchDir("rt build");  // blanks: the loader passes the folder in pieces
    WriteFileText(Work + "\\presetup.txt", "pre-setup file");
    WriteFileText(Work + "\\BUILD.INF", Build + "\r\nignored\r\n");
  }
  ~TRoundTrip() {
    RemoveTree(Dest);
    RemoveTree(Sources);
    RemoveTree(Work);
    RemoveTree(Build);
    RemoveTree(Product);
  }

  // *BUILD with a copy of Program; the trailer of the setup.exe it wrote.
  lzh::TSelfExtractInfo BuildDistribution(const std::string& Program = "qnt_build_module.exe",
                                          const std::string& As = "Quillant20.exe") {
    const std::string program = CopyProgram(Program, Work, As);
    EXPECT_EQ(RunAndWait("\"" + program + "\" *BUILD", Work, 120000), 0);
    const std::string exe = ReadFileText(Build + "\\setup.exe");
    if (exe.size() <= lzh::kTrailerSize) return {};
    const lzh::TSelfExtractInfo t =
        lzh::DecodeTrailer(reinterpret_cast<const uint8_t*>(exe.data() + exe.size() - lzh::kTrailerSize));
    EXPECT_TRUE(lzh::IsSelfExtracting(t));
    EXPECT_EQ(exe.substr(static_cast<size_t>(t.Setup1StartOffset),
                         static_cast<size_t>(t.Setup1EndOffset - t.Setup1StartOffset + 1)),
              ReadFileText(Build + "\\setup.1"));
    return t;
  }

  // The user's side: only setup.exe, started from the distribution folder;
  // the installed bytes equal the sources.
  void InstallAndCompare() {
    ASSERT_EQ(RunAndWait("\"" + Build + "\\setup.exe\"", Build, 120000), 0);
    // The loader does not wait for the setup program: wait for its work.
    for (int i = 0; i < 600 && !FileExists(Dest + "\\README.TXT"); ++i) Sleep(100);
    Sleep(500);
    EXPECT_TRUE(ReadFileText(Dest + "\\DATA.BIN") == Data);
    EXPECT_EQ(ReadFileText(Dest + "\\README.TXT"), Readme);
  }
};

}  // namespace buildtest
