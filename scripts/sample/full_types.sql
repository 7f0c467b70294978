-- The sample database `shop_types`: every construct of the Full table translation with its
-- boundary values (signed and unsigned integer limits, emoji filling a varchar, zero dates, a time
-- beyond one day, enum and set values, json, generated columns, an identity whose AUTO_INCREMENT
-- lies beyond its largest value, a unique key over nullable columns, cascading foreign keys,
-- FULLTEXT and prefix indexes, comments, a column with its own character set, a name with a blank).
-- Zero dates need a sql_mode without NO_ZERO_DATE, NO_ZERO_IN_DATE and strict mode.
SET SESSION sql_mode = 'NO_ENGINE_SUBSTITUTION';
DROP DATABASE IF EXISTS shop_types;
CREATE DATABASE shop_types CHARACTER SET utf8mb4 COLLATE utf8mb4_general_ci;
USE shop_types;

CREATE TABLE numbers (
  id int(10) unsigned NOT NULL AUTO_INCREMENT,
  tiny_signed tinyint(4) NOT NULL,
  tiny_unsigned tinyint(3) unsigned NOT NULL,
  small_unsigned smallint(5) unsigned DEFAULT NULL,
  medium_signed mediumint(9) DEFAULT NULL,
  int_unsigned int(10) unsigned DEFAULT NULL,
  big_signed bigint(20) DEFAULT NULL,
  big_unsigned bigint(20) unsigned DEFAULT NULL,
  price decimal(10,2) NOT NULL DEFAULT 0.00,
  wide_decimal decimal(65,30) DEFAULT NULL,
  ratio float DEFAULT NULL,
  measure double DEFAULT NULL,
  flag bit(1) NOT NULL DEFAULT b'1',
  mask bit(12) DEFAULT b'101',
  born year(4) DEFAULT NULL,
  PRIMARY KEY (id)
) ENGINE=InnoDB AUTO_INCREMENT=1000 DEFAULT CHARSET=utf8mb4 COMMENT='integer and decimal limits';

INSERT INTO numbers VALUES
 (1, -128, 255, 65535, -8388608, 4294967295, -9223372036854775808, 18446744073709551615, 99999999.99,
  12345678901234567890123456789012345.123456789012345678901234567890, 3.5, 1.7976931348623157e308, b'1', b'111111111111', 2155),
 (2, 127, 0, 0, 8388607, 0, 9223372036854775807, 0, -99999999.99, NULL, -1.5, -2.5, b'0', b'0', 1901),
 (7, 0, 1, NULL, NULL, NULL, NULL, NULL, 0, NULL, NULL, NULL, b'1', NULL, 0);

