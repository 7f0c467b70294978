CREATE PROCEDURE stock_check
    @p_min int,
    @p_count int OUTPUT
AS
BEGIN
    SET NOCOUNT ON;
    DECLARE @sys_row_count int = -1;
    SET @p_count = NULL;
    BEGIN
        DECLARE @done int = 0;
        DECLARE @v_id int = NULL;
        DECLARE @v_qty decimal(10,2) = NULL;
        DECLARE @cur CURSOR;
        SET @p_count = 0;
        SET @cur = CURSOR FAST_FORWARD FOR SELECT id, qty FROM items WHERE qty < @p_min;
        OPEN @cur;
        WHILE 1 = 1
        BEGIN
            FETCH NEXT FROM @cur INTO @v_id, @v_qty;
            IF @@FETCH_STATUS <> 0
            BEGIN
                SET @done = 1;
            END
            IF @done <> 0
            BEGIN
                BREAK;
            END
            IF @v_qty < 0
            BEGIN
                CONTINUE;
            END
            INSERT INTO low_stock (item_id, qty) VALUES (@v_id, @v_qty);
            SET @sys_row_count = @@ROWCOUNT;
            SET @p_count = @p_count + @sys_row_count;
        END
        CLOSE @cur;
        DEALLOCATE @cur;
    END
END
GO
