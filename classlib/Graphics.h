// Fonts as the forms and the translator's languages describe them: a plain
// description (face, height, style, character set, colour) that controls
// turn into system fonts when they draw.
#pragma once
#include <cstdint>
#include <string>

#include "classlib/Classes.h"
#include "classlib/TypInfo.h"

using TColor = int32_t;
// System colours carry the high bit and the system colour index.
constexpr TColor clBlack = 0x000000;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clWindowText = static_cast<TColor>(0x80000008u);
constexpr TColor clWindow = static_cast<TColor>(0x80000005u);
constexpr TColor clBtnFace = static_cast<TColor>(0x8000000Fu);
extern const TIdentMap ColorIdents;

using TFontCharset = uint8_t;
extern const TIdentMap CharsetIdents;        // ANSI_CHARSET, DEFAULT_CHARSET, SHIFTJIS_CHARSET ...

enum TFontPitch { fpDefault, fpVariable, fpFixed };
enum TFontStyle { fsBold, fsItalic, fsUnderline, fsStrikeOut };
using TFontStyles = unsigned;  // bit (1 << style)
extern const TEnumInfo FontPitchInfo;
extern const TEnumInfo FontStyleInfo;

class TFont : public TPersistent {
  QNT_PUBLISHED(TFont, TPersistent)
public:
  // Screen resolution that Size and Height convert by.
  static constexpr int PixelsPerInch = 96;

  TFontCharset Charset() const { return FCharset; }
  void SetCharset(TFontCharset v) { Update(FCharset, v); }
  TColor Color() const { return FColor; }
  void SetColor(TColor v) { Update(FColor, v); }
  // Negative: the character height in pixels; positive: the cell height.
  int Height() const { return FHeight; }
  void SetHeight(int v) { Update(FHeight, v); }
  const std::string& Name() const { return FName; }
  void SetName(const std::string& v) { Update(FName, v); }
  TFontPitch Pitch() const { return FPitch; }
  void SetPitch(TFontPitch v) { Update(FPitch, v); }
  // Points, derived from Height.
  int Size() const;
  void SetSize(int Points);
  TFontStyles Style() const { return FStyle; }
  void SetStyle(TFontStyles v) { Update(FStyle, v); }

  // Fired after every change of a value (once for Assign), so that the
  // control that owns the font can pass it on to its window.
  TNotifyEvent OnChange;
  // Fires OnChange.
  virtual void Changed();

  void Assign(const TPersistent* Source) override;

private:
  template <class T>
  void Update(T& Field, const T& Value) {
    if (Field == Value) return;
    Field = Value;
    Changed();
  }
  TFontCharset FCharset = 1;  // DEFAULT_CHARSET
  TColor FColor = clWindowText;
  int FHeight = -11;
  std::string FName = "MS Sans Serif";
  TFontPitch FPitch = fpDefault;
  TFontStyles FStyle = 0;
};

#ifdef _WIN32
#include <memory>
// The system's handle types, without the system headers here.
struct HBITMAP__;
struct HDC__;
struct HINSTANCE__;

// A picture from a bitmap resource. Copies (Assign) share the image, which
// is never changed in place: loading makes a new one.
class TBitmap : public TPersistent {
public:
  TBitmap();
  ~TBitmap() override;
  // The bitmap resource Name of the module (the program or library that
  // holds this code when Instance is nullptr); EResNotFound when missing.
  void LoadFromResourceName(HINSTANCE__* Instance, const std::string& Name);
  void LoadFromResourceName(const std::string& Name) { LoadFromResourceName(nullptr, Name); }
  // A copy of the picture in Source (a bitmap handle the caller keeps), as
  // a new image: a picture drawn off screen shown in one step.
  void LoadFromBitmapHandle(HBITMAP__* Source);
  bool Empty() const { return !FImage; }
  int Width() const;
  int Height() const;
  HBITMAP__* Handle() const;
  // The colour that DrawTransparent leaves out by default: the bottom left
  // pixel's (RGB; 0 when empty).
  uint32_t TransparentColor() const;
  // Draws at X, Y at its own size; Stretch draws into the rectangle.
  void Draw(HDC__* DC, int X, int Y) const;
  void StretchDraw(HDC__* DC, int X, int Y, int W, int H) const;
  // As Draw, without the pixels of colour Transparent (RGB).
  void DrawTransparent(HDC__* DC, int X, int Y, uint32_t Transparent) const;
  void DrawTransparent(HDC__* DC, int X, int Y, int W, int H, uint32_t Transparent) const;
  // The part at SrcX, SrcY of size W x H, at X, Y, as DrawTransparent does.
  void DrawPart(HDC__* DC, int X, int Y, int SrcX, int SrcY, int W, int H, uint32_t Transparent) const;
  void Clear();
  void Assign(const TPersistent* Source) override;
  TNotifyEvent OnChange;

private:
  struct Image;
  void Changed();
  std::shared_ptr<Image> FImage;
};

// Holds the picture of an image control (only bitmaps, from resources).
class TPicture : public TPersistent {
public:
  TPicture();
  ~TPicture() override;
  TBitmap* Bitmap() const { return FBitmap; }
  void LoadFromResourceName(HINSTANCE__* Instance, const std::string& Name) {
    FBitmap->LoadFromResourceName(Instance, Name);
  }
  void LoadFromResourceName(const std::string& Name) { FBitmap->LoadFromResourceName(Name); }
  bool Empty() const { return FBitmap->Empty(); }
  int Width() const { return FBitmap->Width(); }
  int Height() const { return FBitmap->Height(); }
  // Takes a picture or a bitmap.
  void Assign(const TPersistent* Source) override;
  // After every change of the picture.
  TNotifyEvent OnChange;

private:
  TBitmap* FBitmap;
};
#endif
