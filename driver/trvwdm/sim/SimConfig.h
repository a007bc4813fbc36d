// The simulated machine's configuration, from the environment when the
// library loads:
//   TRVWDM_SIM_CARDS   comma list of DEVICEID@BASE in hexadecimal, for
//                      example 6D21@E800,6D22@D000; empty: no card; at
//                      most MaxSimCards cards
//   TRVWDM_SIM_DRIVER  "absent": the kernel-driver answer 0xAA55
//   TRVWDM_SIM_FAULT   "adc-stuck": no conversion ever completes;
//                      "writes-refused": the kernel is locked down and
//                      refuses every write to the cards (EPERM)
//   TRVWDM_SIM_SEED    the seed the cards are made from (decimal or 0x
//                      hexadecimal); random for each run when unset
// A malformed value is reported once on standard error and ignored.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace trvsim {

inline constexpr uint32_t DeviceRZ4070 = 0x6D21;
inline constexpr uint32_t DeviceRZ4070A = 0x6D22;
inline constexpr uint16_t DefaultBase = 0xE800;
inline constexpr size_t MaxSimCards = 64;

struct SimConfig {
    struct CardSpec {
        uint32_t deviceId;
        uint16_t base;
    };
    std::vector<CardSpec> cards{{DeviceRZ4070, DefaultBase}};
    bool driverAbsent = false;
    bool adcStuck = false;
    bool writesRefused = false;
    uint64_t seed = 0;
};

// The configuration the four values give (null: not set), on top of the
// defaults with `randomSeed`; each malformed value is described in
// `problems` and leaves its default.
SimConfig ParseSimConfig(const char *cards, const char *driver, const char *fault, const char *seed,
                         uint64_t randomSeed, std::vector<std::string> *problems);

// This process's configuration, read from the environment the first time.
const SimConfig &EnvironmentConfig();

} // namespace trvsim
