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

function answer(line) {
  try {
    const errors = check(JSON.parse(line));
    return errors.length === 0 ? 'OK' : 'ERR ' + JSON.stringify(errors);
  } catch (e) {
    return 'ERR ' + JSON.stringify(['oracle failure: ' + e.message]);
  }
}

function serve(input, output) {
  const lines = readline.createInterface({ input, terminal: false });
  lines.on('line', (line) => {
    if (line.trim() !== '') output.write(answer(line) + '\n');
  });
}

// With --socket PATH the oracle stays up and answers every test program that connects to the
// socket, so that the grammar is loaded once per test run instead of once per test program.
const socketAt = process.argv.indexOf('--socket');
if (socketAt > 0) {
  const net = require('net');
  const fs = require('fs');
  const path = process.argv[socketAt + 1];
  check('select 1');  // loads the grammar before the first client waits for it
  try { fs.unlinkSync(path); } catch (e) { /* not there */ }
  net.createServer((connection) => serve(connection, connection)).listen(path);
} else {
  serve(process.stdin, process.stdout);
}
