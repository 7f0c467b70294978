// ExpressionTranslator: turns one MySQL/MariaDB expression, as the server prints it in view
// definitions, generated columns, CHECK constraints and default expressions, into the T-SQL
// expression that computes the same value. Literals and names keep their case; only what T-SQL
// spells differently changes, and MySQL's semantics (NULL handling included) are kept. A construct
// without a faithful T-SQL form is reported, never passed through.
// Pure and stateless: any thread may call it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// Names the translation rewrites: a qualifier naming the source database becomes the target
// database (or goes when targetDatabase is empty). On a target that works in one database per
// connection (oneDatabaseKind names its kind: "Azure SQL Database", "Babelfish"), a qualifier
// naming another database cannot be reached and is untranslatable.
// Tables and views go into `targetSchema` (empty or dbo: the default schema, names unqualified).
// When several source databases go into one target database, each into a schema named after it,
// `schemaDatabases` lists them: a qualifier naming one of them becomes that schema of the target
// database, on every kind of target.
struct ExpressionNames {
    std::string sourceDatabase;
    std::string targetDatabase;
    std::string oneDatabaseKind = {};
    std::string targetSchema = {};
    std::vector<std::string> schemaDatabases = {};
    // The target's major version (13 is SQL Server 2016, 14 is 2017, ...); 0 when not known (a
    // script), which takes the forms of the oldest supported server.
    int targetMajorVersion = 0;
    // The source's group_concat_max_len: GROUP_CONCAT's results are cut there (0: not cut).
    std::size_t groupConcatMaxLength = 0;
};

// The T-SQL text, or the construct that has no faithful T-SQL form.
struct TranslatedExpression {
    std::string text;
    std::string untranslatable;  // empty when translated; otherwise names the construct ("REGEXP", "user variable @x", ...)
    bool ok() const { return untranslatable.empty(); }
};

TranslatedExpression TranslateExpression(std::string_view mysqlExpression, const ExpressionNames& names);

// The same expression as a T-SQL search condition, for CHECK constraints and WHERE clauses: T-SQL
// does not accept a value there, nor a truth value where a value is expected.
TranslatedExpression TranslateCondition(std::string_view mysqlExpression, const ExpressionNames& names);

}  // namespace velmora
