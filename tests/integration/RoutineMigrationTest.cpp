// Routines, triggers and events of a real MariaDB database, read and migrated into the target
// double: the lists and texts as the source gives them, the order of creation (functions before
// what calls them, views before the procedures that select from them, triggers after the rows),
// an object that cannot be translated or that the target refuses failing alone, and events listed
// as not migrated.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <regex>
#include <string>
#include <vector>

#include "Converters/ConversionDrivers.h"
#include "Converters/ConversionReport.h"
#include "Converters/RoutineConversion.h"
#include "Converters/SourceRoutines.h"
#include "Converters/Thread/WorkerBodies.h"
#include "support/ConversionFixture.h"
#include "support/LocalMariaDb.h"

namespace velmora::test {
namespace {

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// "function name", "view name", ... for every CREATE statement sent to the target, in order.
std::vector<std::string> CreatedObjects(const std::vector<std::string>& statements) {
    static const std::regex create(
        R"(^\s*create\s+(function|procedure|trigger|view)\s+(?:\[?dbo\]?\.)?\[?([A-Za-z0-9_ ]+?)\]?[\s(])",
        std::regex::icase);
    std::vector<std::string> objects;
    for (const std::string& statement : statements) {
        std::smatch match;
        if (std::regex_search(statement, match, create)) {
            objects.push_back(Lower(match[1].str()) + " " + match[2].str());
        }
    }
    return objects;
}

const TableReport* Entry(const ConversionReport& report, const std::string& kind,
                         const std::string& name) {
    for (const TableReport& entry : report.tables) {
        if (entry.kind == kind && entry.name == name) return &entry;
    }
    return nullptr;
}

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

TEST(TriggersOnSameEvent, KeepsTheFiringOrderOfOneTableTimingAndEvent) {
    auto trigger = [](const char* name, const char* table, const char* timing, const char* event,
                      int order) {
        return SourceRoutine{RoutineKind::Trigger, name, table, timing, event, order};
    };
    const std::vector<SourceRoutine> triggers = {
        trigger("second", "orders", "AFTER", "UPDATE", 2),
        trigger("before", "orders", "BEFORE", "UPDATE", 1),
        trigger("first", "orders", "AFTER", "UPDATE", 1),
        trigger("insert", "orders", "AFTER", "INSERT", 1),
        trigger("other_table", "items", "AFTER", "UPDATE", 1),
    };
    const struct {
        size_t of;
        std::vector<std::string> expected;
    } cases[] = {
        {0, {"first", "second"}},
        {2, {"first", "second"}},
        {1, {"before"}},
        {3, {"insert"}},
        {4, {"other_table"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TriggersOnSameEvent(triggers, triggers[c.of]), c.expected) << triggers[c.of].name;
    }
}

// The sample database `shop`, as the source lists it.
class SampleRoutines : public ConversionFixture {};

TEST_F(SampleRoutines, ListsRoutinesTriggersInFiringOrderAndEvents) {
    std::string failure;
    auto found = ReadSourceProgrammables(main_->log(), context_.SourceSession(), "shop", &failure);
    ASSERT_TRUE(found.has_value()) << failure;
    std::vector<std::string> routines;
    for (const SourceRoutine& r : found->routines)
        routines.push_back(std::string(RoutineKindWord(r.kind)) + " " + r.name);
    EXPECT_EQ(routines, (std::vector<std::string>{"function customer_balance", "function line_total",
                                                  "procedure check_stock", "procedure reserve_order"}));
    std::vector<std::string> triggers;
    for (const SourceRoutine& t : found->triggers) {
        triggers.push_back(t.table + " " + t.timing + " " + t.event + " " + std::to_string(t.actionOrder) +
                           " " + t.name);
    }
    EXPECT_EQ(triggers, (std::vector<std::string>{
                            "orders AFTER INSERT 1 orders_audit_insert",
                            "orders AFTER UPDATE 1 orders_audit_update",
                            "orders AFTER UPDATE 2 orders_ship_stock",
                            "order_items BEFORE INSERT 1 order_items_price",
                            "order_items AFTER INSERT 1 order_items_total",
                        }));
    EXPECT_EQ(found->events, std::vector<std::string>{"purge_audit_log"});
}

TEST_F(SampleRoutines, ReadsEachTextAsShowCreateGivesItAndNamesWhatCannotBeRead) {
    const struct {
        RoutineKind kind;
        const char* name;
        const char* expectedStart;  // "" when the read must fail
    } cases[] = {
        {RoutineKind::Function, "line_total", "CREATE DEFINER="},
        {RoutineKind::Procedure, "check_stock", "CREATE DEFINER="},
        {RoutineKind::Trigger, "orders_ship_stock", "CREATE DEFINER="},
        {RoutineKind::Procedure, "line_total", ""},  // a function, asked for as a procedure
        {RoutineKind::Trigger, "no_such`trigger", ""},
    };
    for (const auto& c : cases) {
        SourceRoutine routine;
        routine.kind = c.kind;
        routine.name = c.name;
        std::string failure;
        std::string text = ReadRoutineText(main_->log(), context_.SourceSession(), routine, &failure);
        if (*c.expectedStart == '\0') {
            EXPECT_EQ(text, "") << routine.name;
            EXPECT_NE(failure, "") << routine.name;
            continue;
        }
        EXPECT_EQ(failure, "") << routine.name;
        EXPECT_EQ(text.rfind(c.expectedStart, 0), 0u) << text;
        EXPECT_NE(text.find(routine.name), std::string::npos) << text;
    }
}

// A database of the test's own whose names put the alphabet against the dependencies.
class RoutineOrder : public ConversionFixture {
protected:
    static std::string Database() { return ProcessDatabaseName("velmora_it_routines"); }

    static void SetUpTestSuite() {
        const std::string db = Database();
        RunSql("DROP DATABASE IF EXISTS " + db + "; CREATE DATABASE " + db + "; USE " + db + ";\n"
               "CREATE TABLE items (id INT PRIMARY KEY, qty INT NOT NULL);\n"
               "CREATE TABLE item_log (id INT AUTO_INCREMENT PRIMARY KEY, note VARCHAR(50));\n"
               "CREATE VIEW m_items AS SELECT id, qty FROM items WHERE qty > 0;\n"
               "CREATE FUNCTION a_outer(p INT) RETURNS INT DETERMINISTIC RETURN z_inner(p) + 1;\n"
               "CREATE FUNCTION z_inner(p INT) RETURNS INT DETERMINISTIC RETURN p * 2;\n"
               "DELIMITER //\n"
               // Writes data: T-SQL allows no such function.
               "CREATE FUNCTION k_writes(p INT) RETURNS INT MODIFIES SQL DATA BEGIN "
               "  INSERT INTO item_log (note) VALUES ('called'); RETURN p; END //\n"
               "CREATE PROCEDURE b_caller(IN p INT) BEGIN CALL y_callee(p); END //\n"
               "CREATE PROCEDURE y_callee(IN p INT) BEGIN SELECT id, a_outer(qty) FROM m_items "
               "WHERE id = p; END //\n"
               "CREATE PROCEDURE c_refused() BEGIN DELETE FROM item_log; END //\n"
               "DELIMITER ;\n"
               "CREATE TRIGGER items_log AFTER INSERT ON items FOR EACH ROW "
               "  INSERT INTO item_log (note) VALUES (CONCAT('item ', NEW.id));\n"
               "INSERT INTO items VALUES (1, 5), (2, 0);\n"
               "CREATE EVENT nightly ON SCHEDULE EVERY 1 DAY DISABLE DO DELETE FROM item_log;\n");
    }
    static void TearDownTestSuite() { RunSql("DROP DATABASE IF EXISTS " + Database() + ";"); }

    void SetUp() override {
        ConversionFixture::SetUp();
        UseSourceDatabase(Database());
        context_.options.translation = TranslationMode::Full;
        context_.targetDatabase = "sales";
    }
};

TEST_F(RoutineOrder, CreatesWhatIsCalledFirstAndFailsOnlyTheObjectsThatCannotBeCreated) {
    target_->FailWhen([](const std::string& s) { return Lower(s).find("c_refused") != std::string::npos; },
                      "CREATE PROCEDURE permission denied in database 'sales'.");
    ConversionReport report;
    EXPECT_EQ(ConvertDatabaseProgrammables(context_, Database(), &report), 0);

    EXPECT_EQ(CreatedObjects(target_->Statements()),
              (std::vector<std::string>{"function z_inner", "function a_outer", "view m_items",
                                        "procedure c_refused", "procedure y_callee",
                                        "procedure b_caller", "trigger items_log"}));
    const std::vector<std::string> messages = Messages();
    // The function that writes data is refused with its construct named, and nothing of it is
    // sent; the procedure the target refuses fails with the server's reason.
    EXPECT_TRUE(Contains(messages, "Create FUNCTION [k_writes] failure!!!"));
    const TableReport* writes = Entry(report, "function", "k_writes");
    ASSERT_NE(writes, nullptr);
    std::string reason;
    EXPECT_EQ(ObjectOutcome(*writes, &reason), "failed");
    EXPECT_EQ(reason.rfind("it cannot be translated: ", 0), 0u) << reason;
    EXPECT_TRUE(Contains(messages, reason));
    const TableReport* refused = Entry(report, "procedure", "c_refused");
    ASSERT_NE(refused, nullptr);
    EXPECT_EQ(ObjectOutcome(*refused, &reason), "failed");
    EXPECT_NE(reason.find("CREATE PROCEDURE permission denied"), std::string::npos) << reason;
    // Everything else is created and reported so; the event is listed, not migrated.
    const struct {
        const char* kind;
        const char* name;
        const char* outcome;
    } expected[] = {
        {"function", "z_inner", "migrated"},     {"function", "a_outer", "migrated"},
        {"view", "m_items", "migrated"},         {"procedure", "y_callee", "migrated"},
        {"procedure", "b_caller", "migrated"},   {"trigger", "items_log", "migrated"},
        {"event", "nightly", "not migrated"},
    };
    for (const auto& e : expected) {
        const TableReport* entry = Entry(report, e.kind, e.name);
        ASSERT_NE(entry, nullptr) << e.name;
        EXPECT_EQ(ObjectOutcome(*entry, &reason), e.outcome) << e.name << ": " << reason;
    }
    EXPECT_TRUE(Contains(messages, "EVENT: [" + Database() +
                                       "].[nightly] not migrated: the target's scheduler is a "
                                       "separate product"));
    EXPECT_EQ(report.failures.size(), 2u) << ::testing::PrintToString(report.failures);
    // Each object's statements are in its work file.
    EXPECT_NE(Lower(ReadWorkFile("items_log.trg")).find("create trigger"), std::string::npos);
    EXPECT_NE(Lower(ReadWorkFile("y_callee.sp")).find("create procedure"), std::string::npos);
    EXPECT_NE(Lower(ReadWorkFile("z_inner.fn")).find("create function"), std::string::npos);
}

TEST_F(RoutineOrder, ResumeLeavesWhatExistsOnTheTarget) {
    context_.options.resume = true;
    target_->AnswerWhen(
        [](const std::string& s) {
            return s.rfind("select count_big(*) from sys.objects", 0) == 0 &&
                   s.find("N'z_inner'") != std::string::npos;
        },
        ScriptedResult::Text({"n"}, {{"1"}}));
    ConversionReport report;
    ConvertDatabaseProgrammables(context_, Database(), &report);
    const std::vector<std::string> created = CreatedObjects(target_->Statements());
    EXPECT_EQ(std::count(created.begin(), created.end(), "function z_inner"), 0);
    EXPECT_EQ(std::count(created.begin(), created.end(), "function a_outer"), 1);
    const TableReport* kept = Entry(report, "function", "z_inner");
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(ObjectOutcome(*kept), "migrated");
    EXPECT_EQ(kept->resume, "exists on the target already: not created again");
}

// In a target schema every routine and trigger is created there, and what each names (the
// functions and procedures it calls, the view and tables it reads and writes, a trigger's table)
// is found there; resume asks whether the object exists in that schema.
TEST_F(RoutineOrder, InATargetSchemaEveryRoutineAndWhatItNamesIsThere) {
    context_.options.targetSchema = "order archive";
    context_.options.resume = true;
    ConversionReport report;
    EXPECT_EQ(ConvertDatabaseProgrammables(context_, Database(), &report), 0);
    const std::string s = "[order archive].";
    const struct {
        std::string start;
        std::vector<std::string> inside;
    } expected[] = {
        {"CREATE FUNCTION " + s + "z_inner(", {}},
        {"CREATE FUNCTION " + s + "a_outer(", {s + "z_inner(@p)"}},
        {"CREATE VIEW " + s + "m_items AS", {"FROM " + s + "items"}},
        {"CREATE PROCEDURE " + s + "y_callee", {s + "a_outer(", "FROM " + s + "m_items"}},
        {"CREATE PROCEDURE " + s + "b_caller", {"EXEC " + s + "y_callee @p;"}},
        {"CREATE PROCEDURE " + s + "c_refused", {"DELETE FROM " + s + "item_log"}},
        {"CREATE TRIGGER " + s + "items_log ON " + s + "items AFTER INSERT", {"INSERT INTO " + s + "item_log (note)"}},
    };
    for (const auto& e : expected) {
        const std::vector<std::string> sent = TargetStatementsStartingWith(e.start);
        ASSERT_EQ(sent.size(), 1u) << e.start;
        for (const std::string& part : e.inside) EXPECT_NE(sent[0].find(part), std::string::npos) << part << "\n" << sent[0];
    }
    for (const std::string& statement : target_->Statements()) {
        EXPECT_EQ(Lower(statement).find("dbo."), std::string::npos) << statement;
    }
    EXPECT_TRUE(TargetStatementsStartingWith("CREATE TRIGGER items_log").empty());
    // Resume's question names the schema: an object of the same name elsewhere does not count.
    const std::vector<std::string> asked =
        TargetStatementsStartingWith("select count_big(*) from sys.objects where name = N'z_inner'");
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_NE(asked[0].find("and schema_id = schema_id(N'order archive')"), std::string::npos) << asked[0];
}

// The whole sample: the triggers arrive after every row, so none fires on the copy, and the task
// reports every routine and trigger.
TEST_F(SampleRoutines, WholeDatabaseCreatesTriggersAfterTheRows) {
    context_.options.translation = TranslationMode::Full;
    context_.options.jobs = 1;
    context_.sourceDatabase = "shop";
    context_.targetDatabase = "sales";
    std::vector<TableReport> reported;
    context_.tablesConverted = [&](const std::vector<TableReport>& tables) { reported = tables; };
    RunDatabaseTask(context_);
    const std::vector<std::string> statements = target_->Statements();
    size_t lastInsert = 0;
    size_t firstTrigger = statements.size();
    for (size_t i = 0; i < statements.size(); ++i) {
        const std::string text = Lower(statements[i].substr(0, 40));
        if (text.rfind("insert into", 0) == 0) lastInsert = i;
        if (firstTrigger == statements.size() && text.find("create trigger") != std::string::npos) {
            firstTrigger = i;
        }
    }
    ASSERT_LT(firstTrigger, statements.size());
    EXPECT_GT(firstTrigger, lastInsert);
    const std::vector<std::string> created = CreatedObjects(statements);
    auto position = [&](const std::string& object) {
        return std::find(created.begin(), created.end(), object) - created.begin();
    };
    EXPECT_LT(position("function line_total"), position("function customer_balance"));
    EXPECT_LT(position("procedure check_stock"), position("procedure reserve_order"));
    // Two triggers on one event: the one that fires first is created first.
    EXPECT_LT(position("trigger orders_audit_update"), position("trigger orders_ship_stock"));
    for (const char* name : {"customer_balance", "line_total", "check_stock", "reserve_order",
                             "order_items_price", "order_items_total", "orders_audit_insert",
                             "orders_audit_update", "orders_ship_stock", "purge_audit_log"}) {
        bool listed = false;
        for (const TableReport& entry : reported) listed = listed || entry.name == name;
        EXPECT_TRUE(listed) << name;
    }
}

}  // namespace
}  // namespace velmora::test
