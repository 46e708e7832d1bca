#include "classlib/ComCtrls.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>

#include "classlib/FormReader.h"
#include "classlib/WinText.h"

QNT_PUBLISH(TProgressBar,
  Prop::Integer("Min", &TProgressBar::Min, &TProgressBar::SetMin, 0),
  Prop::Integer("Max", &TProgressBar::Max, &TProgressBar::SetMax, 100),
  Prop::Integer("Position", &TProgressBar::Position, &TProgressBar::SetPosition, 0));

TProgressBar::TProgressBar(TComponent* AOwner) : TWinControl(AOwner) {
  FWidth = 150;
  FHeight = 16;
}

void TProgressBar::CreateParams(TCreateParams& Params) {
  TWinControl::CreateParams(Params);
  Params.ExStyle &= ~static_cast<DWORD>(WS_EX_CONTROLPARENT);
  Params.Style &= ~static_cast<DWORD>(WS_CLIPCHILDREN);
  Params.WinClassName = PROGRESS_CLASSW;
}

void TProgressBar::CreateWndDone() { UpdateRange(); }

void TProgressBar::UpdateRange() {
  if (!HandleAllocated()) return;
  SendMessageW(Handle(), PBM_SETRANGE32, static_cast<WPARAM>(FMin), static_cast<LPARAM>(FMax));
  SendMessageW(Handle(), PBM_SETPOS, static_cast<WPARAM>(FPosition), 0);
}

void TProgressBar::SetMin(int Value) {
  if (Value == FMin) return;
  FMin = Value;
  if (!Loading()) FPosition = std::clamp(FPosition, std::min(FMin, FMax), std::max(FMin, FMax));
  UpdateRange();
}

void TProgressBar::SetMax(int Value) {
  if (Value == FMax) return;
  FMax = Value;
  if (!Loading()) FPosition = std::clamp(FPosition, std::min(FMin, FMax), std::max(FMin, FMax));
  UpdateRange();
}

void TProgressBar::SetPosition(int Value) {
  // While the form is read the range may come later; clamp only in use.
  if (!Loading()) Value = std::clamp(Value, std::min(FMin, FMax), std::max(FMin, FMax));
  if (Value == FPosition) return;
  FPosition = Value;
  if (HandleAllocated()) SendMessageW(Handle(), PBM_SETPOS, static_cast<WPARAM>(Value), 0);
}

// ------------------------------------------------------------------ TAnimate

const TEnumInfo CommonAVIInfo{"TCommonAVI",
                              {"aviNone", "aviFindFolder", "aviFindFile", "aviFindComputer", "aviCopyFiles",
                               "aviCopyFile", "aviRecycleFile", "aviEmptyRecycle", "aviDeleteFile"}};

QNT_PUBLISH(TAnimate,
  Prop::Boolean("Active", &TAnimate::Active, &TAnimate::SetActive, false),
  Prop::Enum("CommonAVI", &TAnimate::CommonAVI, &TAnimate::SetCommonAVI, CommonAVIInfo, aviNone),
  Prop::Integer("StartFrame", &TAnimate::StartFrame, &TAnimate::SetStartFrame, 1),
  Prop::Integer("StopFrame", &TAnimate::StopFrame, &TAnimate::SetStopFrame, 0));

namespace {
// The shell's clip resources, by TCommonAVI.
constexpr int CommonAVIResource[] = {0, 150, 151, 152, 160, 161, 162, 163, 164};
}  // namespace

TAnimate::TAnimate(TComponent* AOwner) : TWinControl(AOwner) {
  FWidth = 100;
  FHeight = 80;
}

void TAnimate::CreateParams(TCreateParams& Params) {
  TWinControl::CreateParams(Params);
  Params.ExStyle &= ~static_cast<DWORD>(WS_EX_CONTROLPARENT);
  Params.Style &= ~static_cast<DWORD>(WS_CLIPCHILDREN);
  Params.Style |= ACS_TRANSPARENT;
  Params.WinClassName = ANIMATE_CLASSW;
}

void TAnimate::CreateWndDone() {
  if (FActive) OpenAndPlay();
}

void TAnimate::Loaded() {
  TWinControl::Loaded();
  if (FActive && HandleAllocated()) OpenAndPlay();
}

void TAnimate::SetCommonAVI(TCommonAVI Value) {
  if (Value == FCommonAVI) return;
  FCommonAVI = Value;
  if (FActive && !Loading()) SetActive(false);
}

