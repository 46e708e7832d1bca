// The install controller's unit: the setup key that keeps a run's state
// across a restart, the continuation command that brings the setup program
// back after the restart, and the command line the loader hands over.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "classlib/Classes.h"
#include "classlib/DateUtils.h"
#include "engine/cmp_TInstallContainer.h"
#include "foundation/routines/routines_Registry.h"

// ------------------------------------------------------------ the setup key
//
// HKEY_LOCAL_MACHINE\SOFTWARE\Quillant\Install\Install<n>: Path (string),
// CreationDate and LastRunDate (8-byte binary date-times), Size (32-bit),
// Language (32-bit, the wizard language's ordinal), a subkey Unfinished with
// one string value per job (name = the job's data, value = its command as
// decimal text) and one subkey per downloaded archive (LocalFile). A key
// belongs to the program file whose date and size equal CreationDate and
// Size exactly; its path is never compared.

inline constexpr const char* InstallListKey = "\\SOFTWARE\\Quillant\\Install";
inline constexpr TRootKeys InstallListRootKey = hkLocalMachine;
// The continuation command's value name under RunOnce.
inline constexpr const char* ContinuationValueName = "QuillantUnfinished";

extern const char* const SCannotReadUnfinished;  // "The TInstall could not either write or read ..."
extern const char* const SCannotRegisterRunOnce;
extern const char* const SInvalidUnfinishedEntry;  // "... unfinished install list %s"

// Date (as a date-time, local time) and size of a program file; false when
// the file cannot be read.
bool ReadProgramFileStamp(const std::string& Path, TDateTime& Date, int32_t& Size);

// Finds the key of ProgramPath (by its date and size) and refreshes its Path
// and LastRunDate; with Create, makes the first free Install<n> when none
// matches. Returns the key's path ("\SOFTWARE\Quillant\Install\Install<n>")
// or empty when there is none or the registry refuses.
std::string FindSetupKey(const std::string& ProgramPath, TDateTime LastRunDate, bool Create);
// Removes Key: each subkey (deleting the file its LocalFile names), the key,
// then the Install and Quillant keys above it when they are left empty.
void DeleteSetupKey(const std::string& Key);
// Language: written when a translator exists; read back as 0..15, false
// otherwise.
void WriteSetupKeyLanguage(const std::string& Key);
bool ReadSetupKeyLanguage(const std::string& Key, int& Ordinal);

// The job list. A blank key raises IEInstall SCannotReadUnfinished.
void WipeUnfinishedJobs(const std::string& Key);
void WriteUnfinishedJob(const std::string& Key, const std::string& Data, int Command);
// One line per job: its data, a semicolon and its command.
void ReadUnfinishedJobs(const std::string& Key, TStrings* SL);
// Splits a job line at its last semicolon (the data may hold semicolons, the
// command never does); false when there is none or the command is no number.
bool SplitUnfinishedJob(const std::string& Line, std::string& Data, int& Command);

// The continuation command: the program path in double quotes, "*ABOOT",
// "*SELFEXTRACT" or "*NOSELFEXTRACT", the loader's file name and folder.
std::string ContinuationLine(const std::string& ProgramPath, bool SelfExtracting, const std::string& LoaderPath);
// Registers it under RunOnce with a name of its own; IEInstall
// SCannotRegisterRunOnce when the registry refuses.
void RegisterContinuation(const std::string& Line);

// ------------------------------------------------------------ the command line
//
// The loader starts the setup program with "*<MODE> <loader file name>
// <loader folder>"; the folder may hold blanks and then spans several
// arguments. Only the first argument can be a switch.

enum TStartSwitch { ssNone, ssBuild, ssToDisk, ssABoot, ssSelfExtract };

// The program's arguments after its own name (ParamStr(1) .. ParamStr(ParamCount));
// tests point it elsewhere to play a start by the loader.
extern std::vector<std::string> (*InstallParams)();
std::vector<std::string> ProgramParams();

// The switch of the first argument: "*" and a word, compared without case;
// anything else (a lone "*", *NOTSELFEXTRACT, no argument) is ssNone.
TStartSwitch StartSwitch(const std::vector<std::string>& Params);

// What the loader's arguments tell: the source folder and, when the archive
// lies inside the self-extracting loader, the loader's file name.
struct TLoaderArguments {
  std::string SourceDir;
  std::string LoaderFile;  // blank when none was passed
};
// Reads Params from index First on (the loader file name, then the folder).
// DeveloperStart: exactly one argument from First - 1 on is taken as the
// source folder (a start without the loader). Raises IEInstall with
// SNoLoaderName or SNoSourceDir when arguments are missing.
TLoaderArguments ReadLoaderArguments(const std::vector<std::string>& Params, size_t First, bool DeveloperStart);

extern const char* const SNoLoaderName;  // "Cannot read the name of the loading program. ..."
extern const char* const SNoSourceDir;   // "Cannot read the SourceDirectory. ..."
