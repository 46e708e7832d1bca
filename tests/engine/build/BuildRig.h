// What the build tests share: a controller in a data module, the product
// folder with our own loader, and archives read back.
#pragma once
#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "engine/cmp_TInstall.h"

namespace buildtest {

using Names = std::vector<std::string>;

// The engine's messages, collected and answered OK while it lives; the
// previous handler comes back when it goes, also after a failed assertion.
struct TShownMessages {
  std::vector<std::string> Shown;
  decltype(EngineMessageBox) Saved = EngineMessageBox;
  TShownMessages() {
    EngineMessageBox = [this](const std::string& Text, const std::string&, unsigned) {
      Shown.push_back(Text);
      return IDOK;
    };
  }
  ~TShownMessages() { EngineMessageBox = Saved; }
};

// A controller (owned by a data module) with a group of files; the group
// shares the controller's archive.
struct TRig {
  explicit TRig(TDistributeType Type = dtTraditional);
  ~TRig();
  TInstallFile* AddFile(const std::string& Name, const std::string& Bytes, const std::string& Component);
  TDataModule* Module;
  TInstall* Install;
  TInstallFileGroup* Group;
  std::string Source;  // the folder of the source files
};

// Points the current user's Delphi library path at a folder holding the
// marker file and the loader built with the tests.
std::string MakeProductFolder();
// Entry names of an archive (read at Offset).
std::vector<std::string> Entries(const std::string& Archive, int32_t Offset = 0);
std::string Bytes(const std::string& Path);
// Every file under Dir\Rel: its path relative to Dir ("\\sub\\a.1") and bytes.
std::map<std::string, std::string> Tree(const std::string& Dir, const std::string& Rel = "");
std::string Slice(const std::string& S, int32_t First, int32_t Last);

}  // namespace buildtest
