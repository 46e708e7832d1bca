// The product information that the install controller carries. The product
// name is the product's identity during the install: it names the uninstall
// key, it is the name Windows lists and the uninstaller's argument.
#pragma once
#include <string>

#include "classlib/Classes.h"
#include "classlib/TypInfo.h"

class TInstallInformation : public TPersistent {
  QNT_PUBLISHED(TInstallInformation, TPersistent)
public:
  const std::string& CompanyName() const { return FCompanyName; }
  void SetCompanyName(const std::string& Value) { FCompanyName = Value; }
  const std::string& ProductName() const { return FProductName; }
  void SetProductName(const std::string& Value) { FProductName = Value; }
  const std::string& Version() const { return FVersion; }
  void SetVersion(const std::string& Value) { FVersion = Value; }

  // Copies another TInstallInformation; any other source is refused.
  void Assign(const TPersistent* Source) override;

private:
  std::string FCompanyName = "Default Company Name";
  std::string FProductName = "Default Product Name";
  std::string FVersion = "1.0";
};
