// Nothing missing in silence. A resumed migration completes every object, one by one: a foreign
// key, an index or a trigger that is missing on the target (dropped since, or never made by the
// stopped run) is created, and what is there is not created again; the target double answers
// resume's questions as a server would, from what exists at the start and what the run creates.
// After a stop nothing more is created and every object is listed with where the stop left it;
// a database this run created goes again when the run fails right after creating it.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "Converters/ConversionDrivers.h"
#include "Converters/ConversionReport.h"
#include "Converters/RoutineConversion.h"
#include "Converters/Thread/WorkerBodies.h"
#include "support/ConversionFixture.h"

namespace velmora::test {
namespace {

const char* kSource =
    "CREATE TABLE parent (id int PRIMARY KEY);"
    "CREATE TABLE other (id int PRIMARY KEY);"
    "CREATE TABLE audit (id int AUTO_INCREMENT PRIMARY KEY, n int);"
    "CREATE TABLE child (id int PRIMARY KEY, p int NOT NULL, o int, qty int DEFAULT 1, CHECK (qty > 0),"
    " KEY ix_p (p), CONSTRAINT fk_p FOREIGN KEY (p) REFERENCES parent (id),"
    " CONSTRAINT fk_o FOREIGN KEY (o) REFERENCES other (id) ON DELETE CASCADE);"
    "INSERT INTO parent VALUES (1); INSERT INTO other VALUES (1); INSERT INTO child VALUES (1, 1, 1, 2);"
    "CREATE TRIGGER child_audit AFTER INSERT ON child FOR EACH ROW INSERT INTO audit (n) VALUES (NEW.id);";

// The objects of the target by name, and the answers a server gives about them.
struct TargetObjects {
    std::mutex lock;
    std::set<std::string> names;

    bool Has(const std::string& name) {
        std::lock_guard<std::mutex> guard(lock);
        return names.count(name) > 0;
    }
    void Add(const std::string& name) {
        std::lock_guard<std::mutex> guard(lock);
        names.insert(name);
    }
};

bool Starts(const std::string& s, const std::string& prefix) { return s.rfind(prefix, 0) == 0; }
bool Holds(const std::string& s, const std::string& part) { return s.find(part) != std::string::npos; }

class ResumeObjectsTest : public FullCopyFixture {
protected:
    void SetUp() override {
        FullCopyFixture::SetUp();
        MakeSource(kSource);
        context_.options.resume = true;
        context_.sourceDatabase = database_;
    }

    // The target holds `existing` (tables with all their rows, and these foreign keys, indexes
    // and triggers); what the run creates is there from then on.
    void Serve(const std::set<std::string>& existing, bool tables) {
        auto objects = objects_;
        objects->names = existing;
        target_->FailWhen([objects](const std::string& s) {
            for (const char* name : {"fk_p", "fk_o", "ix_p", "child_audit"}) {
                if ((Starts(s, "ALTER TABLE child ADD CONSTRAINT " + std::string(name)) ||
                     Starts(s, "CREATE INDEX " + std::string(name)) || Starts(s, "CREATE TRIGGER " + std::string(name)))) {
                    objects->Add(name);
                }
            }
            return false;
        }, "");
        auto answer = [this](StatementPredicate when, const std::string& value) {
            target_->AnswerWhen(std::move(when), ScriptedResult::Text({""}, {{value}}));
        };
        for (const char* key : {"fk_p", "fk_o"}) {
            const std::string name = key;
            answer([objects, name](const std::string& s) {
                return Starts(s, "select count_big(*) from sys.foreign_keys where name = N'" + name + "'") && objects->Has(name);
            }, "1");
        }
        // The question by table alone: any key of the table counts.
        answer([objects](const std::string& s) {
            return Starts(s, "select count_big(*) from sys.foreign_keys where parent_object_id = object_id(N'[child]')") &&
                   (objects->Has("fk_p") || objects->Has("fk_o"));
        }, "1");
        answer([](const std::string& s) { return Starts(s, "select count_big(*) from sys.foreign_keys"); }, "0");
        answer([objects](const std::string& s) {
            return Starts(s, "select count_big(*) from sys.objects where name = N'child_audit'") && objects->Has("child_audit");
        }, "1");
        answer([](const std::string& s) { return Starts(s, "select count_big(*) from sys.objects"); }, "0");
        // The source's index for the key over o (MariaDB made it) is there in any case.
        target_->AnswerWhen([objects](const std::string& s) { return Starts(s, "select name from sys.indexes") && objects->Has("ix_p"); },
                            ScriptedResult::Text({"name"}, {{"PK__child"}, {"fk_o"}, {"ix_p"}}));
        target_->AnswerWhen([](const std::string& s) { return Starts(s, "select name from sys.indexes"); },
                            ScriptedResult::Text({"name"}, {{"PK__child"}, {"fk_o"}}));
        target_->AnswerWhen([](const std::string& s) { return Holds(s, "from sys.default_constraints"); },
                            ScriptedResult::Text({"name"}, {{"qty"}}));
        target_->AnswerWhen([](const std::string& s) { return Holds(s, "from sys.check_constraints"); },
                            ScriptedResult::Text({"definition"}, {{"([qty]>(0))"}}));
        for (const char* table : {"parent", "other", "child", "audit"}) {
            const std::string count = "select count_big(*) from [" + std::string(table) + "]";
            if (!tables) {
                target_->FailOn(count, "Invalid object name '" + std::string(table) + "'.");
                DeclareInvalid(count);
            } else {
                answer([count](const std::string& s) { return s == count; }, std::string(table) == "audit" ? "0" : "1");
            }
        }
    }

