#include "translation/CreateTableParser.h"

#include <charconv>
#include <deque>
#include <stdexcept>

#include "translation/DefinitionTokens.h"
#include "translation/SqlParser.h"

namespace velmora {
namespace {

using Kind = DefinitionToken::Kind;
using Token = DefinitionToken;  // the parser's short name

// Thrown inside the parser only; ParseCreateTable turns it into the error text.
struct ParseError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Words that end a column's DEFAULT or ON UPDATE expression when they stand outside parentheses.
bool EndsColumnExpression(const Token& t) {
    static const char* const kWords[] = {"on", "auto_increment", "comment", "invisible", "check",
                                         "column_format", "storage", "primary", "unique", "key",
                                         "references", "not", "null", "generated", "with",
                                         "without", "ref_system_id", "srid", "collate",
                                         "engine_attribute", "compressed", "persistent", "stored",
                                         "virtual", "visible", "serial"};
    for (const char* w : kWords) {
        if (t.IsWord(w)) return true;
    }
    return false;
}

bool IsCurrentTimestampWord(const Token& t) {
    return t.IsWord("current_timestamp") || t.IsWord("now") || t.IsWord("localtime") ||
           t.IsWord("localtimestamp");
}

std::optional<int64_t> ToInteger(std::string_view digits) {
    int64_t value = 0;
    auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (ec != std::errc() || ptr != digits.data() + digits.size()) return std::nullopt;
    return value;
}

class Parser {
public:
    explicit Parser(std::string_view text) : text_(text) {}

    ParsedTable Run() {
        ParsedTable result;
        std::string error = TokenizeDefinition(text_, tokens_, values_);
        if (!error.empty()) {
            result.error = "cannot read the table definition: " + error;
            return result;
        }
        try {
            ParseStatement(result);
        } catch (const ParseError& e) {
            result.error = std::string("cannot read the table definition: ") + e.what();
        }
        return result;
    }

private:
    // --- the cursor ---------------------------------------------------------------------------
    const Token& Peek(size_t ahead = 0) const {
        size_t at = pos_ + ahead;
        return at < limit_ ? tokens_[at] : tokens_.back();
    }
    bool AtLimit() const { return pos_ >= limit_ || tokens_[pos_].kind == Kind::End; }
    const Token& Next() {
        const Token& t = Peek();
        if (!AtLimit()) ++pos_;
        return t;
    }
    bool AcceptWord(std::string_view word) {
        if (!Peek().IsWord(word)) return false;
        ++pos_;
        return true;
    }
    bool AcceptSymbol(std::string_view symbol) {
        if (!Peek().IsSymbol(symbol)) return false;
        ++pos_;
        return true;
    }
    [[noreturn]] void Fail(const std::string& what) const {
        const Token& t = Peek();
        std::string near = t.kind == Kind::End ? "the end of the text"
                                               : "'" + std::string(text_.substr(t.begin, std::min<size_t>(t.end - t.begin, 40))) + "'";
        throw ParseError(what + " near " + near + " (offset " + std::to_string(t.begin) + ")");
    }
    void ExpectSymbol(std::string_view symbol) {
        if (!AcceptSymbol(symbol)) Fail("expected '" + std::string(symbol) + "'");
    }
    std::string Name() {
        const Token& t = Peek();
        if (t.kind != Kind::QuotedName && t.kind != Kind::Word && t.kind != Kind::String) Fail("expected a name");
        return std::string(Next().text);
    }
    // Skips a balanced parenthesised group when the cursor stands on "(".
    void SkipGroup() {
        if (!AcceptSymbol("(")) return;
        for (int depth = 1; depth > 0;) {
            if (AtLimit()) Fail("a parenthesis is not closed");
            const Token& t = Next();
            if (t.IsSymbol("(")) ++depth;
            if (t.IsSymbol(")")) --depth;
        }
    }
    // The text of a parenthesised group at the cursor, without its outer parentheses.
    std::string GroupText() {
        if (!Peek().IsSymbol("(")) Fail("expected '('");
        size_t open = pos_;
        SkipGroup();
        const Token& first = tokens_[open];
        const Token& last = tokens_[pos_ - 1];
        return std::string(text_.substr(first.end, last.begin - first.end));
    }
    std::string TextOf(size_t from, size_t to) const {  // tokens [from, to)
        if (from >= to) return "";
        return std::string(text_.substr(tokens_[from].begin, tokens_[to - 1].end - tokens_[from].begin));
    }
    int64_t Integer() {
        const Token& t = Peek();
        auto value = t.kind == Kind::Number ? ToInteger(t.text) : std::nullopt;
        if (!value) Fail("expected a whole number");
        Next();
        return *value;
    }

