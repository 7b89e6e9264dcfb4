// Compiled on its own as a 32-bit program: the record header's layout checks must hold there.
#include "archive/EngineRecords.h"

static_assert(sizeof(void*) == 4, "this check is meant for a 32-bit build");
