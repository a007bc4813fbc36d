#include "SimConfig.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>

namespace trvsim {
namespace {

// A whole hexadecimal (or, with `decimal`, decimal or 0x-prefixed) number
// no larger than `max`.
bool ParseNumber(const std::string &text, int baseHint, uint64_t max, uint64_t *value)
{
    if (text.empty() || text.size() > 20 || text[0] == '-' || text[0] == '+' || std::isspace(uint8_t(text[0])))
        return false;
    errno = 0;
    char *end = nullptr;
    const unsigned long long v = std::strtoull(text.c_str(), &end, baseHint);
    if (errno != 0 || end == text.c_str() || *end != '\0' || v > max)
        return false;
    *value = v;
    return true;
}

enum class CardList { Good, Malformed, TooMany };

CardList ParseCards(const std::string &text, std::vector<SimConfig::CardSpec> *cards)
{
    std::vector<SimConfig::CardSpec> parsed;
    size_t start = 0;
    while (start < text.size()) {
        const size_t comma = std::min(text.find(',', start), text.size());
        const std::string item = text.substr(start, comma - start);
        const size_t at = item.find('@');
        uint64_t device = 0, base = 0;
        if (at == std::string::npos || !ParseNumber(item.substr(0, at), 16, 0xFFFF, &device)
            || !ParseNumber(item.substr(at + 1), 16, 0xFFF0, &base) || base == 0)
            return CardList::Malformed;
        if (parsed.size() == MaxSimCards)
            return CardList::TooMany;
        parsed.push_back({uint32_t(device), uint16_t(base)});
        start = comma + 1;
        if (comma + 1 == text.size())
            return CardList::Malformed; // a trailing comma
    }
    *cards = std::move(parsed);
    return CardList::Good;
}

} // namespace

SimConfig ParseSimConfig(const char *cards, const char *driver, const char *fault, const char *seed,
                         uint64_t randomSeed, std::vector<std::string> *problems)
{
    SimConfig config;
    config.seed = randomSeed;
    auto problem = [&](const char *name, const char *value, const char *expected) {
        if (problems)
            problems->push_back(std::string(name) + "=\"" + value + "\" is not " + expected + "; ignored");
    };
    switch (cards ? ParseCards(cards, &config.cards) : CardList::Good) {
    case CardList::Good: break;
    case CardList::Malformed:
        problem("TRVWDM_SIM_CARDS", cards, "a comma list of DEVICEID@BASE in hexadecimal (such as 6D21@E800)");
        break;
    case CardList::TooMany:
        problem("TRVWDM_SIM_CARDS", cards, ("a list of at most " + std::to_string(MaxSimCards) + " cards").c_str());
        break;
    }
    if (driver) {
        if (std::strcmp(driver, "absent") == 0)
            config.driverAbsent = true;
        else if (*driver)
            problem("TRVWDM_SIM_DRIVER", driver, "\"absent\"");
    }
    if (fault) {
        if (std::strcmp(fault, "adc-stuck") == 0)
            config.adcStuck = true;
        else if (std::strcmp(fault, "writes-refused") == 0)
            config.writesRefused = true;
        else if (*fault)
            problem("TRVWDM_SIM_FAULT", fault, "\"adc-stuck\" or \"writes-refused\"");
    }
    if (seed) {
        uint64_t value = 0;
        if (ParseNumber(seed, 0, UINT64_MAX, &value))
            config.seed = value;
        else
            problem("TRVWDM_SIM_SEED", seed, "a whole number");
    }
    return config;
}

const SimConfig &EnvironmentConfig()
{
    static const SimConfig config = [] {
        std::vector<std::string> problems;
        std::random_device random;
        const uint64_t randomSeed = (uint64_t(random()) << 32) ^ random();
        SimConfig c = ParseSimConfig(std::getenv("TRVWDM_SIM_CARDS"), std::getenv("TRVWDM_SIM_DRIVER"),
                                     std::getenv("TRVWDM_SIM_FAULT"), std::getenv("TRVWDM_SIM_SEED"), randomSeed,
                                     &problems);
        for (const std::string &p : problems)
            std::fprintf(stderr, "simulated card: %s\n", p.c_str());
        return c;
    }();
    return config;
}

} // namespace trvsim
