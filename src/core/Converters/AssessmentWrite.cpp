// The target's half of the assessment's copy-time estimate (Assessment.h): a short timed write
// into a temporary table, and the tables' estimates with it.
#include <algorithm>
#include <chrono>

#include "Converters/Assessment.h"
#include "data/StatementExecution.h"
#include "tasks/OperationLog.h"

namespace velmora {
namespace {

constexpr int kRowsPerStatement = 250;
constexpr int64_t kMostRows = 50000;
constexpr const char kProbe[] = "#velmora_write_probe";

std::string ProbeInsert(int64_t first, int64_t& textBytes) {
    static const std::string pad(96, 'x');
    std::string text = std::string("INSERT INTO ") + kProbe + " (id, pad) VALUES ";
    for (int i = 0; i < kRowsPerStatement; ++i) {
        const std::string id = std::to_string(first + i);
        text += (i ? ", (" : "(") + id + ", N'" + pad + "')";
        textBytes += static_cast<int64_t>(id.size() + pad.size());
    }
    return text;
}

}  // namespace

WriteMeasurement MeasureTargetWrite(Session* target, double seconds) {
    WriteMeasurement measured;
    OperationLog quiet;
    if (!ExecuteStatement(quiet, target, std::string("CREATE TABLE ") + kProbe + " (id int NOT NULL, pad nvarchar(100) NULL)",
                          0, &measured.failure)) {
        if (measured.failure.empty()) measured.failure = "the temporary table could not be created";
        return measured;
    }
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    const auto elapsed = [&] { return std::chrono::duration<double>(Clock::now() - start).count(); };
    while (measured.rows < kMostRows && elapsed() < seconds) {
        int64_t bytes = 0;
        const std::string insert = ProbeInsert(measured.rows + 1, bytes);
        if (!ExecuteStatement(quiet, target, insert, 0, &measured.failure)) {
            if (measured.failure.empty()) measured.failure = "the rows could not be written";
            break;
        }
        measured.rows += kRowsPerStatement;
        measured.textBytes += bytes;
    }
    measured.seconds = elapsed();
    std::string ignored;
    ExecuteStatement(quiet, target, std::string("DROP TABLE ") + kProbe, 0, &ignored);
    return measured;
}

void AddTargetWrites(Assessment& assessment, const WriteMeasurement& write) {
    assessment.write = write;
    if (write.TextBytesPerSecond() <= 0) return;
    for (DatabaseAssessment& database : assessment.databases) {
        const ReadMeasurement& read = database.measurement;
        if (read.StorageBytesPerSecond() <= 0 || read.textBytes <= 0) continue;
        // The write's rate in the bytes on disk that the read's sample stands for.
        const double writeRate = write.TextBytesPerSecond() * static_cast<double>(read.storageBytes) /
                                 static_cast<double>(read.textBytes);
        database.copySeconds = 0;
        for (AssessedObject& object : database.objects) {
            if (object.kind != "table" || object.copySeconds < 0) continue;
            object.copySeconds = std::max(object.copySeconds, object.rows == 0 ? 0 : object.dataBytes / writeRate);
            database.copySeconds += object.copySeconds;
        }
    }
}

}  // namespace velmora
