// Bitmaps and pictures over the system's bitmaps (Windows only).
#include <windows.h>

#include "classlib/FormReader.h"
#include "classlib/Graphics.h"
#include "classlib/WinText.h"

struct TBitmap::Image {
  HBITMAP Handle = nullptr;
  BITMAP Info{};
  ~Image() {
    if (Handle) DeleteObject(Handle);
  }
};

namespace {
HINSTANCE ThisModule() {
  HMODULE h = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&ThisModule), &h);
  return h;
}

// A memory device context holding a bitmap for the life of the object.
struct TSourceDC {
  HDC DC;
  HGDIOBJ Old;
  TSourceDC(HDC Target, HBITMAP Bitmap) : DC(CreateCompatibleDC(Target)), Old(SelectObject(DC, Bitmap)) {}
  ~TSourceDC() {
    SelectObject(DC, Old);
    DeleteDC(DC);
  }
};
}  // namespace

TBitmap::TBitmap() = default;
TBitmap::~TBitmap() = default;

void TBitmap::LoadFromResourceName(HINSTANCE__* Instance, const std::string& Name) {
  HINSTANCE module = Instance ? Instance : ThisModule();
  std::wstring name = Widen(Name);
  auto h = static_cast<HBITMAP>(LoadImageW(module, name.c_str(), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  if (!h) throw EResNotFound("Resource " + Name + " not found");
  auto image = std::make_shared<Image>();
  image->Handle = h;
  GetObjectW(h, sizeof image->Info, &image->Info);
  FImage = std::move(image);
  Changed();
}

void TBitmap::LoadFromBitmapHandle(HBITMAP__* Source) {
  auto h = Source ? static_cast<HBITMAP>(CopyImage(Source, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)) : nullptr;
  if (!h) throw Exception("The bitmap could not be copied");
  auto image = std::make_shared<Image>();
  image->Handle = h;
  GetObjectW(h, sizeof image->Info, &image->Info);
  FImage = std::move(image);
  Changed();
}

int TBitmap::Width() const { return FImage ? FImage->Info.bmWidth : 0; }
int TBitmap::Height() const { return FImage ? std::abs(FImage->Info.bmHeight) : 0; }
HBITMAP__* TBitmap::Handle() const { return FImage ? FImage->Handle : nullptr; }

uint32_t TBitmap::TransparentColor() const {
  if (!FImage) return 0;
  HDC screen = GetDC(nullptr);
  COLORREF c;
  {
    TSourceDC src(screen, FImage->Handle);
    c = GetPixel(src.DC, 0, Height() - 1);
  }
  ReleaseDC(nullptr, screen);
  return c == CLR_INVALID ? 0 : c;
}

void TBitmap::Draw(HDC__* DC, int X, int Y) const { StretchDraw(DC, X, Y, Width(), Height()); }

void TBitmap::StretchDraw(HDC__* DC, int X, int Y, int W, int H) const {
  if (!FImage) return;
  TSourceDC src(DC, FImage->Handle);
  int oldMode = SetStretchBltMode(DC, COLORONCOLOR);
  StretchBlt(DC, X, Y, W, H, src.DC, 0, 0, Width(), Height(), SRCCOPY);
  SetStretchBltMode(DC, oldMode);
}

void TBitmap::DrawTransparent(HDC__* DC, int X, int Y, uint32_t Transparent) const {
  DrawTransparent(DC, X, Y, Width(), Height(), Transparent);
}

void TBitmap::DrawTransparent(HDC__* DC, int X, int Y, int W, int H, uint32_t Transparent) const {
  if (!FImage) return;
  TSourceDC src(DC, FImage->Handle);
  TransparentBlt(DC, X, Y, W, H, src.DC, 0, 0, Width(), Height(), Transparent);
}

void TBitmap::DrawPart(HDC__* DC, int X, int Y, int SrcX, int SrcY, int W, int H, uint32_t Transparent) const {
  if (!FImage || W <= 0 || H <= 0) return;
  TSourceDC src(DC, FImage->Handle);
  TransparentBlt(DC, X, Y, W, H, src.DC, SrcX, SrcY, W, H, Transparent);
}

void TBitmap::Clear() {
  if (!FImage) return;
  FImage.reset();
  Changed();
}

void TBitmap::Changed() {
  if (OnChange) OnChange(this);
}

void TBitmap::Assign(const TPersistent* Source) {
  if (!Source) {
    Clear();
    return;
  }
  if (auto* b = dynamic_cast<const TBitmap*>(Source)) {
    if (b == this) return;
    FImage = b->FImage;
    Changed();
    return;
  }
  if (auto* p = dynamic_cast<const TPicture*>(Source)) {
    Assign(p->Bitmap());
    return;
  }
  TPersistent::Assign(Source);
}

// ---------------------------------------------------------------- TPicture

TPicture::TPicture() : FBitmap(new TBitmap) {
  FBitmap->OnChange = [this](TObject*) {
    if (OnChange) OnChange(this);
  };
}

TPicture::~TPicture() { delete FBitmap; }

void TPicture::Assign(const TPersistent* Source) {
  if (auto* p = dynamic_cast<const TPicture*>(Source)) {
    FBitmap->Assign(p->FBitmap);
    return;
  }
  if (!Source || dynamic_cast<const TBitmap*>(Source)) {
    FBitmap->Assign(Source);
    return;
  }
  TPersistent::Assign(Source);
}
