// Folders of the machine the setup runs on, and "%" meta variables that stand
// for them in configured paths. Every folder comes without a trailing
// backslash; the registry is read on every call.
#pragma once
#include <string>

#include "foundation/exceptions_Quillant.h"

class EAICannotExpandContainerDirMV : public EAI {
public:
  using EAI::EAI;
};
class EAICannotExpandInstallDirMV : public EAI {
public:
  using EAI::EAI;
};

// What ExpandPath needs of an install object: its destination folder and its
// container (nil when it has none). The install component tree implements it.
class TDestinationSource {
public:
  virtual std::string GetDestDir() = 0;
  virtual TDestinationSource* DestinationContainer() const = 0;

protected:
  ~TDestinationSource() = default;
};

// The install controller for "%i", nil when there is none; the install
// component tree sets it.
extern TDestinationSource* (*MainInstallDestination)();

// %w Windows, %s System, %p program files, %f common files, %b Programs menu,
// %d desktop, %m Start menu, %a BH's destination, %c its container's, %i the
// install controller's, %% one percent sign; letters in either case. A "%"
// before any other character is dropped with it, and so is a final "%".
std::string ExpandPath(const std::string& Str, TDestinationSource* BH);

std::string ExpandStartMenuDir();
std::string ExpandProgramMenuDir();
std::string ExpandDesktopDir();
std::string ExpandProgramFilesDir();
std::string ExpandCommonFilesDir();
std::string ExpandFontDir();
std::string ExpandStartupMenuDir();

// The drive of a path: "C:" or "\\server\share"; blank when it has none.
std::string ExtractFileDrive(const std::string& Path);
