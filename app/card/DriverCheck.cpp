#include "DriverCheck.h"

#include "LLTRVWDM.h"
#include "trvwdm/trvwdm.h"

#include <QFile>
#include <QRegularExpression>
#include <algorithm>
#include <cerrno>
#include <grp.h>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace {

const QString Reinstall = QStringLiteral("    sudo apt install --reinstall rz4070-setup");

// Whether the group database lists this user in the card group while this
// process runs without it: the login began before the user joined.
bool JoinedAfterLogin()
{
    const group *gr = getgrnam(TRVWDM_CARD_GROUP);
    const passwd *pw = getpwuid(getuid());
    if (!gr || !pw)
        return false;
    bool listed = pw->pw_gid == gr->gr_gid;
    for (char **member = gr->gr_mem; !listed && member && *member; ++member)
        listed = QByteArray(*member) == pw->pw_name;
    std::vector<gid_t> groups(size_t(std::max(0, getgroups(0, nullptr))));
    groups.resize(size_t(std::max(0, getgroups(int(groups.size()), groups.data()))));
    const bool running = getegid() == gr->gr_gid || std::find(groups.begin(), groups.end(), gr->gr_gid) != groups.end();
    return listed && !running;
}

QString LockdownAdvice(const TIommuView &iommu)
{
    QString text = QStringLiteral("This kernel is locked down, as it is when the computer starts with Secure Boot, "
                                  "and it refuses Setup's writes to the card through its sysfs resource file. "
                                  "The way it allows is VFIO, which needs the processor's IOMMU. ");
    const QRegularExpression off(QStringLiteral("(^|\\s)((intel|amd)_iommu=off)(\\s|$)"));
    const QRegularExpressionMatch turnedOff = off.match(iommu.kernelCommandLine);
    if (!iommu.firmwareOffersIommu)
        text += QStringLiteral("The firmware offers none. Enable VT-d (Intel) or AMD-Vi (AMD, often called IOMMU "
                               "or SVM) in the firmware settings and start the computer again.");
    else if (turnedOff.hasMatch())
        text += QStringLiteral("The firmware offers one, but the kernel command line turns it off with %1. Remove "
                               "it from GRUB_CMDLINE_LINUX in /etc/default/grub, run\n"
                               "    sudo update-grub\n"
                               "and start the computer again.").arg(turnedOff.captured(2));
    else
        text += QStringLiteral("The firmware offers one, but the card is not bound to vfio-pci. Start the computer "
                               "again, or reinstall the package with\n") + Reinstall;
    return text + QStringLiteral("\nOr turn Secure Boot off in the firmware settings.");
}

} // namespace

TDriverFault CheckDriver()
{
    const bool absent = (LLTRVWDM::InPortB(DriverCheckPort) & 0xFFFF) == DriverAbsentAnswer;
    if (!LLTRVWDM::DriverLibraryLoaded())
        return TDriverFault::LibraryMissing;
    // A library without all its entry points cannot list or drive a card,
    // whatever its InPortB answers.
    if (!LLTRVWDM::DriverLibraryComplete())
        return TDriverFault::EntryPointMissing;
    switch (LLTRVWDM::GetDriverFault()) {
    case TRVWDM_FAULT_NO_ACCESS:
        return JoinedAfterLogin() ? TDriverFault::LoginBeforeGroup : TDriverFault::CardNotAccessible;
    case TRVWDM_FAULT_NOT_GRANTED:
        return TDriverFault::CardNotGranted;
    case TRVWDM_FAULT_LOCKDOWN:
        return TDriverFault::LockedDown;
    case TRVWDM_FAULT_GROUP_NOT_VIABLE:
        return TDriverFault::GroupNotViable;
    case TRVWDM_FAULT_VFIO:
        return TDriverFault::VfioRefused;
    case TRVWDM_FAULT_NOT_A_FILE:
        return TDriverFault::FileNotAFile;
    case TRVWDM_FAULT_LINK:
        return TDriverFault::FileIsLink;
    case TRVWDM_FAULT_UNUSABLE:
        return TDriverFault::FileUnusable;
    default:
        return absent ? TDriverFault::CardNotAccessible : TDriverFault::None;
    }
}

