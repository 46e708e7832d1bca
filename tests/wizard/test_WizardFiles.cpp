// The pages that work on files: the file-groups tree with the space figures,
// the copy-progress window over a real extraction, and the change-disk prompt
// over a real disk set.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>
#include <dlgs.h>
#include <shlobj.h>

#include <algorithm>
#include <functional>

#include "classlib/FormReader.h"
#include "classlib/Streams.h"
#include "classlib/WinText.h"
#include "common/TestSupport.h"
#include "foundation/archive/archive_test_util.h"
#include "foundation/archive/cmp_TQlntCompress.h"
#include "foundation/routines/routines_FileSystem.h"
#include "wizard/WizardFixture.h"
#include "wizard/dlgcmp_TChangeDiskDlg.h"
#include "wizard/dlgcmp_TCopyFile.h"
#include "wizard/dlgcmp_TInstallFileGroup.h"
#include "wizard/ordlg_ChangeDisk.h"
#include "wizard/ordlg_FileGroupSelect.h"

using testsupport::PageRunner;
using testsupport::ScratchFolder;

namespace {

// Bytes that deflate poorly, so that an archive of them has many blocks.
std::string Noise(size_t Size, unsigned Seed) {
  std::string s(Size, '\0');
  for (size_t i = 0; i < Size; ++i) {
    Seed = Seed * 1103515245u + 12345u;
    s[i] = static_cast<char>(Seed >> 16);
  }
  return s;
}

void PackInto(const std::string& Archive, const std::string& Dir, const std::string& Name) {
  QlntCompress->SetCompressedFile(Archive);
  QlntCompress->SetOffset(0);
  QlntCompress->SetOnStatus(nullptr);
  QlntCompress->SetOnAborted(nullptr);
  QlntCompress->FilesToProcess()->Clear();
  QlntCompress->FilesToProcess()->Add(Dir + "\\" + Name);
  QlntCompress->Add(lzcOverwrite);
}

class TDiskMaker : public TQlntCompress {
public:
  using TQlntCompress::TQlntCompress;
  int64_t Capacity = 0;

protected:
  TStream* CreateVolume(const std::string& Name) override { return new archtest::TSmallVolume(Name, Capacity); }
};

// The tree window's rows: the root and its children, "text:state picture".
std::vector<std::string> TreeRows(HWND Tree) {
  std::vector<std::string> rows;
  auto add = [&](HTREEITEM Item) {
    wchar_t text[128] = {};
    TVITEMW it{};
    it.mask = TVIF_TEXT | TVIF_STATE;
    it.hItem = Item;
    it.stateMask = TVIS_STATEIMAGEMASK;
    it.pszText = text;
    it.cchTextMax = 128;
    SendMessageW(Tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&it));
    rows.push_back(Narrow(text) + ":" + std::to_string((it.state & TVIS_STATEIMAGEMASK) >> 12));
  };
  HTREEITEM root = TreeView_GetRoot(Tree);
  if (!root) return rows;
  add(root);
  for (HTREEITEM c = TreeView_GetChild(Tree, root); c; c = TreeView_GetNextSibling(Tree, c)) add(c);
  return rows;
}

