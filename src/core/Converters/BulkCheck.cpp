#include "Converters/BulkCheck.h"

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <random>

#include "Converters/WorkerContext.h"
#include "data/BulkDriver.h"
#include "data/StatementExecution.h"
#include "translation/Naming.h"
#include "translation/TypeCodes.h"

namespace velmora {
namespace {

BulkCheckColumn Column(std::string name, std::string type, ValueFamily family,
                       uint16_t targetType = kTypeEmpty, int scale = -1) {
    BulkCheckColumn column;
    column.name = std::move(name);
    column.type = std::move(type);
    column.compared.name = column.name;
    column.compared.family = family;
    column.compared.sourceType = targetType;
    column.compared.targetType = targetType;
    column.compared.targetScale = scale;
    column.bytes = family == ValueFamily::Binary;
    return column;
}

// A text of `units` characters over 8 KB in any encoding: Latin, accented, CJK and an emoji.
std::string LongText(size_t repeats) {
    std::string text;
    for (size_t i = 0; i < repeats; ++i) text += "Ab\xC3\xA4\xE6\x97\xA5\xF0\x9F\x98\x80 ";
    return text;
}

// Bytes 00..FF over and over, zero bytes included, as hexadecimal digits.
std::string LongHex(size_t bytes) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string hex;
    for (size_t i = 0; i < bytes; ++i) {
        hex.push_back(kDigits[(i % 256) >> 4]);
        hex.push_back(kDigits[(i % 256) & 0x0F]);
    }
    return hex;
}

int HexDigit(char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; }

std::string HexToBytes(std::string_view hex) {
    std::string bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.push_back(static_cast<char>(HexDigit(hex[i]) * 16 + HexDigit(hex[i + 1])));
    }
    return bytes;
}

// A datetimeoffset text: its date and time, and its offset ("+02:00").
bool SameOffsetValue(std::string_view sent, std::string_view read) {
    const size_t sentBlank = sent.rfind(' ');
    const size_t readBlank = read.rfind(' ');
    if (sentBlank == std::string_view::npos || readBlank == std::string_view::npos) return sent == read;
    std::optional<int64_t> a = DateTimeTicks(sent.substr(0, sentBlank));
    std::optional<int64_t> b = DateTimeTicks(read.substr(0, readBlank));
    return a && b && *a == *b && sent.substr(sentBlank + 1) == read.substr(readBlank + 1);
}

bool SameCheckValue(const BulkCheckColumn& column, const std::optional<std::string>& sent,
                    const std::optional<std::string>& read) {
    if (!sent || !read) return !sent && !read;
    if (column.offset) return SameOffsetValue(*sent, *read);
    NormalisedValue expected = NormaliseSource(column.compared, std::string_view(*sent));
    NormalisedValue actual = NormaliseTarget(column.compared, std::string_view(*read));
    return SameValue(column.compared, expected, actual, *read);
}

std::string Shown(const std::optional<std::string>& value) {
    if (!value) return "NULL";
    if (value->size() > 40) return value->substr(0, 40) + "... (" + std::to_string(value->size()) + " bytes)";
    return value->empty() ? "''" : *value;
}

std::string CreateStatement(const std::string& table) {
    std::string statement = "CREATE TABLE " + QuoteTargetName(table) + " (";
    const auto& columns = BulkCheckColumns();
    for (size_t i = 0; i < columns.size(); ++i) {
        statement += (i ? ", " : "") + QuoteTargetName(columns[i].name) + " " + columns[i].type +
                     (i == 0 ? " NOT NULL PRIMARY KEY" : " NULL");
    }
    return statement + ")";
}

std::string SelectStatement(const std::string& table) {
    std::string list;
    for (const BulkCheckColumn& column : BulkCheckColumns()) {
        list += (list.empty() ? "" : ", ") + QuoteTargetName(column.name);
    }
    return "SELECT " + list + " FROM " + QuoteTargetName(table) + " ORDER BY " +
           QuoteTargetName(BulkCheckColumns().front().name);
}

// Sends the check rows into `table` through a bulk copy of its own connection: "" or why not.
std::string LoadThroughBulkCopy(WorkerContext& context, const std::string& table) {
    std::unique_ptr<DataSourceConnection> connection =
        context.openBulkTarget ? context.openBulkTarget() : nullptr;
    std::unique_ptr<BulkLoad> bulk =
        connection && connection->session() ? connection->session()->NewBulkLoad() : nullptr;
    if (!bulk) return "no second connection to the target could be opened for it";
    std::vector<BulkColumn> bound;
    const auto& columns = BulkCheckColumns();
    for (size_t i = 0; i < columns.size(); ++i) {
        bound.push_back({static_cast<int>(i + 1), columns[i].bytes ? BulkValueKind::Bytes : BulkValueKind::Text});
    }
    if (!bulk->Begin(QuoteTargetName(table), bound, false)) return "the driver refused it: " + bulk->ErrorText();
    for (const CheckRow& row : BulkCheckRows()) {
        std::vector<std::string> bytes(row.size());
        std::vector<BulkField> fields;
        for (size_t i = 0; i < row.size(); ++i) {
            if (row[i] && columns[i].bytes) bytes[i] = HexToBytes(*row[i]);
            fields.push_back({row[i] ? std::string_view(columns[i].bytes ? bytes[i] : *row[i]) : std::string_view(),
                              !row[i]});
        }
        if (!bulk->SendRow(fields)) return "the driver refused row " + row[0].value_or("") + ": " + bulk->ErrorText();
    }
    const int64_t stored = bulk->Done();
    if (stored < 0) return "the driver's batch failed: " + bulk->ErrorText();
    const auto sent = static_cast<int64_t>(BulkCheckRows().size());
    if (stored != sent) {
        return "the driver said " + std::to_string(stored) + " of " + std::to_string(sent) + " rows were stored";
    }
    return "";
}

