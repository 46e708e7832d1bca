// The names in a product's uninstall record that the setup program writes
// and the uninstaller reads: one spelling for both programs.
#pragma once
#include <string>

// The partitions of the record's file list, each a subkey with an "Entries"
// count and the values "File<n>": "Files", "Files1", "Files2" ..., read up to
// the first one missing.
inline std::string UninstallFilesPartition(int J) { return J == 0 ? "Files" : "Files" + std::to_string(J); }

// What the product made, listed beside its files so that the uninstall
// removes that and nothing else (an uninstaller that does not know these
// parts passes them over). Each list is a subkey of the record with an
// "Entries" count and numbered values, each path listed once: "Folders"
// ("Folder<n>": the folders the setup created, parents first), "Counted"
// ("File<n>": the files whose SharedDLLs count the product raised) and
// "Help" ("File<n>": the files it registered as help). The record's value
// "RecordForm", "2" (as text), written when a run begins the record, says
// that these lists hold all of it; a record without it was begun by an
// earlier setup.
inline constexpr const char* UninstallRecordFormName = "RecordForm";
inline constexpr int UninstallRecordForm = 2;
inline constexpr const char* UninstallFoldersList = "Folders";
inline constexpr const char* UninstallCountedList = "Counted";
inline constexpr const char* UninstallHelpList = "Help";

// Help files are registered under the local machine's key: a value named
// after the file, in upper case, holding its folder.
inline constexpr const char* HelpKey = "\\SOFTWARE\\Microsoft\\Windows\\Help";

// A lock cannot span a restart. A setup of the product that must finish
// after the restart (its jobs wait, its continuation is registered) names
// its setup key in the product's uninstall record under this value, from
// the registration of its continuation until the run after the restart has
// done the jobs; the uninstaller removes nothing while that setup waits.
inline constexpr const char* SetupWaitsValueName = "SetupWaitsForRestart";
