// RoutineWriter: writes the statement tree of a routine body (RoutineSyntax.h) as T-SQL: local
// variables become @variables (renamed where T-SQL's one scope per batch would mix them up),
// labels with LEAVE and ITERATE become BREAK, CONTINUE or GOTO, handlers become TRY/CATCH or a test
// of @@FETCH_STATUS/@@ROWCOUNT after the statement that raises NOT FOUND, cursors become cursor
// variables. Control flow and handlers are in RoutineWriter.cpp, the single statements in
// RoutineStatements.cpp. Throws Untranslatable. One writer per routine; any thread.
#pragma once

#include <algorithm>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "translation/FullRoutineTranslator.h"
#include "translation/RoutineSyntax.h"
#include "translation/TsqlWriter.h"

namespace velmora {

// A prepared statement's literal text, translated as a procedure's statement (FullRoutineTranslator.cpp).
std::string TranslatePreparedText(const std::string& text, const RoutineContext& context);

// The T-SQL type of a variable or parameter of a MySQL type.
std::string MapRoutineType(const RoutineType& type);

// The statements of a block one at a time: a parsed list's, or those a reader gives as it reads
// them (the outermost block of a large body, each let go once the next is asked for). What Next
// gave stays valid until the next call; declarations, which the writer refers to later, while the
// feed lives.
class StatementFeed {
public:
    virtual ~StatementFeed() = default;
    virtual const RoutineStatement* Next() = 0;  // null after the last
};

// The lines a writer wrote, held as one text: a large body's lines are not each a string of their
// own, and the statement is made from the text without a copy.
class WrittenLines {
public:
    void push_back(std::string_view line) {
        Room(line.size() + 1);
        (text_ += line) += '\n';
    }
    // Where the next line goes: for telling whether lines were written since, and for a line put
    // there later (InsertAt). Lines put in later at or after a mark leave it where it is.
    std::size_t Mark() const { return text_.size(); }
    void InsertAt(std::size_t mark, std::string_view line) {
        Room(line.size() + 1);
        text_.insert(mark, line);
        text_.insert(mark + line.size(), 1, '\n');
    }
    bool empty() const { return text_.empty(); }
    // The lines joined by line breaks; leaves none.
    std::string Joined() {
        if (!text_.empty()) text_.pop_back();
        std::string joined = std::move(text_);
        text_.clear();
        return joined;
    }

private:
    // Grows the text by doubling, so that a long line does not leave it full (the next line would
    // copy it all) and a head put in front later usually finds room.
    void Room(std::size_t more) {
        if (text_.size() + more > text_.capacity()) text_.reserve(std::max(2 * text_.capacity(), text_.size() + more));
    }

    std::string text_;  // each line ended by a line break
};

class RoutineWriter {
public:
    RoutineWriter(const RoutineContext& context, ParsedRoutine::Kind kind, std::string ownName);

    // A name of the routine's outermost scope (a parameter): its T-SQL variable.
    std::string DeclareParameter(const std::string& name);
    // A T-SQL variable of the writer's own (a trigger's row values), unique in the routine.
    std::string OwnVariable(const std::string& base);

    // The body's statements, indented by `level` (four blanks each).
    void Write(const RoutineStatement& statement, int level);
    // A function's body: its outermost block's statements without a BEGIN ... END of their own.
    void WriteInline(const RoutineStatement& body, int level);
    // The outermost block's statements, as they come: enclosed in BEGIN ... END, or `inline_` as
    // WriteInline writes them.
    void WriteBlock(const std::string& label, StatementFeed& statements, int level, bool inline_);
    // Whether a jump leaves the outermost block written inline (its last statement is then not the end).
    bool LeavesInlineBlock() const { return outerEndUsed_; }
    // Declarations the written statements need (row counts, messages), for the top of the body.
    std::vector<std::string> HelperDeclarations(int level) const;

    // A trigger's NEW.x and OLD.x: the text that reads them, and the variable that SET NEW.x = ...
    // assigns ("" when the name is not the row's).
    std::function<std::string(const SqlNode&)> rowValue;
    std::function<std::string(const SqlNode&)> rowTarget;
    // The statements run inside a loop of the caller's (a trigger's loop over its rows).
    void EnterOuterLoop() { ++whileDepth_; }

    // The routine's text mentions ROW_COUNT() or FOUND_ROWS(): the statements keep the counts.
    bool keepRowCount = false, keepFoundRows = false;
    // Names of user variables (@x, lower case) that hold the text of a prepared statement: they
    // become variables of the routine.
    void AllowUserVariable(const std::string& name);
    // A user variable (@x) that is no prepared statement's text: a variable of the routine. One
    // the routine reads before it sets it (`readFirst`) starts with the session's value
    // (SESSION_CONTEXT); outside functions each assignment also goes back to the session.
    void AllowSessionVariable(const std::string& name, bool readFirst);
    // Every user variable of the text, read first or set first (SET @x =, @x :=, INTO @x).
    void AllowSessionVariables(std::string_view text);
    // Drops the temporary tables from `references`.
    void Finish();

    std::string Value(const SqlNode& node) { return expressions_.Value(node); }
    std::string Condition(const SqlNode& node) { return expressions_.Condition(node); }
    // A table the body names, as a statement writes it (its schema, a temporary table's name).
    std::string TargetTable(const std::vector<std::string>& parts) { return expressions_.TableName(parts); }
    // Raises an error with a fixed message (THROW; in a function, where T-SQL forbids THROW, a
    // failing conversion that carries the message).
    std::string RaiseText(const std::string& message);

