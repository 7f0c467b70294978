// The native row reader's pure parts: the connection settings taken from the ODBC source's
// connection string, and the forms its values take (those the ODBC path delivers).
#include <gtest/gtest.h>

#include <mysql.h>

#include <string>
#include <vector>

#include "data/MariaDbRows.h"

namespace velmora {
namespace {

TEST(MariaDbRows, TheOdbcSettingsBecomeTheLibrarysOptions) {
    std::string why;
    std::optional<NativeSourceOptions> options = NativeOptionsFromOdbc(
        "Driver={MariaDB Unicode};UID=app;PWD={p;w=d}}};server=db1.example;Port=3307;"
        "DATABASE=shop;SOCKET=/run/mysqld/mysqld.sock;SslCa=/etc/ca.pem;SSLCERT=/c.pem;"
        "SSLKEY=/k.pem;SslVerify=1;ForceTls=yes;TlsVersion=TLSv1.3;TLSPEERFP=ab12;"
        "INITSTMT=set time_zone='+00:00';CONN_TIMEOUT=7;CHARSET=utf8mb4;NO_CACHE=1;",
        why);
    ASSERT_TRUE(options) << why;
    EXPECT_EQ(options->host, "db1.example");
    EXPECT_EQ(options->port, 3307u);
    EXPECT_EQ(options->socket, "/run/mysqld/mysqld.sock");
    EXPECT_EQ(options->user, "app");
    EXPECT_EQ(options->password, "p;w=d}");
    EXPECT_EQ(options->database, "shop");
    EXPECT_EQ(options->sslCa, "/etc/ca.pem");
    EXPECT_EQ(options->sslCert, "/c.pem");
    EXPECT_EQ(options->sslKey, "/k.pem");
    EXPECT_TRUE(options->verifyServerCertificate);
    EXPECT_TRUE(options->forceTls);
    EXPECT_EQ(options->tlsVersion, "TLSv1.3");
    EXPECT_EQ(options->tlsPeerFingerprint, "ab12");
    EXPECT_EQ(options->initStatement, "set time_zone='+00:00'");
    EXPECT_EQ(options->connectTimeout, 7u);
}

TEST(MariaDbRows, TheOtherSpellingsOfTheLoginAndTheDefaults) {
    std::string why;
    std::optional<NativeSourceOptions> options =
        NativeOptionsFromOdbc("SERVER=localhost;USER=u;PASSWORD=;DB=d;SSLVERIFY=0;", why);
    ASSERT_TRUE(options) << why;
    EXPECT_EQ(options->user, "u");
    EXPECT_EQ(options->password, "");
    EXPECT_EQ(options->database, "d");
    EXPECT_EQ(options->port, 0u);
    EXPECT_FALSE(options->verifyServerCertificate);
    EXPECT_FALSE(options->forceTls);
    EXPECT_EQ(options->connectTimeout, 20u);
}

// What cannot be read natively says why, naming the value at fault.
TEST(MariaDbRows, ASourceWithoutItsOwnServerIsRefusedWithItsReason) {
    struct Case {
        const char* text;
        const char* why;
    };
    const std::vector<Case> cases = {
        {"DSN=warehouse;UID=u;", "the source is a data source name (warehouse), whose settings only ODBC reads"},
        {"FILEDSN=/etc/w.dsn;", "the source is a data source name (/etc/w.dsn), whose settings only ODBC reads"},
        {"Driver={MariaDB Unicode};UID=u;", "the connection string names no server"},
        {"", "the connection string names no server"},
        {"SERVER=h;PORT=33o6;", "the port \"33o6\" is not a number from 0 to 65535"},
        {"SERVER=h;PORT=65536;", "the port \"65536\" is not a number from 0 to 65535"},
    };
    for (const Case& c : cases) {
        std::string why;
        EXPECT_FALSE(NativeOptionsFromOdbc(c.text, why)) << c.text;
        EXPECT_EQ(why, c.why) << c.text;
    }
    std::string why;
    ASSERT_TRUE(NativeOptionsFromOdbc("SOCKET=/tmp/m.sock;", why)) << "a socket alone names the server";
}

// The forms of the ODBC path: binary strings (character set 63) as upper-case hexadecimal,
// bit(1) as a digit, wider bits as the hexadecimal of their bytes, everything else as it came,
// zero bytes included.
TEST(MariaDbRows, ValuesTakeTheFormsOfTheOdbcPath) {
    constexpr unsigned kBinary = 63, kUtf8mb4 = 45;
    struct Case {
        int type;
        unsigned charset;
        unsigned long length;
        std::string bytes;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {MYSQL_TYPE_BLOB, kBinary, 65535, std::string("\x00\xff\x10", 3), "00FF10"},
        {MYSQL_TYPE_STRING, kBinary, 4, std::string("A\0\0\0", 4), "41000000"},
        {MYSQL_TYPE_VAR_STRING, kBinary, 10, "", ""},
        {MYSQL_TYPE_GEOMETRY, kBinary, 0, "\x01", "01"},
        {MYSQL_TYPE_BLOB, kUtf8mb4, 65535, std::string("a\0b", 3), std::string("a\0b", 3)},
        {MYSQL_TYPE_VAR_STRING, kUtf8mb4, 400, "Zoë 🎉", "Zoë 🎉"},
        {MYSQL_TYPE_BIT, kBinary, 1, std::string("\x01", 1), "1"},
        {MYSQL_TYPE_BIT, kBinary, 1, std::string("\x00", 1), "0"},
        {MYSQL_TYPE_BIT, kBinary, 12, std::string("\x0a\xaa", 2), "0AAA"},
        {MYSQL_TYPE_BIT, kBinary, 64, std::string(8, '\0'), "0000000000000000"},
        {MYSQL_TYPE_LONGLONG, kBinary, 20, "-9223372036854775808", "-9223372036854775808"},
        {MYSQL_TYPE_NEWDECIMAL, kBinary, 32, "-1.50", "-1.50"},
        {MYSQL_TYPE_DATETIME, kBinary, 26, "0000-00-00 00:00:00.000000", "0000-00-00 00:00:00.000000"},
        {MYSQL_TYPE_TIME, kBinary, 10, "-838:59:59", "-838:59:59"},
        {MYSQL_TYPE_YEAR, kBinary, 4, "0000", "0000"},
    };
    for (const Case& c : cases) {
        std::string out = "prefix";
        NormaliseNativeValue(NativeFormOf(c.type, c.charset, c.length), c.bytes.data(),
                             c.bytes.size(), out);
        EXPECT_EQ(out, "prefix" + c.expected) << "type " << c.type << ", charset " << c.charset;
    }
}

}  // namespace
}  // namespace velmora
