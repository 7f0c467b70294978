// BulkCheck: whether a task may send rows through the target driver's bulk copy
// (data/BulkLoad.h). A driver and server pair is trusted only after it has stored a known set of
// rows exactly: before the first table's rows, a scratch table with a column of every type
// family (integers at their limits, decimals of every precision and their short forms, real and
// float, bit, date, time, datetime2, datetimeoffset, nchar, varchar, nvarchar with Unicode and
// empty strings, values over 8 KB, binary with zero bytes, NULL in every column) is created under
// a name no other run uses, loaded through the bulk copy, read back and dropped. Every value is
// compared as the verification compares (ValueNormalisation.h). One log line says the outcome:
// the first differing value, or the driver's error, when the pair fails; the copy then sends its
// rows in INSERT statements as it does without bulk copy. datetimeoffset is among the families
// because a type map may choose it for date and time columns.
//
// The check runs once per task (its peers of parallel tables wait for it and share the answer),
// on the task's target session for the scratch table and on a connection of its own for the bulk
// copy, so that a driver that breaks its connection on the way breaks only that one.
//
// Threads: any thread of the task; BulkCopyAllowed serialises the decision.
#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Converters/ValueNormalisation.h"

namespace velmora {

struct WorkerContext;
class Session;

// The decision of one task, shared with its peers.
struct BulkGate {
    std::mutex mutex;
    bool decided = false;
    bool allowed = false;
};

// One value per column; nullopt is NULL. Binary values are upper-case hexadecimal digits, as
// the data layer reads them.
using CheckRow = std::vector<std::optional<std::string>>;

// A column of the scratch table: its name, its T-SQL type and how its values compare.
struct BulkCheckColumn {
    std::string name;
    std::string type;
    ComparedColumn compared;
    bool bytes = false;   // sent as bytes (binary)
    bool offset = false;  // datetimeoffset: the date and time as DateTime, the offset as text
};

const std::vector<BulkCheckColumn>& BulkCheckColumns();
// The rows the check sends, the key first; every family at its limits, NULL and empty values.
const std::vector<CheckRow>& BulkCheckRows();

// "" when `read` holds every row of `sent` with every value equal, else the first difference:
// "decimal(10,2) column d10_2 of row 4: sent 12.50, read back 1250.00", "row 3 did not arrive",
// "2 rows more than sent". Pure.
std::string FirstBulkCheckDifference(const std::vector<BulkCheckColumn>& columns,
                                     const std::vector<CheckRow>& sent,
                                     const std::vector<CheckRow>& read);

// A scratch table name that no other check, process or machine uses at the same time.
std::string BulkCheckTableName();

// Whether the task of `context` may bulk-load (options.bulk is Auto, the target's driver is one
// whose bulk copy may be tried at all (data/BulkDriver.h), it has bulk copy, the check passed).
// The first caller of a task decides and writes its line; a driver not trusted is never handed a
// row, not even the check's.
bool BulkCopyAllowed(WorkerContext& context);

// Every row of `query` on `session` as text; false with the driver's reason.
bool ReadTargetRows(Session* session, const std::string& query, std::vector<CheckRow>& rows,
                    std::string& why);

}  // namespace velmora