    // --- the statement ------------------------------------------------------------------------
    void ParseStatement(ParsedTable& result) {
        limit_ = tokens_.size() - 1;
        if (!AcceptWord("create")) Fail("expected CREATE TABLE");
        if (AcceptWord("or") && !AcceptWord("replace")) Fail("expected OR REPLACE");
        AcceptWord("temporary");
        if (!AcceptWord("table")) Fail("expected CREATE TABLE");
        if (AcceptWord("if")) {
            if (!AcceptWord("not") || !AcceptWord("exists")) Fail("expected IF NOT EXISTS");
        }
        result.table.name = Name();
        if (AcceptSymbol(".")) result.table.name = Name();
        if (!Peek().IsSymbol("(")) Fail("expected the column list");
        size_t listEnd = MatchingParenthesis(pos_);
        ++pos_;
        while (pos_ < listEnd) {
            size_t itemEnd = ItemEnd(listEnd);
            size_t saved = limit_;
            limit_ = itemEnd;
            ParseItem(result);
            limit_ = saved;
            pos_ = itemEnd;
            if (pos_ < listEnd) ++pos_;  // the comma
        }
        pos_ = listEnd + 1;
        if (result.table.columns.empty()) Fail("the table has no columns");
        ParseTableOptions(result);
    }

    size_t MatchingParenthesis(size_t open) const {
        int depth = 0;
        for (size_t i = open; i < limit_; ++i) {
            if (tokens_[i].IsSymbol("(")) ++depth;
            if (tokens_[i].IsSymbol(")") && --depth == 0) return i;
        }
        const_cast<Parser*>(this)->pos_ = limit_;
        Fail("the column list is not closed");
    }

    size_t ItemEnd(size_t listEnd) const {
        int depth = 0;
        for (size_t i = pos_; i < listEnd; ++i) {
            if (tokens_[i].IsSymbol("(")) ++depth;
            if (tokens_[i].IsSymbol(")")) --depth;
            if (depth == 0 && tokens_[i].IsSymbol(",")) return i;
        }
        return listEnd;
    }

    void ParseItem(ParsedTable& result) {
        size_t itemStart = pos_;
        if (AtLimit()) Fail("an empty item in the column list");
        std::string constraintName;
        bool constraint = false;
        if (Peek().IsWord("constraint")) {
            Next();
            constraint = true;
            if (!Peek().IsWord("primary") && !Peek().IsWord("unique") && !Peek().IsWord("foreign") &&
                !Peek().IsWord("check")) {
                constraintName = Name();
            }
        }
        const Token& t = Peek();
        // These words are reserved: a column of that name is always printed quoted.
        if (t.IsWord("primary") || t.IsWord("unique") || t.IsWord("key") || t.IsWord("index") ||
            t.IsWord("fulltext") || t.IsWord("spatial")) {
            ParseIndex(result.table, constraintName);
            return;
        }
        if (t.IsWord("foreign")) {
            ParseForeignKey(result.table, constraintName);
            return;
        }
        if (t.IsWord("check")) {
            Next();
            result.table.checks.push_back({constraintName, GroupText()});
            return;
        }
        if (constraint || t.IsWord("period")) {
            result.skipped.push_back(TextOf(itemStart, limit_));
            return;
        }
        ParseColumn(result);
    }

    // --- keys ---------------------------------------------------------------------------------
    void ParseIndex(TableModel& table, const std::string& constraintName) {
        IndexModel index;
        index.name = constraintName;
        if (AcceptWord("primary")) index.kind = IndexModel::Kind::Primary;
        else if (AcceptWord("unique")) index.kind = IndexModel::Kind::Unique;
        else if (AcceptWord("fulltext")) index.kind = IndexModel::Kind::Fulltext;
        else if (AcceptWord("spatial")) index.kind = IndexModel::Kind::Spatial;
        if (!AcceptWord("key")) AcceptWord("index");
        if (!Peek().IsSymbol("(") && !Peek().IsWord("using")) index.name = Name();
        if (AcceptWord("using")) Next();
        ExpectSymbol("(");
        while (!AcceptSymbol(")")) {
            if (AtLimit()) Fail("the key's column list is not closed");
            index.parts.push_back(KeyPartAtCursor());
            AcceptSymbol(",");
        }
        table.indexes.push_back(std::move(index));
    }

