// The start-up check of the card's port-I/O library: whether it answers as
// a library whose kernel driver is not loaded, why, and what a Linux user
// can do about it. Needs only Qt Core, so that a test on a real kernel can
// run the same check.
#pragma once

#include <QString>
#include <cstdint>

inline constexpr uint32_t DriverCheckPort = 0x61;
inline constexpr uint32_t DriverAbsentAnswer = 0xAA55;

enum class TDriverFault {
    None,              // the library answers with a byte: all is well
    LibraryMissing,    // libtrvwdm.so.1 could not be loaded
    EntryPointMissing, // it loaded but lacks one of its six entry points
    CardNotAccessible, // a card is present but its resource file does not open
};

// Reads the driver check port through the binding (loading the library if
// needed) and names the cause of a fault.
TDriverFault CheckDriver();

// The warning's informative text for a fault: the Linux steps that fit it.
// Empty for TDriverFault::None.
QString DriverAdvice(TDriverFault fault);
