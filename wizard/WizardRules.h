// The wizard's rules that need no window: the order of pages, movement over
// pages that skip, which broadcasts each kind of dialog manager answers, and
// a few measures of the pages. The window classes use these; tests run them
// on plain data.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

enum TManagerType {
  dmBeforeInstall,
  dmAfterGoodInstall,
  dmAfterBadInstall,
  dmDuringCopyFiles,
  dmChangeDisk,
  dmReboot,
};

// What a manager does with a broadcast code.
enum TManagerAction { maNone, maExecute, maUpdateFile, maUpdateDownload, maCloseCopyForms, maChangeDisk };
TManagerAction ManagerActionFor(TManagerType ManagerType, int ComponentCall);

// The managers whose pages show once the install has ended (after a good or
// a failed install, before the restart): nothing is left to abort there.
bool ShowsAfterInstall(TManagerType ManagerType);

enum TChangeToDir { cdNext, cdBack };

// Sorts by Order, smaller first, with the wizard's exchange sort: for each
// position, every later element of smaller Order is swapped into it. Not
// stable: elements of equal Order may change their relative order, and which
// way they go is part of how a wizard looks, so no other sort will do.
template <class T, class OrderOf>
void ExchangeSortByOrder(std::vector<T>& Items, OrderOf Order) {
  const size_t n = Items.size();
  for (size_t i = 0; i < n; ++i)
    for (size_t j = i + 1; j < n; ++j)
      if (Order(Items[i]) > Order(Items[j])) std::swap(Items[i], Items[j]);
}

// Movement over pages that may skip: the pages are counted and asked whether
// they skip each time; Show makes one current.
class TWizardNavigation {
public:
  std::function<int()> Count;
  std::function<bool(int)> Skips;
  std::function<void(int)> Show;
  std::function<void()> Finish;  // Next passed the last page

  int Current = -1;

  // Shows page Number, or the nearest page in direction Dir that does not
  // skip; false when none is shown.
  bool ChangeTo(int Number, TChangeToDir Dir);
  // The next page that does not skip; with none after the current one, the
  // current page again, and Finish.
  void Next();
  // The previous page that does not skip; on the first one, that one again.
  void Previous();
  // Every page before the current one skips.
  bool IsFirst() const;
  // The current page is the last one (pages after it that skip count).
  bool IsLast() const;
  // Opens on the first page that does not skip; false when every page skips.
  bool Start();
};

// Rows of the language grid for Count languages in Columns columns (an odd
// count takes one more row).
int LanguageGridRows(int Count, int Columns);

// False for a name that cannot be one folder below Programs: "." and "..",
// and names holding a character that a folder name cannot hold.
bool IsValidProgramFolderName(const std::string& Name);

// Why the files cannot be installed into Folder, a name confirmed in the
// open dialog (which takes any text as typed): an English text with two %s,
// the folder and Part, to be translated before formatting. Why is empty for
// a usable absolute folder below a drive ("C:\Tools") or a network share
// ("\\server\share\Tools"); the root of either is refused.
struct TFolderFault {
  std::string Why;
  std::string Part;  // the character or the folder name at fault
};
TFolderFault DestinationFolderFault(const std::string& Folder);

// Where a window of that size goes when placed at the bottom: centred across
// (halves to even), 30 pixels above the screen's bottom less a caption.
void BottomPlace(int ScreenWidth, int ScreenHeight, int CaptionHeight, int FormWidth, int FormHeight, int& Left,
                 int& Top);
