#include "translation/FullTableTranslator.h"

#include <cstdint>
#include <optional>

#include "translation/BatchSafety.h"
#include "translation/Collations.h"
#include "translation/CreateTableParser.h"
#include "translation/FullTableKeys.h"
#include "translation/FullValueRendering.h"
#include "translation/InputLimits.h"
#include "translation/SqlParser.h"
#include "translation/SqlTokenizer.h"
#include "translation/Naming.h"

namespace velmora {
namespace {

// What one column contributes to the CREATE TABLE.
struct ColumnPlan {
    TargetColumn target;
    std::string definition;
    std::vector<std::string> checks;
};

class TableTranslator {
public:
    TableTranslator(const TableModel& table, const ExpressionNames& names, const TableTranslationChoices& choices)
        : table_(table), names_(names), choices_(choices) {}

    FullTableTranslation Run() {
        out_.tableName = table_.name;
        out_.targetName = TargetObjectName(names_.targetSchema, table_.name);
        std::vector<std::string> lines;
        std::vector<std::string> checks;
        for (const ColumnModel& column : table_.columns) {
            ColumnPlan plan = PlanColumn(column);
            lines.push_back("  " + plan.definition);
            for (std::string& check : plan.checks) checks.push_back(std::move(check));
            out_.columns.push_back(std::move(plan.target));
        }
        std::string primaryKey = TranslateKeys(table_, names_, out_);
        if (!primaryKey.empty()) lines.push_back("  " + primaryKey);
        TranslateTableChecks(checks);
        // The statement sized once, each part appended in place: the checks of enum columns may
        // be as long as the whole definition.
        const std::string head = "CREATE TABLE " + out_.targetName + " (\n";
        std::size_t size = head.size() + 1;
        for (const auto* part : {&lines, &checks})
            for (const std::string& line : *part) size += line.size() + 4;
        out_.createTable.reserve(size);
        out_.createTable = head;
        const std::size_t count = lines.size() + checks.size();
        std::size_t written = 0;
        for (const auto* part : {&lines, &checks})
            for (const std::string& line : *part)
                ((out_.createTable += part == &checks ? "  " : "") += line) += ++written < count ? ",\n" : "\n";
        out_.createTable += ")";
        out_.checks = std::move(checks);
        ReportTableOptions();
        out_.comments = CommentStatements(table_, names_.targetSchema);
        return std::move(out_);
    }

private:
    void Adjust(const std::string& column, std::string text) {
        out_.adjustments.push_back({column, std::move(text)});
    }

    ColumnPlan PlanColumn(const ColumnModel& c) {
        ColumnPlan plan;
        MappedType mapped = MapColumnType(c, TableCharset());
        Override(c, mapped);
        TargetColumn& t = plan.target;
        t.name = c.name;
        t.sourceType = c.baseType + (c.isUnsigned ? " unsigned" : "");
        t.targetType = mapped.targetType;
        t.rendering = mapped.rendering;
        t.bitBytes = mapped.bitBytes;
        t.roundToScale = mapped.roundToScale;
        t.nullable = c.nullable;
        t.spatial = mapped.spatial;
        for (std::string& text : mapped.adjustments) Adjust(c.name, std::move(text));
        if (c.invisible) Adjust(c.name, "an INVISIBLE column: visible on SQL Server (SELECT * lists it)");
        bool json = mapped.json || IsJsonValidCheck(c.check, c.name);
        std::string name = QuoteTargetName(c.name);

        if (c.generated && PlanComputed(c, plan)) return plan;

        plan.definition = name + " " + t.targetType + Collation(c, json);
        if (c.autoIncrement) PlanIdentity(c, mapped, plan);
        plan.definition += t.nullable ? " NULL" : " NOT NULL";
        if (!t.identity && !c.generated) PlanDefault(c, plan);
        if (!c.onUpdate.empty()) {
            Adjust(c.name, "ON UPDATE " + c.onUpdate + " dropped: the target keeps the value when the row changes");
        }
        if (c.baseType == "enum") plan.checks.push_back(EnumCheck(c));
        if (json) plan.checks.push_back("CHECK (ISJSON(CONCAT(N'[', " + name + ", N']')) = 1)");
        if (!c.check.empty() && !IsJsonValidCheck(c.check, c.name)) {
            std::string check = TranslateCheck(c.check, c.name);
            if (!check.empty()) plan.checks.push_back(check);
        }
        return plan;
    }

