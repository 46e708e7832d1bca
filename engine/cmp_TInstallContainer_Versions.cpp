// The version reader seen from the install files. Kept apart: the version
// reader's language enumeration and the translator's language class share a
// name, so no unit can include both headers.
#include "foundation/archive/cmp_TVersion.h"

#include <string>

#include "foundation/types_Quillant.h"

namespace engine_versions {

// True when the file is to be installed over what stands at Dest: the
// reader's verdict is "source newer" or "error" (Dest unreadable).
bool SourceWins(double SourceDate, const std::string& SourceVersion, const std::string& Dest, TOverwriteType Mode) {
  const TFileVersionCompareResult r =
      TVersionResource::IsFileNewerHaveSource(SourceDate, SourceVersion, Dest, ConvertToVersionCompareCriteria(Mode));
  return r == vcrError || r == vcrSourceNewer;
}

std::string FileVersion(const std::string& Path) { return ReadFileVersion(Path); }

}  // namespace engine_versions
