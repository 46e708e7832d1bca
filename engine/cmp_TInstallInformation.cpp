#include "engine/cmp_TInstallInformation.h"

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
