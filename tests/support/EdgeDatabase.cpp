#include "support/EdgeDatabase.h"

namespace velmora::test {

std::string LiveEdgeDatabaseDdl(int bigRows) {
    std::string ddl = R"SQL(
SET SESSION sql_mode = '';
CREATE TABLE limits (
  id bigint unsigned NOT NULL AUTO_INCREMENT,
  ti tinyint, tiu tinyint unsigned, si smallint, siu smallint unsigned,
  mi mediumint, miu mediumint unsigned, i int, iu int unsigned, bi bigint, biu bigint unsigned,
  d65 decimal(65,30), d10 decimal(10,2), f float, dbl double,
  b1 bit(1), b13 bit(13), b64 bit(64), y year,
  dt datetime(6), ts timestamp(6) NULL DEFAULT NULL, dte date, tm time(6),
  j json, e enum('a','b','c d'), st set('x','y','z'), g geometry, pt point,
  c char(10), vc varchar(300), tx text, bl blob, vb varbinary(100),
  PRIMARY KEY (id)
) ENGINE=InnoDB AUTO_INCREMENT=18446744073709551 DEFAULT CHARSET=utf8mb4;
INSERT INTO limits VALUES
 (1, -128, 0, -32768, 0, -8388608, 0, -2147483648, 0, -9223372036854775808, 0,
  '-99999999999999999999999999999999999.999999999999999999999999999999', -99999999.99, -3.40282e38, -1.7976931348623157e308,
  b'0', b'0', b'0', 1901, '1000-01-01 00:00:00.000000', '1970-01-01 00:00:01.000000', '1000-01-01', '00:00:00.000000',
  '[]', 'a', '', ST_GeomFromText('POINT(0 0)'), ST_GeomFromText('POINT(-180 -90)'),
  '', '', '', '', ''),
 (2, 127, 255, 32767, 65535, 8388607, 16777215, 2147483647, 4294967295, 9223372036854775807, 18446744073709551615,
  '99999999999999999999999999999999999.999999999999999999999999999999', 99999999.99, 3.40282e38, 1.7976931348623157e308,
  b'1', b'1111111111111', b'1111111111111111111111111111111111111111111111111111111111111111', 2155,
  '9999-12-31 23:59:59.999999', '2038-01-19 03:14:07.999999', '9999-12-31', '23:59:59.999999',
  '{"k": [1, "ü", null], "n": 1.5}', 'c d', 'x,y,z', ST_GeomFromText('LINESTRING(0 0, 1 1, 2 3)'), ST_GeomFromText('POINT(180 90)'),
  'zehn zeich', REPEAT('ü', 300), 'Ünïcödé 日本語 😀', UNHEX('00FF00'), UNHEX('0001020300')),
 (3, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL,
  NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL,
  NULL, NULL, NULL, NULL, NULL),
 (4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, b'0', b'0', b'0', 0,
  '0000-00-00 00:00:00', NULL, '0000-00-00', '00:00:00', 'null', '', '', NULL, NULL,
  'a''b', 'x]y', 'tab	and
newline', '', '');

-- times beyond a day: Full keeps time(n), whose rows outside 00:00..24:00 fail with the reason
CREATE TABLE durations (
  id int NOT NULL,
  took time NOT NULL,
  PRIMARY KEY (id)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;
INSERT INTO durations VALUES (1, '12:00:00'), (2, '838:59:59'), (3, '-00:00:01');

-- the usual set-up of a well-known wiki engine: every text column binary
CREATE TABLE categorylinks (
  cl_from int unsigned NOT NULL DEFAULT 0,
  cl_to varbinary(255) NOT NULL DEFAULT '',
  cl_sortkey varbinary(230) NOT NULL DEFAULT '',
  cl_type enum('page','subcat','file') NOT NULL DEFAULT 'page',
  cl_flags set('hidden','tracking') NOT NULL DEFAULT '',
  cl_title varchar(255) NOT NULL DEFAULT '',
  PRIMARY KEY (cl_from, cl_to),
  KEY cl_sortkey (cl_to, cl_type, cl_sortkey, cl_from)
) ENGINE=InnoDB DEFAULT CHARSET=binary;
INSERT INTO categorylinks VALUES (1, 'Main', 'MAIN', 'page', '', 'Main'),
  (2, 'Sub', 'SUB', 'subcat', 'hidden,tracking', 'Über'), (3, 'File', 'FILE', 'file', 'tracking', '');

CREATE TABLE gaps (
  id int NOT NULL AUTO_INCREMENT,
  v varchar(10) NOT NULL,
  PRIMARY KEY (id)
) ENGINE=InnoDB AUTO_INCREMENT=500 DEFAULT CHARSET=utf8mb4;
INSERT INTO gaps (id, v) VALUES (1, 'one'), (2, 'two'), (7, 'seven');
ALTER TABLE gaps AUTO_INCREMENT = 500;

CREATE TABLE nothing_here (
  id int NOT NULL AUTO_INCREMENT,
  v varchar(10),
  PRIMARY KEY (id)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

CREATE TABLE longs (
  id int NOT NULL,
  t longtext,
  b longblob,
  n varchar(5000),
  PRIMARY KEY (id)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;
INSERT INTO longs VALUES (1, REPEAT('ä€😀', 9000), REPEAT(UNHEX('00FF7F80'), 6000), REPEAT('n', 5000)),
  (2, NULL, NULL, NULL), (3, '', '', '');

CREATE TABLE parents (
  id bigint unsigned NOT NULL AUTO_INCREMENT,
  label varchar(20) NOT NULL,
  PRIMARY KEY (id)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;
INSERT INTO parents (id, label) VALUES (1, 'first'), (9223372036854775000, 'near the top');
CREATE TABLE children (
  id int NOT NULL AUTO_INCREMENT,
  parent_id bigint unsigned NOT NULL,
  PRIMARY KEY (id),
  CONSTRAINT fk_children_parent FOREIGN KEY (parent_id) REFERENCES parents (id)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;
INSERT INTO children (parent_id) VALUES (1), (9223372036854775000);

CREATE TABLE `odd names` (
  `key` int NOT NULL,
  `we]ird` varchar(10),
  `it's` varchar(10),
  `raw` varchar(10),
  `select` int,
  `größe` varchar(10),
  PRIMARY KEY (`key`)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;
INSERT INTO `odd names` VALUES (1, ']', '''', 'raw', 1, 'groß'), (2, NULL, NULL, NULL, NULL, NULL);
CREATE TABLE `größen` (
  id int NOT NULL,
  `ma]ße` varchar(10),
  PRIMARY KEY (id)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;
INSERT INTO `größen` VALUES (1, 'XL');

CREATE VIEW `odd view` AS SELECT `key`, `raw`, `größe` FROM `odd names`;
CREATE VIEW parent_children AS
  SELECT p.id, p.label, COUNT(c.id) AS children FROM parents p LEFT JOIN children c ON c.parent_id = p.id
  GROUP BY p.id, p.label;

CREATE TABLE big (
  id int NOT NULL AUTO_INCREMENT,
  name varchar(40) NOT NULL,
  amount decimal(12,2) NOT NULL,
  noted datetime NOT NULL,
  PRIMARY KEY (id)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;
INSERT INTO big (name, amount, noted)
  SELECT CONCAT('row ', seq), seq / 100, '2026-01-01' + INTERVAL seq SECOND FROM seq_1_to_)SQL";
    ddl += std::to_string(bigRows) + ";\n";
    return ddl;
}

}  // namespace velmora::test
