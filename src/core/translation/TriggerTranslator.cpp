// TriggerTranslator: see the header. A body that is a plain INSERT ... VALUES (an audit row)
// runs once over all rows; any other body runs in a loop over the rows, each fetched into
// @new_x/@old_x variables, which gives MySQL's order of effects row by row.
#include "translation/TriggerTranslator.h"

#include <algorithm>
#include <map>

#include "translation/Naming.h"
#include "translation/RoutineWriter.h"
#include "translation/SqlParser.h"
#include "translation/TypeMapping.h"

namespace velmora {
namespace {

using K = RoutineStatement::Kind;

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

const TableModel* FindTable(const std::vector<TableModel>& tables, const std::string& name) {
    for (const auto& table : tables)
        if (LowerAscii(table.name) == LowerAscii(name)) return &table;
    return nullptr;
}

const ColumnModel* FindColumn(const TableModel& table, const std::string& name) {
    for (const auto& column : table.columns)
        if (LowerAscii(column.name) == LowerAscii(name)) return &column;
    return nullptr;
}

// The primary key, else a unique key over NOT NULL columns: what pairs inserted and deleted rows.
std::vector<std::string> KeyColumns(const TableModel& table) {
    for (const auto& index : table.indexes) {
        if (index.kind != IndexModel::Kind::Primary && index.kind != IndexModel::Kind::Unique) continue;
        std::vector<std::string> columns;
        for (const auto& part : index.parts) {
            const ColumnModel* column = FindColumn(table, part.column);
            if (!column || column->nullable || part.prefixLength) {
                columns.clear();
                break;
            }
            columns.push_back(column->name);
        }
        if (!columns.empty()) return columns;
    }
    return {};
}

bool AssignsNew(const std::vector<SqlNodePtr>& targets) {
    return std::any_of(targets.begin(), targets.end(),
                       [](const SqlNodePtr& t) { return t->Parts().size() == 2 && LowerAscii(t->Parts()[0]) == "new"; });
}

bool ChangesNew(const RoutineStatement& statement) {
    if ((statement.kind == K::Set || statement.kind == K::SelectInto || statement.kind == K::Fetch) && AssignsNew(statement.targets))
        return true;
    for (const RoutineStatementList* list : {&statement.body, &statement.elseBody})
        for (const auto& inner : *list)
            if (ChangesNew(*inner)) return true;
    for (const auto& branch : statement.branches)
        for (const auto& inner : branch.second)
            if (ChangesNew(*inner)) return true;
    return false;
}

bool HasQuery(const SqlNode& node) {
    if (node.Details().query) return true;
    if (node.kind == SqlNode::Kind::Function && (node.text == "last_insert_id" || node.text == "row_count")) return true;
    for (const auto& child : node.Children())
        if (child && HasQuery(*child)) return true;
    return node.Details().elseValue && HasQuery(*node.Details().elseValue);
}

// One INSERT of one row of values, reading no table: the same rows whether it runs per row or once.
bool IsPlainInsert(const RoutineStatement& statement) {
    if (statement.kind != K::Insert || statement.query || statement.Details().rows.size() != 1) return false;
    return std::none_of(statement.Details().rows[0].begin(), statement.Details().rows[0].end(), [](const SqlNodePtr& v) { return HasQuery(*v); });
}

bool IsSetBased(const RoutineStatement& body) {
    if (IsPlainInsert(body)) return true;
    if (body.kind != K::Block || !body.Details().label.empty() || body.body.empty()) return false;
    return std::all_of(body.body.begin(), body.body.end(), [](const RoutineStatementPtr& s) { return IsPlainInsert(*s); });
}

class TriggerWriter {
public:
    TriggerWriter(const ParsedRoutine& trigger, const RoutineContext& context, FullRoutineTranslation& result)
        : trigger_(trigger), context_(context), result_(result), writer_(context, ParsedRoutine::Kind::Trigger, result.name) {}

    void AllowSessionVariables(std::string_view text) { writer_.AllowSessionVariables(text); }

