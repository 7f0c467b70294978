// The views of the sample database shop_views (scripts/sample/full_views.sql), read from the real
// MariaDB through the real driver, translated in Full mode: every statement parses as T-SQL, the
// views come in dependency order, and each view's meaning is checked. Where sqlglot can read the
// translated query, it is transpiled back to MySQL and its rows are compared with the view's rows
// on MariaDB; where it cannot, the exact T-SQL text is checked instead.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <optional>

#include "Converters/Full/FullViewTranslator.h"
#include "data/DataAccess.h"
#include "support/LocalMariaDb.h"
#include "support/SourceConnection.h"
#include "support/TsqlOracle.h"

namespace velmora {
namespace {

const ExpressionNames kNames{"shop_views", ""};

enum class Check { RoundTrip, ExactText, Refused };

struct Expectation {
    Check check;
    std::string detail;  // ExactText: the statement; Refused: the construct
};

// clang-format off
const std::map<std::string, Expectation> kViews = {
    {"z_client_spend", {Check::RoundTrip, ""}},
    {"a_top_clients", {Check::RoundTrip, ""}},
    {"client_labels", {Check::RoundTrip, ""}},
    {"client_nicknames", {Check::RoundTrip, ""}},
    {"client_items", {Check::RoundTrip, ""}},
    {"client_distinct_items", {Check::RoundTrip, ""}},
    {"latest_purchases", {Check::RoundTrip, ""}},
    {"client_flags", {Check::RoundTrip, ""}},
    {"qualified_purchases", {Check::RoundTrip, ""}},
    // sqlglot 10.6 reads DATEDIFF(month, ...) as a difference in days.
    {"purchase_dates", {Check::ExactText,
        "CREATE VIEW purchase_dates AS SELECT purchases.id AS id, YEAR(purchases.bought) AS y, MONTH(purchases.bought) AS m, "
        "DAY(purchases.bought) AS d, DATEDIFF(day, N'2026-01-01', purchases.bought) AS days_in, "
        "DATEADD(day, 7, purchases.bought) AS due, DATEADD(month, -1, purchases.bought) AS month_before, "
        "(DATEDIFF(month, N'2026-01-31 12:00:00', purchases.bought) - CASE WHEN N'2026-01-31 12:00:00' <= purchases.bought AND "
        "DATEDIFF_BIG(microsecond, DATEFROMPARTS(YEAR(purchases.bought), MONTH(purchases.bought), 1), purchases.bought) < "
        "DATEDIFF_BIG(microsecond, DATEFROMPARTS(YEAR(N'2026-01-31 12:00:00'), MONTH(N'2026-01-31 12:00:00'), 1), N'2026-01-31 12:00:00') "
        "THEN 1 WHEN N'2026-01-31 12:00:00' > purchases.bought AND "
        "DATEDIFF_BIG(microsecond, DATEFROMPARTS(YEAR(purchases.bought), MONTH(purchases.bought), 1), purchases.bought) > "
        "DATEDIFF_BIG(microsecond, DATEFROMPARTS(YEAR(N'2026-01-31 12:00:00'), MONTH(N'2026-01-31 12:00:00'), 1), N'2026-01-31 12:00:00') "
        "THEN -1 ELSE 0 END) AS months_since FROM purchases"}},
    // sqlglot cannot read FORMAT's culture argument.
    {"purchase_formats", {Check::ExactText,
        "CREATE VIEW purchase_formats AS SELECT purchases.id AS id, "
        "FORMAT(CAST(purchases.bought AS datetime2(6)), N'dd\\.MM\\.yyyy\\ HH\\:mm', 'en-US') AS shown, "
        "TRY_CONVERT(date, N'15.03.2026', 104) AS fixed_day FROM purchases"}},
    // sqlglot turns T-SQL's string + into MySQL's numeric +.
    {"client_text", {Check::ExactText,
        "CREATE VIEW client_text AS SELECT clients.id AS id, SUBSTRING(clients.name, 1, 3) AS initials, "
        "CASE WHEN LEN(CAST(clients.name AS nvarchar(max)) + N'.') - 4 < 1 THEN N'' ELSE SUBSTRING(clients.name, "
        "LEN(CAST(clients.name AS nvarchar(max)) + N'.') - 4, 2147483647) END AS tail, CHARINDEX(N'a', clients.name) AS first_a, "
        "LEN(CAST(clients.name AS nvarchar(max)) + N'.') - 1 AS chars, LOWER(clients.name) AS lower_name, "
        "UPPER(clients.homeCity) AS upper_city, LTRIM(RTRIM(CASE WHEN clients.name IS NULL THEN NULL ELSE "
        "CONCAT(N'  ', clients.name, N'  ') END)) AS trimmed FROM clients"}},
    {"client_bytes", {Check::ExactText,
        "CREATE VIEW client_bytes AS SELECT clients.id AS id, DATALENGTH(CAST(CAST(clients.name AS nvarchar(max)) "
        "COLLATE Latin1_General_100_CI_AS_SC_UTF8 AS varchar(max))) AS bytes, "
        "LEN(CAST(clients.name AS nvarchar(max)) + N'.') - 1 AS chars FROM clients"}},
    // sqlglot cannot read ROUND's third argument.
    {"client_numbers", {Check::ExactText,
        "CREATE VIEW client_numbers AS SELECT clients.id AS id, ROUND(clients.balance, 1) AS rounded, "
        "ROUND(clients.balance, 0, 1) AS truncated, clients.score % 4 AS score_mod, CAST(clients.score / 4 AS bigint) AS score_div, "
        "CAST(clients.score AS nvarchar(max)) AS score_text, CAST(ROUND(clients.balance, 0) AS bigint) AS whole, "
        "clients.balance * 1.0 / 4 AS quarter FROM clients"}},
    // sqlglot writes OFFSET/FETCH back in an order MySQL does not read.
    {"purchases_second_page", {Check::ExactText,
        "CREATE VIEW purchases_second_page AS SELECT purchases.id AS id, purchases.item AS item FROM purchases "
        "ORDER BY purchases.id OFFSET 2 ROWS FETCH NEXT 2 ROWS ONLY"}},
    {"pattern_clients", {Check::Refused, "REGEXP"}},
    {"loose_grouping", {Check::Refused, "loose GROUP BY (purchases.item is neither grouped nor aggregated)"}},
};
// clang-format on

std::vector<std::vector<std::optional<std::string>>> ReadAll(Session& session, const std::string& sql) {
    std::vector<std::vector<std::optional<std::string>>> rows;
    std::unique_ptr<StatementRowset> statement = session.NewStatement();
    EXPECT_EQ(statement->Create(sql), kSuccess);
    EXPECT_EQ(statement->Execute(StandardRowsetProperties()), kSuccess) << sql << ": " << statement->ProviderErrorText();
    if (!statement->HasRowset() || statement->BindAllAsText() != kSuccess) return rows;
    while (statement->MoveNext() == kSuccess) {
        auto& row = rows.emplace_back();
        for (int i = 0; i < statement->ColumnCount(); ++i)
            row.push_back(statement->IsNull(i) ? std::nullopt : std::optional<std::string>(std::string(statement->Value(i))));
    }
    return rows;
}

// The T-SQL query as MySQL, by sqlglot; "" when sqlglot fails. Two spellings that sqlglot
// carries over from T-SQL and MariaDB rejects are mended: CAST(x AS TEXT) and SEPARATOR N'...'.
std::string TranspileToMySql(const std::string& query) {
    const std::string input = ::testing::TempDir() + "/velmora-view-query.sql";
    std::ofstream(input) << query;
    const std::string command = "/usr/bin/python3 -c 'import sys, sqlglot; "
                                "print(sqlglot.transpile(sys.stdin.read(), read=\"tsql\", write=\"mysql\")[0])' < " + input;
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        std::size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
        if (pclose(pipe) != 0) return {};
    }
    for (const auto& [from, to] : {std::pair<std::string, std::string>{" AS TEXT)", " AS CHAR)"}, {"SEPARATOR N'", "SEPARATOR '"}})
        for (std::size_t at = out.find(from); at != std::string::npos; at = out.find(from, at + to.size()))
            out.replace(at, from.size(), to);
    while (!out.empty() && out.back() == '\n') out.pop_back();
    return out;
}

std::vector<std::vector<std::string>> SortedRows(const std::string& sql) {
    auto rows = test::QueryRows("use shop_views; " + sql);
    std::sort(rows.begin(), rows.end());
    return rows;
}

class SampleViewsFull : public ::testing::Test {
protected:
    void SetUp() override {
        connection_ = test::ConnectLocalMariaDb("shop_views");
        session_ = connection_->session();
        ASSERT_NE(session_, nullptr);
        for (const auto& row : ReadAll(*session_, "select table_name from information_schema.views "
                                                  "where table_schema = 'shop_views' order by table_name")) {
            const std::string view = row.at(0).value_or("");
            const auto definition = ReadAll(*session_, "show create view `shop_views`.`" + view + "`");
            ASSERT_EQ(definition.size(), 1u) << view;
            translations_[view] = TranslateViewFull(definition[0].at(1).value_or(""), view, kNames);
        }
        ASSERT_EQ(translations_.size(), kViews.size()) << "the sample is not loaded (scripts/sample-db load)";
    }

