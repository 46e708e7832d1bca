#include "common/PropertyDump.h"

#include "classlib/Classes.h"
#include "classlib/TypInfo.h"

namespace testsupport {
namespace {
void DumpProps(const TPersistent* Root, const TPersistent* Obj, const std::string& Prefix, const std::string& Indent,
               std::string& Out) {
  for (const TPropInfo* p : Obj->ClassInfo().AllProps()) {
    std::string path = Prefix + p->Name;
    if (p->Kind == pkObject) {
      if (const TPersistent* nested = p->GetNested(Obj)) DumpProps(Root, nested, path + ".", Indent, Out);
      continue;
    }
    Out += Indent + path + " = " + GetPropText(Root, path) + "\n";
  }
}

void DumpComponent(const TComponent* C, const std::string& Indent, std::string& Out) {
  Out += Indent + "object " + C->Name() + ": " + C->ClassName() + "\n";
  DumpProps(C, C, "", Indent + "  ", Out);
  for (int i = 0; i < C->ComponentCount(); ++i) DumpComponent(C->Components(i), Indent + "  ", Out);
}
}  // namespace

std::string DumpPublished(const TComponent* Root) {
  std::string out;
  if (Root) DumpComponent(Root, "", out);
  return out;
}

}  // namespace testsupport
