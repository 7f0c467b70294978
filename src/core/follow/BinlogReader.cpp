#include "follow/BinlogReader.h"

#include <mysql.h>
#include <mariadb_rpl.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <set>

#include "follow/FollowedTables.h"
#include "translation/Naming.h"

namespace velmora {
namespace {

// The server's heartbeat while the log is idle: the reader hands back control this often.
constexpr const char* kHeartbeat = "SET @master_heartbeat_period = 500000000";
constexpr auto kIdleAfter = std::chrono::milliseconds(500);
constexpr uint8_t kStandalone = 1;  // FL_STANDALONE of a GTID event: no COMMIT follows

std::string Text(const MARIADB_STRING& text) { return text.str ? std::string(text.str, text.length) : std::string(); }

std::string Upper(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

// The words and names of a statement: bare words upper-cased, `quoted` names as they are, dots
// and commas as words of their own; comments dropped.
std::vector<std::string> Words(std::string_view text) {
    std::vector<std::string> words;
    size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (std::isspace(static_cast<unsigned char>(c))) { ++i; continue; }
        if (c == '/' && i + 1 < text.size() && text[i + 1] == '*') {
            const size_t end = text.find("*/", i + 2);
            i = end == std::string_view::npos ? text.size() : end + 2;
            continue;
        }
        if (c == '`') {
            std::string name;
            for (++i; i < text.size(); ++i) {
                if (text[i] == '`' && i + 1 < text.size() && text[i + 1] == '`') { name += '`'; ++i; }
                else if (text[i] == '`') { ++i; break; }
                else name += text[i];
            }
            words.push_back("`" + name);
            continue;
        }
        if (c == '.' || c == ',' || c == ';' || c == '(') {
            words.emplace_back(1, c);
            ++i;
            continue;
        }
        size_t end = i;
        while (end < text.size() && !std::isspace(static_cast<unsigned char>(text[end])) &&
               std::strchr(".,;(`", text[end]) == nullptr) {
            ++end;
        }
        words.push_back(Upper(text.substr(i, end - i)));
        i = end;
    }
    return words;
}

// The name a word holds; bare words were upper-cased, so a bare name is compared without case.
bool SameName(const std::string& word, const std::string& name) {
    if (!word.empty() && word[0] == '`') return word.substr(1) == name;
    return word == Upper(name);
}

std::string Hex(const char* bytes, size_t length) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    for (size_t i = 0; i < length; ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        out.push_back(kDigits[b >> 4]);
        out.push_back(kDigits[b & 15]);
    }
    return out;
}

bool Query(MYSQL* connection, const std::string& text, std::string& error) {
    if (mysql_real_query(connection, text.data(), text.size()) == 0) {
        if (MYSQL_RES* result = mysql_store_result(connection)) mysql_free_result(result);
        return true;
    }
    error = "[" + std::to_string(mysql_errno(connection)) + "] " + mysql_error(connection);
    return false;
}

}  // namespace

bool BinlogReader::QueryRow(MYSQL* connection, const std::string& text, std::vector<std::optional<std::string>>& row,
              std::string& error) {
    row.clear();
    if (mysql_real_query(connection, text.data(), text.size()) != 0) {
        error = "[" + std::to_string(mysql_errno(connection)) + "] " + mysql_error(connection);
        return false;
    }
    MYSQL_RES* result = mysql_store_result(connection);
    if (!result) {
        error = "no result";
        return false;
    }
    if (MYSQL_ROW values = mysql_fetch_row(result)) {
        const unsigned long* lengths = mysql_fetch_lengths(result);
        for (unsigned i = 0; i < mysql_num_fields(result); ++i) {
            if (values[i]) row.emplace_back(std::string(values[i], lengths[i]));
            else row.emplace_back();
        }
    }
    mysql_free_result(result);
    return true;
}

