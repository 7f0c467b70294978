// The Full table translation over the sample database `shop_types` as the real MariaDB prints it
// through the real ODBC driver: every table translates, every statement parses as T-SQL with
// SQL Server type names only, and every value read with the translation's select list renders
// for its target column (zero dates and times beyond a day counted as they must be).
#include <gtest/gtest.h>

#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "translation/FullValueRendering.h"
#include "Converters/TableDefinitionReader.h"
#include "support/SourceConnection.h"
#include "support/SqlServerTypes.h"
#include "support/TsqlOracle.h"

namespace velmora {
namespace {

const ExpressionNames kNames{"shop_types", "shop_types_copy"};

std::vector<std::vector<std::string>> Query(Session& session, const std::string& sql, std::vector<bool>* nulls = nullptr) {
    std::vector<std::vector<std::string>> rows;
    auto statement = session.NewStatement();
    EXPECT_EQ(statement->Create(sql), kSuccess);
    EXPECT_EQ(statement->Execute(StandardRowsetProperties()), kSuccess) << sql << ": " << statement->ProviderErrorText();
    if (!statement->HasRowset()) return rows;
    EXPECT_EQ(statement->BindAllAsText(), kSuccess);
    while (statement->MoveNext() == kSuccess) {
        auto& row = rows.emplace_back();
        for (int i = 0; i < statement->ColumnCount(); ++i) {
            row.emplace_back(statement->Value(i));
            if (nulls) nulls->push_back(statement->IsNull(i));
        }
    }
    return rows;
}

class FullTableSample : public ::testing::Test {
protected:
    void SetUp() override {
        connection_ = test::ConnectLocalMariaDb("shop_types");
        session_ = connection_->session();
        ASSERT_NE(session_, nullptr);
        for (const auto& row : Query(*session_, "select table_name from information_schema.tables where "
                                                "table_schema = 'shop_types' order by table_name")) {
            tables_.push_back(row.at(0));
        }
        ASSERT_EQ(tables_.size(), 8u) << "shop_types is not loaded (scripts/sample-db load)";
    }

    FullTableTranslation Translate(const std::string& table) {
        auto rows = Query(*session_, ShowCreateTableStatement(table));
        EXPECT_EQ(rows.size(), 1u);
        return TranslateTableFull(rows.empty() ? "" : rows[0].at(1), kNames);
    }

