// Declarations only; this unit has no code of its own.
#include "foundation/types_Quillant.h"