namespace {

// The server's "could not find the log" (ER_MASTER_FATAL_ERROR_READING_BINLOG).
constexpr unsigned kLogGone = 1236;

std::string GoneText(const BinlogPosition& position, const std::string& why) {
    return "the position " + position.Text() +
           " is no longer in the source's binary log (it was purged, or the log was reset): "
           "a new copy is needed (" + why + ")";
}

// Where a rotation points: the next file and the offset in it.
struct RotateTarget {
    std::string file;
    uint64_t offset = 0;
};

// The packet holds the OK byte, the 19 bytes of the event header, the 8 bytes of the offset,
// the file name and, when the server writes them, the 4 bytes of the checksum.
RotateTarget RotateOf(const MARIADB_RPL_EVENT& event, bool checksum) {
    constexpr size_t kPayload = 1 + 19;
    const size_t tail = checksum ? 4 : 0;
    RotateTarget target;
    if (event.raw_data_size < kPayload + 8 + tail + 1) return target;
    const unsigned char* p = event.raw_data + kPayload;
    for (int i = 7; i >= 0; --i) target.offset = (target.offset << 8) | p[i];
    target.file.assign(reinterpret_cast<const char*>(p + 8), event.raw_data_size - kPayload - 8 - tail);
    return target;
}

bool IsConnectionLost(unsigned error) { return error == 2006 || error == 2013 || error == 2055 || error == 2026; }

}  // namespace

DdlTouch DdlTouchingFollowed(std::string_view statement, std::string_view defaultDatabase,
                             std::string_view database, const FollowedTables& tables) {
    const std::vector<std::string> words = Words(statement);
    // The table named from words[at] on ("db . t" or "t"), when it is a followed one.
    auto followedAt = [&](size_t at) -> std::string {
        if (at >= words.size()) return {};
        std::string db(defaultDatabase);
        size_t name = at;
        if (at + 2 < words.size() && words[at + 1] == ".") {
            db = words[at][0] == '`' ? words[at].substr(1) : words[at];
            name = at + 2;
            if (words[at][0] != '`' && Upper(database) == db) db = std::string(database);
        }
        if (db != database) return {};
        for (const auto& table : tables.All()) {
            if (SameName(words[name], table->name)) return table->name;
        }
        return {};
    };
    // Every table of a list "a, b, c" (or "a TO b, c TO d") from words[at] on.
    auto firstFollowed = [&](size_t at, const std::string& kind) -> DdlTouch {
        for (size_t i = at; i < words.size(); ++i) {
            if (i == at || words[i - 1] == "," || words[i - 1] == "TO") {
                const std::string table = followedAt(i);
                if (!table.empty()) return {kind, table};
            }
        }
        return {};
    };
    size_t i = 0;
    auto skip = [&](std::initializer_list<const char*> optional) {
        for (const char* word : optional) {
            if (i < words.size() && words[i] == word) ++i;
        }
    };
    if (words.empty()) return {};
    const std::string verb = words[0];
    i = 1;
    if (verb == "ALTER") {
        skip({"ONLINE", "IGNORE"});
        if (i < words.size() && words[i] == "TABLE") {
            ++i;
            skip({"IF", "EXISTS"});
            const std::string table = followedAt(i);
            // Only the counter of the next key changes: no row and no column does.
            const size_t rest = i + (i + 1 < words.size() && words[i + 1] == "." ? 3 : 1);
            const bool counterOnly = rest < words.size() && words[rest] == "AUTO_INCREMENT" &&
                                     words.size() - rest == (rest + 1 < words.size() && words[rest + 1] == "=" ? 3u : 2u);
            if (!table.empty() && !counterOnly) return {"ALTER", table};
        }
    } else if (verb == "RENAME" && i < words.size() && words[i] == "TABLE") {
        return firstFollowed(i + 1, "RENAME");
    } else if (verb == "TRUNCATE") {
        skip({"TABLE"});
        const std::string table = followedAt(i);
        if (!table.empty()) return {"TRUNCATE", table};
    } else if (verb == "DROP") {
        skip({"TEMPORARY"});
        if (i < words.size() && words[i] == "TABLE") {
            ++i;
            skip({"IF", "EXISTS"});
            return firstFollowed(i, "DROP");
        }
    }
    return {};
}

