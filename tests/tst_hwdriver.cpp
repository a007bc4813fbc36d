// The hardware library against fake sysfs trees: which cards it drives,
// port access through the cards' resource files at the right offsets and
// widths, the "driver not loaded" answer when a card's file cannot be
// opened, hostile sysfs files, and Setup started against it. The library
// reads its tree once per process, so each tree that the C entry points
// must see is given to a child run of this program.
#include "Parts.h"
#include "CardIO.h"
#include "DriverCheck.h"
#include "LayoutStyle.h"
#include "LLTRVWDM.h"
#include "ModalBoxes.h"
#include "RunWizard.h"
#include "ShownMainForm.h"
#include "Support.h"
#include "ThreadClock.h"
#include "Wait.h"
#include "template.h"
#include "trvwdm/hw/CardPorts.h"
#include "trvwdm/hw/PciCards.h"
#include "trvwdm/trvwdm.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <cerrno>
#include <csignal>
#include <functional>
#include <optional>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace trvhw;

namespace {

const QByteArray IoBar = "0x00000000fe000000 0x00000000fe0000ff 0x0000000000040200\n"
                         "0x000000000000e800 0x000000000000e81f 0x0000000000040101\n";

QByteArray IoBarAt(uint32_t start, uint32_t end)
{
    return QStringLiteral("0x%1 0x%2 0x0000000000040101\n").arg(start, 16, 16, QChar(u'0')).arg(end, 16, 16, QChar(u'0')).toLatin1();
}

struct FakeSysfs {
    QTemporaryDir dir;
    QString devicePath(const QString &address) const { return dir.path() + "/bus/pci/devices/" + address; }
    void device(const QString &address, const QByteArray &vendor, const QByteArray &device, const QByteArray &resource)
    {
        QDir().mkpath(devicePath(address));
        auto write = [&](const char *name, const QByteArray &text) {
            if (text.isNull())
                return;
            QFile f(devicePath(address) + "/" + name);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(text);
        };
        write("vendor", vendor);
        write("device", device);
        write("resource", resource);
    }
    // The I/O BAR's file: a regular file of the BAR's size, as zeros.
    QString registers(const QString &address, int index = 1, int size = 0x20)
    {
        const QString path = devicePath(address) + "/resource" + QString::number(index);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || !f.write(QByteArray(size, '\0')))
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }
    // A card of the maker at E800 with its resource file.
    QString card(const QString &address = QStringLiteral("0000:03:00.0"))
    {
        device(address, "0x7a4c\n", "0x6d21\n", IoBar);
        return registers(address);
    }
    std::string root() const { return dir.path().toStdString(); }
    std::vector<PciCard> cards() const { return EnumerateCards(root()); }
};

QByteArray FileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

uint16_t WordAt(const QByteArray &bytes, int offset)
{
    return uint16_t(uint8_t(bytes[offset]) | uint8_t(bytes[offset + 1]) << 8);
}

// Runs one test function of this program in a child whose library sees the
// tree at `sysfs`; the child's failures fail the caller.
bool RunChild(const char *function, const QString &sysfs)
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TRVWDM_SYSFS"), sysfs);
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.start(QCoreApplication::applicationFilePath(), {QLatin1String(function)});
    return child.waitForFinished(120000) && child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0;
}

bool InChild()
{
    return qEnvironmentVariableIsSet("TRVWDM_SYSFS");
}

} // namespace

