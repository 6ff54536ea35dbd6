// Shift_JIS stepping lives in text/dbcs.h; this name stays so that code
// written against it (the rule, settings and pattern modules, most of the
// conversion) keeps building while it moves over.
#pragma once

#include "text/dbcs.h"