    // A generated column whose expression translates becomes a computed column of the same type.
    bool PlanComputed(const ColumnModel& c, ColumnPlan& plan) {
        const GeneratedColumn& g = *c.generated;
        std::string reason;
        TranslatedExpression translated = TranslateExpression(g.expression, names_);
        if (!translated.ok()) {
            reason = translated.untranslatable;
        } else if (std::string other = ColumnNamedIn(g.expression, c.name, true); !other.empty()) {
            reason = "it uses the generated column " + other + ", which a computed column cannot";
        }
        if (!reason.empty()) {
            Adjust(c.name, std::string(g.stored ? "stored" : "virtual") +
                               " generated column becomes a plain column that receives the copied values (" +
                               reason + ")");
            return false;
        }
        plan.target.written = false;
        plan.definition = QuoteTargetName(c.name) + " AS CAST((" + translated.text + ") AS " +
                          plan.target.targetType + ")" + (g.stored ? " PERSISTED" : "");
        return true;
    }

    // The first column of this table that `expression` names (a name not followed by "("), other
    // than `self`; with `generatedOnly`, only generated columns count.
    std::string ColumnNamedIn(const std::string& expression, const std::string& self, bool generatedOnly) const {
        SqlTokens tokens = TokenizeSql(expression);
        for (size_t i = 0; i < tokens.tokens.size(); ++i) {
            const SqlToken& token = tokens.tokens[i];
            if (token.kind != SqlTokenKind::QuotedName && token.kind != SqlTokenKind::Word) continue;
            if (i + 1 < tokens.tokens.size() && tokens.tokens[i + 1].text == "(") continue;
            const ColumnModel* other =
                table_.FindColumn(token.kind == SqlTokenKind::QuotedName ? QuotedNameValue(token) : std::string(token.text));
            if (other && (!generatedOnly || other->generated) && LowerAscii(other->name) != LowerAscii(self)) {
                return other->name;
            }
        }
        return "";
    }

    void PlanIdentity(const ColumnModel& c, const MappedType& mapped, ColumnPlan& plan) {
        if (!mapped.integral) {
            Adjust(c.name, "AUTO_INCREMENT on a " + c.baseType +
                               " column cannot be an identity: the values are copied, new rows get none");
            return;
        }
        uint64_t seed = table_.options.autoIncrement.value_or(1);
        if (seed == 0) seed = 1;
        plan.definition += " IDENTITY(" + std::to_string(seed) + ",1)";
        plan.target.identity = true;
        plan.target.nullable = false;
        out_.hasIdentity = true;
        std::string table = out_.targetName;
        std::string column = QuoteTargetName(c.name);
        // After the copy the next value must lie past the largest copied key and at or past the
        // source's AUTO_INCREMENT; an empty table starts at the seed. The new seed goes to DBCC
        // CHECKIDENT as a literal, through EXEC, and the table as a name: some SQL Server-compatible
        // servers take no variable for the seed and misread an N'...' name. Those servers also
        // refuse a value below the seed, and there the copied keys below the seed left the
        // current value at the seed (the next is one past it): the reseed is skipped where the
        // current value already lies at or past the seed.
        std::string name = "N" + QuoteTargetString(table);
        // A schema-qualified name goes to DBCC CHECKIDENT as a plain string, which every server reads.
        std::string command = "DBCC CHECKIDENT (" + (IsDefaultSchema(names_.targetSchema) ? table : QuoteTargetString(table)) +
                              ", RESEED, ";
        out_.identityReseed = "IF EXISTS (SELECT 1 FROM " + table + ") BEGIN DECLARE @reseed decimal(38,0) = (SELECT MAX(" +
                              column + ") FROM " + table + "); ";
        if (seed > 1) {
            out_.identityReseed += "IF @reseed < " + std::to_string(seed - 1) + " SET @reseed = " + std::to_string(seed - 1) + "; ";
        }
        out_.identityReseed += "IF @reseed >= IDENT_SEED(" + name + ") OR IDENT_CURRENT(" + name + ") < IDENT_SEED(" +
                               name + ") BEGIN DECLARE @reseedCommand nvarchar(max) = N" + QuoteTargetString(command) +
                               " + CAST(@reseed AS nvarchar(40)) + N')'; EXEC (@reseedCommand) END END";
    }

