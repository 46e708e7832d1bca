// The class library's INI file object over the Windows profile functions. A
// file name without a folder names a file in the Windows directory, as the
// profile functions take it.
#pragma once
#include <cstdint>
#include <string>

#include "classlib/Classes.h"

class EIniFileException : public Exception {
public:
  using Exception::Exception;
};

class TIniFile : public TObject {
public:
  explicit TIniFile(const std::string& FileName) : FFileName(FileName) {}
  ~TIniFile() override;
  const std::string& FileName() const { return FFileName; }

  std::string ReadString(const std::string& Section, const std::string& Ident,
                         const std::string& Default) const;
  // Raises EIniFileException when the file cannot be written.
  void WriteString(const std::string& Section, const std::string& Ident, const std::string& Value);
  int32_t ReadInteger(const std::string& Section, const std::string& Ident, int32_t Default) const;
  void WriteInteger(const std::string& Section, const std::string& Ident, int32_t Value);
  bool ReadBool(const std::string& Section, const std::string& Ident, bool Default) const;
  void WriteBool(const std::string& Section, const std::string& Ident, bool Value);

  // The section names, in file order.
  void ReadSections(TStrings* Strings) const;
  // The key names of one section.
  void ReadSection(const std::string& Section, TStrings* Strings) const;
  // NAME=VALUE lines of one section.
  void ReadSectionValues(const std::string& Section, TStrings* Strings) const;
  bool SectionExists(const std::string& Section) const;
  bool ValueExists(const std::string& Section, const std::string& Ident) const;
  // Raises EIniFileException when the file cannot be written.
  void EraseSection(const std::string& Section);
  void DeleteKey(const std::string& Section, const std::string& Ident);
  // Writes cached profile changes to the disk.
  void UpdateFile();

private:
  std::string FFileName;
};
