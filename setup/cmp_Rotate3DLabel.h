// A windowless label whose caption is turned by a whole number of degrees
// about the label's centre, with an optional raised, sunken or shadowed look,
// on a transparent or a filled background. The look lives in a separate
// persistent style that tells the label when it changes.
#pragma once
#include <windows.h>

#include <cstdint>

#include "classlib/StdCtrls.h"

enum T3DEffectShort { A3dNormal, A3dResit, A3dRaised, A3dShadowed };
extern const TEnumInfo T3DEffectShortInfo;

class TLabelStyle : public TPersistent {
  QNT_PUBLISHED(TLabelStyle, TPersistent)
public:
  // AOwner (may be nil) is asked whether it is being read: a highlight colour
  // streamed while the highlight is still forced to white is remembered, so
  // that it shows once the stream switches the forcing off.
  explicit TLabelStyle(TComponent* AOwner = nullptr) : FOwner(AOwner) {}

  // Degrees, 0..359; anything else is taken as 0.
  int32_t Angle() const { return FAngle; }
  void SetAngle(int32_t Value);
  T3DEffectShort AStyle3D() const { return FStyle3D; }
  void setStyleEffect(T3DEffectShort Value);
  // The shadow colour.
  TColor AShadeRightBottom() const { return FShadeRightBottom; }
  void SetShadowColor(TColor Value);
  // The highlight colour; ignored while AShadeLTSet forces it to white.
  TColor AShadeLeftTop() const { return FShadeLeftTop; }
  void SetShadeLeftTop(TColor Value);
  // True forces the highlight to white and remembers the colour it had;
  // false brings the remembered colour back.
  bool AShadeLTSet() const { return FShadeLTSet; }
  void SetShadeLT(bool Value);
  // The drop shadow's offsets in pixels (negative vertical is upwards).
  int AHShadeOffSet() const { return FHShadeOffSet; }
  void SetFhOffSet(int Value);
  int AVShadeOffSet() const { return FVShadeOffSet; }
  void SetFvOffSet(int Value);
  TColor RememberedHighlight() const { return FLast; }

  TNotifyEvent OnChange;
  // Fires OnChange.
  void Invalidate();
  void Assign(const TPersistent* Source) override;

private:
  bool Restoring() const { return FAssigning || (FOwner && FOwner->HasState(csLoading)); }

  TComponent* FOwner;
  int32_t FAngle = 0;
  T3DEffectShort FStyle3D = A3dRaised;
  TColor FShadeRightBottom = 0x808080;
  TColor FShadeLeftTop = 0xFFFFFF;
  bool FShadeLTSet = true;
  int FHShadeOffSet = 5;
  int FVShadeOffSet = -5;
  TColor FLast = 0xFFFFFF;
  bool FAssigning = false;
};

// Where a turned caption goes: the text origin and the corners (top-left,
// top-right, bottom-right, bottom-left) of the filled box around it, for a
// caption of TextWidth x TextHeight in a label of Width x Height. Fractions
// are dropped towards zero.
struct TRotatedLayout {
  POINT Origin;
  POINT Box[4];
};
TRotatedLayout RotatedLayout(int Width, int Height, int TextWidth, int TextHeight, int Angle);
// The highlight's and the shadow's offset from the text, per look (the drop
// shadow's own offsets are the style's).
void Style3DOffsets(T3DEffectShort Look, int& Highlight, int& Shadow);

class TRotate3DLabel : public TLabel {
  QNT_PUBLISHED(TRotate3DLabel, TLabel)
public:
  explicit TRotate3DLabel(TComponent* AOwner);
  ~TRotate3DLabel() override;

  TLabelStyle* LabelStyle() const { return FLabelStyle; }
  void setLabelstyle(const TLabelStyle* Value);
  // False fills a turned box with the label's colour and draws plainly.
  bool MyTransparent() const { return FMyTransparent; }
  void setMyTransparent(bool Value);

  void StyleChanged(TObject* Sender);
  void Paint(HDC DC) override;

private:
  TLabelStyle* FLabelStyle;
  bool FMyTransparent = true;
  double FDegToRad;
  double FCos = 1, FSin = 0;
};