    void AddDefault(const ColumnModel& c, ColumnPlan& plan, const std::string& value) {
        plan.definition += " DEFAULT " + value;
        out_.defaults.emplace_back(c.name, value);
    }

    void PlanDefault(const ColumnModel& c, ColumnPlan& plan) {
        const ColumnDefault& d = c.defaultValue;
        using Kind = ColumnDefault::Kind;
        if (d.kind == Kind::None || d.kind == Kind::Null) return;
        if (d.kind == Kind::CurrentTimestamp) {
            if (plan.target.rendering == ValueRendering::DateTime) {
                AddDefault(c, plan, "SYSDATETIME()");
            } else {
                Adjust(c.name, "DEFAULT " + ShownText(d.text) + " on a " + c.baseType + " column dropped");
            }
            return;
        }
        if (d.kind == Kind::Expression) {
            if (std::string other = ColumnNamedIn(d.text, "", false); !other.empty()) {
                Adjust(c.name, "DEFAULT (" + ShownText(d.text) + ") dropped: it uses the column " + other +
                                   ", which a SQL Server default cannot");
                return;
            }
            TranslatedExpression translated = TranslateExpression(d.text, names_);
            if (translated.ok()) {
                AddDefault(c, plan, "(" + translated.text + ")");
            } else {
                Adjust(c.name, "DEFAULT (" + ShownText(d.text) + ") dropped: " + translated.untranslatable);
            }
            return;
        }
        std::string literal;
        std::string problem = DefaultLiteral(plan.target, d, literal);
        if (problem.empty()) {
            AddDefault(c, plan, literal);
        } else {
            Adjust(c.name, "DEFAULT " + ShownText(d.text) + " dropped: " + problem);
        }
    }

    // The type map's rule for the column replaces the built-in choice; the value rendering stays
    // the source's (the conversion has checked that the values fit).
    void Override(const ColumnModel& c, MappedType& mapped) {
        if (!choices_.typeMap) return;
        const TypeMapRule* rule = FindTypeRule(*choices_.typeMap, names_.sourceDatabase, table_.name, c);
        if (!rule) return;
        out_.overrides.push_back({names_.sourceDatabase, table_.name, c.name, SourceTypeText(c), mapped.targetType,
                                  rule->target, false, rule->line, rule->text});
        mapped.targetType = rule->target;
        mapped.adjustments.clear();
        const std::string lower = LowerAscii(rule->target);
        mapped.integral = lower == "tinyint" || lower == "smallint" || lower == "int" || lower == "bigint" ||
                          ((lower.starts_with("decimal") || lower.starts_with("numeric")) &&
                           (lower.find(',') == std::string::npos || lower.ends_with(",0)")));
    }

    // The COLLATE clause of a text column: the source collation's sensitivity (or the type map's
    // choice), written where it differs from the target database's default.
    std::string Collation(const ColumnModel& c, bool json) {
        if (json || !IsCollatedColumn(c)) return "";
        const std::string source = SourceCollationOf(c, table_.options);
        std::string target = TargetCollation(source);
        // A char value comes back without its trailing blanks anyway; varchar and text keep them.
        if (IsNoPadCollation(source) && c.baseType != "char" && c.baseType != "enum" && c.baseType != "set") {
            Adjust(c.name, "its collation " + source +
                               " counts trailing blanks in comparisons (NO PAD); the target's ignores them, so "
                               "'a' and 'a ' compare equal there (a unique key that holds both refuses a row)");
        }
        if (choices_.typeMap) {
            if (const TypeMapRule* rule =
                    FindCollationRule(*choices_.typeMap, names_.sourceDatabase, table_.name, c.name, source)) {
                out_.overrides.push_back({names_.sourceDatabase, table_.name, c.name, source, target, rule->target,
                                          true, rule->line, rule->text});
                target = rule->target;
            }
        }
        if (target.empty()) return "";
        const std::string& database = choices_.targetCollation;
        bool written = database.empty() ? LowerAscii(target).find("_ci_") == std::string::npos
                                        : LowerAscii(target) != LowerAscii(database);
        if (written && choices_.foreignKeyTextColumns && choices_.foreignKeyTextColumns->count({table_.name, c.name})) {
            Adjust(c.name, "it takes part in a foreign key, so it keeps the target database's default collation" +
                               (database.empty() ? std::string() : " " + database) + " instead of " + target +
                               " (this target refuses every insert through a foreign key over a column of another "
                               "collation)");
            out_.collations.push_back({c.name, source, database, false});
            return "";
        }
        out_.collations.push_back({c.name, source, target, written});
        return written ? " COLLATE " + target : "";
    }

