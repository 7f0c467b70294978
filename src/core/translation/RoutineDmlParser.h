// RoutineDmlParser: reads one simple statement of a routine body from its tokens (up to, not
// including, its ';'): SET, SELECT [INTO], INSERT, UPDATE, DELETE, the cursor statements,
// SIGNAL, RETURN, CALL, transactions, temporary tables and prepared statements; and the MySQL
// types of declarations and parameters. Throws Untranslatable. Pure; any thread.
#pragma once

#include <vector>

#include "translation/RoutineSyntax.h"
#include "translation/SqlParser.h"

namespace velmora {

RoutineStatementPtr ParseSimpleStatement(std::vector<SqlToken> tokens);
// The same, for a statement that starts with a word other than SELECT, from tokens given one at a
// time: a long INSERT ... VALUES is read a row at a time, its tokens never all held.
RoutineStatementPtr ParseSimpleStatement(SqlParser::TokenPull tokens);

// A type at the parser's position: INT, DECIMAL(10,2), VARCHAR(20) CHARACTER SET utf8mb4, ...
RoutineType ParseRoutineType(SqlParser& parser);

}  // namespace velmora
