// The select-folder page on Windows NT 3.51, as reported to this program:
// the Program Manager's groups are the folders offered.
#include <gtest/gtest.h>

#include "engine/FakeProgman.h"
#include "engine/cmp_TProgramManager.h"
#include "foundation/routines/routines_API.h"
#include "wizard/WizardFixture.h"
#include "wizard/dlgcmp_TSelectFolder.h"

using testsupport::PageRunner;

using WizardNt351 = WizardFixture;

// The groups come sorted; a folder without a name of its own takes the
// first of them.
TEST_F(WizardNt351, SelectFolderOffersProgramManagerGroups) {
  ASSERT_EQ(GetWindowsVerType(), wvWinNT351);
  FakeProgman server(FakeProgman::UniqueService());
  ProgramManager->Service = FakeProgman::UniqueService();
  server.SetData("Groups", "Zeta\r\nAccessories\r\nMain\r\n");
  auto* folder = new TCustomShellLinkGroup(Module);
  folder->SetName("Folder1");
  folder->SetContainer(Controller);
  folder->SetDestDirType(ddProgramMenuDir);
  folder->SetDestDir("");
  Page<TSelectFolderDlg>("SelectFolder1", Manager(dmBeforeInstall))->SetContainer(folder);
  std::vector<std::string> listed;
  Run->Step("groups", [] { return PageRunner::ShownForm<TBaseFormContainer>() != nullptr; },
            [&] {
              auto* p = dynamic_cast<TSelectFolderForm*>(CurrentPage());
              ASSERT_NE(p, nullptr);
              for (int i = 0; i < p->FolderListBox->Items()->Count(); ++i)
                listed.push_back(p->FolderListBox->Items()->Get(i));
              EXPECT_EQ(p->FolderEdit->Text(), "Accessories");
              PageRunner::Click(p->ProceedBtn);
            });
  EXPECT_EQ(Broadcast(eccBeginningDialogManager), "");
  EXPECT_EQ(listed, (std::vector<std::string>{"Accessories", "Main", "Zeta"}));
  EXPECT_EQ(folder->DestDir(), "\\Accessories");
}
