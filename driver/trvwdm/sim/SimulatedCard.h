// Register-level model of PCI-RZ4070(A) cards, behind the simulated
// libtrvwdm.so.1. Tests link the same library and steer the model through
// this interface: the program, loading the library by name, sees the same
// state.
//
// Each card is made from a seed: where each trimmer pot must sit for an
// exact trim, where the factory left it, and how its track bends. Offset
// and gain trims interact as on real converters; a conversion takes about
// 10 microseconds and each status read about one; the input select settles
// over a few milliseconds; a floating pin 37 drifts and picks up noise.
#pragma once

#include "SharedState.h"
#include "SimConfig.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace trvsim {

// What connector pin 37 (the A/D input used by calibration) is wired to.
enum class Pin37 { Open, Ground, Calibrator, Dac0, Dac1 };

// The seven trimmer pots; there is no RP4.
enum class Pot { RP1, RP2, RP3, RP5, RP6, RP7, RP8 };
inline constexpr int PotCount = SharedPotCount;

// Register offsets from the card's base address.
namespace reg {
inline constexpr uint32_t AdData = 0;    // w8: start conversion; r16: result
inline constexpr uint32_t AdSelect = 2;  // w16/r16: input and range code
inline constexpr uint32_t AdControl = 4; // w8: control; r8/r16: bit 7 = done
inline constexpr uint32_t Dac0 = 12;     // w16: 12-bit code
inline constexpr uint32_t Dac1 = 14;
inline constexpr uint32_t Span = 16;
} // namespace reg

inline constexpr uint32_t SystemControlPort = 0x61;

// What makes one card differ from another, derived from its seed.
struct CardTraits {
    double ideal[PotCount];   // wiper position of an exact trim
    double factory[PotCount]; // where a new card's pots sit
    double curve[PotCount];   // bend of the pot's track, -0.4 .. 0.4
    static CardTraits FromSeed(uint64_t seed);
};

// A card's true errors: what the A/D converts a known input to against
// that input, and each DAC's output for codes 20 and 4076 against the
// nominal voltage the calibration gives for them, in counts of the A/D
// range that the calibration reads that output with. In whole counts as a
// lab's reference meter shows them, or exact.
template <typename T>
struct ErrorsIn {
    T adBipolarZero, adBipolarPlus, adBipolarMinus; // 0 V, +9.9 V, -9.9 V
    T adUnipolarZero, adUnipolarHigh;               // 0 V, 9.95 V
    T dacLow[2], dacHigh[2];                        // codes 20 and 4076
};
using CardErrors = ErrorsIn<int>;
using ExactErrors = ErrorsIn<double>;

// The simulated cards' time. It follows the monotonic clock until a test
// holds it; held, it moves only when advanced, and the time a status read
// costs moves it instead of being spun away, so a test decides exactly
// how much time passes between two accesses, whatever the machine's load.
class SimClock {
public:
    using Clock = std::chrono::steady_clock;
    static SimClock &instance();

    Clock::time_point now() const { return FHeld ? FAt : Clock::now() + FAhead; }
    // Stops the time where it is now, until release.
    void hold();
    // Moves a held time on; no effect on a running one.
    void advance(Clock::duration by);
    // Runs on from the held time: time never goes back.
    void release();
    // Busy for `d`: spun on the monotonic clock, or added to a held time.
    void spend(Clock::duration d);

private:
    bool FHeld = false;
    Clock::time_point FAt{};         // the held time
    Clock::duration FAhead{};        // of the monotonic clock, once released
};

// One card: the A/D converter, two DACs, the pots and the wiring of pin 37.
class Card {
public:
    Card(uint32_t deviceId, uint16_t base, uint64_t seed = EnvironmentConfig().seed);
    Card(const Card &) = delete;
    Card &operator=(const Card &) = delete;

    // Keeps the inputs and DAC codes in `state` (shared with a bench) from
    // now on; null returns to the card's own.
    void UseState(CardState *state) { FState = state ? state : &FOwn; }
    CardState &State() { return *FState; }

    uint32_t deviceId() const { return FDeviceId; }
    uint16_t base() const { return FBase; }

    // A new card from `seed`: pots where its factory left them, nothing
    // wired, 0-5V switches, DACs at code 0.
    static void FactoryState(CardState &state, uint64_t seed);
    void newCard(uint64_t seed) { FactoryState(*FState, seed); }
    uint64_t seed() const { return FState->seed.load(); }

    // Pot wiper position, 0 to 1.
    void setPot(Pot pot, double position);
    double pot(Pot pot) const { return FState->Pot(static_cast<int>(pot)); }
    // The position of an exact trim, with the other pots where they are.
    double idealPosition(Pot pot) const;
    void setPin37(Pin37 wiring) { FState->pin37 = static_cast<int32_t>(wiring); }
    Pin37 pin37() const { return static_cast<Pin37>(FState->pin37.load()); }
    void setCalibratorVolts(double volts) { FState->SetCalibrator(volts); }
    double calibratorVolts() const { return FState->Calibrator(); }
    // The DIP switches of a DAC, as a range index 0 to 5 (0-2.5V ... ±10V).
    void setDacRange(int dac, int rangeIndex);
    int dacRange(int dac) const { return FState->dacRange[dac & 1]; }
    // Noise on each conversion, in A/D counts (standard deviation); 0 also
    // stills the floating input.
    void setNoise(double counts) { FNoise = counts; }
    // Time constant of the input select's settling.
    void setSettlingTime(std::chrono::microseconds tau) { FSettling = tau; }
    // A conversion that never reports completion.
    void setConversionStuck(bool stuck) { FStuck = stuck; }
    // The next conversions give these data words instead of a measurement;
    // an empty entry is a conversion that never completes.
    void scriptConversions(std::deque<std::optional<uint16_t>> words) { FScript = std::move(words); }
    // Conversions started so far.
    uint64_t conversions() const { return FConversions; }

