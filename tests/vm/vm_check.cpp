// Runs inside the test VM as root, drops to the user its role names, and
// checks the card's I/O ports through the package's hardware library,
// loaded as the program loads it, and the program's start-up check. The
// "card" is QEMU's pci-testdev behind a sysfs mirror that names it a
// PCI-RZ4070; its I/O BAR behaves as TestDevice below models it.
// Roles: "member" of group rz4070 drives the card (and runs a "second"
// program beside itself, which must find the card busy); "outsider" is
// refused; "stale" is the member in a login that began before joining;
// "ungranted" is a member before the package's rule has run;
// "lockdown" is a member under a locked-down kernel with no IOMMU, whose
// writes the kernel refuses.
// Prints one line PASS or FAIL per check; exits non-zero on a failure.
// Usage: vm_check member|outsider|stale|ungranted|lockdown SYSFS_MIRROR BAR_START
#include "DriverCheck.h"
#include "InstalledCards.h"
#include "LLTRVWDM.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QString>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <grp.h>
#include <pwd.h>
#include <sys/wait.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

int Failures = 0;

void Check(bool ok, const std::string &what)
{
    std::printf("%s: %s\n", ok ? "PASS" : "FAIL", what.c_str());
    std::fflush(stdout);
    Failures += ok ? 0 : 1;
}

std::string Hex(uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", value);
    return text;
}

// QEMU's pci-testdev as its I/O BAR answers byte accesses; an aligned word
// access is two byte accesses, low byte first. A word at an odd port is
// refused on the sysfs path (reads 0, writes nothing); VFIO splits it into
// its two bytes. A byte written at offset 0 below
// 3 selects port test 3 + byte and zeroes its count; reads then give that
// test's header: test number, width 1, offset 128 + test, data, a 32-bit
// count, its name, and zeros from the name's terminating zero on. At test
// 3's offset (no eventfd) a byte write of its data byte 0xFA counts.
struct TestDevice {
    int test = -1;
    uint32_t count = 0;

    std::string Name() const
    {
        static const char *const names[] = {"portio-no-eventfd", "portio-wildcard-eventfd", "portio-datamatch-eventfd"};
        return names[test - 3];
    }
    std::vector<uint8_t> Header() const
    {
        std::vector<uint8_t> h(16, 0);
        h[0] = uint8_t(test);
        h[1] = 1;
        h[4] = uint8_t(128 + test);
        h[8] = test == 4 ? 0xCE : 0xFA;
        for (int k = 0; k < 4; ++k)
            h[12 + k] = uint8_t(count >> (8 * k));
        for (char c : Name())
            h.push_back(uint8_t(c));
        h.push_back(0);
        return h;
    }
    uint8_t Read(uint32_t offset) const
    {
        if (test < 0)
            return 0;
        const std::vector<uint8_t> h = Header();
        return offset + 1 >= h.size() ? 0 : h[offset];
    }
    void Write(uint32_t offset, uint8_t value)
    {
        if (offset == 0) {
            test = value < 3 ? 3 + value : -1;
            count = 0;
        } else if (test == 3 && offset == 131 && value == 0xFA) {
            ++count;
        }
    }
};

// Whether this boot drives the card through VFIO.
bool OnVfioPath()
{
    QFile cmdline(QStringLiteral("/proc/cmdline"));
    if (!cmdline.open(QIODevice::ReadOnly))
        return false;
    const QByteArray line = cmdline.readAll();
    return line.contains("rz4070.boot=vfio") || line.contains("rz4070.boot=bridge")
        || line.contains("rz4070.boot=amd");
}

// Every byte and every word of the BAR reads as the model says.
bool ReadsMatch(uint32_t base, const TestDevice &model, std::string *where)
{
    for (uint32_t o = 0; o < 256; ++o) {
        const uint32_t expected = model.Read(o);
        const uint32_t got = LLTRVWDM::InPortB(base + o);
        if (got != expected) {
            *where = "byte at +" + Hex(o) + " read " + Hex(got) + ", expected " + Hex(expected);
            return false;
        }
    }
    for (uint32_t o = 0; o < 255; ++o) {
        const uint32_t expected = o % 2 && !OnVfioPath() ? 0 : model.Read(o) | uint32_t(model.Read(o + 1)) << 8;
        const uint32_t got = LLTRVWDM::InPort(base + o);
        if (got != expected) {
            *where = "word at +" + Hex(o) + " read " + Hex(got) + ", expected " + Hex(expected);
            return false;
        }
    }
    return true;
}

