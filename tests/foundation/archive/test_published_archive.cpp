// The archive component and the version reader configured from a text form,
// as a setup author gives them.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "classlib/FormReader.h"
#include "classlib/TypInfo.h"
#include "common/TestSupport.h"
#include "foundation/archive/cmp_TQlntCompress.h"
#include "foundation/archive/cmp_TVersion.h"

using namespace testsupport;

namespace {

// Records which handler ran, with the argument that tells them apart.
std::vector<std::string> Calls;

class TArchiveModule : public TDataModule {
  QNT_PUBLISHED(TArchiveModule, TDataModule)
public:
  explicit TArchiveModule(TComponent* AOwner) : TDataModule(AOwner) {
    RegisterClasses<TQlntCompress, TVersionResource>();
    RegisterHandler("Stats", this, &TArchiveModule::Stats);
    RegisterHandler("Notify", this, &TArchiveModule::Notify);
    RegisterHandler("NewDisk", this, &TArchiveModule::NewDisk);
  }
  void Stats(TQlntCompress*, const TlzhFileStats& S) { Calls.push_back("Stats " + S.IFName); }
  void Notify(TObject*) { Calls.push_back("Notify"); }
  void NewDisk(TQlntCompress*, int32_t Disk, std::string& Path) {
    Calls.push_back("NewDisk " + std::to_string(Disk));
    Path = "B:";
  }
};
QNT_PUBLISH(TArchiveModule);

std::string Published(const TClassInfo& info) {
  static const char* const kinds[] = {"string", "integer", "boolean", "enum", "set", "float",
                                      "object", "strings", "component", "event", "binary"};
  std::string r;
  for (const TPropInfo& p : info.OwnProps())
    r += p.Name + ":" + kinds[p.Kind] + (p.HasDefault ? "=" + p.Default : "") + (p.ReadOnly ? "(ro)" : "") + " ";
  return r;
}

std::string Quoted(const std::string& s) { return "'" + s + "'"; }

}  // namespace

TEST(PublishedArchive, TablesAndConstructorsAgree) {
  EXPECT_EQ(Published(TQlntCompress::StaticClassInfo()),
            "Abort:boolean=False CompressedFile:string='' CompressionLevel:enum=colMax ExtractDirectory:string='' "
            "FilesToProcess:strings Offset:integer=0 Overwrite:enum=owAlways OnAborted:event=nil "
            "OnAfterAdding:event=nil OnBeforeAdding:event=nil OnAfterExtracting:event=nil "
            "OnBeforeExtracting:event=nil OnFullDisk:event=nil OnListing:event=nil OnNewDisk:event=nil "
            "OnReplace:event=nil OnStatus:event=nil ");
  EXPECT_EQ(Published(TVersionResource::StaticClassInfo()),
            "FileName:string Language:enum=lnUSEnglish CharacterSet:enum=csMultilingual VersionInfo:object ");
  const TClassInfo& info = TVersionInfo::StaticClassInfo();
  ASSERT_EQ(info.OwnProps().size(), 15u);
  for (const TPropInfo& p : info.OwnProps()) EXPECT_TRUE(p.Kind == pkString && p.ReadOnly) << p.Name;
  EXPECT_NE(info.FindProp("LegalTradeMarks"), nullptr);
  EXPECT_NE(info.FindProp("FileSubType"), nullptr);

  TQlntCompress c(nullptr);
  EXPECT_TRUE(PropsDifferingFromDefaults(&c).empty());
  TVersionResource v(nullptr);
  EXPECT_TRUE(PropsDifferingFromDefaults(&v).empty());
  // The enumerations' names follow the values' order.
  EXPECT_EQ(VersionLanguageInfo.Names.size(), 45u);
  EXPECT_EQ(VersionLanguageInfo.IndexOf("lnBahasa"), lnBahasa);
  EXPECT_EQ(VersionCharacterSetInfo.IndexOf("csArabic"), csArabic);
}

