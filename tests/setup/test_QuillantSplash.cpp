// The splash title's pulse, tick by tick, with the size kept as the font
// keeps it (a height in pixels).
#include <gtest/gtest.h>

#include <map>

#include "classlib/Graphics.h"
#include "setup/QuillantSplash.h"

TEST(QuillantSplash, TitleSizeSwingsBetween12And42) {
  // tick -> size and light-edge offset after it
  const std::map<int, std::pair<int, int>> expected = {
      {1, {41, 3}},  {8, {34, 3}},  {9, {33, 2}},  {22, {20, 2}}, {23, {19, 1}}, {30, {12, 1}},
      {31, {13, 1}}, {60, {42, 3}}, {61, {41, 3}}, {90, {12, 1}},
  };
  TFont font;
  font.SetName("Arial");
  font.SetSize(42);
  int step = 1;  // as the page starts it
  for (int tick = 1; tick <= 90; ++tick) {
    TTitleFrame f = NextTitleFrame(font.Size(), step);
    font.SetSize(f.Size);
    step = f.Step;
    auto it = expected.find(tick);
    if (it == expected.end()) continue;
    EXPECT_EQ(font.Size(), it->second.first) << tick;
    EXPECT_EQ(f.EdgeOffset, it->second.second) << tick;
  }
}