    std::unique_ptr<DataSourceConnection> connection_;
    Session* session_ = nullptr;
    std::vector<std::string> tables_;
};

TEST_F(FullTableSample, EveryTableTranslatesIntoValidTsql) {
    for (const std::string& table : tables_) {
        FullTableTranslation t = Translate(table);
        ASSERT_TRUE(t.ok()) << table << ": " << t.error;
        std::vector<std::string> statements{t.createTable};
        for (const auto* list : {&t.indexes, &t.foreignKeys, &t.comments}) {
            statements.insert(statements.end(), list->begin(), list->end());
        }
        if (t.hasIdentity) {
            statements.push_back(t.identityReseed);
            statements.push_back(IdentityInsertStatement(t, true));
        }
        for (const std::string& statement : statements) {
            EXPECT_EQ(test::DescribeTsqlProblems(statement), "") << table;
        }
        for (const std::string& type : test::ColumnTypeNames(t.createTable)) {
            EXPECT_TRUE(test::IsSqlServerTypeName(type)) << type << " in " << table;
        }
        for (const Adjustment& a : t.adjustments) {
            std::cout << "adjustment [" << table << "]" << (a.column.empty() ? "" : "." + a.column) << ": " << a.text << "\n";
        }
    }
}

TEST_F(FullTableSample, TheSampleProducesTheExpectedShapes) {
    FullTableTranslation numbers = Translate("numbers");
    EXPECT_NE(numbers.createTable.find("  id bigint IDENTITY(1000,1) NOT NULL,\n  tiny_signed smallint NOT NULL,\n"
                                       "  tiny_unsigned tinyint NOT NULL,\n"),
              std::string::npos) << numbers.createTable;
    EXPECT_NE(numbers.createTable.find("  big_unsigned decimal(20,0) NULL,\n"), std::string::npos);
    EXPECT_NE(numbers.identityReseed.find("IF @reseed < 999 SET @reseed = 999;"), std::string::npos);
    FullTableTranslation accounts = Translate("customer accounts");
    EXPECT_EQ(accounts.indexes, (std::vector<std::string>{
                                    "CREATE UNIQUE INDEX email ON [customer accounts] (email) WHERE email IS NOT NULL",
                                    "CREATE UNIQUE INDEX uq_phone_country ON [customer accounts] (phone, country) WHERE phone IS NOT NULL"}));
    FullTableTranslation orders = Translate("account_orders");
    ASSERT_EQ(orders.foreignKeys.size(), 2u);
    EXPECT_EQ(orders.foreignKeys[0], "ALTER TABLE account_orders ADD CONSTRAINT fk_orders_account FOREIGN KEY (account_id) "
                                     "REFERENCES [customer accounts] (id) ON DELETE CASCADE ON UPDATE CASCADE");
    EXPECT_EQ(orders.foreignKeys[1], "ALTER TABLE account_orders ADD CONSTRAINT fk_orders_parent FOREIGN KEY (parent_id) "
                                     "REFERENCES account_orders (id) ON DELETE SET NULL");
    FullTableTranslation computed = Translate("computed");
    EXPECT_EQ(InsertPrefix(computed).find("gross"), std::string::npos) << InsertPrefix(computed);
}

// Reads every row of every table with the translation's select list and renders it.
TEST_F(FullTableSample, EveryValueRendersForItsTargetColumn) {
    std::map<std::string, int> zeroDates;   // table.column -> values that became NULL
    std::map<std::string, int> failedRows;  // table -> rows that cannot be stored
    std::map<std::string, std::string> firstRow;
    for (const std::string& table : tables_) {
        FullTableTranslation t = Translate(table);
        ASSERT_TRUE(t.ok()) << t.error;
        std::vector<TargetColumn> written;
        for (const TargetColumn& c : t.columns) {
            if (c.written) written.push_back(c);
        }
        std::vector<bool> nulls;
        auto rows = Query(*session_, "select " + SourceSelectList(t) + " from `" + table + "` order by 1", &nulls);
        size_t cell = 0;
        for (const auto& row : rows) {
            std::string insert = InsertPrefix(t) + "(";
            bool fails = false;
            for (size_t i = 0; i < row.size(); ++i, ++cell) {
                if (i) insert += ",";
                RenderedValue r = AppendFullValue(insert, written.at(i), row[i], nulls.at(cell));
                if (r.outcome == ValueOutcome::ZeroDateAsNull) ++zeroDates[table + "." + written[i].name];
                if (r.outcome == ValueOutcome::RowFails) fails = true;
            }
            insert += ")";
            if (fails) {
                ++failedRows[table];
                continue;
            }
            EXPECT_EQ(test::DescribeTsqlProblems(insert), "") << table;
            if (!firstRow.count(table)) firstRow[table] = insert;
        }
    }
    EXPECT_EQ(zeroDates, (std::map<std::string, int>{{"moments.happened_at", 1}, {"moments.happened_on", 2}}));
    EXPECT_EQ(failedRows, (std::map<std::string, int>{{"moments", 2}}));  // a zero NOT NULL date, times beyond a day
    EXPECT_EQ(firstRow["numbers"],
              "INSERT INTO numbers (id,tiny_signed,tiny_unsigned,small_unsigned,medium_signed,int_unsigned,big_signed,"
              "big_unsigned,price,wide_decimal,ratio,measure,flag,mask,born) VALUES (1,-128,255,65535,-8388608,"
              "4294967295,-9223372036854775808,18446744073709551615,99999999.99,"
              "12345678901234567890123456789012345.123,3.5,1.7976931348623157e308,1,0x0FFF,2155)");
    EXPECT_NE(firstRow["texts"].find("N'😀😀😀😀😀😀😀😀😀😀'"), std::string::npos) << firstRow["texts"];
    EXPECT_NE(firstRow["places"].find("N'POINT(13.4 52.5)'"), std::string::npos) << firstRow["places"];
}

}  // namespace
}  // namespace velmora

namespace velmora {
namespace {

// A table of the binary character set (a wiki engine's usual set-up): the driver hands its enum
// and set values over as bytes; the select list reads them as their labels.
TEST(FullTableBinaryCharset, EnumAndSetArriveAsTheirLabels) {
    test::ScratchDatabase db("velmora_it_binary_enum",
                             "CREATE TABLE links (id int NOT NULL PRIMARY KEY, kind enum('page','subcat','file') NOT NULL, "
                             "flags set('hidden','tracking') NOT NULL DEFAULT '') DEFAULT CHARSET=binary;"
                             "INSERT INTO links VALUES (1, 'subcat', 'hidden,tracking'), (2, 'file', '');");
    auto connection = test::ConnectLocalMariaDb(db.name());
    Session* session = connection->session();
    ASSERT_NE(session, nullptr);
    auto definition = Query(*session, ShowCreateTableStatement("links"));
    ASSERT_EQ(definition.size(), 1u);
    FullTableTranslation t = TranslateTableFull(definition[0].at(1), {db.name(), "copy"});
    ASSERT_TRUE(t.ok()) << t.error;
    auto rows = Query(*session, "select " + SourceSelectList(t) + " from links order by id");
    EXPECT_EQ(rows, (std::vector<std::vector<std::string>>{{"1", "subcat", "hidden,tracking"}, {"2", "file", ""}}));
    std::string insert = InsertPrefix(t) + "(";
    AppendFullValue(insert, t.columns.at(1), rows.at(0).at(1), false);
    EXPECT_EQ(insert, InsertPrefix(t) + "(N'subcat'");
}

}  // namespace
}  // namespace velmora
