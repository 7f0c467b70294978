// OdbcBulkLoad: BulkLoad over the bulk-copy functions of the SQL Server driver of a connection,
// found at run time so that a driver without them simply has none:
// - FreeTDS (libtdsodbc) takes the calls as connection attributes through the driver manager
//   (its odbcss.h: SQL_COPT_TDSODBC_IMPL_BCP_*); not called before a version is trusted
//   (data/BulkDriver.h);
// - Microsoft's ODBC Driver 17/18 exports bcp_initW, bcp_bind, bcp_colptr, bcp_sendrow,
//   bcp_batch, bcp_done and bcp_control, called with the driver's own connection handle
//   (SQL_DRIVER_HDBC) and looked up in the driver library the process has loaded.
// Both need SQL_COPT_SS_BCP set before the connection is made (OdbcConnection does that for
// SQL Server connections). Every value is bound with a four-byte length prefix (-1: NULL) and
// pointed at anew for each row.
//
// Threads: the thread that uses the connection, one call at a time.
#pragma once

#include <memory>

#include "data/BulkLoad.h"

namespace velmora {

class OdbcLink;

// SQL_COPT_SS_BCP and its value SQL_BCP_ON.
inline constexpr int kBulkCopyAttribute = 1219;
inline constexpr long kBulkCopyOn = 1;

// Null when the driver of `link` has no bulk-copy functions, or is not trusted with them
// (data/BulkDriver.h).
std::unique_ptr<BulkLoad> NewOdbcBulkLoad(const std::shared_ptr<OdbcLink>& link);

}  // namespace velmora
