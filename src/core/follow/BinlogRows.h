// BinlogRows: the row images of a row event, decoded from the binary log's own encoding into the
// text the row copy reads for the same value (Converters/FullRowTransfer.h reads through
// data/MariaDbRows.h with translation/FullValueRendering.h's select list), so that a value that
// came through the log renders exactly as the copy renders it: one rendering for both.
//
// The forms: integers and decimals as the server prints them (a decimal with its scale's digits),
// floating point as the server prints a double (a float as the double it is), bit(1) as "0"/"1"
// and wider bits as upper-case hexadecimal, binary strings as upper-case hexadecimal, text as
// UTF-8, dates, times and datetimes with their fraction digits, year as four digits, enum and set
// as their labels. Three values need the source server to print them as the copy reads them:
// a timestamp (stored in UTC, read in the session's time zone), a spatial value (read as WKT),
// and text of a character set other than UTF-8; such a value carries `need` and its raw form,
// and the reader has the server turn it into text (BinlogReader.h).
//
// The decoding reads the event's bytes itself: Connector/C's mariadb_rpl_extract_rows misreads
// char, enum, set and fractional timestamp columns (it takes their length from the wrong
// metadata byte), and leaves geometry's length unread.
//
// Pure; any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

struct ColumnModel;

// What the decoding needs to know of one column of the table's definition.
struct BinlogColumnShape {
    std::string name;
    bool isUnsigned = false;
    bool binary = false;   // a binary string: handed on as hexadecimal digits
    bool utf8 = true;      // text in UTF-8 (or ASCII); else the server converts it
    std::string charset;   // the column's character set ("latin1") when it is not UTF-8
    bool spatial = false;
    bool bitDigit = false; // bit(1)
    std::vector<std::string> labels;  // enum and set
    bool isSet = false;
    int fraction = 0;      // fraction digits of time, datetime, timestamp
    // MariaDB's fixed-size types, logged as their bytes and handed on in the text the server
    // prints (as the copy reads them).
    enum class Printed { Bytes, Uuid, Inet6, Inet4 } printed = Printed::Bytes;
};

// The shape of a column from its model; `tableCharset` is the table's default character set.
BinlogColumnShape ShapeOfColumn(const ColumnModel& column, std::string_view tableCharset);

// The part of a table map event a row event needs.
struct BinlogTableMap {
    uint64_t tableId = 0;
    std::string database;
    std::string table;
    std::vector<uint8_t> types;      // one binlog type code per column
    std::vector<uint16_t> metadata;  // one decoded metadata word per column
};

// Reads the metadata block of a table map into one word per column; false when it is too short.
bool DecodeTableMapMetadata(const std::vector<uint8_t>& types, std::string_view block,
                            std::vector<uint16_t>& metadata);

enum class ServerNeed { None, Timestamp, Spatial, Charset };

struct BinlogValue {
    bool null = false;
    bool present = true;   // the event carried the column
    std::string text;      // the copy's text; for a need, the raw form (see ServerNeed)
    ServerNeed need = ServerNeed::None;
};

using BinlogRowImage = std::vector<BinlogValue>;  // one value per column of the table

// The row data of a rows event: `columns` is the bitmap of the columns present in each image,
// `afterColumns` (updates) that of the after image. Appends the images to `images`, an update's
// before image followed by its after image. False with the reason in `error` on data that does
// not fit the map.
bool DecodeRowImages(const BinlogTableMap& map, const std::vector<BinlogColumnShape>& shapes,
                     std::string_view columns, std::string_view afterColumns, bool update,
                     std::string_view data, std::vector<BinlogRowImage>& images,
                     std::string& error);

// A double as the server prints it in a result (shortest digits that read back the same value;
// an exponent beyond 15 digits or below -14 in the "1.5e20" form).
std::string ServerDoubleText(double value);

}  // namespace velmora
