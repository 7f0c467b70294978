// RoutineWriter: blocks and their scopes, IF and CASE, the loops with their labels, LEAVE and
// ITERATE, declarations, and the handlers (TRY/CATCH for errors, a test after the statement for
// NOT FOUND).
#include "translation/RoutineWriter.h"

#include <algorithm>
#include <map>

#include "translation/CreateTableParser.h"
#include "translation/FullViewTranslator.h"
#include "translation/SqlParser.h"
#include "translation/TypeMapping.h"
#include "translation/ViewGrouping.h"

namespace velmora {
namespace {

// MySQL's error numbers and SQLSTATEs that handlers name, and the SQL Server errors that mean the same.
const std::map<std::string, std::vector<int>> kErrorNumbers = {
    {"1062", {2627, 2601}}, {"1169", {2627, 2601}}, {"1451", {547}}, {"1452", {547}}, {"1216", {547}},
    {"1217", {547}}, {"1048", {515}}, {"1146", {208}}, {"1054", {207}}, {"1264", {8115, 220}},
    {"1365", {8134}}, {"1213", {1205}}, {"1406", {8152, 2628}}, {"1644", {50000}},
    {"23000", {2627, 2601, 547, 515}}, {"42S02", {208}}, {"42S22", {207}}, {"22012", {8134}},
    {"22003", {8115, 220}}, {"40001", {1205}}, {"45000", {50000}}, {"22001", {8152, 2628}}};

std::string Sanitized(const std::string& name) {
    std::string out;
    for (char c : name) out += std::isalnum(static_cast<unsigned char>(c)) || c == '_' ? c : '_';
    if (out.empty() || std::isdigit(static_cast<unsigned char>(out[0]))) out = "v_" + out;
    return out;
}

// Statements that compute values and touch no table (an error there is a conversion or arithmetic one).
bool CanOnlyFailOnValues(const RoutineStatement& statement) {
    using K = RoutineStatement::Kind;
    const auto readsTable = [](const SqlNode& node) {
        bool found = false;
        WalkExpression(node, [&](const SqlNode& part) {
            found = found || part.Details().query != nullptr || part.kind == SqlNode::Kind::Function;
            return !found;
        });
        return found;
    };
    if (statement.kind == K::Set)
        return std::none_of(statement.values.begin(), statement.values.end(), [&](const SqlNodePtr& v) { return readsTable(*v); });
    return statement.kind == K::Open || statement.kind == K::Close || statement.kind == K::Fetch ||
           statement.kind == K::Transaction || (statement.kind == K::Return && !readsTable(*statement.expr));
}

}  // namespace

std::string MapRoutineType(const RoutineType& type) {
    ParsedTable parsed = ParseCreateTable("CREATE TABLE `t` (\n  `c` " + type.text + "\n)");
    if (!parsed.ok() || parsed.table.columns.size() != 1) throw Untranslatable{"type " + type.text};
    return MapColumnType(parsed.table.columns[0], "").targetType;
}

RoutineWriter::RoutineWriter(const RoutineContext& context, ParsedRoutine::Kind kind, std::string ownName)
    : context_(context), kind_(kind), ownName_(std::move(ownName)), expressions_(context.names) {
    scopes_.emplace_back();
    for (const char* reserved : {"@sys_row_count", "@sys_found_rows", "@sys_rows", "@sys_message", "@sys_fail"})
        usedNames_.insert(reserved);
    expressions_.routine.name = [this](const SqlNode& node) -> std::string {
        if (node.Parts().size() == 2 && rowValue) return rowValue(node);
        return node.Parts().size() == 1 ? VariableName(node.Parts()[0]) : "";
    };
    expressions_.routine.function = [this](const SqlNode& call) { return FunctionCall(call); };
    expressions_.routine.table = [this](const std::vector<std::string>& parts) { return TableName(parts); };
    expressions_.writeQuery = [this](const SqlQuery& query) { return Query(query); };
}

std::string RoutineWriter::DeclareParameter(const std::string& name) {
    const std::string variable = UniqueVariable(name);
    scopes_.front().variables[LowerAscii(name)] = variable;
    return variable;
}

std::string RoutineWriter::OwnVariable(const std::string& base) { return UniqueVariable(base); }

std::string RoutineWriter::UniqueVariable(const std::string& base) {
    const std::string plain = "@" + Sanitized(base);
    std::string name = plain;
    for (int n = 2; usedNames_.count(LowerAscii(name)); ++n) name = plain + "_" + std::to_string(n);
    usedNames_.insert(LowerAscii(name));
    return name;
}

std::string RoutineWriter::UniqueLabel(const std::string& base) {
    const std::string plain = Sanitized(base);
    std::string name = plain;
    for (int n = 2; usedNames_.count(LowerAscii(name)); ++n) name = plain + "_" + std::to_string(n);
    usedNames_.insert(LowerAscii(name));
    return name;
}

void RoutineWriter::Emit(int level, const std::string& line) { lines.push_back(std::string(4 * level, ' ') + line); }

std::vector<std::string> RoutineWriter::HelperDeclarations(int level) const {
    std::vector<std::string> out;
    const std::string indent(4 * level, ' ');
    if (needRowCount_) out.push_back(indent + "DECLARE @sys_row_count int = -1;");
    if (needFoundRows_) out.push_back(indent + "DECLARE @sys_found_rows int = 0;");
    if (needRows_) out.push_back(indent + "DECLARE @sys_rows int;");
    if (needMessage_) out.push_back(indent + "DECLARE @sys_message nvarchar(2048);");
    if (needFail_) out.push_back(indent + "DECLARE @sys_fail int;");
    for (const auto& declaration : topDeclarations_) out.push_back(indent + declaration);
    return out;
}

std::string RoutineWriter::RaiseText(const std::string& message) {
    if (kind_ != ParsedRoutine::Kind::Function) return "THROW 50000, " + TsqlWriter::StringLiteral(message) + ", 1;";
    needFail_ = true;
    return "SET @sys_fail = CAST(" + TsqlWriter::StringLiteral(message) + " AS int);";
}

void RoutineWriter::Write(const RoutineStatement& statement, int level) {
    using K = RoutineStatement::Kind;
    switch (statement.kind) {
        case K::Block: return Block(statement, level);
        case K::If: return If(statement, level);
        case K::Case: return Case(statement, level);
        case K::While: case K::Repeat: case K::Loop: return Loop(statement, level);
        case K::Leave: case K::Iterate: return Jump(statement, level);
        case K::Empty: return;
        case K::DeclareVariable: case K::DeclareCondition: case K::DeclareCursor: case K::DeclareHandler:
            throw Untranslatable{"DECLARE outside BEGIN ... END"};
        default: break;
    }
    WithHandlers([&](int at) { Simple(statement, at); }, level, CanOnlyFailOnValues(statement));
}

namespace {

// A parsed block's statements, in order.
class ListFeed : public StatementFeed {
public:
    explicit ListFeed(const RoutineStatementList& list) : list_(list) {}
    const RoutineStatement* Next() override { return next_ < list_.size() ? list_[next_++].get() : nullptr; }

private:
    const RoutineStatementList& list_;
    std::size_t next_ = 0;
};

bool IsDeclaration(const RoutineStatement& statement) {
    using K = RoutineStatement::Kind;
    return statement.kind >= K::DeclareVariable && statement.kind <= K::DeclareHandler;
}

}  // namespace

void RoutineWriter::Block(const RoutineStatement& block, int level) {
    ListFeed feed(block.body);
    BlockStatements(block.Details().label, feed, level, true);
}

void RoutineWriter::WriteInline(const RoutineStatement& body, int level) {
    if (body.kind != RoutineStatement::Kind::Block) return Write(body, level);
    ListFeed feed(body.body);
    BlockStatements(body.Details().label, feed, level - 1, false);
}

void RoutineWriter::WriteBlock(const std::string& label, StatementFeed& statements, int level, bool inline_) {
    BlockStatements(label, statements, inline_ ? level - 1 : level, !inline_);
}

// A block's statements in a scope of their own, inside BEGIN ... END unless `enclosed` is false
// (a function's outermost block, whose last statement T-SQL wants to be its RETURN).
void RoutineWriter::BlockStatements(const std::string& blockLabel, StatementFeed& statements, int level, bool enclosed) {
    Label label;
    label.name = LowerAscii(blockLabel);
    label.end = UniqueLabel((blockLabel.empty() ? "block" : blockLabel) + "_end");
    labels_.push_back(label);
    scopes_.emplace_back();
    if (enclosed) Emit(level, "BEGIN");
    const std::size_t before = lines.Mark();
    Statements(statements, level + 1, label.end);
    if (lines.Mark() == before) Emit(level + 1, ";");
    if (enclosed) Emit(level, "END");
    scopes_.pop_back();
    if (labels_.back().endUsed || endJumps_.count(label.end)) {
        Emit(level + (enclosed ? 0 : 1), label.end + ":");
        outerEndUsed_ = outerEndUsed_ || !enclosed;
    }
    labels_.pop_back();
}

// The statements of a block: declarations first (as MySQL requires), then the rest; when the
// block has only EXIT handlers for errors, one TRY holds the rest and its CATCH runs them.
void RoutineWriter::Statements(StatementFeed& statements, int level, const std::string& blockEnd) {
    const RoutineStatement* statement = statements.Next();
    for (; statement && IsDeclaration(*statement); statement = statements.Next()) Declare(*statement, level, blockEnd);
    // By index: the nested blocks written below add scopes, which may move the vector's elements.
    const std::size_t own = scopes_.size() - 1;
    const auto& declared = scopes_[own].handlers;
    const bool errors = std::any_of(declared.begin(), declared.end(), [](const Handler& h) { return h.anyError; });
    const bool tryMode = errors && std::none_of(declared.begin(), declared.end(), [](const Handler& h) { return h.anyError && !h.exit; });
    scopes_[own].tryMode = tryMode;
    const int inner = tryMode ? level + 1 : level;
    if (tryMode) Emit(level, "BEGIN TRY");
    const std::size_t before = lines.Mark();
    for (; statement; statement = statements.Next()) {
        if (IsDeclaration(*statement)) throw Untranslatable{"DECLARE after the first statement of a block"};
        Write(*statement, inner);
    }
    if (!tryMode) return;
    if (lines.Mark() == before) Emit(inner, ";");
    Emit(level, "END TRY");
    Emit(level, "BEGIN CATCH");
    std::vector<const Handler*> handlers;
    for (const Handler& handler : scopes_[own].handlers)
        if (handler.anyError) handlers.push_back(&handler);
    Dispatch(handlers, level + 1, false);
    Emit(level, "END CATCH");
}

void RoutineWriter::Branch(const RoutineStatementList& list, int level) {
    Emit(level, "BEGIN");
    const std::size_t before = lines.Mark();
    for (const auto& statement : list) Write(*statement, level + 1);
    if (lines.Mark() == before) Emit(level + 1, ";");
    Emit(level, "END");
}

void RoutineWriter::If(const RoutineStatement& statement, int level) {
    for (std::size_t i = 0; i < statement.branches.size(); ++i) {
        Emit(level, std::string(i ? "ELSE IF " : "IF ") + Condition(*statement.branches[i].first));
        Branch(statement.branches[i].second, level);
    }
    if (!statement.hasElse) return;
    Emit(level, "ELSE");
    Branch(statement.elseBody, level);
}

// CASE [operand] WHEN ... THEN ... [ELSE ...] END CASE: an IF chain; without ELSE, no match is
// an error, as in MySQL.
void RoutineWriter::Case(const RoutineStatement& statement, int level) {
    for (std::size_t i = 0; i < statement.branches.size(); ++i) {
        const SqlNode& when = *statement.branches[i].first;
        std::string test;
        if (statement.expr) test = expressions_.Operand(*statement.expr) + " = " + expressions_.Operand(when);
        else test = Condition(when);
        Emit(level, std::string(i ? "ELSE IF " : "IF ") + test);
        Branch(statement.branches[i].second, level);
    }
    Emit(level, "ELSE");
    if (statement.hasElse) Branch(statement.elseBody, level);
    else Emit(level + 1, RaiseText("Case not found for CASE statement"));
}

// WHILE keeps its condition; LOOP and REPEAT loop on 1 = 1, REPEAT leaving when UNTIL holds.
void RoutineWriter::Loop(const RoutineStatement& statement, int level) {
    using K = RoutineStatement::Kind;
    Label label;
    label.name = LowerAscii(statement.Details().label);
    label.loop = true;
    label.whileDepth = whileDepth_ + 1;
    const std::string base = statement.Details().label.empty() ? "loop" : statement.Details().label;
    label.start = UniqueLabel(base + "_start");
    label.end = UniqueLabel(base + "_end");
    labels_.push_back(label);
    const std::size_t startLine = lines.Mark();
    Emit(level, statement.kind == K::While ? "WHILE " + Condition(*statement.expr) : "WHILE 1 = 1");
    Emit(level, "BEGIN");
    ++whileDepth_;
    const std::size_t before = lines.Mark();
    for (const auto& inner : statement.body) Write(*inner, level + 1);
    if (statement.kind == K::Repeat) Emit(level + 1, "IF " + Condition(*statement.expr) + " BREAK;");
    if (lines.Mark() == before) Emit(level + 1, ";");
    --whileDepth_;
    Emit(level, "END");
    const Label done = labels_.back();
    labels_.pop_back();
    if (done.startUsed) lines.InsertAt(startLine, std::string(4 * level, ' ') + done.start + ":");
    if (done.endUsed) Emit(level, done.end + ":");
}

// LEAVE and ITERATE: BREAK and CONTINUE on the innermost loop, GOTO past or before any other.
void RoutineWriter::Jump(const RoutineStatement& statement, int level) {
    using K = RoutineStatement::Kind;
    const std::string name = LowerAscii(statement.names[0]);
    auto found = std::find_if(labels_.rbegin(), labels_.rend(), [&](const Label& l) { return l.name == name; });
    if (found == labels_.rend()) throw Untranslatable{"LEAVE or ITERATE of an unknown label " + statement.names[0]};
    const bool innermost = found->loop && found->whileDepth == whileDepth_;
    if (statement.kind == K::Leave) {
        if (innermost) return Emit(level, "BREAK;");
        found->endUsed = true;
        return Emit(level, "GOTO " + found->end + ";");
    }
    if (!found->loop) throw Untranslatable{"ITERATE of a block that is no loop"};
    if (innermost) return Emit(level, "CONTINUE;");
    found->startUsed = true;
    Emit(level, "GOTO " + found->start + ";");
}

void RoutineWriter::Declare(const RoutineStatement& statement, int level, const std::string& blockEnd) {
    using K = RoutineStatement::Kind;
    Scope& scope = scopes_.back();
    if (statement.kind == K::DeclareVariable) {
        const std::string type = MapRoutineType(statement.Details().type);
        const std::string initial = statement.expr ? Value(*statement.expr) : "NULL";
        for (const auto& name : statement.names) {
            const std::string variable = UniqueVariable(name);
            Emit(level, "DECLARE " + variable + " " + type + " = " + initial + ";");
            scope.variables[LowerAscii(name)] = variable;
        }
        return;
    }
    if (statement.kind == K::DeclareCondition) {
        scope.conditions[LowerAscii(statement.names[0])] = statement.Details().conditions[0];
        return;
    }
    if (statement.kind == K::DeclareCursor) {
        const std::string variable = UniqueVariable(statement.names[0]);
        scope.cursors[LowerAscii(statement.names[0])] = variable;
        cursorQueries_[variable] = statement.query.get();
        Emit(level, "DECLARE " + variable + " CURSOR;");
        return;
    }
    if (statement.Details().handlerAction == "undo") throw Untranslatable{"UNDO handler"};
    Handler handler;
    handler.declaration = &statement;
    handler.exit = statement.Details().handlerAction == "exit";
    handler.blockEnd = blockEnd;
    handler.scopeIndex = scopes_.size() - 1;
    for (const HandlerCondition& condition : statement.Details().conditions) AddCondition(handler, condition);
    if (handler.anyError && kind_ == ParsedRoutine::Kind::Function)
        throw Untranslatable{"handler for errors in a function (T-SQL allows no TRY ... CATCH there)"};
    scope.handlers.push_back(std::move(handler));
}

void RoutineWriter::AddCondition(Handler& handler, const HandlerCondition& condition) const {
    using C = HandlerCondition::Kind;
    switch (condition.kind) {
        case C::Exception: handler.anyError = true; handler.errorNumbers.clear(); handler.generic = true; return;
        case C::Warning: throw Untranslatable{"handler for SQLWARNING (T-SQL raises no warnings)"};
        case C::NotFound: handler.notFound = true; return;
        case C::Named: {
            for (auto scope = scopes_.rbegin(); scope != scopes_.rend(); ++scope) {
                const auto found = scope->conditions.find(condition.value);
                if (found != scope->conditions.end()) return AddCondition(handler, found->second);
            }
            throw Untranslatable{"handler for an unknown condition " + condition.value};
        }
        case C::SqlState: case C::ErrorCode: break;
    }
    if (condition.value == "02000" || condition.value == "1329") {
        handler.notFound = true;
        return;
    }
    const auto numbers = kErrorNumbers.find(condition.value);
    if (numbers == kErrorNumbers.end())
        throw Untranslatable{std::string("handler for ") + (condition.kind == C::SqlState ? "SQLSTATE " : "error ") + condition.value};
    handler.anyError = true;
    if (!handler.generic) handler.errorNumbers.insert(handler.errorNumbers.end(), numbers->second.begin(), numbers->second.end());
}

// The CATCH of the given handlers, innermost first and the specific before the general; an
// error none of them names goes on to the caller.
void RoutineWriter::Dispatch(const std::vector<const Handler*>& handlers, int level, bool gotoOnExit) {
    std::vector<const Handler*> ordered;
    for (const Handler* h : handlers)
        if (!h->generic) ordered.push_back(h);
    for (const Handler* h : handlers)
        if (h->generic) ordered.push_back(h);
    bool first = true, generic = false;
    for (const Handler* handler : ordered) {
        if (handler->generic) {
            if (!first) Emit(level, "ELSE");
        } else {
            std::string list;
            for (int number : handler->errorNumbers) list += (list.empty() ? "" : ", ") + std::to_string(number);
            Emit(level, std::string(first ? "IF" : "ELSE IF") + " ERROR_NUMBER() IN (" + list + ")");
        }
        HandlerBody(*handler, level, gotoOnExit, true);
        first = false;
        if ((generic = handler->generic)) break;
    }
    if (generic) return;
    if (!first) Emit(level, "ELSE");
    Emit(level + (first ? 0 : 1), "THROW;");
}

// A handler's statement, with the handlers of its own block and of the blocks inside it
// suspended, as MySQL does while a handler runs.
void RoutineWriter::HandlerBody(const Handler& handler, int level, bool gotoOnExit, bool inCatch) {
    std::vector<bool> suspended;
    for (std::size_t i = 0; i < scopes_.size(); ++i) {
        suspended.push_back(scopes_[i].suspended);
        if (i >= handler.scopeIndex) scopes_[i].suspended = true;
    }
    if (inCatch) ++inCatch_;
    Emit(level, "BEGIN");
    Write(*handler.declaration->body[0], level + 1);
    if (handler.exit && gotoOnExit) {
        Emit(level + 1, "GOTO " + handler.blockEnd + ";");
        endJumps_.insert(handler.blockEnd);
    }
    Emit(level, "END");
    if (inCatch) --inCatch_;
    for (std::size_t i = 0; i < suspended.size() && i < scopes_.size(); ++i) scopes_[i].suspended = suspended[i];
}

// A statement under the error handlers in effect: blocks whose CONTINUE handlers must resume
// after the failing statement wrap each statement in TRY/CATCH; a block in TRY mode catches
// what reaches it.
void RoutineWriter::WithHandlers(const std::function<void(int)>& write, int level, bool valuesOnly) {
    std::vector<const Handler*> handlers;
    bool needed = false;
    for (auto scope = scopes_.rbegin(); scope != scopes_.rend(); ++scope) {
        if (scope->suspended) continue;
        if (scope->tryMode) break;
        for (const Handler& handler : scope->handlers) {
            if (!handler.anyError) continue;
            handlers.push_back(&handler);
            // Key, reference, NULL, deadlock and SIGNAL errors come only from statements that touch tables or signal.
            needed = needed || !valuesOnly || handler.generic ||
                     std::any_of(handler.errorNumbers.begin(), handler.errorNumbers.end(), [](int n) {
                         return n != 2627 && n != 2601 && n != 547 && n != 515 && n != 1205 && n != 50000;
                     });
        }
    }
    if (!needed) handlers.clear();
    if (handlers.empty()) return write(level);
    Emit(level, "BEGIN TRY");
    write(level + 1);
    Emit(level, "END TRY");
    Emit(level, "BEGIN CATCH");
    Dispatch(handlers, level + 1, true);
    Emit(level, "END CATCH");
}

// After a FETCH or SELECT ... INTO: the NOT FOUND handler in effect when `test` holds; without
// one a FETCH past the last row is an error, as in MySQL.
void RoutineWriter::NotFound(const std::string& test, int level, bool errorWithoutHandler) {
    for (auto scope = scopes_.rbegin(); scope != scopes_.rend(); ++scope) {
        if (scope->suspended) continue;
        for (const Handler& handler : scope->handlers) {
            if (!handler.notFound) continue;
            Emit(level, "IF " + test);
            HandlerBody(handler, level, true, false);
            return;
        }
    }
    if (errorWithoutHandler) Emit(level, "IF " + test + " " + RaiseText("No data - zero rows fetched, selected, or processed"));
}

std::string JoinLines(const std::vector<std::string>& lines) {
    std::size_t size = 0;
    for (const auto& line : lines) size += line.size() + 1;
    std::string out;
    out.reserve(size);
    for (const auto& line : lines) (out += out.empty() ? "" : "\n") += line;
    return out;
}

}  // namespace velmora
