// Common controls: the progress bar, image lists and the tree view.
//
// Windows only: the user-interface library (classlib_ui).
#pragma once
#include <string>
#include <vector>

#include "classlib/Controls.h"

// The system progress bar over Min..Max; Position is clamped to the range.
class TProgressBar : public TWinControl {
  QNT_PUBLISHED(TProgressBar, TWinControl)
public:
  explicit TProgressBar(TComponent* AOwner);
  int Min() const { return FMin; }
  void SetMin(int Value);
  int Max() const { return FMax; }
  void SetMax(int Value);
  int Position() const { return FPosition; }
  void SetPosition(int Value);
  void StepBy(int Delta) { SetPosition(FPosition + Delta); }

protected:
  void CreateParams(TCreateParams& Params) override;
  void CreateWndDone() override;

private:
  void UpdateRange();
  int FMin = 0, FMax = 100, FPosition = 0;
};

// --------------------------------------------------------------------------
// The system animation control playing one of the shell's own clips
// (CommonAVI) from StartFrame to StopFrame (0: the last), over and over while
// Active. Opening a clip the system lacks raises an Exception and leaves the
// control inactive.
enum TCommonAVI {
  aviNone, aviFindFolder, aviFindFile, aviFindComputer, aviCopyFiles, aviCopyFile, aviRecycleFile,
  aviEmptyRecycle, aviDeleteFile
};
extern const TEnumInfo CommonAVIInfo;

class TAnimate : public TWinControl {
  QNT_PUBLISHED(TAnimate, TWinControl)
public:
  explicit TAnimate(TComponent* AOwner);
  bool Active() const { return FActive; }
  void SetActive(bool Value);
  TCommonAVI CommonAVI() const { return FCommonAVI; }
  void SetCommonAVI(TCommonAVI Value);
  int StartFrame() const { return FStartFrame; }
  void SetStartFrame(int Value) { FStartFrame = Value; }
  int StopFrame() const { return FStopFrame; }
  void SetStopFrame(int Value) { FStopFrame = Value; }
  void Loaded() override;

protected:
  void CreateParams(TCreateParams& Params) override;
  void CreateWndDone() override;

private:
  void OpenAndPlay();
  bool FActive = false;
  TCommonAVI FCommonAVI = aviNone;
  int FStartFrame = 1;
  int FStopFrame = 0;
};

// --------------------------------------------------------------------------
// A list of equal-sized pictures cut from one bitmap resource (ResourceName),
// for the pictures of tree nodes. The mask colour is the bitmap's top left
// pixel's.
class TImageList : public TComponent {
  QNT_PUBLISHED(TImageList, TComponent)
public:
  explicit TImageList(TComponent* AOwner);
  ~TImageList() override;
  int Width() const { return FWidth; }
  void SetWidth(int Value);
  int Height() const { return FHeight; }
  void SetHeight(int Value);
  // The bitmap resource of this program the pictures are cut from; an
  // EResNotFound when there is none.
  const std::string& ResourceName() const { return FResourceName; }
  void SetResourceName(const std::string& Value);
  int Count() const;
  // The system image list (nullptr while empty).
  struct _IMAGELIST* Handle() const { return FHandle; }
  void Loaded() override;

private:
  void Load();
  int FWidth = 16, FHeight = 16;
  std::string FResourceName;
  struct _IMAGELIST* FHandle = nullptr;
};

class TTreeView;
class TTreeNodes;

