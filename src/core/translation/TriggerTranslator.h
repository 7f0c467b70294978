// TriggerTranslator: MySQL's row triggers on T-SQL's statement triggers. The body runs once per
// row of `inserted`/`deleted` (a cursor over them, paired on the table's key for UPDATE), or once
// for all rows where it is a plain INSERT ... VALUES; a BEFORE trigger that changes NEW becomes an
// INSTEAD OF trigger that writes each row itself after the body changed it. Throws Untranslatable.
//
// Why INSTEAD OF rather than an AFTER trigger that updates the rows it changed: MySQL checks the
// row after the BEFORE trigger, so a NOT NULL, CHECK or foreign key that only the trigger's value
// satisfies would fail before an AFTER trigger ran; the AFTER form would also write each row twice
// (firing the table's UPDATE triggers for an INSERT) and needs a key to find the rows again. The
// INSTEAD OF loop does what MySQL does per row: the body, then the row's write (which fires the
// AFTER triggers), and needs no key for an INSERT. Its costs: one INSTEAD OF trigger per event
// and table, and the caller's SCOPE_IDENTITY() after an INSERT is NULL (both reported).
// Pure; any thread.
#pragma once

#include "translation/FullRoutineTranslator.h"
#include "translation/RoutineSyntax.h"

namespace velmora {

void TranslateTrigger(const ParsedRoutine& trigger, const RoutineContext& context, FullRoutineTranslation& result,
                      std::string_view text = {});

}  // namespace velmora
