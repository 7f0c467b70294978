#include "translation/InputLimits.h"

#include <atomic>

namespace velmora {
namespace {

std::atomic<size_t> limit{kDefaultStatementLimit};

}  // namespace

size_t StatementLimit() { return limit.load(std::memory_order_relaxed); }

void SetStatementLimit(size_t bytes) { limit.store(bytes, std::memory_order_relaxed); }

std::string StatementSizeProblem(size_t bytes) {
    const size_t most = StatementLimit();
    if (bytes <= most) return "";
    return "the statement holds " + std::to_string(bytes) + " bytes, more than the limit of " + std::to_string(most) +
           " (--max-statement-mb raises it)";
}

}  // namespace velmora
