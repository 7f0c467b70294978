// RoutineParser: the CREATE header (DEFINER, parameters, RETURNS, characteristics, a trigger's
// timing, event and table) and the compound statements of the body. The statements that touch
// data (SELECT, INSERT, UPDATE, DELETE) are read in RoutineDmlParser.cpp.
#include "translation/RoutineParser.h"

#include <algorithm>
#include <array>
#include <deque>

#include "translation/RoutineDmlParser.h"
#include "translation/SqlParser.h"

namespace velmora {
namespace {

// User variables (@x) become names the writer resolves ("@x"); system variables stay variables,
// which the expression parser refuses. A quoted variable's name (@`x`) is kept in `names`, which
// its token views. Comments are dropped. Tokens are read as the parser asks for them, so that a
// large body's tokens are never all held.
SqlParser::TokenPull RoutineTokens(std::string_view text, std::deque<std::string>& names) {
    return [tokens = SqlParser::Reading(text), &names](SqlToken& token) {
        if (!tokens(token)) return false;
        if (token.kind != SqlTokenKind::Variable || token.text.starts_with("@@")) return true;
        token.kind = SqlTokenKind::Word;
        if (token.text.find_first_of("`'\"") == std::string_view::npos) return true;
        std::string& name = names.emplace_back("@");
        for (char c : token.text.substr(1))
            if (c != '`' && c != '\'' && c != '"') name += c;
        token.text = name;
        return true;
    };
}

}  // namespace

class RoutineReader::BodyParser {
public:
    explicit BodyParser(SqlParser::TokenPull tokens) : p_(std::move(tokens)) {}

    ParsedRoutine Header() {
        ParsedRoutine routine;
        p_.ExpectWord("create");
        SkipDefiner();
        if (p_.AcceptWord("aggregate")) throw Untranslatable{"aggregate function"};
        if (p_.AcceptWord("procedure")) routine.kind = ParsedRoutine::Kind::Procedure;
        else if (p_.AcceptWord("function")) routine.kind = ParsedRoutine::Kind::Function;
        else if (p_.AcceptWord("trigger")) routine.kind = ParsedRoutine::Kind::Trigger;
        else if (p_.PeekWord("event")) throw Untranslatable{"event"};
        else p_.Fail("expected PROCEDURE, FUNCTION or TRIGGER");
        if (p_.AcceptWord("if")) {
            p_.ExpectWord("not");
            p_.ExpectWord("exists");
        }
        p_.ReadDottedName(routine.nameParts);
        if (routine.kind != ParsedRoutine::Kind::Trigger && (p_.PeekWord("as") || p_.PeekWord("is") || p_.PeekWord("return")))
            throw Untranslatable{"a routine in Oracle mode (AS or IS before the body)"};
        if (routine.kind == ParsedRoutine::Kind::Trigger) TriggerHeader(routine);
        else Parameters(routine);
        if (routine.kind == ParsedRoutine::Kind::Function) {
            p_.ExpectWord("returns");
            if (p_.PeekWord("table")) throw Untranslatable{"function returning a table"};
            routine.returns = ParseRoutineType(p_);
        }
        if (routine.kind != ParsedRoutine::Kind::Trigger) Characteristics(routine);
        if (p_.PeekWord("as") || p_.PeekWord("is")) throw Untranslatable{"a routine in Oracle mode (AS or IS before the body)"};
        return routine;
    }

    RoutineStatementPtr Body() {
        RoutineStatementPtr body = Statement();
        End();
        return body;
    }

    // The outermost [label:] BEGIN of a body that is a block, read up to its first statement.
    bool OpenBlock(std::string& label) {
        const SqlToken* second = p_.Peek(1);
        const std::size_t at = second && second->kind == SqlTokenKind::Operator && second->text == ":" ? 2 : 0;
        if (!p_.PeekWord("begin", at) || p_.PeekWord("work", at + 1) || p_.PeekWord("transaction", at + 1)) return false;
        if (at) {
            label = p_.ReadName();
            p_.Skip();
        }
        p_.Skip();
        if (p_.AcceptWord("not")) p_.ExpectWord("atomic");
        ++depth_;
        blockLabel_ = label;
        open_ = true;
        return true;
    }

    // The open block's next statement; null after its END (and the text's end).
    RoutineStatementPtr NextInBlock() {
        if (!open_) return nullptr;
        p_.Forget();
        if (p_.AtEnd()) p_.Fail("expected END");
        if (p_.AcceptWord("end")) {
            open_ = false;
            --depth_;
            AcceptEndLabel(blockLabel_);
            End();
            return nullptr;
        }
        RoutineStatementPtr statement = Statement();
        p_.ExpectText(";");
        return statement;
    }

private:
    void End() {
        p_.AcceptText(";");
        if (!p_.AtEnd()) p_.Fail("unexpected text after the routine's body");
    }

