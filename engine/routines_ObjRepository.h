// The object repositories of the Borland IDEs: where each IDE keeps its
// shared repository file (INI format), and removing a file's earlier entries.
#pragma once
#include <string>

#include "classlib/TypInfo.h"

enum TRepositoryType { rtDelphi3x, rtDelphi2x, rtCBuilder1x };
extern const TEnumInfo RepositoryTypeInfo;

// The full path of that IDE's repository file: the current user's
// repository BaseDir, else the IDE's RootDir\Bin. Raises (translated texts)
// when the IDE's RootDir is blank or the file does not exist.
std::string GetSharedRepositoryFile(TRepositoryType Type);
// Erases, from a file of more than one section, every entry section of the
// unit FileName (its file name without extension): a section whose last path
// part equals FileName, ignoring case, in whatever folder. The file's own
// "Repository Pages" section is never erased.
void DeleteSameNameEntries(const std::string& RepositoryFile, const std::string& FileName);
