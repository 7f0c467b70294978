// RoutineParser: reads a CREATE PROCEDURE, CREATE FUNCTION or CREATE TRIGGER text, as SHOW
// CREATE prints it, into the header and statement tree of RoutineSyntax.h; expressions and
// queries are read by SqlParser. Throws Untranslatable naming what it cannot read or what has no
// T-SQL counterpart at all. Pure; any thread.
#pragma once

#include <string_view>

#include "translation/RoutineSyntax.h"

namespace velmora {

ParsedRoutine ParseRoutine(std::string_view createText);

}  // namespace velmora
