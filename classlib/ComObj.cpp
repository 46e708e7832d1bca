#include "classlib/ComObj.h"

#include "classlib/WinText.h"

int32_t OleCheck(int32_t Result) {
  if (Result < 0) {
    std::string text = Trim(SysErrorMessage(static_cast<unsigned long>(Result)));
    if (text.empty()) text = "OLE error " + IntToHex(static_cast<uint32_t>(Result), 8);
    throw EOleSysError(text, Result);
  }
  return Result;
}