// The whole check on the task's target session: "" when the pair stored every value exactly.
std::string RunCheck(WorkerContext& context) {
    Session* target = context.TargetSession();
    if (!target) return "there is no target connection";
    const std::string table = BulkCheckTableName();
    std::string why;
    if (!ExecuteStatement(context.Log(), target, CreateStatement(table), 0, &why)) {
        return "its scratch table could not be created: " + why;
    }
    std::string failure = LoadThroughBulkCopy(context, table);
    if (failure.empty()) {
        std::vector<CheckRow> read;
        if (!ReadTargetRows(target, SelectStatement(table), read, why)) {
            failure = "its rows could not be read back: " + why;
        } else {
            failure = FirstBulkCheckDifference(BulkCheckColumns(), BulkCheckRows(), read);
        }
    }
    ExecuteStatement(context.Log(), target, "DROP TABLE " + QuoteTargetName(table), 0, &why);
    return failure;
}

// What the target connection's driver says about itself; empty texts where it says nothing.
DriverIdentity TargetDriver(WorkerContext& context) {
    DriverIdentity identity;
    if (DataSourceConnection* target = context.targetConnection.get()) {
        if (target->GetProperty(kPropDriverName, identity.name) != kSuccess) identity.name.clear();
        if (target->GetProperty(kPropDriverVersion, identity.version) != kSuccess) identity.version.clear();
        if (target->GetProperty(kPropDbmsName, identity.dbms) != kSuccess) identity.dbms.clear();
    }
    return identity;
}

}  // namespace

const std::vector<BulkCheckColumn>& BulkCheckColumns() {
    static const std::vector<BulkCheckColumn> columns = [] {
        using F = ValueFamily;
        std::vector<BulkCheckColumn> c = {
            Column("id", "int", F::Integer),
            Column("i8", "tinyint", F::Integer),
            Column("i16", "smallint", F::Integer),
            Column("i32", "int", F::Integer),
            Column("i64", "bigint", F::Integer),
            Column("d10_2", "decimal(10,2)", F::Decimal),
            Column("d5_0", "decimal(5,0)", F::Decimal),
            Column("d18_9", "decimal(18,9)", F::Decimal),
            Column("d38_10", "decimal(38,10)", F::Decimal),
            Column("d38_0", "decimal(38,0)", F::Decimal),
            Column("r", "real", F::Real),
            Column("f", "float(53)", F::Double),
            Column("b", "bit", F::Integer),
            Column("dt", "date", F::Date, kTypeDbDate, 0),
            Column("tm", "time(6)", F::Time, kTypeDbTime, 6),
            Column("dt2", "datetime2(6)", F::DateTime, kTypeDbTimestamp, 6),
            Column("dto", "datetimeoffset(7)", F::Text),
            Column("c", "nchar(10)", F::FixedText),
            Column("vc", "varchar(40)", F::Text),
            Column("nv", "nvarchar(100)", F::Text),
            Column("nvm", "nvarchar(max)", F::Text),
            Column("vb", "varbinary(16)", F::Binary, kTypeBytes),
            Column("vbm", "varbinary(max)", F::Binary, kTypeBytes),
        };
        c[16].offset = true;
        return c;
    }();
    return columns;
}