// The transaction being read.
struct BinlogReader::Group {
    bool open = false;
    bool standalone = false;
    std::string gtid;
    SourceTransaction transaction;
    std::map<uint64_t, BinlogTableMap> maps;  // followed tables only
    std::set<uint64_t> skipped;               // table ids of other tables
};

BinlogReader::BinlogReader(NativeSourceOptions options, std::string database, const FollowedTables& tables)
    : options_(std::move(options)), database_(std::move(database)), tables_(tables), group_(std::make_unique<Group>()) {}

BinlogReader::~BinlogReader() { Close(); }

void BinlogReader::Close() {
    if (event_) mariadb_free_rpl_event(event_);
    event_ = nullptr;
    if (rpl_) mariadb_rpl_close(rpl_);
    rpl_ = nullptr;
    if (connection_) mysql_close(connection_);
    connection_ = nullptr;
    if (queries_) mysql_close(queries_);
    queries_ = nullptr;
}

bool BinlogReader::ChooseServerId(std::string& error) {
    // Replicas take small ids; this one is high and names this process, and it is checked
    // against the server's own id and the replicas the server knows.
    std::set<uint32_t> taken;
    std::vector<std::optional<std::string>> row;
    if (!QueryRow(queries_, "SELECT @@server_id", row, error)) return false;
    if (!row.empty() && row[0]) taken.insert(static_cast<uint32_t>(std::stoul(*row[0])));
    if (mysql_real_query(queries_, "SHOW SLAVE HOSTS", 16) == 0) {
        if (MYSQL_RES* result = mysql_store_result(queries_)) {
            while (MYSQL_ROW values = mysql_fetch_row(result)) {
                if (values[0]) taken.insert(static_cast<uint32_t>(std::stoul(values[0])));
            }
            mysql_free_result(result);
        }
    }
    serverId_ = 0x7E000000u | (static_cast<uint32_t>(getpid()) & 0xFFFFFF);
    while (taken.count(serverId_)) ++serverId_;
    return true;
}

bool BinlogReader::Open(const BinlogPosition& from, std::string& error) {
    Close();
    purged_ = false;
    *group_ = Group();
    position_ = from;
    file_ = from.file;
    if (!(queries_ = ConnectMariaDb(options_, error))) return false;
    if (!(connection_ = ConnectMariaDb(options_, error))) return false;
    if (!ChooseServerId(error)) return false;
    std::vector<std::optional<std::string>> row;
    if (!QueryRow(connection_, "SELECT @@global.binlog_checksum", row, error)) return false;
    checksum_ = !row.empty() && row[0] && *row[0] != "NONE";
    for (const char* set : {"SET @master_binlog_checksum = @@global.binlog_checksum",
                            "SET @mariadb_slave_capability = 4", kHeartbeat}) {
        if (!Query(connection_, set, error)) return false;
    }
    rpl_ = mariadb_rpl_init(connection_);
    if (!rpl_) {
        error = std::string("the replication interface could not start: ") + mysql_error(connection_);
        return false;
    }
    mariadb_rpl_optionsv(rpl_, MARIADB_RPL_FILENAME, from.file.c_str(), from.file.size());
    mariadb_rpl_optionsv(rpl_, MARIADB_RPL_START, static_cast<unsigned long>(from.offset));
    mariadb_rpl_optionsv(rpl_, MARIADB_RPL_SERVER_ID, static_cast<unsigned int>(serverId_));
    mariadb_rpl_optionsv(rpl_, MARIADB_RPL_FLAGS, 0u);
    mariadb_rpl_optionsv(rpl_, MARIADB_RPL_UNCOMPRESS, 1u);
    if (mariadb_rpl_open(rpl_) != 0) {
        purged_ = mariadb_rpl_errno(rpl_) == kLogGone || mysql_errno(connection_) == kLogGone;
        error = purged_ ? GoneText(from, mariadb_rpl_error(rpl_))
                        : "the binary log could not be opened at " + from.Text() + ": " + mariadb_rpl_error(rpl_);
        return false;
    }
    return true;
}

