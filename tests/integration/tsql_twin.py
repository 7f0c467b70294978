#!/usr/bin/python3
"""Prints the MySQL twin of the T-SQL query read from standard input: a MySQL query that returns
what the T-SQL query returns on SQL Server, so that a view's translation can be run on MariaDB and
its rows compared with the view's own. A test aid, never part of the program.

sqlglot (Debian's python3-sqlglot, 10.6) reads the T-SQL and writes MySQL. The T-SQL functions it
does not carry over, or carries over with another meaning, are written here from T-SQL's
documented semantics. A construct without a twin here ends the script with status 2."""
import sys

import sqlglot
from sqlglot import exp
from sqlglot.dialects.tsql import TSQL

OWN_FUNCTIONS = ["ROUND", "DATEDIFF", "DATEDIFF_BIG", "DATEFROMPARTS", "LEN", "DATALENGTH", "FORMAT",
                 "CHARINDEX"]
for own in OWN_FUNCTIONS:
    TSQL.Parser.FUNCTIONS[own] = (lambda name: lambda args: exp.Anonymous(this=name, expressions=args))(own)


class NoTwin(Exception):
    pass


def sql(node):
    return node.sql("mysql")


def mysql(text):
    return sqlglot.parse_one(text, read="mysql")


def is_text_literal(node):
    return isinstance(node, exp.National) or (isinstance(node, exp.Literal) and node.is_string)


def function(name, args):
    if name == "ROUND" and len(args) == 3 and sql(args[2]) != "0":  # ROUND(x, d, 1) truncates
        return mysql(f"TRUNCATE({sql(args[0])}, {sql(args[1])})")
    if name == "ROUND" and len(args) >= 2:  # half away from zero for exact numbers, as in MySQL
        return mysql(f"ROUND({sql(args[0])}, {sql(args[1])})")
    if name == "DATEDIFF":  # boundaries crossed between the two
        unit, start, end = args[0].name.lower(), sql(args[1]), sql(args[2])
        if unit == "day":
            return mysql(f"DATEDIFF({end}, {start})")
        if unit == "month":
            return mysql(f"PERIOD_DIFF(EXTRACT(YEAR_MONTH FROM {end}), EXTRACT(YEAR_MONTH FROM {start}))")
        raise NoTwin(f"DATEDIFF unit {unit}")
    if name == "DATEDIFF_BIG" and args[0].name.lower() == "microsecond":
        return mysql(f"TIMESTAMPDIFF(MICROSECOND, {sql(args[1])}, {sql(args[2])})")
    if name == "DATEFROMPARTS":
        year, month, day = (sql(a) for a in args)
        return mysql(f"MAKEDATE({year}, 1) + INTERVAL ({month}) - 1 MONTH + INTERVAL ({day}) - 1 DAY")
    if name == "LEN":  # characters without the trailing blanks
        return mysql(f"CHAR_LENGTH(TRIM(TRAILING ' ' FROM {sql(args[0])}))")
    if name == "CHARINDEX":
        return mysql(f"LOCATE({', '.join(sql(a) for a in args)})")
    if name == "DATALENGTH":  # of text converted to a UTF-8 varchar: its UTF-8 bytes
        inner = args[0]
        while isinstance(inner, (exp.Cast, exp.Collate)):
            inner = inner.this
        return mysql(f"LENGTH(CONVERT({sql(inner)} USING utf8mb4))")
    raise NoTwin(f"function {name}")


def rewrite(node):
    if isinstance(node, exp.Anonymous) and node.name.upper() in OWN_FUNCTIONS:
        return function(node.name.upper(), node.expressions)
    if type(node) is exp.Concat:  # T-SQL's CONCAT reads NULL as ''
        return mysql("CONCAT(" + ", ".join(f"COALESCE({sql(a)}, '')" for a in node.expressions) + ")")
    if isinstance(node, exp.Add) and (is_text_literal(node.this) or is_text_literal(node.expression)):
        return mysql(f"CONCAT({sql(node.this)}, {sql(node.expression)})")  # string +, NULL when either is
    if isinstance(node, exp.Cast):
        target = node.to.this
        if target in (exp.DataType.Type.TEXT, exp.DataType.Type.NVARCHAR, exp.DataType.Type.VARCHAR,
                      exp.DataType.Type.NCHAR, exp.DataType.Type.CHAR):
            return mysql(f"CAST({sql(node.this)} AS CHAR)")
        if target == exp.DataType.Type.BIGINT:  # T-SQL's CAST to an integer truncates
            return mysql(f"TRUNCATE({sql(node.this)}, 0)")
    if isinstance(node, exp.Select) and isinstance(node.args.get("limit"), exp.Fetch):
        node.set("limit", exp.Limit(expression=node.args["limit"].args["count"]))
    return node


def post_order(node):
    for key, value in list(node.args.items()):
        if isinstance(value, exp.Expression):
            node.set(key, post_order(value))
        elif isinstance(value, list):
            node.set(key, [post_order(v) if isinstance(v, exp.Expression) else v for v in value])
    return rewrite(node)


def main():
    try:
        tree = post_order(sqlglot.parse_one(sys.stdin.read(), read="tsql"))
    except (NoTwin, sqlglot.errors.SqlglotError) as problem:
        print(f"no MySQL twin: {problem}", file=sys.stderr)
        return 2
    print(sql(tree).replace("SEPARATOR N'", "SEPARATOR '"))
    return 0


if __name__ == "__main__":
    sys.exit(main())