TIommuView ObserveIommu()
{
    TIommuView view;
    view.firmwareOffersIommu = QFile::exists(QStringLiteral("/sys/firmware/acpi/tables/DMAR"))
                               || QFile::exists(QStringLiteral("/sys/firmware/acpi/tables/IVRS"));
    QFile cmdline(QStringLiteral("/proc/cmdline"));
    if (cmdline.open(QIODevice::ReadOnly))
        view.kernelCommandLine = QString::fromLocal8Bit(cmdline.read(4096)).trimmed();
    return view;
}

QString DriverAdvice(TDriverFault fault, const TIommuView &iommu)
{
    switch (fault) {
    case TDriverFault::None:
        return QString();
    case TDriverFault::LibraryMissing:
        return QStringLiteral("On Linux, Setup reaches the card through its library libtrvwdm.so.1, which it could "
                              "not load. Reinstall the package with\n") + Reinstall;
    case TDriverFault::EntryPointMissing:
        return QStringLiteral("On Linux, Setup reaches the card through its library libtrvwdm.so.1, but the library "
                              "it loaded lacks some of its operations: it is not the one Setup was built with. "
                              "Remove the other libtrvwdm.so.1 from the library search path (LD_LIBRARY_PATH), or "
                              "reinstall the package with\n") + Reinstall;
    case TDriverFault::CardNotAccessible:
        return QStringLiteral("On Linux, Setup reaches the card through its sysfs resource file or its VFIO group, "
                              "which the installed package opens to the group rz4070. Add yourself to that group with\n"
                              "    sudo usermod -aG rz4070 $USER\n"
                              "then log out and log in again.");
    case TDriverFault::LoginBeforeGroup:
        return QStringLiteral("You are in the group rz4070, which may use the card, but this login began before you "
                              "joined it. Log out and log in again.");
    case TDriverFault::CardNotGranted:
        return QStringLiteral("The card's sysfs resource file or VFIO group is not open to the group rz4070: the "
                              "package's udev rule has not run for it. Unplug and plug the card in again (or start "
                              "the computer again), or run\n"
                              "    sudo udevadm trigger --action=add --subsystem-match=pci --attr-match=vendor=0x7a4c\n"
                              "    sudo udevadm trigger --action=add --subsystem-match=vfio\n"
                              "or reinstall the package with\n") + Reinstall;
    case TDriverFault::LockedDown:
        return LockdownAdvice(iommu);
    case TDriverFault::GroupNotViable:
        return QStringLiteral("The card is bound to vfio-pci, but another device in its IOMMU group is still driven "
                              "by the system, so the kernel gives the group to no program. Put the card in another "
                              "slot, or turn on the firmware's ACS or IOMMU isolation settings.");
    case TDriverFault::VfioRefused:
        return QStringLiteral("The card is bound to vfio-pci, but VFIO refused to open it. Start the computer again, "
                              "or reinstall the package with\n") + Reinstall;
    case TDriverFault::FileNotAFile:
        return QStringLiteral("Where the card's sysfs resource file should be, there is a directory, a pipe or a "
                              "device instead, which the kernel never puts there; Setup does not use it. If "
                              "TRVWDM_SYSFS is set, it names a copy of sysfs that is not right. Otherwise start the "
                              "computer again, and if it stays so, ask the computer's administrator.");
    case TDriverFault::FileIsLink:
        return QStringLiteral("The card's sysfs resource file or VFIO group node is a symbolic link, which the kernel "
                              "never makes; Setup does not follow it, so that it never drives what the link points "
                              "at. If TRVWDM_SYSFS is set, it names a copy of sysfs that is not right. Otherwise start "
                              "the computer again, and if it stays so, ask the computer's administrator.");
    case TDriverFault::FileUnusable:
        return QStringLiteral("The kernel refused to open the card's sysfs resource file or VFIO group node, for "
                              "another reason than permission: the card may be failing or going away. Start the "
                              "computer again; if it stays so, try the card in another slot.");
    }
    return QString();
}

QString PortErrorText(int error)
{
    if (error == EBUSY)
        return QStringLiteral("Another program drives the card now, so the calibration stopped. One program drives "
                              "a card at a time: close the other one, then calibrate again.");
    const QString reason = QStringLiteral("The card refused Setup's access (%1), so the calibration stopped rather "
                                          "than go on with settings and readings that are not the card's.")
                               .arg(qt_error_string(error));
    const int fault = LLTRVWDM::GetDriverFault();
    return fault == TRVWDM_FAULT_LOCKDOWN ? reason + QStringLiteral("\n\n") + DriverAdvice(TDriverFault::LockedDown) : reason;
}
