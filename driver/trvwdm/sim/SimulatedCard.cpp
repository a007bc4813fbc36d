#include "SimulatedCard.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace trvsim {
namespace {

// Pot travel: what turning a wiper from an exact trim to an end can do.
constexpr double OffsetTravelVolts = 0.2; // RP1, RP2, RP5, RP7
constexpr double GainTravel = 0.04;       // RP3, RP6, RP8
// How far a gain trim moves the zero: a fraction of the gain error, at
// full scale, as the reference and the offset share the trimmed amplifier.
constexpr double GainToZero = 0.05;

constexpr double BipolarSpan = 20.0;
constexpr double UnipolarSpan = 10.0;
constexpr int Counts = 4096;
constexpr uint32_t SelectUnipolarBit = 4;
constexpr auto ConversionTime = std::chrono::microseconds(10);
constexpr auto StatusReadTime = std::chrono::nanoseconds(1000);

constexpr Pot OffsetPot[2] = {Pot::RP5, Pot::RP7};
constexpr Pot GainPot[2] = {Pot::RP6, Pot::RP8};

// splitmix64: a well-mixed stream of numbers from one seed.
uint64_t Mix(uint64_t &state)
{
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

double Uniform(uint64_t &state, double low, double high)
{
    return low + (high - low) * double(Mix(state) >> 11) / double(1ull << 53);
}

// A DAC range's output: the voltage of code 0 and the span of codes.
struct DacSpan {
    double bottom, full;
    bool bipolar;
};

DacSpan SpanOf(int range)
{
    const double span = range % 3 == 0 ? 2.5 : range % 3 == 1 ? 5.0 : 10.0;
    const bool bipolar = range > 2;
    return {bipolar ? -span : 0.0, bipolar ? 2 * span : span, bipolar};
}

// The nominal output of the two calibration codes, as the calibration
// states them: code 20 near the bottom of the range, 4076 near the top.
double NominalDacVolts(int range, bool high)
{
    const DacSpan s = SpanOf(range);
    const double span = s.bipolar ? s.full / 2 : s.full;
    return (high ? (s.bipolar ? 0.99 : 0.995) : (s.bipolar ? -0.99 : 0.005)) * span;
}

double Lsb(bool unipolar)
{
    return (unipolar ? UnipolarSpan : BipolarSpan) / Counts;
}

// Where an input sits in a range, 0 at the bottom and 1 at the top: what
// the converter's input amplifier carries.
double Level(double volts, bool unipolar)
{
    return unipolar ? volts / UnipolarSpan : (volts + BipolarSpan / 2) / BipolarSpan;
}

double FromLevel(double level, bool unipolar)
{
    return unipolar ? level * UnipolarSpan : level * BipolarSpan - BipolarSpan / 2;
}

double Seconds()
{
    static const auto start = SimClock::instance().now();
    return std::chrono::duration<double>(SimClock::instance().now() - start).count();
}

} // namespace

SimClock &SimClock::instance()
{
    static SimClock clock;
    return clock;
}

void SimClock::hold()
{
    FAt = now();
    FHeld = true;
}

void SimClock::release()
{
    if (FHeld)
        FAhead = std::max(FAhead, FAt - Clock::now());
    FHeld = false;
}

void SimClock::advance(Clock::duration by)
{
    if (FHeld)
        FAt += by;
}

void SimClock::spend(Clock::duration d)
{
    if (FHeld) {
        FAt += d;
        return;
    }
    const Clock::time_point start = Clock::now();
    while (Clock::now() - start < d) {
    }
}

CardTraits CardTraits::FromSeed(uint64_t seed)
{
    CardTraits t{};
    uint64_t state = seed;
    for (int i = 0; i < PotCount; ++i) {
        t.ideal[i] = Uniform(state, 0.3, 0.7);
        const double away = Uniform(state, 0.06, 0.18);
        t.factory[i] = t.ideal[i] + (Mix(state) & 1 ? away : -away);
        t.curve[i] = Uniform(state, -0.4, 0.4);
    }
    return t;
}

Card::Card(uint32_t deviceId, uint16_t base, uint64_t seed)
    : FDeviceId(deviceId), FBase(base), FRandom(seed ^ 0x4070u)
{
    FactoryState(FOwn, seed);
}

void Card::FactoryState(CardState &state, uint64_t seed)
{
    const CardTraits traits = CardTraits::FromSeed(seed);
    state.seed = seed;
    for (int i = 0; i < PotCount; ++i)
        state.SetPot(i, traits.factory[i]);
    state.pin37 = static_cast<int32_t>(Pin37::Open);
    state.SetCalibrator(0.0);
    state.dacRange[0] = state.dacRange[1] = 1;
    state.dacCode[0] = state.dacCode[1] = 0;
}

const CardTraits &Card::traits() const
{
    const uint64_t seed = FState->seed.load();
    if (seed != FTraitsSeed || FTraits.ideal[0] == 0) {
        FTraits = CardTraits::FromSeed(seed);
        FTraitsSeed = seed;
    }
    return FTraits;
}

void Card::setPot(Pot pot, double position)
{
    FState->SetPot(static_cast<int>(pot), std::clamp(position, 0.0, 1.0));
}

double Card::idealPosition(Pot pot) const
{
    return traits().ideal[static_cast<int>(pot)];
}

double Card::trim(Pot pot) const
{
    const int i = static_cast<int>(pot);
    const double u = this->pot(pot) - traits().ideal[i];
    return u + traits().curve[i] * u * std::abs(u);
}

void Card::setDacRange(int dac, int rangeIndex)
{
    FState->dacRange[dac & 1] = std::clamp(rangeIndex, 0, 5);
}

double Card::adGain() const
{
    return 1.0 + GainTravel * trim(Pot::RP3);
}

double Card::adVolts(double input, bool unipolar) const
{
    const double gain = adGain();
    const double offset = OffsetTravelVolts * trim(unipolar ? Pot::RP2 : Pot::RP1) + GainToZero * (gain - 1) * UnipolarSpan;
    return input * gain + offset;
}

double Card::dacVolts(int dac, int range, uint16_t code) const
{
    const DacSpan s = SpanOf(range);
    const double gain = 1.0 + GainTravel * trim(GainPot[dac]);
    const double offset = OffsetTravelVolts * trim(OffsetPot[dac]) + GainToZero * (gain - 1) * s.full;
    return s.bottom + offset + code * s.full / Counts * gain;
}

double Card::dacVolts(int dac) const
{
    return dacVolts(dac & 1, dacRange(dac), dacCode(dac));
}

double Card::pin37Volts() const
{
    switch (pin37()) {
    case Pin37::Open: {
        // A floating input wanders around a few hundred millivolts.
        const double t = Seconds();
        return 0.8 + 0.25 * std::sin(2 * M_PI * t / 7.0) + 0.08 * std::sin(2 * M_PI * t / 1.3);
    }
    case Pin37::Ground: return 0.0;
    case Pin37::Calibrator: return calibratorVolts();
    case Pin37::Dac0: return dacVolts(0);
    case Pin37::Dac1: return dacVolts(1);
    }
    return 0.0;
}

int Card::countsFor(double volts, bool unipolar)
{
    const long counts = std::lround(volts / Lsb(unipolar));
    return unipolar ? int(std::clamp(counts, 0L, long(Counts - 1)))
                    : int(std::clamp(counts, long(-Counts / 2), long(Counts / 2 - 1)));
}

int Card::idealCounts() const
{
    return countsFor(pin37Volts(), FSelect & SelectUnipolarBit);
}

int Card::trueCounts() const
{
    const bool unipolar = FSelect & SelectUnipolarBit;
    return countsFor(adVolts(pin37Volts(), unipolar), unipolar);
}

ExactErrors Card::exactErrors() const
{
    auto ad = [this](double volts, bool unipolar) { return (adVolts(volts, unipolar) - volts) / Lsb(unipolar); };
    ExactErrors e{ad(0, false), ad(9.9, false), ad(-9.9, false), ad(0, true), ad(9.95, true), {}, {}};
    for (int dac = 0; dac < 2; ++dac) {
        const int range = dacRange(dac);
        auto dacError = [&](bool high, bool unipolarReading) {
            const double volts = dacVolts(dac, range, high ? 4076 : 20);
            return (volts - NominalDacVolts(range, high)) / Lsb(unipolarReading);
        };
        e.dacLow[dac] = dacError(false, !SpanOf(range).bipolar);
        e.dacHigh[dac] = dacError(true, true);
    }
    return e;
}

CardErrors Card::errors() const
{
    const ExactErrors x = exactErrors();
    auto whole = [](double counts) { return int(std::lround(counts)); };
    return {whole(x.adBipolarZero), whole(x.adBipolarPlus), whole(x.adBipolarMinus), whole(x.adUnipolarZero),
            whole(x.adUnipolarHigh), {whole(x.dacLow[0]), whole(x.dacLow[1])}, {whole(x.dacHigh[0]), whole(x.dacHigh[1])}};
}

void Card::convert()
{
    const bool unipolar = FSelect & SelectUnipolarBit;
    double input = pin37Volts();
    if (pin37() == Pin37::Open && FNoise > 0) {
        std::normal_distribution<double> pickup(0.0, 0.015); // and picks up whatever is near
        input += pickup(FRandom);
    }
    double volts = adVolts(input, unipolar);
    // The input amplifier still moving from where the last select left it.
    const double since = std::chrono::duration<double>(SimClock::instance().now() - FSelectedAt).count();
    const double tau = std::chrono::duration<double>(FSettling).count();
    if (tau > 0 && since < 20 * tau)
        volts += FromLevel((FSettleFrom - Level(volts, unipolar)) * std::exp(-since / tau), unipolar)
                 - FromLevel(0, unipolar);
    if (FNoise > 0) {
        std::normal_distribution<double> noise(0.0, FNoise);
        volts += noise(FRandom) * Lsb(unipolar);
    }
    FResult = static_cast<uint16_t>(countsFor(volts, unipolar) & 0x0FFF);
}

uint32_t Card::status()
{
    // A status read costs about a microsecond, as on the bus.
    SimClock::instance().spend(StatusReadTime);
    const bool done = !FStuck && !FStuckOnce && SimClock::instance().now() >= FDoneAt;
    return (done ? 0x80u : 0u) | (FControl & 0x7Fu);
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
        convert();
        FStuckOnce = false;
        if (!FScript.empty()) {
            const std::optional<uint16_t> word = FScript.front();
            FScript.pop_front();
            FStuckOnce = !word;
            FResult = word.value_or(0);
        }
        ++FConversions;
        FDoneAt = SimClock::instance().now() + ConversionTime;
    } else if (offset == reg::AdControl) {
        FControl = static_cast<uint8_t>(value);
    }
}

