// RoutineSyntax: the statements of a MySQL/MariaDB stored procedure, function or trigger body, as
// RoutineParser reads them and RoutineWriter turns them into T-SQL. Expressions and queries are
// the trees of SqlSyntax.h. Plain data; any thread.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "translation/SqlSyntax.h"

namespace velmora {

struct RoutineStatement;
struct RoutineStatementDetails;
using RoutineStatementPtr = std::unique_ptr<RoutineStatement>;
using RoutineStatementList = std::vector<RoutineStatementPtr>;

// A MySQL type as written (lower case words, the length list, CHARACTER SET and COLLATE kept).
struct RoutineType {
    std::string text;
};

// One condition of a handler: SQLEXCEPTION, SQLWARNING, NOT FOUND, SQLSTATE 'xxxxx', an error
// number or a declared condition's name (resolved by the writer).
struct HandlerCondition {
    enum class Kind { Exception, Warning, NotFound, SqlState, ErrorCode, Named };
    Kind kind = Kind::Exception;
    std::string value;
};

struct RoutineStatement {
    enum class Kind {
        Block,             // [label:] BEGIN body END
        DeclareVariable,   // names, type, expr = DEFAULT
        DeclareCondition,  // names[0]; condition
        DeclareCursor,     // names[0]; query
        DeclareHandler,    // handlerAction; conditions; body[0]
        Set,               // targets = values
        SelectInto,        // query; targets
        Select,            // query (a result set)
        Insert,            // table; columns; rows or query
        Update,            // refs, assignments, where, limit
        Delete,            // refs (the table), where, limit
        If,                // branches (condition, body); elseBody
        Case,              // expr = operand or null; branches; elseBody (hasElse)
        While,             // expr; body
        Repeat,            // body; expr = UNTIL
        Loop,              // body
        Leave,             // names[0] = label
        Iterate,           // names[0] = label
        Open, Close,       // names[0] = cursor
        Fetch,             // names[0] = cursor; targets
        Signal,            // names[0] = SQLSTATE or condition name ("" for RESIGNAL without one); expr = MESSAGE_TEXT
        Resignal,
        Return,            // expr
        Call,              // names = routine name parts; values = arguments
        Transaction,       // names[0] = "begin", "commit", "rollback", "savepoint", "rollback to", "release"; names[1] = savepoint
        CreateTemporary,   // names[0] = table; text = the CREATE TABLE text (non-temporary); or query (CREATE ... SELECT)
        DropTemporary,     // names = tables; ifExists; text "table" for a plain DROP TABLE
        Prepare,           // names[0] = statement; expr = the text (a string or a variable)
        Execute,           // names[0] = statement; values = USING variables
        Deallocate,        // names[0] = statement
        Empty,             // a lone ';'
    };
    Kind kind = Kind::Empty;
    bool hasElse = false;
    std::vector<std::string> names;
    SqlNodePtr expr;
    std::vector<SqlNodePtr> targets;
    std::vector<SqlNodePtr> values;
    std::vector<std::pair<SqlNodePtr, RoutineStatementList>> branches;
    RoutineStatementList body;
    RoutineStatementList elseBody;
    std::shared_ptr<SqlQuery> query;
    // What only some kinds carry (labels, declarations, handlers, the parts of INSERT, UPDATE and
    // DELETE), held apart so that the many SET and IF statements of a large body stay small; null
    // when the statement has none. Read through Details(), written through EditDetails().
    std::unique_ptr<RoutineStatementDetails> details;

    const RoutineStatementDetails& Details() const;
    RoutineStatementDetails& EditDetails();  // created on first use, by the parser
};

struct RoutineStatementDetails {
    std::string label;  // Block, While, Repeat, Loop
    RoutineType type;
    // DECLARE ... HANDLER
    std::string handlerAction;  // "continue", "exit", "undo"
    std::vector<HandlerCondition> conditions;
    // INSERT, UPDATE, DELETE
    std::vector<std::string> table;  // INSERT's and a one-table UPDATE's or DELETE's [database.]table
    std::string alias;
    std::vector<std::string> columns;
    std::vector<std::vector<SqlNodePtr>> rows;
    std::vector<std::unique_ptr<SqlTableRef>> refs;  // UPDATE a JOIN b ...: the table references
    SqlNodePtr where;
    SqlNodePtr limit;
    std::string text;
    bool ifExists = false;
};

inline const RoutineStatementDetails& RoutineStatement::Details() const { return ReadBlock(details); }
inline RoutineStatementDetails& RoutineStatement::EditDetails() { return EditBlock(details); }

// The routine's header: what CREATE says before the body.
struct RoutineParameter {
    std::string mode;  // "in", "out", "inout" ("in" for functions)
    std::string name;
    RoutineType type;
};

struct ParsedRoutine {
    enum class Kind { Procedure, Function, Trigger };
    Kind kind = Kind::Procedure;
    std::vector<std::string> nameParts;
    std::vector<RoutineParameter> parameters;
    RoutineType returns;                 // functions
    bool deterministic = false;
    // Triggers
    std::string timing;                  // "before", "after"
    std::string event;                   // "insert", "update", "delete"
    std::vector<std::string> tableParts;
    std::string orderWord;               // "follows", "precedes" or ""
    std::string orderOther;
    RoutineStatementPtr body;
};

}  // namespace velmora
