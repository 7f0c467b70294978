// Tables translated per second: RewriteTableDefinition over definitions shaped like the ones
// MariaDB prints (a small lookup table, a wide table of 40 columns with keys).
#include <benchmark/benchmark.h>

#include <string>

#include "translation/DdlTranslator.h"

namespace {

std::string SmallTable() {
    return "CREATE TABLE `categories` (\n"
           "  `id` int(11) NOT NULL AUTO_INCREMENT,\n"
           "  `name` varchar(100) NOT NULL,\n"
           "  `parent_id` int(11) DEFAULT NULL,\n"
           "  PRIMARY KEY (`id`),\n"
           "  UNIQUE KEY `name` (`name`),\n"
           "  KEY `parent_id` (`parent_id`),\n"
           "  CONSTRAINT `fk_category_parent` FOREIGN KEY (`parent_id`) REFERENCES `categories` "
           "(`id`)\n"
           ") ENGINE=InnoDB AUTO_INCREMENT=6 DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_general_ci";
}

std::string WideTable() {
    const char* types[] = {"int(10) unsigned NOT NULL",
                           "varchar(255) DEFAULT NULL",
                           "varchar(300) NOT NULL",
                           "decimal(10,2) NOT NULL DEFAULT 0.00",
                           "timestamp NOT NULL DEFAULT current_timestamp() ON UPDATE "
                           "current_timestamp()",
                           "longtext DEFAULT NULL",
                           "bit(1) NOT NULL DEFAULT b'1'",
                           "double DEFAULT NULL"};
    std::string text = "CREATE TABLE `wide` (\n";
    for (int i = 0; i < 40; ++i) {
        text += "  `column_" + std::to_string(i) + "` " + types[i % 8] + ",\n";
    }
    text += "  PRIMARY KEY (`column_0`),\n  KEY `ix_1` (`column_1`,`column_3`)\n"
            ") ENGINE=InnoDB DEFAULT CHARSET=utf8mb4";
    return text;
}

void BM_TranslateSmallTable(benchmark::State& state) {
    const std::string text = SmallTable();
    for (auto _ : state) benchmark::DoNotOptimize(velmora::RewriteTableDefinition(text));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TranslateSmallTable);

void BM_TranslateWideTable(benchmark::State& state) {
    const std::string text = WideTable();
    for (auto _ : state) benchmark::DoNotOptimize(velmora::RewriteTableDefinition(text));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TranslateWideTable);

}  // namespace

BENCHMARK_MAIN();
