// The progress window of a web install: the message, the bytes received, a
// progress bar and the Abort button.
#pragma once
#include <functional>
#include <string>

#include "classlib/Classes.h"

class TfmFetchkit : public TComponent {
public:
  explicit TfmFetchkit(TComponent* AOwner);

  void Show();
  void Hide();
  bool Visible() const { return FVisible; }

  void SetMessage(const std::string& Text) { FMessage = Text; }
  const std::string& Message() const { return FMessage; }
  void SetBytesTransferred(const std::string& Text) { FBytes = Text; }
  const std::string& BytesTransferred() const { return FBytes; }
  void SetProgress(int Position) { FPosition = Position; }
  int Progress() const { return FPosition; }
  void SetAbortVisible(bool Value) { FAbortVisible = Value; }
  bool AbortVisible() const { return FAbortVisible; }
  // The Abort button's click.
  std::function<void(TObject*)> OnAbortClick;

private:
  bool FVisible = false;
  std::string FMessage;
  std::string FBytes = "1,000,000 bytes";
  int FPosition = 0;
  bool FAbortVisible = true;
};