// A mouse click on the Index-th child of the root, as a user makes it: on
// its text, or on its box (the state picture left of the text).
void ClickRow(HWND Tree, int Index, bool OnBox = false) {
  HTREEITEM item = TreeView_GetChild(Tree, TreeView_GetRoot(Tree));
  for (int i = 0; i < Index && item; ++i) item = TreeView_GetNextSibling(Tree, item);
  RECT r{};
  TreeView_GetItemRect(Tree, item, &r, TRUE);
  POINT pt{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  for (TVHITTESTINFO hit{}; OnBox && pt.x > 0; --pt.x) {
    hit.pt = pt;
    if (TreeView_HitTest(Tree, &hit) == item && (hit.flags & TVHT_ONITEMSTATEICON)) break;
    if (pt.x > r.left) pt.x = r.left;
  }
  const LPARAM at = MAKELPARAM(pt.x, pt.y);
  // The mouse goes there too: a posted message carries where the mouse is.
  ClientToScreen(Tree, &pt);
  SetCursorPos(pt.x, pt.y);
  PostMessageW(Tree, WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageW(Tree, WM_LBUTTONUP, 0, at);
}

// "1,234 Bytes" as a number.
int64_t BytesOf(const std::string& Text) {
  std::string digits;
  for (char c : Text)
    if ((c >= '0' && c <= '9') || c == '-') digits += c;
  return digits.empty() ? 0 : std::stoll(digits);
}

int FilesIn(const std::string& Dir) {
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW(Widen(Dir + "\\*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return 0;
  int n = 0;
  do
    if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) ++n;
  while (FindNextFileW(h, &fd));
  FindClose(h);
  return n;
}

char MissingDrive() {
  const DWORD drives = GetLogicalDrives();
  for (char d = 'Y'; d > 'D'; --d)
    if (!(drives & (1u << (d - 'A')))) return d;
  return '\0';
}

// Files that come from the archive beside the setup, never downloaded.
class TLocalGroup : public TInstallFileGroup {
public:
  using TInstallFileGroup::TInstallFileGroup;
  TDistributeType DistributeType() const override { return dtTraditional; }
};

// A top group of files. For a real install it stands as the install
// controller, which holds the pages and managers beside the files.
class WizardFiles : public WizardFixture {
protected:
  void SetUp() override {
    WizardFixture::SetUp();
    Top = new TLocalGroup(Module);
    Top->SetName("Product");
    Top->SetGroupName("Product");
  }
  void TearDown() override {
    MainInstall = Controller;
    QlntCompress->SetAbort(false);
    AbortDownload = false;
    WizardFixture::TearDown();
  }
  TInstallFileGroup* Group(TFileContainer* In, const std::string& Name, int Bytes) {
    auto* g = new TInstallFileGroup(Module);
    g->SetName(Name);
    g->SetGroupName(Name);
    g->SetContainer(In);
    auto* f = new TInstallFile(Module);
    f->SetName(Name + "File");
    f->SetFileName(Name + ".dat");
    f->SetContainer(g);
    f->SetSize(Bytes);
    return g;
  }
  // One file packed from Src into Archive, to go into Dst; Top becomes the
  // controller.
  TInstallFile* PackedFile(const std::string& Src, const std::string& Name, const std::string& Archive,
                           const std::string& Dst) {
    MainInstall = Top;
    PackInto(Archive, Src, Name);
    Top->SetArchiveFile(Archive);
    auto* f = new TInstallFile(Module);
    f->SetName("File1");
    f->SetIncludeFromDir(Src);
    f->SetFileName(Name);
    f->SetContainer(Top);
    f->SetDestDirType(ddAbsolute);
    f->SetDestDir(Dst);
    return f;
  }
  TInstallFileGroup* Top = nullptr;
};

}  // namespace

// The tree shows every group with its include picture; a toggle changes the
// current node and the space required, no other node; the space available
// is the drive's own figure in 64 bits, "-1" for a drive that is not there.
TEST_F(WizardFiles, FileGroupsToggleAndSpace) {
  const char missing = MissingDrive();
  ASSERT_NE(missing, '\0');
  Top->SetDestDirType(ddAbsolute);
  Top->SetDestDir("C:\\Program Files\\Quillant Test");
  Group(Top, "Program", 1000);
  auto* samples = Group(Top, "Samples", 3000);
  samples->Description()->Add("Examples to start from.");
  auto* extras = Group(Top, "Extras", 500);
  extras->SetDestDirType(ddAbsolute);
  extras->SetDestDir(std::string(1, missing) + ":\\Extras");
  extras->SetAllowChoice(false);
  extras->SetAllowChangeDir(false);
  Top->SetSelectedInstallType(itCustom);
  Page<TInstallFileGroupsDlg>("Groups1", Manager(dmBeforeInstall))->SetContainer(Top);
  auto page = [] { return dynamic_cast<TFileGroupSelectForm*>(CurrentPage()); };
  Run->Step("tree", [&] { return page() != nullptr; },
            [&] {
              auto* p = page();
              EXPECT_EQ(TreeRows(p->GroupListBox->Handle()),
                        (std::vector<std::string>{"Product:1", "Program:1", "Samples:1", "Extras:1"}));
              EXPECT_EQ(p->SpaceRequiredLabel->Caption(), BytesText(4500));
              ULARGE_INTEGER avail{};
              ASSERT_TRUE(GetDiskFreeSpaceExW(L"C:\\", &avail, nullptr, nullptr));
              const int64_t shown = BytesOf(p->SpaceAvailableLabel->Caption());
              // Other programs write to the disk meanwhile: the figures agree
              // to far less than the 4 GB a 32-bit figure would lose.
              EXPECT_LT(std::llabs(shown - static_cast<int64_t>(avail.QuadPart)), int64_t{1} << 30);
              if (avail.QuadPart > (uint64_t{4} << 30)) {
                EXPECT_GT(shown, int64_t{4} << 30);
              }
              ClickRow(p->GroupListBox->Handle(), 1);
            })
      // A step waits for the last thing the page changes: the page lets
      // messages run (and the runner tick) while it refreshes.
      .Step("samples current", [&] { return page()->CurrentGroup == samples && page()->GroupDescLabel->Visible(); },
            [&] {
              auto* p = page();
              EXPECT_TRUE(p->DescriptionMemo->Visible());
              EXPECT_TRUE(p->ToggleBtn->Enabled());
              PageRunner::Click(p->ToggleBtn);
            })
      .Step("samples excluded",
            [&] { return !samples->Include() && TreeRows(page()->GroupListBox->Handle())[2] == "Samples:2"; },
            [&] {
              auto* p = page();
              EXPECT_EQ(TreeRows(p->GroupListBox->Handle()),
                        (std::vector<std::string>{"Product:1", "Program:1", "Samples:2", "Extras:1"}));
              EXPECT_EQ(p->SpaceRequiredLabel->Caption(), BytesText(1500));
              ClickRow(p->GroupListBox->Handle(), 2);
            })
      .Step("extras current", [&] { return page()->CurrentGroup == extras && !page()->ToggleBtn->Enabled(); },
            [&] {
              auto* p = page();
              EXPECT_EQ(p->SpaceAvailableLabel->Caption(), "-1 Bytes");
              EXPECT_FALSE(p->BrowseBtn->Enabled());
              EXPECT_FALSE(p->DescriptionMemo->Visible());
              PageRunner::Click(p->ProceedBtn);
            });
  EXPECT_EQ(Broadcast(eccBeginningDialogManager), "");
  EXPECT_EQ(DriveFreeBytes(missing), -1);
}

// A group's box ticks as the toggle button does: a click on a node's box
// (its state picture) selects that node and toggles it, and Space toggles
// the highlighted node, also one the arrow keys moved to; a group the user
// may not choose keeps its tick. The keys need the foreground (ALONE).
TEST_F(WizardFiles, GroupBoxesTickByClickAndSpace) {
  Top->SetDestDirType(ddAbsolute);
  Top->SetDestDir("C:\\Program Files\\Quillant Test");
  Group(Top, "Program", 1000);
  auto* samples = Group(Top, "Samples", 3000);
  Group(Top, "Extras", 500)->SetAllowChoice(false);
  Top->SetSelectedInstallType(itCustom);
  Page<TInstallFileGroupsDlg>("Groups1", Manager(dmBeforeInstall))->SetContainer(Top);
  auto page = [] { return dynamic_cast<TFileGroupSelectForm*>(CurrentPage()); };
  auto tree = [&] { return page()->GroupListBox->Handle(); };
  const struct {
    const char* Does;
    std::function<void(HWND)> Act;
    const char* Samples;  // its row afterwards
    const char* Extras;
    int64_t Required;
  } rows[] = {
      {"a click on Samples' box", [](HWND t) { ClickRow(t, 1, true); }, "Samples:2", "Extras:1", 1500},
      {"a second click on it", [](HWND t) { ClickRow(t, 1, true); }, "Samples:1", "Extras:1", 4500},
      {"Space", [](HWND t) { PageRunner::Key(VK_SPACE, t); }, "Samples:2", "Extras:1", 1500},
      {"a click on Extras' box", [](HWND t) { ClickRow(t, 2, true); }, "Samples:2", "Extras:1", 1500},
      {"Space on Extras", [](HWND t) { PageRunner::Key(VK_SPACE, t); }, "Samples:2", "Extras:1", 1500},
      {"Up to Samples, and Space",
       [](HWND t) {
         PageRunner::Key(VK_UP, t);
         PageRunner::Key(VK_SPACE, t);
       },
       "Samples:1", "Extras:1", 4500},
  };
  std::vector<std::string> seen;
  Run->When("tree", [&] { return page() != nullptr; });
  for (size_t i = 0; i < std::size(rows); ++i)
    Run->Do(rows[i].Does, [&, i] { rows[i].Act(tree()); })
        .When("after " + std::string(rows[i].Does),
              [&, i] {
                const auto r = TreeRows(tree());
                return r.size() == 4 && r[2] == rows[i].Samples && r[3] == rows[i].Extras &&
                       BytesOf(page()->SpaceRequiredLabel->Caption()) == rows[i].Required;
              });
  Run->Do("next", [&] { PageRunner::Click(page()->ProceedBtn); });
  EXPECT_EQ(Broadcast(eccBeginningDialogManager), "");
  EXPECT_TRUE(samples->Include());
}

// Browse takes the whole name confirmed in the open dialog, which takes any
// text as typed, as the folder: a name that is no usable folder (a character
// or a device no folder name can have, a drive's root) leaves the destination
// as it was and says why; a new folder's name becomes the destination as
// typed, and a file picked in the list stands for its folder.
TEST_F(WizardFiles, BrowseRefusesAFolderNoFileCanHave) {
  const std::string start = "C:\\Program Files\\Quillant Test";
  Top->SetDestDirType(ddAbsolute);
  Top->SetDestDir(start);
  Top->SetSelectedInstallType(itCustom);
  // A file in a drive's root, to pick there.
  const std::string rootFile = "C:\\qnt-browse-root.txt";
  testsupport::WriteFileText(rootFile, "x");
  // A folder that is there, to name a new one in.
  ForceDirectories("C:\\Apps");
  const struct {
    const char* Typed;
    const char* Said;  // in the box of a refusal; none when taken
    const char* Dest;  // the destination afterwards
  } rows[] = {
      // After the dialog's preset "*.", as a user types it.
      {"*C:\\Charts", "cannot take the files: a folder name cannot hold the character *", start.c_str()},
      // The folder part alone was "C:", and the whole product went there.
      {"C:\\a|b", "C:\\a|b cannot take the files: a folder name cannot hold the character |", start.c_str()},
      {"CON", "cannot take the files: CON is the name of a device", start.c_str()},
      {rootFile.c_str(), "C: is the root of a drive or a share: the files need a folder of their own there",
       start.c_str()},
      {"C:\\Apps\\Notebook", nullptr, "C:\\Apps\\Notebook"},
      {"C:\\windows\\win.ini", nullptr, "C:\\windows"},
  };
  // An open dialog for each row takes longer than one page.
  delete Run;
  Run = new PageRunner(90000);
  Page<TInstallFileGroupsDlg>("Groups1", Manager(dmBeforeInstall))->SetContainer(Top);
  auto page = [] { return dynamic_cast<TFileGroupSelectForm*>(CurrentPage()); };
  // The open dialog has the name box; a message box has none.
  auto openDialog = [] {
    HWND w = PageRunner::MessageBoxWindow();
    return w && GetDlgItem(w, cmb13) ? w : nullptr;
  };
  auto messageBox = [] {
    HWND w = PageRunner::MessageBoxWindow();
    return w && !GetDlgItem(w, cmb13) ? w : nullptr;
  };
  struct TSeen {
    std::string Said, Dest, Shown;
  };
  std::vector<TSeen> seen(std::size(rows));
  int ticks = 0;
  // The page, which is not the wizard's shown page while a box is up.
  TFileGroupSelectForm* groups = nullptr;
  for (size_t i = 0; i < std::size(rows); ++i) {
    // Each step reads its row by index: the loop's own variables are gone
    // by the time the steps run.
    const std::string typed = rows[i].Typed;
    Run->Step("browse for " + typed, [&] { return page() && !PageRunner::MessageBoxWindow(); },
              [&] {
                ticks = 0;
                groups = page();
                PageRunner::Click(groups->BrowseBtn);
              })
        // The dialog fills its list first: a few ticks.
        .Step("type " + typed, [&] { return openDialog() && ++ticks > 20; },
              [&, typed] {
                SetDlgItemTextW(openDialog(), cmb13, Widen(typed).c_str());
                PostMessageW(openDialog(), WM_COMMAND, IDOK, 0);
              });
    if (rows[i].Said)
      Run->Step("refused " + typed, [&] { return messageBox() != nullptr; },
                [&, i] {
                  seen[i].Said = PageRunner::MessageBoxText(messageBox());
                  if (i == 0 || i == 3) Picture(i == 0 ? "browse_refused_en" : "browse_root_refused_en", messageBox());
                  PageRunner::AnswerMessageBox(messageBox(), IDOK);
                });
    // Taken or refused, the page is back with the destination it shows.
    Run->Step("back from " + typed,
              [&, i] {
                return page() && !PageRunner::MessageBoxWindow() &&
                       (rows[i].Said || SameText(Top->DestDir(), rows[i].Dest));
              },
              [&, i] {
                seen[i].Dest = Top->DestDir();
                seen[i].Shown = groups->DirectoryLabel->Text();
              });
  }
  Run->Step("next", [&] { return page() && !PageRunner::MessageBoxWindow(); },
            [&] { PageRunner::Click(page()->ProceedBtn); });
  EXPECT_EQ(Broadcast(eccBeginningDialogManager), "");
  DeleteFileW(Widen(rootFile).c_str());
  RemoveDirectoryW(L"C:\\Apps");
  for (size_t i = 0; i < std::size(rows); ++i) {
    const auto& row = rows[i];
    if (row.Said)
      EXPECT_NE(seen[i].Said.find(row.Said), std::string::npos) << row.Typed << ": " << seen[i].Said;
    else
      EXPECT_EQ(seen[i].Said, "") << row.Typed;
    EXPECT_TRUE(SameText(seen[i].Dest, row.Dest)) << row.Typed << ": " << seen[i].Dest;
    EXPECT_TRUE(SameText(seen[i].Shown, row.Dest)) << row.Typed << ": " << seen[i].Shown;
  }
  EXPECT_EQ(Top->DestDirType(), ddAbsolute);
}

// The groups as a setup author writes them in the install module's text:
// the tree shows them as written, in the wizard language as the README's
// guide translates them (a group's name by a text of its own, its
// description by a multi-line text, which may hold more lines), and a
// toggle through the tree changes the node and the space required.
TEST_F(WizardFiles, FileGroupsFromATextForm) {
  for (const char* line : {"1000;Samples;", "#1001;", "Examples to start from.", "#"})
    Translator->lgEnglish()->Strings()->Add(line);
  for (const char* line : {"1000;Beispiele;", "#1001;", "Beispiele, um anzufangen.", "Zwei Zeilen.", "#"})
    Translator->lgGerman()->Strings()->Add(line);
  Translator->SetTranslateIntoLanguage(qlGerman);
  auto* module = new TDataModule(Module);
  ReadComponentRes("TWIZARDGROUPS", module);
  auto find = [&](const char* Name) { return dynamic_cast<TFileContainer*>(module->FindComponent(Name)); };
  // The sizes come from the archive's file list in a real install.
  for (auto [name, bytes] : {std::pair{"ProgramFile", 1000}, {"SamplesFile", 3000}})
    dynamic_cast<TInstallFile*>(module->FindComponent(name))->SetSize(bytes);
  TFileContainer* samples = find("Samples");
  Page<TInstallFileGroupsDlg>("Groups1", Manager(dmBeforeInstall))->SetContainer(find("Product"));
  auto page = [] { return dynamic_cast<TFileGroupSelectForm*>(CurrentPage()); };
  Run->Step("tree", [&] { return page() != nullptr; },
            [&] {
              auto* p = page();
              EXPECT_EQ(TreeRows(p->GroupListBox->Handle()),
                        (std::vector<std::string>{"Product:1", "Program:1", "Beispiele:2"}));
              EXPECT_EQ(p->SpaceRequiredLabel->Caption(), BytesText(1000));
              ClickRow(p->GroupListBox->Handle(), 1);
            })
      .Step("samples current", [&] { return page()->CurrentGroup == samples && page()->DescriptionMemo->Visible(); },
            [&] {
              EXPECT_EQ(page()->DescriptionMemo->Lines()->Text(), "Beispiele, um anzufangen.\r\nZwei Zeilen.\r\n");
              PageRunner::Click(page()->ToggleBtn);
            })
      .Step("samples included",
            [&] { return samples->Include() && TreeRows(page()->GroupListBox->Handle())[2] == "Beispiele:1"; },
            [&] {
              auto* p = page();
              EXPECT_EQ(TreeRows(p->GroupListBox->Handle()),
                        (std::vector<std::string>{"Product:1", "Program:1", "Beispiele:1"}));
              EXPECT_EQ(p->SpaceRequiredLabel->Caption(), BytesText(4000));
              PageRunner::Click(p->ProceedBtn);
            });
  EXPECT_EQ(Broadcast(eccBeginningDialogManager), "");
}

// The copy-progress window during a real extraction: a Cancel confirmed
// between blocks ends the run with the user abort, and no part of the file
// is left behind.
TEST_F(WizardFiles, CancelDuringExtractionLeavesNoHalfFile) {
  ScratchFolder s("wizcopy");
  ForceDirectories(s("src"));
  testsupport::WriteFileText(s("src\\big.bin"), Noise(32 << 20, 7));
  TInstallFile* file = PackedFile(s("src"), "big.bin", s("files.1"), s("dst"));
  auto* copy = Page<TCopyFileDlg>("Copy1", nullptr);
  copy->SetContainer(Top);
  CancelAnswers = {true};
  Run->Step("copying", [&] { return copy->Form() && copy->Form()->ProgressBar1->Position() > 0; },
            [&] {
              TCopyFileForm* f = copy->Form();
              EXPECT_EQ(f->lblCopyingFile->Caption(), "big.bin");
              EXPECT_LT(f->ProgressBar1->Position(), 100);
              PageRunner::Click(f->CancelBtn);
            });
  EXPECT_THROW(Top->Install(), EAIUserAbort);
  EXPECT_EQ(CancelAsked, 1);
  EXPECT_FALSE(copy->Form()->Visible());
  EXPECT_EQ(FilesIn(s("dst")), 0);
  EXPECT_FALSE(FileExists(file->GetDestFile()));
}

// The change-disk handshake over a disk set in two folders: the prompt
// names disk 2 and the folder of disk 1, Browse picks the second folder,
// Proceed goes on and the file is whole.
TEST_F(WizardFiles, ChangeDiskBrowseAndProceed) {
  // In a folder the browser lists (the temporary folder sits below a hidden one).
  const std::string root = "C:\\qnt-disks-" + std::to_string(GetCurrentProcessId());
  ForceDirectories(root);
  struct TRemove {
    std::string Dir;
    ~TRemove() { testsupport::RemoveTree(Dir); }
  } remove{root};
  auto s = [&](const std::string& Name) { return root + "\\" + Name; };
  ForceDirectories(s("src"));
  ForceDirectories(s("d1"));
  ForceDirectories(s("d2"));
  const std::string payload = Noise(400000, 3);
  testsupport::WriteFileText(s("src\\big.bin"), payload);
  TInstallFile* file = PackedFile(s("src"), "big.bin", s("files.1"), s("dst"));
  {
    TDiskMaker maker(nullptr);
    maker.Capacity = 250000;
    maker.SetOnNewDisk([&](TQlntCompress*, int32_t Disk, std::string& Path) { Path = s("d" + std::to_string(Disk)); });
    maker.SetCompressedFile(s("files.1"));
    maker.CopyToDisk(s("d1"), "files.1");
  }
  ASSERT_TRUE(FileExists(s("d2\\files.2")));
  Top->SetArchiveFile(s("d1\\files.1"));
  TDialogManager* dm = Manager(dmChangeDisk);
  dm->SetContainer(Top);
  Page<TChangeDiskDlg>("Disk1", dm)->SetContainer(Top);

  // A translation whose placeholder does not fit its number falls back to
  // the English wording.
  Translator->lgJapanese()->Strings()->SetText("45;ディスク %s を挿入してください;\n");
  for (auto [lang, text] : {std::pair<TQlntLanguage, const char*>{qlEnglish, "Please insert disk number 3"},
                            {qlGerman, "Bitte legen Sie Diskette Nummer 3 ein"},
                            {qlJapanese, "Please insert disk number 3"}}) {
    Translator->SetTranslateIntoLanguage(lang);
    EXPECT_EQ(DiskPromptText(3), text) << lang;
  }
  Translator->SetTranslateIntoLanguage(qlEnglish);

  // The window's close command is Cancel: answered No the prompt stays,
  // Yes ends the install.
  CancelAnswers = {false, true};
  auto prompt = [] { return PageRunner::ShownForm<TChangeDiskForm>(); };
  Run->Step("close, no", [&] { return prompt() != nullptr; }, [&] { PageRunner::CloseCommand(prompt()); })
      .Step("close, yes", [&] { return CancelAsked == 1 && prompt() != nullptr; },
            [&] { PageRunner::CloseCommand(prompt()); });
  EXPECT_THROW(Top->Install(), EAIUserAbort);
  EXPECT_EQ(CancelAsked, 2);
  EXPECT_EQ(file->Tag, 0);

  int seen = 0;
  const std::wstring d2 = Widen(s("d2"));
  Run->Step("prompt", [] { return PageRunner::ShownForm<TChangeDiskForm>() != nullptr; },
            [&] {
              auto* f = PageRunner::ShownForm<TChangeDiskForm>();
              EXPECT_EQ(f->PromptDiskLabel->Caption(), "Please insert disk number 2");
              EXPECT_TRUE(SameText(f->PathEdit->Text(), s("d1")));
              EXPECT_EQ(file->Tag, 1);
              Picture("change_disk_en");
              PageRunner::Click(f->BrowseBtn);
            })
      // The browser takes a selection only once it is built: a few ticks;
      .Step("browser", [&] { return PageRunner::MessageBoxWindow() != nullptr && ++seen > 20; },
            [&] { SendMessageW(PageRunner::MessageBoxWindow(), BFFM_SETSELECTIONW, TRUE, LPARAM(d2.c_str())); })
      // and it makes the choice its own while it runs its messages.
      .Step("confirm", [&] { return ++seen > 60; },
            [&] {
              HWND box = PageRunner::MessageBoxWindow();
              SendMessageW(box, BFFM_SETSELECTIONW, TRUE, LPARAM(d2.c_str()));
              PostMessageW(box, WM_COMMAND, IDOK, 0);
            })
      .Step("second folder",
            [&] {
              auto* f = PageRunner::ShownForm<TChangeDiskForm>();
              return f && PageRunner::MessageBoxWindow() == nullptr && SameText(f->PathEdit->Text(), s("d2"));
            },
            [] { PageRunner::Click(PageRunner::ShownForm<TChangeDiskForm>()->InstallBtn); });
  EXPECT_NO_THROW(Top->Install());
  EXPECT_EQ(file->Tag, 0);
  EXPECT_TRUE(testsupport::ReadFileText(s("dst\\big.bin")) == payload);
}
