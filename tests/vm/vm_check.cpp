// Runs inside the test VM as root, drops to the user named on its command
// line, and checks the card's I/O ports through the package's hardware
// library, loaded as the program loads it, and the program's start-up
// check. The "card" is QEMU's pci-testdev behind a sysfs mirror that names
// it a PCI-RZ4070; its I/O BAR behaves as TestDevice below models it.
// Prints one line PASS or FAIL per check; exits non-zero on a failure.
// Usage: vm_check member|outsider SYSFS_MIRROR BAR_START
#include "DriverCheck.h"
#include "LLTRVWDM.h"

#include <QCoreApplication>
#include <QString>
#include <cstdio>
#include <cstdlib>
#include <grp.h>
#include <pwd.h>
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
// access is two byte accesses, low byte first, and the machine refuses a
// word at an odd port (reads 0, writes nothing). A byte written at offset 0 below
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
        const uint32_t expected = o % 2 ? 0 : model.Read(o) | uint32_t(model.Read(o + 1)) << 8;
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
    Check(CheckDriver() == TDriverFault::None, "member: the start-up check finds nothing wrong");
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

bool BecomeUser(const char *user)
{
    const passwd *pw = getpwnam(user);
    return pw && initgroups(user, pw->pw_gid) == 0 && setgid(pw->pw_gid) == 0 && setuid(pw->pw_uid) == 0 &&
           geteuid() == pw->pw_uid && setuid(0) != 0;
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
        std::fprintf(stderr, "usage: vm_check member|outsider SYSFS_MIRROR BAR_START\n");
        return 2;
    }
    const std::string who = argv[1];
    const uint32_t base = uint32_t(std::strtoul(argv[3], nullptr, 0));
    if (!BecomeUser(who.c_str())) {
        Check(false, who + ": becomes an unprivileged user");
        return 1;
    }
    Check(InGroup("rz4070") == (who == "member"), who + ": in group rz4070 is " + (who == "member" ? "true" : "false"));
    setenv("TRVWDM_SYSFS", argv[2], 1);
    QCoreApplication application(argc, argv);
    if (who == "member")
        MemberChecks(base);
    else
        OutsiderChecks(base);
    return Failures == 0 ? 0 : 1;
}
