CREATE DEFINER=`root`@`localhost` PROCEDURE `stock_check`(IN p_min INT, OUT p_count INT)
BEGIN
  DECLARE done INT DEFAULT FALSE;
  DECLARE v_id INT;
  DECLARE v_qty DECIMAL(10,2);
  DECLARE cur CURSOR FOR SELECT id, qty FROM items WHERE qty < p_min;
  DECLARE CONTINUE HANDLER FOR NOT FOUND SET done = TRUE;
  SET p_count = 0;
  OPEN cur;
  read_loop: LOOP
    FETCH cur INTO v_id, v_qty;
    IF done THEN
      LEAVE read_loop;
    END IF;
    IF v_qty < 0 THEN
      ITERATE read_loop;
    END IF;
    INSERT INTO low_stock (item_id, qty) VALUES (v_id, v_qty);
    SET p_count = p_count + ROW_COUNT();
  END LOOP;
  CLOSE cur;
END
