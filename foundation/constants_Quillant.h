// The numbers through which the install engine and the wizard pages talk:
// registered types of install components, external component calls (negative,
// broadcast by a container to its pages) and information events (positive,
// reported by an install object to its container); and the archive
// component's progress record that travels with them.
#pragma once
#include <cstdint>
#include <string>

#include "foundation/archive/lzhFormat.h"

// Registered types: a child's place among its container's children and
// whether it receives broadcasts (only cDialog does).
constexpr int cFileGroup = 1000;
constexpr int cInstallFile = 2000;
constexpr int cAliases = 3000;
constexpr int cINIFile = 4000;
constexpr int cRSConnection = 6000;
constexpr int cShellLinkGroup = 7000;
constexpr int cInstallShellLink = 8000;
constexpr int cInstallRegistry = 8500;
constexpr int cDialog = 9000;

// External component calls.
constexpr int BaseECC = -1000;
constexpr int eccInstallTypeDlg = BaseECC + 1;
constexpr int eccCopyingFile = BaseECC + 2;
constexpr int eccReplacingFile = BaseECC + 3;
constexpr int eccDoneCopyingFiles = BaseECC + 4;
constexpr int eccGoodInstall = BaseECC + 5;
constexpr int eccBadInstall = BaseECC + 6;
constexpr int eccChangeDiskManager = BaseECC + 7;
constexpr int eccBeforeInstallFileGroup = BaseECC + 8;
constexpr int eccSelectFolder = BaseECC + 9;
constexpr int eccBeforeProcess = BaseECC + 10;
constexpr int eccAfterProcess = BaseECC + 11;
constexpr int eccDownloadingNetFile = BaseECC + 12;
constexpr int eccShutDownDialog = BaseECC + 13;
constexpr int eccStartingUp = BaseECC + 14;
constexpr int eccRightBeforeTerminating = BaseECC + 15;  // never sent
constexpr int eccBeforeReadArchiveInfo = BaseECC + 16;
constexpr int eccAfterReadArchiveInfo = BaseECC + 17;
constexpr int eccWelcomeDialog = BaseECC + 18;
constexpr int eccLicenseAgreement = BaseECC + 19;
constexpr int eccBeginningDialogManager = BaseECC + 20;
constexpr int eccGoodInstallDialogManager = BaseECC + 21;
constexpr int eccBadInstallDialogManager = BaseECC + 22;
constexpr int eccReadmeDialog = BaseECC + 23;
constexpr int eccLanguageDialog = BaseECC + 24;
// BaseECC + 25 is reserved.
constexpr int eccInstallStatusDialog_Display = BaseECC + 26;
constexpr int eccInstallStatusDialog_Hide = BaseECC + 27;

// Information events.
constexpr int BaseEIE = 1000;
constexpr int eieAfterInstallFile = BaseEIE + 1;
constexpr int eieBeforeInstallFile = BaseEIE + 2;
constexpr int eieReplaceInstallFile = BaseEIE + 3;
constexpr int eieBeforeCompressFile = BaseEIE + 4;
constexpr int eieAfterCompressFile = BaseEIE + 5;
constexpr int eieBeforeCopyFile = BaseEIE + 6;
constexpr int eieAfterCopyFile = BaseEIE + 7;
constexpr int eieInstallingFile = BaseEIE + 8;
constexpr int eieCompressingFile = BaseEIE + 9;
constexpr int eieCopyingFile = BaseEIE + 10;
constexpr int eieChangeDisk = BaseEIE + 11;
constexpr int eieBPFileContainer = BaseEIE + 12;
constexpr int eieAPFileContainer = BaseEIE + 13;
constexpr int eieDownloadingNetFile = BaseEIE + 14;
constexpr int eieInstallFileAbortBefore = BaseEIE + 15;
constexpr int eieInstallFileAbortOlder = BaseEIE + 16;

// The code's identifier ("eccCopyingFile", "eieChangeDisk", ...), or the
// number as text for a code this system does not know.
std::string ComponentCallName(int Code);

// The archive component's progress record (declared beside the archive layout).
using lzh::TlzhFileStats;