void TAnimate::SetActive(bool Value) {
  if (Loading()) {
    FActive = Value;
    return;
  }
  if (!Value) {
    FActive = false;
    if (HandleAllocated()) SendMessageW(Handle(), ACM_STOP, 0, 0);
    return;
  }
  FActive = true;
  try {
    OpenAndPlay();
  } catch (...) {
    FActive = false;
    throw;
  }
}

void TAnimate::OpenAndPlay() {
  if (FCommonAVI == aviNone) throw Exception("Cannot open AVI");
  HWND h = Handle();
  HMODULE shell = GetModuleHandleW(L"shell32.dll");
  if (!shell) shell = LoadLibraryW(L"shell32.dll");
  if (!shell || !SendMessageW(h, ACM_OPENW, reinterpret_cast<WPARAM>(shell),
                              reinterpret_cast<LPARAM>(MAKEINTRESOURCEW(CommonAVIResource[FCommonAVI]))))
    throw Exception("Cannot open AVI");
  const WORD from = static_cast<WORD>(FStartFrame > 0 ? FStartFrame - 1 : 0);
  const WORD to = static_cast<WORD>(FStopFrame > 0 ? FStopFrame - 1 : -1);
  if (!SendMessageW(h, ACM_PLAY, static_cast<WPARAM>(-1), MAKELPARAM(from, to))) throw Exception("Cannot play AVI");
}

// ---------------------------------------------------------------- TImageList

QNT_PUBLISH(TImageList,
  Prop::Integer("Width", &TImageList::Width, &TImageList::SetWidth, 16),
  Prop::Integer("Height", &TImageList::Height, &TImageList::SetHeight, 16),
  Prop::String("ResourceName", &TImageList::ResourceName, &TImageList::SetResourceName, ""));

namespace {
HINSTANCE ModuleOfThisCode() {
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&ModuleOfThisCode), &module);
  return module;
}
}  // namespace

TImageList::TImageList(TComponent* AOwner) : TComponent(AOwner) {}

TImageList::~TImageList() {
  if (FHandle) ImageList_Destroy(FHandle);
}

void TImageList::SetWidth(int Value) {
  FWidth = Value;
  if (!HasState(csLoading)) Load();
}

void TImageList::SetHeight(int Value) {
  FHeight = Value;
  if (!HasState(csLoading)) Load();
}

void TImageList::SetResourceName(const std::string& Value) {
  FResourceName = Value;
  if (!HasState(csLoading)) Load();
}

void TImageList::Loaded() {
  TComponent::Loaded();
  Load();
}

int TImageList::Count() const { return FHandle ? ImageList_GetImageCount(FHandle) : 0; }

void TImageList::Load() {
  if (FHandle) ImageList_Destroy(FHandle);
  FHandle = nullptr;
  if (FResourceName.empty()) return;
  const std::wstring name = Widen(FResourceName);
  FHandle = ImageList_LoadImageW(ModuleOfThisCode(), name.c_str(), FWidth, 0, CLR_DEFAULT, IMAGE_BITMAP,
                                 LR_CREATEDIBSECTION);
  if (!FHandle) throw EResNotFound("Resource " + FResourceName + " not found");
}

// ---------------------------------------------------------------- TTreeNode

void TTreeNode::SetText(const std::string& Value) {
  FText = Value;
  UpdateItem();
}

void TTreeNode::SetStateIndex(int Value) {
  FStateIndex = Value;
  UpdateItem();
}

int TTreeNode::Level() const {
  int level = 0;
  for (TTreeNode* p = FParent; p; p = p->FParent) ++level;
  return level;
}