    void Translate() {
        if (trigger_.tableParts.size() > 1 && trigger_.tableParts[0] != context_.names.sourceDatabase)
            throw Untranslatable{"trigger on a table of another database"};
        table_ = FindTable(context_.tables, result_.table);
        const bool changesNew = ChangesNew(*trigger_.body);
        if (changesNew && trigger_.timing != "before") throw Untranslatable{"SET NEW in an AFTER trigger"};
        insteadOf_ = changesNew;
        setBased_ = !insteadOf_ && IsSetBased(*trigger_.body);
        if (!table_ && !setBased_) throw Untranslatable{"trigger whose table's definition is not known (its row values need their types)"};
        if (trigger_.event == "update") {
            key_ = table_ ? KeyColumns(*table_) : std::vector<std::string>{};
            if (key_.empty())
                throw Untranslatable{"UPDATE trigger on a table without a primary key or NOT NULL unique key (inserted and deleted rows cannot be paired)"};
        }
        writer_.rowValue = [this](const SqlNode& node) { return RowValue(node); };
        writer_.rowTarget = [this](const SqlNode& node) {
            return LowerAscii(node.Parts()[0]) == "new" ? RowVariable("new", node.Parts()[1]) : std::string();
        };
        // A trigger lives in its table's schema.
        const std::string& schema = context_.names.targetSchema;
        std::vector<std::string> lines = {"CREATE TRIGGER " + TargetObjectName(schema, result_.name) + " ON " + TargetObjectName(schema, result_.table) +
                                              (insteadOf_ ? " INSTEAD OF " : " AFTER ") + Upper(trigger_.event),
                                          "AS", "BEGIN", "    SET NOCOUNT ON;"};
        if (trigger_.event == "update") KeyGuard(lines);
        if (setBased_) SetBased(lines);
        else RowLoop(lines);
        lines.push_back("END");
        result_.statements.push_back(JoinLines(lines));
        writer_.Finish();
        result_.references = writer_.references;
        result_.adjustments = writer_.adjustments;
        Adjust();
        Order();
    }

private:
    // NEW.x and OLD.x: inserted.x and deleted.x over all rows, or the row's variables.
    std::string RowValue(const SqlNode& node) {
        const std::string which = LowerAscii(node.Parts()[0]);
        if (which != "new" && which != "old") return "";
        if (which == "new" && trigger_.event == "delete") throw Untranslatable{"NEW in a DELETE trigger"};
        if (which == "old" && trigger_.event == "insert") throw Untranslatable{"OLD in an INSERT trigger"};
        if (setBased_) return (which == "new" ? "inserted." : "deleted.") + QuoteTargetName(ColumnName(node.Parts()[1]));
        return RowVariable(which, node.Parts()[1]);
    }

    std::string ColumnName(const std::string& name) const {
        if (!table_) return name;
        const ColumnModel* column = FindColumn(*table_, name);
        if (!column) throw Untranslatable{name + ", which is no column of " + result_.table};
        return column->name;
    }

    std::string RowVariable(const std::string& which, const std::string& name) {
        const std::string column = ColumnName(name);
        auto& variables = which == "new" ? newVariables_ : oldVariables_;
        for (const auto& entry : variables)
            if (entry.first == column) return entry.second;
        variables.emplace_back(column, writer_.OwnVariable(which + "_" + column));
        return variables.back().second;
    }

    std::string KeyJoin() const {
        std::string on;
        for (const auto& column : key_)
            on += (on.empty() ? "" : " AND ") + ("inserted." + QuoteTargetName(column) + " = deleted." + QuoteTargetName(column));
        return on;
    }

    std::string Source() const {
        if (trigger_.event == "insert") return "inserted";
        if (trigger_.event == "delete") return "deleted";
        return "inserted INNER JOIN deleted ON " + KeyJoin();
    }

    // An UPDATE that changes the key leaves rows that do not pair: refused at run time rather
    // than run on the wrong rows.
    void KeyGuard(std::vector<std::string>& lines) {
        if (key_.size() == 1 && table_ && FindColumn(*table_, key_[0])->autoIncrement) return;  // T-SQL never updates an identity
        lines.push_back("    IF (SELECT COUNT(*) FROM inserted) <> (SELECT COUNT(*) FROM " + Source() + ")");
        lines.push_back("        " + writer_.RaiseText("The trigger " + result_.name + " cannot pair the old and new rows of " +
                                                       result_.table + ": the statement changed their key"));
    }

