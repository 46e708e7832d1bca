#include "setup/QuillantSplash.h"

TTitleFrame NextTitleFrame(int Size, int Step) {
  if (Size <= 12)
    Step = 1;
  else if (Size >= 42)
    Step = -1;
  const int size = Size + Step;
  return TTitleFrame{size, Step, size < 20 ? 1 : size < 34 ? 2 : 3};
}
