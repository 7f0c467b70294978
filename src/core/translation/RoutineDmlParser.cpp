// RoutineDmlParser: the simple statements of a routine body, each read from its own tokens.
#include "translation/RoutineDmlParser.h"

namespace velmora {
namespace {

using K = RoutineStatement::Kind;

std::string Upper(std::string_view word) {
    std::string text(word);
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

bool IsWord(const SqlToken& token, std::string_view word) {
    return token.kind == SqlTokenKind::Word && LowerAscii(token.text) == word;
}

class SimpleParser {
public:
    // A SELECT's tokens are kept whole (its INTO list is taken out before it is read).
    explicit SimpleParser(std::vector<SqlToken> tokens) : tokens_(std::move(tokens)), p_(Pull(tokens_)) {}
    explicit SimpleParser(SqlParser::TokenPull tokens) : p_(std::move(tokens)) {}

    RoutineStatementPtr Parse() {
        RoutineStatementPtr statement = Statement();
        if (!p_.AtEnd()) p_.Fail("unexpected text in the statement");
        return statement;
    }

private:
    static SqlParser::TokenPull Pull(const std::vector<SqlToken>& tokens) {
        return [&tokens, next = std::size_t{0}](SqlToken& token) mutable {
            if (next == tokens.size()) return false;
            token = tokens[next++];
            return true;
        };
    }

    RoutineStatementPtr Make(K kind) {
        auto statement = std::make_unique<RoutineStatement>();
        statement->kind = kind;
        return statement;
    }

    RoutineStatementPtr Statement() {
        const std::string word = LowerAscii(p_.Peek()->text);
        if (p_.Peek()->kind != SqlTokenKind::Word) p_.Fail("expected a statement");
        if (word == "select" || (word == "(" && tokens_.size() > 1)) return Select();
        if (p_.AcceptWord("set")) return Set();
        if (word == "insert") return Insert();
        if (p_.PeekWord("update")) return Update();
        if (p_.AcceptWord("delete")) return Delete();
        if (word == "leave" || word == "iterate") {
            p_.Skip();
            auto jump = Make(word == "leave" ? K::Leave : K::Iterate);
            jump->names.push_back(p_.ReadName());
            return jump;
        }
        if (word == "open" || word == "close") {
            p_.Skip();
            auto cursor = Make(word == "open" ? K::Open : K::Close);
            cursor->names.push_back(p_.ReadName());
            return cursor;
        }
        if (p_.AcceptWord("fetch")) return Fetch();
        if (word == "signal" || word == "resignal") return Signal(word);
        if (p_.AcceptWord("return")) {
            auto ret = Make(K::Return);
            ret->expr = p_.ParseExpression();
            return ret;
        }
        if (p_.AcceptWord("call")) return Call();
        if (word == "start" || word == "begin" || word == "commit" || word == "rollback" || word == "savepoint" ||
            word == "release")
            return Transaction();
        if (word == "create" || word == "drop") return TemporaryTable();
        if (p_.AcceptWord("prepare")) {
            auto prepare = Make(K::Prepare);
            prepare->names.push_back(p_.ReadName());
            p_.ExpectWord("from");
            prepare->expr = p_.ParseExpression();
            return prepare;
        }
        if (p_.AcceptWord("execute")) {
            auto execute = Make(K::Execute);
            execute->names.push_back(p_.ReadName());
            if (p_.AcceptWord("using")) {
                do execute->values.push_back(p_.ParseExpression());
                while (p_.AcceptText(","));
            }
            return execute;
        }
        if (p_.AcceptWord("deallocate") || (p_.PeekWord("drop") && p_.PeekWord("prepare", 1) && (p_.Skip(), true))) {
            p_.ExpectWord("prepare");
            auto deallocate = Make(K::Deallocate);
            deallocate->names.push_back(p_.ReadName());
            return deallocate;
        }
        std::string construct = Upper(word);
        if (p_.Peek(1) && p_.Peek(1)->kind == SqlTokenKind::Word) construct += " " + Upper(p_.Peek(1)->text);
        throw Untranslatable{"statement " + construct};
    }

    // SELECT ... [INTO a, b] ...: the INTO list leaves the tokens; what remains is the query.
    RoutineStatementPtr Select() {
        std::vector<SqlToken> query;
        std::vector<std::string> into;
        int depth = 0;
        for (std::size_t i = 0; i < tokens_.size(); ++i) {
            const SqlToken& token = tokens_[i];
            if (token.text == "(") ++depth;
            if (token.text == ")") --depth;
            if (depth == 0 && IsWord(token, "into") && into.empty()) {
                if (i + 1 < tokens_.size() && (IsWord(tokens_[i + 1], "outfile") || IsWord(tokens_[i + 1], "dumpfile")))
                    throw Untranslatable{"SELECT ... INTO " + Upper(tokens_[i + 1].text)};
                for (++i; i < tokens_.size(); ++i) {
                    into.push_back(tokens_[i].kind == SqlTokenKind::QuotedName ? QuotedNameValue(tokens_[i]) : std::string(tokens_[i].text));
                    if (i + 1 >= tokens_.size() || tokens_[i + 1].text != ",") break;
                    ++i;
                }
                continue;
            }
            if (IsWord(token, "sql_calc_found_rows")) throw Untranslatable{"SQL_CALC_FOUND_ROWS"};
            query.push_back(token);
        }
        SqlParser sub(std::move(query));
        auto select = Make(into.empty() ? K::Select : K::SelectInto);
        select->query = sub.ParseQuery();
        if (!sub.AtEnd()) sub.Fail("unexpected text after the query");
        for (auto& name : into) {
            auto target = std::make_unique<SqlNode>();
            target->kind = SqlNode::Kind::Name;
            target->EditParts().push_back(name);
            select->targets.push_back(std::move(target));
        }
        while (p_.Peek()) p_.Skip();
        return select;
    }

    SqlNodePtr Target() {
        const SqlToken* token = p_.Peek();
        if (token && token->kind == SqlTokenKind::Variable) throw Untranslatable{"SET of system variable " + std::string(token->text)};
        for (const char* scope : {"global", "session", "local", "persist"})
            if (p_.PeekWord(scope) && p_.Peek(1) && p_.Peek(1)->text != "=") throw Untranslatable{"SET " + Upper(scope)};
        auto target = std::make_unique<SqlNode>();
        target->kind = SqlNode::Kind::Name;
        p_.ReadDottedName(target->EditParts());
        return target;
    }

    RoutineStatementPtr Set() {
        if (p_.PeekWord("transaction") || p_.PeekWord("names") || p_.PeekWord("autocommit") ||
            (p_.PeekWord("character") && p_.PeekWord("set", 1)))
            throw Untranslatable{"SET " + Upper(p_.Peek()->text)};
        auto set = Make(K::Set);
        do {
            set->targets.push_back(Target());
            if (!p_.AcceptText("=") && !p_.AcceptText(":=")) p_.Fail("expected '='");
            set->values.push_back(p_.ParseExpression());
        } while (p_.AcceptText(","));
        return set;
    }

    RoutineStatementPtr Insert() {
        p_.Skip();
        for (const char* word : {"ignore", "delayed", "high_priority", "low_priority"})
            if (p_.PeekWord(word)) throw Untranslatable{"INSERT " + Upper(word)};
        p_.AcceptWord("into");
        auto insert = Make(K::Insert);
        p_.ReadDottedName(insert->EditDetails().table);
        if (p_.AcceptText("(")) {
            if (!p_.AcceptText(")")) {
                do insert->EditDetails().columns.push_back(p_.ReadName());
                while (p_.AcceptText(","));
                p_.ExpectText(")");
            }
        }
        if (p_.AcceptWord("values") || p_.AcceptWord("value")) {
            do {
                p_.ExpectText("(");
                std::vector<SqlNodePtr> row;
                if (!p_.AcceptText(")")) {
                    do row.push_back(p_.PeekWord("default") ? (p_.Skip(), DefaultMarker()) : p_.ParseExpression());
                    while (p_.AcceptText(","));
                    p_.ExpectText(")");
                }
                insert->EditDetails().rows.push_back(std::move(row));
                p_.Forget();  // no token is held between rows
            } while (p_.AcceptText(","));
        } else if (p_.AcceptWord("set")) {
            std::vector<SqlNodePtr> row;
            do {
                insert->EditDetails().columns.push_back(p_.ReadName());
                p_.ExpectText("=");
                row.push_back(p_.ParseExpression());
            } while (p_.AcceptText(","));
            insert->EditDetails().rows.push_back(std::move(row));
        } else {
            insert->query = p_.ParseQuery();
        }
        if (p_.PeekWord("on")) throw Untranslatable{"INSERT ... ON DUPLICATE KEY UPDATE"};
        if (p_.PeekWord("returning")) throw Untranslatable{"INSERT ... RETURNING"};
        return insert;
    }

    // DEFAULT in a VALUES row: a call of " default", a name no real function has, that the writer knows.
    static SqlNodePtr DefaultMarker() {
        auto node = std::make_unique<SqlNode>();
        node->kind = SqlNode::Kind::Function;
        node->text = " default";
        return node;
    }

    RoutineStatementPtr Update() {
        p_.Skip();
        for (const char* word : {"ignore", "low_priority"})
            if (p_.PeekWord(word)) throw Untranslatable{"UPDATE " + Upper(word)};
        auto update = Make(K::Update);
        // The table references end at the first SET outside parentheses (a bare SET would read as an alias).
        std::vector<SqlToken> references;
        for (int depth = 0; !p_.AtEnd() && !(depth == 0 && p_.PeekWord("set")); p_.Skip()) {
            if (p_.Peek()->text == "(") ++depth;
            if (p_.Peek()->text == ")") --depth;
            references.push_back(*p_.Peek());
        }
        SqlParser tables(std::move(references));
        do update->EditDetails().refs.push_back(tables.ParseTableRef());
        while (tables.AcceptText(","));
        if (!tables.AtEnd()) tables.Fail("unexpected text in UPDATE's tables");
        p_.ExpectWord("set");
        do {
            auto target = std::make_unique<SqlNode>();
            target->kind = SqlNode::Kind::Name;
            p_.ReadDottedName(target->EditParts());
            p_.ExpectText("=");
            update->targets.push_back(std::move(target));
            update->values.push_back(p_.PeekWord("default") ? (p_.Skip(), DefaultMarker()) : p_.ParseExpression());
        } while (p_.AcceptText(","));
        Tail(*update);
        return update;
    }

    RoutineStatementPtr Delete() {
        for (const char* word : {"ignore", "low_priority", "quick"})
            if (p_.PeekWord(word)) throw Untranslatable{"DELETE " + Upper(word)};
        auto del = Make(K::Delete);
        if (p_.AcceptWord("from")) {
            p_.ReadDottedName(del->EditDetails().table);
            if (p_.PeekWord("using")) throw Untranslatable{"DELETE ... USING"};
            if (p_.AcceptWord("as")) del->EditDetails().alias = p_.ReadName();
            else if (p_.Peek() && p_.Peek()->kind != SqlTokenKind::Punctuation && !p_.PeekWord("where") &&
                     !p_.PeekWord("order") && !p_.PeekWord("limit") && !p_.PeekWord("returning"))
                del->EditDetails().alias = p_.ReadName();
        } else {
            // DELETE t FROM t JOIN u ...
            p_.ReadDottedName(del->EditDetails().table);
            if (p_.AcceptText(",")) throw Untranslatable{"DELETE from several tables"};
            p_.ExpectWord("from");
            do del->EditDetails().refs.push_back(p_.ParseTableRef());
            while (p_.AcceptText(","));
        }
        Tail(*del);
        if (p_.PeekWord("returning")) throw Untranslatable{"DELETE ... RETURNING"};
        return del;
    }

    void Tail(RoutineStatement& statement) {
        if (p_.AcceptWord("where")) statement.EditDetails().where = p_.ParseExpression();
        if (p_.PeekWord("order")) throw Untranslatable{Upper(statement.kind == K::Update ? "update" : "delete") + " ... ORDER BY"};
        if (p_.AcceptWord("limit")) statement.EditDetails().limit = p_.ParseExpression();
    }

    RoutineStatementPtr Fetch() {
        auto fetch = Make(K::Fetch);
        if (p_.AcceptWord("next")) p_.ExpectWord("from");
        else p_.AcceptWord("from");
        fetch->names.push_back(p_.ReadName());
        p_.ExpectWord("into");
        do {
            auto target = std::make_unique<SqlNode>();
            target->kind = SqlNode::Kind::Name;
            p_.ReadDottedName(target->EditParts());
            fetch->targets.push_back(std::move(target));
        } while (p_.AcceptText(","));
        return fetch;
    }

    RoutineStatementPtr Signal(const std::string& word) {
        p_.Skip();
        auto signal = Make(word == "signal" ? K::Signal : K::Resignal);
        if (p_.AcceptWord("sqlstate")) {
            p_.AcceptWord("value");
            const SqlToken* state = p_.Peek();
            if (!state || state->kind != SqlTokenKind::String) p_.Fail("expected an SQLSTATE string");
            p_.Skip();
            signal->names.push_back(StringTokenValue(*state));
            signal->EditDetails().text = "sqlstate";
        } else if (!p_.AtEnd() && !p_.PeekWord("set")) {
            signal->names.push_back(LowerAscii(p_.ReadName()));
        }
        if (p_.AcceptWord("set")) {
            do {
                const std::string item = LowerAscii(p_.ReadName());
                p_.ExpectText("=");
                SqlNodePtr value = p_.ParseExpression();
                if (item == "message_text") signal->expr = std::move(value);
                else if (item == "mysql_errno") signal->values.push_back(std::move(value));
            } while (p_.AcceptText(","));
        }
        return signal;
    }

    RoutineStatementPtr Call() {
        auto call = Make(K::Call);
        p_.ReadDottedName(call->names);
        if (p_.AcceptText("(") && !p_.AcceptText(")")) {
            do call->values.push_back(p_.ParseExpression());
            while (p_.AcceptText(","));
            p_.ExpectText(")");
        }
        return call;
    }

    RoutineStatementPtr Transaction() {
        auto transaction = Make(K::Transaction);
        if (p_.AcceptWord("start")) {
            p_.ExpectWord("transaction");
            if (!p_.AtEnd()) throw Untranslatable{"START TRANSACTION with characteristics"};
            transaction->names.push_back("begin");
        } else if (p_.AcceptWord("begin")) {
            if (!p_.AcceptWord("work")) p_.ExpectWord("transaction");
            transaction->names.push_back("begin");
        } else if (p_.AcceptWord("savepoint")) {
            transaction->names = {"savepoint", p_.ReadName()};
        } else if (p_.AcceptWord("release")) {
            p_.ExpectWord("savepoint");
            transaction->names = {"release", p_.ReadName()};
        } else {
            const bool commit = p_.AcceptWord("commit");
            if (!commit) p_.ExpectWord("rollback");
            p_.AcceptWord("work");
            if (!commit && p_.AcceptWord("to")) {
                p_.AcceptWord("savepoint");
                transaction->names = {"rollback to", p_.ReadName()};
            } else {
                transaction->names.push_back(commit ? "commit" : "rollback");
            }
            if (p_.PeekWord("and") || p_.PeekWord("release") || p_.PeekWord("no")) throw Untranslatable{"COMMIT or ROLLBACK with CHAIN or RELEASE"};
        }
        return transaction;
    }

    // CREATE TEMPORARY TABLE t (...) | ... [AS] SELECT ... ; DROP TEMPORARY TABLE [IF EXISTS] t, ...
    RoutineStatementPtr TemporaryTable() {
        const bool create = p_.AcceptWord("create");
        if (!create) p_.ExpectWord("drop");
        // A plain DROP TABLE drops the temporary table of that name where there is one; the writer
        // refuses it for any other table.
        const bool temporary = p_.AcceptWord("temporary");
        if (!temporary && (create || !p_.PeekWord("table"))) {
            std::string what = p_.Peek() ? Upper(p_.Peek()->text) : "";
            throw Untranslatable{std::string(create ? "CREATE " : "DROP ") + what + " in a routine"};
        }
        p_.ExpectWord("table");
        auto statement = Make(create ? K::CreateTemporary : K::DropTemporary);
        if (!temporary) statement->EditDetails().text = "table";
        if (p_.AcceptWord("if")) {
            if (create) p_.ExpectWord("not");
            p_.ExpectWord("exists");
            statement->EditDetails().ifExists = true;
        }
        if (!create) {
            do {
                std::vector<std::string> parts;
                statement->names.push_back(p_.ReadDottedName(parts));
            } while (p_.AcceptText(","));
            return statement;
        }
        std::vector<std::string> parts;
        statement->names.push_back(p_.ReadDottedName(parts));
        if (p_.PeekWord("like")) throw Untranslatable{"CREATE TEMPORARY TABLE ... LIKE"};
        if (p_.AcceptWord("as") || p_.PeekWord("select")) {
            statement->query = p_.ParseQuery();
            return statement;
        }
        // The column list as written, for the table translator.
        std::string text = "CREATE TABLE `t` ";
        for (; !p_.AtEnd(); p_.Skip()) (text += p_.Peek()->text) += " ";
        statement->EditDetails().text = text;
        return statement;
    }

    std::vector<SqlToken> tokens_;
    SqlParser p_;
};

}  // namespace

RoutineStatementPtr ParseSimpleStatement(std::vector<SqlToken> tokens) {
    SimpleParser parser(std::move(tokens));
    return parser.Parse();
}

RoutineStatementPtr ParseSimpleStatement(SqlParser::TokenPull tokens) {
    SimpleParser parser(std::move(tokens));
    return parser.Parse();
}

}  // namespace velmora
