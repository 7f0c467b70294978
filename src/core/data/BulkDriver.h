// BulkDriver: whether the bulk copy of a target's ODBC driver may be tried at all, judged by the
// driver's identity before anything of its bulk copy is called. A driver's bulk copy runs inside
// the process: one that crashes takes the whole migration with it, which no self-check can catch
// afterwards. So only drivers known to survive it are let near it:
// - Microsoft's ODBC Driver 17 and 18 (libmsodbcsql-17/-18): yes, the self-check then decides;
// - FreeTDS (libtdsodbc): no, in every version up to kFreeTdsBulkCopyFrom (see there);
// - anything else, or a driver that does not say what it is: no.
//
// Pure: no driver is called here; the caller reads SQL_DRIVER_NAME, SQL_DRIVER_VER and
// SQL_DBMS_NAME of its connection. Any thread.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace velmora {

// The bulk-copy interfaces this program knows: how their functions are reached differs.
enum class BulkDriverFamily { Microsoft, FreeTds, Other };

// What a connection's driver says about itself.
struct DriverIdentity {
    std::string name;     // SQL_DRIVER_NAME, e.g. "libtdsodbc.so", "libmsodbcsql-18.3.so.2.1"
    std::string version;  // SQL_DRIVER_VER, e.g. "01.03.0017"
    std::string dbms;     // SQL_DBMS_NAME, e.g. "Microsoft SQL Server"
};

// A driver version as numbers: "01.03.0017" is {1, 3, 17}; parts it lacks are 0.
using DriverVersion = std::array<int, 3>;

// The first FreeTDS version whose bulk copy may be tried; {0, 0, 0}: none. Debian's FreeTDS
// 1.3.17 crashed the process inside the driver (a memcpy under bcp_sendrow) while sending
// ordinary rows, refuses datetimeoffset values the server takes in statements, never ends its
// batches against some servers and may keep a failed batch in part. Set this to a version only
// once it has passed the self-check on a live target without any of that.
inline constexpr DriverVersion kFreeTdsBulkCopyFrom = {0, 0, 0};

struct BulkDriverVerdict {
    bool allowed = false;
    std::string driver;  // the driver as a user knows it: "FreeTDS 1.3.17 (libtdsodbc.so)"
    std::string why;     // when not allowed: "bulk copy is not used with FreeTDS 1.3.17 ...: ..."
};

BulkDriverFamily BulkDriverFamilyOf(std::string_view driverName);
// Text without a number gives {0, 0, 0}.
DriverVersion ParseDriverVersion(std::string_view version);
BulkDriverVerdict JudgeBulkDriver(const DriverIdentity& identity);

}  // namespace velmora