    // END [label]
    void AcceptEndLabel(const std::string& label) {
        if (label.empty()) return;
        const SqlToken* token = p_.Peek();
        if (token && (token->kind == SqlTokenKind::Word || token->kind == SqlTokenKind::QuotedName) &&
            LowerAscii(token->kind == SqlTokenKind::Word ? token->text : QuotedNameValue(*token)) == LowerAscii(label))
            p_.Skip();
    }

    // [OR REPLACE] [DEFINER = user@host | CURRENT_USER[()]]
    void SkipDefiner() {
        if (p_.AcceptWord("or")) p_.ExpectWord("replace");
        if (!p_.AcceptWord("definer")) return;
        p_.ExpectText("=");
        if (p_.AcceptWord("current_user")) {
            if (p_.AcceptText("(")) p_.ExpectText(")");
            return;
        }
        p_.Skip();  // the user: a name or a string
        const SqlToken* host = p_.Peek();
        if (host && host->kind == SqlTokenKind::Word && host->text.rfind('@', 0) == 0) p_.Skip();
    }

    void TriggerHeader(ParsedRoutine& routine) {
        if (p_.AcceptWord("before")) routine.timing = "before";
        else if (p_.AcceptWord("after")) routine.timing = "after";
        else p_.Fail("expected BEFORE or AFTER");
        for (const char* event : {"insert", "update", "delete"})
            if (p_.AcceptWord(event)) routine.event = event;
        if (routine.event.empty()) p_.Fail("expected INSERT, UPDATE or DELETE");
        if (p_.AcceptText(",") || p_.PeekWord("or")) throw Untranslatable{"trigger on several events"};
        p_.ExpectWord("on");
        p_.ReadDottedName(routine.tableParts);
        p_.ExpectWord("for");
        p_.ExpectWord("each");
        p_.ExpectWord("row");
        for (const char* word : {"follows", "precedes"}) {
            if (!p_.AcceptWord(word)) continue;
            routine.orderWord = word;
            routine.orderOther = p_.ReadName();
        }
    }

    void Parameters(ParsedRoutine& routine) {
        p_.ExpectText("(");
        if (p_.AcceptText(")")) return;
        do {
            RoutineParameter parameter;
            parameter.mode = "in";
            for (const char* mode : {"in", "out", "inout"})
                if (routine.kind == ParsedRoutine::Kind::Procedure && p_.AcceptWord(mode)) parameter.mode = mode;
            parameter.name = p_.ReadName();
            parameter.type = ParseRoutineType(p_);
            routine.parameters.push_back(std::move(parameter));
        } while (p_.AcceptText(","));
        p_.ExpectText(")");
    }

    void Characteristics(ParsedRoutine& routine) {
        for (;;) {
            if (p_.AcceptWord("comment")) p_.Skip();
            else if (p_.AcceptWord("language")) p_.ExpectWord("sql");
            else if (p_.AcceptWord("deterministic")) routine.deterministic = true;
            else if (p_.PeekWord("not") && p_.PeekWord("deterministic", 1)) p_.Skip(), p_.Skip();
            else if (p_.AcceptWord("contains")) p_.ExpectWord("sql");
            else if (p_.PeekWord("no") && p_.PeekWord("sql", 1)) p_.Skip(), p_.Skip();
            else if (p_.AcceptWord("reads") || p_.AcceptWord("modifies")) p_.ExpectWord("sql"), p_.ExpectWord("data");
            else if (p_.PeekWord("sql") && p_.PeekWord("security", 1)) p_.Skip(), p_.Skip(), p_.Skip();
            else return;
        }
    }

    // A statement list up to (not including) one of `ends`; each statement ends with ';'.
    RoutineStatementList List(std::initializer_list<std::string_view> ends) {
        RoutineStatementList list;
        for (;;) {
            if (p_.AtEnd()) p_.Fail("expected END");
            for (std::string_view end : ends)
                if (p_.PeekWord(end)) return list;
            list.push_back(Statement());
            p_.ExpectText(";");
        }
    }

    RoutineStatementPtr Make(RoutineStatement::Kind kind) {
        auto statement = std::make_unique<RoutineStatement>();
        statement->kind = kind;
        return statement;
    }

    RoutineStatementPtr Statement() {
        if (++depth_ > kMaxSqlNesting) throw Untranslatable{"statements nested too deeply"};
        RoutineStatementPtr statement = LabelledOrNot();
        --depth_;
        return statement;
    }

    RoutineStatementPtr LabelledOrNot() {
        std::string label;
        const SqlToken* second = p_.Peek(1);
        if (second && second->kind == SqlTokenKind::Operator && second->text == ":") {
            label = p_.ReadName();
            p_.Skip();
        }
        RoutineStatementPtr statement = LabelledStatement(label);
        if (!label.empty()) {
            using K = RoutineStatement::Kind;
            if (statement->kind != K::Block && statement->kind != K::While && statement->kind != K::Repeat &&
                statement->kind != K::Loop)
                p_.Fail("expected a block or loop after a label");
            statement->EditDetails().label = label;
            AcceptEndLabel(label);
        }
        return statement;
    }