    KeyPart KeyPartAtCursor() {
        KeyPart part;
        if (Peek().IsSymbol("(")) {  // a functional key part: ((expression))
            part.column.clear();
            SkipGroup();
            part.prefixLength = -1;
            return part;
        }
        part.column = Name();
        if (AcceptSymbol("(")) {
            part.prefixLength = Integer();
            ExpectSymbol(")");
        }
        if (AcceptWord("desc")) part.descending = true;
        else AcceptWord("asc");
        return part;
    }

    std::vector<std::string> NameList() {
        std::vector<std::string> names;
        ExpectSymbol("(");
        while (!AcceptSymbol(")")) {
            if (AtLimit()) Fail("a column list is not closed");
            names.push_back(Name());
            if (AcceptSymbol("(")) {  // a prefix length, which a foreign key does not use
                Integer();
                ExpectSymbol(")");
            }
            AcceptSymbol(",");
        }
        return names;
    }

    void ParseForeignKey(TableModel& table, const std::string& constraintName) {
        ForeignKeyModel fk;
        fk.name = constraintName;
        Next();  // FOREIGN
        if (!AcceptWord("key")) Fail("expected FOREIGN KEY");
        if (!Peek().IsSymbol("(")) {
            std::string indexName = Name();
            if (fk.name.empty()) fk.name = indexName;
        }
        fk.columns = NameList();
        if (!AcceptWord("references")) Fail("expected REFERENCES");
        fk.referencedTable = Name();
        if (AcceptSymbol(".")) {
            fk.referencedDatabase = fk.referencedTable;
            fk.referencedTable = Name();
        }
        fk.referencedColumns = NameList();
        while (!AtLimit()) {
            if (AcceptWord("match")) {
                Next();
            } else if (AcceptWord("on")) {
                bool onDelete = AcceptWord("delete");
                if (!onDelete && !AcceptWord("update")) Fail("expected ON DELETE or ON UPDATE");
                (onDelete ? fk.onDelete : fk.onUpdate) = ReferentialAction();
            } else {
                Fail("unexpected text in a foreign key");
            }
        }
        table.foreignKeys.push_back(std::move(fk));
    }

    std::string ReferentialAction() {
        if (AcceptWord("cascade")) return "CASCADE";
        if (AcceptWord("restrict")) return "RESTRICT";
        if (AcceptWord("set")) {
            if (AcceptWord("null")) return "SET NULL";
            if (AcceptWord("default")) return "SET DEFAULT";
        } else if (AcceptWord("no") && AcceptWord("action")) {
            return "NO ACTION";
        }
        Fail("expected a referential action");
    }

    // --- columns ------------------------------------------------------------------------------
    void ParseColumn(ParsedTable& result) {
        ColumnModel column;
        column.name = Name();
        ParseType(column);
        while (!AtLimit()) ParseColumnAttribute(result, column);
        result.table.columns.push_back(std::move(column));
    }

    void ParseType(ColumnModel& column) {
        if (Peek().kind != Kind::Word) Fail("expected the type of column '" + column.name + "'");
        column.baseType = LowerAscii(Next().text);
        // Two-word spellings.
        if ((column.baseType == "double" && AcceptWord("precision")) ||
            (column.baseType == "character" && AcceptWord("varying"))) {
        } else if (column.baseType == "long" && (AcceptWord("varchar") || AcceptWord("varbinary"))) {
            column.baseType = "mediumtext";
        } else if (column.baseType == "national") {
            if (Peek().kind == Kind::Word) column.baseType = LowerAscii(Next().text);
        }
        if (column.baseType == "character") column.baseType = "char";
        if (!AcceptSymbol("(")) return;
        if (column.baseType == "enum" || column.baseType == "set") {
            while (!AcceptSymbol(")")) {
                if (Peek().kind != Kind::String) Fail("expected a label of " + column.baseType);
                column.labels.emplace_back(Next().text);
                AcceptSymbol(",");
            }
            return;
        }
        column.length = Integer();
        if (AcceptSymbol(",")) column.scale = Integer();
        ExpectSymbol(")");
        static const char* const kTemporal[] = {"time", "datetime", "timestamp"};
        for (const char* temporal : kTemporal) {
            if (column.baseType == temporal) {
                column.precision = column.length;
                column.length.reset();
            }
        }
    }

