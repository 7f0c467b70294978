// SqlParser, expressions: precedence climbing from OR down to primaries. Queries (SELECT, FROM,
// joins) are read in SqlQueryParser.cpp.
#include "translation/SqlParser.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace velmora {
namespace {

SqlNodePtr MakeNode(SqlNode::Kind kind, std::string text = {}) {
    auto node = std::make_unique<SqlNode>();
    node->kind = kind;
    node->text = std::move(text);
    return node;
}

// Puts `child` under `node`, which is then at least one level deeper. Chains of operators (a + b
// + c ..., x IS NULL IS NULL ..., x COLLATE a COLLATE b ...) are read in a loop, not by recursion,
// so their depth is counted here: past the limit the text is refused, as everything that reads the
// tree (and frees it) recurses over it.
void AddChild(SqlNode& node, SqlNodePtr child) {
    const int depth = 1 + child->depth;
    if (depth > kMaxSqlNesting) throw Untranslatable{"expression nested too deeply"};
    node.depth = std::max(node.depth, static_cast<std::uint8_t>(depth));
    node.EditChildren().push_back(std::move(child));
}

SqlNodePtr MakeBinary(std::string_view op, SqlNodePtr left, SqlNodePtr right) {
    auto node = MakeNode(SqlNode::Kind::Binary);
    node->op = op;
    AddChild(*node, std::move(left));
    AddChild(*node, std::move(right));
    return node;
}

// Binary operator levels from loosest to tightest, below the comparisons.
const std::array<std::vector<std::string_view>, 6> kLevels = {{
    {"|"}, {"&"}, {"<<", ">>"}, {"+", "-"}, {"*", "/", "%", "div", "mod"}, {"^"}}};

// Functions that MySQL also accepts without parentheses.
bool IsNiladicKeyword(std::string_view lower) {
    static const std::array<std::string_view, 9> kWords = {
        "current_timestamp", "current_date", "current_time", "localtime", "localtimestamp",
        "current_user", "utc_timestamp", "utc_date", "utc_time"};
    return std::find(kWords.begin(), kWords.end(), lower) != kWords.end();
}

}  // namespace

SqlOperator::SqlOperator(std::string_view text) {
    const auto found = std::find(kTexts.begin(), kTexts.end(), text);
    if (found == kTexts.end()) throw Untranslatable{"operator " + std::string(text)};
    index_ = static_cast<std::uint8_t>(found - kTexts.begin());
}

