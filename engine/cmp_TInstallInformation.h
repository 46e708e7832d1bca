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

// Refuses, with IEInstall naming the property of the controller Controller
// and the name, a product name that the uninstaller's entry cannot carry.
// The uninstaller takes the name from its command line, split at blanks and
// double quotes and joined again by single blanks: a double quote, a blank at
// either end, blanks in a row or a control character would give it another
// name, and so another record and another lock; a blank name would name the
// list of every product.
void CheckEntryProductName(const std::string& ProductName, const std::string& Controller);