    void SetBased(std::vector<std::string>& lines) {
        const RoutineStatement& body = *trigger_.body;
        std::vector<const RoutineStatement*> inserts;
        if (body.kind == K::Insert) inserts.push_back(&body);
        for (const auto& statement : body.body) inserts.push_back(statement.get());
        for (const RoutineStatement* insert : inserts) {
            std::string head = "INSERT INTO " + writer_.TargetTable(insert->Details().table);
            if (std::find(writer_.references.begin(), writer_.references.end(), insert->Details().table.back()) == writer_.references.end())
                writer_.references.push_back(insert->Details().table.back());
            std::string columns, values;
            for (const auto& column : insert->Details().columns) columns += (columns.empty() ? "" : ", ") + QuoteTargetName(column);
            for (const auto& value : insert->Details().rows[0]) values += (values.empty() ? "" : ", ") + writer_.Value(*value);
            // INSERT INTO t () VALUES (): a row of defaults for each row, which T-SQL writes one
            // at a time only (DEFAULT VALUES takes no SELECT).
            if (values.empty()) throw Untranslatable{"INSERT of a row of defaults for each row of a trigger"};
            if (!columns.empty()) head += " (" + columns + ")";
            lines.push_back("    " + head + " SELECT " + values + " FROM " + Source() + ";");
        }
    }

    void RowLoop(std::vector<std::string>& lines) {
        if (insteadOf_)
            for (const auto& column : table_->columns)
                if (!column.generated) RowVariable("new", column.name);
        if (insteadOf_ && trigger_.event == "update")
            for (const auto& column : key_) RowVariable("old", column);
        writer_.EnterOuterLoop();
        writer_.Write(*trigger_.body, 2);
        if (insteadOf_) WriteRow();
        std::vector<std::pair<std::string, std::string>> fetched;  // select expression, variable
        // The variables' types by the column's own name: a quoted name ([a b]) is no column name.
        const auto declare = [&](const std::string& column, const std::string& variable) {
            const ColumnModel* model = FindColumn(*table_, column);
            if (!model) throw Untranslatable{column + ", which is no column of " + result_.table};
            lines.push_back("    DECLARE " + variable + " " + MapColumnType(*model, table_->options.charset).targetType + ";");
        };
        for (const auto& [column, variable] : newVariables_) fetched.emplace_back("inserted." + QuoteTargetName(column), variable), declare(column, variable);
        for (const auto& [column, variable] : oldVariables_) fetched.emplace_back("deleted." + QuoteTargetName(column), variable), declare(column, variable);
        if (fetched.empty()) {
            lines.push_back("    DECLARE @trigger_row int;");
            fetched.emplace_back("1", "@trigger_row");
        }
        for (auto& line : writer_.HelperDeclarations(1)) lines.push_back(std::move(line));
        std::string selects, into;
        for (const auto& [select, variable] : fetched) {
            selects += (selects.empty() ? "" : ", ") + select;
            into += (into.empty() ? "" : ", ") + variable;
        }
        lines.push_back("    DECLARE @trigger_rows CURSOR;");
        lines.push_back("    SET @trigger_rows = CURSOR FAST_FORWARD FOR SELECT " + selects + " FROM " + Source() + ";");
        lines.push_back("    OPEN @trigger_rows;");
        lines.push_back("    WHILE 1 = 1");
        lines.push_back("    BEGIN");
        lines.push_back("        FETCH NEXT FROM @trigger_rows INTO " + into + ";");
        lines.push_back("        IF @@FETCH_STATUS <> 0 BREAK;");
        if (!writer_.lines.empty()) lines.push_back(writer_.lines.Joined());
        lines.push_back("    END");
        lines.push_back("    CLOSE @trigger_rows;");
        lines.push_back("    DEALLOCATE @trigger_rows;");
    }

    std::string NewVariable(const std::string& column) {
        for (const auto& entry : newVariables_)
            if (entry.first == column) return entry.second;
        return RowVariable("new", column);
    }

