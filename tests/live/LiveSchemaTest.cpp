// Schemas and the type map on a real server: two source databases migrated into one target
// database, each into a schema named after it, and verified; a view of one reading a table of
// the other; a type map whose rule cannot hold a value stops the migration before anything is
// created, and one whose rules fit changes the types on the server and still verifies.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <string>

#include "live/LiveTarget.h"
#include "support/SourceConnection.h"

namespace velmora {
namespace {

using test::CliResult;
using test::LiveDatabase;

// A second source database beside the sample `shop`: an unsigned identity, a flag, a code whose
// binary collation tells 'a' from 'A' (both in a unique key), accented names, a foreign key, and
// a view that reads the sample's orders.
const char* kCrmDdl = R"(
CREATE TABLE `client list` (
  id int unsigned NOT NULL AUTO_INCREMENT PRIMARY KEY,
  name varchar(40) NOT NULL,
  code varchar(10) COLLATE utf8mb4_bin NOT NULL,
  active tinyint(1) NOT NULL DEFAULT 1,
  UNIQUE KEY code (code)
) ENGINE=InnoDB;
INSERT INTO `client list` (name, code, active) VALUES ('Zoë', 'a', 1), ('Émile', 'A', 0), ('Ann', 'b', 1);
CREATE TABLE notes (
  id int NOT NULL PRIMARY KEY,
  client_id int unsigned NOT NULL,
  body text,
  CONSTRAINT fk_client FOREIGN KEY (client_id) REFERENCES `client list` (id)
) ENGINE=InnoDB;
INSERT INTO notes VALUES (1, 1, 'first'), (2, 2, 'zweite');
CREATE VIEW active_clients AS SELECT c.id, c.name FROM `client list` c WHERE c.active = 1;
CREATE VIEW shop_orders AS SELECT o.id, o.customer_id FROM shop.orders o;
)";

class LiveSchemaTest : public test::LiveCliFixture {
protected:
    std::string WriteTypeMap(const std::string& text) {
        const std::string path = home_ + "/types.map";
        std::ofstream(path) << text;
        return path;
    }

