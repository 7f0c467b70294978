// RoutineWriter: the single statements (SET, SELECT [INTO], INSERT, UPDATE, DELETE, cursors,
// SIGNAL, RETURN, CALL, transactions, temporary tables, prepared statements) and the routine's
// own names inside expressions (variables, stored functions, LAST_INSERT_ID, ROW_COUNT).
#include <algorithm>
#include <optional>
#include <set>

#include "translation/FullTableTranslator.h"
#include "translation/FullViewTranslator.h"
#include "translation/Naming.h"
#include "translation/RoutineWriter.h"

#include <set>
#include "translation/SqlParser.h"
#include "translation/SqlTokenizer.h"

namespace velmora {
namespace {

using K = RoutineStatement::Kind;

bool IsFunction(ParsedRoutine::Kind kind) { return kind == ParsedRoutine::Kind::Function; }

const char* StatementName(K kind) {
    switch (kind) {
        case K::Insert: return "INSERT";
        case K::Update: return "UPDATE";
        case K::Delete: return "DELETE";
        case K::Call: return "CALL";
        case K::CreateTemporary: case K::DropTemporary: return "a temporary table";
        case K::Prepare: case K::Execute: case K::Deallocate: return "dynamic SQL";
        case K::Transaction: return "a transaction statement";
        case K::Select: return "a SELECT that returns rows";
        default: return nullptr;
    }
}

// Whether a node (or anything inside it) names a column of `columns` (lower case), unqualified
// or qualified by `qualifier`.
bool ReadsColumn(const SqlNode& node, const std::vector<std::string>& columns, const std::string& qualifier) {
    if (node.kind == SqlNode::Kind::Name) {
        const std::string column = LowerAscii(node.Parts().back());
        const bool mine = node.Parts().size() == 1 || LowerAscii(node.Parts()[node.Parts().size() - 2]) == qualifier;
        if (mine && std::find(columns.begin(), columns.end(), column) != columns.end()) return true;
    }
    for (const auto& child : node.Children())
        if (child && ReadsColumn(*child, columns, qualifier)) return true;
    return node.Details().elseValue && ReadsColumn(*node.Details().elseValue, columns, qualifier);
}

}  // namespace

void RoutineWriter::Refuse(const std::string& construct) const { throw Untranslatable{construct}; }

void RoutineWriter::Simple(const RoutineStatement& statement, int level) {
    if (const char* name = StatementName(statement.kind)) {
        if (IsFunction(kind_) && statement.kind != K::Select)
            Refuse(std::string(name) + " in a function (a T-SQL function cannot change data or call procedures)");
        if (kind_ == ParsedRoutine::Kind::Trigger && statement.kind == K::Transaction) Refuse("a transaction statement in a trigger");
    }
    switch (statement.kind) {
        case K::Set: return Set(statement, level);
        case K::Select: {
            Emit(level, Query(*statement.query) + ";");
            if (keepFoundRows) Emit(level, "SET @sys_found_rows = @@ROWCOUNT;"), needFoundRows_ = true;
            return CaptureRowCount(level, "-1");
        }
        case K::SelectInto: return SelectInto(statement, level);
        case K::Insert: return Insert(statement, level);
        case K::Update: return Update(statement, level);
        case K::Delete: return Delete(statement, level);
        case K::Open: {
            const std::string cursor = Cursor(statement.names[0]);
            Emit(level, "SET " + cursor + " = CURSOR FAST_FORWARD FOR " + Query(*cursorQueries_.at(cursor)) + ";");
            return Emit(level, "OPEN " + cursor + ";");
        }
        case K::Close: {
            const std::string cursor = Cursor(statement.names[0]);
            Emit(level, "CLOSE " + cursor + ";");
            return Emit(level, "DEALLOCATE " + cursor + ";");
        }
        case K::Fetch: return Fetch(statement, level);
        case K::Signal: case K::Resignal: return Signal(statement, level);
        case K::Return:
            if (!IsFunction(kind_)) Refuse("RETURN outside a function");
            return Emit(level, "RETURN " + Value(*statement.expr) + ";");
        case K::Call: return Call(statement, level);
        case K::Transaction: return Transaction(statement, level);
        case K::CreateTemporary: case K::DropTemporary: return Temporary(statement, level);
        case K::Prepare: case K::Execute: case K::Deallocate: return Dynamic(statement, level);
        default: Refuse("statement");
    }
}

void RoutineWriter::Set(const RoutineStatement& statement, int level) {
    for (std::size_t i = 0; i < statement.targets.size(); ++i) {
        const std::string value = Value(*statement.values[i]);
        Emit(level, "SET " + Variable(*statement.targets[i]) + " = " + value + ";");
        Publish(*statement.targets[i], level);
    }
}

void RoutineWriter::Publish(const SqlNode& target, int level) {
    if (IsFunction(kind_) || target.kind != SqlNode::Kind::Name || target.Parts().size() != 1) return;
    const auto found = sessionVariables_.find(LowerAscii(target.Parts()[0]));
    if (found == sessionVariables_.end()) return;
    Emit(level, "EXEC sp_set_session_context " + TsqlWriter::StringLiteral(found->second) + ", " + Variable(target) + ";");
}

// The variable a SET, SELECT ... INTO or FETCH assigns.
std::string RoutineWriter::Variable(const SqlNode& target) {
    if (target.Parts().size() == 2 && rowTarget) {
        std::string row = rowTarget(target);
        if (!row.empty()) return row;
    }
    std::string variable = target.Parts().size() == 1 ? VariableName(target.Parts()[0]) : "";
    if (variable.empty()) {
        std::string name;
        for (const auto& part : target.Parts()) name += (name.empty() ? "" : ".") + part;
        Refuse("assignment to " + name + ", which is no variable of the routine");
    }
    return variable;
}

std::string RoutineWriter::VariableName(const std::string& name) const {
    const std::string lower = LowerAscii(name);
    for (auto scope = scopes_.rbegin(); scope != scopes_.rend(); ++scope) {
        const auto found = scope->variables.find(lower);
        if (found != scope->variables.end()) return found->second;
    }
    if (!lower.empty() && lower[0] == '@') Refuse("user variable " + name);
    return "";
}

std::string RoutineWriter::Cursor(const std::string& name) const {
    for (auto scope = scopes_.rbegin(); scope != scopes_.rend(); ++scope) {
        const auto found = scope->cursors.find(LowerAscii(name));
        if (found != scope->cursors.end()) return found->second;
    }
    Refuse("unknown cursor " + name);
}

void RoutineWriter::AllowUserVariable(const std::string& name) {
    const std::string lower = LowerAscii(name);
    if (scopes_.front().variables.count(lower)) return;
    const std::string variable = UniqueVariable(name.substr(1));
    scopes_.front().variables[lower] = variable;
    topDeclarations_.push_back("DECLARE " + variable + " nvarchar(max);");
    adjustments.push_back("the user variable " + name + " holds a prepared statement's text: it becomes a variable of the routine "
                          "(T-SQL has no session variables), so its value does not outlive the call");
}

void RoutineWriter::AllowSessionVariable(const std::string& name, bool readFirst) {
    const std::string lower = LowerAscii(name);
    if (scopes_.front().variables.count(lower)) return;
    const std::string variable = UniqueVariable(name.substr(1));
    scopes_.front().variables[lower] = variable;
    const std::string key = TsqlWriter::StringLiteral(name.substr(1));
    // nvarchar(4000): what SESSION_CONTEXT's sql_variant holds; MySQL's variable takes any type.
    topDeclarations_.push_back("DECLARE " + variable + " nvarchar(4000)" +
                               (readFirst ? " = CAST(SESSION_CONTEXT(" + key + ") AS nvarchar(4000))" : "") + ";");
    if (!IsFunction(kind_)) sessionVariables_[lower] = name.substr(1);
    adjustments.push_back(
        "the user variable " + name + " becomes a variable of the routine (text)" +
        (readFirst ? ", starting with the session's value (SESSION_CONTEXT)" : "") +
        (IsFunction(kind_) ? "; its value does not outlive the call" : "; each assignment goes back to the session (sp_set_session_context)"));
}

// The user variables of a text, each with whether it is read before it is set (its first
// mention is no assignment: SET @x =, @x :=, INTO @x).
void RoutineWriter::AllowSessionVariables(std::string_view text) {
    std::set<std::string> seen;
    // Each token is looked at once the token after it is known: a window of three.
    std::optional<SqlToken> previous, current;
    const auto consider = [&](const SqlToken* next) {
        if (!current || current->kind != SqlTokenKind::Variable || current->text.starts_with("@@")) return;
        // DEFINER=`root`@`localhost`: the host of an account, not a variable.
        if (previous && previous->offset + previous->text.size() == current->offset && previous->kind != SqlTokenKind::Operator &&
            previous->kind != SqlTokenKind::Punctuation)
            return;
        std::string name = "@";
        for (char c : current->text.substr(1))
            if (c != '`' && c != '\'' && c != '"') name += c;
        if (!seen.insert(LowerAscii(name)).second) return;
        const std::string before = previous ? LowerAscii(previous->text) : "";
        const std::string_view after = next ? next->text : "";
        const bool assigned = after == ":=" || (after == "=" && (before == "set" || before == ",")) || before == "into";
        AllowSessionVariable(name, !assigned);
    };
    ScanSqlTokens(text, {}, [&](const SqlToken& token) {
        consider(&token);
        previous = current;
        current = token;
    });
    consider(nullptr);
}

// SELECT a, b INTO x, y ...: assignments from the query as a derived table (its own ORDER BY and
// TOP stay inside). More than one row is an error and none raises NOT FOUND, as in MySQL.
void RoutineWriter::SelectInto(const RoutineStatement& statement, int level) {
    SqlQuery& query = *statement.query;
    if (query.items.size() != statement.targets.size()) Refuse("SELECT ... INTO with as many variables as columns");
    std::vector<std::string> targets;
    for (const auto& target : statement.targets) targets.push_back(Variable(*target));
    std::string assignments;
    if (query.from.empty() && !query.next && query.groupBy.empty() && !query.where) {
        for (std::size_t i = 0; i < targets.size(); ++i)
            assignments += (i ? ", " : "") + targets[i] + " = " + Value(*query.items[i].expr);
        Emit(level, "SELECT " + assignments + ";");
    } else {
        for (std::size_t i = 0; i < targets.size(); ++i) {
            query.items[i].alias = "c" + std::to_string(i + 1);
            assignments += (i ? ", " : "") + targets[i] + " = selected.c" + std::to_string(i + 1);
        }
        Emit(level, "SELECT " + assignments + " FROM (" + Query(query) + ") AS selected;");
    }
    needRows_ = true;
    Emit(level, "SET @sys_rows = @@ROWCOUNT;");
    Emit(level, "IF @sys_rows > 1 " + RaiseText("Result consisted of more than one row"));
    CaptureRowCount(level, "@sys_rows");
    for (const auto& target : statement.targets) Publish(*target, level);
    NotFound("@sys_rows = 0", level, false);
}

void RoutineWriter::CaptureRowCount(int level, const std::string& value) {
    if (!keepRowCount) return;
    needRowCount_ = true;
    Emit(level, "SET @sys_row_count = " + value + ";");
}

std::string RoutineWriter::Query(const SqlQuery& query) {
    return WriteRoutineQuery(query, context_.names, context_.tables, expressions_.routine, references, adjustments);
}

std::string RoutineWriter::TableName(const std::vector<std::string>& parts) {
    if (parts.size() != 1) return "";
    const auto temporary = temporaryTables_.find(LowerAscii(parts[0]));
    return temporary == temporaryTables_.end() ? "" : temporary->second;
}

void RoutineWriter::Insert(const RoutineStatement& statement, int level) {
    std::string head = "INSERT INTO " + expressions_.TableName(statement.Details().table);
    if (statement.Details().table.size() == 1 && !temporaryTables_.count(LowerAscii(statement.Details().table[0])) &&
        std::find(references.begin(), references.end(), statement.Details().table[0]) == references.end())
        references.push_back(statement.Details().table[0]);
    if (!statement.Details().columns.empty()) {
        std::string columns;
        for (const auto& column : statement.Details().columns) columns += (columns.empty() ? "" : ", ") + QuoteTargetName(column);
        head += " (" + columns + ")";
    }
    if (statement.query) {
        Emit(level, head + " " + Query(*statement.query) + ";");
    } else {
        std::string rows;
        for (const auto& row : statement.Details().rows) {
            std::string values;
            for (const auto& value : row) values += (values.empty() ? "" : ", ") + Value(*value);
            rows += (rows.empty() ? "" : ", ") + ("(" + values + ")");
        }
        Emit(level, head + (rows == "()" ? " DEFAULT VALUES;" : " VALUES " + rows + ";"));
    }
    CaptureRowCount(level, "@@ROWCOUNT");
}

// FROM and WHERE of an UPDATE or DELETE over joins, written as a query's (the references are
// lent to a query for the writing and given back).
std::string RoutineWriter::FromAndWhere(std::vector<std::unique_ptr<SqlTableRef>>& refs, SqlNodePtr& where) {
    SqlQuery query;
    auto one = std::make_unique<SqlNode>();
    one->kind = SqlNode::Kind::Number;
    one->text = "1";
    query.items.push_back({std::move(one), ""});
    query.from.swap(refs);
    query.where.swap(where);
    std::string text;
    try {
        text = Query(query);
    } catch (...) {
        query.from.swap(refs);
        query.where.swap(where);
        throw;
    }
    query.from.swap(refs);
    query.where.swap(where);
    return text.substr(std::string("SELECT 1").size());
}

void RoutineWriter::Update(const RoutineStatement& statement, int level) {
    auto& update = const_cast<RoutineStatement&>(statement);  // its references are lent to FromAndWhere
    // The table the assignments name: every target's qualifier must be the same.
    std::string qualifier;
    std::vector<std::string> assigned;
    for (const auto& target : update.targets) {
        const std::string own = target->Parts().size() > 1 ? LowerAscii(target->Parts()[target->Parts().size() - 2]) : "";
        if (!own.empty() && !qualifier.empty() && own != qualifier) Refuse("UPDATE of several tables");
        if (!own.empty()) qualifier = own;
    }
    std::string sets;
    for (std::size_t i = 0; i < update.targets.size(); ++i) {
        if (ReadsColumn(*update.values[i], assigned, qualifier))
            Refuse("UPDATE whose assignment reads a column it set before (MySQL reads the new value, T-SQL the old)");
        assigned.push_back(LowerAscii(update.targets[i]->Parts().back()));
        sets += (sets.empty() ? "" : ", ") + QuoteTargetName(update.targets[i]->Parts().back()) + " = " + Value(*update.values[i]);
    }
    const std::string top = update.Details().limit ? "TOP (" + Value(*update.Details().limit) + ") " : "";
    const SqlTableRef& first = *update.Details().refs[0];
    if (update.Details().refs.size() == 1 && first.kind == SqlTableRef::Kind::Table && first.alias.empty()) {
        Emit(level, "UPDATE " + top + expressions_.TableName(first.nameParts) + " SET " + sets +
                        (update.Details().where ? " WHERE " + Condition(*update.Details().where) : "") + ";");
        if (!temporaryTables_.count(LowerAscii(first.nameParts.back())) &&
            std::find(references.begin(), references.end(), first.nameParts.back()) == references.end())
            references.push_back(first.nameParts.back());
    } else {
        if (qualifier.empty()) {
            if (update.Details().refs.size() != 1 || first.kind != SqlTableRef::Kind::Table) Refuse("UPDATE over a join with unqualified assignments");
            qualifier = LowerAscii(first.alias);
        }
        Emit(level, "UPDATE " + top + QuoteTargetName(qualifier) + " SET " + sets + FromAndWhere(update.EditDetails().refs, update.EditDetails().where) + ";");
    }
    CaptureRowCount(level, "@@ROWCOUNT");
}

void RoutineWriter::Delete(const RoutineStatement& statement, int level) {
    auto& del = const_cast<RoutineStatement&>(statement);  // its references are lent to FromAndWhere
    const std::string top = del.Details().limit ? "TOP (" + Value(*del.Details().limit) + ") " : "";
    if (del.Details().refs.empty()) {
        const std::string table = expressions_.TableName(del.Details().table);
        if (!temporaryTables_.count(LowerAscii(del.Details().table.back())) &&
            std::find(references.begin(), references.end(), del.Details().table.back()) == references.end())
            references.push_back(del.Details().table.back());
        const std::string where = del.Details().where ? " WHERE " + Condition(*del.Details().where) : "";
        if (del.Details().alias.empty()) Emit(level, "DELETE " + top + "FROM " + table + where + ";");
        else Emit(level, "DELETE " + top + QuoteTargetName(del.Details().alias) + " FROM " + table + " AS " + QuoteTargetName(del.Details().alias) + where + ";");
    } else {
        Emit(level, "DELETE " + top + QuoteTargetName(del.Details().table.back()) + FromAndWhere(del.EditDetails().refs, del.EditDetails().where) + ";");
    }
    CaptureRowCount(level, "@@ROWCOUNT");
}

void RoutineWriter::Fetch(const RoutineStatement& statement, int level) {
    std::string into;
    for (const auto& target : statement.targets) into += (into.empty() ? "" : ", ") + Variable(*target);
    Emit(level, "FETCH NEXT FROM " + Cursor(statement.names[0]) + " INTO " + into + ";");
    NotFound("@@FETCH_STATUS <> 0", level, true);
}

// SIGNAL and RESIGNAL: THROW with MySQL's message (error 50000); RESIGNAL without a new message
// throws the caught error again.
void RoutineWriter::Signal(const RoutineStatement& statement, int level) {
    std::string state = statement.names.empty() ? "" : statement.names[0];
    if (!state.empty() && statement.Details().text != "sqlstate") {
        HandlerCondition condition;
        for (auto scope = scopes_.rbegin(); scope != scopes_.rend() && condition.value.empty(); ++scope) {
            const auto found = scope->conditions.find(state);
            if (found != scope->conditions.end()) condition = found->second;
        }
        if (condition.kind != HandlerCondition::Kind::SqlState) Refuse("SIGNAL of condition " + state + " without an SQLSTATE");
        state = condition.value;
    }
    if (state.rfind("01", 0) == 0 || state.rfind("02", 0) == 0) Refuse("SIGNAL of a warning or NOT FOUND (SQLSTATE " + state + ")");
    if (statement.kind == K::Resignal) {
        if (!inCatch_) Refuse("RESIGNAL outside an error handler");
        if (!statement.expr) return Emit(level, "THROW;");
    }
    if (!state.empty() && state != "45000")
        adjustments.push_back("SIGNAL SQLSTATE '" + state + "' becomes error 50000 with the same message (T-SQL's own errors have no SQLSTATE)");
    if (!statement.expr) return Emit(level, RaiseText("Unhandled user-defined exception condition"));
    // THROW takes a literal or a variable: a message with line breaks goes through the variable,
    // so that a script can write it as an expression on one line.
    const bool lines = statement.expr->text.find_first_of("\r\n") != std::string::npos;
    if (statement.expr->kind == SqlNode::Kind::String && (!lines || IsFunction(kind_)))
        return Emit(level, RaiseText(statement.expr->text));
    if (IsFunction(kind_)) Refuse("SIGNAL with a computed message in a function");
    needMessage_ = true;
    Emit(level, "SET @sys_message = " + Value(*statement.expr) + ";");
    Emit(level, "THROW 50000, @sys_message, 1;");
}

// CALL p(a, b): EXEC with the arguments in order; a variable passed to an OUT or INOUT parameter
// goes as OUTPUT; T-SQL takes only variables and constants, so a computed argument goes through a
// variable of the parameter's type.
void RoutineWriter::Call(const RoutineStatement& statement, int level) {
    const std::string name = statement.names.back();
    const ExpressionNames& names = context_.names;
    if (statement.names.size() > 1 && statement.names[0] != names.sourceDatabase) {
        // Another source database of the same run: its procedure lives in that database's schema,
        // and its parameters are not known here, so only constants pass.
        const auto& siblings = names.schemaDatabases;
        if (std::find(siblings.begin(), siblings.end(), statement.names[0]) == siblings.end())
            Refuse("CALL of a procedure of another database");
        return CallOtherSchema(statement, level);
    }
    const KnownRoutine* known = nullptr;
    for (const auto& routine : context_.routines)
        if (LowerAscii(routine.name) == LowerAscii(name) && routine.kind == RoutineKind::Procedure) known = &routine;
    const bool modesKnown = known && known->parameterModes.size() == statement.values.size();
    std::string arguments;
    for (std::size_t i = 0; i < statement.values.size(); ++i) {
        const SqlNode& value = *statement.values[i];
        const bool isVariable = value.kind == SqlNode::Kind::Name && value.Parts().size() == 1 && !VariableName(value.Parts()[0]).empty();
        const bool literal = value.kind == SqlNode::Kind::Number || value.kind == SqlNode::Kind::String || value.kind == SqlNode::Kind::Null;
        std::string text;
        if (isVariable) {
            if (!modesKnown) Refuse("CALL of " + name + " with a variable argument (its parameters are not known)");
            text = VariableName(value.Parts()[0]) + (known->parameterModes[i] != "in" ? " OUTPUT" : "");
        } else if (literal) {
            text = Value(value);
        } else {
            if (!modesKnown) Refuse("CALL of " + name + " with a computed argument (its parameters are not known)");
            text = ArgumentValue(value, known->parameterTypes[i], level);
        }
        arguments += (arguments.empty() ? " " : ", ") + text;
    }
    Emit(level, "EXEC " + TargetObjectName(names.targetSchema, name) + arguments + ";");
    if (std::find(references.begin(), references.end(), name) == references.end()) references.push_back(name);
}

void RoutineWriter::CallOtherSchema(const RoutineStatement& statement, int level) {
    const std::string& schema = statement.names[0];
    std::string arguments;
    for (const auto& value : statement.values) {
        const bool literal = value->kind == SqlNode::Kind::Number || value->kind == SqlNode::Kind::String ||
                             value->kind == SqlNode::Kind::Null;
        if (!literal) Refuse("CALL of " + schema + "." + statement.names.back() + " with a variable or computed argument (its parameters are not known)");
        arguments += (arguments.empty() ? " " : ", ") + Value(*value);
    }
    const std::string database =
        context_.names.targetDatabase.empty() ? "" : QuoteTargetName(context_.names.targetDatabase) + ".";
    Emit(level, "EXEC " + database + QuoteTargetName(schema) + "." + QuoteTargetName(statement.names.back()) + arguments + ";");
}

std::string RoutineWriter::ArgumentValue(const SqlNode& value, const std::string& type, int level) {
    const std::string variable = UniqueVariable("argument");
    Emit(level, "DECLARE " + variable + " " + MapRoutineType(RoutineType{type}) + " = " + Value(value) + ";");
    return variable;
}

// MySQL's COMMIT and ROLLBACK without a transaction do nothing; T-SQL's fail, hence the test.
void RoutineWriter::Transaction(const RoutineStatement& statement, int level) {
    const std::string& what = statement.names[0];
    if (what == "begin") return Emit(level, "BEGIN TRANSACTION;");
    if (what == "commit") return Emit(level, "IF @@TRANCOUNT > 0 COMMIT TRANSACTION;");
    if (what == "rollback") return Emit(level, "IF @@TRANCOUNT > 0 ROLLBACK TRANSACTION;");
    if (what == "savepoint") return Emit(level, "SAVE TRANSACTION " + QuoteTargetName(statement.names[1]) + ";");
    if (what == "rollback to") return Emit(level, "ROLLBACK TRANSACTION " + QuoteTargetName(statement.names[1]) + ";");
    Emit(level, ";");  // RELEASE SAVEPOINT: T-SQL's savepoints end with the transaction
}

void RoutineWriter::Temporary(const RoutineStatement& statement, int level) {
    if (statement.kind == K::DropTemporary) {
        for (const auto& name : statement.names) {
            const auto known = temporaryTables_.find(LowerAscii(name));
            if (known == temporaryTables_.end() && statement.Details().text == "table") Refuse("DROP TABLE " + name + " (not a temporary table of the routine)");
            const std::string table = known != temporaryTables_.end() ? known->second : QuoteTargetName("#" + name);
            Emit(level, (statement.Details().ifExists ? "IF OBJECT_ID(" + TsqlWriter::StringLiteral("tempdb.." + table) + ") IS NOT NULL " : "") +
                            std::string("DROP TABLE ") + table + ";");
        }
        return;
    }
    const std::string& name = statement.names[0];
    const std::string table = QuoteTargetName("#" + name);
    temporaryTables_[LowerAscii(name)] = table;
    adjustments.push_back("the temporary table " + name + " lasts until the routine ends (T-SQL drops it there; MySQL keeps it for the session)");
    const std::string guard = statement.Details().ifExists ? "IF OBJECT_ID(" + TsqlWriter::StringLiteral("tempdb.." + table) + ") IS NULL " : "";
    if (statement.query) {
        for (const auto& item : statement.query->items)
            if (item.alias.empty() && item.expr->kind != SqlNode::Kind::Name && item.expr->kind != SqlNode::Kind::Star)
                Refuse("CREATE TEMPORARY TABLE ... SELECT with an unnamed expression");
        return Emit(level, guard + "SELECT * INTO " + table + " FROM (" + Query(*statement.query) + ") AS selected;");
    }
    ExpressionNames unschemed = context_.names;  // a temporary table belongs to no schema
    unschemed.targetSchema.clear();
    const FullTableTranslation translated = TranslateTableFull(statement.Details().text, unschemed);
    if (!translated.ok()) Refuse("CREATE TEMPORARY TABLE (" + translated.error + ")");
    const std::string prefix = "CREATE TABLE t";
    if (translated.createTable.rfind(prefix, 0) != 0) Refuse("CREATE TEMPORARY TABLE");
    Emit(level, guard + "CREATE TABLE " + table + translated.createTable.substr(prefix.size()) + ";");
}

// PREPARE s FROM text; EXECUTE s; DEALLOCATE PREPARE s: sp_executesql runs the text. A literal
// text is translated now; a text built at run time goes as it is and must be T-SQL.
void RoutineWriter::Dynamic(const RoutineStatement& statement, int level) {
    const std::string key = LowerAscii(statement.names[0]);
    auto found = prepared_.find(key);
    if (found == prepared_.end()) {
        const std::string variable = UniqueVariable("statement_" + statement.names[0]);
        topDeclarations_.push_back("DECLARE " + variable + " nvarchar(max);");
        found = prepared_.emplace(key, variable).first;
    }
    if (statement.kind == K::Deallocate) return Emit(level, "SET " + found->second + " = NULL;");
    if (statement.kind == K::Execute) {
        if (!statement.values.empty()) Refuse("EXECUTE ... USING");
        return Emit(level, "EXEC sp_executesql " + found->second + ";");
    }
    const SqlNode& text = *statement.expr;
    if (text.kind == SqlNode::Kind::String) {
        const std::string translated = TranslatePreparedText(text.text, context_);
        adjustments.push_back("the prepared statement " + statement.names[0] + " runs through sp_executesql, translated");
        return Emit(level, "SET " + found->second + " = " + TsqlWriter::StringLiteral(translated) + ";");
    }
    adjustments.push_back("the prepared statement " + statement.names[0] +
                          " runs through sp_executesql with the text built at run time, unchanged: that text must be T-SQL" +
                          (IsDefaultSchema(context_.names.targetSchema)
                               ? std::string()
                               : ", and its unqualified names resolve in the login's default schema, not in " +
                                     context_.names.targetSchema));
    Emit(level, "SET " + found->second + " = " + Value(text) + ";");
}

// The routine's own calls inside expressions; "" for the built-ins the expression writer knows.
std::string RoutineWriter::FunctionCall(const SqlNode& call) {
    const std::string& name = call.text;
    if (name == " default") return "DEFAULT";
    if (name == "last_insert_id") {
        if (!call.Children().empty()) Refuse("LAST_INSERT_ID with an argument");
        return "SCOPE_IDENTITY()";
    }
    if (name == "row_count") return needRowCount_ = true, "@sys_row_count";
    if (name == "found_rows") return needFoundRows_ = true, "@sys_found_rows";
    if (name == "rand" || name == "uuid" || name == "sleep" || name == "uuid_short" || name == "sysdate") {
        if (IsFunction(kind_) && name != "sysdate") Refuse(name + "() in a function (T-SQL forbids non-deterministic and side-effecting built-ins there)");
        if (name == "uuid") return "LOWER(CONVERT(nchar(36), NEWID()))";
        if (name == "rand") return call.Children().empty() ? "RAND()" : "RAND(" + Value(*call.Children()[0]) + ")";
        if (name != "sysdate") Refuse("function " + name);
        return "";
    }
    const bool own = IsFunction(kind_) && LowerAscii(ownName_) == name;
    const auto known = std::find_if(context_.routines.begin(), context_.routines.end(), [&](const KnownRoutine& routine) {
        return routine.kind == RoutineKind::Function && LowerAscii(routine.name) == name;
    });
    if (!own && known == context_.routines.end()) return "";
    const std::string target = own ? ownName_ : known->name;
    std::string arguments;
    for (const auto& child : call.Children()) arguments += (arguments.empty() ? "" : ", ") + Value(*child);
    if (std::find(references.begin(), references.end(), target) == references.end()) references.push_back(target);
    return TargetFunctionName(context_.names.targetSchema, target) + "(" + arguments + ")";
}

void RoutineWriter::Finish() {
    references.erase(std::remove_if(references.begin(), references.end(),
                                    [&](const std::string& name) { return temporaryTables_.count(LowerAscii(name)) > 0; }),
                     references.end());
}

}  // namespace velmora