void MemberChecks(uint32_t base)
{
    const TDriverFault fault = CheckDriver();
    Check(fault == TDriverFault::None, "member: the start-up check finds nothing wrong (" + std::to_string(int(fault)) +
                                           ", library fault " + std::to_string(LLTRVWDM::GetDriverFault()) + ")");
    Check(LLTRVWDM::GetNumCards() == 1, "member: the library lists one card");
    uint32_t device = 0, listedBase = 0;
    const bool listed = LLTRVWDM::QueryCardInfo(0, &device, &listedBase);
    Check(listed && device == 0x6D21 && listedBase == base,
          "member: the card is a PCI-RZ4070 at the BAR's start " + Hex(base) + " (listed " + Hex(listedBase) + ")");

    TestDevice model;
    std::string where;
    for (uint32_t test = 0; test < 3; ++test) {
        LLTRVWDM::OutPortB(base, test);
        model.Write(0, uint8_t(test));
        Check(ReadsMatch(base, model, &where),
              "member: after byte " + std::to_string(test) + " at +0, all 256 bytes and 255 words read as the device defines " + where);
    }
    std::string name;
    for (uint32_t o = 16; LLTRVWDM::InPortB(base + o) != 0 && o < 64; ++o)
        name += char(LLTRVWDM::InPortB(base + o));
    Check(LLTRVWDM::InPortB(base) == 5 && name == "portio-datamatch-eventfd",
          "member: +0 reads the test selected (5), +16 on its name (\"" + name + "\")");

    // A word write is two bytes, low first, at the port and the next one.
    LLTRVWDM::OutPort(base, 0x0300);
    model.Write(0, 0x00);
    model.Write(1, 0x03);
    for (uint32_t value : {0xFA, 0xFA, 0x55, 0xFA, 0xFA, 0xFA}) {
        LLTRVWDM::OutPortB(base + 131, value);
        model.Write(131, uint8_t(value));
    }
    LLTRVWDM::OutPort(base + 130, 0xFA34); // bytes 0x34 at 130 and 0xFA at 131: one count
    model.Write(130, 0x34);
    model.Write(131, 0xFA);
    LLTRVWDM::OutPort(base + 132, 0xFAFA); // bytes at 132 and 133: none
    model.Write(132, 0xFA);
    model.Write(133, 0xFA);
    where.clear();
    bool match = ReadsMatch(base, model, &where);
    const uint32_t count = LLTRVWDM::InPort(base + 12);
    Check(match && count == 6, "member: word writes select a test, byte and word writes count (" +
                                   std::to_string(count) + " of 6) " + where);

    // Beyond the BAR nothing is read or written.
    Check(LLTRVWDM::InPortB(base + 256) == 0xFF && LLTRVWDM::InPort(base + 255) == 0xFFFF &&
              LLTRVWDM::InPort(base - 1) == 0xFFFF,
          "member: accesses beyond the BAR are refused");
    LLTRVWDM::OutPort(base + 255, 0x0000);
    LLTRVWDM::OutPortB(base + 256, 0x00);
    where.clear();
    match = ReadsMatch(base, model, &where);
    Check(match, "member: writes beyond the BAR change nothing " + where);
    const int error = LLTRVWDM::TakePortError();
    Check(error == 0, "member: no access on the card failed (" + std::to_string(error) + ")");
}

// The true length of the I/O BAR file at `base`: the size of the resource
// file whose line in the mirror's table starts there.
uint32_t FileLength(const char *mirror, uint32_t base)
{
    QDirIterator devices(QString::fromLocal8Bit(mirror) + QStringLiteral("/bus/pci/devices"), QDir::Dirs | QDir::NoDotAndDotDot);
    while (devices.hasNext()) {
        const QString device = devices.next();
        QFile table(device + QStringLiteral("/resource"));
        if (!table.open(QIODevice::ReadOnly))
            continue;
        const QList<QByteArray> lines = table.readAll().split('\n');
        for (qsizetype index = 0; index < lines.size(); ++index)
            if (lines[index].split(' ').value(0).toULongLong(nullptr, 16) == base && base != 0)
                return uint32_t(QFileInfo(device + QStringLiteral("/resource") + QString::number(index)).size());
    }
    return 0;
}

// The mirror's table makes the BAR twice as long as the kernel's file, so
// the kernel cuts accesses at the file's end short (a word at its last
// port moves one byte, a byte past it none): each must fail as an I/O
// error, never hand back bytes that were not read or pass a half write as
// done.
void ShortChecks(uint32_t base, uint32_t length)
{
    Check(LLTRVWDM::GetNumCards() == 1 && length >= 16, "short: the library lists the card (a file of " +
                                                            std::to_string(length) + " ports)");
    LLTRVWDM::TakePortError();
    const uint32_t word = LLTRVWDM::InPort(base + length - 1);
    const int wordError = LLTRVWDM::TakePortError();
    const uint32_t byte = LLTRVWDM::InPortB(base + length);
    const int byteError = LLTRVWDM::TakePortError();
    Check(word == 0xFFFF && wordError == EIO && byte == 0xFF && byteError == EIO,
          "short: reads cut short fail as I/O errors (word " + Hex(word) + ", " + std::to_string(wordError) + "; byte " +
              Hex(byte) + ", " + std::to_string(byteError) + ")");
    LLTRVWDM::OutPort(base + length - 1, 0x0000);
    const int writeError = LLTRVWDM::TakePortError();
    Check(writeError == EIO, "short: a write cut short fails as an I/O error (" + std::to_string(writeError) + ")");
}