    // The INSTEAD OF trigger's own write of the row, with the values the body left in NEW.
    void WriteRow() {
        const std::string table = TargetObjectName(context_.names.targetSchema, result_.table);
        const ColumnModel* identity = nullptr;
        std::string columns, values, sets;
        for (const auto& column : table_->columns) {
            if (column.generated) continue;
            if (column.autoIncrement) {
                identity = &column;
                continue;
            }
            columns += (columns.empty() ? "" : ", ") + QuoteTargetName(column.name);
            values += (values.empty() ? "" : ", ") + NewVariable(column.name);
            sets += (sets.empty() ? "" : ", ") + QuoteTargetName(column.name) + " = " + NewVariable(column.name);
        }
        WrittenLines& out = writer_.lines;
        if (trigger_.event == "update") {
            std::string where;
            for (const auto& column : key_)
                where += (where.empty() ? "" : " AND ") + QuoteTargetName(column) + " = " + RowVariable("old", column);
            out.push_back("        UPDATE " + table + " SET " + sets + " WHERE " + where + ";");
            return;
        }
        if (!identity) {
            out.push_back("        INSERT INTO " + table + " (" + columns + ") VALUES (" + values + ");");
            return;
        }
        // MySQL generates the key when NEW holds 0 or NULL; any other value is inserted as it is.
        const std::string key = NewVariable(identity->name);
        out.push_back("        IF " + key + " IS NULL OR " + key + " = 0");
        out.push_back("            INSERT INTO " + table + " (" + columns + ") VALUES (" + values + ");");
        out.push_back("        ELSE");
        out.push_back("        BEGIN");
        out.push_back("            SET IDENTITY_INSERT " + table + " ON;");
        out.push_back("            INSERT INTO " + table + " (" + QuoteTargetName(identity->name) + ", " + columns + ") VALUES (" + key +
                      ", " + values + ");");
        out.push_back("            SET IDENTITY_INSERT " + table + " OFF;");
        out.push_back("        END");
    }

    void Adjust() {
        auto& adjustments = result_.adjustments;
        if (setBased_)
            adjustments.push_back("runs once per statement over all its rows (" + Source() +
                                  "), which inserts the rows MySQL's FOR EACH ROW inserts one by one");
        else
            adjustments.push_back("runs its body once per row of the statement (a cursor over " + Source() +
                                  "), as MySQL's FOR EACH ROW does");
        if (insteadOf_)
            adjustments.push_back("the BEFORE trigger changes NEW: it becomes an INSTEAD OF trigger that writes each row itself "
                                  "with the values its body gave" +
                                  std::string(trigger_.event == "insert" ? "; after an INSERT into " + result_.table +
                                                  " the caller's SCOPE_IDENTITY() is NULL (the row is inserted in the trigger), "
                                                  "@@IDENTITY holds its key" : ""));
        else if (trigger_.timing == "before")
            adjustments.push_back("the BEFORE trigger runs after the change (it does not change NEW): an error it raises still "
                                  "undoes the statement, but what it reads of " + result_.table + " already holds the change");
    }

    // Several triggers on one event: T-SQL orders the first and the last.
    void Order() {
        const auto& names = context_.triggersOnSameEvent;
        if (names.size() < 2 || insteadOf_) return;
        const auto at = std::find_if(names.begin(), names.end(), [&](const std::string& n) { return LowerAscii(n) == LowerAscii(result_.name); });
        if (at == names.end()) return;
        const bool first = at == names.begin(), last = at + 1 == names.end();
        // Babelfish has no sp_settriggerorder (it refuses the call, and with it the trigger).
        if (context_.names.oneDatabaseKind == "Babelfish") {
            result_.adjustments.push_back("the order among the " + std::to_string(names.size()) + " triggers on " +
                                          Upper(trigger_.event) + " of " + result_.table +
                                          " is the server's: Babelfish cannot set it (no sp_settriggerorder)");
            return;
        }
        if (!first && !last) {
            result_.adjustments.push_back("the order among the " + std::to_string(names.size()) + " triggers on " + Upper(trigger_.event) +
                                          " of " + result_.table + " is not kept: T-SQL orders only the first and the last");
            return;
        }
        result_.statements.push_back("EXEC sp_settriggerorder @triggername = " + TsqlWriter::StringLiteral(result_.name) +
                                     ", @order = N'" + (first ? "First" : "Last") + "', @stmttype = N'" + Upper(trigger_.event) + "';");
    }

    const ParsedRoutine& trigger_;
    const RoutineContext& context_;
    FullRoutineTranslation& result_;
    RoutineWriter writer_;
    const TableModel* table_ = nullptr;
    std::vector<std::string> key_;
    bool insteadOf_ = false, setBased_ = false;
    std::vector<std::pair<std::string, std::string>> newVariables_, oldVariables_;  // column, variable
};

}  // namespace

void TranslateTrigger(const ParsedRoutine& trigger, const RoutineContext& context, FullRoutineTranslation& result,
                      std::string_view text) {
    TriggerWriter writer(trigger, context, result);
    writer.AllowSessionVariables(text);
    writer.Translate();
}

}  // namespace velmora