    // schema.name -> type (U, V, P, F or T) of every table, view, procedure, function and trigger
    // of the target database.
    std::map<std::string, std::string> Objects(const std::string& database) {
        auto connection = test::ConnectLiveTarget(database);
        std::map<std::string, std::string> objects;
        if (!connection->session()) return objects;
        for (const auto& row : test::LiveQuery(*connection->session(),
                                               "SELECT s.name, o.name, o.type FROM sys.objects o JOIN sys.schemas s "
                                               "ON s.schema_id = o.schema_id WHERE o.type IN ('U', 'V', 'P', 'FN', 'TR')")) {
            objects[row.at(0) + "." + row.at(1)] = row.at(2).substr(0, 1);
        }
        return objects;
    }
};

TEST_F(LiveSchemaTest, TwoDatabasesIntoOneEachInItsSchema) {
    test::ScratchDatabase crm("vlive_crm", kCrmDdl);
    LiveDatabase target("schemas");  // created by the migration
    const std::string sources = "shop," + crm.name();
    CliResult run = Live("migrate database " + sources + " " + target.name() +
                         " --schema-per-database --yes --verify full --report report.json");
    EXPECT_EQ(run.exitCode, 0) << run.out.substr(run.out.size() > 6000 ? run.out.size() - 6000 : 0) << run.err;
    const nlohmann::json report = Report();
    size_t tables = 0;
    for (const nlohmann::json& object : report.value("objects", nlohmann::json::array())) {
        // The sample's event is listed, never migrated: the target's scheduler is another product.
        const bool event = object.value("kind", "") == "event";
        EXPECT_EQ(object.value("outcome", ""), event ? "not migrated" : "migrated") << object.dump(1);
        if (object.value("kind", "") != "table") continue;
        ++tables;
        EXPECT_TRUE(object["verification"].value("matches", false)) << object.dump(1);
    }
    EXPECT_GE(tables, 11u);
    ASSERT_EQ(report["tasks"].size(), 2u);
    EXPECT_EQ(report["tasks"][1].value("targetSchema", ""), crm.name());

    const std::map<std::string, std::string> objects = Objects(target.name());
    EXPECT_EQ(objects.count("shop.orders"), 1u);
    EXPECT_EQ(objects.count("shop.order notes"), 1u);
    EXPECT_EQ(objects.count(crm.name() + ".client list"), 1u);
    EXPECT_EQ(objects.count(crm.name() + ".shop_orders"), 1u);
    // The sample's routines and triggers are in its schema too.
    EXPECT_EQ(objects.count("shop.check_stock"), 1u);
    EXPECT_EQ(objects.count("shop.line_total"), 1u);
    EXPECT_EQ(objects.count("shop.orders_ship_stock"), 1u);
    for (const auto& [name, type] : objects) EXPECT_NE(name.rfind("dbo.", 0), 0u) << name << " landed in dbo";

    // The view of one database reads the other's table in the same target database.
    auto connection = test::ConnectLiveTarget(target.name());
    ASSERT_NE(connection->session(), nullptr);
    EXPECT_EQ(test::LiveQuery(*connection->session(), "SELECT COUNT(*) FROM [" + crm.name() + "].shop_orders").at(0).at(0),
              test::LiveQuery(*connection->session(), "SELECT COUNT(*) FROM shop.orders").at(0).at(0));
    // The binary collation arrived: 'a' and 'A' are two codes.
    EXPECT_EQ(test::LiveQuery(*connection->session(),
                              "SELECT COUNT(*) FROM [" + crm.name() + "].[client list] WHERE code = N'a'").at(0).at(0),
              "1");

    CliResult verify = Live("verify " + sources + " " + target.name() + " --schema-per-database --report report.json");
    EXPECT_EQ(verify.exitCode, 0) << verify.out << verify.err;
}

TEST_F(LiveSchemaTest, ATypeMapRuleThatCannotHoldAValueCreatesNothing) {
    test::ScratchDatabase crm("vlive_crmtm", kCrmDdl);
    LiveDatabase target("typemap", true);
    const std::string map = WriteTypeMap("tinyint(1) = bit\n`client list`.name = nvarchar(4)   # 'Émile' has 5\n");
    CliResult refused = Live("migrate tables " + crm.name() + " " + target.name() + " --target-schema crm_data --type-map " +
                             map + " --yes --report report.json");
    EXPECT_EQ(refused.exitCode, 1) << refused.out << refused.err;
    EXPECT_NE(refused.out.find("Type map line 2 (`client list`.name = nvarchar(4)): " + crm.name() +
                               ".`client list`.name holds 'Émile' (5 characters)"),
              std::string::npos)
        << refused.out;
    EXPECT_TRUE(Objects(target.name()).empty());

    WriteTypeMap("tinyint(1) = bit\nint unsigned = int\n`client list`.name = nvarchar(5)\n");
    CliResult run = Live("migrate tables " + crm.name() + " " + target.name() + " --target-schema crm_data --type-map " +
                         map + " --yes --verify full --report report.json");
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("TYPE MAP active: smallint -> bit (type map line 1: tinyint(1) = bit)"), std::string::npos)
        << run.out;
    auto connection = test::ConnectLiveTarget(target.name());
    ASSERT_NE(connection->session(), nullptr);
    auto types = test::LiveQuery(*connection->session(),
                                 "SELECT c.name, t.name FROM sys.columns c JOIN sys.types t ON t.user_type_id = "
                                 "c.user_type_id WHERE c.object_id = OBJECT_ID('crm_data.[client list]') ORDER BY "
                                 "c.column_id");
    ASSERT_EQ(types.size(), 4u);
    EXPECT_EQ(types[0][1], "int");
    EXPECT_EQ(types[3][1], "bit");
    for (const nlohmann::json& object : Report().value("objects", nlohmann::json::array())) {
        if (object.value("kind", "") == "table") {
            EXPECT_TRUE(object["verification"].value("matches", false)) << object.dump(1);
        }
    }
}

}  // namespace
}  // namespace velmora
