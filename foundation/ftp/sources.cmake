# The reply, passive-mode and listing parser is portable (built natively and
# fuzzed); the sockets and the FTP client are Windows code on WinSock 1.1,
# which every 32-bit Windows has without an add-on.
list(APPEND FOUNDATION_SOURCES ftp/ftpReply.cpp)
list(APPEND FOUNDATION_WIN32_SOURCES
  ftp/cmp_TQlntTCPIP.cpp
  ftp/cmp_TQlntFTP_Socket.cpp
  ftp/cmp_TQlntFTP.cpp
  ftp/cmp_TQlntFTP_Data.cpp
  ftp/cmp_TQlntFTP_Transfer.cpp
  ftp/cmp_TNetInstallLocation.cpp)
list(APPEND FOUNDATION_WIN32_LIBS wsock32)
