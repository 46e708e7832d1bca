// What the Windows tests share: where the build's programs are, scratch
// folders, starting programs and the Windows version Wine reports to them.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct HWND__;

namespace testsupport {

// The texts of a window's static children (a message box's message), one line each.
std::string StaticTexts(HWND__* Window);
// The visible dialog boxes (class "#32770") of process Pid, in the system's
// window order.
std::vector<HWND__*> VisibleDialogsOf(uint32_t Pid);

// The folder of the running test program (where every built program lies),
// without a trailing backslash.
std::string BinDir();
// The Unix path of a Windows path (for pictures and Unix programs); "" when
// Wine cannot tell it.
std::string UnixPathOf(const std::string& WindowsPath);
// The temporary directory, with its trailing backslash.
std::string TempDir();
// The names of the files that a wildcard pattern (a folder and a name with
// * and ?) finds, in the order the system lists them.
std::vector<std::string> FileNamesMatching(const std::string& Pattern);
// A new, empty folder under the temporary directory; its name starts with Tag.
std::string ScratchDir(const std::string& Tag);
void RemoveTree(const std::string& Dir);
// A scratch folder (ScratchDir) that removes itself, with all it holds, when
// it goes out of scope. S("name") is the path of a file in it.
class ScratchFolder {
public:
  explicit ScratchFolder(const std::string& Tag) : FPath(ScratchDir(Tag)) {}
  ~ScratchFolder() { RemoveTree(FPath); }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::string& Path() const { return FPath; }
  std::string operator()(const std::string& Name) const { return FPath + "\\" + Name; }

private:
  std::string FPath;
};
std::string ReadFileText(const std::string& Path);
void WriteFileText(const std::string& Path, const std::string& Text);
std::vector<std::string> ReadLines(const std::string& Path);
// Copies a built program to Dir under NewName; returns the new path.
std::string CopyProgram(const std::string& Program, const std::string& Dir, const std::string& NewName);
// Starts CommandLine (as given to the system), waits at most TimeoutMs, and
// returns its exit code; -1 when it could not start, -2 on time-out (killed).
long RunAndWait(const std::string& CommandLine, const std::string& WorkDir = "", uint32_t TimeoutMs = 60000);
// Makes Wine report Version ("win95", "nt351", "nt40", "win7", ...) to every
// program of that file name (HKCU\Software\Wine\AppDefaults\<name>\Version).
void SetReportedWindowsVersion(const std::string& ExeFileName, const std::string& Version);

// While alive, watches for dialog boxes (message boxes and the like) of this
// process, records their caption and text, and closes each by its OK (or
// Cancel) button: for code under test that shows a box and waits.
class DialogWatcher {
public:
  struct Seen {
    std::string Caption;
    std::string Text;
  };
  DialogWatcher();
  ~DialogWatcher();
  DialogWatcher(const DialogWatcher&) = delete;
  DialogWatcher& operator=(const DialogWatcher&) = delete;
  std::vector<Seen> Dialogs() const;

private:
  struct State;
  State* FState;
};

}  // namespace testsupport
