// Extended controls: panels.
#pragma once
#include "classlib/Controls.h"
#include "classlib/Forms.h"

enum TPanelBevel { bvNone, bvLowered, bvRaised, bvSpace };
extern const TEnumInfo PanelBevelInfo;

// A container of its own window class with optional bevels and a caption.
// Aligned children share the area inside BorderWidth and the bevels.
class TPanel : public TCustomControl {
  QNT_PUBLISHED(TPanel, TCustomControl)
public:
  explicit TPanel(TComponent* AOwner);
  TPanelBevel BevelInner() const { return FBevelInner; }
  void SetBevelInner(TPanelBevel Value);
  TPanelBevel BevelOuter() const { return FBevelOuter; }
  void SetBevelOuter(TPanelBevel Value);
  int BevelWidth() const { return FBevelWidth; }
  void SetBevelWidth(int Value);
  TBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TBorderStyle Value);
  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment Value);

protected:
  void AdjustClientRect(RECT& Rect) const override;
  void PaintWindow(HDC DC) override;

private:
  TPanelBevel FBevelInner = bvNone;
  TPanelBevel FBevelOuter = bvRaised;
  int FBevelWidth = 1;
  TBorderStyle FBorderStyle = bsNone;
  TAlignment FAlignment = taCenter;
};
