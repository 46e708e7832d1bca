// The program launcher configured from a text form, as a setup author gives it.
#include <gtest/gtest.h>

#include <memory>

#include "classlib/FormReader.h"
#include "classlib/TypInfo.h"
#include "foundation/routines/routines_FileSystem.h"

namespace {

class TLauncherModule : public TDataModule {
  QNT_PUBLISHED(TLauncherModule, TDataModule)
public:
  explicit TLauncherModule(TComponent* AOwner) : TDataModule(AOwner) { RegisterClasses<TProgramLauncher>(); }
};

// "Name:kind=default" of each property the class adds, in table order.
std::string Published(const TClassInfo& info) {
  static const char* const kinds[] = {"string", "integer", "boolean", "enum", "set", "float",
                                      "object", "strings", "component", "event", "binary"};
  std::string r;
  for (const TPropInfo& p : info.OwnProps())
    r += p.Name + ":" + kinds[p.Kind] + (p.HasDefault ? "=" + p.Default : "") + (p.ReadOnly ? "(ro)" : "") + " ";
  return r;
}

QNT_PUBLISH(TLauncherModule);

}  // namespace

TEST(PublishedLauncher, TableAndConstructorAgree) {
  EXPECT_EQ(Published(TProgramLauncher::StaticClassInfo()),
            "Action:string='Open' FileName:string='' Parameters:string='' ShowMode:enum=smNormal "
            "StartDir:string='' Timeout:integer=-1 ");
  TProgramLauncher l(nullptr);
  EXPECT_TRUE(PropsDifferingFromDefaults(&l).empty());
  EXPECT_EQ(FindClassInfo("tprogramlauncher"), &TProgramLauncher::StaticClassInfo());
  // Run-time values stay out of forms.
  EXPECT_EQ(l.ClassInfo().FindProp("ExitCode"), nullptr);
  EXPECT_EQ(l.ClassInfo().FindProp("HProcess"), nullptr);
}

TEST(PublishedLauncher, FormConfiguresEveryProperty) {
  TLauncherModule m(nullptr);
  ReadComponentText(&m,
                    "object Setup: TLauncherModule\n"
                    "  object Compiler: TProgramLauncher\n"
                    "    Action = 'print'\n"
                    "    FileName = 'C:\\Borland\\bin\\dcc32.exe'\n"
                    "    Parameters = '-B ''My Package.dpk'''\n"
                    "    ShowMode = smMinimized\n"
                    "    StartDir = 'C:\\Source'\n"
                    "    Timeout = 120000\n"
                    "  end\n"
                    "  object Hidden: TProgramLauncher\n"
                    "    ShowMode = smHide\n"
                    "    Timeout = -1\n"
                    "  end\n"
                    "end\n",
                    "TLAUNCHERMODULE");
  auto* l = dynamic_cast<TProgramLauncher*>(m.FindComponent("Compiler"));
  ASSERT_NE(l, nullptr);
  EXPECT_EQ(l->Action(), "print");
  EXPECT_EQ(l->FileName(), "C:\\Borland\\bin\\dcc32.exe");
  EXPECT_EQ(l->Parameters(), "-B 'My Package.dpk'");
  EXPECT_EQ(l->ShowMode(), smMinimized);
  EXPECT_EQ(l->StartDir(), "C:\\Source");
  EXPECT_EQ(l->Timeout(), 120000);
  auto* h = dynamic_cast<TProgramLauncher*>(m.FindComponent("Hidden"));
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(h->ShowMode(), smHide);
  EXPECT_EQ(h->Timeout(), TProgramLauncher::InfiniteTimeout);
  EXPECT_EQ(h->Action(), "Open");
  // The timeout is a signed 32-bit value: a larger one is refused, not cut.
  TLauncherModule bad(nullptr);
  EXPECT_THROW(ReadComponentText(&bad,
                                 "object Setup: TLauncherModule\n"
                                 "  object L: TProgramLauncher\n    Timeout = 4294967295\n  end\nend\n",
                                 "TLAUNCHERMODULE"),
               EFormReadError);
}
