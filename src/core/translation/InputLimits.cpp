#include "translation/InputLimits.h"

#include <atomic>
#include <cstdlib>
#include <map>

namespace velmora {
namespace {

std::atomic<size_t> limit{kDefaultStatementLimit};

// The fixed size of one column type in bytes; 0 for the variable-length types.
size_t FixedBytes(const std::string& type, size_t& bits) {
    std::string name;
    for (char c : type) {
        if (c == '(' || c == ' ') break;
        name.push_back(static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c));
    }
    const size_t open = type.find('(');
    const bool max = type.find("max", open == std::string::npos ? type.size() : open) != std::string::npos;
    const size_t n = open == std::string::npos || max ? 1 : std::strtoul(type.c_str() + open + 1, nullptr, 10);
    if (name == "bit") return ++bits, 0;
    if (name == "char" || name == "binary") return n;
    if (name == "nchar") return 2 * n;
    if (name == "decimal" || name == "numeric") {
        const size_t p = open == std::string::npos ? 18 : n;
        return p <= 9 ? 5 : p <= 19 ? 9 : p <= 28 ? 13 : 17;
    }
    static const std::map<std::string, size_t> sizes = {
        {"tinyint", 1}, {"smallint", 2}, {"int", 4}, {"bigint", 8}, {"real", 4}, {"float", 8},
        {"smallmoney", 4}, {"money", 8}, {"date", 3}, {"time", 5}, {"smalldatetime", 4}, {"datetime", 8},
        {"datetime2", 8}, {"datetimeoffset", 10}, {"uniqueidentifier", 16}, {"rowversion", 8}, {"timestamp", 8}};
    const auto found = sizes.find(name);
    return found == sizes.end() ? 0 : found->second;
}

}  // namespace

size_t MinimumRowBytes(const std::vector<std::string>& targetTypes) {
    size_t bytes = 7, bits = 0;
    for (const std::string& type : targetTypes) bytes += FixedBytes(type, bits);
    return bytes + (bits + 7) / 8;
}

size_t StatementLimit() { return limit.load(std::memory_order_relaxed); }

void SetStatementLimit(size_t bytes) { limit.store(bytes, std::memory_order_relaxed); }

std::string StatementSizeProblem(size_t bytes) {
    const size_t most = StatementLimit();
    if (bytes <= most) return "";
    return "the statement holds " + std::to_string(bytes) + " bytes, more than the limit of " + std::to_string(most) +
           " (--max-statement-mb raises it)";
}

}  // namespace velmora
