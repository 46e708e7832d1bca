// The setup program's command line as the loader and the continuation pass it.
#include "engine/cmp_TInstall.h"
#include "foundation/translator/cmp_TTranslator.h"

const char* const SNoLoaderName = "Cannot read the name of the loading program. It was not passed from the loading program";
const char* const SNoSourceDir = "Cannot read the SourceDirectory. It was not passed from the setup.exe program";

std::vector<std::string> ProgramParams() {
  std::vector<std::string> p;
  const int n = ParamCount();
  for (int i = 1; i <= n; ++i) p.push_back(ParamStr(i));
  return p;
}

std::vector<std::string> (*InstallParams)() = ProgramParams;

TStartSwitch StartSwitch(const std::vector<std::string>& Params) {
  using enum TStartSwitch;
  if (Params.empty() || Params[0].size() < 2 || Params[0][0] != '*') return ssNone;
  const std::string word = Params[0].substr(1);
  if (SameText(word, "BUILD")) return ssBuild;
  if (SameText(word, "TODISK")) return ssToDisk;
  if (SameText(word, "ABOOT")) return ssABoot;
  if (SameText(word, "SELFEXTRACT")) return ssSelfExtract;
  return ssNone;
}

TLoaderArguments ReadLoaderArguments(const std::vector<std::string>& Params, size_t First, bool DeveloperStart) {
  TLoaderArguments a;
  // Params[First - 1] is the mode switch, Params[First] the loader's file name.
  if (Params.size() < First) throw IEInstall(SNoLoaderName);
  if (Params.size() == First) {
    if (!DeveloperStart) throw IEInstall(SNoLoaderName);
    a.SourceDir = Params[First - 1];  // a start without the loader names the folder alone
    return a;
  }
  a.LoaderFile = Params[First];
  if (Params.size() <= First + 1) throw IEInstall(SNoSourceDir);
  for (size_t i = First + 1; i < Params.size(); ++i) {
    if (i > First + 1) a.SourceDir += ' ';
    a.SourceDir += Params[i];
  }
  return a;
}
