#include "support/OdbcSandbox.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace velmora::test {

TempFolder::TempFolder() {
    char pattern[] = "/tmp/velmora-test-XXXXXX";
    const char* made = mkdtemp(pattern);
    EXPECT_NE(made, nullptr) << "cannot make a temporary folder";
    path_ = made ? made : "/tmp";
}

TempFolder::~TempFolder() {
    if (path_ == "/tmp") return;
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

ScopedEnvironment::~ScopedEnvironment() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
        if (it->second) {
            setenv(it->first.c_str(), it->second->c_str(), 1);
        } else {
            unsetenv(it->first.c_str());
        }
    }
}

void ScopedEnvironment::Set(const std::string& name, std::optional<std::string> value) {
    const char* old = std::getenv(name.c_str());
    saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
    if (value) {
        setenv(name.c_str(), value->c_str(), 1);
    } else {
        unsetenv(name.c_str());
    }
}

void WriteTextFile(const std::string& path, const std::string& text) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    EXPECT_TRUE(out.good()) << "cannot write " << path;
}

std::string ReadTextFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

unsigned FileMode(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) return 0;
    return info.st_mode & 07777;
}

OdbcSandbox::OdbcSandbox() {
    std::filesystem::create_directories(folder_ / "home");
    environment_.Set("ODBCSYSINI", folder_.path());
    environment_.Set("ODBCINSTINI", std::nullopt);
    environment_.Set("ODBCINI", UserDataSourceFile());
    environment_.Set("FREETDSCONF", FreeTdsFile());
    environment_.Set("HOME", folder_ / "home");
    environment_.Set("LD_LIBRARY_PATH", std::nullopt);
}

std::string OdbcSandbox::MachineDriverEntries() {
    return "[FreeTDS]\nDescription=TDS driver (Sybase/MS SQL)\nDriver=libtdsodbc.so\n"
           "Setup=libtdsS.so\nUsageCount=1\n\n"
           "[MariaDB Unicode]\nDriver=libmaodbc.so\nDescription=MariaDB Connector/ODBC(Unicode)\n"
           "Threading=0\nUsageCount=1\n";
}

}  // namespace velmora::test
