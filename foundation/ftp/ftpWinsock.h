// What the FTP client's own source files share: WinSock and the cast of our
// socket handles to its own.
#pragma once
#include <winsock.h>
#include <windows.h>

#include "foundation/ftp/cmp_TQlntFTP.h"

namespace ftpwinsock {
inline SOCKET S(TSocket s) { return static_cast<SOCKET>(s); }
}  // namespace ftpwinsock
