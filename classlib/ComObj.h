// COM failures as exceptions. Windows only.
#pragma once
#include <cstdint>
#include <string>

#include "classlib/SysUtils.h"

class EOleError : public Exception {
public:
  using Exception::Exception;
};

// A failed COM call: ErrorCode holds its HRESULT, the message is the system's
// wording of it.
class EOleSysError : public EOleError {
public:
  EOleSysError(const std::string& Msg, int32_t Code) : EOleError(Msg), ErrorCode(Code) {}
  int32_t ErrorCode;
};

// Raises EOleSysError for a failure code (negative HRESULT); returns the code otherwise.
int32_t OleCheck(int32_t Result);
