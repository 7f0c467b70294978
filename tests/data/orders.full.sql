-- adjusted: id: bigint unsigned AUTO_INCREMENT becomes bigint IDENTITY (an identity takes at most 18 digits on some targets): keys above 9223372036854775807 fail
CREATE TABLE orders (
  id bigint IDENTITY(5,1) NOT NULL,
  customer_id bigint NOT NULL,
  ordered_at datetime2(0) NOT NULL,
  total decimal(12,2) NOT NULL,
  note nvarchar(600) NULL,
  shipped_on date NULL,
  PRIMARY KEY (id)
)
GO
CREATE INDEX ix_orders_customer ON orders (customer_id, ordered_at)
GO
ALTER TABLE orders ADD CONSTRAINT fk_orders_customer FOREIGN KEY (customer_id) REFERENCES customers (id)
GO
