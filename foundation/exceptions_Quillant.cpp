#include "foundation/exceptions_Quillant.h"

// The user-abort text stays English whatever the wizard language.
EAIUserAbort::EAIUserAbort() : EAI("Installation aborted by the user") {}

EQlntSocket::EQlntSocket(uint16_t Number) : EQuillantAbnormal("Error creating socket"), ErrorNumber(Number) {}