    std::string EnumCheck(const ColumnModel& c) {
        std::string check = "CHECK (" + QuoteTargetName(c.name) + " IN (";
        bool empty = false;
        for (const std::string& label : c.labels) {
            AppendFullValue(check, TextColumn(), label, false);
            check += ", ";
            empty = empty || label.empty();
        }
        // Outside strict mode MySQL stores '' for a value that is not a label: it must fit too.
        if (!empty) check += "N'', ";
        check.resize(check.size() - 2);
        return check += "))";
    }

    static const TargetColumn& TextColumn() {
        static const TargetColumn text;
        return text;
    }

    static bool IsJsonValidCheck(const std::string& expression, const std::string& column) {
        std::string compact;
        for (char ch : LowerAscii(expression)) {
            if (ch != ' ' && ch != '`') compact.push_back(ch);
        }
        return compact == "json_valid(" + LowerAscii(column) + ")";
    }

    // A CHECK through the expression translator; empty (and reported) when it does not translate.
    std::string TranslateCheck(const std::string& expression, const std::string& column) {
        TranslatedExpression translated = TranslateCondition(expression, names_);
        if (translated.ok()) return "CHECK (" + translated.text + ")";
        // The source's text is echoed cut to a readable length.
        Adjust(column, "CHECK (" + ShownText(expression) + ") not created: " + translated.untranslatable);
        return "";
    }

    void TranslateTableChecks(std::vector<std::string>& checks) {
        for (const CheckModel& check : table_.checks) {
            bool json = false;
            for (const ColumnModel& c : table_.columns) {
                if (IsJsonValidCheck(check.expression, c.name)) {
                    json = true;
                    checks.push_back("CHECK (ISJSON(CONCAT(N'[', " + QuoteTargetName(c.name) + ", N']')) = 1)");
                }
            }
            if (json) continue;
            std::string translated = TranslateCheck(check.expression, "");
            if (!translated.empty()) checks.push_back(translated);
        }
    }

    void ReportTableOptions() {
        const TableOptions& o = table_.options;
        if (!o.partitioning.empty()) Adjust("", "partitioned table becomes a plain table");
        if (o.systemVersioned) Adjust("", "system versioning dropped: the history is not carried over");
        std::string engine = LowerAscii(o.engine);
        if (!engine.empty() && engine != "innodb" && engine != "myisam" && engine != "aria") {
            Adjust("", "engine " + o.engine + " dropped: the target stores the table as an ordinary table");
        }
    }

    std::string_view TableCharset() const {
        if (!table_.options.charset.empty()) return table_.options.charset;
        std::string_view collation = table_.options.collation;
        return collation.substr(0, collation.find('_'));
    }