class TestHwDriver : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        UseLayoutLook();
        QApplication::setQuitOnLastWindowClosed(false);
    }

    void onlyTheMakersTwoCardsInAddressOrder()
    {
        FakeSysfs sys;
        sys.device("0000:00:1f.0", "0x8086\n", "0x2918\n", IoBar);
        QVERIFY(sys.cards().empty());
        QVERIFY(EnumerateCards("/nonexistent/sysfs").empty());

        sys.device("0000:05:01.0", "0x7a4c\n", "0x6d22\n", IoBarAt(0xD000, 0xD01F));
        sys.device("0000:03:00.0", "0x7a4c\n", "0x6d21\n", IoBar);
        sys.device("0000:04:00.0", "0x7a4c\n", "0x1234\n", IoBarAt(0xC000, 0xC00F)); // another kind
        const std::vector<PciCard> cards = sys.cards();
        QCOMPARE(cards.size(), size_t(2));
        QCOMPARE(QString::fromStdString(cards[0].address), QStringLiteral("0000:03:00.0"));
        QCOMPARE(cards[0].deviceId, 0x6D21u);
        QCOMPARE(cards[0].ioBase, 0xE800u);
        QCOMPARE(cards[0].ioSize, 0x20u);
        QCOMPARE(cards[0].resourceIndex, 1);
        QCOMPARE(QString::fromStdString(ResourcePath(sys.root(), cards[0])),
                 sys.devicePath("0000:03:00.0") + "/resource1");
        QCOMPARE(cards[1].deviceId, 0x6D22u);
        QCOMPARE(cards[1].ioBase, 0xD000u);
    }

    void hostileSysfsFilesAreSkippedWithoutHanging()
    {
        FakeSysfs sys;
        sys.device("0000:01:00.0", "0x7a4c\n", "0x6d21\n", "0x00000000fe000000 0x00000000fe0000ff 0x0000000000040200\n");
        sys.device("0000:02:00.0", "0x7a4c\n", "garbage\n", IoBar);
        sys.device("0000:03:00.0", "0x7a4c\n", "0x6d21\n", "not a resource line\n");
        sys.device("0000:04:00.0", "0x7a4c\n", QByteArray(), IoBar);
        sys.device("0000:05:00.0", QByteArray(100000, 'f'), "0x6d21\n", IoBar);
        sys.device("0000:06:00.0", "0x7a4c\n", "0x6d21\n", IoBarAt(0xFF000, 0xFF0FF)); // past port 0xFFFF
        sys.device("0000:07:00.0", "0x7a4c\n", "0x6d21\n", IoBarAt(0xE81F, 0xE800)); // end before start
        sys.device("0000:08:00.0", "0x7a4c\n", "0x6d21\n", IoBarAt(0xE800, 0xE807)); // 8 ports
        sys.device("0000:09:00.0", "0x7a4c\n", "0x6d21\n", IoBarAt(0x0001, 0xFFFF)); // 65,535 ports
        sys.device("0000:0a:00.0", "0x7a4c\n", "0x6d21\n", IoBarAt(0xE800, 0xE7FF)); // size 0
        // A FIFO and a 1 GiB sparse file as `vendor`.
        QDir().mkpath(sys.devicePath("0000:0b:00.0"));
        QCOMPARE(mkfifo(QFile::encodeName(sys.devicePath("0000:0b:00.0") + "/vendor").constData(), 0600), 0);
        sys.device("0000:0b:00.0", QByteArray(), "0x6d21\n", IoBar);
        sys.device("0000:0c:00.0", QByteArray(), "0x6d21\n", IoBar);
        {
            QFile huge(sys.devicePath("0000:0c:00.0") + "/vendor");
            QVERIFY(huge.open(QIODevice::WriteOnly) && huge.write("0x7a4c\n") && huge.resize(qint64(1) << 30));
        }
        sys.device("0000:0d:00.0", "0x7a4c\n", "0x6d21\n", IoBar); // the one good card
        const TThreadClock clock;
        const std::vector<PciCard> cards = sys.cards();
        // Reading the 1 GiB file whole costs seconds of CPU, even sparse.
        QVERIFY2(clock.CpuUsed() < 0.5, "enumeration must not read whole files");
        QCOMPARE(cards.size(), size_t(1));
        QCOMPARE(QString::fromStdString(cards[0].address), QStringLiteral("0000:0d:00.0"));
    }

    void portsOnTheResourceFileAtTheirOffsets()
    {
        FakeSysfs sys;
        const QString file = sys.card();
        CardPorts ports;
        QVERIFY(ports.Open(sys.root(), "/dev", sys.cards()));
        ports.Out8(0xE804, 0x1148); // low byte only
        ports.Out16(0xE80C, 0xBEEF);
        ports.Out16(0xE81E, 0x1234); // the last word of the BAR
        QCOMPARE(ports.In8(0xE804), 0x48u);
        QCOMPARE(ports.In16(0xE80C), 0xBEEFu);
        const QByteArray bytes = FileBytes(file);
        QCOMPARE(bytes.size(), 0x20);
        QCOMPARE(uint8_t(bytes[4]), uint8_t(0x48));
        QCOMPARE(uint8_t(bytes[5]), uint8_t(0)); // an 8-bit write is one byte wide
        QCOMPARE(WordAt(bytes, 12), uint16_t(0xBEEF));
        QCOMPARE(WordAt(bytes, 30), uint16_t(0x1234));

        // Outside the BAR, straddling its end, and wrapping past 2^32: refused.
        QCOMPARE(ports.In16(0xE81F), 0xFFFFu);
        QCOMPARE(ports.In8(0xE820), 0xFFu);
        QCOMPARE(ports.In8(0x61), 0xFFu);
        QCOMPARE(ports.In16(0xFFFFFFFE), 0xFFFFu);
        QCOMPARE(ports.In16(0xFFFFFFFF), 0xFFFFu);
        ports.Out16(0xE81F, 0xAAAA);
        ports.Out16(0xFFFFFFFF, 0xAAAA);
        ports.Out8(0xE7FF, 0xAA);
        QCOMPARE(FileBytes(file), bytes);
        QVERIFY(!ports.CardAt(0xFFFFFFFF, 16));
    }

    void aCardWhoseFileCannotBeOpenedIsNotDriven()
    {
        FakeSysfs sys;
        sys.card("0000:03:00.0");
        sys.device("0000:04:00.0", "0x7a4c\n", "0x6d22\n", IoBarAt(0xD000, 0xD01F)); // no resource0
        sys.device("0000:05:00.0", "0x7a4c\n", "0x6d22\n", IoBarAt(0xC000, 0xC01F));
        QDir().mkpath(sys.devicePath("0000:05:00.0") + "/resource0"); // not a file
        CardPorts ports;
        QVERIFY(!ports.Open(sys.root(), "/dev", sys.cards()));
        QCOMPARE(ports.Cards().size(), size_t(1));
        QCOMPARE(ports.Cards()[0].ioBase, 0xE800u);
        QCOMPARE(ports.In8(0xD000), 0xFFu);
        QCOMPARE(ports.Fault(), TRVWDM_FAULT_NOT_A_FILE); // the missing file is a card gone, no fault
    }

    // One program drives a card at a time: a second opener keeps the card
    // listed as busy and touches nothing on it. A write or read that the
    // system refuses is an error the program takes, once; the lock goes
    // with the first opener.
    void busyCardsAndRefusedAccessesAreReported()
    {
        FakeSysfs sys;
        const QString file = sys.card();
        {
            CardPorts first, second;
            QVERIFY(first.Open(sys.root(), "/dev", sys.cards()));
            QVERIFY(second.Open(sys.root(), "/dev", sys.cards()));
            QCOMPARE(second.Cards().size(), size_t(1));
            QVERIFY(second.Busy(0) && !first.Busy(0));
            second.Out8(0xE804, 0x48);
            QCOMPARE(second.In8(0xE804), 0xFFu);
            QCOMPARE(second.TakeError(), EBUSY);
            QCOMPARE(FileBytes(file), QByteArray(0x20, '\0'));

            // A zero file size limit refuses every write to a regular file,
            // as a locked-down kernel refuses them to a resource file.
            rlimit old {};
            QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
            rlimit none = old;
            none.rlim_cur = 0;
            const auto handler = signal(SIGXFSZ, SIG_IGN);
            QCOMPARE(setrlimit(RLIMIT_FSIZE, &none), 0);
            first.Out16(0xE80C, 0xBEEF);
            first.Out8(0xE804, 0x48);
            const int refused = first.TakeError();
            setrlimit(RLIMIT_FSIZE, &old);
            signal(SIGXFSZ, handler);
            QCOMPARE(refused, EFBIG);
            QCOMPARE(first.TakeError(), 0);
            QCOMPARE(first.In16(0xE80C), 0u);
            QCOMPARE(first.TakeError(), 0);
            QVERIFY(QFile::resize(file, 4)); // a read beyond what the file holds
            QCOMPARE(first.In16(0xE80C), 0xFFFFu);
            QCOMPARE(first.TakeError(), EIO);
        }
        std::optional<CardPorts> third(std::in_place);
        QVERIFY(third->Open(sys.root(), "/dev", sys.cards()));
        QVERIFY(!third->Busy(0));
        // A program that found the card busy asks again, and takes it once
        // the other has let it go.
        CardPorts fourth;
        QVERIFY(fourth.Open(sys.root(), "/dev", sys.cards()));
        QVERIFY(fourth.Busy(0) && fourth.BusyNow(0));
        third.reset();
        QVERIFY(!fourth.BusyNow(0));
        fourth.Out8(0xE804, 0x48);
        QCOMPARE(fourth.TakeError(), 0);
        QCOMPARE(FileBytes(file).at(4), '\x48');
    }

    // Why a card cannot be driven, as the start-up check needs it: the
    // kernel locked down (the card stays listed, reads work), VFIO without
    // an IOMMU group, a file never given to the card group, something else
    // in the file's place; each cause has advice of its own.
    void faultsNameTheirCause()
    {
        FakeSysfs sys;
        sys.card();
        QDir().mkpath(sys.dir.path() + "/kernel/security");
        for (const char *lockdown : {"none [integrity] confidentiality\n", "none integrity [confidentiality]\n",
                                     "[none] integrity confidentiality\n"}) {
            QFile f(sys.dir.path() + "/kernel/security/lockdown");
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(lockdown));
            f.close();
            CardPorts ports;
            QVERIFY(ports.Open(sys.root(), "/dev", sys.cards()));
            QCOMPARE(ports.Cards().size(), size_t(1));
            QCOMPARE(ports.Fault(), QByteArray(lockdown).startsWith("[none]") ? TRVWDM_FAULT_NONE : TRVWDM_FAULT_LOCKDOWN);
        }

        FakeSysfs vfio;
        vfio.card();
        QVERIFY(QFile::link(QStringLiteral("../../../bus/pci/drivers/vfio-pci"), vfio.devicePath("0000:03:00.0") + "/driver"));
        QCOMPARE(QString::fromStdString(vfio.cards()[0].driver), QStringLiteral("vfio-pci"));
        QCOMPARE(vfio.cards()[0].iommuGroup, -1);
        CardPorts bound;
        QVERIFY(!bound.Open(vfio.root(), "/dev", vfio.cards()));
        QVERIFY(bound.Cards().empty());
        QCOMPARE(bound.Fault(), TRVWDM_FAULT_VFIO);

        if (geteuid() != 0) { // root opens any file whatever its mode
            FakeSysfs closed;
            QVERIFY(QFile::setPermissions(closed.card(), QFile::ReadOwner));
            CardPorts refused;
            QVERIFY(!refused.Open(closed.root(), "/dev", closed.cards()));
            QCOMPARE(refused.Fault(), TRVWDM_FAULT_NOT_GRANTED);
        }

        auto replaced = [](const std::function<bool(const QString &)> &put) {
            FakeSysfs odd;
            const QString file = odd.card();
            QFile::remove(file);
            if (!put(file))
                return -1;
            CardPorts ports;
            return ports.Open(odd.root(), "/dev", odd.cards()) ? TRVWDM_FAULT_NONE : ports.Fault();
        };
        QCOMPARE(replaced([](const QString &f) { return mkfifo(QFile::encodeName(f).constData(), 0600) == 0; }), TRVWDM_FAULT_NOT_A_FILE);
        QCOMPARE(replaced([](const QString &f) { return QDir().mkdir(f); }), TRVWDM_FAULT_NOT_A_FILE);
        QCOMPARE(replaced([](const QString &f) { return QFile::link(f, f); }), TRVWDM_FAULT_LINK); // a loop
        QCOMPARE(replaced([](const QString &f) { return QFile::link(QStringLiteral("/dev/null"), f); }), TRVWDM_FAULT_LINK);
        QSet<QString> advice;
        for (TDriverFault f : {TDriverFault::CardNotAccessible, TDriverFault::CardNotGranted, TDriverFault::FileNotAFile,
                               TDriverFault::FileIsLink, TDriverFault::FileUnusable})
            advice.insert(DriverAdvice(f));
        QCOMPARE(advice.size(), 5);
    }

    // Setup's calibration writes land on the card's file: the control byte
    // 0x48 at +4, select codes at +2, DAC codes at +12 and +14; reads come
    // back from it.
    void setupDrivesTheCardThroughItsFile()
    {
        if (InChild())
            return CalibrateThroughTheLibrary();
        FakeSysfs sys;
        const QString file = sys.card();
        {
            QFile f(file);
            QVERIFY(f.open(QIODevice::ReadWrite) && f.seek(8) && f.write("\x5A\xA5", 2));
        }
        QVERIFY(RunChild("setupDrivesTheCardThroughItsFile", sys.dir.path()));
        const QByteArray bytes = FileBytes(file);
        QCOMPARE(uint8_t(bytes[4]), uint8_t(0x48));
        QCOMPARE(WordAt(bytes, 2), uint16_t(CardIO::SelectUnipolar)); // step 7 with DAC 1 at 0-2.5 V
        QCOMPARE(WordAt(bytes, 12), uint16_t(20));
        QCOMPARE(WordAt(bytes, 14), uint16_t(20));
        QCOMPARE(uint8_t(bytes[0]), uint8_t(0)); // conversion start
    }

    // A card whose resource file cannot be opened: the driver check answers
    // 0xAA55, the warning tells a Linux user what to do, no card is listed.
    void unopenableCardWarnsWithTheLinuxHint()
    {
        if (InChild())
            return WarnAndListNoCard();
        FakeSysfs sys;
        sys.device("0000:03:00.0", "0x7a4c\n", "0x6d21\n", IoBar);
        QVERIFY(RunChild("unopenableCardWarnsWithTheLinuxHint", sys.dir.path()));
        if (geteuid() != 0) { // root opens any file whatever its mode
            sys.registers("0000:03:00.0");
            QVERIFY(QFile::setPermissions(sys.devicePath("0000:03:00.0") + "/resource1", QFile::ReadOwner));
            QVERIFY(RunChild("unopenableCardWarnsWithTheLinuxHint", sys.dir.path()));
        }
    }

    // No card of the maker: no warning, "No Card Found"; the driver check
    // port reads as a byte.
    void noCardNoWarning()
    {
        if (InChild())
            return NoCardNoWarningChild();
        FakeSysfs sys;
        sys.device("0000:00:1f.0", "0x8086\n", "0x2918\n", IoBar);
        QVERIFY(RunChild("noCardNoWarning", sys.dir.path()));
    }

    // A library answering 2^31 - 1 cards does not freeze the start.
    void absurdCardCountIsCapped()
    {
        QVERIFY(LLTRVWDM::LoadDriverLibrary(QStringLiteral(MANY_CARDS_DRIVER)));
        QCOMPARE(LLTRVWDM::GetNumCards(), 0x7FFFFFFF);
        const TThreadClock clock;
        TShownMainForm shown;
        QVERIFY(WaitFor([&] { return Part<TSetupSupporter>(&shown.form, "SetSup")->HeaderLabel() != nullptr; }, 20000));
        QVERIFY2(clock.CpuUsed() < 10, "listing the cards took too long");
        QCOMPARE(Part<TSetupSupporter>(&shown.form, "SetSup")->PCIForm()->PCIMemo()->document()->blockCount(), 64 * 2);
    }