    ConversionReport Resume() {
        ConversionReport report;
        EXPECT_EQ(ConvertDatabaseTables(context_, database_, &report), 0);
        ConvertDatabaseProgrammables(context_, database_, &report);
        return report;
    }

    // The statements that create `name`.
    std::vector<std::string> Creating(const std::string& name) const {
        std::vector<std::string> found;
        for (const std::string& s : target_->Statements()) {
            if (Starts(s, "ALTER TABLE child ADD CONSTRAINT " + name + " ") || Starts(s, "CREATE INDEX " + name + " ") ||
                Starts(s, "CREATE TRIGGER " + name + " ")) {
                found.push_back(s);
            }
        }
        return found;
    }

    std::shared_ptr<TargetObjects> objects_ = std::make_shared<TargetObjects>();
};

TEST_F(ResumeObjectsTest, AnyOneObjectDroppedFromTheTargetIsBackAfterAResume) {
    const std::set<std::string> all = {"fk_p", "fk_o", "ix_p", "child_audit"};
    for (const std::string& dropped : all) {
        target_->ClearAnswers();
        target_->ClearStatements();
        std::set<std::string> existing = all;
        existing.erase(dropped);
        Serve(existing, true);
        ConversionReport report = Resume();
        for (const std::string& name : all) {
            EXPECT_EQ(Creating(name).size(), name == dropped ? 1u : 0u) << name << " after " << dropped << " was dropped";
        }
        EXPECT_TRUE(report.failures.empty()) << dropped << ": " << ::testing::PrintToString(report.failures);
        // Its default and its check are there: neither is added again.
        EXPECT_TRUE(TargetStatementsStartingWith("ALTER TABLE child ADD DEFAULT").empty());
        EXPECT_TRUE(TargetStatementsStartingWith("ALTER TABLE child ADD CHECK").empty());
    }
}

TEST_F(ResumeObjectsTest, IntoAnEmptyDatabaseEveryForeignKeyOfATableIsCreated) {
    Serve({}, false);
    ConversionReport report = Resume();
    for (const char* name : {"fk_p", "fk_o", "ix_p", "child_audit"}) EXPECT_EQ(Creating(name).size(), 1u) << name;
    EXPECT_TRUE(report.failures.empty()) << ::testing::PrintToString(report.failures);
}

TEST_F(ResumeObjectsTest, ADroppedDefaultAndCheckOfATableThereAreAddedAgain) {
    target_->AnswerWhen([](const std::string& s) { return Holds(s, "from sys.default_constraints"); },
                        ScriptedResult::Text({"name"}));
    target_->AnswerWhen([](const std::string& s) { return Holds(s, "from sys.check_constraints"); },
                        ScriptedResult::Text({"definition"}));
    Serve({"fk_p", "fk_o", "ix_p", "child_audit"}, true);
    ConversionReport report = Resume();
    EXPECT_EQ(TargetStatementsStartingWith("ALTER TABLE child ADD "),
              (std::vector<std::string>{"ALTER TABLE child ADD DEFAULT 1 FOR qty", "ALTER TABLE child ADD CHECK (qty > 0)"}));
    EXPECT_TRUE(report.failures.empty()) << ::testing::PrintToString(report.failures);
}

TEST_F(ResumeObjectsTest, AfterAStopNothingMoreIsCreatedAndEveryObjectIsListed) {
    context_.options.resume = false;
    MainWindowModel* main = main_.get();
    target_->FailWhen([main](const std::string& s) {
        if (Starts(s, "CREATE TABLE child")) main->SetControllerState(ControllerState::StopRequested);
        return false;
    }, "");
    std::vector<TableReport> reported;
    context_.tablesConverted = [&](const std::vector<TableReport>& tables) { reported = tables; };
    EXPECT_FALSE(RunDatabaseTask(context_));
    const std::vector<std::string> statements = target_->Statements();
    for (const std::string& s : statements) {
        EXPECT_FALSE(Starts(s, "CREATE TABLE other") || Starts(s, "CREATE TABLE parent") || Holds(s, "FOREIGN KEY") ||
                     Starts(s, "CREATE TRIGGER"))
            << s;
    }
    const struct {
        std::string kind, name, outcome;
    } expected[] = {
        {"table", "audit", "migrated"},         {"table", "child", "stopped"},
        {"table", "other", "not started"},
        {"table", "parent", "not started"},     {"foreign key", "child.fk_p", "not started"},
        {"foreign key", "child.fk_o", "not started"}, {"trigger", "child_audit", "not started"},
        {"database", database_, "stopped"},
    };
    for (const auto& e : expected) {
        const TableReport* found = nullptr;
        for (const TableReport& entry : reported) found = entry.kind == e.kind && entry.name == e.name ? &entry : found;
        ASSERT_NE(found, nullptr) << e.kind << " " << e.name;
        EXPECT_EQ(ObjectOutcome(*found), e.outcome) << e.kind << " " << e.name;
    }
    std::string reason;
    ObjectOutcome(reported.back(), &reason);
    EXPECT_EQ(reason, "a stop request ended the run: 1 done, 1 stopped, 5 not started; a resumed migration completes it");
}

// A database this run created and could not go on in is dropped again; a name the target cannot
// be connected to is refused before anything is created.
TEST_F(ResumeObjectsTest, ACloneThatCannotGoOnLeavesNoDatabaseBehind) {
    const struct {
        TargetKind kind;
        std::string name;
        std::vector<std::string> statements;
        std::string line;
    } cases[] = {
        {TargetKind::SqlServer, "fresh", {"create database fresh COLLATE Latin1_General_CI_AI;", "use fresh;", "use master;", "drop database fresh;"},
         "The database [fresh] that this run created was dropped again."},
        {TargetKind::Babelfish, "a]b", {}, "Create Target Database [a]b] refused: it holds \"]\", and this target is "
                                            "connected to its database by name, which such a name cannot be"},
    };
    for (const auto& c : cases) {
        target_->ClearStatements();
        context_.targetKind = c.kind;
        context_.targetDatabase = c.name;
        target_->FailOn("use fresh;", "Database 'fresh' is not online.");
        DeclareInvalid("use fresh;");
        EXPECT_FALSE(RunCloneDatabaseTask(context_)) << c.name;
        EXPECT_EQ(target_->Statements(), c.statements) << c.name;
        const std::vector<std::string> messages = Messages();
        EXPECT_NE(std::find(messages.begin(), messages.end(), c.line), messages.end()) << c.name;
    }
}

}  // namespace
}  // namespace velmora::test