TEST(PublishedArchive, FormConfiguresTheArchiveComponent) {
  Calls.clear();
  TArchiveModule m(nullptr);
  ReadComponentText(&m,
                    "object Archives: TArchiveModule\n"
                    "  object Compress1: TQlntCompress\n"
                    "    Abort = True\n"
                    "    CompressedFile = 'C:\\Dist\\setup.1'\n"
                    "    CompressionLevel = colFastest\n"
                    "    ExtractDirectory = 'C:\\Program Files\\App'\n"
                    "    FilesToProcess.Strings = (\n"
                    "      'C:\\Source\\app.exe;1'\n"
                    "      'C:\\Source\\readme.txt')\n"
                    "    Offset = 40960\n"
                    "    Overwrite = owVersionDate\n"
                    "    OnAborted = Notify\n"
                    "    OnAfterAdding = Stats\n"
                    "    OnBeforeAdding = Stats\n"
                    "    OnAfterExtracting = Stats\n"
                    "    OnBeforeExtracting = Stats\n"
                    "    OnFullDisk = Notify\n"
                    "    OnListing = Stats\n"
                    "    OnNewDisk = NewDisk\n"
                    "    OnReplace = Stats\n"
                    "    OnStatus = Stats\n"
                    "  end\n"
                    "end\n",
                    "TARCHIVEMODULE");
  auto* c = dynamic_cast<TQlntCompress*>(m.FindComponent("Compress1"));
  ASSERT_NE(c, nullptr);
  EXPECT_TRUE(c->Abort());
  EXPECT_EQ(c->CompressedFile(), "C:\\Dist\\setup.1");
  EXPECT_EQ(c->CompressionLevel(), colFastest);
  EXPECT_EQ(c->ExtractDirectory(), "C:\\Program Files\\App");
  ASSERT_EQ(c->FilesToProcess()->Count(), 2);
  EXPECT_EQ(c->FilesToProcess()->Get(0), "C:\\Source\\app.exe;1");
  EXPECT_EQ(c->Offset(), 40960);
  EXPECT_EQ(c->Overwrite(), owVersionDate);

  TlzhFileStats s;
  s.IFName = "x";
  for (auto* e : {&c->OnAfterAdding(), &c->OnBeforeAdding(), &c->OnAfterExtracting(), &c->OnBeforeExtracting(),
                  &c->OnListing(), &c->OnReplace(), &c->OnStatus()}) {
    ASSERT_TRUE(*e);
    (*e)(c, s);
  }
  c->OnAborted()(c);
  c->OnFullDisk()(c);
  std::string path = "A:";
  c->OnNewDisk()(c, 2, path);
  EXPECT_EQ(path, "B:");
  EXPECT_EQ(Calls, (std::vector<std::string>{"Stats x", "Stats x", "Stats x", "Stats x", "Stats x", "Stats x",
                                             "Stats x", "Notify", "Notify", "NewDisk 2"}));

  // A handler of another shape is refused for an event.
  TArchiveModule bad(nullptr);
  EXPECT_THROW(ReadComponentText(&bad,
                                 "object Archives: TArchiveModule\n"
                                 "  object C: TQlntCompress\n    OnStatus = Notify\n  end\nend\n",
                                 "TARCHIVEMODULE"),
               EFormReadError);
}

TEST(PublishedArchive, FormPointsTheVersionReaderAtAFile) {
  TArchiveModule m(nullptr);
  ReadComponentText(&m,
                    "object Archives: TArchiveModule\n"
                    "  object Version1: TVersionResource\n"
                    "    FileName = " + Quoted(BinDir() + "\\qnt_ver_2_0.dll") + "\n"
                    "    Language = lnUKEnglish\n"
                    "    CharacterSet = csUnicode\n"
                    "  end\n"
                    "end\n",
                    "TARCHIVEMODULE");
  auto* v = dynamic_cast<TVersionResource*>(m.FindComponent("Version1"));
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(v->Language(), lnUKEnglish);
  EXPECT_EQ(v->CharacterSet(), csUnicode);
  // The block was read through the writer; the nested values show it.
  EXPECT_EQ(GetPropText(v, "VersionInfo.FileVersion"), "'2.0.0.0'");
  EXPECT_EQ(PropsDifferingFromDefaults(v), (std::vector<std::string>{"Language", "CharacterSet"}));

  // What was read from the file cannot be given in a form.
  TArchiveModule bad(nullptr);
  EXPECT_THROW(ReadComponentText(&bad,
                                 "object Archives: TArchiveModule\n"
                                 "  object V: TVersionResource\n    VersionInfo.ProductName = 'x'\n  end\nend\n",
                                 "TARCHIVEMODULE"),
               EFormReadError);
}
