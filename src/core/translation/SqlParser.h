// SqlParser: reads MySQL/MariaDB expressions and SELECT queries from tokens into the syntax tree
// of SqlSyntax.h, with MySQL's operator precedence. Comments are skipped. What it cannot read, or
// what is MySQL-only syntax without a T-SQL counterpart (user variables, row constructors,
// NATURAL JOIN, ...), throws Untranslatable naming the construct. One parser per text; any thread.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "translation/SqlSyntax.h"
#include "translation/SqlTokenizer.h"

namespace velmora {

class SqlParser {
public:
    // Gives the next token to read; false at the end.
    using TokenPull = std::function<bool(SqlToken&)>;

    explicit SqlParser(std::vector<SqlToken> tokens);
    // Reads tokens as it needs them: with Forget, only the few the parser still looks at are held.
    explicit SqlParser(TokenPull pull);
    // The tokens of `text` as a parser asks for them, comments dropped. The whole text is scanned
    // once first (holding nothing), so that an unreadable token is named before anything else:
    // throws Untranslatable. The text must outlive the parser.
    static TokenPull Reading(std::string_view text);

    SqlNodePtr ParseExpression();
    std::shared_ptr<SqlQuery> ParseQuery();

    // Cursor helpers, also used by the view header reader.
    bool AtEnd() const;
    void Skip() { ++pos_; }
    const SqlToken* Peek(std::size_t ahead = 0) const;
    // Lets go of the tokens already read but the last one: call it where no token of the parser's
    // is held (between the statements of a routine body, between the columns of the outermost
    // SELECT list). The rest stay where they are.
    void Forget();
    bool PeekWord(std::string_view word, std::size_t ahead = 0) const;  // case-insensitive
    bool AcceptWord(std::string_view word);
    bool AcceptText(std::string_view text);  // operator or punctuation
    void ExpectWord(std::string_view word);
    void ExpectText(std::string_view text);
    std::string ReadName();                  // a bare or backquoted name
    std::string ReadDottedName(std::vector<std::string>& parts);
    [[noreturn]] void Fail(std::string_view what) const;
    // One entry of a FROM list (a table, a derived table or a join tree), for the statements of
    // stored routines that name tables (UPDATE and DELETE with joins).
    std::unique_ptr<SqlTableRef> ParseTableRef();

private:
    SqlNodePtr ParseOr();
    SqlNodePtr ParseXor();
    SqlNodePtr ParseAnd();
    SqlNodePtr ParseNot();
    SqlNodePtr ParsePredicate();
    bool ParsePredicateTail(SqlNodePtr& left);
    SqlNodePtr ParseBinaryLevel(int level);
    SqlNodePtr ParseUnary();
    SqlNodePtr ParsePrimary();
    SqlNodePtr ParseParenthesised();
    SqlNodePtr ParseWordPrimary();
    SqlNodePtr ParseFunction(std::string name);
    void ParseSpecialArguments(SqlNode& call);
    void ParseWindow(SqlNode& call);
    std::string ParseCastType();
    SqlNodePtr ParseCase();
    SqlNodePtr ParseInterval();
    std::vector<std::pair<SqlNodePtr, bool>> ParseOrderList();

    std::shared_ptr<SqlQuery> ParseSelect();
    void ParseSelectItems(SqlQuery& query);
    void ParseTail(SqlQuery& query);
    std::unique_ptr<SqlTableRef> ParseTablePrimary();
    std::string ParseOptionalAlias();

    // Counts the recursion of the functions that call themselves through nested text.
    class NestingGuard {
    public:
        explicit NestingGuard(SqlParser& parser);
        ~NestingGuard();
        NestingGuard(const NestingGuard&) = delete;
        NestingGuard& operator=(const NestingGuard&) = delete;

    private:
        SqlParser& parser_;
    };

    const SqlToken& Previous() const { return tokens_[pos_ - 1 - base_]; }

    // A deque: tokens read in later, and those forgotten, leave the others where they are.
    mutable std::deque<SqlToken> tokens_;
    mutable TokenPull pull_;
    std::size_t base_ = 0;  // the index in the text's tokens of tokens_.front()
    std::size_t pos_ = 0;   // the index in the text's tokens of the next token
    int nesting_ = 0;
};

// Parses a whole expression text; throws Untranslatable on unreadable or leftover text.
SqlNodePtr ParseSqlExpression(std::string_view text);

// Lower-case copy (ASCII).
std::string LowerAscii(std::string_view text);

// Whether `text` holds `lower` (lower case) in any case (ASCII), without a copy of the text.
bool ContainsAsciiNoCase(std::string_view text, std::string_view lower);

}  // namespace velmora