// One node of a tree view: its text, a pointer of the owner's (Data) and the
// state picture (StateIndex: the picture of that number in StateImages; 0 or
// less shows none).
class TTreeNode : public TObject {
public:
  const std::string& Text() const { return FText; }
  void SetText(const std::string& Value);
  void* Data() const { return FData; }
  void SetData(void* Value) { FData = Value; }
  int StateIndex() const { return FStateIndex; }
  void SetStateIndex(int Value);
  TTreeNode* Parent() const { return FParent; }
  int Count() const { return static_cast<int>(FChildren.size()); }
  TTreeNode* Item(int Index) const { return FChildren.at(static_cast<size_t>(Index)); }
  int Level() const;
  bool Expanded() const { return FExpanded; }
  void Expand(bool Recurse);
  void Collapse(bool Recurse);
  bool Selected() const;
  TTreeView* TreeView() const { return FTree; }

private:
  friend class TTreeNodes;
  friend class TTreeView;
  TTreeNode(TTreeView* Tree, TTreeNode* Parent) : FTree(Tree), FParent(Parent) {}
  void UpdateItem();
  TTreeView* FTree;
  TTreeNode* FParent;
  std::vector<TTreeNode*> FChildren;
  std::string FText;
  void* FData = nullptr;
  int FStateIndex = -1;
  bool FExpanded = false;
  struct _TREEITEM* FItem = nullptr;
};

// The nodes of a tree view, in the order they were added (parents first).
class TTreeNodes {
public:
  explicit TTreeNodes(TTreeView* Owner) : FOwner(Owner) {}
  ~TTreeNodes();
  TTreeNodes(const TTreeNodes&) = delete;
  TTreeNodes& operator=(const TTreeNodes&) = delete;
  // A last child of Parent (a top node when Parent is nullptr).
  TTreeNode* AddChild(TTreeNode* Parent, const std::string& S) { return AddChildObject(Parent, S, nullptr); }
  TTreeNode* AddChildObject(TTreeNode* Parent, const std::string& S, void* Ptr);
  void Clear();
  int Count() const { return static_cast<int>(FNodes.size()); }
  TTreeNode* Item(int Index) const { return FNodes.at(static_cast<size_t>(Index)); }
  TTreeNode* GetFirstNode() const { return FNodes.empty() ? nullptr : FNodes.front(); }
  // Redraws once, after the last EndUpdate.
  void BeginUpdate();
  void EndUpdate();

private:
  friend class TTreeView;
  TTreeView* FOwner;
  std::vector<TTreeNode*> FNodes;
  int FUpdateCount = 0;
};

// The system tree view over TTreeNodes. OnClick follows a click on a node,
// which is selected by then. The state pictures serve as the nodes' check
// boxes: a click on a node's state picture, or Space on the selected node,
// fires OnStateImageClick after OnClick, with that node selected.
class TTreeView : public TWinControl {
  QNT_PUBLISHED(TTreeView, TWinControl)
public:
  explicit TTreeView(TComponent* AOwner);
  ~TTreeView() override;
  TTreeNodes* Items() const { return FItems; }
  TTreeNode* Selected() const;
  void SetSelected(TTreeNode* Node);
  TImageList* StateImages() const { return FStateImages; }
  void SetStateImages(TImageList* Value);
  bool HideSelection() const { return FHideSelection; }
  void SetHideSelection(bool Value) { FHideSelection = Value; }
  bool ReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool Value) { FReadOnly = Value; }
  int Indent() const { return FIndent; }
  void SetIndent(int Value);
  // The node at X, Y (client coordinates), or nullptr.
  TTreeNode* GetNodeAt(int X, int Y) const;
  // The node's text rectangle in client coordinates (empty when not shown).
  RECT NodeRect(TTreeNode* Node) const;

  TNotifyEvent OnStateImageClick;

  bool CNNotify(NMHDR* Header, LRESULT& Result) override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

protected:
  void CreateParams(TCreateParams& Params) override;
  void CreateWndDone() override;
  void DestroyWndStarting() override;
  LRESULT WndProc(UINT Msg, WPARAM WParam, LPARAM LParam) override;

private:
  friend class TTreeNode;
  friend class TTreeNodes;
  void InsertItem(TTreeNode* Node);
  void InsertAll(TTreeNode* Node);
  TTreeNodes* FItems;
  TImageList* FStateImages = nullptr;
  TTreeNode* FSelected = nullptr;
  bool FHideSelection = true;
  bool FReadOnly = false;
  int FIndent = 19;
};
