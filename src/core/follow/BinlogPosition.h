// BinlogPosition: a place in the source's binary log: the file and the offset of the next event
// to read, and the GTID of the last transaction before it where the server writes them. Text form
// "mariadb-bin.000003:1234" or "mariadb-bin.000003:1234 gtid 0-1-57".
//
// Plain data; any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

struct BinlogPosition {
    std::string file;
    uint64_t offset = 0;
    std::string gtid;  // "domain-server-sequence" of the last transaction before it; may be empty

    bool Known() const { return !file.empty(); }
    std::string Text() const;
    // Whether this position lies at or after `other` (same file: by offset; else by the file's
    // sequence number, which the server raises at every rotation).
    bool AtOrAfter(const BinlogPosition& other) const;
};

// "file:offset[ gtid d-s-n]"; nothing when the text is of another form.
std::optional<BinlogPosition> ParseBinlogPosition(std::string_view text);

// The sequence number of a GTID's domain ("0-1-57" -> 57 in domain 0), or nothing.
struct GtidParts {
    uint32_t domain = 0;
    uint32_t server = 0;
    uint64_t sequence = 0;
};
std::optional<GtidParts> ParseGtid(std::string_view text);

}  // namespace velmora
