#include "webcontrol/FetchkitForm.h"

TfmFetchkit::TfmFetchkit(TComponent* AOwner) : TComponent(AOwner) {}

void TfmFetchkit::Show() { FVisible = true; }
void TfmFetchkit::Hide() { FVisible = false; }
