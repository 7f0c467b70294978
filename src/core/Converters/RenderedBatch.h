// RenderedBatch: what the reading side of the Full row copy hands its writer: the rows rendered
// as a statement's VALUES list and, where the table goes through a bulk copy, the same rows as
// plain values (translation/FullValueRendering.h, BulkFullValue).
//
// Threads: built by the reading thread, then owned by the writing thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// Where one rendered row "(...)" lies in a text.
struct RowSpan {
    size_t offset = 0;
    size_t length = 0;
};

// One plain value of a row in RenderedBatch::raw.
struct RawField {
    size_t offset = 0;
    size_t length = 0;
    bool null = false;
};

// The rendered rows one after another, separated by commas (a statement's VALUES list as it
// stands), and the reasons of rows that failed before anything was sent (counted by the writer,
// which keeps every count). One text per batch: no allocation per row. With a bulk copy, `raw`
// holds every value of every row, `fields` one entry per written column of each row in order.
struct StreamedRow;  // StreamedRow.h

struct RenderedBatch {
    // Set, in a batch of its own, for a row with large values, which the reader keeps until it
    // was sent. Shared: the writer may still hold it when the reader goes on.
    std::shared_ptr<StreamedRow> streamed;
    std::string values;
    std::vector<RowSpan> rows;
    std::vector<std::string> refusals;
    std::string raw;
    std::vector<RawField> fields;

    std::string_view Row(size_t row) const { return std::string_view(values).substr(rows[row].offset, rows[row].length); }
    std::string_view Raw(const RawField& field) const { return std::string_view(raw).substr(field.offset, field.length); }
};

}  // namespace velmora
