// ScriptTarget: the offline SQL Server target of `--target-script DIR`. It stands where a live
// target connection would: every statement that would run on the target is written, in order,
// to DIR/<database>.sql with a GO line after it, and counts as succeeded. It has no catalog (the
// target tree stays empty) and returns no rows.
//
// The script starts with SET QUOTED_IDENTIFIER ON (the key statements quote table names with
// double quotes) and is meant for `sqlcmd -x -i FILE` (-x: no $(variable) substitution in data).
//
// Threads: statements come from the scheduler thread; writes are serialised by a lock.
#pragma once

#include <cstdio>
#include <memory>
#include <mutex>
#include <string>

#include "data/DataAccess.h"

namespace velmora::cli {

class ScriptTarget : public DataSourceConnection {
public:
    // The script of `database` in `folder`; nothing is written before Open.
    ScriptTarget(std::string folder, std::string database);
    ~ScriptTarget() override;

    ResultCode Open(std::string_view provider, const PropertySet& initProperties) override;
    ResultCode OpenSession() override;
    Session* session() override;
    ResultCode GetProperty(uint32_t id, std::string& value) override;
    void Close() override;
    std::string ProviderErrorText() const override;

    const std::string& scriptPath() const { return path_; }
    size_t statementCount() const;

    // Appends one statement and its GO line; false when the file cannot be written.
    bool Append(std::string_view statement);
    // Appends a block of comment lines (no GO): what stands where an object was not created.
    bool AppendComment(std::string_view comment);

private:
    std::string folder_;
    std::string database_;
    std::string path_;
    std::string error_;
    mutable std::mutex mutex_;
    FILE* file_ = nullptr;
    size_t statements_ = 0;
    std::unique_ptr<Session> session_;
};

// A file name for a database name: characters a file name cannot hold become "_".
std::string ScriptFileName(const std::string& database);

}  // namespace velmora::cli

namespace velmora::cli {

// A task's "own" connection to the script: the statements of every task go, in order, into the
// one script the command opened, so the handle shares that ScriptTarget instead of truncating
// the file again. Opening it opens the script when nothing has yet; closing it leaves it open.
class ScriptTargetHandle : public DataSourceConnection {
public:
    explicit ScriptTargetHandle(ScriptTarget& script) : script_(script) {}
    ResultCode Open(std::string_view provider, const PropertySet& initProperties) override;
    ResultCode OpenSession() override;
    Session* session() override { return script_.session(); }
    ResultCode GetProperty(uint32_t id, std::string& value) override {
        return script_.GetProperty(id, value);
    }
    void Close() override {}
    std::string ProviderErrorText() const override { return script_.ProviderErrorText(); }

private:
    ScriptTarget& script_;
};

}  // namespace velmora::cli
