// Reading a module's or form's components from its text form resource.
//
//   object IM: TIM
//     object Install1: TInstall
//       DestDir = '\Quillant32\' + 'Version25Beta'
//       DestDirType = ddProgramFilesDir
//       InstallTypes = [itAlways, itCustom]
//       Information.ProductName = 'Quillant32'     (nested object, set in place)
//       Description.Strings = (                     (string list: Clear, then Add per line)
//         'first line'
//         'second'#9'line')
//       Container = Install2                        (component reference, resolved at the end)
//       OnStartInstall = Install1StartInstall       (handler registered by the root)
//       Data = { 0A1B2C }                           (binary)
//     end
//   end
//
// The outer object is the root that is read into (its class, or an ancestor,
// must be the one named). Inner objects are created by registered class name
// (classlib/TypInfo.h) in the order of the text, all owned by the root; an
// object nested in another is told its parent (SetParentComponent). Each gets
// csLoading and csReading before its name and first property are set; the
// writers are called as they come. Component references are set through their
// writers after everything has been read, in the order of the text; then
// csReading is cleared and Loaded is called on the root and every created
// component in the order of the text. Errors while reading or resolving raise
// EFormReadError naming the resource (and the file it was made from, when
// that is registered), line, component and property; an exception from a
// Loaded passes unchanged.
//
// A form read after its ancestor form's resource names the components that
// the ancestor made with "inherited Name: TClass ... end" (the outer one too):
// they are not created again, only their properties given are set, and they
// take part in the references and Loaded as the others do.
//
// A program carries the text as an RCDATA resource named after the module's
// class, listed in a .rc file of its target (paths from the source root):
//     TIM RCDATA "setup/InstallModule.txt"
// A setup program built with quillant_add_setup also registers, for each such
// line, the file the text came from (RegisterResourceSource), so that a box
// about a bad text names the file its author edits.
#pragma once
#include <string>

#include "classlib/Classes.h"
#include "classlib/Streams.h"

class EFormReadError : public EReadError {
public:
  // The source file is the one registered for the resource, if any.
  EFormReadError(const std::string& AResourceName, int ALine, const std::string& AComponentName,
                 const std::string& APropertyName, const std::string& ADetail);
  std::string ResourceName;
  std::string SourceFile;  // empty when none is registered
  int Line;
  std::string ComponentName;
  std::string PropertyName;
  std::string Detail;

private:
  EFormReadError(const std::string& AResourceName, const std::string& ASourceFile, int ALine,
                 const std::string& AComponentName, const std::string& APropertyName, const std::string& ADetail);
};

// Reads Text into Root; ResourceName is only used in messages.
void ReadComponentText(TComponent* Root, const std::string& Text, const std::string& ResourceName);

// The text of a form resource: one registered with RegisterResourceText, else
// (Windows) the RCDATA resource of that name in the program or library that
// holds this code. False when there is none.
bool FindResourceText(const std::string& ResourceName, std::string& Text);
void RegisterResourceText(const std::string& ResourceName, const std::string& Text);

// The file a resource's text was made from, as the program's build names it
// (messages only); empty when none was registered.
void RegisterResourceSource(const std::string& ResourceName, const std::string& File);
std::string ResourceSource(const std::string& ResourceName);

// Finds the resource and reads it into Root; EResNotFound when it is missing.
class EResNotFound : public Exception {
public:
  using Exception::Exception;
};
void ReadComponentRes(const std::string& ResourceName, TComponent* Root);
