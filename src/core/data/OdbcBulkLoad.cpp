#include "data/OdbcBulkLoad.h"

#include <dlfcn.h>
#include <link.h>

#include <cstring>

#include "data/BulkDriver.h"
#include "data/ErrorText.h"
#include "data/OdbcHandles.h"
#include "data/WideText.h"

namespace velmora {
namespace {

// The drivers' shared values (odbcss.h, sqlncli.h).
constexpr int kDirectionIn = 1;
constexpr int kKeepIdentity = 8;  // BCPKEEPIDENTITY
constexpr int kVarLenData = -10;  // SQL_VARLEN_DATA
constexpr int kSqlChar = 47;      // SQLCHARACTER
constexpr int kSqlBinary = 45;    // SQLBINARY
constexpr int kSucceed = 1;

// One driver's entry points. Each returns the driver's SUCCEED (1) or FAIL (0), Batch and Done
// the rows stored or -1.
class BcpCalls {
public:
    virtual ~BcpCalls() = default;
    virtual int Init(const std::string& table) = 0;
    virtual int Control(int field, long value) = 0;
    virtual int Bind(const unsigned char* data, int type, int column) = 0;
    virtual int ColPtr(const unsigned char* data, int column) = 0;
    virtual int SendRow() = 0;
    virtual int Batch() = 0;
    virtual int Done() = 0;
    virtual std::string ErrorText() const = 0;
};

// FreeTDS: every call is a connection attribute of its own (odbcss.h).
class FreeTdsCalls final : public BcpCalls {
public:
    explicit FreeTdsCalls(std::shared_ptr<OdbcLink> link) : link_(std::move(link)) {}

    int Init(const std::string& table) override {
        struct { const void* table; const void* file; const void* errors; int direction; } p{
            table.c_str(), nullptr, nullptr, kDirectionIn};
        return Set(kBase + 0, &p);
    }
    int Control(int field, long value) override {
        struct { int field; void* value; } p{field, reinterpret_cast<void*>(value)};
        return Set(kBase + 1, &p);
    }
    int ColPtr(const unsigned char* data, int column) override {
        struct { const unsigned char* data; int column; } p{data, column};
        return Set(kBase + 2, &p);
    }
    int SendRow() override { return Set(kBase + 3, nullptr); }
    int Batch() override { return Rows(kBase + 4); }
    int Done() override { return Rows(kBase + 5); }
    int Bind(const unsigned char* data, int type, int column) override {
        struct {
            const unsigned char* data; int prefix; int length; const unsigned char* terminator;
            int terminatorLength; int type; int column;
        } p{data, 4, kVarLenData, nullptr, 0, type, column};
        return Set(kBase + 6, &p);
    }
    std::string ErrorText() const override {
        return MostInformativeText(ReadDiagnostics(SQL_HANDLE_DBC, link_->dbc()), kUnknownError);
    }

private:
    static constexpr int kBase = 1500;  // SQL_COPT_TDSODBC_IMPL_BASE

    int Set(int attribute, void* params) {
        return Succeeded(SQLSetConnectAttr(link_->dbc(), attribute, params, SQL_IS_POINTER)) ? kSucceed : 0;
    }
    int Rows(int attribute) {
        struct { int rows; } p{-1};
        return Set(attribute, &p) == kSucceed ? p.rows : -1;
    }

    std::shared_ptr<OdbcLink> link_;
};

// The loaded library whose file name begins with `name` (SQL_DRIVER_NAME), opened again without
// loading anything; null when the process has none.
void* LoadedLibrary(const std::string& name) {
    struct Search {
        std::string name;
        std::string path;
    } search{name, {}};
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* data) {
            auto* s = static_cast<Search*>(data);
            const char* path = info->dlpi_name ? info->dlpi_name : "";
            const char* slash = std::strrchr(path, '/');
            const char* file = slash ? slash + 1 : path;
            if (!s->name.empty() && std::strncmp(file, s->name.c_str(), s->name.size()) == 0) {
                s->path = path;
                return 1;
            }
            return 0;
        },
        &search);
    return search.path.empty() ? nullptr : dlopen(search.path.c_str(), RTLD_LAZY | RTLD_NOLOAD);
}

// Microsoft's ODBC Driver 17/18: exported functions on the driver's own connection handle.
class MicrosoftCalls final : public BcpCalls {
public:
    static std::unique_ptr<MicrosoftCalls> Find(const std::shared_ptr<OdbcLink>& link) {
        void* library = LoadedLibrary(link->driverName);
        SQLHDBC driverDbc = nullptr;
        if (!library || !Succeeded(SQLGetInfo(link->dbc(), SQL_DRIVER_HDBC, &driverDbc, sizeof driverDbc, nullptr)) ||
            !driverDbc) {
            if (library) dlclose(library);
            return nullptr;
        }
        auto calls = std::unique_ptr<MicrosoftCalls>(new MicrosoftCalls(library, driverDbc));
        if (!calls->Complete()) return nullptr;
        return calls;
    }
    ~MicrosoftCalls() override { dlclose(library_); }

