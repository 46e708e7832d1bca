#include "webcontrol/FetchkitForm.h"

QNT_PUBLISH(TfmFetchkit);

namespace {
template <class T>
T* Part(TComponent* Form, const char* Name) {
  auto* c = dynamic_cast<T*>(Form->FindComponent(Name));
  if (!c) throw Exception(std::string("The progress window has no ") + Name);
  return c;
}
}  // namespace

TfmFetchkit::TfmFetchkit(TComponent* AOwner) : TForm(AOwner) {
  ReadForm("TFMFETCHKIT");
  Bitmap = Part<TImage>(this, "Bitmap");
  MessageLbl = Part<TLabel>(this, "MessageLbl");
  lblBytesTransferred = Part<TLabel>(this, "lblBytesTransferred");
  Progress = Part<TProgressBar>(this, "Progress");
  btnAbort = Part<TBitBtn>(this, "btnAbort");
  Bitmap->Picture()->LoadFromResourceName("FETCHKITPICTURE");
}
