-- The business rules of the sample database `shop`, as applications keep them in the database:
-- a function that computes a balance over joins and one that others call, a stock check that
-- walks an order's lines with a cursor (NOT FOUND handler), a procedure that calls it and then
-- updates many rows at once, audit triggers (AFTER INSERT and AFTER UPDATE writing audit_log), a
-- BEFORE INSERT trigger that fills a column, an AFTER INSERT trigger whose UPDATE fires another
-- table's trigger, two triggers on the same event in a fixed order, and an event (which the
-- target's scheduler would have to run).
USE shop;

CREATE TABLE stock_levels (
  sku varchar(32) NOT NULL,
  on_hand int(11) NOT NULL DEFAULT 0,
  reserved int(11) NOT NULL DEFAULT 0,
  PRIMARY KEY (sku),
  CONSTRAINT fk_stock_product FOREIGN KEY (sku) REFERENCES products (sku)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

INSERT INTO stock_levels (sku, on_hand, reserved) VALUES
  ('HAM-001', 10, 2), ('SAW-002', 0, 0), ('POT-003', 5, 1), ('GRD-004', 2, 0);

DELIMITER //

CREATE FUNCTION line_total(p_quantity INT, p_price DECIMAL(10,2)) RETURNS decimal(12,2)
  DETERMINISTIC
  RETURN p_quantity * p_price //

-- What a customer owes for the orders that have not shipped yet.
CREATE FUNCTION customer_balance(p_customer INT UNSIGNED) RETURNS decimal(12,2)
  READS SQL DATA
BEGIN
  DECLARE v_balance DECIMAL(12,2) DEFAULT 0;
  SELECT COALESCE(SUM(line_total(i.quantity, i.unit_price)), 0) INTO v_balance
    FROM orders o JOIN order_items i ON i.order_id = o.id
   WHERE o.customer_id = p_customer AND o.shipped_on IS NULL;
  RETURN v_balance;
END //

-- How many lines of an order cannot be served from the free stock.
CREATE PROCEDURE check_stock(IN p_order BIGINT UNSIGNED, OUT p_short INT)
  READS SQL DATA
BEGIN
  DECLARE v_done INT DEFAULT 0;
  DECLARE v_sku VARCHAR(32);
  DECLARE v_quantity INT;
  DECLARE v_free INT;
  DECLARE order_lines CURSOR FOR
    SELECT sku, quantity FROM order_items WHERE order_id = p_order ORDER BY line_no;
  DECLARE CONTINUE HANDLER FOR NOT FOUND SET v_done = 1;
  SET p_short = 0;
  OPEN order_lines;
  read_lines: LOOP
    FETCH order_lines INTO v_sku, v_quantity;
    IF v_done = 1 THEN
      LEAVE read_lines;
    END IF;
    SELECT COALESCE(MAX(on_hand - reserved), 0) INTO v_free FROM stock_levels WHERE sku = v_sku;
    IF v_free < v_quantity THEN
      SET p_short = p_short + 1;
    END IF;
  END LOOP;
  CLOSE order_lines;
END //

-- Reserves the stock of an order when every line can be served; p_reserved says whether it was.
CREATE PROCEDURE reserve_order(IN p_order BIGINT UNSIGNED, OUT p_reserved TINYINT)
  MODIFIES SQL DATA
BEGIN
  DECLARE v_short INT DEFAULT 0;
  CALL check_stock(p_order, v_short);
  IF v_short = 0 THEN
    UPDATE stock_levels
       SET reserved = reserved + (SELECT SUM(i.quantity) FROM order_items i
                                   WHERE i.order_id = p_order AND i.sku = stock_levels.sku)
     WHERE sku IN (SELECT sku FROM order_items WHERE order_id = p_order);
    SET p_reserved = 1;
  ELSE
    SET p_reserved = 0;
  END IF;
END //

CREATE TRIGGER orders_audit_insert AFTER INSERT ON orders FOR EACH ROW
  INSERT INTO audit_log (happened_at, actor, action)
  VALUES (NOW(3), 'orders trigger', CONCAT('order ', NEW.id, ' placed, total ', NEW.total)) //

CREATE TRIGGER orders_audit_update AFTER UPDATE ON orders FOR EACH ROW
BEGIN
  IF NOT (OLD.total <=> NEW.total) THEN
    INSERT INTO audit_log (happened_at, actor, action)
    VALUES (NOW(3), 'orders trigger',
            CONCAT('order ', NEW.id, ' total ', OLD.total, ' -> ', NEW.total));
  END IF;
END //

-- Fires after the audit: shipping an order takes its lines out of the stock.
CREATE TRIGGER orders_ship_stock AFTER UPDATE ON orders FOR EACH ROW FOLLOWS orders_audit_update
BEGIN
  IF OLD.shipped_on IS NULL AND NEW.shipped_on IS NOT NULL THEN
    UPDATE stock_levels
       SET on_hand = on_hand - (SELECT SUM(i.quantity) FROM order_items i
                                 WHERE i.order_id = NEW.id AND i.sku = stock_levels.sku)
     WHERE sku IN (SELECT sku FROM order_items WHERE order_id = NEW.id);
  END IF;
END //

-- A line entered without a price takes the product's.
CREATE TRIGGER order_items_price BEFORE INSERT ON order_items FOR EACH ROW
BEGIN
  IF NEW.unit_price = 0 THEN
    SET NEW.unit_price = (SELECT price FROM products WHERE sku = NEW.sku);
  END IF;
END //

-- The order's total follows its lines (and so fires the order's audit).
CREATE TRIGGER order_items_total AFTER INSERT ON order_items FOR EACH ROW
  UPDATE orders
     SET total = (SELECT SUM(line_total(quantity, unit_price)) FROM order_items
                   WHERE order_id = NEW.order_id)
   WHERE id = NEW.order_id //

CREATE EVENT purge_audit_log ON SCHEDULE EVERY 1 DAY DISABLE
  DO DELETE FROM audit_log WHERE happened_at < NOW() - INTERVAL 1 YEAR //

DELIMITER ;