bool BinlogReader::DataWaiting() const {
    if (!connection_) return false;
    pollfd socket{static_cast<int>(mysql_get_socket(connection_)), POLLIN, 0};
    return poll(&socket, 1, 0) > 0;
}

BinlogReader::Result BinlogReader::Next(SourceTransaction& out, std::string& message) {
    const auto started = std::chrono::steady_clock::now();
    while (true) {
        MARIADB_RPL_EVENT* event = mariadb_rpl_fetch(rpl_, event_);
        if (!event) {
            event_ = nullptr;
            const unsigned code = mysql_errno(connection_);
            const std::string why = mariadb_rpl_errno(rpl_) ? mariadb_rpl_error(rpl_) : mysql_error(connection_);
            if (IsConnectionLost(code)) {
                message = "the source's binary log connection was lost: " + why;
                return Result::Lost;
            }
            if (code == kLogGone || mariadb_rpl_errno(rpl_) == kLogGone) {
                message = GoneText(position_, why);
                return Result::Failed;
            }
            message = "the source's binary log could not be read after " + position_.Text() + ": [" +
                      std::to_string(code) + "] " + why;
            return Result::Lost;
        }
        event_ = event;
        const Result result = Handle(event, out, message);
        if (result != Result::Idle) return result;
        if (event->event_type == HEARTBEAT_LOG_EVENT) return Result::Idle;
        if (!group_->open && std::chrono::steady_clock::now() - started > kIdleAfter) return Result::Idle;
    }
}