std::string LowerAscii(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

bool ContainsAsciiNoCase(std::string_view text, std::string_view lower) {
    const auto equal = [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; };
    return std::search(text.begin(), text.end(), lower.begin(), lower.end(), equal) != text.end();
}

SqlParser::SqlParser(std::vector<SqlToken> tokens) {
    std::erase_if(tokens, [](const SqlToken& token) { return token.kind == SqlTokenKind::Comment; });
    tokens_.assign(tokens.begin(), tokens.end());
}

SqlParser::SqlParser(TokenPull pull) : pull_(std::move(pull)) {}

SqlParser::TokenPull SqlParser::Reading(std::string_view text) {
    if (std::string error = ScanSqlTokens(text, {}, [](const SqlToken&) {}); !error.empty())
        throw Untranslatable{"unreadable text (" + error + ")"};
    auto reader = std::make_shared<SqlTokenReader>(text);
    return [reader](SqlToken& token) {
        do
            if (!reader->Next(token)) return false;
        while (token.kind == SqlTokenKind::Comment);
        return true;
    };
}

bool SqlParser::AtEnd() const { return Peek() == nullptr; }

const SqlToken* SqlParser::Peek(std::size_t ahead) const {
    const std::size_t at = pos_ + ahead - base_;
    for (SqlToken token{}; at >= tokens_.size() && pull_;) {
        if (pull_(token)) tokens_.push_back(token);
        else pull_ = nullptr;
    }
    return at < tokens_.size() ? &tokens_[at] : nullptr;
}

void SqlParser::Forget() {
    while (base_ + 1 < pos_ && !tokens_.empty()) {
        tokens_.pop_front();
        ++base_;
    }
}

bool SqlParser::PeekWord(std::string_view word, std::size_t ahead) const {
    const SqlToken* token = Peek(ahead);
    return token && token->kind == SqlTokenKind::Word && LowerAscii(token->text) == word;
}

bool SqlParser::AcceptWord(std::string_view word) {
    if (!PeekWord(word)) return false;
    ++pos_;
    return true;
}

bool SqlParser::AcceptText(std::string_view text) {
    const SqlToken* token = Peek();
    if (!token || (token->kind != SqlTokenKind::Operator && token->kind != SqlTokenKind::Punctuation) ||
        token->text != text)
        return false;
    ++pos_;
    return true;
}

void SqlParser::ExpectWord(std::string_view word) {
    if (!AcceptWord(word)) Fail("expected " + std::string(word));
}

void SqlParser::ExpectText(std::string_view text) {
    if (!AcceptText(text)) Fail("expected '" + std::string(text) + "'");
}

void SqlParser::Fail(std::string_view what) const {
    const SqlToken* token = Peek();
    throw Untranslatable{"unreadable text (" + std::string(what) +
                         (token ? " near '" + std::string(token->text) + "' at offset " + std::to_string(token->offset) + ")"
                                : " at the end)")};
}

std::string SqlParser::ReadName() {
    const SqlToken* token = Peek();
    if (!token) Fail("expected a name");
    if (token->kind == SqlTokenKind::QuotedName) {
        ++pos_;
        return QuotedNameValue(*token);
    }
    if (token->kind == SqlTokenKind::Word) {
        ++pos_;
        return std::string(token->text);
    }
    Fail("expected a name");
}

std::string SqlParser::ReadDottedName(std::vector<std::string>& parts) {
    parts.push_back(ReadName());
    while (AcceptText(".")) parts.push_back(ReadName());
    return parts.back();
}

SqlParser::NestingGuard::NestingGuard(SqlParser& parser) : parser_(parser) {
    if (++parser_.nesting_ > kMaxSqlNesting) throw Untranslatable{"expression nested too deeply"};
}

SqlParser::NestingGuard::~NestingGuard() { --parser_.nesting_; }

SqlNodePtr SqlParser::ParseExpression() {
    NestingGuard guard(*this);
    return ParseOr();
}

SqlNodePtr SqlParser::ParseOr() {
    SqlNodePtr left = ParseXor();
    while (AcceptWord("or") || AcceptText("||")) left = MakeBinary("or", std::move(left), ParseXor());
    if (AcceptText(":=")) throw Untranslatable{"assignment :="};
    return left;
}

SqlNodePtr SqlParser::ParseXor() {
    SqlNodePtr left = ParseAnd();
    while (AcceptWord("xor")) left = MakeBinary("xor", std::move(left), ParseAnd());
    return left;
}

SqlNodePtr SqlParser::ParseAnd() {
    SqlNodePtr left = ParseNot();
    while (AcceptWord("and") || AcceptText("&&")) left = MakeBinary("and", std::move(left), ParseNot());
    return left;
}

SqlNodePtr SqlParser::ParseNot() {
    if (AcceptWord("not")) {
        NestingGuard guard(*this);  // NOT NOT NOT ...: each one a level deeper
        auto node = MakeNode(SqlNode::Kind::Unary);
        node->op = "not";
        node->EditChildren().push_back(ParseNot());
        return node;
    }
    return ParsePredicate();
}

SqlNodePtr SqlParser::ParsePredicate() {
    SqlNodePtr left = ParseBinaryLevel(0);
    while (ParsePredicateTail(left)) {
    }
    return left;
}

// One comparison-level operator after `left`, folded into it; false when there is none.
bool SqlParser::ParsePredicateTail(SqlNodePtr& left) {
    static const std::array<std::string_view, 8> kComparisons = {"=", "<=>", "<>", "!=", "<", "<=", ">", ">="};
    const SqlToken* token = Peek();
    if (token && token->kind == SqlTokenKind::Operator &&
        std::find(kComparisons.begin(), kComparisons.end(), token->text) != kComparisons.end()) {
        ++pos_;
        const std::string_view op = *std::find(kComparisons.begin(), kComparisons.end(), token->text == "!=" ? "<>" : token->text);
        if (PeekWord("any") || PeekWord("some") || PeekWord("all")) throw Untranslatable{"comparison with ANY/ALL"};
        left = MakeBinary(op, std::move(left), ParseBinaryLevel(0));
        return true;
    }
    if (AcceptWord("is")) {
        auto node = MakeNode(SqlNode::Kind::Is);
        node->negated = AcceptWord("not");
        const SqlToken* what = Peek();
        if (!what || what->kind != SqlTokenKind::Word) Fail("expected NULL, TRUE, FALSE or UNKNOWN");
        node->text = LowerAscii(what->text);
        ++pos_;
        AddChild(*node, std::move(left));
        left = std::move(node);
        return true;
    }
    const bool negated = PeekWord("not") && (PeekWord("like", 1) || PeekWord("in", 1) || PeekWord("between", 1) ||
                                             PeekWord("regexp", 1) || PeekWord("rlike", 1));
    if (negated) ++pos_;
    if (AcceptWord("like")) {
        SqlNodePtr node = MakeBinary("like", std::move(left), ParseBinaryLevel(0));
        node->negated = negated;
        if (AcceptWord("escape")) node->EditDetails().elseValue = ParsePrimary();
        left = std::move(node);
        return true;
    }
    if (AcceptWord("regexp") || AcceptWord("rlike")) throw Untranslatable{"REGEXP"};
    if (PeekWord("sounds") && PeekWord("like", 1)) throw Untranslatable{"SOUNDS LIKE"};
    if (AcceptWord("between")) {
        auto node = MakeNode(SqlNode::Kind::Between);
        node->negated = negated;
        AddChild(*node, std::move(left));
        AddChild(*node, ParseBinaryLevel(0));
        ExpectWord("and");
        AddChild(*node, ParseBinaryLevel(0));
        left = std::move(node);
        return true;
    }
    if (AcceptWord("in")) {
        auto node = MakeNode(SqlNode::Kind::In);
        node->negated = negated;
        AddChild(*node, std::move(left));
        ExpectText("(");
        if (PeekWord("select") || PeekWord("with")) {
            node->EditDetails().query = ParseQuery();
        } else {
            do node->EditChildren().push_back(ParseExpression());
            while (AcceptText(","));
        }
        ExpectText(")");
        left = std::move(node);
        return true;
    }
    if (negated) Fail("expected LIKE, IN or BETWEEN after NOT");
    return false;
}

SqlNodePtr SqlParser::ParseBinaryLevel(int level) {
    if (level >= static_cast<int>(kLevels.size())) return ParseUnary();
    SqlNodePtr left = ParseBinaryLevel(level + 1);
    for (;;) {
        const SqlToken* token = Peek();
        if (!token || (token->kind != SqlTokenKind::Operator && token->kind != SqlTokenKind::Word)) return left;
        const std::string op = token->kind == SqlTokenKind::Word ? LowerAscii(token->text) : std::string(token->text);
        const auto& ops = kLevels[static_cast<std::size_t>(level)];
        const auto found = std::find(ops.begin(), ops.end(), op);
        if (found == ops.end()) return left;
        ++pos_;
        left = MakeBinary(op == "mod" ? "%" : *found, std::move(left), ParseBinaryLevel(level + 1));
    }
}

SqlNodePtr SqlParser::ParseUnary() {
    NestingGuard guard(*this);
    const SqlToken* token = Peek();
    if (token && token->kind == SqlTokenKind::Operator &&
        (token->text == "-" || token->text == "+" || token->text == "~" || token->text == "!")) {
        ++pos_;
        auto node = MakeNode(SqlNode::Kind::Unary);
        node->op = token->text == "!" ? "not" : token->text == "-" ? "-" : token->text == "+" ? "+" : "~";
        node->EditChildren().push_back(ParseUnary());
        return node;
    }
    if (AcceptWord("binary")) throw Untranslatable{"BINARY"};
    SqlNodePtr primary = ParsePrimary();
    while (AcceptWord("collate")) {
        auto node = MakeNode(SqlNode::Kind::Collate);
        node->text = ReadName();
        AddChild(*node, std::move(primary));
        primary = std::move(node);
    }
    const SqlToken* after = Peek();
    if (after && after->kind == SqlTokenKind::Operator && (after->text == "->" || after->text == "->>"))
        throw Untranslatable{"JSON operator " + std::string(after->text)};
    return primary;
}

SqlNodePtr SqlParser::ParsePrimary() {
    const SqlToken* token = Peek();
    if (!token) Fail("expected an expression");
    switch (token->kind) {
        case SqlTokenKind::String: {
            ++pos_;
            return MakeNode(SqlNode::Kind::String, StringTokenValue(*token));
        }
        case SqlTokenKind::Number: return ++pos_, MakeNode(SqlNode::Kind::Number, std::string(token->text));
        case SqlTokenKind::HexLiteral: return ++pos_, MakeNode(SqlNode::Kind::Hex, LiteralDigits(*token));
        case SqlTokenKind::BitLiteral: return ++pos_, MakeNode(SqlNode::Kind::Bits, LiteralDigits(*token));
        case SqlTokenKind::Variable:
            throw Untranslatable{(token->text.rfind("@@", 0) == 0 ? "system variable " : "user variable ") + std::string(token->text)};
        case SqlTokenKind::Punctuation:
            if (token->text == "(") return ParseParenthesised();
            Fail("expected an expression");
        case SqlTokenKind::Operator:
            if (token->text == "*") return ++pos_, MakeNode(SqlNode::Kind::Star);
            Fail("expected an expression");
        case SqlTokenKind::QuotedName:
        case SqlTokenKind::Word: return ParseWordPrimary();
        case SqlTokenKind::Comment: break;
    }
    Fail("expected an expression");
}

SqlNodePtr SqlParser::ParseParenthesised() {
    ExpectText("(");
    if (PeekWord("select") || PeekWord("with")) {
        auto node = MakeNode(SqlNode::Kind::Subquery);
        node->EditDetails().query = ParseQuery();
        ExpectText(")");
        return node;
    }
    SqlNodePtr inner = ParseExpression();
    if (AcceptText(",")) throw Untranslatable{"row constructor"};
    ExpectText(")");
    return inner;
}

SqlNodePtr SqlParser::ParseWordPrimary() {
    const SqlToken& token = *Peek();
    const std::string lower = LowerAscii(token.text);
    const bool bare = token.kind == SqlTokenKind::Word;
    const SqlToken* next = Peek(1);
    const bool call = next && next->kind == SqlTokenKind::Punctuation && next->text == "(";
    if (bare && !call) {
        if (lower == "null") return ++pos_, MakeNode(SqlNode::Kind::Null);
        if (lower == "true" || lower == "false") return ++pos_, MakeNode(SqlNode::Kind::Boolean, lower == "true" ? "1" : "0");
        if (lower == "case") return ++pos_, ParseCase();
        if (lower == "interval") return ++pos_, ParseInterval();
        if (lower == "exists") Fail("expected a subquery after EXISTS");
        if ((lower == "date" || lower == "time" || lower == "timestamp") && next && next->kind == SqlTokenKind::String) {
            ++pos_;
            auto node = MakeNode(SqlNode::Kind::TypedLiteral);
            node->text = lower;
            node->EditChildren().push_back(ParsePrimary());
            return node;
        }
        if (IsNiladicKeyword(lower)) return ++pos_, ParseFunction(lower);
    }
    if (bare && call) {
        pos_ += 1;
        if (lower == "exists") {
            auto node = MakeNode(SqlNode::Kind::Exists);
            ExpectText("(");
            node->EditDetails().query = ParseQuery();
            ExpectText(")");
            return node;
        }
        return ParseFunction(lower);
    }
    auto node = MakeNode(SqlNode::Kind::Name);
    node->EditParts().push_back(ReadName());
    while (AcceptText(".")) {
        if (AcceptText("*")) {
            node->kind = SqlNode::Kind::Star;
            return node;
        }
        node->EditParts().push_back(ReadName());
    }
    if (Peek() && Peek()->text == "(") {  // `name`(...) or `db`.`name`(...): a stored function
        std::string name;
        for (const auto& part : node->Parts()) name += (name.empty() ? "" : ".") + part;
        throw Untranslatable{"stored function " + name};
    }
    return node;
}

SqlNodePtr SqlParser::ParseFunction(std::string name) {
    auto call = MakeNode(SqlNode::Kind::Function);
    call->text = std::move(name);
    if (!AcceptText("(")) return call;  // CURRENT_TIMESTAMP and friends without parentheses
    if (!AcceptText(")")) {
        ParseSpecialArguments(*call);
        ExpectText(")");
    }
    ParseWindow(*call);
    return call;
}

// The argument list, with the forms particular to some functions.
void SqlParser::ParseSpecialArguments(SqlNode& call) {
    const std::string& name = call.text;
    call.distinct = AcceptWord("distinct") || AcceptWord("distinctrow");
    if (name == "cast" || name == "convert") {
        call.EditChildren().push_back(ParseExpression());
        if (name == "convert" && AcceptWord("using")) {  // a character set conversion: text stays text
            ReadName();
            call.EditDetails().castType = "char";
            return;
        }
        if (name == "cast") ExpectWord("as");
        else ExpectText(",");
        call.EditDetails().castType = ParseCastType();
        return;
    }
    if (name == "trim" && (PeekWord("both") || PeekWord("leading") || PeekWord("trailing"))) {
        call.op = PeekWord("both") ? "both" : PeekWord("leading") ? "leading" : "trailing";
        ++pos_;
        if (!AcceptWord("from")) {
            call.EditDetails().elseValue = ParseExpression();  // the characters to remove
            ExpectWord("from");
        }
        call.EditChildren().push_back(ParseExpression());
        return;
    }
    if (name == "extract" || name == "timestampdiff" || name == "timestampadd") {
        auto unit = MakeNode(SqlNode::Kind::Interval);
        unit->text = LowerAscii(ReadName());
        call.EditChildren().push_back(std::move(unit));
        if (name == "extract") ExpectWord("from");
        else ExpectText(",");
    }
    call.EditChildren().push_back(ParseExpression());
    if (name == "trim" && AcceptWord("from")) {  // TRIM(x FROM s)
        call.op = "both";
        call.EditDetails().elseValue = std::move(call.EditChildren().back());
        call.EditChildren().back() = ParseExpression();
        return;
    }
    if (name == "position" && AcceptWord("in")) {
        call.EditChildren().push_back(ParseExpression());
        return;
    }
    if ((name == "substring" || name == "substr" || name == "mid") && AcceptWord("from")) {
        call.EditChildren().push_back(ParseExpression());
        if (AcceptWord("for")) call.EditChildren().push_back(ParseExpression());
        return;
    }
    while (AcceptText(",")) call.EditChildren().push_back(ParseExpression());
    if (name == "group_concat") {
        if (AcceptWord("order")) {
            ExpectWord("by");
            call.EditDetails().orderBy = ParseOrderList();
        }
        if (AcceptWord("separator")) call.EditDetails().separator = ParsePrimary();
        if (AcceptWord("limit")) throw Untranslatable{"GROUP_CONCAT with LIMIT"};
    }
}

void SqlParser::ParseWindow(SqlNode& call) {
    if (!AcceptWord("over")) return;
    call.EditDetails().hasWindow = true;
    if (!AcceptText("(")) throw Untranslatable{"named window"};
    if (AcceptWord("partition")) {
        ExpectWord("by");
        do call.EditDetails().partitionBy.push_back(ParseExpression());
        while (AcceptText(","));
    }
    if (AcceptWord("order")) {
        ExpectWord("by");
        call.EditDetails().orderBy = ParseOrderList();
    }
    if (PeekWord("rows") || PeekWord("range")) throw Untranslatable{"window frame"};
    ExpectText(")");
}

std::vector<std::pair<SqlNodePtr, bool>> SqlParser::ParseOrderList() {
    std::vector<std::pair<SqlNodePtr, bool>> list;
    do {
        SqlNodePtr expr = ParseExpression();
        bool descending = false;
        if (AcceptWord("desc")) descending = true;
        else AcceptWord("asc");
        list.emplace_back(std::move(expr), descending);
    } while (AcceptText(","));
    return list;
}

std::string SqlParser::ParseCastType() {
    std::string type = LowerAscii(ReadName());
    if (AcceptText("(")) {
        type += "(";
        do {
            const SqlToken* number = Peek();
            if (!number || number->kind != SqlTokenKind::Number) Fail("expected a type length");
            if (type.back() != '(') type += ",";
            type += number->text;
            ++pos_;
        } while (AcceptText(","));
        ExpectText(")");
        type += ")";
    }
    if (type == "signed" || type == "unsigned") AcceptWord("integer") || AcceptWord("int");
    else if (AcceptWord("unsigned")) type = "unsigned " + type;
    else AcceptWord("signed");
    if (AcceptWord("charset") || (AcceptWord("character") && (ExpectWord("set"), true))) ReadName();
    if (AcceptWord("collate")) ReadName();
    return type;
}

SqlNodePtr SqlParser::ParseCase() {
    auto node = MakeNode(SqlNode::Kind::Case);
    node->EditChildren().push_back(PeekWord("when") ? nullptr : ParseExpression());
    while (AcceptWord("when")) {
        node->EditChildren().push_back(ParseExpression());
        ExpectWord("then");
        node->EditChildren().push_back(ParseExpression());
    }
    if (node->Children().size() < 3) Fail("expected WHEN");
    if (AcceptWord("else")) node->EditDetails().elseValue = ParseExpression();
    ExpectWord("end");
    return node;
}

SqlNodePtr SqlParser::ParseInterval() {
    auto node = MakeNode(SqlNode::Kind::Interval);
    node->EditChildren().push_back(ParseExpression());
    node->text = LowerAscii(ReadName());
    return node;
}

SqlNodePtr ParseSqlExpression(std::string_view text) {
    SqlTokens tokens = TokenizeSql(text);
    if (!tokens.ok()) throw Untranslatable{"unreadable text (" + tokens.error + ")"};
    SqlParser parser(std::move(tokens.tokens));
    SqlNodePtr expression = parser.ParseExpression();
    if (!parser.AtEnd()) parser.Fail("unexpected text after the expression");
    return expression;
}

}  // namespace velmora
