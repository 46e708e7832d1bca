#include "classlib/ComCtrls.h"

#include <commctrl.h>

#include <algorithm>

QNT_PUBLISH(TProgressBar,
  Prop::Integer("Min", &TProgressBar::Min, &TProgressBar::SetMin, 0),
  Prop::Integer("Max", &TProgressBar::Max, &TProgressBar::SetMax, 100),
  Prop::Integer("Position", &TProgressBar::Position, &TProgressBar::SetPosition, 0));

TProgressBar::TProgressBar(TComponent* AOwner) : TWinControl(AOwner) {
  FWidth = 150;
  FHeight = 16;
}

void TProgressBar::CreateParams(TCreateParams& Params) {
  TWinControl::CreateParams(Params);
  Params.ExStyle &= ~static_cast<DWORD>(WS_EX_CONTROLPARENT);
  Params.Style &= ~static_cast<DWORD>(WS_CLIPCHILDREN);
  Params.WinClassName = PROGRESS_CLASSW;
}

void TProgressBar::CreateWndDone() { UpdateRange(); }

void TProgressBar::UpdateRange() {
  if (!HandleAllocated()) return;
  SendMessageW(Handle(), PBM_SETRANGE32, static_cast<WPARAM>(FMin), static_cast<LPARAM>(FMax));
  SendMessageW(Handle(), PBM_SETPOS, static_cast<WPARAM>(FPosition), 0);
}

void TProgressBar::SetMin(int Value) {
  if (Value == FMin) return;
  FMin = Value;
  if (!Loading()) FPosition = std::clamp(FPosition, std::min(FMin, FMax), std::max(FMin, FMax));
  UpdateRange();
}

void TProgressBar::SetMax(int Value) {
  if (Value == FMax) return;
  FMax = Value;
  if (!Loading()) FPosition = std::clamp(FPosition, std::min(FMin, FMax), std::max(FMin, FMax));
  UpdateRange();
}

void TProgressBar::SetPosition(int Value) {
  // While the form is read the range may come later; clamp only in use.
  if (!Loading()) Value = std::clamp(Value, std::min(FMin, FMax), std::max(FMin, FMax));
  if (Value == FPosition) return;
  FPosition = Value;
  if (HandleAllocated()) SendMessageW(Handle(), PBM_SETPOS, static_cast<WPARAM>(Value), 0);
}
