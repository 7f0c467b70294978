-- functional_index.result
CREATE TABLE `t1` (
  `int_col` int(11) DEFAULT NULL,
  `string_col` varchar(255) DEFAULT NULL,
  KEY `int_func_index` ((abs(`int_col`))),
  KEY `string_func_index` ((substr(`string_col`,1,2)))
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_0900_ai_ci
-- functional_index.result
CREATE TABLE `t2` (
  `col1` int(11) DEFAULT NULL,
  KEY `functional_index` (((`col1` * 2))),
  KEY `functional_index_2` (((`col1` * 4))),
  KEY `functional_index_3` (((`col1` * 6)))
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_0900_ai_ci
-- functional_index.result
CREATE TABLE `t1` (
  `int_col` int(11) DEFAULT NULL,
  `string_col` varchar(255) DEFAULT NULL,
  KEY `int_func_index` ((abs(`int_col`))),
  KEY `string_func_index` ((substr(`string_col`,1,2))),
  KEY `combined_index` (((`int_col` + `int_col`)),`string_col`)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_0900_ai_ci
-- functional_index.result
CREATE TABLE `t1` (
  `col1` int(11) DEFAULT NULL,
  `col2` int(11) DEFAULT NULL,
  KEY `functional_index` ((abs(`col1`))),
  KEY `functional_index_2` ((abs(`col2`)))
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_0900_ai_ci
-- check_constraints.result
CREATE TABLE `t1` (
  `f1` int DEFAULT NULL,
  `f2` int DEFAULT NULL,
  CONSTRAINT `t1_chk_1` CHECK ((`f1` < 10)),
  CONSTRAINT `t1_f2_ck` CHECK ((`f2` < 10))
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_0900_ai_ci
-- check_constraints.result
CREATE TABLE `t1` (
  `f1` int DEFAULT NULL,
  `f2` int DEFAULT NULL,
  `f3` int DEFAULT NULL,
  CONSTRAINT `t1_chk_1` CHECK ((`f1` < 10)),
  CONSTRAINT `t1_chk_2` CHECK ((`f2` < 10)),
  CONSTRAINT `t1_f3_ck` CHECK ((`f3` < 10))
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_0900_ai_ci
-- check_constraints.result
CREATE TABLE `t1` (
  `f1` int DEFAULT NULL,
  CONSTRAINT `t1_chk_1` CHECK ((`f1` < 10)),
  CONSTRAINT `t2_ck` CHECK ((`f1` > 1))
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_0900_ai_ci
-- check_constraints.result
CREATE TABLE `t1` (
  `c1` int DEFAULT NULL,
  `c2` int DEFAULT NULL,
  CONSTRAINT `ck_1$` CHECK ((`c2` < 10))
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_0900_ai_ci
-- check_constraints.result
CREATE TABLE `t1` (
  `c1` int DEFAULT NULL,
  `c2` int DEFAULT NULL,
  CONSTRAINT ` ck_2$ ` CHECK ((`c2` < 10))
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_0900_ai_ci
-- check_constraints.result
CREATE TABLE `t1` (
  `c1` int DEFAULT NULL,
  `c2` int DEFAULT NULL,
  `c3` int DEFAULT NULL,
  CONSTRAINT ` c 3 ` CHECK ((`c3` > 10))
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_0900_ai_ci
-- check_constraints.result
CREATE TABLE `t1` (
  `c1` int DEFAULT NULL,
  `c2` int DEFAULT NULL,
  CONSTRAINT `FLOAT` CHECK ((`c2` < 10))
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_0900_ai_ci
-- check_constraints.result
CREATE TABLE `t1` (
  `f1` int DEFAULT NULL,
  CONSTRAINT `cafe` CHECK ((`f1` < 10)),
  CONSTRAINT `café` CHECK ((`f1` < 10))
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_0900_ai_ci
-- check_constraints.result
CREATE TABLE `t1` (
  `f1` int DEFAULT NULL,
  `f2` int DEFAULT NULL,
  CONSTRAINT `t1_chk_1` CHECK (((`f1` + `f2`) > 10)),
  CONSTRAINT `t1_chk_2` CHECK ((`f1` < 10))
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_0900_ai_ci
-- check_constraints.result
CREATE TABLE `t1` (
  `c1` int DEFAULT NULL,
  `c2` int DEFAULT NULL,
  `c3` int DEFAULT NULL,
  `c4` int DEFAULT NULL,
  CONSTRAINT `ck11` CHECK ((`c1` > 1)),
  CONSTRAINT `ck12` CHECK ((`c1` < 1)),
  CONSTRAINT `ck21` CHECK ((`c2` > 1)),
  CONSTRAINT `ck22` CHECK ((`c2` < 1)),
  CONSTRAINT `ck31` CHECK ((`c3` > 1)),
  CONSTRAINT `ck32` CHECK ((`c3` < 1)),
  CONSTRAINT `ck41` CHECK ((`c4` > 1)),
  CONSTRAINT `ck42` CHECK ((`c4` < 1))
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_0900_ai_ci
