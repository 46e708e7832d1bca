// The exception classes that more than one component raises or catches.
#pragma once
#include <cstdint>
#include <string>

#include "classlib/SysUtils.h"

// User aborts and path-expansion errors.
class EAI : public Exception {
public:
  using Exception::Exception;
};

// A user's confirmed Cancel. Not an EAbort: it ends the run.
class EAIUserAbort : public EAI {
public:
  EAIUserAbort();
};

// Root of component and install errors.
class ECustomQuillantAbnormal : public Exception {
public:
  using Exception::Exception;
};

// Component errors, shown in English.
class EQuillantAbnormal : public ECustomQuillantAbnormal {
public:
  using ECustomQuillantAbnormal::ECustomQuillantAbnormal;
};

class EQlntCompress : public EQuillantAbnormal {
public:
  using EQuillantAbnormal::EQuillantAbnormal;
};
class EycDiskFull : public EQlntCompress {
public:
  using EQlntCompress::EQlntCompress;
};
class EycAborted : public EQlntCompress {
public:
  using EQlntCompress::EQlntCompress;
};
// An archive whose bytes end before its headers or an entry's data do: a
// transfer or a copy that stopped early, not a damaged one.
class EycIncomplete : public EQlntCompress {
public:
  using EQlntCompress::EQlntCompress;
};

class EAPIRoutines : public EQuillantAbnormal {
public:
  using EQuillantAbnormal::EQuillantAbnormal;
};

class EProgramLauncher : public EQuillantAbnormal {
public:
  using EQuillantAbnormal::EQuillantAbnormal;
};
class EProgramLauncherFailed : public EProgramLauncher {
public:
  EProgramLauncherFailed(const std::string& Msg, int32_t Code) : EProgramLauncher(Msg), ErrorCode(Code) {}
  int32_t ErrorCode;
};
class EProgramLauncherTimeout : public EProgramLauncher {
public:
  using EProgramLauncher::EProgramLauncher;
};

class EQlntSocket : public EQuillantAbnormal {
public:
  // Message "Error creating socket"; Number is the WinSock error code.
  explicit EQlntSocket(uint16_t Number);
  uint16_t ErrorNumber;
};
// Socket creation or connection failed; built with the socket constructor.
class EQlntSocketLogin : public EQlntSocket {
public:
  using EQlntSocket::EQlntSocket;
};

class EQlntFTP : public EQuillantAbnormal {
public:
  using EQuillantAbnormal::EQuillantAbnormal;
};
class EQlntFTPLogin : public EQlntFTP {
public:
  using EQlntFTP::EQlntFTP;
};
// Password and user-name refusals are FTP errors but not login errors: a
// handler for EQlntFTPLogin (host name problems) does not see them.
class EQlntFTPLogin_Password : public EQlntFTP {
public:
  using EQlntFTP::EQlntFTP;
};
class EQlntFTPLogin_UserName : public EQlntFTP {
public:
  using EQlntFTP::EQlntFTP;
};
class EQlntFTPLogin_HostName : public EQlntFTPLogin {
public:
  using EQlntFTPLogin::EQlntFTPLogin;
};
class EQlntFTPBusy : public EQlntFTP {
public:
  using EQlntFTP::EQlntFTP;
};

// A reply code of 400 or more. A sibling of EQlntFTP, not a child.
class EQlntFTPCode : public EQuillantAbnormal {
public:
  EQlntFTPCode(const std::string& Msg, uint16_t Number) : EQuillantAbnormal(Msg), ErrorNumber(Number) {}
  uint16_t ErrorNumber;
};