    RoutineStatementPtr LabelledStatement(const std::string& label) {
        using K = RoutineStatement::Kind;
        if (p_.PeekWord("begin") && !p_.PeekWord("work", 1) && !p_.PeekWord("transaction", 1)) {
            p_.Skip();
            if (p_.AcceptWord("not")) p_.ExpectWord("atomic");
            auto block = Make(K::Block);
            if (!p_.AcceptWord("end")) {
                block->body = List({"end"});
                p_.ExpectWord("end");
            }
            return block;
        }
        if (p_.AcceptWord("if")) return If();
        if (p_.AcceptWord("case")) return CaseStatement();
        if (p_.AcceptWord("while")) {
            auto loop = Make(K::While);
            loop->expr = p_.ParseExpression();
            p_.ExpectWord("do");
            loop->body = List({"end"});
            p_.ExpectWord("end");
            p_.ExpectWord("while");
            return loop;
        }
        if (p_.AcceptWord("repeat")) {
            auto loop = Make(K::Repeat);
            loop->body = List({"until"});
            p_.ExpectWord("until");
            loop->expr = p_.ParseExpression();
            p_.ExpectWord("end");
            p_.ExpectWord("repeat");
            return loop;
        }
        if (p_.AcceptWord("loop")) {
            auto loop = Make(K::Loop);
            loop->body = List({"end"});
            p_.ExpectWord("end");
            p_.ExpectWord("loop");
            return loop;
        }
        if (!label.empty()) p_.Fail("expected a block or loop after a label");
        return Simple();
    }

    RoutineStatementPtr If() {
        auto statement = Make(RoutineStatement::Kind::If);
        do {
            SqlNodePtr condition = p_.ParseExpression();
            p_.ExpectWord("then");
            statement->branches.emplace_back(std::move(condition), List({"elseif", "else", "end"}));
        } while (p_.AcceptWord("elseif"));
        if (p_.AcceptWord("else")) {
            statement->hasElse = true;
            statement->elseBody = List({"end"});
        }
        p_.ExpectWord("end");
        p_.ExpectWord("if");
        return statement;
    }

    RoutineStatementPtr CaseStatement() {
        auto statement = Make(RoutineStatement::Kind::Case);
        if (!p_.PeekWord("when")) statement->expr = p_.ParseExpression();
        while (p_.AcceptWord("when")) {
            SqlNodePtr value = p_.ParseExpression();
            p_.ExpectWord("then");
            statement->branches.emplace_back(std::move(value), List({"when", "else", "end"}));
        }
        if (statement->branches.empty()) p_.Fail("expected WHEN");
        if (p_.AcceptWord("else")) {
            statement->hasElse = true;
            statement->elseBody = List({"end"});
        }
        p_.ExpectWord("end");
        p_.ExpectWord("case");
        return statement;
    }

    // A statement without a body of statements: its tokens up to the ';' go to its own reader,
    // one at a time (a SELECT's all at once).
    RoutineStatementPtr Simple() {
        if (p_.AcceptWord("declare")) return Declare();
        const SqlToken* first = p_.Peek();
        if (first && first->kind == SqlTokenKind::Word && !p_.PeekWord("select"))
            return ParseSimpleStatement([this, depth = 0](SqlToken& token) mutable { return NextOfStatement(token, depth); });
        std::vector<SqlToken> tokens;
        int depth = 0;
        for (SqlToken token{}; NextOfStatement(token, depth);) tokens.push_back(token);
        if (tokens.empty()) return Make(RoutineStatement::Kind::Empty);
        return ParseSimpleStatement(std::move(tokens));
    }

    // The statement's next token, up to its ';' (or a ')' that closes what it did not open); the
    // ones read are let go, as no token of the body's reader is held while a statement is read.
    bool NextOfStatement(SqlToken& token, int& depth) {
        p_.Forget();
        const SqlToken* next = p_.Peek();
        if (!next) return false;
        if (next->kind == SqlTokenKind::Punctuation) {
            if (next->text == ";" && depth == 0) return false;
            if (next->text == "(") ++depth;
            if (next->text == ")" && --depth < 0) return false;
        }
        token = *next;
        p_.Skip();
        return true;
    }

