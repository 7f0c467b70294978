// RowReading: how the row copies read one source table: narrowed by the table's stored migration
// condition, in keyset pages ordered by the table's key (KeysetPaging.h) when the driver holds
// whole results in memory, else in one pass (which the log says). Each row goes to a RowSink;
// a stop request is honoured after the row in progress; a failed query or fetch is reported.
// Memory stays bounded however large the table is.
//
// Runs on the scheduler thread with the task's own source session.
#pragma once

#include <functional>
#include <string_view>

#include "Converters/ConversionReport.h"
#include "data/DataAccess.h"

namespace velmora {

struct WorkerContext;

// What receives the rows.
class RowSink {
public:
    virtual ~RowSink() = default;
    // Called once, after the first query succeeded and before its first row; false ends the
    // read (nothing more is fetched).
    virtual bool Begin() { return true; }
    // One row, as the driver delivers it; returns the bytes of its values (page sizing).
    virtual size_t TakeRow(StatementRowset& row) = 0;
    // True once the sink can take no more rows (its target's connection is gone): the read ends
    // there, and the sink's result says why.
    virtual bool Broken() const { return false; }

    // Set by the reader: a sink that waits for the target calls it with true before it waits and
    // with false when it goes on, so that the progress display says which side holds the copy.
    std::function<void(bool holding)> targetHolding;
};

// Reads the rows of `table` into `sink`. `selectList` is what each row reads ("*": every column
// as it is). Sets result.text ("TRUE" once rows were read, else the reader's failure text),
// result.queries, result.stopped and result.readFailed. `narrower`, when given, is a further
// MySQL predicate the rows must meet (a resumed copy's "after the largest key on the target").
// `rowsFrom`, when given, is the session the rows are read with (the task's source session
// still answers the catalog's estimate); one that streams rows reads the table in one pass.
void ReadTableRows(WorkerContext& context, std::string_view database, std::string_view table,
                   std::string_view selectList, RowSink& sink, RowCopyResult& result,
                   std::string_view narrower = {}, Session* rowsFrom = nullptr);

// The rowset properties of a row query: the standard set plus IRowsetChange.
const PropertySet& RowQueryProperties();

}  // namespace velmora
