// The private copy of a file being installed. The new file is written beside
// its destination under a name of the run's own (InstallPartName with the
// process id and a counter, "x.dll.~qnt1a2c-3") and takes its real name in
// one step only when whole: a run that is stopped or killed midway leaves no
// cut-off file under the real name, and the old file stays until the new
// one is complete. Nothing is flushed to the disk before the rename, so a
// power cut is not covered. The copy is made (and so reserved) before it is
// written and keeps its name until the rename; a run removes only copies
// whose run has ended, never a running setup's.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

class TPrivateCopy {
public:
  // What became of the copy.
  enum TOutcome {
    pcInPlace,    // it took the destination's name
    pcAtRestart,  // the old file is in use: the copy waits under NumberedName for the restart
    pcSkipped,    // the writer left the file as it stands (a handler skipped it)
    pcQuietEnd,   // the writer ended quietly: nothing changed
  };
  // How the writer ended: the copy whole, nothing written by choice, or a
  // quiet end (nothing written).
  enum TWritten { wrWhole, wrSkipped, wrQuietEnd };
  // Given the copy's handle once it is whole and dated, still open and with
  // the right to delete it: gives the copy its real name through it at once,
  // where it can, which saves opening it again.
  using TPlacer = std::function<void(void* Handle)>;
  // Writes the copy, the file PrivateName in the destination's folder, and
  // passes its handle to Place when it is whole; what it left of a copy
  // it did not finish, it removed.
  using TWriter = std::function<TWritten(const std::string& PrivateName, const TPlacer& Place)>;

  // The copy of Dir\Name; Component names the install file in messages;
  // RunStart is the moment the setup's run began (0 outside a run).
  TPrivateCopy(std::string Dir, std::string Name, std::string Component, double RunStart);
  // Ends the copy: whatever of it took no name goes.
  ~TPrivateCopy();
  TPrivateCopy(const TPrivateCopy&) = delete;
  TPrivateCopy& operator=(const TPrivateCopy&) = delete;

  // Clears what ended runs left of the file, then writes the copy and puts
  // it in place. A copy that another program took away before it took its
  // name is written again; when that keeps happening the install fails
  // naming the file. A file put in place (now or at the restart) is kept
  // there: a deletion of it or of its folders waiting for the restart is
  // withdrawn (KeepInPlace).
  TOutcome Install(const TWriter& Write);
  // The numbered name (Name's extension replaced by a number) under which the
  // copy waits for the restart (pcAtRestart).
  const std::string& NumberedName() const { return FNumbered; }
  std::string Destination() const;

  // Removes the private copies of Dir\Name that ended runs left. Within one
  // run (RunStart not 0) a folder is looked through once, at its first file:
  // the copies of runs that had ended then; one that ends while this run goes
  // on leaves its copies to the next run and the uninstaller.
  static void RemoveLeftovers(const std::string& Dir, const std::string& Name, double RunStart);
  // Withdraws the deletions of Path and of its folders that wait for the
  // next restart (an uninstall of the product before this setup scheduled
  // them): the file the setup puts or keeps there stays. When one cannot
  // be withdrawn the install fails, naming Component and the file.
  static void KeepInPlace(const std::string& Path, const std::string& Component);

private:
  enum TPlaced { plInPlace, plNumbered, plVanished };
  // Renames the file of Handle (opened with the right to delete it), or
  // From, to To, replacing a file that stands there, in one step.
  // ERROR_SUCCESS or the system's error.
  static unsigned long RenameThrough(void* Handle, const std::string& To);
  static unsigned long RenameReplacing(const std::string& From, const std::string& To);
  TPlaced PutInPlace();
  std::string Path(const std::string& Name) const;
  [[noreturn]] void Fail(const std::string& Reason);

  std::string FDir, FName, FComponent;
  double FRunStart;
  std::string FPart;  // the copy this run holds now, none once it took a name
  std::string FNumbered;
};

// Seams for tests. NewInstallPart gives the name of the private copy of
// Dir\Name, one of this run's own. PrivateCopyWritten, when set, is called
// with the copy's full path between its writing and its renaming; the copy
// is then closed before it is renamed, as when its renaming through its own
// handle failed.
extern std::function<std::string(const std::string& Dir, const std::string& Name)> NewInstallPart;
extern std::function<void(const std::string& Path)> PrivateCopyWritten;