    uint16_t dacCode(int dac) const { return static_cast<uint16_t>(FState->dacCode[dac & 1].load()); }
    double dacVolts(int dac) const;
    double pin37Volts() const;
    uint16_t selectCode() const { return FSelect; }
    uint8_t controlByte() const { return FControl; }
    // The reading an ideal card would give for the present input, in the
    // selected range, and the one this card gives, both settled and
    // without noise.
    int idealCounts() const;
    int trueCounts() const;
    CardErrors errors() const;
    ExactErrors exactErrors() const;

    bool decodes(uint32_t port) const { return port >= FBase && port < FBase + reg::Span; }
    uint32_t read8(uint32_t offset);
    uint32_t read16(uint32_t offset);
    void write8(uint32_t offset, uint32_t value);
    void write16(uint32_t offset, uint32_t value);

private:
    using Clock = std::chrono::steady_clock;
    const CardTraits &traits() const;
    double trim(Pot pot) const; // the pot's effect, 0 at an exact trim
    double adGain() const;
    double adVolts(double input, bool unipolar) const;
    double dacVolts(int dac, int range, uint16_t code) const;
    static int countsFor(double volts, bool unipolar);
    uint32_t status();
    void convert();

    uint32_t FDeviceId;
    uint16_t FBase;
    CardState FOwn;
    CardState *FState = &FOwn;
    mutable uint64_t FTraitsSeed = 0;
    mutable CardTraits FTraits{};
    uint16_t FSelect = 0;
    uint8_t FControl = 0;
    uint16_t FResult = 0;
    bool FStuck = false;
    bool FStuckOnce = false;
    Clock::time_point FDoneAt{};      // when the running conversion completes
    Clock::time_point FSelectedAt{};  // the last change of input select
    double FSettleFrom = 0;           // the amplifier's output before that change
    std::chrono::microseconds FSettling{2000};
    std::deque<std::optional<uint16_t>> FScript;
    uint64_t FConversions = 0;
    double FNoise = 0.35;
    std::mt19937_64 FRandom;
};

// One access to a card's port, as the machine saw it: when (on the
// simulated cards' clock), which port, the value, and which way.
struct PortAccess {
    std::chrono::steady_clock::time_point at;
    uint32_t port;
    uint32_t value;
    bool write;
};

// The simulated machine: the installed cards and the kernel driver, as the
// environment configures them when the library loads.
class Machine {
public:
    static Machine &instance();

    // The configured machine again: by default one 0x6D21 card at 0xE800
    // with the kernel driver loaded, pots out of trim, the clock running.
    void reset();
    void setKernelDriverLoaded(bool loaded) { FDriverLoaded = loaded; }
    // A locked-down kernel: every write to a card is refused (EPERM).
    void setWritesRefused(bool refused) { FConfig.writesRefused = refused; }
    bool kernelDriverLoaded() const { return FDriverLoaded; }
    void clearCards() { FCards.clear(); }
    // Card 0 takes its inputs from the shared segment named in the
    // environment variable TRVWDM_SIM_SHM, when one is set and usable,
    // and is this process's to drive unless another process drives it.
    void attachSharedState();
    // Whether card `index` is driven by another process: its ports are
    // then neither read nor written.
    bool cardBusy(int index) const { return index == 0 && FBusy && !FCards.empty(); }
    // The same, asking again: a card that the other process has let go
    // of is taken for this one.
    bool cardBusyNow(int index);
    // The errno value of the first refused access since the last call.
    int takePortError() { return std::exchange(FPortError, 0); }
    Card &addCard(uint32_t deviceId, uint16_t base);
    // Called with every access to a card's port from now on, until reset
    // or given null: tests read the order and timing of the traffic.
    void watchAccesses(std::function<void(const PortAccess &)> watcher) { FWatcher = std::move(watcher); }
    int cardCount() const { return static_cast<int>(FCards.size()); }
    Card &card(int index) { return FCards.at(index); }
    const SimConfig &config() const { return FConfig; }

    uint32_t inb(uint32_t port);
    uint32_t inw(uint32_t port);
    void outb(uint32_t port, uint32_t value);
    void outw(uint32_t port, uint32_t value);

private:
    Machine();
    Card *cardAt(uint32_t port);
    // Falls back to card 0's own state when the shared segment broke.
    void checkShared();

    // The card at `port` that this process may drive, or null; a busy
    // card's access is kept as an error.
    Card *drivenAt(uint32_t port);
    // The same for a write, which a locked-down kernel refuses.
    Card *writableAt(uint32_t port);
    void refuse(int error);
    // Shows the access to the watcher; `value` passes through.
    uint32_t watched(uint32_t port, uint32_t value, bool write);

    SimConfig FConfig;
    std::deque<Card> FCards;
    bool FBusy = false;
    int FPortError = 0;
    std::unique_ptr<SharedState> FShared;
    std::function<void(const PortAccess &)> FWatcher;
    std::string FSharedName;
    bool FDriverLoaded = true;
};

} // namespace trvsim
