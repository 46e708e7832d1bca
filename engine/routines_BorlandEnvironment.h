// The Borland development environments this product's components serve
// (Delphi 2.0 and 3.0, C++Builder 1.0): finding them, linking help into
// their contents, removing palette pages, and compiling and registering a
// package with Delphi 3.0's command-line compiler. Only the environments'
// own registry keys and files are touched.
#pragma once
#include <string>

#include "classlib/Classes.h"
#include "foundation/exceptions_Quillant.h"

enum TBorlandProduct { bpDelphi20, bpDelphi30, bpCBuilder10 };
using TBorlandProductSet = unsigned;  // bit (1 << product)
constexpr TBorlandProductSet BorlandProductBit(TBorlandProduct p) { return 1u << p; }

// Errors of the package compile, in English only.
class EInstallD3 : public ECustomQuillantAbnormal {
public:
  using ECustomQuillantAbnormal::ECustomQuillantAbnormal;
};
#define QNT_EINSTALLD3(Name)          \
  class Name : public EInstallD3 {    \
  public:                             \
    using EInstallD3::EInstallD3;     \
  }
QNT_EINSTALLD3(EInstallD3NoDCC);
QNT_EINSTALLD3(EInstallD3NoDPK);
QNT_EINSTALLD3(EInstallD3CannotWriteDPLEntry);
QNT_EINSTALLD3(EInstallD3NoSearchPath);
QNT_EINSTALLD3(EInstallD3CannotWriteSearchPath);
#undef QNT_EINSTALLD3

class TBorlandEnvironment : public TObject {
public:
  // Each environment's folder with "BIN" and with "HELP".
  const std::string& Delphi30Bin() const { return FDelphi30Bin; }
  void SetDelphi30Bin(const std::string& v) { FDelphi30Bin = v; }
  const std::string& Delphi30Help() const { return FDelphi30Help; }
  void SetDelphi30Help(const std::string& v) { FDelphi30Help = v; }
  const std::string& CBuilder10Bin() const { return FCBuilder10Bin; }
  void SetCBuilder10Bin(const std::string& v) { FCBuilder10Bin = v; }
  const std::string& CBuilder10Help() const { return FCBuilder10Help; }
  void SetCBuilder10Help(const std::string& v) { FCBuilder10Help = v; }
  const std::string& Delphi20Bin() const { return FDelphi20Bin; }
  void SetDelphi20Bin(const std::string& v) { FDelphi20Bin = v; }
  const std::string& Delphi20Help() const { return FDelphi20Help; }
  void SetDelphi20Help(const std::string& v) { FDelphi20Help = v; }
  bool Initialized() const { return FInitialized; }
  // The environments found.
  TBorlandProductSet Products() const { return FProducts; }
  void SetProducts(TBorlandProductSet v) { FProducts = v; }
  bool HasProduct(TBorlandProduct p) const { return (FProducts & BorlandProductBit(p)) != 0; }

  // Detects the environments from the local machine's keys: an environment
  // is present when its RootDir names a folder whose BIN holds its program.
  void Initialize();
  // Adds ":Link <HelpFile>" to Delphi 3.0's or C++Builder 1.0's help
  // contents; true when the line is there afterwards.
  bool LinkIntoBorlandHelp(const std::string& HelpFile, TBorlandProduct Product);
  // Deletes the named component palette pages of Delphi 3.0; false for any
  // other product or when Delphi 3.0 is not there.
  bool RemoveVCLTabs(TBorlandProduct Product, const TStrings* RemoveTabs);

private:
  std::string FDelphi30Bin, FDelphi30Help, FCBuilder10Bin, FCBuilder10Help, FDelphi20Bin, FDelphi20Help;
  bool FInitialized = false;
  TBorlandProductSet FProducts = 0;
};

// Created and freed with the unit.
extern TBorlandEnvironment* BorlandEnvironment;

// Compiles the package source DPKFile (full path) with Delphi 3.0's compiler
// and registers the compiled package DPLFile (a file name, in the source's
// folder) under Description, first unregistering DeletePackages (file names
// of older packages; may be nil) and taking their folders off the library
// search path. False when Delphi 3.0 is missing, the compiler fails (a
// non-zero exit code: then nothing is registered) or a key cannot be opened.
bool CompileInstallDelphi3(const std::string& DPKFile, const std::string& DPLFile, const std::string& Description,
                           const TStrings* DeletePackages);
