// FullRoutineTranslator: turns a MySQL/MariaDB stored procedure, stored function or trigger, as
// "show create procedure/function/trigger" prints it, into the T-SQL that does the same: the
// statements of its body (DECLARE, SET, SELECT ... INTO, IF, CASE, the loops with their labels,
// cursors and handlers, SIGNAL, RETURN, transactions, temporary tables, dynamic SQL) through the
// expression translator; a trigger's row semantics on T-SQL's statement triggers (NEW and OLD
// become `inserted` and `deleted`, a BEFORE trigger that changes NEW becomes an INSTEAD OF
// trigger with the same outcome). A routine with a construct that T-SQL cannot say with the same
// meaning is not translated; the construct is named instead. Pure; any thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "translation/ExpressionTranslator.h"
#include "translation/TableModel.h"

namespace velmora {

enum class RoutineKind { Procedure, Function, Trigger };

// The other routines of the source database, so that a call can be told from a function call
// and a function that calls a procedure can be refused.
struct KnownRoutine {
    std::string name;
    RoutineKind kind = RoutineKind::Procedure;
    // Its parameters, as RoutineSignature reads them from its CREATE text: "in", "out" or "inout"
    // and the MySQL type. A CALL passes a variable to an OUT parameter as OUTPUT and a computed
    // argument through a variable of the parameter's type; without them such a CALL is refused.
    std::vector<std::string> parameterModes;
    std::vector<std::string> parameterTypes;
};

// The name, kind and parameters of a routine from its CREATE text (name "" when unreadable).
// Without `readBody` only the head is read: for a caller that translates the body itself.
KnownRoutine RoutineSignature(std::string_view createText, bool readBody = true);

struct RoutineContext {
    ExpressionNames names;               // the source and target databases, as for views
    std::vector<KnownRoutine> routines;  // the database's procedures and functions
    // For a trigger: the definition of its table (as read from SHOW CREATE TABLE; its key tells
    // `inserted` and `deleted` rows apart) and the other triggers on the same table and event,
    // in the order MySQL fires them (their names), so that the order is kept or reported.
    std::vector<TableModel> tables;
    std::vector<std::string> triggersOnSameEvent;
    // The SQL mode the routine was created under (SqlModes.h); "" is MySQL's default.
    std::string sqlMode = {};
};

struct FullRoutineTranslation {
    RoutineKind kind = RoutineKind::Procedure;
    std::string name;                      // the routine's or trigger's own name
    std::string table;                     // a trigger's table, "" otherwise
    // The T-SQL batches, in order; each one is sent on its own (CREATE PROCEDURE, FUNCTION and
    // TRIGGER must each be the first statement of a batch). No trailing line feed, no GO.
    std::vector<std::string> statements;
    std::string untranslatable;            // the construct, when the routine cannot be translated
    std::vector<std::string> references;   // tables, views and routines it uses (unqualified)
    std::vector<std::string> adjustments;  // where the T-SQL says more than the MySQL text to mean the same
    bool ok() const { return untranslatable.empty(); }
};

// `createText`: the text of a CREATE PROCEDURE, CREATE FUNCTION or CREATE TRIGGER statement as
// SHOW CREATE gives it (DEFINER and the characteristics included). Never throws; text it cannot
// read is refused with the reason.
FullRoutineTranslation TranslateRoutineFull(std::string_view createText, const RoutineContext& context);

}  // namespace velmora
