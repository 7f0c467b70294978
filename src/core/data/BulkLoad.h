// BulkLoad: the bulk-copy interface of a SQL Server target connection (the ODBC bulk-copy
// functions of SQL Server's drivers). The rows of one table are sent one after another and the
// server stores them in batches: Batch commits what was sent since the last batch, Done ends the
// copy and commits the rest. Values go over as text (UTF-8) or as bytes (binary columns), with a
// NULL flag; the driver converts them to the column's type. Nothing here proves that the driver
// and the server agree on every value: the caller checks that before it trusts the path.
//
// Threads: the thread that uses the connection it came from, one call at a time.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

enum class BulkValueKind { Text, Bytes };

struct BulkColumn {
    int ordinal = 0;  // the column's position in the target table, from 1
    BulkValueKind kind = BulkValueKind::Text;
};

struct BulkField {
    std::string_view data;
    bool null = false;
};

class BulkLoad {
public:
    virtual ~BulkLoad() = default;
    // Starts a copy into `table` (the name as T-SQL reads it, quoted) with `columns` bound in
    // this order; `keepIdentity`: identity values come from the rows. False on failure.
    virtual bool Begin(const std::string& table, const std::vector<BulkColumn>& columns,
                       bool keepIdentity) = 0;
    // One row, its fields in the order of the columns. False on failure.
    virtual bool SendRow(const std::vector<BulkField>& row) = 0;
    // Commits the rows sent since the last batch: the rows the server says it stored, or -1.
    virtual int64_t Batch() = 0;
    // Ends the copy and commits what was not committed yet: those rows, or -1.
    virtual int64_t Done() = 0;
    // The driver's reason for the last failure.
    virtual std::string ErrorText() const = 0;
};

}  // namespace velmora
