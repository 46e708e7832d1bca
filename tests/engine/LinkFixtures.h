// Stand-ins for the components shortcuts point to, known to the shortcut
// unit by their class names and published properties as the real ones are.
#pragma once
#include <string>

#include "engine/cmp_TInstallContainer.h"

namespace linkfixtures {

class TInstallFile : public TInstallObject {
  QNT_PUBLISHED(TInstallFile, TInstallObject)
public:
  explicit TInstallFile(TComponent* AOwner) : TInstallObject(AOwner) {}
  int RegisteredType() override { return cInstallFile; }
  std::string DestName;
  const std::string& GetDestName() const { return DestName; }
  void SetDestName(const std::string& V) { DestName = V; }
};

class TUninstallEXE : public TInstallFile {
  QNT_PUBLISHED(TUninstallEXE, TInstallFile)
public:
  using TInstallFile::TInstallFile;
};

class TInstallFileGroup : public TInstallObject {
  QNT_PUBLISHED(TInstallFileGroup, TInstallObject)
public:
  explicit TInstallFileGroup(TComponent* AOwner) : TInstallObject(AOwner) {}
  int RegisteredType() override { return cFileGroup; }
  std::string GroupName;
  const std::string& GetGroupName() const { return GroupName; }
  void SetGroupName(const std::string& V) { GroupName = V; }
};

}  // namespace linkfixtures