CREATE TABLE texts (
  id int(11) NOT NULL AUTO_INCREMENT,
  code char(4) NOT NULL,
  title varchar(10) NOT NULL,
  latin_name varchar(20) CHARACTER SET latin1 COLLATE latin1_bin DEFAULT NULL COMMENT 'compared byte by byte',
  body text DEFAULT NULL,
  summary tinytext DEFAULT NULL,
  state enum('new','active','it''s done') NOT NULL DEFAULT 'new',
  tags set('red','green','blue') DEFAULT NULL,
  doc json DEFAULT NULL,
  raw_bytes varbinary(16) DEFAULT NULL,
  picture blob DEFAULT NULL,
  PRIMARY KEY (id),
  KEY ix_title_prefix (title(4)),
  FULLTEXT KEY ft_body (body)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

INSERT INTO texts (code, title, latin_name, body, summary, state, tags, doc, raw_bytes, picture) VALUES
 ('A1', '😀😀😀😀😀😀😀😀😀😀', 'Ärger', 'line one\nline two', 'short', 'active', 'red,blue',
  '{"a": [1, 2, {"b": null}]}', X'00FF10', X'89504E470D0A1A0A'),
 ('B2', 'it''s', NULL, NULL, NULL, 'it''s done', '', '"just a string"', X'', NULL),
 ('C3', 'Käse', 'Käse', REPEAT('x', 5000), NULL, 'new', 'green', '42', NULL, NULL);

CREATE TABLE moments (
  id int(11) NOT NULL AUTO_INCREMENT,
  happened_on date DEFAULT NULL,
  must_date date NOT NULL,
  happened_at datetime(6) DEFAULT NULL,
  stamp timestamp NOT NULL DEFAULT current_timestamp() ON UPDATE current_timestamp(),
  duration time DEFAULT NULL,
  PRIMARY KEY (id)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

INSERT INTO moments (happened_on, must_date, happened_at, stamp, duration) VALUES
 ('2024-01-15', '2024-01-15', '2024-01-15 10:30:00.123456', '2024-01-15 10:30:00', '23:59:59'),
 ('0000-00-00', '2024-02-01', '0000-00-00 00:00:00', '2024-02-01 00:00:00', '838:59:59'),
 ('2024-00-15', '0000-00-00', NULL, '2024-03-01 00:00:00', '-01:00:00'),
 (NULL, '1000-01-01', '9999-12-31 23:59:59.999999', '2038-01-19 03:14:07', '00:00:00');

CREATE TABLE computed (
  id int(11) NOT NULL,
  net decimal(10,2) NOT NULL,
  gross decimal(12,2) GENERATED ALWAYS AS (net * 1.2) STORED,
  label varchar(40) GENERATED ALWAYS AS (concat('item ', id)) VIRTUAL,
  PRIMARY KEY (id)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

INSERT INTO computed (id, net) VALUES (1, 10.00), (2, 0.50);

CREATE TABLE `customer accounts` (
  id int(11) NOT NULL AUTO_INCREMENT,
  email varchar(100) DEFAULT NULL,
  phone varchar(20) DEFAULT NULL,
  country char(2) NOT NULL DEFAULT 'DE',
  PRIMARY KEY (id),
  UNIQUE KEY email (email),
  UNIQUE KEY uq_phone_country (phone, country)
) ENGINE=InnoDB AUTO_INCREMENT=500 DEFAULT CHARSET=utf8mb4 COMMENT='accounts; several without email';

INSERT INTO `customer accounts` (id, email, phone) VALUES
 (1, 'a@example.com', NULL), (2, NULL, NULL), (3, NULL, '+49 30 1234'), (4, NULL, NULL);

CREATE TABLE account_orders (
  id int(11) NOT NULL AUTO_INCREMENT,
  account_id int(11) NOT NULL,
  parent_id int(11) DEFAULT NULL,
  note varchar(200) DEFAULT NULL,
  PRIMARY KEY (id),
  KEY account_id (account_id),
  KEY parent_id (parent_id),
  CONSTRAINT fk_orders_account FOREIGN KEY (account_id) REFERENCES `customer accounts` (id)
    ON DELETE CASCADE ON UPDATE CASCADE,
  CONSTRAINT fk_orders_parent FOREIGN KEY (parent_id) REFERENCES account_orders (id)
    ON DELETE SET NULL ON UPDATE RESTRICT,
  CONSTRAINT chk_note CHECK (note <> '')
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

INSERT INTO account_orders (id, account_id, parent_id, note) VALUES
 (1, 1, NULL, 'first'), (2, 1, 1, 'follow-up'), (3, 3, NULL, NULL);

CREATE TABLE places (
  id int(11) NOT NULL AUTO_INCREMENT,
  location point NOT NULL,
  area polygon DEFAULT NULL,
  node_id uuid DEFAULT NULL,
  address inet6 DEFAULT NULL,
  PRIMARY KEY (id),
  SPATIAL KEY sp_location (location)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

INSERT INTO places (location, area, node_id, address) VALUES
 (ST_GeomFromText('POINT(13.4 52.5)'), ST_GeomFromText('POLYGON((0 0,1 0,1 1,0 0))'),
  '123e4567-e89b-12d3-a456-426614174000', '2001:db8::1'),
 (ST_GeomFromText('POINT(0 0)'), NULL, NULL, '::ffff:192.0.2.1');

CREATE TABLE readings (
  id int(11) NOT NULL,
  taken date NOT NULL,
  value double DEFAULT NULL,
  PRIMARY KEY (id, taken)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4
  PARTITION BY RANGE (year(taken)) (PARTITION p2023 VALUES LESS THAN (2024), PARTITION pmax VALUES LESS THAN MAXVALUE);

INSERT INTO readings VALUES (1, '2023-05-01', 1.5), (2, '2024-05-01', NULL);
