// RunLock: one run at a time per target database. A migration, a resume, the finish of a split
// run or a follow holds an application lock on the target database for its whole run, on a
// connection of its own that it keeps open (sp_getapplock with the session as owner, which both
// SQL Server and Babelfish take): the server drops the lock when that connection ends, so a run
// that crashed or was killed never keeps the database. The shares of a split run (--part) take
// it shared, so that they run together while nothing else does.
//
// Whoever holds the lock is described (host, process, command, start time) in an extended
// property of the database, so that a second run can say at once who holds it; the property of
// a run that crashed is stale and the next holder overwrites it.
//
// Threads: the thread that acquired it releases it (its destructor); the connection is the
// lock's alone.
#pragma once

#include <memory>
#include <string>

#include "data/DataAccess.h"

namespace velmora {

class RunLock {
public:
    enum class Mode { Exclusive, Shared };

    // Takes the lock of `database` on `connection` (open, with its session; the lock keeps it)
    // for `command` ("velmora-cli migrate --resume"). Nothing, with `refusal` saying why and, when another
    // run holds the database, who: "another run holds the target database shop: velmora-cli
    // migrate on host db1, process 4711, started 2026-01-10 09:00:00 UTC".
    static std::unique_ptr<RunLock> Acquire(std::unique_ptr<DataSourceConnection> connection, const std::string& database,
                                            const std::string& command, Mode mode, std::string& refusal);
    ~RunLock();
    RunLock(const RunLock&) = delete;
    RunLock& operator=(const RunLock&) = delete;

    // True while this process holds the lock of `database` (the command line takes it before
    // its tasks start; a task of the same run then takes no second one).
    static bool HeldHere(const std::string& database);

    // This run's own description, as a second run is told it.
    const std::string& holder() const { return holder_; }
    // Gives the lock back (and clears the description); the destructor does it when not done.
    void Release();

private:
    RunLock(std::unique_ptr<DataSourceConnection> connection, std::string database, std::string holder);

    std::unique_ptr<DataSourceConnection> connection_;
    std::string database_;
    std::string holder_;
    bool shared_ = false;
};

// "<command> on host H, process P, started T UTC": who runs now (`command` names the program,
// "velmora-cli migrate --resume").
std::string RunHolderDescription(const std::string& command);

}  // namespace velmora
