#include "foundation/translator/cmp_TTranslator.h"

// No translator exists yet: every text stays English.
std::string TSE(const std::string& English) { return English; }

IException::IException(const std::string& Msg) : ECustomQuillantAbnormal(TSE(Msg)) {}

namespace {
std::string FormatInstallMessage(const std::string& Msg, const TVarRecs& Args) {
  try {
    return Format(TSE(Msg), Args);
  } catch (const EConvertError&) {
  }
  try {
    return Format(Msg, Args);
  } catch (const EConvertError&) {
  }
  return Msg;
}
}  // namespace

IException::IException(const std::string& Msg, const TVarRecs& Args)
    : ECustomQuillantAbnormal(FormatInstallMessage(Msg, Args)) {}