    const TableModel& table_;
    const ExpressionNames& names_;
    const TableTranslationChoices& choices_;
    FullTableTranslation out_;
};

}  // namespace

namespace {

// Why a name of the table cannot be written into T-SQL; empty when every name can.
std::string TableNameProblem(const TableModel& table) {
    std::vector<const std::string*> all{&table.name};
    for (const ColumnModel& c : table.columns) all.push_back(&c.name);
    for (const IndexModel& index : table.indexes) all.push_back(&index.name);
    for (const ForeignKeyModel& key : table.foreignKeys) all.push_back(&key.name);
    for (const CheckModel& check : table.checks) all.push_back(&check.name);
    for (const std::string* name : all) {
        if (std::string problem = NameProblem(*name); !problem.empty()) return ShownName(*name) + ": " + problem;
    }
    return "";
}

}  // namespace

FullTableTranslation TranslateTableModel(const TableModel& table, const ExpressionNames& names,
                                         const TableTranslationChoices& choices) {
    std::string problem = TableNameProblem(table);
    if (problem.empty() && table.columns.size() > kMaxTableColumns)
        problem = "the table has " + std::to_string(table.columns.size()) + " columns; SQL Server allows " +
                  std::to_string(kMaxTableColumns);
    if (!problem.empty()) {
        FullTableTranslation failed;
        failed.error = problem;
        return failed;
    }
    FullTableTranslation translation = TableTranslator(table, names, choices).Run();
    std::vector<std::string> stored;
    for (const TargetColumn& column : translation.columns) {
        if (column.written) stored.push_back(column.targetType);
    }
    if (const size_t bytes = MinimumRowBytes(stored); bytes > kMaxRowBytes) {
        FullTableTranslation failed;
        failed.error = "a row of the table takes at least " + std::to_string(bytes) +
                       " bytes in its fixed-length columns; SQL Server allows " + std::to_string(kMaxRowBytes);
        return failed;
    }
    return translation;
}

namespace {

bool IsUnsignedBigint(const ColumnModel& c) {
    return c.isUnsigned && (c.baseType == "bigint" || c.baseType == "int8");
}

}  // namespace

std::vector<std::string> TablesReferencedByUnsignedKeys(const TableModel& table) {
    std::vector<std::string> tables;
    for (const ForeignKeyModel& key : table.foreignKeys) {
        if (!key.referencedDatabase.empty() || LowerAscii(key.referencedTable) == LowerAscii(table.name)) continue;
        for (const std::string& column : key.columns) {
            const ColumnModel* c = table.FindColumn(column);
            if (c && IsUnsignedBigint(*c)) {
                tables.push_back(key.referencedTable);
                break;
            }
        }
    }
    return tables;
}

void MarkIdentityKeyColumns(TableModel& table, const ReferencedTables& referenced) {
    for (const ForeignKeyModel& key : table.foreignKeys) {
        std::optional<TableModel> parent;
        if (LowerAscii(key.referencedTable) == LowerAscii(table.name)) {
            parent = table;
        } else if (auto text = referenced.find(key.referencedTable); text != referenced.end()) {
            ParsedTable parsed = ParseCreateTable(text->second);
            if (parsed.ok()) parent = std::move(parsed.table);
        }
        if (!parent) continue;
        for (size_t i = 0; i < key.columns.size() && i < key.referencedColumns.size(); ++i) {
            const ColumnModel* target = parent->FindColumn(key.referencedColumns[i]);
            if (!target || !target->autoIncrement || !IsUnsignedBigint(*target)) continue;
            for (ColumnModel& c : table.columns) {
                if (LowerAscii(c.name) == LowerAscii(key.columns[i]) && IsUnsignedBigint(c)) c.holdsIdentityKeys = true;
            }
        }
    }
}

FullTableTranslation TranslateTableFull(std::string_view showCreateTableText, const ExpressionNames& names,
                                        const ReferencedTables& referenced, const TableTranslationChoices& choices) {
    if (std::string problem = StatementSizeProblem(showCreateTableText.size()); !problem.empty()) {
        FullTableTranslation failed;
        failed.error = problem;
        return failed;
    }
    ParsedTable parsed = ParseCreateTable(showCreateTableText);
    if (!parsed.ok()) {
        FullTableTranslation failed;
        failed.error = parsed.error;
        return failed;
    }
    MarkIdentityKeyColumns(parsed.table, referenced);
    FullTableTranslation translation = TranslateTableModel(parsed.table, names, choices);
    for (const std::string& skipped : parsed.skipped) {
        translation.adjustments.push_back({"", "not carried over: " + skipped});
    }
    return translation;
}

}  // namespace velmora