// Runs this program again in `role` beside this one; whether it passed.
bool RunBeside(const std::string &role, const char *mirror, const char *bar)
{
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
        execl("/proc/self/exe", "vm_check", role.c_str(), mirror, bar, static_cast<char *>(nullptr));
        _exit(127);
    }
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// A second program while the member's holds the card: it is listed, as
// busy, and nothing is read from it or written to it.
void SecondChecks(uint32_t base)
{
    Check(LLTRVWDM::GetNumCards() == 1 && LLTRVWDM::IsCardBusy(0), "second: the card is listed as busy");
    const std::vector<TListedCard> cards = ListedCards();
    Check(cards.size() == 1 && cards[0].busy && cards[0].Text().endsWith(QStringLiteral("In use by another program")),
          "second: Setup's list says it is in use by another program");
    LLTRVWDM::TakePortError();
    LLTRVWDM::OutPortB(base, 0);
    const bool refused = LLTRVWDM::TakePortError() == EBUSY;
    Check(refused && LLTRVWDM::InPortB(base) == 0xFF && LLTRVWDM::TakePortError() == EBUSY,
          "second: its writes and reads are refused as busy");
}

// Two cards in one IOMMU group: this program drives both, each answering
// for itself, and a second program beside it finds both busy.
void PairChecks(const char *mirror)
{
    const TDriverFault fault = CheckDriver();
    Check(fault == TDriverFault::None, "pair: the start-up check finds nothing wrong (" + std::to_string(int(fault)) +
                                           ", library fault " + std::to_string(LLTRVWDM::GetDriverFault()) + ")");
    Check(LLTRVWDM::GetNumCards() == 2, "pair: the library lists both cards");
    for (int32_t k = 0; k < 2; ++k) {
        uint32_t device = 0, base = 0;
        const bool listed = LLTRVWDM::QueryCardInfo(k, &device, &base);
        LLTRVWDM::OutPortB(base, uint32_t(k)); // selects test 3 + k on this card only
        Check(listed && !LLTRVWDM::IsCardBusy(k) && LLTRVWDM::InPortB(base) == uint32_t(3 + k),
              "pair: card " + std::to_string(k) + " at " + Hex(base) + " is driven by this program");
    }
    Check(RunBeside("pair-second", mirror, "0"), "pair: a second program beside it passes its checks");
    Check(LLTRVWDM::TakePortError() == 0, "pair: no access on either card failed");
}

void PairSecondChecks()
{
    Check(LLTRVWDM::GetNumCards() == 2 && LLTRVWDM::IsCardBusy(0) && LLTRVWDM::IsCardBusy(1),
          "pair-second: both cards are listed as busy");
}

// Locked down, with the card on vfio-pci in a group that a driven device
// shares: the start-up check names the cause and the remedies.
void NotViableChecks()
{
    const TDriverFault fault = CheckDriver();
    Check(fault == TDriverFault::GroupNotViable, "not-viable: the start-up check finds the shared group (" +
                                                     std::to_string(int(fault)) + ")");
    Check(DriverAdvice(fault).contains(QStringLiteral("another slot")) && DriverAdvice(fault).contains(QStringLiteral("ACS")),
          "not-viable: the advice is another slot, or the firmware's ACS setting");
}

// Under lockdown with no IOMMU: the card is found, reads work, the kernel
// refuses every write and the library says so; Setup's check names the
// cause and the IOMMU remedy.
void LockdownChecks(uint32_t base)
{
    const TDriverFault fault = CheckDriver();
    Check(fault == TDriverFault::LockedDown, "lockdown: the start-up check finds the kernel locked down");
    Check(DriverAdvice(fault).contains(QStringLiteral("Enable VT-d")) && DriverAdvice(fault).contains(QStringLiteral("Secure Boot")),
          "lockdown: the advice is to enable the IOMMU in the firmware, or Secure Boot off");
    Check(LLTRVWDM::GetNumCards() == 1, "lockdown: the library lists the card");
    LLTRVWDM::TakePortError();
    LLTRVWDM::OutPortB(base, 1);
    const int error = LLTRVWDM::TakePortError();
    Check(error == EPERM, "lockdown: the refused write is reported as EPERM (" + std::to_string(error) + ")");
    const uint32_t read = LLTRVWDM::InPortB(base);
    Check(read == 0 && LLTRVWDM::TakePortError() == 0, "lockdown: a read still works and selects nothing (" + Hex(read) + ")");
}