void TTreeNode::UpdateItem() {
  if (!FItem || !FTree->HandleAllocated()) return;
  const std::wstring text = Widen(FText);
  TVITEMW item{};
  item.mask = TVIF_TEXT | TVIF_STATE | TVIF_HANDLE;
  item.hItem = FItem;
  item.pszText = const_cast<wchar_t*>(text.c_str());
  item.stateMask = TVIS_STATEIMAGEMASK;
  item.state = INDEXTOSTATEIMAGEMASK(FStateIndex > 0 ? FStateIndex : 0);
  SendMessageW(FTree->Handle(), TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
}

void TTreeNode::Expand(bool Recurse) {
  FExpanded = true;
  if (FItem && FTree->HandleAllocated())
    SendMessageW(FTree->Handle(), TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(FItem));
  if (Recurse)
    for (TTreeNode* c : FChildren) c->Expand(true);
}

void TTreeNode::Collapse(bool Recurse) {
  FExpanded = false;
  if (FItem && FTree->HandleAllocated())
    SendMessageW(FTree->Handle(), TVM_EXPAND, TVE_COLLAPSE, reinterpret_cast<LPARAM>(FItem));
  if (Recurse)
    for (TTreeNode* c : FChildren) c->Collapse(true);
}

bool TTreeNode::Selected() const { return FTree->Selected() == this; }

// ---------------------------------------------------------------- TTreeNodes

TTreeNodes::~TTreeNodes() {
  for (TTreeNode* n : FNodes) delete n;
}

TTreeNode* TTreeNodes::AddChildObject(TTreeNode* Parent, const std::string& S, void* Ptr) {
  auto* node = new TTreeNode(FOwner, Parent);
  node->FText = S;
  node->FData = Ptr;
  FNodes.push_back(node);
  if (Parent) Parent->FChildren.push_back(node);
  FOwner->InsertItem(node);
  return node;
}

void TTreeNodes::Clear() {
  FOwner->FSelected = nullptr;
  if (FOwner->HandleAllocated()) {
    // The window must not report a selection of a node that is gone.
    for (TTreeNode* n : FNodes) n->FItem = nullptr;
    SendMessageW(FOwner->Handle(), TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
  }
  for (TTreeNode* n : FNodes) delete n;
  FNodes.clear();
}

void TTreeNodes::BeginUpdate() {
  if (FUpdateCount++ == 0 && FOwner->HandleAllocated()) SendMessageW(FOwner->Handle(), WM_SETREDRAW, FALSE, 0);
}

void TTreeNodes::EndUpdate() {
  if (FUpdateCount == 0 || --FUpdateCount > 0) return;
  if (FOwner->HandleAllocated()) {
    SendMessageW(FOwner->Handle(), WM_SETREDRAW, TRUE, 0);
    FOwner->Invalidate();
  }
}

// ---------------------------------------------------------------- TTreeView

QNT_PUBLISH(TTreeView,
  Prop::Component("StateImages", &TTreeView::StateImages, &TTreeView::SetStateImages),
  Prop::Boolean("HideSelection", &TTreeView::HideSelection, &TTreeView::SetHideSelection, true),
  Prop::Boolean("ReadOnly", &TTreeView::ReadOnly, &TTreeView::SetReadOnly, false),
  Prop::Integer("Indent", &TTreeView::Indent, &TTreeView::SetIndent, 19),
  Prop::Event("OnClick", &TTreeView::OnClick, &TTreeView::OnClick),
  Prop::Event("OnStateImageClick", &TTreeView::OnStateImageClick, &TTreeView::OnStateImageClick));

TTreeView::TTreeView(TComponent* AOwner) : TWinControl(AOwner), FItems(new TTreeNodes(this)) {
  FWidth = 121;
  FHeight = 97;
  FTabStop = true;
  FColor = clWindow;
}

TTreeView::~TTreeView() {
  DestroyHandle();
  delete FItems;
}

void TTreeView::CreateParams(TCreateParams& Params) {
  TWinControl::CreateParams(Params);
  Params.ExStyle &= ~static_cast<DWORD>(WS_EX_CONTROLPARENT);
  Params.Style &= ~static_cast<DWORD>(WS_CLIPCHILDREN);
  Params.ExStyle |= WS_EX_CLIENTEDGE;
  Params.WinClassName = WC_TREEVIEWW;
  Params.Style |= TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT;
  if (!FHideSelection) Params.Style |= TVS_SHOWSELALWAYS;
  if (!FReadOnly) Params.Style |= TVS_EDITLABELS;
}

void TTreeView::CreateWndDone() {
  if (FStateImages && FStateImages->Handle())
    SendMessageW(FHandle, TVM_SETIMAGELIST, TVSIL_STATE, reinterpret_cast<LPARAM>(FStateImages->Handle()));
  SendMessageW(FHandle, TVM_SETINDENT, static_cast<WPARAM>(FIndent), 0);
  TTreeNode* selected = FSelected;
  for (TTreeNode* n : FItems->FNodes)
    if (!n->FParent) InsertAll(n);
  if (selected) SetSelected(selected);
}

void TTreeView::DestroyWndStarting() {
  FSelected = Selected();
  for (TTreeNode* n : FItems->FNodes) n->FItem = nullptr;
}

void TTreeView::InsertAll(TTreeNode* Node) {
  InsertItem(Node);
  for (TTreeNode* c : Node->FChildren) InsertAll(c);
  if (Node->FExpanded) Node->Expand(false);
}

void TTreeView::InsertItem(TTreeNode* Node) {
  if (!HandleAllocated()) return;
  const std::wstring text = Widen(Node->FText);
  TVINSERTSTRUCTW ins{};
  ins.hParent = Node->FParent ? Node->FParent->FItem : TVI_ROOT;
  ins.hInsertAfter = TVI_LAST;
  ins.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_STATE;
  ins.item.pszText = const_cast<wchar_t*>(text.c_str());
  ins.item.lParam = reinterpret_cast<LPARAM>(Node);
  ins.item.stateMask = TVIS_STATEIMAGEMASK;
  ins.item.state = INDEXTOSTATEIMAGEMASK(Node->FStateIndex > 0 ? Node->FStateIndex : 0);
  Node->FItem = reinterpret_cast<HTREEITEM>(SendMessageW(FHandle, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&ins)));
}

TTreeNode* TTreeView::Selected() const {
  if (!HandleAllocated()) return FSelected;
  auto item = reinterpret_cast<HTREEITEM>(SendMessageW(FHandle, TVM_GETNEXTITEM, TVGN_CARET, 0));
  if (!item) return nullptr;
  TVITEMW tv{};
  tv.mask = TVIF_PARAM | TVIF_HANDLE;
  tv.hItem = item;
  if (!SendMessageW(FHandle, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tv))) return nullptr;
  return reinterpret_cast<TTreeNode*>(tv.lParam);
}

