// The catalog questions answered from sys views (for servers that lack the driver's catalog
// procedures): each query parses as T-SQL in every shape, names are bound as quoted literals,
// another database is named in three-part names, and the type names map to the driver's codes.
#include <gtest/gtest.h>
#include <sql.h>
#include <sqlext.h>

#include "data/SysCatalogQueries.h"
#include "support/TsqlOracle.h"

namespace velmora {
namespace {

const CatalogRestriction kNone;

TEST(SysCatalogQueries, EveryShapeParsesAndRestrictsWhatItIsGiven) {
    const CatalogRestriction db = std::string("sales]x"), schema = std::string("dbo"),
                             table = std::string("order's notes"), column = std::string("id");
    const std::vector<std::string> queries = {
        SysTablesQuery(kNone, kNone, kNone, kNone),
        SysTablesQuery(db, schema, table, std::string("TABLE")),
        SysTablesQuery(kNone, kNone, kNone, std::string("view")),
        SysTablesQuery(kNone, kNone, kNone, std::string("SYSTEM TABLE")),
        SysColumnsQuery(kNone, kNone, table, kNone),
        SysColumnsQuery(db, schema, table, column),
        SysIndexesQuery(kNone, kNone, kNone, table),
        SysIndexesQuery(db, schema, std::string("PK_t"), table),
    };
    for (const std::string& query : queries) EXPECT_EQ(test::DescribeTsqlProblems(query), "");

    const std::string tables = SysTablesQuery(db, schema, table, std::string("TABLE"));
    EXPECT_NE(tables.find("FROM [sales]]x].sys.tables o"), std::string::npos) << tables;
    EXPECT_NE(tables.find("o.name = N'order''s notes'"), std::string::npos) << tables;
    EXPECT_EQ(tables.find("sys.views"), std::string::npos) << tables;
    EXPECT_EQ(SysTablesQuery(kNone, kNone, kNone, std::string("view")).find("sys.tables"), std::string::npos);
    EXPECT_NE(SysTablesQuery(kNone, kNone, kNone, std::string("SYSTEM TABLE")).find("WHERE 1 = 0"), std::string::npos);
    EXPECT_EQ(SysColumnsQuery(kNone, kNone, table, kNone).find("].sys."), std::string::npos);
}

TEST(SysCatalogQueries, TypeNamesMapToTheDriversCodes) {
    struct Case {
        const char* name;
        int16_t code;
    };
    for (const Case& c : {Case{"int", SQL_INTEGER}, Case{"BIGINT", SQL_BIGINT}, Case{"nvarchar", -9},
                          Case{"varchar", SQL_VARCHAR}, Case{"datetime2", SQL_TYPE_TIMESTAMP},
                          Case{"decimal", SQL_DECIMAL}, Case{"varbinary", SQL_VARBINARY},
                          Case{"uniqueidentifier", -11}, Case{"geography", 0}}) {
        EXPECT_EQ(SqlTypeOfServerType(c.name), c.code) << c.name;
    }
}

}  // namespace
}  // namespace velmora
