CREATE TABLE `orders` (
  `id` bigint(20) unsigned NOT NULL AUTO_INCREMENT,
  `customer_id` int(10) unsigned NOT NULL,
  `ordered_at` datetime NOT NULL,
  `total` decimal(12,2) NOT NULL,
  `note` varchar(300) DEFAULT NULL,
  `shipped_on` date DEFAULT NULL,
  PRIMARY KEY (`id`),
  KEY `ix_orders_customer` (`customer_id`,`ordered_at`),
  CONSTRAINT `fk_orders_customer` FOREIGN KEY (`customer_id`) REFERENCES `customers` (`id`)
) ENGINE=InnoDB AUTO_INCREMENT=5 DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_general_ci
