// TsqlOracle: asks an independent T-SQL grammar (tests/oracle, run by node) whether statements
// parse. One node process per test program, started on first use and kept for the whole run.
#pragma once

#include <string>
#include <vector>

namespace velmora::test {

// The syntax errors the T-SQL grammar reports for `statement`; empty when it parses. A missing
// node or oracle install is reported as an error text, so that a test cannot pass silently.
std::vector<std::string> TsqlSyntaxErrors(const std::string& statement);

// gtest-friendly: "" when `statement` parses, otherwise the statement and its errors.
std::string DescribeTsqlProblems(const std::string& statement);

}  // namespace velmora::test
