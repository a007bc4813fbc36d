#include "DriverCheck.h"

#include "LLTRVWDM.h"

TDriverFault CheckDriver()
{
    const bool absent = (LLTRVWDM::InPortB(DriverCheckPort) & 0xFFFF) == DriverAbsentAnswer;
    if (!LLTRVWDM::DriverLibraryLoaded())
        return TDriverFault::LibraryMissing;
    // A library without all its entry points cannot list or drive a card,
    // whatever its InPortB answers.
    if (!LLTRVWDM::DriverLibraryComplete())
        return TDriverFault::EntryPointMissing;
    return absent ? TDriverFault::CardNotAccessible : TDriverFault::None;
}

QString DriverAdvice(TDriverFault fault)
{
    switch (fault) {
    case TDriverFault::None:
        return QString();
    case TDriverFault::LibraryMissing:
        return QStringLiteral("On Linux, Setup reaches the card through its library libtrvwdm.so.1, which it could "
                              "not load. Reinstall the package with\n"
                              "    sudo apt install --reinstall rz4070-setup");
    case TDriverFault::EntryPointMissing:
        return QStringLiteral("On Linux, Setup reaches the card through its library libtrvwdm.so.1, but the library "
                              "it loaded lacks some of its operations: it is not the one Setup was built with. "
                              "Remove the other libtrvwdm.so.1 from the library search path (LD_LIBRARY_PATH), or "
                              "reinstall the package with\n"
                              "    sudo apt install --reinstall rz4070-setup");
    case TDriverFault::CardNotAccessible:
        return QStringLiteral("On Linux, Setup reaches the card through its sysfs resource file, which the "
                              "installed package opens to the group rz4070. Add yourself to that group with\n"
                              "    sudo usermod -aG rz4070 $USER\n"
                              "then log out and log in again.");
    }
    return QString();
}
