// The FTP client and the network install location configured from a text
// form, as a setup author gives them.
#include <gtest/gtest.h>

#include <vector>

#include "classlib/FormReader.h"
#include "classlib/TypInfo.h"
#include "foundation/ftp/cmp_TNetInstallLocation.h"
#include "foundation/ftp/cmp_TQlntFTP.h"

namespace {

std::vector<std::string> Calls;

class TNetModule : public TDataModule {
  QNT_PUBLISHED(TNetModule, TDataModule)
public:
  explicit TNetModule(TComponent* AOwner) : TDataModule(AOwner) {
    RegisterClasses<TQlntFTP, TNetInstallLocation>();
    RegisterHandler("Login", this, &TNetModule::Login);
    RegisterHandler("Received", this, &TNetModule::Received);
    RegisterHandler("Transfer", this, &TNetModule::Transfer);
    RegisterHandler("Complete", this, &TNetModule::Complete);
  }
  void Login(TObject* Sender) { Calls.push_back("Login " + static_cast<TComponent*>(Sender)->Name()); }
  void Received(TObject*, const std::string& FileName, int32_t Bytes, int32_t Total, int32_t Size) {
    Calls.push_back("Received " + FileName + " " + std::to_string(Bytes + Total + Size));
  }
  void Transfer(TObject*, TFTPMode Mode, int32_t Bytes) {
    Calls.push_back("Transfer " + std::to_string(Mode) + " " + std::to_string(Bytes));
  }
  void Complete(TObject*, TFTPMode Mode) { Calls.push_back("Complete " + std::to_string(Mode)); }
};
QNT_PUBLISH(TNetModule);

std::string Published(const TClassInfo& info) {
  static const char* const kinds[] = {"string", "integer", "boolean", "enum", "set", "float",
                                      "object", "strings", "component", "event", "binary"};
  std::string r;
  for (const TPropInfo& p : info.OwnProps())
    r += p.Name + ":" + kinds[p.Kind] + (p.HasDefault ? "=" + p.Default : "") + (p.ReadOnly ? "(ro)" : "") + " ";
  return r;
}

const char* const Form =
    "object Net: TNetModule\n"
    "  object Location1: TNetInstallLocation\n"
    "    LoginInformation.Hostname = 'ftp.example.com'\n"
    "    LoginInformation.Username = 'setup'\n"
    "    LoginInformation.Password = 'se''cret'\n"
    "    LoginInformation.Directory = '/pub/app'\n"
    "    OnAfterLogin = Login\n"
    "    OnBeforeLogin = Login\n"
    "    OnDataReceived = Received\n"
    "  end\n"
    "  object FTP1: TQlntFTP\n"
    "    Asynchronous = True\n"
    "    Hostname = 'mirror.example.com'\n"
    "    Mode = fmGetDir\n"
    "    Passive = False\n"
    "    Password = 'pw'\n"
    "    Port = 2121\n"
    "    URI = '/pub/setup.exe'\n"
    "    Username = 'anonymous'\n"
    "    OnActionComplete = Complete\n"
    "    OnCancel = Login\n"
    "    OnDataReceived = Transfer\n"
    "  end\n"
    "end\n";

}  // namespace

