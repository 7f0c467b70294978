// DoubleBulkCopy: the bulk copy of the scripted SQL Server target (TargetDouble.h). Sessions of
// the double hand out a bulk copy (data/BulkLoad.h) once Offer was called; every copy is recorded
// with the rows the server "stored", and a read-back of a bulk-copied table
// ("SELECT ... FROM <table> ORDER BY ...") is answered with those rows.
//
//   target.Bulk().Offer();
//   target.Bulk().FailBatch(2, "Trying to read more data than available", 9000);  // the 2nd batch: 9,000 rows kept
//   target.Bulk().Misread("12.50", "1250.00");   // a driver that misreads a value
//   ... run the code under test ...
//   EXPECT_EQ(target.Bulk().Copies()[1].stored.size(), 10000u);
//
// Rules:
// - A row sent is stored when its batch (Batch, or Done for the rest) succeeds. Values of text
//   columns are stored as sent (after Misread), binary ones as upper-case hexadecimal digits,
//   NULL as nullopt.
// - Batch and Done calls are counted across every copy of the server, from 1. A failing call
//   stores the first `kept` rows of its batch, returns -1 and fails every later call of that copy.
//
// Threads: every member may be called from any thread (one lock inside).
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "data/BulkLoad.h"
#include "support/TargetDouble.h"

namespace velmora::test {

struct BulkCopyRecord {
    std::string table;
    std::vector<BulkColumn> columns;
    bool keepIdentity = false;
    std::vector<ScriptedRow> stored;
    int batches = 0;      // Batch and Done calls that succeeded
    bool failed = false;  // a call of this copy failed
};

class DoubleBulkScript : public std::enable_shared_from_this<DoubleBulkScript> {
public:
    // ---- Script ----
    void Offer();
    void FailBegin(std::string errorText);
    // The `call`-th Batch or Done call (from 1, across copies) fails after `kept` rows of its batch.
    void FailBatch(int call, std::string errorText, size_t kept = 0);
    void Misread(std::string sent, std::string stored);

    // ---- Observe ----
    std::vector<BulkCopyRecord> Copies() const;
    // How many bulk copies sessions handed out (each a reach for the driver's bulk functions).
    int LoadsHandedOut() const;

    // ---- For the double ----
    std::unique_ptr<BulkLoad> NewLoad();
    std::optional<ScriptedResult> Answer(const std::string& statement) const;

private:
    friend class DoubleBulkLoad;
    struct BatchFailure {
        int call = 0;
        std::string errorText;
        size_t kept = 0;
    };

    mutable std::mutex mutex_;
    bool offered_ = false;
    std::optional<std::string> beginFailure_;
    std::vector<BatchFailure> batchFailures_;
    std::vector<std::pair<std::string, std::string>> misreads_;
    std::vector<BulkCopyRecord> copies_;
    int calls_ = 0;
    int loads_ = 0;
};

}  // namespace velmora::test
