#include "SimulatedCard.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace trvsim {
namespace {

// Where each pot sits on a new card: every trim is off, as on a card that
// has not been calibrated yet.
constexpr double FactoryPots[PotCount] = {0.62, 0.41, 0.57, 0.35, 0.66, 0.58, 0.39};

// Pot travel, as full-scale effect of turning the wiper from end to end.
constexpr double OffsetTravelVolts = 0.2; // RP1, RP2, RP5, RP7
constexpr double GainTravel = 0.04;       // RP3, RP6, RP8

constexpr double BipolarSpan = 20.0;
constexpr double UnipolarSpan = 10.0;
constexpr int Counts = 4096;
constexpr uint32_t SelectUnipolarBit = 4;

double offsetOf(double position) { return (position - 0.5) * OffsetTravelVolts; }
double gainOf(double position) { return 1.0 + (position - 0.5) * GainTravel; }

} // namespace

Card::Card(uint32_t deviceId, uint16_t base)
    : FDeviceId(deviceId), FBase(base), FRandom(0x4070u + base)
{
    FactoryState(FOwn);
}

void Card::FactoryState(CardState &state)
{
    for (int i = 0; i < PotCount; ++i)
        state.SetPot(i, FactoryPots[i]);
    state.pin37 = static_cast<int32_t>(Pin37::Open);
    state.SetCalibrator(0.0);
    state.dacRange[0] = state.dacRange[1] = 1;
    state.dacCode[0] = state.dacCode[1] = 0;
}

void Card::setPot(Pot pot, double position)
{
    FState->SetPot(static_cast<int>(pot), std::clamp(position, 0.0, 1.0));
}

void Card::setDacRange(int dac, int rangeIndex)
{
    FState->dacRange[dac & 1] = std::clamp(rangeIndex, 0, 5);
}

double Card::dacVolts(int dac) const
{
    const int range = dacRange(dac);
    const double span = range % 3 == 0 ? 2.5 : range % 3 == 1 ? 5.0 : 10.0;
    const bool bipolar = range > 2;
    const double bottom = bipolar ? -span : 0.0;
    const double full = bipolar ? 2 * span : span;
    const Pot offsetPot = dac ? Pot::RP7 : Pot::RP5;
    const Pot gainPot = dac ? Pot::RP8 : Pot::RP6;
    // The offset trim moves the zero-code output; the gain trim scales from it.
    return bottom + offsetOf(pot(offsetPot)) + dacCode(dac) * full / Counts * gainOf(pot(gainPot));
}

double Card::pin37Volts() const
{
    switch (pin37()) {
    case Pin37::Open: return 0.8; // a floating input drifts to a few hundred millivolts
    case Pin37::Ground: return 0.0;
    case Pin37::Calibrator: return calibratorVolts();
    case Pin37::Dac0: return dacVolts(0);
    case Pin37::Dac1: return dacVolts(1);
    }
    return 0.0;
}

double Card::measuredVolts() const
{
    const bool unipolar = FSelect & SelectUnipolarBit;
    const double offset = offsetOf(pot(unipolar ? Pot::RP2 : Pot::RP1));
    return pin37Volts() * gainOf(pot(Pot::RP3)) + offset;
}

int Card::countsFor(double volts) const
{
    const bool unipolar = FSelect & SelectUnipolarBit;
    const double lsb = (unipolar ? UnipolarSpan : BipolarSpan) / Counts;
    const long counts = std::lround(volts / lsb);
    return unipolar ? int(std::clamp(counts, 0L, long(Counts - 1)))
                    : int(std::clamp(counts, long(-Counts / 2), long(Counts / 2 - 1)));
}

int Card::idealCounts() const
{
    return countsFor(pin37Volts());
}

int Card::trueCounts() const
{
    return countsFor(measuredVolts());
}

uint32_t Card::status()
{
    if (FConverting && !FStuck && !FStuckOnce && --FPendingReads <= 0)
        FConverting = false;
    return (FConverting ? 0u : 0x80u) | (FControl & 0x7Fu);
}

uint32_t Card::read8(uint32_t offset)
{
    if (offset == reg::AdControl)
        return status();
    return read16(offset & ~1u) >> (8 * (offset & 1)) & 0xFF;
}

uint32_t Card::read16(uint32_t offset)
{
    switch (offset) {
    case reg::AdData: return FResult;
    case reg::AdSelect: return FSelect;
    case reg::AdControl: return status();
    default: return 0xFFFF;
    }
}

void Card::write8(uint32_t offset, uint32_t value)
{
    if (offset == reg::AdData) {
        std::normal_distribution<double> noise(0.0, FNoise);
        const bool unipolar = FSelect & SelectUnipolarBit;
        const double lsb = (unipolar ? UnipolarSpan : BipolarSpan) / Counts;
        const double volts = measuredVolts() + (FNoise > 0 ? noise(FRandom) * lsb : 0.0);
        FResult = static_cast<uint16_t>(countsFor(volts) & 0x0FFF);
        FStuckOnce = false;
        if (!FScript.empty()) {
            const std::optional<uint16_t> word = FScript.front();
            FScript.pop_front();
            FStuckOnce = !word;
            FResult = word.value_or(0);
        }
        ++FConversions;
        FConverting = true;
        FPendingReads = FConversionReads;
    } else if (offset == reg::AdControl) {
        FControl = static_cast<uint8_t>(value);
    }
}

void Card::write16(uint32_t offset, uint32_t value)
{
    switch (offset) {
    case reg::AdSelect: FSelect = static_cast<uint16_t>(value); break;
    case reg::Dac0: FState->dacCode[0] = value & 0x0FFF; break;
    case reg::Dac1: FState->dacCode[1] = value & 0x0FFF; break;
    default: write8(offset, value & 0xFF); break;
    }
}

Machine &Machine::instance()
{
    static Machine machine;
    return machine;
}

void Machine::reset()
{
    FDriverLoaded = true;
    FCards.clear();
    addCard(DeviceRZ4070, DefaultBase);
    attachSharedState();
}

void Machine::attachSharedState()
{
    const char *name = std::getenv("TRVWDM_SIM_SHM");
    const std::string wanted = name ? name : "";
    if (wanted != FSharedName) {
        FShared.reset();
        FSharedName = wanted;
        std::string error;
        if (!wanted.empty() && !FCards.empty()
            && !(FShared = SharedState::Attach(wanted, FCards.front().State(), &error)))
            std::fprintf(stderr, "simulated card: %s; running alone\n", error.c_str());
    }
    if (FShared && !FCards.empty())
        FCards.front().UseState(&FShared->Card());
}

Card &Machine::addCard(uint32_t deviceId, uint16_t base)
{
    return FCards.emplace_back(deviceId, base);
}

Card *Machine::cardAt(uint32_t port)
{
    for (Card &c : FCards)
        if (c.decodes(port))
            return &c;
    return nullptr;
}

uint32_t Machine::inb(uint32_t port)
{
    if (port == SystemControlPort)
        return 0x20;
    Card *c = cardAt(port);
    return c ? c->read8(port - c->base()) : 0xFF;
}

uint32_t Machine::inw(uint32_t port)
{
    Card *c = cardAt(port);
    return c ? c->read16(port - c->base()) : 0xFFFF;
}

void Machine::outb(uint32_t port, uint32_t value)
{
    if (Card *c = cardAt(port))
        c->write8(port - c->base(), value & 0xFF);
}

void Machine::outw(uint32_t port, uint32_t value)
{
    if (Card *c = cardAt(port))
        c->write16(port - c->base(), value & 0xFFFF);
}

} // namespace trvsim
