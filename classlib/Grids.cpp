#include "classlib/Grids.h"

#include <algorithm>

#include "classlib/WinText.h"

const TEnumInfo GridOptionInfo{"TGridOption",
                               {"goFixedVertLine", "goFixedHorzLine", "goVertLine", "goHorzLine", "goRangeSelect",
                                "goDrawFocusSelected"}};

QNT_PUBLISH(TStringGrid,
  Prop::Integer("ColCount", &TStringGrid::ColCount, &TStringGrid::SetColCount, 5),
  Prop::Integer("RowCount", &TStringGrid::RowCount, &TStringGrid::SetRowCount, 5),
  Prop::Integer("DefaultColWidth", &TStringGrid::DefaultColWidth, &TStringGrid::SetDefaultColWidth, 64),
  Prop::Integer("DefaultRowHeight", &TStringGrid::DefaultRowHeight, &TStringGrid::SetDefaultRowHeight, 24),
  Prop::Integer("FixedCols", &TStringGrid::FixedCols, &TStringGrid::SetFixedCols, 1),
  Prop::Integer("FixedRows", &TStringGrid::FixedRows, &TStringGrid::SetFixedRows, 1),
  Prop::Set("Options", &TStringGrid::Options, &TStringGrid::SetOptions, GridOptionInfo, 0),
  Prop::Event("OnDrawCell", &TStringGrid::OnDrawCell, &TStringGrid::OnDrawCell),
  Prop::Event("OnKeyPress", &TStringGrid::OnKeyPress, &TStringGrid::OnKeyPress),
  Prop::Event("OnClick", &TStringGrid::OnClick, &TStringGrid::OnClick));

TStringGrid::TStringGrid(TComponent* AOwner) : TCustomControl(AOwner) {
  SetTabStop(true);
  FColor = clWindow;
  Reshape(0, 0);
}

void TStringGrid::CreateParams(TCreateParams& Params) {
  TCustomControl::CreateParams(Params);
  Params.Style |= WS_VSCROLL;
  Params.ExStyle |= WS_EX_CLIENTEDGE;
}

size_t TStringGrid::Index(int ACol, int ARow) const {
  if (ACol < 0 || ACol >= FColCount || ARow < 0 || ARow >= FRowCount)
    throw EInvalidOperation("Grid index out of range");
  return static_cast<size_t>(ARow) * static_cast<size_t>(FColCount) + static_cast<size_t>(ACol);
}

void TStringGrid::Reshape(int OldCols, int OldRows) {
  std::vector<std::string> cells(static_cast<size_t>(FColCount) * static_cast<size_t>(FRowCount));
  std::vector<TObject*> objects(cells.size(), nullptr);
  for (int r = 0; r < std::min(OldRows, FRowCount); ++r)
    for (int c = 0; c < std::min(OldCols, FColCount); ++c) {
      const size_t from = static_cast<size_t>(r) * static_cast<size_t>(OldCols) + static_cast<size_t>(c);
      cells[Index(c, r)] = std::move(FCells[from]);
      objects[Index(c, r)] = FObjects[from];
    }
  FCells.swap(cells);
  FObjects.swap(objects);
  FCol = std::max(0, std::min(FCol, FColCount - 1));
  FRow = std::max(0, std::min(FRow, FRowCount - 1));
  FTopRow = std::max(0, std::min(FTopRow, FRowCount - 1));
  UpdateScrollBar();
  Invalidate();
}

void TStringGrid::SetColCount(int Value) {
  const int old = FColCount;
  FColCount = std::max(1, Value);
  Reshape(old, FRowCount);
}

void TStringGrid::SetRowCount(int Value) {
  const int old = FRowCount;
  FRowCount = std::max(1, Value);
  Reshape(FColCount, old);
}

void TStringGrid::SetDefaultColWidth(int Value) {
  FDefaultColWidth = Value;
  Invalidate();
}

void TStringGrid::SetDefaultRowHeight(int Value) {
  FDefaultRowHeight = Value;
  UpdateScrollBar();
  Invalidate();
}

void TStringGrid::SetOptions(TGridOptions Value) {
  FOptions = Value;
  Invalidate();
}

std::string TStringGrid::Cells(int ACol, int ARow) const { return FCells[Index(ACol, ARow)]; }

void TStringGrid::SetCells(int ACol, int ARow, const std::string& Value) {
  FCells[Index(ACol, ARow)] = Value;
  Invalidate();
}

TObject* TStringGrid::Objects(int ACol, int ARow) const { return FObjects[Index(ACol, ARow)]; }

void TStringGrid::SetObjects(int ACol, int ARow, TObject* Value) {
  FObjects[Index(ACol, ARow)] = Value;
  Invalidate();
}

int TStringGrid::VisibleRows() const {
  const int step = FDefaultRowHeight + 1;
  return std::max(1, ClientHeight() / std::max(1, step));
}

