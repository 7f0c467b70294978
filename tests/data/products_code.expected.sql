-- adjusted: runs its body once per row of the statement (a cursor over inserted), as MySQL's FOR EACH ROW does
-- adjusted: the BEFORE trigger changes NEW: it becomes an INSTEAD OF trigger that writes each row itself with the values its body gave; after an INSERT into products the caller's SCOPE_IDENTITY() is NULL (the row is inserted in the trigger), @@IDENTITY holds its key
CREATE TRIGGER products_code ON products INSTEAD OF INSERT
AS
BEGIN
    SET NOCOUNT ON;
    DECLARE @new_id int;
    DECLARE @new_name nvarchar(100);
    DECLARE @new_price decimal(10,2);
    DECLARE @new_stock int;
    DECLARE @new_code nvarchar(40);
    DECLARE @trigger_rows CURSOR;
    SET @trigger_rows = CURSOR FAST_FORWARD FOR SELECT inserted.id, inserted.name, inserted.price, inserted.stock, inserted.code FROM inserted;
    OPEN @trigger_rows;
    WHILE 1 = 1
    BEGIN
        FETCH NEXT FROM @trigger_rows INTO @new_id, @new_name, @new_price, @new_stock, @new_code;
        IF @@FETCH_STATUS <> 0 BREAK;
        BEGIN
            IF @new_code IS NULL
            BEGIN
                SET @new_code = CASE WHEN UPPER(LEFT(@new_name, 3)) IS NULL THEN NULL ELSE CONCAT(N'P-', UPPER(LEFT(@new_name, 3))) END;
            END
            IF @new_price < 0
            BEGIN
                THROW 50000, N'negative price', 1;
            END
        END
        IF @new_id IS NULL OR @new_id = 0
            INSERT INTO products (name, price, stock, code) VALUES (@new_name, @new_price, @new_stock, @new_code);
        ELSE
        BEGIN
            SET IDENTITY_INSERT products ON;
            INSERT INTO products (id, name, price, stock, code) VALUES (@new_id, @new_name, @new_price, @new_stock, @new_code);
            SET IDENTITY_INSERT products OFF;
        END
    END
    CLOSE @trigger_rows;
    DEALLOCATE @trigger_rows;
END
GO