void TTreeView::SetSelected(TTreeNode* Node) {
  FSelected = Node;
  if (HandleAllocated())
    SendMessageW(FHandle, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(Node ? Node->FItem : nullptr));
}

void TTreeView::SetStateImages(TImageList* Value) {
  if (FStateImages) FStateImages->RemoveFreeNotification(this);
  FStateImages = Value;
  if (Value) Value->FreeNotification(this);
  if (HandleAllocated())
    SendMessageW(FHandle, TVM_SETIMAGELIST, TVSIL_STATE,
                 reinterpret_cast<LPARAM>(Value ? Value->Handle() : nullptr));
}

void TTreeView::SetIndent(int Value) {
  FIndent = Value;
  if (HandleAllocated()) SendMessageW(FHandle, TVM_SETINDENT, static_cast<WPARAM>(Value), 0);
}

void TTreeView::Notification(TComponent* AComponent, TOperation Operation) {
  TWinControl::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FStateImages) SetStateImages(nullptr);
}

TTreeNode* TTreeView::GetNodeAt(int X, int Y) const {
  if (!HandleAllocated()) return nullptr;
  TVHITTESTINFO hit{};
  hit.pt = {X, Y};
  auto item = reinterpret_cast<HTREEITEM>(SendMessageW(FHandle, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
  if (!item || !(hit.flags & (TVHT_ONITEM | TVHT_ONITEMRIGHT | TVHT_ONITEMINDENT))) return nullptr;
  for (TTreeNode* n : FItems->FNodes)
    if (n->FItem == item) return n;
  return nullptr;
}

RECT TTreeView::NodeRect(TTreeNode* Node) const {
  RECT r{};
  if (!HandleAllocated() || !Node || !Node->FItem) return r;
  // The message takes the item in the rectangle's place.
  static_assert(sizeof(RECT) >= sizeof(HTREEITEM));
  std::memcpy(&r, &Node->FItem, sizeof(HTREEITEM));
  if (!SendMessageW(FHandle, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&r))) return RECT{};
  return r;
}

bool TTreeView::CNNotify(NMHDR* Header, LRESULT& Result) {
  if (Header->code != NM_CLICK) return false;
  // The system tells of the click before it moves the selection: select the
  // node under the mouse first, so that OnClick sees it selected.
  const DWORD pos = GetMessagePos();
  TVHITTESTINFO hit{};
  hit.pt = {static_cast<short>(LOWORD(pos)), static_cast<short>(HIWORD(pos))};
  ScreenToClient(FHandle, &hit.pt);
  TTreeNode* node = GetNodeAt(hit.pt.x, hit.pt.y);
  SendMessageW(FHandle, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit));
  const bool onState = node && FStateImages && (hit.flags & TVHT_ONITEMSTATEICON);
  if (node) SetSelected(node);
  Click();
  if (onState && OnStateImageClick) OnStateImageClick(this);
  Result = 0;
  return true;
}

LRESULT TTreeView::WndProc(UINT Msg, WPARAM WParam, LPARAM LParam) {
  // Space ticks the selected node as a click on its state picture does; its
  // character would only start a search for a node named so.
  if (OnStateImageClick && FStateImages && WParam == VK_SPACE) {  // the key's code is the character's
    if (Msg == WM_KEYDOWN) {
      const bool repeated = (LParam & (LPARAM{1} << 30)) != 0;  // held down: one tick per press
      if (!repeated && Selected()) OnStateImageClick(this);
      return 0;
    }
    if (Msg == WM_CHAR) return 0;
  }
  return TWinControl::WndProc(Msg, WParam, LParam);
}
