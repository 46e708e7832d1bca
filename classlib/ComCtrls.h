// Common controls: the progress bar.
//
// Windows only: the user-interface library (classlib_ui).
#pragma once
#include "classlib/Controls.h"

// The system progress bar over Min..Max; Position is clamped to the range.
class TProgressBar : public TWinControl {
  QNT_PUBLISHED(TProgressBar, TWinControl)
public:
  explicit TProgressBar(TComponent* AOwner);
  int Min() const { return FMin; }
  void SetMin(int Value);
  int Max() const { return FMax; }
  void SetMax(int Value);
  int Position() const { return FPosition; }
  void SetPosition(int Value);
  void StepBy(int Delta) { SetPosition(FPosition + Delta); }

protected:
  void CreateParams(TCreateParams& Params) override;
  void CreateWndDone() override;

private:
  void UpdateRange();
  int FMin = 0, FMax = 100, FPosition = 0;
};