void Card::write16(uint32_t offset, uint32_t value)
{
    switch (offset) {
    case reg::AdSelect:
        if (uint16_t(value) != FSelect) {
            const bool unipolar = FSelect & SelectUnipolarBit;
            FSettleFrom = Level(adVolts(pin37Volts(), unipolar), unipolar);
            FSelectedAt = SimClock::instance().now();
            FSelect = static_cast<uint16_t>(value);
        }
        break;
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

Machine::Machine() : FConfig(EnvironmentConfig())
{
    reset();
}

void Machine::reset()
{
    FConfig = EnvironmentConfig();
    FDriverLoaded = !FConfig.driverAbsent;
    FCards.clear();
    FWatcher = nullptr;
    SimClock::instance().release();
    for (const SimConfig::CardSpec &c : FConfig.cards)
        addCard(c.deviceId, c.base);
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
    FBusy = FShared && !FShared->TakeForDriving();
}

bool Machine::cardBusyNow(int index)
{
    if (index == 0 && FBusy && FShared)
        FBusy = !FShared->TakeForDriving();
    return cardBusy(index);
}

void Machine::checkShared()
{
    if (!FShared || FShared->Intact())
        return;
    std::fprintf(stderr, "simulated card: the shared card state %s was cut short; running alone\n",
                 FSharedName.c_str());
    if (!FCards.empty())
        FCards.front().UseState(nullptr);
    FShared.reset();
}

Card &Machine::addCard(uint32_t deviceId, uint16_t base)
{
    Card &card = FCards.emplace_back(deviceId, base, FConfig.seed + FCards.size());
    card.setConversionStuck(FConfig.adcStuck);
    return card;
}

Card *Machine::cardAt(uint32_t port)
{
    for (Card &c : FCards)
        if (c.decodes(port))
            return &c;
    return nullptr;
}

void Machine::refuse(int error)
{
    if (FPortError == 0)
        FPortError = error;
}

Card *Machine::drivenAt(uint32_t port)
{
    Card *c = cardAt(port);
    if (c && cardBusy(int(c - &FCards.front()))) {
        refuse(EBUSY);
        return nullptr;
    }
    return c;
}

uint32_t Machine::inb(uint32_t port)
{
    if (port == SystemControlPort)
        return 0x20;
    Card *c = drivenAt(port);
    return c ? watched(port, c->read8(port - c->base()), false) : 0xFF;
}

uint32_t Machine::inw(uint32_t port)
{
    Card *c = drivenAt(port);
    return c ? watched(port, c->read16(port - c->base()), false) : 0xFFFF;
}

void Machine::outb(uint32_t port, uint32_t value)
{
    if (Card *c = writableAt(port))
        c->write8(port - c->base(), watched(port, value & 0xFF, true));
}

void Machine::outw(uint32_t port, uint32_t value)
{
    if (Card *c = writableAt(port))
        c->write16(port - c->base(), watched(port, value & 0xFFFF, true));
}

uint32_t Machine::watched(uint32_t port, uint32_t value, bool write)
{
    if (FWatcher)
        FWatcher({SimClock::instance().now(), port, value, write});
    return value;
}

Card *Machine::writableAt(uint32_t port)
{
    checkShared();
    Card *c = drivenAt(port);
    if (c && FConfig.writesRefused) {
        refuse(EPERM);
        return nullptr;
    }
    return c;
}

} // namespace trvsim
