// The main window unit's module-level state.
#pragma once

#include <array>
#include <cstdint>

class TTwoJumper;
class TDipSwitch;

// The main window unit's module-level state, shared by the handlers and the
// calibration wizard. One copy exists for the process, MainUnit; the
// values here are the ones it starts with.
struct TMainUnit {
    std::array<TTwoJumper *, 9> ChannelJumper{}; // entries 1..8: CH0..CH7
    std::array<TDipSwitch *, 2> DACSwitch{};     // DACDip0, DACDip1
    std::array<uint8_t, 2> DACRange{0, 0};       // range index per DAC
    uint16_t BaseAddress = 0;                    // I/O base of the card in use
    int32_t CalibStep = 0;                       // wizard step

    // Back to the starting values, as at process start; a main window
    // created afterwards fills the tables again.
    void Reset() { *this = TMainUnit{}; }
};
extern TMainUnit MainUnit;
