// velmora-cli assess as a user runs it against the local MariaDB: the files it writes, its
// options and exit codes, and the page opened in a headless Chromium without network.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include <nlohmann/json.hpp>

#include "support/CliFixture.h"

namespace velmora {
namespace {

using CliAssessTest = test::CliFixture;
using test::CliResult;
using test::ReadFile;

bool Exists(const std::string& path) { return std::filesystem::exists(path); }

TEST_F(CliAssessTest, ItWritesThePageAndTheJsonNamedAfterTheDatabase) {
    CliResult result = Cli("assess shop");
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("objects: 12 ready, 10 adjusted, 1 not migrated"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("estimated copy time: "), std::string::npos) << result.out;
    EXPECT_NE(result.err.find("reading table shop.events"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("written: shop-assessment.html"), std::string::npos) << result.err;
    const std::string html = ReadFile(home_ + "/shop-assessment.html");
    EXPECT_NE(html.find("<h1>Assessment of shop</h1>"), std::string::npos);
    const nlohmann::json json = nlohmann::json::parse(ReadFile(home_ + "/shop-assessment.json"));
    EXPECT_EQ(json["report"], "assessment");
    EXPECT_EQ(json["exitCode"], 0);
    EXPECT_EQ(json["databases"][0]["name"], "shop");
    EXPECT_EQ(json["databases"][0]["objects"].size(), 23u);
    EXPECT_EQ(json["summary"]["outcomes"]["refused"], 0);
}

TEST_F(CliAssessTest, OptionsAndExitCodes) {
    struct Case {
        std::string arguments;
        int exitCode;
        std::string message;  // in standard error
        std::vector<std::string> written;
        std::vector<std::string> notWritten;
    };
    const std::vector<Case> cases = {
        {"assess", 2, "usage: velmora-cli assess SRC_DB...", {}, {}},
        {"assess shop --fail-on never", 2, "--fail-on takes adjustments or refusals, not 'never'", {}, {}},
        {"assess shop --fail-on adjustments --json a.json", 1, "--fail-on adjustments", {"a.json"},
         {"shop-assessment.html", "shop-assessment.json"}},
        // The sample's event does not arrive (the target's scheduler is a separate product).
        {"assess shop --fail-on refusals --html b.html --quiet", 1, "--fail-on refusals: an object will not arrive",
         {"b.html"}, {"shop-assessment.json"}},
        {"assess vassess_nowhere --json c.json", 2, "vassess_nowhere cannot be read", {"c.json"}, {}},
        {"assess shop --html /nonexistent/d.html", 2, "cannot write /nonexistent/d.html", {},
         {"shop-assessment.json"}},
        {"assess shop --html e --json e", 2, "--html and --json name the same file", {}, {"e"}},
        // The migration's own choices are checked as the migration checks them, before reading.
        {"assess shop --type-map nowhere.txt", 2, "type map nowhere.txt cannot be read", {},
         {"shop-assessment.html"}},
        {"assess shop crm --schema-per-database --target-schema x", 2,
         "--schema-per-database names each schema after its source database", {}, {"shop+crm-assessment.html"}},
        {"assess shop --target-schema sales --json f.json --quiet", 0, "written: f.json", {"f.json"}, {}},
    };
    for (const Case& c : cases) {
        CliResult result = Cli(c.arguments);
        EXPECT_EQ(result.exitCode, c.exitCode) << c.arguments << "\n" << result.err;
        EXPECT_NE(result.err.find(c.message), std::string::npos) << c.arguments << "\n" << result.err;
        for (const std::string& file : c.written) EXPECT_TRUE(Exists(home_ + "/" + file)) << c.arguments << file;
        for (const std::string& file : c.notWritten) EXPECT_FALSE(Exists(home_ + "/" + file)) << c.arguments << file;
        if (c.arguments.find("--quiet") != std::string::npos) {
            EXPECT_EQ(result.err.find("reading "), std::string::npos) << c.arguments;
        }
    }
    // The JSON of a closed gate says so.
    EXPECT_EQ(nlohmann::json::parse(ReadFile(home_ + "/a.json"))["exitCode"], 1);
    // The statements are written into the chosen schema.
    const nlohmann::json sales = nlohmann::json::parse(ReadFile(home_ + "/f.json"));
    const nlohmann::json& view = sales["databases"][0]["objects"][0];
    ASSERT_EQ(view["name"], "active products");
    EXPECT_EQ(view["statements"][0],
              "CREATE VIEW sales.[active products] AS SELECT products.sku AS sku, products.title AS title, "
              "products.price AS price FROM sales.products WHERE products.state = N'active'");
}

// Debian's chromium, headless, with every way out to the network closed: the page renders from
// the file alone, the source's names stay text, and a screenshot is left in the build folder for
// a person to look at.
TEST_F(CliAssessTest, ThePageOpensInAHeadlessBrowser) {
    const char* browser = nullptr;
    for (const char* path : {"/usr/bin/chromium", "/usr/bin/chromium-browser"}) {
        if (Exists(path)) browser = path;
    }
    if (!browser) GTEST_SKIP() << "chromium is not installed (Debian package chromium)";
    ASSERT_EQ(Cli("assess shop --html shop.html --quiet").exitCode, 0);
    const std::string shot = std::string(VELMORA_BINARY_DIR) + "/assessment-shop.png";
    std::filesystem::remove(shot);
    const std::string flags =
        std::string(browser) + " --headless --no-sandbox --disable-gpu --no-first-run --disable-sync "
        "--disable-background-networking --disable-component-update --disable-default-apps "
        "--proxy-server=127.0.0.1:9 --host-resolver-rules='MAP * ~NOTFOUND' --user-data-dir='" +
        home_ + "/chromium' --window-size=1100,1400 ";
    const std::string page = "'file://" + home_ + "/shop.html'";
    ASSERT_EQ(std::system((flags + "--dump-dom " + page + " >'" + home_ + "/dom.html' 2>/dev/null").c_str()), 0);
    const std::string dom = ReadFile(home_ + "/dom.html");
    EXPECT_NE(dom.find("<h1>Assessment of shop</h1>"), std::string::npos) << dom.substr(0, 500);
    EXPECT_NE(dom.find("Where the size is"), std::string::npos);
    EXPECT_EQ(dom.find("<script"), std::string::npos);
    ASSERT_EQ(std::system((flags + "--screenshot='" + shot + "' " + page + " >/dev/null 2>&1").c_str()), 0);
    EXPECT_GT(std::filesystem::file_size(shot), 10000u);
}

}  // namespace
}  // namespace velmora