const std::vector<CheckRow>& BulkCheckRows() {
    using V = std::optional<std::string>;
    static const V null = std::nullopt;
    static const std::vector<CheckRow> rows = {
        {"1", "0", "-32768", "-2147483648", "-9223372036854775808", "-99999999.99", "-99999",
         "-999999999.999999999", "-9999999999999999999999999999.9999999999",
         "-99999999999999999999999999999999999999", "-1.5", "-1.2345678901234567e300", "0",
         "0001-01-01", "00:00:00", "0001-01-01 00:00:00", "0001-01-01 00:00:00.0000000 +00:00", "a", "",
         "Gr\xC3\xBC\xC3\x9F" "e \xE2\x80\x93 \xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E \xF0\x9F\x98\x80",
         LongText(1000), "00FF00", LongHex(9000)},
        {"2", "255", "32767", "2147483647", "9223372036854775807", "99999999.99", "99999",
         "999999999.999999999", "9999999999999999999999999999.9999999999",
         "99999999999999999999999999999999999999", "1.5", "2.2250738585072014e-308", "1",
         "9999-12-31", "23:59:59.999999", "9999-12-31 23:59:59.999999",
         "9999-12-31 23:59:59.9999999 +14:00", "abc", "plain 'quoted' text", "", "", "00", ""},
        {"3", null, null, null, null, null, null, null, null, null, null, null, null, null, null, null,
         null, null, null, null, null, null, null},
        {"4", "1", "-1", "0", "1", "12.50", "7", "0.000000001", "0.0000000001", "1", "0.1", "0.1", "1",
         "2026-01-10", "12:30:00.5", "2026-01-10 09:00:00.123456", "2026-01-10 09:00:00.1234567 -05:30", "",
         "x", "line\nbreak\ttab", "N'quoted' \\ back", "", "DEADBEEF00"},
        {"5", null, null, null, null, "-0.10", null, "-1.5", "123.4567890123", "-1", null, null, null, null,
         null, null, null, "  lead", null, " ", null, null, null},
    };
    return rows;
}

std::string FirstBulkCheckDifference(const std::vector<BulkCheckColumn>& columns,
                                     const std::vector<CheckRow>& sent,
                                     const std::vector<CheckRow>& read) {
    for (size_t r = 0; r < sent.size(); ++r) {
        const std::string row = "row " + (sent[r].empty() || !sent[r][0] ? std::to_string(r + 1) : *sent[r][0]);
        if (r >= read.size()) return row + " did not arrive";
        for (size_t c = 0; c < columns.size() && c < sent[r].size(); ++c) {
            const std::optional<std::string> got = c < read[r].size() ? read[r][c] : std::nullopt;
            if (!SameCheckValue(columns[c], sent[r][c], got)) {
                return columns[c].type + " column " + columns[c].name + " of " + row + ": sent " +
                       Shown(sent[r][c]) + ", read back " + Shown(got);
            }
        }
    }
    if (read.size() > sent.size()) {
        const size_t more = read.size() - sent.size();
        return std::to_string(more) + (more == 1 ? " row" : " rows") + " more than sent";
    }
    return "";
}

std::string BulkCheckTableName() {
    static std::atomic<unsigned> counter{0};
    std::random_device random;
    char name[64];
    std::snprintf(name, sizeof name, "velmora_bulk_check_%ld_%u_%08x", static_cast<long>(getpid()),
                  counter.fetch_add(1), random());
    return name;
}

bool ReadTargetRows(Session* session, const std::string& query, std::vector<CheckRow>& rows,
                    std::string& why) {
    if (!session) {
        why = "there is no connection";
        return false;
    }
    std::unique_ptr<StatementRowset> statement = session->NewStatement();
    ResultCode result = statement->Create(query);
    if (result >= 0) result = statement->Execute(StandardRowsetProperties());
    if (result == kSuccess && statement->HasRowset()) result = statement->BindAllAsText(true);
    while (result == kSuccess && statement->HasRowset() && (result = statement->MoveNext()) == kSuccess) {
        CheckRow row;
        for (int i = 0; i < statement->ColumnCount(); ++i) {
            row.push_back(statement->IsNull(i) ? std::nullopt : std::optional<std::string>(statement->Value(i)));
        }
        rows.push_back(std::move(row));
    }
    if (result < 0) why = statement->MostInformativeError();
    statement->Close();
    return result >= 0;
}

bool BulkCopyAllowed(WorkerContext& context) {
    if (context.options.bulk != BulkMode::Auto || context.options.translation != TranslationMode::Full) return false;
    if (!context.bulkGate) context.bulkGate = std::make_shared<BulkGate>();
    BulkGate& gate = *context.bulkGate;
    std::lock_guard<std::mutex> lock(gate.mutex);
    if (gate.decided) return gate.allowed;
    gate.decided = true;
    const BulkDriverVerdict driver = JudgeBulkDriver(TargetDriver(context));
    if (!driver.allowed) {
        context.Log().WriteOutputLine("Bulk copy off: %s; rows go in INSERT statements.", driver.why.c_str());
        return false;
    }
    Session* target = context.TargetSession();
    if (!target || !target->NewBulkLoad()) {
        context.Log().WriteOutputLine("Bulk copy off: the target's driver has no bulk-copy functions; rows go in INSERT statements.");
        return false;
    }
    const auto start = std::chrono::steady_clock::now();
    const std::string failure = RunCheck(context);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (failure.empty()) {
        context.Log().WriteOutputLine("Bulk copy on: the self-check stored and read back every value exactly (%.2f s).", seconds);
        gate.allowed = true;
    } else {
        context.Log().WriteOutputLine("Bulk copy off: the self-check failed (%.2f s), %s; rows go in INSERT statements.",
                                      seconds, failure.c_str());
    }
    return gate.allowed;
}

}  // namespace velmora
