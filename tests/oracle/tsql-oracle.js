#!/usr/bin/env node
// T-SQL syntax oracle. Reads one request per line on standard input: a JSON string holding one
// statement (or batch). Answers one line per request: "OK" when the T-SQL grammar accepts it,
// otherwise "ERR " followed by a JSON array of the syntax errors ("line:column message").
'use strict';
const readline = require('readline');
const { antlr4tsSQL, SQLDialect } = require('antlr4ts-sql');

const tsql = new antlr4tsSQL(SQLDialect.TSQL);

function check(statement) {
  const errors = [];
  const listener = {
    syntaxError: (recognizer, symbol, line, column, message) => {
      // The grammar lists every token it would have taken; the start of that list is enough.
      const shown = message.length > 240 ? message.slice(0, 240) + '...' : message;
      const near = symbol && symbol.text !== undefined ? ` near '${symbol.text}'` : '';
      errors.push(`${line}:${column}${near} ${shown}`);
    },
  };
  const tokens = tsql.getTokens(statement, [listener]);
  const parser = tsql.getParser(tokens, [listener]);
  tsql.getParseTree(parser);
  return errors;
}

const input = readline.createInterface({ input: process.stdin, terminal: false });
input.on('line', (line) => {
  if (line.trim() === '') return;
  let answer;
  try {
    const errors = check(JSON.parse(line));
    answer = errors.length === 0 ? 'OK' : 'ERR ' + JSON.stringify(errors);
  } catch (e) {
    answer = 'ERR ' + JSON.stringify(['oracle failure: ' + e.message]);
  }
  process.stdout.write(answer + '\n');
});
