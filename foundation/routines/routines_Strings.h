// Delimited strings and path tidying. Pure; positions are 1-based.
#pragma once
#include <string>

#include "classlib/Classes.h"

std::string DirectoryWBS(const std::string& S);   // with one trailing backslash (empty stays empty)
std::string DirectoryWOBS(const std::string& S);  // without one trailing backslash ("A:\" gives "A:")
int srColumns(const std::string& S, char Separator);
std::string srExtract(const std::string& S, int Column, char Separator);
void StringToStringList(const std::string& Str, char Separator, TStrings* SL);
std::string StringListToString(const TStrings* SL, const std::string& Separator, bool Ending);
std::string StripDrive(const std::string& S);  // a text without a colon comes back unchanged
std::string StripNonFileChars(const std::string& S);
// The command-line parameters from StartIndex to the last, joined by single
// blanks: an unquoted path with blanks arrives as several parameters.
std::string GetParameterAsPath(int StartIndex);
