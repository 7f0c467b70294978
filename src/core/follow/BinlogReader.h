// BinlogReader: the source's binary log, read as a replica reads it (MariaDB Connector/C's
// mariadb_rpl_open and mariadb_rpl_fetch), turned into the committed transactions of the followed
// tables in the source's commit order. Events of other databases and tables are skipped; a
// rolled-back transaction is dropped; an ALTER, RENAME, TRUNCATE or DROP of a followed table
// ends the reading with one line that names the statement, the table and the position.
//
// Positions are file and offset (the server's own, stable across its restarts) with the GTID of
// the last transaction where the server writes them. The reader asks the server for heartbeats,
// so an idle source still hands control back twice a second. It takes a server id of its own
// that no replica of the source uses (the server drops an older reader of the same id).
//
// The values that only the server can print as the copy reads them (timestamps in the session's
// time zone, spatial values as WKT, text of other character sets) are printed by the server on a
// second connection, once per transaction.
//
// Threads: one thread (the follower's) uses a reader.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "data/MariaDbRows.h"
#include "follow/BinlogPosition.h"
#include "follow/SourceTransaction.h"

struct st_mariadb_rpl;        // Connector/C's replication handle (MARIADB_RPL)
struct st_mariadb_rpl_event;  // one event (MARIADB_RPL_EVENT)

namespace velmora {

class FollowedTables;

// What a statement of the log does to a followed table: the statement's kind and the table, or
// an empty kind when it does nothing to one. `defaultDatabase` is the statement's current one.
struct DdlTouch {
    std::string kind;   // "ALTER", "RENAME", "TRUNCATE", "DROP"
    std::string table;
};
DdlTouch DdlTouchingFollowed(std::string_view statement, std::string_view defaultDatabase,
                             std::string_view database, const FollowedTables& tables);

// Where the source's log stands now: SHOW MASTER STATUS and @@gtid_binlog_pos.
struct SourceHead {
    BinlogPosition position;
    std::string gtidPosition;  // every domain's last GTID
};

class BinlogReader {
public:
    enum class Result {
        Transaction,  // `out` holds a committed transaction with changes of followed tables
        Idle,         // nothing more to read for now (the position may have moved on)
        Stopped,      // a statement changed a followed table: `message` says which; the
                      // position is after it (the changes before it are all read)
        Lost,         // the connection broke: open again from a committed position
        Failed,       // the log cannot be read from here on (purged, corrupt): `message`
    };

    BinlogReader(NativeSourceOptions options, std::string database, const FollowedTables& tables);
    ~BinlogReader();
    BinlogReader(const BinlogReader&) = delete;
    BinlogReader& operator=(const BinlogReader&) = delete;

    // Connects and starts at `from`. False with the reason in `error`; then OpenFailure says
    // whether trying again can help (Lost) or not (Failed: the position is gone).
    bool Open(const BinlogPosition& from, std::string& error);
    Result OpenFailure() const { return purged_ ? Result::Failed : Result::Lost; }
    void Close();
    Result Next(SourceTransaction& out, std::string& message);
    // After every transaction read (applied or skipped).
    const BinlogPosition& Position() const { return position_; }
    // Whether more of the log has already arrived (catching up).
    bool DataWaiting() const;
    bool ReadHead(SourceHead& head, std::string& error);
    uint32_t ServerId() const { return serverId_; }

    // The server's current position (a fresh connection of its own).
    static bool CurrentHead(const NativeSourceOptions& options, SourceHead& head, std::string& error);
    // The first row of a query on a plain connection (NULL as nothing); false with the reason.
    static bool QueryRow(::st_mysql* connection, const std::string& text,
                         std::vector<std::optional<std::string>>& row, std::string& error);

private:
    struct Group;
    Result Handle(::st_mariadb_rpl_event* event, SourceTransaction& out, std::string& message);
    bool Resolve(SourceTransaction& transaction, std::string& error);
    bool ChooseServerId(std::string& error);

    NativeSourceOptions options_;
    std::string database_;
    const FollowedTables& tables_;
    ::st_mysql* connection_ = nullptr;
    ::st_mysql* queries_ = nullptr;
    ::st_mariadb_rpl* rpl_ = nullptr;
    ::st_mariadb_rpl_event* event_ = nullptr;
    uint32_t serverId_ = 0;
    bool purged_ = false;
    bool checksum_ = false;  // the events end in a CRC32 checksum
    BinlogPosition position_;
    std::string file_;
    std::unique_ptr<Group> group_;
};

}  // namespace velmora
