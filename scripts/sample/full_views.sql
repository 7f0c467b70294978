-- The sample database `shop_views`: small tables with NULLs, mixed-case text, numbers and dates,
-- and views that use the MySQL constructs a view translation has to carry over: a view on a view
-- (named so that alphabetical order is wrong), string literals in mixed case, CONCAT over a NULL
-- column, GROUP_CONCAT with ORDER BY and SEPARATOR (and with DISTINCT), LIMIT, comparisons used
-- as values, names qualified with the database, IF/IFNULL, date and string functions, and views
-- that have no faithful T-SQL form (REGEXP, loose GROUP BY); grouping by a primary key with the
-- columns it determines, and CHAR values (without their trailing blanks in MySQL).
DROP DATABASE IF EXISTS shop_views;
CREATE DATABASE shop_views CHARACTER SET utf8mb4 COLLATE utf8mb4_general_ci;
USE shop_views;

CREATE TABLE clients (
  id int NOT NULL PRIMARY KEY,
  name varchar(50) NOT NULL,
  nickname varchar(50) DEFAULT NULL,
  homeCity varchar(50) DEFAULT NULL,
  born date DEFAULT NULL,
  joined datetime NOT NULL,
  score int DEFAULT NULL,
  balance decimal(10,2) DEFAULT NULL
) ENGINE=InnoDB;

INSERT INTO clients VALUES
  (1, 'Ada Lovelace', 'ada', 'London', '1815-12-10', '2025-01-05 09:30:00', 42, 100.50),
  (2, 'Grace Hopper', NULL, 'New York', '1906-12-09', '2025-02-28 23:59:59', 7, -20.25),
  (3, 'Zoë Ärger', 'Zoe', NULL, NULL, '2025-03-31 00:00:00', NULL, NULL),
  (4, 'alan TURING', 'Prof', 'Manchester', '1912-06-23', '2024-12-31 12:00:00', 15, 0.00),
  (5, 'Edsger Dijkstra', NULL, NULL, '1930-05-11', '2026-01-15 08:00:00', 3, 33.33);

CREATE TABLE purchases (
  id int NOT NULL PRIMARY KEY,
  client_id int NOT NULL,
  item varchar(50) NOT NULL,
  amount decimal(10,2) NOT NULL,
  quantity int NOT NULL,
  bought datetime NOT NULL,
  note varchar(100) DEFAULT NULL
) ENGINE=InnoDB;

INSERT INTO purchases VALUES
  (1, 1, 'Notebook', 12.50, 2, '2026-01-10 10:00:00', 'Gift Wrap'),
  (2, 1, 'pencil', 0.99, 10, '2026-01-31 18:45:00', NULL),
  (3, 1, 'Notebook', 12.50, 1, '2026-02-28 09:15:00', 'again'),
  (4, 2, 'Compiler', 99.00, 1, '2026-03-01 00:00:00', NULL),
  (5, 4, 'Enigma Manual', 45.00, 1, '2026-03-15 12:30:00', 'Rare'),
  (6, 4, 'pencil', 0.99, 3, '2026-03-16 13:00:00', NULL),
  (7, 2, 'Compiler', 99.00, 2, '2026-04-01 00:00:01', 'Second copy');

-- A view on a view: created after z_client_spend, which it selects from.
CREATE VIEW z_client_spend AS
  SELECT client_id, sum(amount * quantity) AS total, count(*) AS purchases
  FROM purchases GROUP BY client_id;
CREATE VIEW a_top_clients AS
  SELECT client_id, total FROM z_client_spend WHERE total > 50;

CREATE VIEW client_labels AS
  SELECT id, concat('Client: ', name) AS label, if(score > 10, 'High Scorer', 'Low') AS tier,
         ifnull(nickname, 'No Nickname') AS nick, nullif(homeCity, 'London') AS not_london
  FROM clients;

CREATE VIEW client_nicknames AS
  SELECT id, concat(name, ' aka ', nickname) AS full_label, concat_ws(', ', homeCity, nickname) AS parts
  FROM clients;

CREATE VIEW client_items AS
  SELECT client_id, group_concat(item ORDER BY item DESC, id SEPARATOR '; ') AS items
  FROM purchases GROUP BY client_id;

CREATE VIEW client_distinct_items AS
  SELECT client_id, group_concat(DISTINCT item ORDER BY item SEPARATOR ' | ') AS items
  FROM purchases GROUP BY client_id;

