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
    CardNotAccessible, // a card's file or node is the group's, and the user is not in it
    LoginBeforeGroup,  // the user joined the group after this login began
    CardNotGranted,    // a card's file or node was never given to the group
    LockedDown,        // the kernel is locked down and refuses writes on the sysfs path
    GroupNotViable,    // a device sharing the card's IOMMU group has a host driver
    VfioRefused,       // the card is bound to vfio-pci, but VFIO refused it
    FileNotAFile,      // a directory, a pipe or a device stands where a card's file should be
    FileIsLink,        // a card's file or node is a symbolic link
    FileUnusable,      // the kernel refused to open a card's file for another reason
};

// Reads the driver check port through the binding (loading the library if
// needed) and names the cause of a fault, from what the library reports
// and what this user can see of the system.
TDriverFault CheckDriver();

// What an unprivileged program can see of the system that tells the
// remedies of a locked-down kernel apart.
struct TIommuView {
    bool firmwareOffersIommu = false; // ACPI has a DMAR (Intel) or IVRS (AMD) table
    QString kernelCommandLine;
};
TIommuView ObserveIommu();

// The warning's informative text for a fault: the Linux steps that fit it.
// Empty for TDriverFault::None.
QString DriverAdvice(TDriverFault fault, const TIommuView &iommu = ObserveIommu());

// Why a calibration stopped when the card refused an access, from its
// errno value: the reason and what to do.
QString PortErrorText(int error);