TEST(PublishedFTP, TablesAndConstructorsAgree) {
  EXPECT_EQ(Published(TQlntFTP::StaticClassInfo()),
            "Asynchronous:boolean=False Hostname:string='' Mode:enum=fmDownload Passive:boolean=True "
            "Password:string='guest@anon.com' Port:integer=21 URI:string='' Username:string='ftp' "
            "OnActionComplete:event=nil OnCancel:event=nil OnDataReceived:event=nil ");
  EXPECT_EQ(Published(TCustomLoginInformation::StaticClassInfo()),
            "Directory:string='' Hostname:string='' Password:string='' Username:string='' ");
  EXPECT_TRUE(TLoginInformation::StaticClassInfo().OwnProps().empty());
  EXPECT_EQ(Published(TNetInstallLocation::StaticClassInfo()),
            "LoginInformation:object OnAfterLogin:event=nil OnBeforeLogin:event=nil OnDataReceived:event=nil ");

  TQlntFTP f(nullptr);
  EXPECT_TRUE(PropsDifferingFromDefaults(&f).empty());
  TNetInstallLocation l(nullptr);
  EXPECT_TRUE(PropsDifferingFromDefaults(&l).empty());
  EXPECT_EQ(l.ClassName(), "TNetInstallLocation");
  EXPECT_EQ(l.LoginInformation()->ClassName(), "TLoginInformation");
  EXPECT_EQ(l.MyFTP()->ClassName(), "TQlntFTP");
  // The bases publish nothing of their own.
  EXPECT_TRUE(TQlntSocket::StaticClassInfo().OwnProps().empty());
  EXPECT_TRUE(TCustomNetInstallLocation::StaticClassInfo().OwnProps().empty());
}

TEST(PublishedFTP, FormConfiguresClientAndLocation) {
  Calls.clear();
  TNetModule m(nullptr);
  ReadComponentText(&m, Form, "TNETMODULE");

  auto* l = dynamic_cast<TNetInstallLocation*>(m.FindComponent("Location1"));
  ASSERT_NE(l, nullptr);
  const TLoginInformation* li = l->LoginInformation();
  EXPECT_EQ(li->Hostname(), "ftp.example.com");
  EXPECT_EQ(li->Username(), "setup");
  EXPECT_EQ(li->Password(), "se'cret");
  EXPECT_EQ(li->Directory(), "/pub/app");
  EXPECT_TRUE(li->FilledIn());
  EXPECT_EQ(li->Port(), 21);  // public values keep their creation values
  EXPECT_TRUE(li->Passive());
  l->OnBeforeLogin()(l);
  l->OnAfterLogin()(l);
  l->OnDataReceived()(l, "files.1", 1, 2, 3);
  EXPECT_FALSE(l->OnDataReceivedNP());

  auto* f = dynamic_cast<TQlntFTP*>(m.FindComponent("FTP1"));
  ASSERT_NE(f, nullptr);
  EXPECT_TRUE(f->Asynchronous());
  EXPECT_EQ(f->Hostname(), "mirror.example.com");
  EXPECT_EQ(f->Mode(), fmGetDir);
  EXPECT_FALSE(f->Passive());
  EXPECT_EQ(f->Password(), "pw");
  EXPECT_EQ(f->Port(), 2121);
  EXPECT_EQ(f->URI(), "/pub/setup.exe");
  EXPECT_EQ(f->Username(), "anonymous");
  f->OnActionComplete()(f, fmUpload);
  f->OnCancel()(f);
  f->OnDataReceived()(f, fmDownload, 512);
  EXPECT_EQ(Calls, (std::vector<std::string>{"Login Location1", "Login Location1", "Received files.1 6",
                                             "Complete 1", "Login FTP1", "Transfer 0 512"}));
}

TEST(PublishedFTP, FormRefusesWhatIsNotPublished) {
  auto refused = [](const std::string& body) {
    TNetModule m(nullptr);
    try {
      ReadComponentText(&m, "object Net: TNetModule\n" + body + "end\n", "TNETMODULE");
    } catch (const EFormReadError&) {
      return true;
    }
    return false;
  };
  // The port and the flags of the login information are public only.
  EXPECT_TRUE(refused("  object L: TNetInstallLocation\n    LoginInformation.Port = 2121\n  end\n"));
  EXPECT_TRUE(refused("  object L: TNetInstallLocation\n    OnDataReceivedNP = Received\n  end\n"));
  // A port outside 16 bits is refused, not cut.
  EXPECT_TRUE(refused("  object F: TQlntFTP\n    Port = 65536\n  end\n"));
  EXPECT_FALSE(refused("  object F: TQlntFTP\n    Port = 65535\n  end\n"));
}