    RoutineStatementPtr Declare() {
        using K = RoutineStatement::Kind;
        SqlParser& sub = p_;
        if (sub.PeekWord("continue") || sub.PeekWord("exit") || sub.PeekWord("undo")) {
            auto handler = Make(K::DeclareHandler);
            handler->EditDetails().handlerAction = LowerAscii(sub.Peek()->text);
            sub.Skip();
            sub.ExpectWord("handler");
            sub.ExpectWord("for");
            do handler->EditDetails().conditions.push_back(Condition(sub));
            while (sub.AcceptText(","));
            handler->body.push_back(Statement());
            return handler;
        }
        std::vector<std::string> names;
        do names.push_back(sub.ReadName());
        while (sub.AcceptText(","));
        if (names.size() == 1 && sub.AcceptWord("condition")) {
            auto condition = Make(K::DeclareCondition);
            condition->names = names;
            sub.ExpectWord("for");
            condition->EditDetails().conditions.push_back(Condition(sub));
            return condition;
        }
        if (names.size() == 1 && sub.AcceptWord("cursor")) {
            auto cursor = Make(K::DeclareCursor);
            cursor->names = names;
            if (sub.AcceptText("(")) throw Untranslatable{"cursor with parameters"};
            sub.ExpectWord("for");
            cursor->query = sub.ParseQuery();
            return cursor;
        }
        auto variable = Make(K::DeclareVariable);
        variable->names = names;
        variable->EditDetails().type = ParseRoutineType(sub);
        if (sub.AcceptWord("default")) variable->expr = sub.ParseExpression();
        return variable;
    }

    static HandlerCondition Condition(SqlParser& sub) {
        using C = HandlerCondition::Kind;
        if (sub.AcceptWord("sqlexception")) return {C::Exception, ""};
        if (sub.AcceptWord("sqlwarning")) return {C::Warning, ""};
        if (sub.AcceptWord("not")) {
            sub.ExpectWord("found");
            return {C::NotFound, ""};
        }
        if (sub.AcceptWord("sqlstate")) {
            sub.AcceptWord("value");
            const SqlToken* state = sub.Peek();
            if (!state || state->kind != SqlTokenKind::String) sub.Fail("expected an SQLSTATE string");
            sub.Skip();
            return {C::SqlState, StringTokenValue(*state)};
        }
        const SqlToken* token = sub.Peek();
        if (token && token->kind == SqlTokenKind::Number) {
            sub.Skip();
            return {C::ErrorCode, std::string(token->text)};
        }
        return {C::Named, LowerAscii(sub.ReadName())};
    }

    SqlParser p_;
    int depth_ = 0;
    bool open_ = false;
    std::string blockLabel_;
};

RoutineType ParseRoutineType(SqlParser& parser) {
    static const std::array<std::string_view, 10> kModifiers = {
        "unsigned", "signed", "zerofill", "binary", "ascii", "unicode", "byte", "precision", "varying", "varchar"};
    RoutineType type;
    const SqlToken* first = parser.Peek();
    if (!first || first->kind != SqlTokenKind::Word) parser.Fail("expected a type");
    parser.AcceptWord("national");
    if (parser.PeekWord("type") || (parser.PeekWord("row") && parser.PeekWord("type", 1))) throw Untranslatable{"TYPE OF (a type taken from a table)"};
    type.text = LowerAscii(parser.ReadName());
    if (type.text == "long" && (parser.PeekWord("varchar") || parser.PeekWord("varbinary"))) type.text += " " + LowerAscii(parser.ReadName());
    if (parser.AcceptText("(")) {
        type.text += "(";
        for (int depth = 1; depth > 0;) {
            const SqlToken* token = parser.Peek();
            if (!token) parser.Fail("expected ')'");
            if (token->text == "(") ++depth;
            if (token->text == ")") --depth;
            type.text += token->text;
            parser.Skip();
        }
    }
    for (;;) {
        bool more = false;
        for (std::string_view word : kModifiers)
            if (parser.AcceptWord(word)) {
                type.text += " " + std::string(word);
                more = true;
            }
        if (parser.PeekWord("character") && parser.PeekWord("set", 1)) {
            parser.Skip(), parser.Skip();
            type.text += " character set " + LowerAscii(parser.ReadName());
            more = true;
        } else if (parser.AcceptWord("charset")) {
            type.text += " character set " + LowerAscii(parser.ReadName());
            more = true;
        } else if (parser.AcceptWord("collate")) {
            type.text += " collate " + LowerAscii(parser.ReadName());
            more = true;
        }
        if (!more) return type;
    }
}

RoutineReader::RoutineReader(std::string_view createText)
    : parser_(std::make_unique<BodyParser>(RoutineTokens(createText, variableNames_))), header_(parser_->Header()) {}

RoutineReader::~RoutineReader() = default;

RoutineStatementPtr RoutineReader::Body() { return parser_->Body(); }

bool RoutineReader::OpenBlock(std::string& label) { return parser_->OpenBlock(label); }

RoutineStatementPtr RoutineReader::NextInBlock() { return parser_->NextInBlock(); }

}  // namespace velmora