    WrittenLines lines;  // the body; the caller takes them into its statement
    std::vector<std::string> references;
    std::vector<std::string> adjustments;

private:
    struct Handler {
        const RoutineStatement* declaration = nullptr;
        bool exit = false;
        bool anyError = false;          // it handles errors: all of them (generic) or errorNumbers
        bool generic = false;
        std::vector<int> errorNumbers;
        bool notFound = false;
        std::string blockEnd;           // the label after the block that an EXIT handler leaves
        std::size_t scopeIndex = 0;
    };
    struct Scope {
        std::map<std::string, std::string> variables;   // lower-case MySQL name -> @name
        std::map<std::string, std::string> cursors;
        std::map<std::string, HandlerCondition> conditions;
        std::vector<Handler> handlers;
        bool tryMode = false;           // one TRY around the rest of the block (EXIT handlers only)
        bool suspended = false;         // its handlers are off while one of them runs
    };
    struct Label {
        std::string name;  // lower case
        bool loop = false;
        int whileDepth = 0;
        std::string start, end;
        bool startUsed = false, endUsed = false;
    };

    // RoutineWriter.cpp: blocks, control flow, handlers.
    void Block(const RoutineStatement& block, int level);
    void BlockStatements(const std::string& label, StatementFeed& statements, int level, bool enclosed);
    void Statements(StatementFeed& statements, int level, const std::string& blockEnd);
    void Branch(const RoutineStatementList& list, int level);
    void If(const RoutineStatement& statement, int level);
    void Case(const RoutineStatement& statement, int level);
    void Loop(const RoutineStatement& statement, int level);
    void Jump(const RoutineStatement& statement, int level);
    void Declare(const RoutineStatement& statement, int level, const std::string& blockEnd);
    void AddCondition(Handler& handler, const HandlerCondition& condition) const;
    void Dispatch(const std::vector<const Handler*>& handlers, int level, bool gotoOnExit);
    void HandlerBody(const Handler& handler, int level, bool gotoOnExit, bool inCatch);
    void WithHandlers(const std::function<void(int)>& write, int level, bool valuesOnly);
    void NotFound(const std::string& test, int level, bool errorWithoutHandler);
    std::string UniqueLabel(const std::string& base);
    std::string UniqueVariable(const std::string& base);
    void Emit(int level, const std::string& line);

    // RoutineStatements.cpp: the single statements.
    void Simple(const RoutineStatement& statement, int level);
    void Set(const RoutineStatement& statement, int level);
    void SelectInto(const RoutineStatement& statement, int level);
    void Insert(const RoutineStatement& statement, int level);
    void Update(const RoutineStatement& statement, int level);
    void Delete(const RoutineStatement& statement, int level);
    void Fetch(const RoutineStatement& statement, int level);
    void Signal(const RoutineStatement& statement, int level);
    void Call(const RoutineStatement& statement, int level);
    void Transaction(const RoutineStatement& statement, int level);
    void Temporary(const RoutineStatement& statement, int level);
    void Dynamic(const RoutineStatement& statement, int level);
    std::string Query(const SqlQuery& query);
    std::string FromAndWhere(std::vector<std::unique_ptr<SqlTableRef>>& refs, SqlNodePtr& where);
    std::string Variable(const SqlNode& target);
    std::string VariableName(const std::string& name) const;
    std::string Cursor(const std::string& name) const;
    std::string ArgumentValue(const SqlNode& value, const std::string& type, int level);
    void CallOtherSchema(const RoutineStatement& statement, int level);
    std::string TableName(const std::vector<std::string>& parts);
    std::string FunctionCall(const SqlNode& call);
    void CaptureRowCount(int level, const std::string& value);
    [[noreturn]] void Refuse(const std::string& construct) const;
    // After an assignment to `target`: a session variable goes back to the session.
    void Publish(const SqlNode& target, int level);

    const RoutineContext& context_;
    ParsedRoutine::Kind kind_;
    std::string ownName_;
    TsqlWriter expressions_;
    std::deque<Scope> scopes_;  // a deque: handlers stay where they are while inner blocks come and go
    std::vector<Label> labels_;
    int whileDepth_ = 0;
    std::size_t handlerLimit_ = 0;  // scopes below this index have no active handlers (inside a handler's body)
    std::set<std::string> usedNames_;
    std::map<std::string, std::string> temporaryTables_;  // lower case -> #name
    std::map<std::string, std::string> prepared_;         // statement name -> the variable or literal holding its text
    std::map<std::string, const SqlQuery*> cursorQueries_;  // cursor variable -> its query, written at OPEN
    std::set<std::string> endJumps_;                      // labels an EXIT handler jumps to
    std::vector<std::string> topDeclarations_;            // variables of the writer's own, declared at the top
    std::map<std::string, std::string> sessionVariables_;  // user variable (lower case) -> its SESSION_CONTEXT key
    int inCatch_ = 0;
    bool outerEndUsed_ = false;
    bool needRowCount_ = false, needFoundRows_ = false, needRows_ = false, needMessage_ = false, needFail_ = false;
};

// The lines of a statement joined with line breaks, in one string sized once.
std::string JoinLines(const std::vector<std::string>& lines);

}  // namespace velmora