    void ParseColumnAttribute(ParsedTable& result, ColumnModel& column) {
        size_t start = pos_;
        if (AcceptWord("unsigned")) column.isUnsigned = true;
        else if (AcceptWord("signed")) column.isUnsigned = false;
        else if (AcceptWord("zerofill")) column.zerofill = column.isUnsigned = true;
        else if (AcceptWord("binary")) column.collation = "binary";
        else if (AcceptWord("ascii")) column.charset = "latin1";
        else if (AcceptWord("unicode")) column.charset = "ucs2";
        else if (AcceptWord("character") || AcceptWord("charset")) {
            AcceptWord("set");
            column.charset = LowerAscii(Name());
        } else if (AcceptWord("collate")) column.collation = LowerAscii(Name());
        else if (AcceptWord("not")) {
            if (!AcceptWord("null")) Fail("expected NOT NULL");
            column.nullable = false;
        } else if (AcceptWord("null")) column.nullable = true;
        else if (AcceptWord("default")) column.defaultValue = ParseDefault();
        else if (AcceptWord("on")) {
            if (!AcceptWord("update")) Fail("expected ON UPDATE");
            column.onUpdate = ExpressionUntilAttribute();
        } else if (AcceptWord("auto_increment")) column.autoIncrement = true;
        else if (AcceptWord("comment")) {
            if (Peek().kind != Kind::String) Fail("expected the comment text");
            column.comment = Next().text;
        } else if (AcceptWord("generated")) {
            if (!AcceptWord("always")) Fail("expected GENERATED ALWAYS");
        } else if (AcceptWord("as")) {
            if (AcceptWord("row")) {  // a system-versioning period column: AS ROW START / END
                Next();
                result.skipped.push_back(column.name + ": system versioning (" + column.name + " is copied as it is)");
                return;
            }
            GeneratedColumn generated;
            generated.expression = GroupText();
            generated.stored = AcceptWord("stored") || AcceptWord("persistent");
            AcceptWord("virtual");
            column.generated = std::move(generated);
        } else if (AcceptWord("check")) {
            std::string check = GroupText();
            column.check = column.check.empty() ? check : "(" + column.check + ") AND (" + check + ")";
        } else if (AcceptWord("invisible")) column.invisible = true;
        else if (AcceptWord("visible")) column.invisible = false;
        else if (AcceptWord("primary")) {
            AcceptWord("key");
            result.table.indexes.push_back({IndexModel::Kind::Primary, "", {{column.name, {}, false}}});
        } else if (AcceptWord("unique")) {
            AcceptWord("key");
            result.table.indexes.push_back({IndexModel::Kind::Unique, column.name, {{column.name, {}, false}}});
        } else {
            SkipUnknownAttribute();
            result.skipped.push_back(column.name + ": " + TextOf(start, pos_));
        }
    }

    // An attribute this parser has no use for: a word with an optional "= value" or value group.
    void SkipUnknownAttribute() {
        Next();
        if (AcceptSymbol("=")) {
            if (Peek().IsSymbol("(")) SkipGroup();
            else Next();
        } else if (Peek().IsSymbol("(")) {
            SkipGroup();
        }
    }

