// The forms a well-known sample database holds, proven by their rows on the live target: a view
// that joins DISTINCT values ordered by a key they do not list, each built by a GROUP_CONCAT of
// its own in a correlated subquery; LENGTH in bytes of latin1 and utf8mb4 text; columns of
// different collations in one expression or UNION column (latin1_bin with utf8mb4, _bin against
// _ci); a procedure that drops its temporary table with a plain DROP TABLE. The views' rows and
// the procedure's result must be MariaDB's.
#include <gtest/gtest.h>

#include <algorithm>

#include "live/LiveTarget.h"
#include "support/LocalMariaDb.h"
#include "support/SourceConnection.h"

namespace velmora {
namespace {

using Rows = std::vector<std::vector<std::string>>;

const char* const kFormsDdl = R"SQL(
CREATE TABLE categories (id int NOT NULL, name varchar(25) NOT NULL, PRIMARY KEY (id)) DEFAULT CHARSET=utf8mb4;
INSERT INTO categories VALUES (1, 'Drama'), (2, 'Comedy'), (3, 'Äction');
CREATE TABLE films (id int NOT NULL, title varchar(40) NOT NULL, PRIMARY KEY (id)) DEFAULT CHARSET=utf8mb4;
INSERT INTO films VALUES (1, 'Zebra Days'), (2, 'Apple Pie'), (3, 'Mango & <Ice>'), (4, 'Kite');
CREATE TABLE film_category (film_id int NOT NULL, category_id int NOT NULL, PRIMARY KEY (film_id, category_id));
INSERT INTO film_category VALUES (1, 1), (2, 1), (3, 2), (4, 3), (2, 2);
CREATE TABLE actors (id int NOT NULL, name varchar(30) NOT NULL, PRIMARY KEY (id)) DEFAULT CHARSET=utf8mb4;
INSERT INTO actors VALUES (1, 'Ann'), (2, 'Bo'), (3, 'Cy');
CREATE TABLE film_actor (actor_id int NOT NULL, film_id int NOT NULL, PRIMARY KEY (actor_id, film_id));
INSERT INTO film_actor VALUES (1, 1), (1, 2), (1, 3), (1, 4), (2, 2);
CREATE VIEW actor_info AS
  SELECT a.id, a.name,
    GROUP_CONCAT(DISTINCT CONCAT(c.name, ': ',
      (SELECT GROUP_CONCAT(f.title ORDER BY f.title SEPARATOR ', ') FROM films f
         JOIN film_category fc ON f.id = fc.film_id JOIN film_actor fa ON f.id = fa.film_id
       WHERE fc.category_id = c.id AND fa.actor_id = a.id)) ORDER BY c.name SEPARATOR '; ') AS film_info
  FROM actors a LEFT JOIN film_actor fa ON fa.actor_id = a.id LEFT JOIN film_category fc ON fc.film_id = fa.film_id
    LEFT JOIN categories c ON c.id = fc.category_id
  GROUP BY a.id, a.name;
CREATE TABLE words (id int NOT NULL, l varchar(20) CHARACTER SET latin1, u varchar(40), PRIMARY KEY (id)) DEFAULT CHARSET=utf8mb4;
INSERT INTO words VALUES (1, 'Müller', 'Ünïcödé 日本語 😀'), (2, '', ''), (3, NULL, NULL), (4, 'ab  ', 'ab  ');
CREATE VIEW word_lengths AS
  SELECT id, LENGTH(l) AS l_bytes, LENGTH(u) AS u_bytes, OCTET_LENGTH(CONCAT(u, '€')) AS expr_bytes FROM words;
CREATE TABLE codes (id int NOT NULL, code varchar(10) CHARACTER SET latin1 COLLATE latin1_bin, label varchar(20),
  b varchar(10) COLLATE utf8mb4_bin, PRIMARY KEY (id)) DEFAULT CHARSET=utf8mb4;
INSERT INTO codes VALUES (1, 'A1', 'Äpfel', 'c'), (2, 'b2', 'birne', 'C'), (3, NULL, 'c', 'Birne');
CREATE VIEW code_labels AS SELECT id, CONCAT(code, '-', label) AS code_label FROM codes;
CREATE VIEW same_letters AS SELECT a.id AS a_id, c.id AS c_id FROM codes a JOIN codes c ON a.b = c.label;
CREATE VIEW code_union AS SELECT code AS c FROM codes UNION SELECT label FROM codes;
DELIMITER //
CREATE PROCEDURE count_actor_films(IN actor int, OUT n int)
BEGIN
  CREATE TEMPORARY TABLE tmp_films (film_id int NOT NULL PRIMARY KEY);
  INSERT INTO tmp_films SELECT film_id FROM film_actor WHERE actor_id = actor;
  SELECT COUNT(*) INTO n FROM tmp_films;
  DROP TABLE tmp_films;
END//
DELIMITER ;
)SQL";

Rows Sorted(Rows rows) {
    std::sort(rows.begin(), rows.end());
    return rows;
}

class LiveSampleForms : public test::LiveCliFixture {};

TEST_F(LiveSampleForms, GroupConcatLengthAndTemporaryTablesGiveMariaDbsRows) {
    test::ScratchDatabase source("vlive_forms", kFormsDdl);
    test::LiveDatabase target("forms");
    const test::CliResult run = Live("migrate database " + source.name() + " " + target.name() + " --yes");
    EXPECT_EQ(run.exitCode, 0) << run.out.substr(run.out.size() > 6000 ? run.out.size() - 6000 : 0);
    auto connection = test::ConnectLiveTarget(target.name());
    ASSERT_NE(connection->session(), nullptr);
    Session& session = *connection->session();
    for (const std::string view : {"actor_info", "word_lengths", "code_labels", "same_letters", "code_union"}) {
        const Rows expected = Sorted(test::QueryRows("SELECT * FROM " + source.name() + "." + view));
        ASSERT_FALSE(expected.empty()) << view;
        EXPECT_EQ(Sorted(test::LiveQuery(session, "SELECT * FROM " + view)), expected) << view;
    }
    const Rows counted = test::QueryRows("USE " + source.name() + "; CALL count_actor_films(1, @n); SELECT @n");
    EXPECT_EQ(test::LiveQuery(session, "SET NOCOUNT ON; DECLARE @n int; EXEC count_actor_films 1, @n OUTPUT; SELECT @n"), counted);
}

// The verification proves every view by its rows: both views MATCH; a view changed by hand on the
// target so that it drops a row is named with that row; the count mode counts.
TEST_F(LiveSampleForms, VerificationComparesEveryViewByItsRows) {
    test::ScratchDatabase source("vlive_viewcheck", kFormsDdl);
    test::LiveDatabase target("viewcheck");
    const test::CliResult run = Live("migrate database " + source.name() + " " + target.name() + " --yes --verify full");
    EXPECT_EQ(run.exitCode, 0) << run.out.substr(run.out.size() > 6000 ? run.out.size() - 6000 : 0);
    EXPECT_NE(run.out.find("[actor_info] view verified (full): 3 source rows, 3 target rows, 0 missing, 0 extra: the views MATCH"),
              std::string::npos) << run.out;
    auto connection = test::ConnectLiveTarget(target.name());
    ASSERT_NE(connection->session(), nullptr);
    EXPECT_EQ(test::LiveExecute(*connection->session(), "DROP VIEW word_lengths"), "");
    EXPECT_EQ(test::LiveExecute(*connection->session(), "CREATE VIEW word_lengths AS SELECT id, 0 AS l_bytes, 0 AS u_bytes, 0 AS "
                                                        "expr_bytes FROM words WHERE id <> 2"), "");
    const test::CliResult full = Live("verify " + source.name() + " " + target.name() + " --verify full");
    EXPECT_NE(full.exitCode, 0);
    EXPECT_NE(full.out.find("[word_lengths] view verified (full): 4 source rows, 3 target rows, 4 missing, 3 extra: MISMATCH"),
              std::string::npos) << full.out;
    EXPECT_NE(full.out.find("[word_lengths]   a row only on the source: id='"), std::string::npos) << full.out;
    EXPECT_NE(full.out.find("[actor_info] view verified (full): 3 source rows, 3 target rows, 0 missing, 0 extra: the views MATCH"),
              std::string::npos) << full.out;
    const test::CliResult count = Live("verify " + source.name() + " " + target.name() + " --verify count");
    EXPECT_NE(count.out.find("[word_lengths] view verified (count): 4 source rows, 3 target rows, 1 missing, 0 extra: MISMATCH"),
              std::string::npos) << count.out;
}

}  // namespace
}  // namespace velmora