// Idle: go on reading (the caller sees Idle only after a heartbeat or a while).
BinlogReader::Result BinlogReader::Handle(MARIADB_RPL_EVENT* event, SourceTransaction& out, std::string& message) {
    Group& group = *group_;
    auto finish = [&](bool keep) -> Result {
        position_ = {file_, event->next_event_pos, group.gtid.empty() ? position_.gtid : group.gtid};
        group.open = false;
        SourceTransaction done = std::move(group.transaction);
        group.transaction = SourceTransaction();
        group.maps.clear();
        group.skipped.clear();
        if (!keep || done.changes.empty()) return Result::Idle;
        done.end = position_;
        done.commitTime = event->timestamp;
        if (!Resolve(done, message)) return Result::Lost;
        out = std::move(done);
        return Result::Transaction;
    };
    switch (event->event_type) {
        case ROTATE_EVENT: {
            // Read from the event's bytes: Connector/C 3.3 reads a rotation that the server
            // writes (not the one it makes up at the start) 8 bytes too far.
            const RotateTarget next = RotateOf(*event, checksum_);
            if (next.file.empty()) {
                message = "the log's rotation at " + position_.Text() + " could not be read";
                return Result::Failed;
            }
            file_ = next.file;
            if (!group.open) position_ = {file_, next.offset, position_.gtid};
            return Result::Idle;
        }
        case GTID_EVENT:
            group.open = true;
            group.standalone = event->event.gtid.flags & kStandalone;
            group.gtid = std::to_string(event->event.gtid.domain_id) + "-" + std::to_string(event->server_id) +
                         "-" + std::to_string(event->event.gtid.sequence_nr);
            group.transaction = SourceTransaction();
            return Result::Idle;
        case XID_EVENT:
            return finish(true);
        case QUERY_EVENT: {
            const std::string statement = Text(event->event.query.statement);
            const std::string verb = Upper(statement.substr(0, 8));
            if (verb.rfind("BEGIN", 0) == 0) {
                group.open = true;
                return Result::Idle;
            }
            if (verb.rfind("COMMIT", 0) == 0) return finish(true);
            if (verb.rfind("ROLLBACK", 0) == 0) return finish(false);
            const DdlTouch touch = DdlTouchingFollowed(statement, Text(event->event.query.database), database_, tables_);
            if (!touch.kind.empty()) {
                position_ = {file_, event->next_event_pos, group.gtid.empty() ? position_.gtid : group.gtid};
                group.open = false;
                message = touch.kind + " of the followed table " + touch.table + " at " + file_ + ":" +
                          std::to_string(event->next_event_pos) + ": \"" + statement.substr(0, 200) +
                          "\"; the target holds every change before it. Make the target's table match, then run follow again.";
                return Result::Stopped;
            }
            if (group.standalone || !group.open) return finish(false);
            return Result::Idle;
        }
        case TABLE_MAP_EVENT: {
            const auto& map = event->event.table_map;
            const std::string database = Text(map.database), table = Text(map.table);
            const FollowedTable* followed = database == database_ ? tables_.Find(table) : nullptr;
            if (!followed) {
                group.skipped.insert(map.table_id);
                return Result::Idle;
            }
            BinlogTableMap decoded;
            decoded.tableId = map.table_id;
            decoded.database = database;
            decoded.table = table;
            decoded.types.assign(map.column_types.str, map.column_types.str + map.column_types.length);
            if (!DecodeTableMapMetadata(decoded.types, std::string_view(map.metadata.str, map.metadata.length),
                                        decoded.metadata)) {
                message = "the log's description of " + table + " could not be read at " + position_.Text();
                return Result::Failed;
            }
            group.maps[map.table_id] = std::move(decoded);
            return Result::Idle;
        }
        case FORMAT_DESCRIPTION_EVENT:
        case GTID_LIST_EVENT:
        case BINLOG_CHECKPOINT_EVENT:
            // Between transactions (the head of a new file): the position moves past them, so
            // that a cutover point there is reached.
            if (!group.open && event->next_event_pos > 0) position_ = {file_, event->next_event_pos, position_.gtid};
            return Result::Idle;
        default:
            break;
    }
    if (!IS_ROW_EVENT(event)) return Result::Idle;
    const auto& rows = event->event.rows;
    const auto found = group.maps.find(rows.table_id);
    if (found == group.maps.end()) return Result::Idle;  // another table's
    const FollowedTable* table = tables_.Find(found->second.table);
    const size_t bitmap = (rows.column_count + 7) / 8;
    std::string_view data(static_cast<const char*>(rows.row_data), rows.row_data_size);
    std::string_view columns(reinterpret_cast<const char*>(rows.column_bitmap), bitmap);
    std::string_view after = columns;
    const bool update = rows.type == UPDATE_ROWS;
    if (update && rows.column_update_bitmap) {
        after = std::string_view(reinterpret_cast<const char*>(rows.column_update_bitmap), bitmap);
    } else if (update && data.size() >= bitmap) {
        after = data.substr(0, bitmap);  // a version 2 event: the after image's bitmap leads the data
        data.remove_prefix(bitmap);
    }
    std::vector<BinlogRowImage> images;
    if (!DecodeRowImages(found->second, table->shapes, columns, after, update, data, images, message)) {
        message += " at " + position_.Text();
        return Result::Failed;
    }
    group.transaction.bytes += event->event_length;
    for (size_t i = 0; i < images.size(); i += update ? 2 : 1) {
        RowChange change;
        change.table = table;
        if (rows.type == WRITE_ROWS) {
            change.kind = RowChange::Kind::Insert;
            change.after = std::move(images[i]);
        } else if (rows.type == DELETE_ROWS) {
            change.kind = RowChange::Kind::Delete;
            change.before = std::move(images[i]);
        } else {
            change.kind = RowChange::Kind::Update;
            change.before = std::move(images[i]);
            change.after = std::move(images[i + 1]);
        }
        group.transaction.changes.push_back(std::move(change));
    }
    return Result::Idle;
}

