// Register-level model of PCI-RZ4070(A) cards, behind the simulated
// libtrvwdm.so.1. Tests link the same library and steer the model through
// this interface: the program, loading the library by name, sees the same
// state.
#pragma once

#include "SharedState.h"

#include <cstdint>
#include <deque>
#include <optional>
#include <random>
#include <string>
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

inline constexpr uint32_t DeviceRZ4070 = 0x6D21;
inline constexpr uint32_t DeviceRZ4070A = 0x6D22;
inline constexpr uint16_t DefaultBase = 0xE800;
inline constexpr uint32_t SystemControlPort = 0x61;

// One card: the A/D converter, two DACs, the pots and the wiring of pin 37.
class Card {
public:
    Card(uint32_t deviceId, uint16_t base);
    Card(const Card &) = delete;
    Card &operator=(const Card &) = delete;

    // Keeps the inputs and DAC codes in `state` (shared with a bench) from
    // now on; null returns to the card's own.
    void UseState(CardState *state) { FState = state ? state : &FOwn; }
    CardState &State() { return *FState; }

    uint32_t deviceId() const { return FDeviceId; }
    uint16_t base() const { return FBase; }

    // Pot wiper position, 0 to 1; 0.5 is the ideal setting.
    void setPot(Pot pot, double position);
    double pot(Pot pot) const { return FState->Pot(static_cast<int>(pot)); }
    void setPin37(Pin37 wiring) { FState->pin37 = static_cast<int32_t>(wiring); }
    Pin37 pin37() const { return static_cast<Pin37>(FState->pin37.load()); }
    void setCalibratorVolts(double volts) { FState->SetCalibrator(volts); }
    double calibratorVolts() const { return FState->Calibrator(); }
    // The DIP switches of a DAC, as a range index 0 to 5 (0-2.5V ... ±10V).
    void setDacRange(int dac, int rangeIndex);
    int dacRange(int dac) const { return FState->dacRange[dac & 1]; }
    // Noise on each conversion, in A/D counts (standard deviation).
    void setNoise(double counts) { FNoise = counts; }
    // A conversion that never reports completion.
    void setConversionStuck(bool stuck) { FStuck = stuck; }
    // Status reads a conversion takes before its done bit sets.
    void setConversionReads(int reads) { FConversionReads = reads; }
    // The next conversions give these data words instead of a measurement;
    // an empty entry is a conversion that never completes.
    void scriptConversions(std::deque<std::optional<uint16_t>> words) { FScript = std::move(words); }
    // Conversions started so far.
    uint64_t conversions() const { return FConversions; }

    // A new card's inputs: pots out of trim, nothing wired, 0-5V switches.
    static void FactoryState(CardState &state);

    uint16_t dacCode(int dac) const { return static_cast<uint16_t>(FState->dacCode[dac & 1].load()); }
    double dacVolts(int dac) const;
    double pin37Volts() const;
    uint16_t selectCode() const { return FSelect; }
    uint8_t controlByte() const { return FControl; }
    // The reading an ideal card would give for the present input, in the
    // selected range, before noise.
    int idealCounts() const;
    int trueCounts() const;

    bool decodes(uint32_t port) const { return port >= FBase && port < FBase + reg::Span; }
    uint32_t read8(uint32_t offset);
    uint32_t read16(uint32_t offset);
    void write8(uint32_t offset, uint32_t value);
    void write16(uint32_t offset, uint32_t value);

private:
    double measuredVolts() const;
    int countsFor(double volts) const;
    uint32_t status();

    uint32_t FDeviceId;
    uint16_t FBase;
    CardState FOwn;
    CardState *FState = &FOwn;
    uint16_t FSelect = 0;
    uint8_t FControl = 0;
    uint16_t FResult = 0;
    int FPendingReads = 0;
    bool FConverting = false;
    int FConversionReads = 3;
    bool FStuck = false;
    bool FStuckOnce = false;
    std::deque<std::optional<uint16_t>> FScript;
    uint64_t FConversions = 0;
    double FNoise = 0.35;
    std::mt19937 FRandom;
};

// The simulated machine: the installed cards and the kernel driver.
class Machine {
public:
    static Machine &instance();

    // One 0x6D21 card at 0xE800, kernel driver loaded, pots miscalibrated.
    void reset();
    void setKernelDriverLoaded(bool loaded) { FDriverLoaded = loaded; }
    bool kernelDriverLoaded() const { return FDriverLoaded; }
    void clearCards() { FCards.clear(); }
    // Card 0 takes its inputs from the shared segment named in the
    // environment variable TRVWDM_SIM_SHM, when one is set and usable.
    void attachSharedState();
    Card &addCard(uint32_t deviceId, uint16_t base);
    int cardCount() const { return static_cast<int>(FCards.size()); }
    Card &card(int index) { return FCards.at(index); }

    uint32_t inb(uint32_t port);
    uint32_t inw(uint32_t port);
    void outb(uint32_t port, uint32_t value);
    void outw(uint32_t port, uint32_t value);

private:
    Machine() { reset(); }
    Card *cardAt(uint32_t port);

    std::deque<Card> FCards;
    std::unique_ptr<SharedState> FShared;
    std::string FSharedName;
    bool FDriverLoaded = true;
};

} // namespace trvsim
