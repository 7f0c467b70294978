#include "Converters/ConversionReport.h"

#include "Converters/SourceQuery.h"

namespace velmora {

bool RowCopyResult::Succeeded() const {
    return text == kTrueText && rowsFailed == 0 && !readFailed && !backupFailed;
}

int64_t ConversionReport::RowsWritten() const {
    int64_t total = 0;
    for (const TableReport& table : tables) total += table.rows.rowsWritten;
    return total;
}

int64_t ConversionReport::RowsFailed() const {
    int64_t total = 0;
    for (const TableReport& table : tables) total += table.rows.rowsFailed;
    return total;
}

}  // namespace velmora