CREATE VIEW latest_purchases AS
  SELECT id, item, bought FROM purchases ORDER BY bought DESC, id LIMIT 3;

CREATE VIEW purchases_second_page AS
  SELECT id, item FROM purchases ORDER BY id LIMIT 2 OFFSET 2;

CREATE VIEW client_flags AS
  SELECT id, score > 10 AS high_score, balance >= 0 AS solvent, nickname IS NULL AS no_nick,
         nickname <=> 'ada' AS is_ada
  FROM clients;

CREATE VIEW qualified_purchases AS
  SELECT shop_views.purchases.id, shop_views.clients.name, shop_views.purchases.item
  FROM shop_views.purchases JOIN shop_views.clients ON shop_views.clients.id = shop_views.purchases.client_id
  WHERE shop_views.purchases.amount > 10;

CREATE VIEW purchase_dates AS
  SELECT id, year(bought) AS y, month(bought) AS m, day(bought) AS d,
         datediff(bought, '2026-01-01') AS days_in, date_add(bought, INTERVAL 7 DAY) AS due,
         date_sub(bought, INTERVAL 1 MONTH) AS month_before,
         timestampdiff(MONTH, '2026-01-31 12:00:00', bought) AS months_since
  FROM purchases;

CREATE VIEW purchase_formats AS
  SELECT id, date_format(bought, '%d.%m.%Y %H:%i') AS shown, str_to_date('15.03.2026', '%d.%m.%Y') AS fixed_day
  FROM purchases;

CREATE VIEW client_text AS
  SELECT id, substring(name, 1, 3) AS initials, substr(name, -4) AS tail, locate('a', name) AS first_a,
         char_length(name) AS chars, lcase(name) AS lower_name, ucase(homeCity) AS upper_city,
         trim(concat('  ', name, '  ')) AS trimmed
  FROM clients;

CREATE VIEW client_bytes AS
  SELECT id, length(name) AS bytes, char_length(name) AS chars FROM clients;

CREATE VIEW client_numbers AS
  SELECT id, round(balance, 1) AS rounded, truncate(balance, 0) AS truncated, score MOD 4 AS score_mod,
         score DIV 4 AS score_div, cast(score AS char) AS score_text, cast(balance AS signed) AS whole,
         balance / 4 AS quarter
  FROM clients;

-- Codes of a fixed width: MySQL returns CHAR values without their trailing blanks.
CREATE TABLE item_codes (
  code char(6) NOT NULL PRIMARY KEY,
  label varchar(50) NOT NULL
) ENGINE=InnoDB;

INSERT INTO item_codes VALUES ('NB', 'Notebook'), ('PEN', 'pencil 鉛筆'), ('CMP', 'Compiler 🖥'), ('ENG', 'Enigma Manual');

CREATE VIEW item_code_labels AS
  SELECT code, concat(code, '-', label) AS tagged, char_length(code) AS code_chars FROM item_codes;

-- Grouped by the primary key, selecting other columns of the same table: they depend on the key.
CREATE VIEW client_purchase_totals AS
  SELECT c.id, c.name, c.homeCity, count(p.id) AS purchases, sum(p.amount * p.quantity) AS spent
  FROM clients c LEFT JOIN purchases p ON p.client_id = c.id GROUP BY c.id;

-- GROUP_CONCAT(DISTINCT) ordered by what it lists, with a correlated subquery inside, beside a
-- column that the grouped key determines.
CREATE VIEW client_item_counts AS
  SELECT c.id, c.name,
         group_concat(DISTINCT concat(p.item, ' x', (SELECT sum(q.quantity) FROM purchases q
                                                     WHERE q.client_id = c.id AND q.item = p.item))
                      ORDER BY concat(p.item, ' x', (SELECT sum(q.quantity) FROM purchases q
                                                     WHERE q.client_id = c.id AND q.item = p.item))
                      SEPARATOR '; ') AS items
  FROM clients c JOIN purchases p ON p.client_id = c.id GROUP BY c.id;

-- No faithful T-SQL form.
CREATE VIEW pattern_clients AS SELECT id, name FROM clients WHERE name REGEXP '^[A-Z]';
CREATE VIEW loose_grouping AS SELECT client_id, item, count(*) AS n FROM purchases GROUP BY client_id;
