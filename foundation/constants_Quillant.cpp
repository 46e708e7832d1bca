#include "foundation/constants_Quillant.h"

namespace {
const char* const ECCNames[] = {
    "eccInstallTypeDlg",         "eccCopyingFile",
    "eccReplacingFile",          "eccDoneCopyingFiles",
    "eccGoodInstall",            "eccBadInstall",
    "eccChangeDiskManager",      "eccBeforeInstallFileGroup",
    "eccSelectFolder",           "eccBeforeProcess",
    "eccAfterProcess",           "eccDownloadingNetFile",
    "eccShutDownDialog",         "eccStartingUp",
    "eccRightBeforeTerminating", "eccBeforeReadArchiveInfo",
    "eccAfterReadArchiveInfo",   "eccWelcomeDialog",
    "eccLicenseAgreement",       "eccBeginningDialogManager",
    "eccGoodInstallDialogManager", "eccBadInstallDialogManager",
    "eccReadmeDialog",           "eccLanguageDialog",
    nullptr,                     "eccInstallStatusDialog_Display",
    "eccInstallStatusDialog_Hide",
};
const char* const EIENames[] = {
    "eieAfterInstallFile",  "eieBeforeInstallFile",     "eieReplaceInstallFile",
    "eieBeforeCompressFile", "eieAfterCompressFile",    "eieBeforeCopyFile",
    "eieAfterCopyFile",     "eieInstallingFile",        "eieCompressingFile",
    "eieCopyingFile",       "eieChangeDisk",            "eieBPFileContainer",
    "eieAPFileContainer",   "eieDownloadingNetFile",    "eieInstallFileAbortBefore",
    "eieInstallFileAbortOlder",
};
static_assert(sizeof ECCNames / sizeof ECCNames[0] == eccInstallStatusDialog_Hide - BaseECC);
static_assert(sizeof EIENames / sizeof EIENames[0] == eieInstallFileAbortOlder - BaseEIE);
}  // namespace

std::string ComponentCallName(int Code) {
  if (Code > BaseECC && Code <= eccInstallStatusDialog_Hide && ECCNames[Code - BaseECC - 1])
    return ECCNames[Code - BaseECC - 1];
  if (Code > BaseEIE && Code <= eieInstallFileAbortOlder) return EIENames[Code - BaseEIE - 1];
  return std::to_string(Code);
}
