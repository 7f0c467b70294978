// Mutator: seeded mutations of a text for the fuzz tests: bytes replaced, fragments a hostile
// source would hold inserted ("\nGO\n", quotes, comment marks, NUL, broken UTF-8), ranges cut or
// doubled. How long a fuzz test runs: VELMORA_FUZZ_SECONDS (scripts/test sets it), else a fixed
// number of rounds; VELMORA_FUZZ_SEED replays a run. Test thread only.
#pragma once

#include <chrono>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace velmora::test {

class Mutator {
public:
    Mutator() : seed_(std::getenv("VELMORA_FUZZ_SEED") ? std::strtoul(std::getenv("VELMORA_FUZZ_SEED"), nullptr, 10) : 1),
                random_(seed_) {
        const char* seconds = std::getenv("VELMORA_FUZZ_SECONDS");
        seconds_ = seconds ? std::atof(seconds) : 0;
        start_ = std::chrono::steady_clock::now();
    }

    unsigned seed() const { return seed_; }

    // Whether another round runs: until the time is up, or 300 rounds without a time.
    bool More() {
        ++rounds_;
        if (seconds_ <= 0) return rounds_ <= 300;
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count() < seconds_;
    }
    size_t rounds() const { return rounds_; }

    // `text` with one to four mutations.
    std::string Mutate(std::string text) {
        static const std::vector<std::string> fragments = {
            "'", "`", "\"", "\n", "\r\n", "\nGO\n", "\ngo 2\n", "\n:r x\n", "\n!!id\n", "/*", "*/", "--", "#",
            "\\", "(", ")", ",", ";", std::string(1, '\0'), "\xff", "\xc3", "BEGIN", "END", "SELECT", "N'", "]",
            "[", "''", "``", "CONCAT(", "99999999999999999999", "-", "@", "DEFAULT", "COMMENT '"};
        const int count = 1 + static_cast<int>(random_() % 4);
        for (int i = 0; i < count; ++i) {
            const size_t at = text.empty() ? 0 : random_() % (text.size() + 1);
            switch (random_() % 4) {
                case 0:
                    if (at < text.size()) text[at] = static_cast<char>(random_() % 256);
                    break;
                case 1:
                    text.insert(at, fragments[random_() % fragments.size()]);
                    break;
                case 2:
                    text.erase(at, random_() % 16);
                    break;
                default:
                    text.insert(at, text.substr(at, random_() % 32));
                    break;
            }
        }
        return text;
    }

private:
    unsigned seed_;
    std::mt19937 random_;
    double seconds_ = 0;
    size_t rounds_ = 0;
    std::chrono::steady_clock::time_point start_;
};

}  // namespace velmora::test
