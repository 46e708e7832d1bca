#include "engine/cmp_TInstallInformation.h"

#include "classlib/SysUtils.h"
#include "foundation/translator/cmp_TTranslator.h"

namespace {
const char* const SNameNotCarried =
    "The product name \"%s\" (the property Information.ProductName of %s) cannot be passed whole to the "
    "uninstaller: leave out double quotes, backslashes and control characters, blanks at either end and blanks "
    "in a row";
}  // namespace

QNT_PUBLISH(TInstallInformation,
  Prop::String("CompanyName", &TInstallInformation::CompanyName, &TInstallInformation::SetCompanyName,
               "Default Company Name"),
  Prop::String("ProductName", &TInstallInformation::ProductName, &TInstallInformation::SetProductName,
               "Default Product Name"),
  Prop::String("Version", &TInstallInformation::Version, &TInstallInformation::SetVersion, "1.0"));

void TInstallInformation::Assign(const TPersistent* Source) {
  if (const auto* s = dynamic_cast<const TInstallInformation*>(Source)) {
    FCompanyName = s->FCompanyName;
    FProductName = s->FProductName;
    FVersion = s->FVersion;
    return;
  }
  TPersistent::Assign(Source);
}

void CheckEntryProductName(const std::string& ProductName, const std::string& Controller) {
  std::string carried;
  for (const std::string& word : SplitCommandLine(ProductName)) carried += (carried.empty() ? "" : " ") + word;
  // A backslash would put the entry below a key of another name, where the
  // system's list of programs does not look.
  if (carried.empty() || carried != ProductName || ProductName.find('\\') != std::string::npos)
    throw IEInstall(SNameNotCarried, {ProductName, Controller});
}
