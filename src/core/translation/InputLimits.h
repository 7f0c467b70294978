// InputLimits: how much text one definition from the source may hold before the translation
// refuses it, so that a hostile or broken definition cannot take the machine's memory or hours of
// time: a statement over the limit (16 MB unless raised) is refused with its size, and a table
// or a SELECT list with more columns than SQL Server allows is refused with both numbers.
//
// The limit is one for the process, set once at start (the command line's --max-statement-mb)
// before any translation runs; reading it is safe from any thread.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace velmora {

inline constexpr size_t kDefaultStatementLimit = size_t{16} << 20;
// SQL Server's most columns in a table (without sparse column sets).
inline constexpr size_t kMaxTableColumns = 1024;

// SQL Server's most columns in one SELECT list (MySQL's most in a view, too): a longer list is
// refused as it is read, before its expressions take memory.
inline constexpr size_t kMaxSelectColumns = 4096;

// SQL Server's largest row: the fixed-length columns and 7 bytes of overhead must fit in it.
inline constexpr size_t kMaxRowBytes = 8060;

// The bytes a row of these SQL Server column types takes at least: the fixed-length types' sizes
// (char(n), nchar(n) twice n, int, datetime2, decimal(p) ...) and 7 bytes of overhead; text of
// variable length may leave the row and counts nothing.
size_t MinimumRowBytes(const std::vector<std::string>& targetTypes);

size_t StatementLimit();
void SetStatementLimit(size_t bytes);

// Why a statement of `bytes` bytes is refused; empty when it is within the limit.
std::string StatementSizeProblem(size_t bytes);

}  // namespace velmora
