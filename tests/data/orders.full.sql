CREATE TABLE orders (
  id decimal(20,0) IDENTITY(5,1) NOT NULL,
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
