#include <gtest/gtest.h>

#include "foundation/exceptions_Quillant.h"
#include "foundation/translator/cmp_TTranslator.h"
#include "foundation/types_Quillant.h"

namespace {
// Which of the handlers a thrown exception reaches, first match wins, as a
// chain of catch clauses would.
template <class Thrown>
std::string Caught(Thrown e) {
  try {
    throw e;
  } catch (const EQlntFTPLogin&) {
    return "EQlntFTPLogin";
  } catch (const EQlntFTP&) {
    return "EQlntFTP";
  } catch (const EAI&) {
    return "EAI";
  } catch (const EQlntSocket&) {
    return "EQlntSocket";
  } catch (const EQlntCompress&) {
    return "EQlntCompress";
  } catch (const EProgramLauncher&) {
    return "EProgramLauncher";
  } catch (const EQuillantAbnormal&) {
    return "EQuillantAbnormal";
  } catch (const IException&) {
    return "IException";
  } catch (const EAbort&) {
    return "EAbort";
  } catch (const Exception&) {
    return "Exception";
  }
}
}  // namespace

TEST(ExceptionTree, HandlersSeeExactlyTheFamiliesTheirBasesGive) {
  EXPECT_EQ(Caught(EQlntFTPLogin_HostName("h")), "EQlntFTPLogin");
  EXPECT_EQ(Caught(EQlntFTPLogin_Password("p")), "EQlntFTP");
  EXPECT_EQ(Caught(EQlntFTPLogin_UserName("u")), "EQlntFTP");
  EXPECT_EQ(Caught(EQlntFTPBusy("b")), "EQlntFTP");
  // A reply-code error is a sibling of the FTP errors, not one of them.
  EXPECT_EQ(Caught(EQlntFTPCode("550 no", 550)), "EQuillantAbnormal");
  EXPECT_EQ(Caught(EAIUserAbort()), "EAI");
  EXPECT_EQ(Caught(EQlntSocketLogin(10061)), "EQlntSocket");
  EXPECT_EQ(Caught(EycDiskFull("full")), "EQlntCompress");
  EXPECT_EQ(Caught(EycAborted("stop")), "EQlntCompress");
  EXPECT_EQ(Caught(EProgramLauncherTimeout("t")), "EProgramLauncher");
  EXPECT_EQ(Caught(EProgramLauncherFailed("f", 2)), "EProgramLauncher");
  EXPECT_EQ(Caught(EAPIRoutines("a")), "EQuillantAbnormal");
  EXPECT_EQ(Caught(IEfcDuplicateFile("d")), "IException");
  EXPECT_EQ(Caught(IEbdeCannotFindQuillantPath("q")), "IException");
  // The silent abort and the user's abort are different things.
  EXPECT_EQ(Caught(EAbort("Operation aborted")), "EAbort");

  // Install errors and component errors share only the common root.
  static_assert(std::is_base_of_v<ECustomQuillantAbnormal, IException>);
  static_assert(std::is_base_of_v<ECustomQuillantAbnormal, EQuillantAbnormal>);
  static_assert(!std::is_base_of_v<EQuillantAbnormal, IException>);
  static_assert(!std::is_base_of_v<EAbort, EAIUserAbort>);
  static_assert(std::is_base_of_v<IEFileContainer, IEfcDuplicateFile>);
  static_assert(std::is_base_of_v<IEInstallBDE, IEbdeCannotFindQuillantPath>);
}

TEST(ExceptionTree, ConstructorsWithTheirOwnMessagesAndCodes) {
  EAIUserAbort abort;
  EXPECT_EQ(abort.Message, "Installation aborted by the user");
  EQlntSocketLogin login(10061);
  EXPECT_EQ(login.Message, "Error creating socket");
  EXPECT_EQ(login.ErrorNumber, 10061);
  EQlntFTPCode code("550 Failed to open file.", 550);
  EXPECT_EQ(code.Message, "550 Failed to open file.");
  EXPECT_EQ(code.ErrorNumber, 550);
  EProgramLauncherFailed failed("File not found", 2);
  EXPECT_EQ(failed.ErrorCode, 2);
}

TEST(InstallErrors, FormatTheTranslatedTextAndKeepTheirClassOnBadPlaceholders) {
  IEInstallContainer plain("Cannot install %s");
  EXPECT_EQ(plain.Message, "Cannot install %s");
  IECustomInstallFile fmt("Cannot copy %s to %s (%d)", {"a.dll", "C:\\x", 5});
  EXPECT_EQ(fmt.Message, "Cannot copy a.dll to C:\\x (5)");
  // Arguments that do not fit the placeholders give the bare English text
  // instead of a conversion error of another class.
  try {
    throw IENetInstallLocation("Cannot download %d", {"file.1"});
  } catch (const IENetInstallLocation& e) {
    EXPECT_EQ(e.Message, "Cannot download %d");
  }
}

TEST(SharedTypes, OverwriteTypeOrdinalsAndContinueEvent) {
  EXPECT_EQ(owAlways, 0);
  EXPECT_EQ(owVersionDate, 4);
  bool seen = false;
  TContinueEvent stop = [&](TObject*, bool& c) {
    seen = true;
    c = false;
  };
  bool cont = true;
  stop(nullptr, cont);
  EXPECT_TRUE(seen);
  EXPECT_FALSE(cont);
  EXPECT_EQ(SetOf(swgRaiseExceptions), 1u);
}
