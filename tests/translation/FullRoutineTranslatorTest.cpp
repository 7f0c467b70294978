// FullRoutineTranslator: procedures and functions as SHOW CREATE prints them. Every translation
// is parsed by the T-SQL grammar oracle; the tricky cases (cursor loops with their NOT FOUND
// handler, labels with LEAVE and ITERATE, handlers, OUT parameters, SELECT ... INTO) are pinned
// by their exact text or by the lines that carry their meaning; the refused constructs are named;
// and no input, cut short or made of random tokens, crashes the translation.
#include <gtest/gtest.h>

#include <random>

#include "translation/FullRoutineTranslator.h"
#include "support/TsqlOracle.h"

namespace velmora {
namespace {

std::string Procedure(const std::string& body, const std::string& parameters = "IN a INT, OUT b INT") {
    return "CREATE DEFINER=`root`@`localhost` PROCEDURE `p`(" + parameters + ")\nBEGIN\n" + body + "\nEND";
}

std::string Function(const std::string& body, const std::string& characteristics = "DETERMINISTIC") {
    return "CREATE DEFINER=`root`@`localhost` FUNCTION `f`(x INT) RETURNS int(11)\n    " + characteristics + "\nBEGIN\n" + body + "\nEND";
}

RoutineContext Shop() {
    RoutineContext context;
    context.names = {"shop", ""};
    context.routines = {{"other_proc", RoutineKind::Procedure, {"in", "out"}, {"int", "varchar(10)"}},
                        {"tax", RoutineKind::Function, {"in"}, {"decimal(10,2)"}}};
    return context;
}

std::string Joined(const FullRoutineTranslation& out) {
    std::string text;
    for (const auto& statement : out.statements) text += statement + "\n";
    return text;
}

TEST(TranslateRoutineFull, CursorLoopWithNotFoundHandlerBecomesAFetchLoop) {
    const FullRoutineTranslation out = TranslateRoutineFull(Procedure(
        "  DECLARE done INT DEFAULT FALSE;\n"
        "  DECLARE v INT;\n"
        "  DECLARE cur CURSOR FOR SELECT id FROM items WHERE qty < a;\n"
        "  DECLARE CONTINUE HANDLER FOR NOT FOUND SET done = TRUE;\n"
        "  SET b = 0;\n"
        "  OPEN cur;\n"
        "  read_loop: LOOP\n"
        "    FETCH cur INTO v;\n"
        "    IF done THEN LEAVE read_loop; END IF;\n"
        "    SET b = b + v;\n"
        "  END LOOP;\n"
        "  CLOSE cur;"), Shop());
    ASSERT_TRUE(out.ok()) << out.untranslatable;
    ASSERT_EQ(out.statements.size(), 1u);
    EXPECT_EQ(out.statements[0],
              "CREATE PROCEDURE p\n"
              "    @a int,\n"
              "    @b int OUTPUT\n"
              "AS\n"
              "BEGIN\n"
              "    SET NOCOUNT ON;\n"
              "    SET @b = NULL;\n"
              "    BEGIN\n"
              "        DECLARE @done int = 0;\n"
              "        DECLARE @v int = NULL;\n"
              "        DECLARE @cur CURSOR;\n"
              "        SET @b = 0;\n"
              "        SET @cur = CURSOR FAST_FORWARD FOR SELECT id FROM items WHERE qty < @a;\n"
              "        OPEN @cur;\n"
              "        WHILE 1 = 1\n"
              "        BEGIN\n"
              "            FETCH NEXT FROM @cur INTO @v;\n"
              "            IF @@FETCH_STATUS <> 0\n"
              "            BEGIN\n"
              "                SET @done = 1;\n"
              "            END\n"
              "            IF @done <> 0\n"
              "            BEGIN\n"
              "                BREAK;\n"
              "            END\n"
              "            SET @b = @b + @v;\n"
              "        END\n"
              "        CLOSE @cur;\n"
              "        DEALLOCATE @cur;\n"
              "    END\n"
              "END");
    EXPECT_EQ(out.references, std::vector<std::string>{"items"});
    EXPECT_EQ(test::DescribeTsqlProblems(out.statements[0]), "");
}

// Statements whose translation must hold these lines (in this order), and parse.
struct RoutineCase {
    std::string name;
    std::string text;
    std::vector<std::string> lines;
};

class RoutineTranslates : public ::testing::TestWithParam<RoutineCase> {};

TEST_P(RoutineTranslates, ToStatementsThatSayTheSameAndParse) {
    const FullRoutineTranslation out = TranslateRoutineFull(GetParam().text, Shop());
    ASSERT_TRUE(out.ok()) << out.untranslatable;
    const std::string text = Joined(out);
    std::size_t at = 0;
    for (const auto& line : GetParam().lines) {
        const std::size_t found = text.find(line, at);
        ASSERT_NE(found, std::string::npos) << "missing (in order): " << line << "\n" << text;
        at = found + line.size();
    }
    for (const auto& statement : out.statements) EXPECT_EQ(test::DescribeTsqlProblems(statement), "");
}

INSTANTIATE_TEST_SUITE_P(Labels, RoutineTranslates, ::testing::Values(
    // LEAVE and ITERATE of an outer loop from an inner one: T-SQL's BREAK and CONTINUE reach only the innermost.
    RoutineCase{"OuterLoopJumps", Procedure(
        "DECLARE i INT DEFAULT 0;\n"
        "outer_loop: WHILE i < 5 DO\n"
        "  SET i = i + 1;\n"
        "  REPEAT\n"
        "    SET b = b + 1;\n"
        "    IF b > 50 THEN LEAVE outer_loop; END IF;\n"
        "    IF b % 2 = 0 THEN ITERATE outer_loop; END IF;\n"
        "  UNTIL b > 10 END REPEAT;\n"
        "END WHILE outer_loop;"),
        {"outer_loop_start:\n        WHILE @i < 5", "WHILE 1 = 1", "GOTO outer_loop_end;", "GOTO outer_loop_start;",
         "IF @b > 10 BREAK;", "outer_loop_end:"}},
    RoutineCase{"InnermostLoopJumps", Procedure("l: LOOP SET b = b + 1; IF b > 3 THEN LEAVE l; END IF; ITERATE l; END LOOP l;"),
                {"WHILE 1 = 1", "BREAK;", "CONTINUE;"}},
    RoutineCase{"LeaveABlock", Procedure("blk: BEGIN IF a = 1 THEN LEAVE blk; END IF; SET b = 1; END blk; SET b = 2;"),
                {"GOTO blk_end;", "SET @b = 1;", "blk_end:", "SET @b = 2;"}},
    RoutineCase{"CaseWithoutElseFailsWhenNothingMatches", Procedure("CASE a WHEN 1 THEN SET b = 10; WHEN 2 THEN SET b = 20; END CASE;"),
                {"IF @a = 1", "ELSE IF @a = 2", "ELSE\n            THROW 50000, N'Case not found for CASE statement', 1;"}}));

INSTANTIATE_TEST_SUITE_P(Handlers, RoutineTranslates, ::testing::Values(
    // EXIT for SQLEXCEPTION: one TRY around the rest of the block; RESIGNAL throws the error again.
    RoutineCase{"ExitHandlerAroundTheBlock", Procedure(
        "DECLARE EXIT HANDLER FOR SQLEXCEPTION BEGIN ROLLBACK; RESIGNAL; END;\n"
        "START TRANSACTION;\n"
        "UPDATE accounts SET balance = balance - 5 WHERE id = a;\n"
        "COMMIT;"),
        {"BEGIN TRY", "BEGIN TRANSACTION;", "UPDATE accounts SET balance = balance - 5 WHERE id = @a;",
         "IF @@TRANCOUNT > 0 COMMIT TRANSACTION;", "END TRY", "BEGIN CATCH", "IF @@TRANCOUNT > 0 ROLLBACK TRANSACTION;",
         "THROW;", "END CATCH"}},
    // CONTINUE for a duplicate key: the failing statement alone is skipped; other errors go on.
    RoutineCase{"ContinueHandlerForADuplicateKey", Procedure(
        "DECLARE CONTINUE HANDLER FOR 1062 SET b = -1;\n"
        "SET b = 0;\n"
        "INSERT INTO t (id) VALUES (a);\n"
        "SET b = b + 1;"),
        {"SET @b = 0;", "BEGIN TRY\n            INSERT INTO t (id) VALUES (@a);", "IF ERROR_NUMBER() IN (2627, 2601)",
         "SET @b = -1;", "ELSE\n                THROW;", "END CATCH\n        SET @b = @b + 1;"}},
    // An EXIT handler beside a CONTINUE one: each statement is wrapped; EXIT leaves the block.
    RoutineCase{"ExitAndContinueTogether", Procedure(
        "b1: BEGIN\n"
        "  DECLARE CONTINUE HANDLER FOR SQLSTATE '23000' SET b = 1;\n"
        "  DECLARE EXIT HANDLER FOR SQLEXCEPTION SET b = 2;\n"
        "  INSERT INTO t (id) VALUES (a);\n"
        "END b1;\n"
        "SET b = b + 10;"),
        {"IF ERROR_NUMBER() IN (2627, 2601, 547, 515)", "SET @b = 1;", "ELSE", "SET @b = 2;", "GOTO b1_end;", "b1_end:",
         "SET @b = @b + 10;"}},
    RoutineCase{"NamedConditionAndSignal", Procedure(
        "DECLARE out_of_stock CONDITION FOR SQLSTATE '45000';\n"
        "DECLARE EXIT HANDLER FOR out_of_stock SET b = -1;\n"
        "IF a < 0 THEN SIGNAL out_of_stock SET MESSAGE_TEXT = 'out of stock'; END IF;"),
        {"BEGIN TRY", "THROW 50000, N'out of stock', 1;", "BEGIN CATCH", "IF ERROR_NUMBER() IN (50000)", "SET @b = -1;",
         "ELSE\n                THROW;"}},
    RoutineCase{"SignalWithAComputedMessage", Procedure("SIGNAL SQLSTATE '45000' SET MESSAGE_TEXT = CONCAT('bad ', a);"),
                {"DECLARE @sys_message nvarchar(2048);", "SET @sys_message = CASE WHEN @a IS NULL THEN NULL ELSE CONCAT(N'bad ', @a) END;",
                 "THROW 50000, @sys_message, 1;"}}));

INSTANTIATE_TEST_SUITE_P(Statements, RoutineTranslates, ::testing::Values(
    // SELECT ... INTO: more than one row is an error, none raises NOT FOUND, as in MySQL.
    RoutineCase{"SelectInto", Procedure(
        "DECLARE n INT; DECLARE CONTINUE HANDLER FOR NOT FOUND SET b = -1;\n"
        "SELECT qty INTO n FROM orders o WHERE o.client = a LIMIT 1;"),
        {"SELECT @n = selected.c1 FROM (SELECT TOP (1) qty AS c1 FROM orders AS o WHERE o.client = @a) AS selected;",
         "SET @sys_rows = @@ROWCOUNT;", "IF @sys_rows > 1 THROW 50000, N'Result consisted of more than one row', 1;",
         "IF @sys_rows = 0", "SET @b = -1;"}},
    RoutineCase{"RowCountIsCapturedAfterTheStatement", Procedure(
        "UPDATE t SET x = x + 1 WHERE y = a; SET b = ROW_COUNT(); INSERT INTO log (id) VALUES (LAST_INSERT_ID());"),
        {"DECLARE @sys_row_count int = -1;", "UPDATE t SET x = x + 1 WHERE y = @a;", "SET @sys_row_count = @@ROWCOUNT;",
         "SET @b = @sys_row_count;", "INSERT INTO log (id) VALUES (SCOPE_IDENTITY());"}},
    RoutineCase{"CallPassesOutParametersAsOutput", Procedure("DECLARE s VARCHAR(10); CALL other_proc(a + 1, s); CALL other_proc(5, s);"),
                {"DECLARE @argument int = @a + 1;", "EXEC other_proc @argument, @s OUTPUT;", "EXEC other_proc 5, @s OUTPUT;"}},
    RoutineCase{"UpdateOverAJoin", Procedure("UPDATE orders o JOIN clients c ON c.id = o.client SET o.total = o.total * 2 WHERE c.vip = 1;"),
                {"UPDATE o SET total = o.total * 2 FROM orders AS o INNER JOIN clients AS c ON c.id = o.client WHERE c.vip = 1;"}},
    RoutineCase{"DeleteWithLimit", Procedure("DELETE FROM log WHERE at < a LIMIT 100;"), {"DELETE TOP (100) FROM log WHERE at < @a;"}},
    RoutineCase{"TemporaryTables", Procedure(
        "CREATE TEMPORARY TABLE tmp (id INT NOT NULL, PRIMARY KEY (id));\n"
        "INSERT INTO tmp SELECT id FROM orders;\n"
        "SELECT COUNT(*) INTO b FROM tmp;\n"
        "DROP TEMPORARY TABLE IF EXISTS tmp;"),
        {"CREATE TABLE [#tmp] (", "INSERT INTO [#tmp] SELECT id FROM orders;", "FROM [#tmp]) AS selected;",
         "IF OBJECT_ID(N'tempdb..[#tmp]') IS NOT NULL DROP TABLE [#tmp];"}},
    // User variables: variables of the routine; one read before it is set starts with the session's
    // value, and each assignment goes back to the session.
    RoutineCase{"UserVariablesGoThroughTheSession", Procedure("SET @n = a + 1; SET b = @n + @session_counter;"),
                {"DECLARE @n nvarchar(4000);",
                 "DECLARE @session_counter nvarchar(4000) = CAST(SESSION_CONTEXT(N'session_counter') AS nvarchar(4000));",
                 "SET @n = @a + 1;", "EXEC sp_set_session_context N'n', @n;", "SET @b = @n + @session_counter;"}},
    // A plain DROP TABLE of the routine's temporary table drops it, as in MySQL.
    RoutineCase{"PlainDropOfATemporaryTable", Procedure(
        "CREATE TEMPORARY TABLE tmpCustomer (id INT NOT NULL PRIMARY KEY); DROP TABLE tmpCustomer;"),
        {"CREATE TABLE [#tmpCustomer] (", "DROP TABLE [#tmpCustomer];"}},
    RoutineCase{"DynamicSql", Procedure(
        "SET @s = CONCAT('DELETE FROM ', 'log'); PREPARE st FROM @s; EXECUTE st; DEALLOCATE PREPARE st;\n"
        "PREPARE q FROM 'SELECT COUNT(*) FROM orders'; EXECUTE q;"),
        {"DECLARE @s nvarchar(max);", "SET @s = CONCAT(N'DELETE FROM ', N'log');", "SET @statement_st = @s;",
         "EXEC sp_executesql @statement_st;", "SET @statement_st = NULL;", "SET @statement_q = N'SELECT COUNT(*) FROM orders;';",
         "EXEC sp_executesql @statement_q;"}},
    // A variable of an inner block with the name of an outer one is another variable.
    RoutineCase{"ShadowedVariables", Procedure("DECLARE v INT DEFAULT 1; BEGIN DECLARE v INT DEFAULT 2; SET b = v; END; SET b = b + v;"),
                {"DECLARE @v int = 1;", "DECLARE @v_2 int = 2;", "SET @b = @v_2;", "SET @b = @b + @v;"}}));

INSTANTIATE_TEST_SUITE_P(Scopes, RoutineTranslates, ::testing::Values(
    // A handler's own statement runs without the handlers of its block: its INSERT is not wrapped again.
    RoutineCase{"HandlerBodyIsNotCaughtByItself", Procedure(
        "DECLARE CONTINUE HANDLER FOR SQLEXCEPTION INSERT INTO errors (at) VALUES (NOW());\n"
        "INSERT INTO t (id) VALUES (a);"),
        {"BEGIN TRY\n            INSERT INTO t (id) VALUES (@a);\n        END TRY\n        BEGIN CATCH\n            BEGIN\n"
         "                INSERT INTO errors (at) VALUES (CAST(SYSDATETIME() AS datetime2(0)));\n            END\n        END CATCH"}},
    // An inner block's handler is tried first; what it does not name goes to the outer block's TRY.
    RoutineCase{"InnerHandlersComeFirst", Procedure(
        "DECLARE EXIT HANDLER FOR SQLEXCEPTION SET b = -1;\n"
        "BEGIN DECLARE CONTINUE HANDLER FOR 1062 SET b = 1; INSERT INTO t (id) VALUES (a); END;"),
        {"BEGIN TRY", "BEGIN TRY\n                    INSERT INTO t (id) VALUES (@a);", "IF ERROR_NUMBER() IN (2627, 2601)",
         "ELSE\n                        THROW;", "BEGIN CATCH\n            BEGIN\n                SET @b = -1;"}},
    // EXIT for NOT FOUND leaves the block where it is declared.
    RoutineCase{"ExitNotFoundLeavesTheBlock", Procedure(
        "lookup: BEGIN DECLARE EXIT HANDLER FOR NOT FOUND SET b = 0; SELECT qty INTO b FROM items WHERE id = a; SET b = b * 2; END lookup;"),
        {"SET @sys_rows = @@ROWCOUNT;", "IF @sys_rows = 0", "SET @b = 0;", "GOTO lookup_end;", "SET @b = @b * 2;", "lookup_end:"}},
    RoutineCase{"ResignalWithANewMessage", Procedure(
        "DECLARE EXIT HANDLER FOR SQLEXCEPTION RESIGNAL SET MESSAGE_TEXT = 'transfer failed'; UPDATE t SET x = 1;"),
        {"BEGIN CATCH", "THROW 50000, N'transfer failed', 1;"}},
    RoutineCase{"EndLabelsAndNotAtomic", Procedure("b1: BEGIN NOT ATOMIC l1: LOOP LEAVE b1; END LOOP l1; END b1;"),
                {"WHILE 1 = 1", "GOTO b1_end;", "b1_end:"}},
    RoutineCase{"TemporaryTableFromAQuery", Procedure(
        "CREATE TEMPORARY TABLE IF NOT EXISTS big SELECT id, qty FROM items WHERE qty > a; SELECT COUNT(*) FROM big;"),
        {"IF OBJECT_ID(N'tempdb..[#big]') IS NULL SELECT * INTO [#big] FROM (SELECT id, qty FROM items WHERE qty > @a) AS selected;",
         "SELECT COUNT(*) FROM [#big];"}}));

INSTANTIATE_TEST_SUITE_P(Functions, RoutineTranslates, ::testing::Values(
    RoutineCase{"ReturnsThroughBranches", Function("DECLARE r INT DEFAULT 0; SELECT SUM(qty) INTO r FROM items WHERE kind = x; "
                                                   "IF r > 10 THEN RETURN r * 2; END IF; RETURN tax(r);"),
                {"CREATE FUNCTION dbo.f(@x int)\nRETURNS int\nAS\nBEGIN\n", "    DECLARE @r int = 0;", "SET @sys_rows = @@ROWCOUNT;",
                 "IF @sys_rows > 1 SET @sys_fail = CAST(N'Result consisted of more than one row' AS int);",
                 "RETURN @r * 2;", "    RETURN dbo.tax(@r);\nEND\n"}},
    RoutineCase{"EndsWithoutReturnFailsAsMySqlDoes", Function("IF x > 0 THEN RETURN 1; END IF;"),
                {"RETURN 1;", "SET @sys_fail = CAST(N'FUNCTION f ended without RETURN' AS int);", "RETURN NULL;"}},
    RoutineCase{"SignalInAFunctionFailsThroughAConversion",
                Function("IF x < 0 THEN SIGNAL SQLSTATE '45000' SET MESSAGE_TEXT = 'negative'; END IF; RETURN x;"),
                {"IF @x < 0", "SET @sys_fail = CAST(N'negative' AS int);", "RETURN @x;\nEND"}},
    RoutineCase{"SingleStatementBody", "CREATE FUNCTION `g`(a INT, b INT) RETURNS int DETERMINISTIC RETURN a * b + 1",
                {"CREATE FUNCTION dbo.g(@a int, @b int)\nRETURNS int\nAS\nBEGIN\n    RETURN (@a * @b) + 1;\nEND"}}));

TEST(TranslateRoutineFull, RefusesWhatTSqlCannotSayWithTheSameMeaning) {
    const struct {
        std::string text;
        std::string construct;
    } cases[] = {
        {Function("INSERT INTO log (x) VALUES (x); RETURN 1;"),
         "INSERT in a function (a T-SQL function cannot change data or call procedures)"},
        {Function("CALL other_proc(1, @x); RETURN 1;"), "CALL in a function (a T-SQL function cannot change data or call procedures)"},
        {Function("RETURN RAND() * x;", "NOT DETERMINISTIC"),
         "rand() in a function (T-SQL forbids non-deterministic and side-effecting built-ins there)"},
        {Function("DECLARE EXIT HANDLER FOR SQLEXCEPTION RETURN 0; RETURN 1 / x;"),
         "handler for errors in a function (T-SQL allows no TRY ... CATCH there)"},
        {Procedure("DECLARE CONTINUE HANDLER FOR SQLWARNING SET b = 1; SET b = 2;"), "handler for SQLWARNING (T-SQL raises no warnings)"},
        {Procedure("DECLARE EXIT HANDLER FOR 1234 SET b = 1; SET b = 2;"), "handler for error 1234"},
        {Procedure("SET @@sql_mode = '';"), "SET of system variable @@sql_mode"},
        {Procedure("INSERT INTO t (id) VALUES (a) ON DUPLICATE KEY UPDATE id = id + 1;"), "INSERT ... ON DUPLICATE KEY UPDATE"},
        {Procedure("INSERT IGNORE INTO t (id) VALUES (a);"), "INSERT IGNORE"},
        {Procedure("UPDATE t SET x = x + 1, y = x WHERE id = a;"),
         "UPDATE whose assignment reads a column it set before (MySQL reads the new value, T-SQL the old)"},
        {Procedure("CALL unknown_proc(b);"), "CALL of unknown_proc with a variable argument (its parameters are not known)"},
        {Procedure("LOCK TABLES t WRITE;"), "statement LOCK TABLES"},
        {Procedure("SELECT * FROM t INTO OUTFILE '/tmp/x';"), "SELECT ... INTO OUTFILE"},
        {Procedure("PREPARE s FROM 'SELECT * FROM t WHERE id = ?'; EXECUTE s USING @a;"),
         "the prepared statement's text: unreadable text (unexpected character '?' at offset 54)"},
        {Procedure("CREATE TABLE t (id INT);"), "CREATE TABLE in a routine"},
        {Procedure("DROP TABLE t;"), "DROP TABLE t (not a temporary table of the routine)"},
        {Procedure("SET b = x;"), ""},  // an unknown bare name is a column: translated, and the server decides
        {Function("SIGNAL SQLSTATE '45000' SET MESSAGE_TEXT = CONCAT('bad ', x); RETURN 1;"), "SIGNAL with a computed message in a function"},
        {Procedure("RESIGNAL;"), "RESIGNAL outside an error handler"},
        {Procedure("SIGNAL SQLSTATE '01000';"), "SIGNAL of a warning or NOT FOUND (SQLSTATE 01000)"},
        {Procedure("l: LOOP ITERATE m; END LOOP;"), "LEAVE or ITERATE of an unknown label m"},
        {Procedure("b1: BEGIN ITERATE b1; END b1;"), "ITERATE of a block that is no loop"},
        {Procedure("DECLARE c CURSOR FOR SELECT 1; OPEN d;"), "unknown cursor d"},
        {Procedure("UPDATE a JOIN c ON a.id = c.id SET a.x = 1, c.y = 2;"), "UPDATE of several tables"},
        {Procedure("DECLARE v TYPE OF t.a; SET v = 1;"), "TYPE OF (a type taken from a table)"},
        {"CREATE PROCEDURE p AS BEGIN NULL; END", "a routine in Oracle mode (AS or IS before the body)"},
        {"CREATE EVENT e ON SCHEDULE EVERY 1 DAY DO DELETE FROM log", "event"},
        {"CREATE AGGREGATE FUNCTION agg(x INT) RETURNS INT BEGIN RETURN 1; END", "aggregate function"},
        {"", "unreadable text (expected create at the end)"},
    };
    for (const auto& c : cases) {
        const FullRoutineTranslation out = TranslateRoutineFull(c.text, Shop());
        EXPECT_EQ(out.untranslatable, c.construct) << c.text;
        if (out.ok()) {
            EXPECT_FALSE(out.statements.empty()) << c.text;
        }
    }
}

// Blocks nested deep (as MariaDB's parser tests write them): each stays a plain BEGIN ... END, the
// scopes of the outer blocks untouched by the inner ones; deeper than the limit is refused.
TEST(TranslateRoutineFull, DeeplyNestedBlocksStayPlainAndTooDeepIsRefused) {
    std::string nested, closing;
    for (int i = 0; i < 120; ++i) nested += "BEGIN ", closing += "END; ";
    const FullRoutineTranslation out = TranslateRoutineFull(Procedure(nested + "SELECT 1; " + closing), Shop());
    ASSERT_TRUE(out.ok()) << out.untranslatable;
    EXPECT_EQ(out.statements[0].find("TRY"), std::string::npos);
    EXPECT_EQ(test::DescribeTsqlProblems(out.statements[0]), "");
    std::string deeper, end;
    for (int i = 0; i < 400; ++i) deeper += "BEGIN ", end += "END; ";
    EXPECT_EQ(TranslateRoutineFull(Procedure(deeper + "SELECT 1; " + end), Shop()).untranslatable, "statements nested too deeply");
}

TEST(RoutineSignature, ReadsNameKindAndParameterModes) {
    const KnownRoutine procedure = RoutineSignature(Procedure("SET b = a;", "IN a INT, OUT b VARCHAR(10), INOUT c DECIMAL(5,2)"));
    EXPECT_EQ(procedure.name, "p");
    EXPECT_EQ(procedure.kind, RoutineKind::Procedure);
    EXPECT_EQ(procedure.parameterModes, (std::vector<std::string>{"in", "out", "inout"}));
    EXPECT_EQ(procedure.parameterTypes, (std::vector<std::string>{"int", "varchar(10)", "decimal(5,2)"}));
    const KnownRoutine function = RoutineSignature(Function("RETURN x;"));
    EXPECT_EQ(function.kind, RoutineKind::Function);
    EXPECT_EQ(function.parameterModes, std::vector<std::string>{"in"});
    EXPECT_EQ(RoutineSignature("CREATE TABLE t (a int)").name, "");
}

// Cut short anywhere, or made of random tokens, a text is refused or translated, never a crash;
// what is translated parses.
TEST(TranslateRoutineFull, BadInputIsRefusedWithoutCrashing) {
    const std::string texts[] = {
        Procedure("DECLARE done INT DEFAULT 0; DECLARE c CURSOR FOR SELECT id FROM t; DECLARE CONTINUE HANDLER FOR NOT FOUND "
                  "SET done = 1; OPEN c; l: LOOP FETCH c INTO b; IF done THEN LEAVE l; END IF; END LOOP; CLOSE c;"),
        Function("DECLARE r INT; CASE WHEN x > 1 THEN SET r = 1; ELSE SET r = 2; END CASE; RETURN r;")};
    for (const auto& text : texts) {
        for (std::size_t cut = 0; cut < text.size(); cut += 3) {
            const FullRoutineTranslation out = TranslateRoutineFull(text.substr(0, cut), Shop());
            EXPECT_TRUE(!out.ok() || !out.statements.empty()) << text.substr(0, cut);
        }
    }
    const std::vector<std::string> words = {"BEGIN", "END", "IF", "THEN", "ELSE", "LOOP", "LEAVE", "l", ":", ";", "(", ")", "SET",
                                            "x", "=", "1", "DECLARE", "HANDLER", "FOR", "WHILE", "DO", "REPEAT", "UNTIL", "CASE",
                                            "WHEN", "SELECT", "INTO", "FROM", "CURSOR", "FETCH", "'s'", "@u", "NEW.x", ","};
    std::mt19937 random(24);
    for (int round = 0; round < 400; ++round) {
        std::string text = "CREATE PROCEDURE p(x INT) BEGIN ";
        const int length = 1 + static_cast<int>(random() % 30);
        for (int i = 0; i < length; ++i) text += words[random() % words.size()] + " ";
        const FullRoutineTranslation out = TranslateRoutineFull(text, Shop());
        if (out.ok()) {
            EXPECT_EQ(test::DescribeTsqlProblems(out.statements[0]), "") << text;
        }
    }
}

}  // namespace
}  // namespace velmora