void TStringGrid::SetCell(int ACol, int ARow) {
  Index(ACol, ARow);  // range check
  FCol = ACol;
  FRow = ARow;
  if (FRow < FTopRow) SetTopRow(FRow);
  if (FRow >= FTopRow + VisibleRows()) SetTopRow(FRow - VisibleRows() + 1);
  Invalidate();
  Click();
}

void TStringGrid::SetTopRow(int Value) {
  FTopRow = std::max(0, std::min(Value, std::max(0, FRowCount - VisibleRows())));
  UpdateScrollBar();
  Invalidate();
}

RECT TStringGrid::CellRect(int ACol, int ARow) const {
  const int left = ACol * (FDefaultColWidth + 1);
  const int top = (ARow - FTopRow) * (FDefaultRowHeight + 1);
  return RECT{left, top, left + FDefaultColWidth, top + FDefaultRowHeight};
}

void TStringGrid::SetScrollBarsVisible(bool Value) {
  FScrollBars = Value;
  if (HandleAllocated()) ShowScrollBar(FHandle, SB_VERT, Value ? TRUE : FALSE);
  UpdateScrollBar();
}

HBRUSH TStringGrid::BrushHandle() const { return GetSysColorBrush(COLOR_WINDOW); }

void TStringGrid::UpdateScrollBar() {
  if (!HandleAllocated() || !FScrollBars) return;
  SCROLLINFO si{};
  si.cbSize = sizeof si;
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
  si.nMin = 0;
  si.nMax = FRowCount - 1;
  si.nPage = static_cast<UINT>(VisibleRows());
  si.nPos = FTopRow;
  SetScrollInfo(FHandle, SB_VERT, &si, TRUE);
}

void TStringGrid::Resize() {
  TCustomControl::Resize();
  SetTopRow(FTopRow);
}

void TStringGrid::PaintWindow(HDC DC) {
  RECT client;
  GetClientRect(FHandle, &client);
  FillRect(DC, &client, BrushHandle());
  HGDIOBJ oldFont = SelectObject(DC, FontHandle());
  SetBkMode(DC, TRANSPARENT);
  HPEN pen = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNFACE));
  HGDIOBJ oldPen = SelectObject(DC, pen);
  for (int r = FTopRow; r < FRowCount; ++r) {
    for (int c = 0; c < FColCount; ++c) {
      RECT cell = CellRect(c, r);
      if (cell.top > client.bottom) break;
      if (OnDrawCell) {
        OnDrawCell(this, c, r, cell, DC);
      } else {
        std::wstring text = Widen(FCells[Index(c, r)]);
        RECT t = cell;
        t.left += 2;
        DrawTextW(DC, text.c_str(), static_cast<int>(text.size()), &t, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
      }
      if (c == FCol && r == FRow && (FOptions & (1u << goDrawFocusSelected))) DrawFocusRect(DC, &cell);
      if (FOptions & (1u << goVertLine)) {
        MoveToEx(DC, cell.right, cell.top, nullptr);
        LineTo(DC, cell.right, cell.bottom + 1);
      }
      if (FOptions & (1u << goHorzLine)) {
        MoveToEx(DC, cell.left, cell.bottom, nullptr);
        LineTo(DC, cell.right + 1, cell.bottom);
      }
    }
  }
  SelectObject(DC, oldPen);
  DeleteObject(pen);
  SelectObject(DC, oldFont);
}

LRESULT TStringGrid::WndProc(UINT Msg, WPARAM WParam, LPARAM LParam) {
  switch (Msg) {
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_LBUTTONDOWN: {
      if (CanFocus()) SetFocus();
      const int x = static_cast<short>(LOWORD(LParam)), y = static_cast<short>(HIWORD(LParam));
      const int c = x / (FDefaultColWidth + 1), r = FTopRow + y / (FDefaultRowHeight + 1);
      if (c >= 0 && c < FColCount && r >= 0 && r < FRowCount) SetCell(c, r);
      return 0;
    }
    case WM_KEYDOWN: {
      int c = FCol, r = FRow;
      switch (WParam) {
        case VK_LEFT: --c; break;
        case VK_RIGHT: ++c; break;
        case VK_UP: --r; break;
        case VK_DOWN: ++r; break;
        default: return TCustomControl::WndProc(Msg, WParam, LParam);
      }
      if (c >= 0 && c < FColCount && r >= 0 && r < FRowCount) SetCell(c, r);
      return 0;
    }
    case WM_CHAR: {
      char key = WParam < 128 ? static_cast<char>(WParam) : '?';
      if (OnKeyPress) OnKeyPress(this, key);
      return 0;
    }
    case WM_VSCROLL: {
      int top = FTopRow;
      switch (LOWORD(WParam)) {
        case SB_LINEUP: --top; break;
        case SB_LINEDOWN: ++top; break;
        case SB_PAGEUP: top -= VisibleRows(); break;
        case SB_PAGEDOWN: top += VisibleRows(); break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: top = HIWORD(WParam); break;
        default: break;
      }
      SetTopRow(top);
      return 0;
    }
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      Invalidate();
      break;
    default:
      break;
  }
  return TCustomControl::WndProc(Msg, WParam, LParam);
}