    std::unique_ptr<DataSourceConnection> connection_;
    Session* session_ = nullptr;
    std::map<std::string, FullViewTranslation> translations_;
};

TEST_F(SampleViewsFull, EveryViewIsTranslatedOrRefusedWithItsConstruct) {
    for (const auto& [view, translation] : translations_) {
        SCOPED_TRACE(view);
        ASSERT_TRUE(kViews.count(view)) << "a sample view without an expectation";
        const Expectation& expected = kViews.at(view);
        if (expected.check == Check::Refused) {
            EXPECT_EQ(translation.untranslatable, expected.detail);
            EXPECT_EQ(translation.statement, "");
            continue;
        }
        ASSERT_TRUE(translation.ok()) << translation.untranslatable;
        EXPECT_EQ(test::DescribeTsqlProblems(translation.statement), "");
        if (expected.check == Check::ExactText) {
            EXPECT_EQ(translation.statement, expected.detail);
        }
    }
}

TEST_F(SampleViewsFull, TranslatedQueriesReturnTheViewsRows) {
    int compared = 0;
    for (const auto& [view, translation] : translations_) {
        if (kViews.at(view).check != Check::RoundTrip) continue;
        SCOPED_TRACE(view);
        const std::string prefix = "CREATE VIEW " + view + " AS ";
        ASSERT_EQ(translation.statement.rfind(prefix, 0), 0u) << translation.statement;
        const std::string mysql = TranspileToMySql(translation.statement.substr(prefix.size()));
        ASSERT_NE(mysql, "") << "sqlglot (python3-sqlglot) could not transpile " << translation.statement;
        const auto expected = SortedRows("select * from `" + view + "`");
        EXPECT_FALSE(expected.empty());
        EXPECT_EQ(SortedRows(mysql), expected) << mysql;
        ++compared;
    }
    EXPECT_EQ(compared, 9);
}

TEST_F(SampleViewsFull, ViewsComeAfterTheViewsTheySelectFrom) {
    std::vector<std::pair<std::string, std::vector<std::string>>> views;
    for (const auto& [view, translation] : translations_) views.emplace_back(view, translation.references);
    EXPECT_EQ(translations_.at("a_top_clients").references, std::vector<std::string>{"z_client_spend"});
    EXPECT_EQ(translations_.at("qualified_purchases").references, (std::vector<std::string>{"purchases", "clients"}));
    const std::vector<std::string> order = OrderViewsByDependency(views);
    ASSERT_EQ(order.size(), views.size());
    const auto position = [&](const std::string& view) { return std::find(order.begin(), order.end(), view) - order.begin(); };
    EXPECT_LT(position("z_client_spend"), position("a_top_clients"));
    for (const auto& [view, references] : views) EXPECT_EQ(std::count(order.begin(), order.end(), view), 1) << view;
}

}  // namespace
}  // namespace velmora