private:
    void CalibrateThroughTheLibrary()
    {
        QVERIFY(LLTRVWDM::LoadDriverLibrary(QStringLiteral(HARDWARE_DRIVER)));
        QCOMPARE(LLTRVWDM::GetNumCards(), 1);
        QCOMPARE(LLTRVWDM::InPortB(0xE808), 0x5Au);
        QCOMPARE(LLTRVWDM::InPort(0xE808), 0xA55Au);
        ModalBoxes boxes(QMessageBox::Ok);
        MainUnit.Reset();
        TMainForm form;
        QVERIFY(boxes.seen.isEmpty());
        QCOMPARE(form.SetSupGetCardString(nullptr, 0),
                 QStringLiteral("PCI-RZ4070    Analog Input/Output Card\r\nBase Address: E800"));
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        // On to DAC 0's offset step, then DAC 1's, and quit once each DAC
        // code is on the card. The A/D never completes on a plain file.
        const bool ended = RunWizard(form, [&] {
            if (MainUnit.CalibStep < 5)
                form.NextClick();
            else if (MainUnit.CalibStep == 5 && LLTRVWDM::InPort(0xE80C) == 20) {
                form.NextClick();
                form.NextClick();
            } else if (MainUnit.CalibStep == 7 && LLTRVWDM::InPort(0xE80E) == 20)
                form.QuitClick();
        });
        QVERIFY(ended);
        QCOMPARE(MainUnit.CalibStep, 10);
    }

    void WarnAndListNoCard()
    {
        QVERIFY(LLTRVWDM::LoadDriverLibrary(QStringLiteral(HARDWARE_DRIVER)));
        QCOMPARE(LLTRVWDM::InPortB(0x61) & 0xFFFF, 0xAA55u);
        ModalBoxes boxes(QMessageBox::Ok);
        TShownMainForm shown;
        QCOMPARE(boxes.seen.size(), 1);
        QCOMPARE(boxes.seen[0].caption, QStringLiteral("Warning"));
        QVERIFY(boxes.seen[0].text.startsWith(QStringLiteral("TARVIKNT.SYS not detected.")));
        QVERIFY(boxes.seen[0].informativeText.contains(QStringLiteral("sudo usermod -aG rz4070 $USER")));
        QVERIFY(boxes.seen[0].informativeText.contains(QStringLiteral("log in again")));
        QVERIFY(WaitFor([&] { return Part<TSetupSupporter>(&shown.form, "SetSup")->HeaderLabel() != nullptr; }));
        QCOMPARE(Part<TSetupSupporter>(&shown.form, "SetSup")->HeaderLabel()->text(), QStringLiteral("No PCI-RZ4070(A) Series Card Found"));
        QCOMPARE(MainUnit.BaseAddress, uint16_t(0));
    }

    void NoCardNoWarningChild()
    {
        QVERIFY(LLTRVWDM::LoadDriverLibrary(QStringLiteral(HARDWARE_DRIVER)));
        QVERIFY((LLTRVWDM::InPortB(0x61) & 0xFFFF) != 0xAA55u);
        QVERIFY(LLTRVWDM::InPortB(0x61) <= 0xFFu);
        ModalBoxes boxes(QMessageBox::Ok);
        TShownMainForm shown;
        QVERIFY(boxes.seen.isEmpty());
        QVERIFY(WaitFor([&] { return Part<TSetupSupporter>(&shown.form, "SetSup")->HeaderLabel() != nullptr; }));
        QCOMPARE(Part<TSetupSupporter>(&shown.form, "SetSup")->HeaderLabel()->text(), QStringLiteral("No PCI-RZ4070(A) Series Card Found"));
        shown.form.CalibButtonClick(); // refuses: no card
        QCOMPARE(boxes.seen.size(), 1);
    }
};

QTEST_MAIN(TestHwDriver)
#include "tst_hwdriver.moc"
