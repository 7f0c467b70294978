// TypeCodes: the type codes of column values (the OLE DB numbers), by which the row copy, the
// backup and the value rendering pick how a value is written. The data layer reports them for
// every column it reads; translation needs nothing else of it.
#pragma once

#include <cstdint>

namespace velmora {

enum TypeCode : uint16_t {
    kTypeEmpty = 0,
    kTypeI2 = 2,
    kTypeI4 = 3,
    kTypeR4 = 4,
    kTypeR8 = 5,
    kTypeBstr = 8,
    kTypeBool = 11,
    kTypeI1 = 16,
    kTypeUI1 = 17,
    kTypeUI2 = 18,
    kTypeUI4 = 19,
    kTypeI8 = 20,
    kTypeUI8 = 21,
    kTypeGuid = 72,
    kTypeBytes = 128,
    kTypeStr = 129,
    kTypeWStr = 130,
    kTypeNumeric = 131,
    kTypeDbDate = 133,
    kTypeDbTime = 134,
    kTypeDbTimestamp = 135,
};

}  // namespace velmora
