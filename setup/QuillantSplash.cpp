#include "setup/QuillantSplash.h"

#include <algorithm>
#include <cmath>

TTitleFrame NextTitleFrame(int Size, int Step) {
  if (Size <= 12)
    Step = 1;
  else if (Size >= 42)
    Step = -1;
  const int size = Size + Step;
  return TTitleFrame{size, Step, size < 20 ? 1 : size < 34 ? 2 : 3};
}

#if defined(_WIN32) && !defined(QNT_SPLASH_WITHOUT_PAGES)
#include <windows.h>

#include "classlib/Units.h"
#include "setup/cmp_Rotate3DLabel.h"

QNT_PUBLISH(TBeforeInstallDialog);

namespace {
const char* const Title = "Quillant32";
}  // namespace

TBeforeInstallDialog::TBeforeInstallDialog(TComponent* AOwner) : TBaseInstallForm(AOwner) {
  RegisterClasses<TRotate3DLabel>();
  RegisterHandler("FormCreate", this, &TBeforeInstallDialog::FormCreate);
  RegisterHandler("FormDestroy", this, &TBeforeInstallDialog::FormDestroy);
  RegisterHandler("BackBtnClick", this, &TBeforeInstallDialog::BackBtnClick);
  RegisterHandler("ProceedBtnClick", this, &TBeforeInstallDialog::ProceedBtnClick);
  RegisterHandler("CancelBtnClick", this, &TBeforeInstallDialog::CancelBtnClick);
  RegisterHandler("tmQuillant32LabelTimer", this, &TBeforeInstallDialog::tmQuillant32LabelTimer);
  ReadForm("TBeforeInstallDialog");
  SetDM(LinkToManager(dmBeforeInstall));
  SetOrder(0);
  // The page keeps its own font and texts.
  SetAutoSetFont(false);
  SetAutoTranslate(false);
}

TBeforeInstallDialog::~TBeforeInstallDialog() { FreeOffScreen(); }

void TBeforeInstallDialog::FormCreate(TObject*) {
  BackBtn = FindChild<TTranslateBitBtn>(this, "BackBtn");
  ProceedBtn = FindChild<TTranslateBitBtn>(this, "ProceedBtn");
  CancelBtn = FindChild<TTranslateBitBtn>(this, "CancelBtn");
  bmFront = FindChild<TImage>(this, "bmFront");
  Image1 = FindChild<TImage>(this, "Image1");
  Rotate3DLabel2 = FindChild<TRotate3DLabel>(this, "Rotate3DLabel2");
  tmQuillant32Label = FindChild<TTimer>(this, "tmQuillant32Label");
  ThemeImage = FindChild<TImage>(this, "ThemeBitmap");
  BackButton = BackBtn;
  OkButtons = {ProceedBtn};
  ThemeImage->Picture()->LoadFromResourceName("INSTALLTHEME1");
  Image1->Picture()->LoadFromResourceName("SPLASHPICTURE");
  CancelBtn->Glyph()->LoadFromResourceName("REDCROSSMARK");
  HDC screen = GetDC(nullptr);
  FOffScreen = CreateCompatibleBitmap(screen, bmFront->Width(), bmFront->Height());
  ReleaseDC(nullptr, screen);
  FTitleSize = 42;
  FStep = 1;
}

void TBeforeInstallDialog::FormDestroy(TObject*) { FreeOffScreen(); }

void TBeforeInstallDialog::FreeOffScreen() {
  for (HFONT& f : FTitleFonts) {
    if (f) DeleteObject(f);
    f = nullptr;
  }
  if (FOffScreen) DeleteObject(FOffScreen);
  FOffScreen = nullptr;
}

HFONT TBeforeInstallDialog::TitleFont(int Size) {
  const size_t i = static_cast<size_t>(std::clamp(Size, 1, static_cast<int>(FTitleFonts.size()) - 1));
  if (!FTitleFonts[i]) {
    // Arial, bold, ANSI; the height goes through the size in points as the
    // font description keeps it.
    TFont font;
    font.SetName("Arial");
    font.SetStyle(1u << fsBold);
    font.SetCharset(ANSI_CHARSET);
    font.SetSize(static_cast<int>(i));
    FTitleFonts[i] = CreateFontHandle(font);
  }
  return FTitleFonts[i];
}

void TBeforeInstallDialog::RefreshInformation() {
  TBaseInstallForm::RefreshInformation();
  BackBtn->SetVisible(!IsFirst());
  tmQuillant32Label->SetEnabled(true);
  FocusIfVisible(ProceedBtn);
}

void TBeforeInstallDialog::Leave() {
  TBaseInstallForm::Leave();
  tmQuillant32Label->SetEnabled(false);
}

void TBeforeInstallDialog::tmQuillant32LabelTimer(TObject*) {
  const TTitleFrame frame = NextTitleFrame(FTitleSize, FStep);
  FTitleSize = frame.Size;
  FStep = frame.Step;
  FEdge = frame.EdgeOffset;
  if (!FOffScreen || !bmFront) return;

  const int w = bmFront->Width(), h = bmFront->Height();
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  ReleaseDC(nullptr, screen);
  HGDIOBJ oldBitmap = SelectObject(dc, FOffScreen);
  HBRUSH back = CreateSolidBrush(ColorToRGB(Color()));
  RECT r{0, 0, w, h};
  FillRect(dc, &r, back);
  DeleteObject(back);
  SetBkMode(dc, TRANSPARENT);
  HGDIOBJ oldFont = SelectObject(dc, TitleFont(FTitleSize));
  SIZE ext{};
  GetTextExtentPoint32A(dc, Title, 10, &ext);
  const int x = static_cast<int>(std::lround(w / 2.0 - ext.cx / 2.0));
  const int y = static_cast<int>(std::lround(h / 2.0 - ext.cy / 2.0));
  SetTextColor(dc, RGB(255, 255, 255));
  TextOutA(dc, x - FEdge, y - FEdge, Title, 10);
  SetTextColor(dc, RGB(255, 255, 0));
  TextOutA(dc, x, y, Title, 10);
  SelectObject(dc, oldFont);
  SelectObject(dc, oldBitmap);
  DeleteDC(dc);
  // One copy to the visible image: the title never flickers.
  bmFront->Picture()->Bitmap()->LoadFromBitmapHandle(FOffScreen);
}

namespace {
void InitSplash() { AddToBIFList(&TBeforeInstallDialog::StaticClassInfo(), nullptr, nullptr); }
TUnitRegistration registration(ulWizardForms, "QuillantSplash", InitSplash, nullptr);
}  // namespace
#endif