bool BinlogReader::Resolve(SourceTransaction& transaction, std::string& error) {
    struct Pending {
        BinlogValue* value;
        int fraction;
    };
    std::vector<Pending> pending;
    std::string select;
    for (RowChange& change : transaction.changes) {
        for (BinlogRowImage* image : {&change.before, &change.after}) {
            for (size_t i = 0; i < image->size(); ++i) {
                BinlogValue& value = (*image)[i];
                if (value.null || value.need == ServerNeed::None) continue;
                const BinlogColumnShape& shape = change.table->shapes[i];
                std::string expression;
                if (value.need == ServerNeed::Timestamp) {
                    const size_t dot = value.text.find('.');
                    const std::string seconds = value.text.substr(0, dot);
                    std::string fraction = shape.fraction > 0 ? "." + value.text.substr(dot + 1, static_cast<size_t>(shape.fraction)) : "";
                    if (seconds == "0") {
                        value.text = "0000-00-00 00:00:00" + fraction;
                        value.need = ServerNeed::None;
                        continue;
                    }
                    expression = "CONCAT(FROM_UNIXTIME(" + seconds + "), '" + fraction + "')";
                } else if (value.need == ServerNeed::Spatial && value.text.size() >= 4) {
                    const auto* p = reinterpret_cast<const unsigned char*>(value.text.data());
                    const uint32_t srid = p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
                    expression = "ST_AsText(ST_GeomFromWKB(x'" + Hex(value.text.data() + 4, value.text.size() - 4) +
                                 "', " + std::to_string(srid) + "))";
                } else {
                    expression = "CONVERT(x'" + Hex(value.text.data(), value.text.size()) + "' USING " + shape.charset + ")";
                }
                select += (select.empty() ? "SELECT " : ", ") + expression;
                pending.push_back({&value, shape.fraction});
            }
        }
    }
    if (pending.empty()) return true;
    std::vector<std::optional<std::string>> row;
    if (!QueryRow(queries_, select, row, error) || row.size() != pending.size()) {
        error = "the source could not print the values of a transaction at " + transaction.end.Text() + ": " + error;
        return false;
    }
    for (size_t i = 0; i < pending.size(); ++i) {
        pending[i].value->null = !row[i];
        pending[i].value->text = row[i].value_or("");
        pending[i].value->need = ServerNeed::None;
    }
    return true;
}

bool BinlogReader::ReadHead(SourceHead& head, std::string& error) {
    std::vector<std::optional<std::string>> row;
    if (!queries_ || !QueryRow(queries_, "SHOW MASTER STATUS", row, error)) return false;
    if (row.size() < 2 || !row[0] || !row[1]) {
        error = "the binary log is off";
        return false;
    }
    head.position.file = *row[0];
    head.position.offset = std::stoull(*row[1]);
    if (QueryRow(queries_, "SELECT @@gtid_binlog_pos", row, error) && !row.empty()) head.gtidPosition = row[0].value_or("");
    return true;
}

bool BinlogReader::CurrentHead(const NativeSourceOptions& options, SourceHead& head, std::string& error) {
    MYSQL* connection = ConnectMariaDb(options, error);
    if (!connection) return false;
    std::vector<std::optional<std::string>> row;
    bool ok = QueryRow(connection, "SHOW MASTER STATUS", row, error);
    if (ok && (row.size() < 2 || !row[0] || !row[1])) {
        error = "the source's binary log is off (log_bin)";
        ok = false;
    }
    if (ok) {
        head.position.file = *row[0];
        head.position.offset = std::stoull(*row[1]);
        if (QueryRow(connection, "SELECT @@gtid_binlog_pos", row, error) && !row.empty()) {
            head.gtidPosition = row[0].value_or("");
            head.position.gtid = head.gtidPosition.find(',') == std::string::npos ? head.gtidPosition : "";
        }
    }
    mysql_close(connection);
    return ok;
}

}  // namespace velmora