    ColumnDefault ParseDefault() {
        ColumnDefault value;
        const Token& t = Peek();
        if (t.IsWord("null")) {
            Next();
            value.kind = ColumnDefault::Kind::Null;
            return value;
        }
        size_t start = pos_;
        if (t.kind == Kind::String || t.kind == Kind::Number || t.kind == Kind::BitString ||
            t.kind == Kind::HexString || ((t.IsSymbol("-") || t.IsSymbol("+")) && Peek(1).kind == Kind::Number)) {
            std::string sign;
            if (t.kind == Kind::Symbol) sign = Next().text == "-" ? "-" : "";
            const Token& literal = Next();
            if (AtLimit() || EndsColumnExpression(Peek())) {
                value.kind = literal.kind == Kind::BitString   ? ColumnDefault::Kind::BitLiteral
                             : literal.kind == Kind::HexString ? ColumnDefault::Kind::HexLiteral
                                                               : ColumnDefault::Kind::Literal;
                value.text = sign + std::string(literal.text);
                value.quoted = literal.kind == Kind::String;
                return value;
            }
            pos_ = start;
        }
        if (IsCurrentTimestampWord(t)) {
            Next();
            if (AcceptSymbol("(")) {
                if (Peek().kind == Kind::Number) Next();
                ExpectSymbol(")");
            }
            if (AtLimit() || EndsColumnExpression(Peek())) {
                value.kind = ColumnDefault::Kind::CurrentTimestamp;
                value.text = TextOf(start, pos_);
                return value;
            }
            pos_ = start;
        }
        value.kind = ColumnDefault::Kind::Expression;
        value.text = ExpressionUntilAttribute();
        return value;
    }

    // An expression written without parentheses of its own, up to the next column attribute; a
    // fully parenthesised one loses its outer parentheses.
    std::string ExpressionUntilAttribute() {
        size_t start = pos_;
        if (Peek().IsSymbol("(")) {
            size_t close = MatchingParenthesis(pos_);
            if (close + 1 >= limit_ || EndsColumnExpression(tokens_[close + 1])) return GroupText();
        }
        int depth = 0;
        while (!AtLimit()) {
            const Token& t = Peek();
            if (depth == 0 && pos_ > start && EndsColumnExpression(t)) break;
            if (t.IsSymbol("(")) ++depth;
            if (t.IsSymbol(")")) --depth;
            Next();
        }
        if (pos_ == start) Fail("expected an expression");
        return TextOf(start, pos_);
    }

    // --- table options ------------------------------------------------------------------------
    void ParseTableOptions(ParsedTable& result) {
        TableOptions& options = result.table.options;
        limit_ = tokens_.size() - 1;
        while (!AtLimit()) {
            if (AcceptSymbol(",") || AcceptSymbol(";") || AcceptWord("default")) continue;
            if (Peek().IsWord("partition")) {
                options.partitioning = TextOf(pos_, limit_);
                pos_ = limit_;
                break;
            }
            if (AcceptWord("with")) {
                if (AcceptWord("system") && AcceptWord("versioning")) options.systemVersioned = true;
                continue;
            }
            // Engine-defined options are quoted names (`TABLE_TYPE`='CSV'); some names take two
            // words (DATA DIRECTORY, CHARACTER SET).
            if (Peek().kind != Kind::Word && Peek().kind != Kind::QuotedName) Fail("unexpected text after the column list");
            std::string option = LowerAscii(Next().text);
            if (option == "character" && AcceptWord("set")) option = "charset";
            if (Peek().kind == Kind::Word && (Peek(1).IsSymbol("=") || Peek(1).kind == Kind::String)) Next();
            AcceptSymbol("=");
            if (Peek().IsSymbol("(")) {
                SkipGroup();
                continue;
            }
            if (AtLimit()) Fail("expected the value of table option " + option);
            const Token& value = Next();
            if (option == "engine" || option == "type") options.engine = value.text;
            else if (option == "charset") options.charset = LowerAscii(value.text);
            else if (option == "collate") options.collation = LowerAscii(value.text);
            else if (option == "comment") options.comment = value.text;
            else if (option == "auto_increment") {
                uint64_t n = 0;
                auto [ptr, ec] = std::from_chars(value.text.data(), value.text.data() + value.text.size(), n);
                if (ec == std::errc() && ptr == value.text.data() + value.text.size()) options.autoIncrement = n;
            }
        }
    }

    std::string_view text_;
    std::vector<Token> tokens_;
    std::deque<std::string> values_;  // the token values that are no view of the text
    size_t pos_ = 0;
    size_t limit_ = 0;
};

}  // namespace

const ColumnModel* TableModel::FindColumn(const std::string& columnName) const {
    std::string wanted = LowerAscii(columnName);
    for (const ColumnModel& column : columns) {
        if (LowerAscii(column.name) == wanted) return &column;
    }
    return nullptr;
}

ParsedTable ParseCreateTable(std::string_view showCreateTableText) {
    return Parser(showCreateTableText).Run();
}

}  // namespace velmora