    int Init(const std::string& table) override {
        std::u16string wide = Utf8ToUtf16(table);
        return init_(dbc_, wide.c_str(), nullptr, nullptr, kDirectionIn);
    }
    int Control(int field, long value) override { return control_(dbc_, field, reinterpret_cast<void*>(value)); }
    int Bind(const unsigned char* data, int type, int column) override {
        return bind_(dbc_, data, 4, kVarLenData, nullptr, 0, type, column);
    }
    int ColPtr(const unsigned char* data, int column) override { return colptr_(dbc_, data, column); }
    int SendRow() override { return sendrow_(dbc_); }
    int Batch() override { return batch_(dbc_); }
    int Done() override { return done_(dbc_); }
    std::string ErrorText() const override {
        std::vector<DiagnosticRecord> records;
        for (SQLSMALLINT i = 1; diag_ && i <= 8; ++i) {
            SQLWCHAR state[6] = {}, message[1024] = {};
            SQLINTEGER native = 0;
            SQLSMALLINT length = 0;
            if (!Succeeded(diag_(SQL_HANDLE_DBC, dbc_, i, state, &native, message, 1024, &length))) break;
            records.push_back({Utf16ToUtf8(reinterpret_cast<const char16_t*>(state)), native,
                               Utf16ToUtf8(reinterpret_cast<const char16_t*>(message))});
        }
        return MostInformativeText(records, kUnknownError);
    }

private:
    MicrosoftCalls(void* library, SQLHDBC dbc) : library_(library), dbc_(dbc) {}

    template <typename F>
    bool Load(F& function, const char* name) {
        function = reinterpret_cast<F>(dlsym(library_, name));
        return function != nullptr;
    }
    bool Complete() {
        bool all = Load(init_, "bcp_initW") & Load(control_, "bcp_control") & Load(bind_, "bcp_bind") &
                   Load(colptr_, "bcp_colptr") & Load(sendrow_, "bcp_sendrow") &
                   Load(batch_, "bcp_batch") & Load(done_, "bcp_done");
        Load(diag_, "SQLGetDiagRecW");
        return all;
    }

    void* library_;
    SQLHDBC dbc_;
    SQLRETURN (*init_)(SQLHDBC, const char16_t*, const char16_t*, const char16_t*, int) = nullptr;
    SQLRETURN (*control_)(SQLHDBC, int, void*) = nullptr;
    SQLRETURN (*bind_)(SQLHDBC, const unsigned char*, int, int, const unsigned char*, int, int, int) = nullptr;
    SQLRETURN (*colptr_)(SQLHDBC, const unsigned char*, int) = nullptr;
    SQLRETURN (*sendrow_)(SQLHDBC) = nullptr;
    int (*batch_)(SQLHDBC) = nullptr;
    int (*done_)(SQLHDBC) = nullptr;
    SQLRETURN (*diag_)(SQLSMALLINT, SQLHANDLE, SQLSMALLINT, SQLWCHAR*, SQLINTEGER*, SQLWCHAR*, SQLSMALLINT,
                       SQLSMALLINT*) = nullptr;
};

class OdbcBulkLoad final : public BulkLoad {
public:
    OdbcBulkLoad(std::shared_ptr<OdbcLink> link, std::unique_ptr<BcpCalls> calls)
        : link_(std::move(link)), calls_(std::move(calls)) {}

    bool Begin(const std::string& table, const std::vector<BulkColumn>& columns, bool keepIdentity) override {
        if (!Check(calls_->Init(table))) return false;
        if (keepIdentity && !Check(calls_->Control(kKeepIdentity, 1))) return false;
        columns_ = columns;
        buffers_.assign(columns.size(), std::string(4, '\0'));
        for (size_t i = 0; i < columns.size(); ++i) {
            const int type = columns[i].kind == BulkValueKind::Bytes ? kSqlBinary : kSqlChar;
            if (!Check(calls_->Bind(Data(i), type, columns[i].ordinal))) return false;
        }
        return true;
    }

    bool SendRow(const std::vector<BulkField>& row) override {
        for (size_t i = 0; i < columns_.size() && i < row.size(); ++i) {
            const int32_t length = row[i].null ? -1 : static_cast<int32_t>(row[i].data.size());
            std::string& buffer = buffers_[i];
            buffer.resize(4);
            std::memcpy(buffer.data(), &length, 4);
            if (!row[i].null) buffer.append(row[i].data);
            if (!Check(calls_->ColPtr(Data(i), columns_[i].ordinal))) return false;
        }
        return Check(calls_->SendRow());
    }

    int64_t Batch() override { return Rows(calls_->Batch()); }
    int64_t Done() override { return Rows(calls_->Done()); }
    std::string ErrorText() const override { return error_; }

private:
    const unsigned char* Data(size_t column) const {
        return reinterpret_cast<const unsigned char*>(buffers_[column].data());
    }
    bool Check(int result) {
        if (result == kSucceed) return true;
        error_ = calls_->ErrorText();
        return false;
    }
    int64_t Rows(int rows) {
        if (rows < 0) error_ = calls_->ErrorText();
        return rows;
    }

    std::shared_ptr<OdbcLink> link_;
    std::unique_ptr<BcpCalls> calls_;
    std::vector<BulkColumn> columns_;
    std::vector<std::string> buffers_;
    std::string error_;
};

}  // namespace

std::unique_ptr<BulkLoad> NewOdbcBulkLoad(const std::shared_ptr<OdbcLink>& link) {
    if (!link || !link->bulkCopy) return nullptr;
    // A driver whose bulk copy is not known to be safe is not called at all (BulkDriver.h).
    if (!JudgeBulkDriver({link->driverName, link->driverVersion, link->dbmsName}).allowed) return nullptr;
    std::unique_ptr<BcpCalls> calls;
    if (BulkDriverFamilyOf(link->driverName) == BulkDriverFamily::FreeTds) {
        calls = std::make_unique<FreeTdsCalls>(link);
    } else {
        calls = MicrosoftCalls::Find(link);
    }
    if (!calls) return nullptr;
    return std::make_unique<OdbcBulkLoad>(link, std::move(calls));
}

}  // namespace velmora
