// A grid of text cells, each with an object beside its text; the owner may
// paint the cells itself (OnDrawCell). Rows scroll vertically.
//
// As the class library does, moving the selection in code (SetCell) fires
// OnClick just as a click on a cell does.
//
// Windows only: the user-interface library (classlib_ui).
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "classlib/Controls.h"

enum TGridOption {
  goFixedVertLine,
  goFixedHorzLine,
  goVertLine,
  goHorzLine,
  goRangeSelect,
  goDrawFocusSelected,
};
using TGridOptions = unsigned;  // bit (1 << option)
extern const TEnumInfo GridOptionInfo;

using TDrawCellEvent = std::function<void(TObject* Sender, int ACol, int ARow, RECT Rect, HDC DC)>;
using TKeyPressEvent = std::function<void(TObject* Sender, char& Key)>;

class TStringGrid : public TCustomControl {
  QNT_PUBLISHED(TStringGrid, TCustomControl)
public:
  explicit TStringGrid(TComponent* AOwner);

  int ColCount() const { return FColCount; }
  void SetColCount(int Value);
  int RowCount() const { return FRowCount; }
  void SetRowCount(int Value);
  int DefaultColWidth() const { return FDefaultColWidth; }
  void SetDefaultColWidth(int Value);
  int DefaultRowHeight() const { return FDefaultRowHeight; }
  void SetDefaultRowHeight(int Value);
  // Fixed rows and columns are kept as numbers only; this grid draws none.
  int FixedCols() const { return FFixedCols; }
  void SetFixedCols(int Value) { FFixedCols = Value; }
  int FixedRows() const { return FFixedRows; }
  void SetFixedRows(int Value) { FFixedRows = Value; }
  TGridOptions Options() const { return FOptions; }
  void SetOptions(TGridOptions Value);

  std::string Cells(int ACol, int ARow) const;
  void SetCells(int ACol, int ARow, const std::string& Value);
  TObject* Objects(int ACol, int ARow) const;
  void SetObjects(int ACol, int ARow, TObject* Value);

  // The selected cell.
  int Col() const { return FCol; }
  int Row() const { return FRow; }
  // Selects a cell (scrolling it into view) and fires OnClick.
  void SetCell(int ACol, int ARow);
  // The first row shown.
  int TopRow() const { return FTopRow; }
  void SetTopRow(int Value);
  // The cell's rectangle in client coordinates (as shown now).
  RECT CellRect(int ACol, int ARow) const;
  // The vertical scroll bar shown when the rows do not fit.
  void SetScrollBarsVisible(bool Value);
  // The brush the cells are filled with.
  HBRUSH BrushHandle() const;

  TDrawCellEvent OnDrawCell;
  TKeyPressEvent OnKeyPress;

  LRESULT WndProc(UINT Msg, WPARAM WParam, LPARAM LParam) override;

protected:
  void CreateParams(TCreateParams& Params) override;
  void PaintWindow(HDC DC) override;
  void Resize() override;

private:
  size_t Index(int ACol, int ARow) const;
  // Keeps the cells that remain at their row and column.
  void Reshape(int OldCols, int OldRows);
  int VisibleRows() const;
  void UpdateScrollBar();

  int FColCount = 5;
  int FRowCount = 5;
  int FDefaultColWidth = 64;
  int FDefaultRowHeight = 24;
  int FFixedCols = 1;
  int FFixedRows = 1;
  TGridOptions FOptions = 0;
  int FCol = 0;
  int FRow = 0;
  int FTopRow = 0;
  bool FScrollBars = true;
  std::vector<std::string> FCells;
  std::vector<TObject*> FObjects;
};
