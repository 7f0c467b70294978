#include "live/LiveTarget.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>

#include "translation/Naming.h"
#include "config/Configuration.h"
#include "config/ConnectionProperties.h"
#include "config/ConnectionSettings.h"
#include "data/OdbcConnection.h"

namespace velmora::test {

std::optional<LiveAddress> LiveTargetAddress() {
    const char* server = std::getenv("VELMORA_LIVE_TARGET");
    if (!server || !*server) return std::nullopt;
    LiveAddress address;
    address.server = server;
    // scripts/test takes HOST[,PORT] as sqlcmd does; the program takes host:port.
    if (size_t comma = address.server.find(','); comma != std::string::npos) address.server[comma] = ':';
    const char* user = std::getenv("VELMORA_LIVE_TARGET_USER");
    const char* password = std::getenv("VELMORA_LIVE_TARGET_PASSWORD");
    address.user = user ? user : "";
    address.password = password ? password : "";
    return address;
}

std::unique_ptr<DataSourceConnection> ConnectLiveTarget(const std::string& database) {
    std::optional<LiveAddress> address = LiveTargetAddress();
    auto connection = NewOdbcConnection();
    if (!address) {
        ADD_FAILURE() << "no live target (VELMORA_LIVE_TARGET)";
        return connection;
    }
    ConnectionSettings settings;
    settings.provider = "TCP/IP:Port";
    settings.providerProgId = ProviderProgId(settings.provider);
    settings.sourceName = address->server;
    settings.userId = address->user;
    settings.password = address->password;
    settings.catalogName = database;
    PropertySet properties;
    BuildTargetInitProperties(settings, properties);
    if (connection->Open(settings.providerProgId, properties) < 0 || connection->OpenSession() < 0) {
        ADD_FAILURE() << "cannot connect to the live target " << address->server << ": "
                      << connection->MostInformativeError();
    }
    return connection;
}

std::vector<std::vector<std::string>> LiveQuery(Session& session, const std::string& statement) {
    std::vector<std::vector<std::string>> rows;
    std::unique_ptr<StatementRowset> rowset = session.NewStatement();
    ResultCode result = rowset->Create(statement);
    if (result >= 0) result = rowset->Execute(StandardRowsetProperties());
    if (result >= 0 && rowset->HasRowset()) result = rowset->BindAllAsText(true);
    if (result < 0) {
        ADD_FAILURE() << statement << "\n  " << rowset->MostInformativeError();
        return rows;
    }
    while (rowset->HasRowset() && rowset->MoveNext() == kSuccess) {
        std::vector<std::string>& row = rows.emplace_back();
        for (int i = 0; i < rowset->ColumnCount(); ++i) {
            row.push_back(rowset->IsNull(i) ? "NULL" : std::string(rowset->Value(i)));
        }
    }
    rowset->Close();
    return rows;
}

std::string LiveExecute(Session& session, const std::string& statement) {
    std::unique_ptr<StatementRowset> rowset = session.NewStatement();
    ResultCode result = rowset->Create(statement);
    if (result >= 0) result = rowset->Execute(StandardRowsetProperties());
    std::string error = result < 0 ? rowset->MostInformativeError() : "";
    rowset->Close();
    return error;
}

namespace {

void DropLiveDatabase(const std::string& name) {
    auto master = ConnectLiveTarget();
    Session* session = master->session();
    if (!session) return;
    std::string quoted = QuoteTargetName(name);
    LiveExecute(*session, "IF DB_ID(N" + QuoteTargetString(name) + ") IS NOT NULL DROP DATABASE " + quoted);
}

}  // namespace

LiveDatabase::LiveDatabase(const std::string& suffix, bool create)
    : name_("vlive_" + std::to_string(getpid()) + "_" + suffix) {
    DropLiveDatabase(name_);
    if (!create) return;
    auto master = ConnectLiveTarget();
    if (Session* session = master->session()) {
        std::string error = LiveExecute(*session, "CREATE DATABASE " + QuoteTargetName(name_));
        if (!error.empty()) ADD_FAILURE() << "CREATE DATABASE " << name_ << ": " << error;
    }
}

LiveDatabase::~LiveDatabase() { DropLiveDatabase(name_); }

long long LiveRowCount(const std::string& database, const std::string& table) {
    auto connection = ConnectLiveTarget(database);
    Session* session = connection->session();
    if (!session) return -1;
    // -1 while the table does not exist yet (a copy that has not created it).
    auto rows = LiveQuery(*session, "IF OBJECT_ID(N" + QuoteTargetString(QuoteTargetName(table)) +
                                        ") IS NULL SELECT CAST(-1 AS bigint) ELSE SELECT COUNT_BIG(*) FROM " +
                                        QuoteTargetName(table));
    return rows.size() == 1 && rows[0].size() == 1 ? std::atoll(rows[0][0].c_str()) : -1;
}

void LiveCliFixture::SetUp() {
    CliFixture::SetUp();
    address_ = LiveTargetAddress();
    if (!address_) GTEST_SKIP() << "no live target (scripts/test --target HOST[,PORT])";
}

std::string LiveCliFixture::TargetOptions() const {
    return " --target " + address_->server + " --target-user '" + address_->user +
           "' --target-password-env VELMORA_LIVE_TARGET_PASSWORD";
}

CliResult LiveCliFixture::Live(const std::string& arguments) { return Cli(arguments + TargetOptions()); }

nlohmann::json LiveCliFixture::Report() {
    const std::string text = ReadFile(home_ + "/report.json");
    nlohmann::json report = nlohmann::json::parse(text, nullptr, false);
    if (report.is_discarded() || !report.is_object()) {
        ADD_FAILURE() << "no readable report: " << text;
        return nlohmann::json::object();
    }
    return report;
}

}  // namespace velmora::test