// Before the package's rule has run: the file is root's alone. The advice
// goes to /tmp/advice, for the init to run the commands as printed.
void UngrantedChecks()
{
    const TDriverFault fault = CheckDriver();
    const QString advice = DriverAdvice(fault);
    Check(fault == TDriverFault::CardNotGranted && advice.contains(QStringLiteral("sudo udevadm trigger --action=add --subsystem-match=pci")),
          "ungranted: the start-up check says the rule has not run, and how to run it");
    QFile file(QStringLiteral("/tmp/advice"));
    Check(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(advice.toUtf8()) == advice.toUtf8().size() && file.flush(),
          "ungranted: the advice is kept for the init to follow");
}

void OutsiderChecks(uint32_t base)
{
    const TDriverFault fault = CheckDriver();
    Check(fault == TDriverFault::CardNotAccessible, "outsider: the start-up check finds the card not accessible");
    Check((LLTRVWDM::InPortB(0x61) & 0xFFFF) == 0xAA55 && (LLTRVWDM::InPortB(base) & 0xFFFF) == 0xAA55,
          "outsider: the library answers 0xAA55");
    Check(DriverAdvice(fault).contains(QStringLiteral("sudo usermod -aG rz4070 $USER")),
          "outsider: the advice is to join the group rz4070");
    Check(LLTRVWDM::GetNumCards() == 0, "outsider: no card is listed");
}

// Becomes `user` with the groups a login gives now, or (`staleLogin`) with
// those of a login that began before the user joined any group.
bool BecomeUser(const char *user, bool staleLogin)
{
    const passwd *pw = getpwnam(user);
    if (!pw)
        return false;
    const gid_t primary = pw->pw_gid;
    const bool grouped = staleLogin ? setgroups(1, &primary) == 0 : initgroups(user, primary) == 0;
    return grouped && setgid(primary) == 0 && setuid(pw->pw_uid) == 0 && geteuid() == pw->pw_uid && setuid(0) != 0;
}

bool InGroup(const char *name)
{
    const group *gr = getgrnam(name);
    gid_t groups[64];
    const int n = gr ? getgroups(64, groups) : -1;
    for (int k = 0; k < n; ++k)
        if (groups[k] == gr->gr_gid)
            return true;
    return false;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: vm_check ROLE SYSFS_MIRROR BAR_START\n");
        return 2;
    }
    const std::string role = argv[1];
    const uint32_t base = uint32_t(std::strtoul(argv[3], nullptr, 0));
    // The second program runs as the member who started it.
    const char *user = role == "outsider" ? "outsider" : "member";
    if (role != "second" && role != "pair-second" && !BecomeUser(user, role == "stale")) {
        Check(false, role + ": becomes an unprivileged user");
        return 1;
    }
    const bool member = role != "outsider" && role != "stale";
    if (role != "ungranted")
        Check(InGroup("rz4070") == member, role + ": in group rz4070 is " + (member ? "true" : "false"));
    setenv("TRVWDM_SYSFS", argv[2], 1);
    QCoreApplication application(argc, argv);
    if (role == "member") {
        MemberChecks(base);
        Check(RunBeside("second", argv[2], argv[3]), "member: a second program beside it passes its checks");
        TestDevice model;
        LLTRVWDM::OutPortB(base, 1);
        model.Write(0, 1);
        std::string where;
        Check(ReadsMatch(base, model, &where) && LLTRVWDM::TakePortError() == 0,
              "member: still drives the card after the second program " + where);
    } else if (role == "second") {
        SecondChecks(base);
    } else if (role == "not-viable") {
        NotViableChecks();
    } else if (role == "pair") {
        PairChecks(argv[2]);
    } else if (role == "pair-second") {
        PairSecondChecks();
    } else if (role == "outsider") {
        OutsiderChecks(base);
    } else if (role == "stale") {
        const TDriverFault fault = CheckDriver();
        Check(fault == TDriverFault::LoginBeforeGroup && DriverAdvice(fault).contains(QStringLiteral("Log out and log in again")),
              "stale: a member whose login predates joining is told to log out and in");
    } else if (role == "ungranted") {
        UngrantedChecks();
    } else if (role == "short") {
        ShortChecks(base, FileLength(argv[2], base));
    } else if (role == "lockdown") {
        LockdownChecks(base);
    } else {
        Check(false, "a known role: " + role);
    }
    return Failures == 0 ? 0 : 1;
}
