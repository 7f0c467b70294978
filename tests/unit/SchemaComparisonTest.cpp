// The schema comparison: what the translation makes against what the target's sys views show,
// each object missing, extra or different named once; and the forms in which the two sides
// write a type or a check.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Converters/ResumeObjects.h"
#include "Converters/SchemaVerification.h"
#include "translation/CreateTableParser.h"

namespace velmora {
namespace {

const char* kChild =
    "CREATE TABLE `child` (\n"
    "  `id` int(11) NOT NULL AUTO_INCREMENT,\n"
    "  `p` int(11) NOT NULL,\n"
    "  `qty` int(11) DEFAULT 1,\n"
    "  `name` varchar(20) NOT NULL,\n"
    "  PRIMARY KEY (`id`),\n"
    "  UNIQUE KEY `uq_name` (`name`),\n"
    "  KEY `ix_p` (`p`),\n"
    "  CONSTRAINT `fk_p` FOREIGN KEY (`p`) REFERENCES `parent` (`id`) ON DELETE CASCADE,\n"
    "  CONSTRAINT `ck_qty` CHECK (`qty` > 0)\n"
    ") ENGINE=InnoDB DEFAULT CHARSET=utf8mb4";

ExpectedSchema Expected() {
    ExpectedSchema expected;
    ExpectedTable table;
    table.translation = TranslateTableFull(kChild, ExpressionNames{});
    table.model = ParseCreateTable(kChild).table;
    expected.tables.push_back(std::move(table));
    expected.modules = {{"trigger", "child_audit", "child"}, {"view", "v_child", ""}};
    expected.refused = {"v_refused"};
    return expected;
}

// The target exactly as the migration makes it.
TargetSchemaShape AsMade() {
    TargetSchemaShape shape;
    TargetTableShape child;
    child.name = "child";
    child.columns = {{"id", "int", false, true, false, false},
                     {"p", "int", false, false, false, false},
                     {"qty", "int", true, false, false, true},
                     {"name", "nvarchar(40)", false, false, false, false}};
    child.indexes = {{"PK__child__1", true, true, {"id"}}, {"uq_name", true, false, {"name"}}, {"ix_p", false, false, {"p"}}};
    child.foreignKeys = {{"fk_p", {"p"}, "parent", {"id"}, "CASCADE", "NO ACTION"}};
    child.checks = {"CK__child__qty__1"};
    shape.tables.push_back(child);
    shape.modules = {{"trigger", "child_audit", "child"}, {"view", "v_child", ""}, {"view", "v_refused", ""}};
    return shape;
}

std::vector<std::string> Described(const std::vector<SchemaDifference>& differences) {
    std::vector<std::string> lines;
    for (const SchemaDifference& d : differences) {
        lines.push_back(d.kind + " " + d.name + " " + d.state + (d.detail.empty() ? "" : ": " + d.detail));
    }
    return lines;
}

TEST(SchemaComparison, NamesEachObjectMissingExtraOrDifferent) {
    const struct {
        const char* what;
        void (*change)(TargetSchemaShape&);
        std::vector<std::string> expected;
    } cases[] = {
        {"as made", [](TargetSchemaShape&) {}, {}},
        {"a dropped foreign key", [](TargetSchemaShape& s) { s.tables[0].foreignKeys.clear(); },
         {"foreign key child.fk_p missing: (p) references parent"}},
        {"a foreign key without its action",
         [](TargetSchemaShape& s) { s.tables[0].foreignKeys[0].onDelete = "NO ACTION"; },
         {"foreign key child.fk_p different: (p) references parent(id) ON DELETE CASCADE ON UPDATE NO ACTION expected, "
          "(p) references parent(id) ON DELETE NO ACTION ON UPDATE NO ACTION found"}},
        {"a dropped index", [](TargetSchemaShape& s) { s.tables[0].indexes.pop_back(); }, {"index child.ix_p missing"}},
        {"an index no longer unique", [](TargetSchemaShape& s) { s.tables[0].indexes[1].unique = false; },
         {"index child.uq_name different: unique (name) expected, (name) found"}},
        {"an index of someone else's", [](TargetSchemaShape& s) { s.tables[0].indexes.push_back({"ix_extra", false, false, {"qty"}}); },
         {"index child.ix_extra extra: (qty)"}},
        {"no primary key", [](TargetSchemaShape& s) { s.tables[0].indexes.erase(s.tables[0].indexes.begin()); },
         {"primary key child missing: (id)"}},
        {"a narrower column that takes NULL",
         [](TargetSchemaShape& s) { s.tables[0].columns[3] = {"name", "nvarchar(10)", true, false, false, false}; },
         {"column child.name different: nvarchar(40) expected, nvarchar(10) found; NOT NULL expected, NULL found"}},
        {"no identity", [](TargetSchemaShape& s) { s.tables[0].columns[0].identity = false; },
         {"column child.id different: IDENTITY expected, no IDENTITY found"}},
        {"a dropped default", [](TargetSchemaShape& s) { s.tables[0].columns[2].hasDefault = false; }, {"default child.qty missing"}},
        {"a dropped check", [](TargetSchemaShape& s) { s.tables[0].checks.clear(); }, {"check child missing: 1 expected, 0 found"}},
        {"a column too many", [](TargetSchemaShape& s) { s.tables[0].columns.push_back({"note", "int", true, false, false, false}); },
         {"column child.note extra"}},
        {"a dropped trigger", [](TargetSchemaShape& s) { s.modules.erase(s.modules.begin()); }, {"trigger child_audit missing"}},
        {"a dropped table", [](TargetSchemaShape& s) { s.tables.clear(); }, {"table child missing"}},
        {"tables of someone else's and of the program's own",
         [](TargetSchemaShape& s) {
             s.tables.push_back({"stray", {}, {}, {}, {}});
             s.tables.push_back({"velmora_split_run", {}, {}, {}, {}});
         },
         {"table stray extra"}},
        {"a procedure of someone else's", [](TargetSchemaShape& s) { s.modules.push_back({"procedure", "p_stray", ""}); },
         {"procedure p_stray extra"}},
    };
    const ExpectedSchema expected = Expected();
    for (const auto& c : cases) {
        TargetSchemaShape actual = AsMade();
        c.change(actual);
        EXPECT_EQ(Described(CompareSchema(expected, actual)), c.expected) << c.what;
    }
}

TEST(SchemaComparison, ATableScopeLeavesTheRestOfTheDatabaseAlone) {
    TargetSchemaShape actual = AsMade();
    actual.tables.push_back({"stray", {}, {}, {}, {}});
    actual.modules.clear();
    actual.tables[0].foreignKeys.clear();
    EXPECT_EQ(Described(CompareSchema(Expected(), actual, SchemaScope{false, {"CHILD"}, {}})),
              (std::vector<std::string>{"foreign key child.fk_p missing: (p) references parent",
                                        "trigger child_audit missing", "view v_child missing"}));
}

// A table the user left out (--exclude) is neither missing on the target nor extra there.
TEST(SchemaComparison, ATableLeftOutIsNeitherMissingNorExtra) {
    TargetSchemaShape actual = AsMade();
    actual.tables.push_back({"stray", {}, {}, {}, {}});
    EXPECT_EQ(Described(CompareSchema(Expected(), actual, SchemaScope{true, {}, {"STRAY"}})), std::vector<std::string>{});
    actual.tables.erase(actual.tables.begin());  // child, left out and so never made
    EXPECT_EQ(Described(CompareSchema(Expected(), actual, SchemaScope{true, {}, {"stray", "child"}})),
              std::vector<std::string>{});
    EXPECT_EQ(Described(CompareSchema(Expected(), actual, SchemaScope{true, {}, {"stray"}})),
              std::vector<std::string>{"table child missing"});
}

TEST(SchemaComparison, TypesAndChecksCompareInOneForm) {
    const struct {
        std::string name;
        int maxLength, precision, scale;
        std::string written;  // as a translation writes it
    } types[] = {
        {"nvarchar", 100, 0, 0, "nvarchar(50)"}, {"nvarchar", -1, 0, 0, "NVARCHAR(MAX)"},
        {"nchar", 4, 0, 0, "nchar(2)"},           {"varbinary", 16, 0, 0, "varbinary(16)"},
        {"decimal", 9, 10, 2, "decimal(10, 2)"},  {"numeric", 9, 18, 0, "numeric(18)"},
        {"datetime2", 8, 27, 7, "datetime2"},     {"time", 5, 16, 3, "time(3)"},
        {"float", 8, 53, 0, "float"},             {"real", 4, 24, 0, "real"},
        {"int", 4, 10, 0, "INT"},
    };
    for (const auto& t : types) {
        EXPECT_EQ(TargetTypeText(t.name, t.maxLength, t.precision, t.scale), ComparableType(t.written)) << t.written;
    }
    EXPECT_NE(TargetTypeText("nvarchar", 100, 0, 0), ComparableType("nvarchar(40)"));
    EXPECT_EQ(ComparableCheck("CHECK ([qty] > 0)"), ComparableCheck("([qty]>(0))"));
    EXPECT_EQ(ComparableCheck("CHECK (code = N'a b')"), ComparableCheck("([code]='a b')"));
    EXPECT_NE(ComparableCheck("CHECK (code = N'a b')"), ComparableCheck("([code]='ab')"));
    EXPECT_EQ(ComparableCheck("CHECK ([q] > 0)"), ComparableCheck("((q > 0))"));  // Babelfish's form
}

TEST(SchemaComparison, IndexNamesAsTheTargetListsThem) {
    const struct {
        const char* listed;
        const char* table;
        const char* created;
    } cases[] = {
        {"ix_pcd0cda0a6f8d1b62564b531e641a6977f", "c", "ix_p"},  // Babelfish: name, table, hash
        {"ix_kindEVENTSd0cda0a6f8d1b62564b531e641a6977f", "events", "ix_kind"},
        {"ix_p", "c", "ix_p"},
        {"ix_pxd0cda0a6f8d1b62564b531e641a6977f", "c", "ix_pxd0cda0a6f8d1b62564b531e641a6977f"},
        {"ix_pcd0cda0a6f8d1b62564b531e641a6977g", "c", "ix_pcd0cda0a6f8d1b62564b531e641a6977g"},
    };
    for (const auto& c : cases) EXPECT_EQ(CreatedIndexName(c.listed, c.table), c.created) << c.listed;
}

}  // namespace
}  // namespace velmora
