// StreamedRow: a row of the Full row copy (FullRowTransfer.h) that holds a value too large to be
// written into a statement's text: kStreamedValueBytes or more of text or binary. Such a row goes
// on its own, in an INSERT whose large values are parameters (one ? each) sent to the server in
// pieces while it executes (data/StreamedValues.h); its other values are literals as in any
// batch. The values are not copied: they point into the reader's row, which the reader keeps
// until the writer has sent it (`sent`). Only a target that runs statements streams values
// (Session::StreamsValues); a script target gets such a row as text, in a batch as usual.
//
// Threads: built by the reading thread, sent by the writing thread while the reader waits.
#pragma once

#include <functional>
#include <future>
#include <string>
#include <string_view>
#include <vector>

#include "data/DataAccess.h"
#include "translation/FullTableTranslator.h"

namespace velmora {

// A value of this many bytes (as the reader gives it: binary as its hexadecimal digits) or more
// is sent as a parameter in pieces.
inline constexpr size_t kStreamedValueBytes = size_t{1} << 20;

struct StreamedRow {
    std::string values;                        // "(1,?,N'x')": the row's VALUES entry
    std::vector<size_t> markers;               // where each ? stands in `values`
    std::vector<StreamedValue> parameters;     // one per marker, in order
    std::vector<const TargetColumn*> columns;  // the column of each parameter
    std::promise<void> sent;                   // set once the writer is done with the row
};

// Whether a value of `column` that the reader gives in `bytes` bytes is sent as a parameter.
bool StreamsValue(const TargetColumn& column, size_t bytes);

// Column `index` of the current row as a parameter: a text as it is; binary as its bytes where
// the reader holds them, else as its hexadecimal digits (or as the bytes a non-hexadecimal
// value stands for, as its literal would take them).
StreamedValue StreamedValueOf(const TargetColumn& column, const StatementRowset& row, int index);

// The row's VALUES entry with every marker replaced by its value's literal, handed to `write` in
// pieces: what the data file of the table keeps for the row.
void WriteRowLiteral(const StreamedRow& row, const std::function<void(std::string_view)>& write);

}  // namespace velmora
