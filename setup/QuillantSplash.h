// The splash page of this setup: the product name pulsing in size.
#pragma once

// One tick of the pulsing title. From the title font's size in points and
// the current size step (+1 or -1): the step turns to +1 at 12 points or
// less and to -1 at 42 or more, the size moves by the step, and the light
// edge drawn up-left of the text is 1 pixel below 20 points, 2 below 34 and
// 3 from there up.
struct TTitleFrame {
  int Size;
  int Step;
  int EdgeOffset;
};
TTitleFrame NextTitleFrame(int Size, int Step);
