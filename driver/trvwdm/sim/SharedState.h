// The simulated card's inputs and DAC codes, in POSIX shared memory, so
// that Setup (through the simulated library) and the bench drive one card.
// Every field is a lock-free atomic written whole, so two writers can only
// replace each other's values, never tear them. The segment starts with a
// magic number and a layout version; a segment of another version, of
// another user, or writable by anyone else is reported and left alone.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

namespace trvsim {

inline constexpr int SharedPotCount = 7;

// A card's inputs: what the bench sets and the library's DACs write.
struct CardState {
    std::atomic<uint64_t> pots[SharedPotCount]; // doubles, as bits
    std::atomic<int32_t> pin37;
    std::atomic<uint64_t> calibratorVolts;      // double, as bits
    std::atomic<int32_t> dacRange[2];
    std::atomic<uint32_t> dacCode[2];
    std::atomic<uint64_t> seed;                 // the card the pots belong to

    double Pot(int i) const;
    void SetPot(int i, double position);
    double Calibrator() const;
    void SetCalibrator(double volts);
};

class SharedState {
public:
    static constexpr uint32_t Magic = 0x52344B37;
    static constexpr uint32_t LayoutVersion = 2;

    // Opens the segment `name` (for example "/rz4070-bench-1000"), creating
    // and initialising it with `initial` when it does not exist yet. Null,
    // with the reason in `error`, when it cannot be used.
    static std::unique_ptr<SharedState> Attach(const std::string &name, const CardState &initial, std::string *error);
    // Removes the segment's name; attached processes keep their mapping.
    static void Remove(const std::string &name);
    ~SharedState();

    CardState &Card() { return FSegment->card; }
    // Whether the segment still holds the whole layout: one cut short
    // under a running program must no longer be touched.
    bool Intact() const;
    // Takes the card for this process as its one driver (the bench, which
    // is the card's surroundings, never does): false when another process
    // holds it. Released when the segment is closed.
    bool TakeForDriving();

    struct Segment {
        std::atomic<uint32_t> magic;
        std::atomic<uint32_t> version;
        std::atomic<uint32_t> size;
        CardState card;
    };

private:
    SharedState(Segment *segment, int fd) : FSegment(segment), FFile(fd) {}
    Segment *FSegment;
    int FFile; // kept open to watch the segment's size
};

} // namespace trvsim
