// The rotated 3-D label: its style's rules, where a turned caption goes, a
// custom highlight through streaming and copying, and a picture of labels at
// several angles (label_form.txt).
#include <gtest/gtest.h>

#include <cstdlib>

#include "classlib/Forms.h"
#include "common/PageRunner.h"
#include "setup/cmp_Rotate3DLabel.h"

using testsupport::PageRunner;

namespace {

class TLabelForm : public TForm {
  QNT_PUBLISHED(TLabelForm, TForm)
public:
  explicit TLabelForm(TComponent* AOwner) : TForm(AOwner) {
    RegisterClasses<TRotate3DLabel>();
    ReadForm("TLABELFORM");
  }
  TRotate3DLabel* Label(const char* Name) const {
    auto* l = dynamic_cast<TRotate3DLabel*>(FindComponent(Name));
    if (!l) throw Exception(std::string("no ") + Name);
    return l;
  }
};
QNT_PUBLISH(TLabelForm);

constexpr TColor Red = 0x0000FF, Green = 0x00FF00, White = 0xFFFFFF;

TEST(Rotate3DLabel, StyleRules) {
  struct AngleRow {
    int32_t set, stored;
  } angles[] = {{45, 45}, {359, 359}, {360, 0}, {-1, 0}, {720, 0}};
  for (const AngleRow& r : angles) {
    TLabelStyle s;
    s.SetAngle(r.set);
    EXPECT_EQ(s.Angle(), r.stored) << r.set;
  }

  TLabelStyle s;
  int changes = 0;
  s.OnChange = [&](TObject*) { ++changes; };
  EXPECT_EQ(s.AStyle3D(), A3dRaised);
  EXPECT_EQ(s.AHShadeOffSet(), 5);
  EXPECT_EQ(s.AVShadeOffSet(), -5);  // upwards
  s.SetShadeLeftTop(Red);            // forced to white: ignored
  EXPECT_EQ(s.AShadeLeftTop(), White);
  s.SetShadeLT(false);
  s.SetShadeLeftTop(Red);
  EXPECT_EQ(s.AShadeLeftTop(), Red);
  s.SetShadeLT(true);
  EXPECT_EQ(s.AShadeLeftTop(), White);
  s.SetShadeLeftTop(Green);  // ignored again, not remembered
  s.SetShadeLT(false);
  EXPECT_EQ(s.AShadeLeftTop(), Red);  // the colour it had when switched on
  s.SetFhOffSet(7);                   // no notice outside the drop-shadow look
  EXPECT_EQ(changes, 4);
}

TEST(Rotate3DLabel, LayoutOfTheTurnedCaption) {
  // A 60 x 20 caption in a 100 x 40 label; the box is 70 x 27. Fractions go
  // towards zero, which shows at 135 degrees (floor would give 65, 49).
  struct Row {
    int angle;
    POINT origin, topLeft, bottomRight;
  } rows[] = {
      {0, {20, 10}, {15, 7}, {85, 33}},
      {90, {40, 50}, {37, 55}, {63, -15}},
      {180, {80, 30}, {85, 33}, {15, 7}},
      {45, {22, 34}, {17, 35}, {83, 5}},
      {135, {64, 48}, {65, 53}, {35, -13}},
  };
  for (const Row& r : rows) {
    TRotatedLayout l = RotatedLayout(100, 40, 60, 20, r.angle);
    EXPECT_EQ(l.Origin.x, r.origin.x) << r.angle;
    EXPECT_EQ(l.Origin.y, r.origin.y) << r.angle;
    EXPECT_EQ(l.Box[0].x, r.topLeft.x) << r.angle;
    EXPECT_EQ(l.Box[0].y, r.topLeft.y) << r.angle;
    EXPECT_EQ(l.Box[2].x, r.bottomRight.x) << r.angle;
    EXPECT_EQ(l.Box[2].y, r.bottomRight.y) << r.angle;
  }
  struct Look {
    T3DEffectShort look;
    int highlight, shadow;
  } looks[] = {{A3dRaised, -1, 1}, {A3dResit, 1, -1}, {A3dNormal, 0, 0}, {A3dShadowed, 0, 0}};
  for (const Look& k : looks) {
    int h = 9, s = 9;
    Style3DOffsets(k.look, h, s);
    EXPECT_EQ(h, k.highlight) << k.look;
    EXPECT_EQ(s, k.shadow) << k.look;
  }
}

// The stream sets the highlight before it switches the forcing off; a copy
// does the same. Both keep the custom colour.
TEST(Rotate3DLabel, CustomHighlightSurvivesStreamingAndAssign) {
  auto* f = new TLabelForm(Application);
  TRotate3DLabel* streamed = f->Label("Raised0");
  EXPECT_FALSE(streamed->LabelStyle()->AShadeLTSet());
  EXPECT_EQ(streamed->LabelStyle()->AShadeLeftTop(), Red);

  TRotate3DLabel copy(nullptr);
  copy.setLabelstyle(streamed->LabelStyle());
  EXPECT_EQ(copy.LabelStyle()->AShadeLeftTop(), Red);
  // A forced source hands on the colour it would bring back.
  TLabelStyle forced;
  forced.SetShadeLT(false);
  forced.SetShadeLeftTop(Green);
  forced.SetShadeLT(true);
  copy.setLabelstyle(&forced);
  EXPECT_EQ(copy.LabelStyle()->AShadeLeftTop(), White);
  copy.LabelStyle()->SetShadeLT(false);
  EXPECT_EQ(copy.LabelStyle()->AShadeLeftTop(), Green);
  f->Free();
}

// Labels at several angles and looks, painted by their form. A filled label
// reads plain once it has been drawn. The picture is taken when
// QNT_SCREENSHOT names a file (a Unix path).
TEST(Rotate3DLabel, PaintedOnTheirForm) {
  auto* f = new TLabelForm(Application);
  TRotate3DLabel* filled = f->Label("Filled135");
  EXPECT_EQ(filled->LabelStyle()->AStyle3D(), A3dRaised);
  const char* shot = std::getenv("QNT_SCREENSHOT");
  bool taken = false;
  PageRunner run(60000);
  run.Step("shown", [&] { return PageRunner::Shown(f); },
           [&] {
             f->Repaint();
             if (shot) {
               Sleep(300);
               taken = testsupport::Screenshot(f->Handle(), shot);
             }
             PageRunner::CloseCommand(f);
           });
  EXPECT_EQ(f->ShowModal(), mrCancel);
  EXPECT_TRUE(run.Finished()) << run.Report();
  EXPECT_EQ(filled->LabelStyle()->AStyle3D(), A3dNormal);
  EXPECT_EQ(f->Label("Sunken15")->LabelStyle()->AStyle3D(), A3dResit);
  if (shot) {
    EXPECT_TRUE(taken);
  }
  f->Free();
}

}  // namespace
