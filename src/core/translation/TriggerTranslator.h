// TriggerTranslator: MySQL's row triggers on T-SQL's statement triggers. The body runs once per
// row of `inserted`/`deleted` (a cursor over them, paired on the table's key for UPDATE), or once
// for all rows where it is a plain INSERT ... VALUES; a BEFORE trigger that changes NEW becomes an
// INSTEAD OF trigger that writes each row itself after the body changed it. Throws Untranslatable.
// Pure; any thread.
#pragma once

#include "translation/FullRoutineTranslator.h"
#include "translation/RoutineSyntax.h"

namespace velmora {

void TranslateTrigger(const ParsedRoutine& trigger, const RoutineContext& context, FullRoutineTranslation& result);

}  // namespace velmora
