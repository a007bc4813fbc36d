// The hardware library: the cards from fake sysfs trees, port access only
// inside the granted ranges and on the granted thread, the "driver not
// loaded" answer without permission, and Setup started against it.
#include "Fonts.h"
#include "LLTRVWDM.h"
#include "ModalBoxes.h"
#include "SetupSupporter.h"
#include "Wait.h"
#include "template.h"
#include "trvwdm/hw/PciCards.h"
#include "trvwdm/hw/PortAccess.h"

#include <QLabel>
#include <QTemporaryDir>
#include <QtTest>
#include <map>
#include <thread>

using namespace trvhw;

namespace {

struct FakeSysfs {
    QTemporaryDir dir;
    void device(const QString &address, const QByteArray &vendor, const QByteArray &device, const QByteArray &resource)
    {
        const QString path = dir.path() + "/bus/pci/devices/" + address;
        QDir().mkpath(path);
        auto write = [&](const char *name, const QByteArray &text) {
            if (text.isNull())
                return;
            QFile f(path + "/" + name);
            f.open(QIODevice::WriteOnly);
            f.write(text);
        };
        write("vendor", vendor);
        write("device", device);
        write("resource", resource);
    }
    std::vector<PciCard> cards() const { return EnumerateCards(dir.path().toStdString()); }
};

const QByteArray IoBar = "0x00000000fe000000 0x00000000fe0000ff 0x0000000000040200\n"
                         "0x000000000000e800 0x000000000000e81f 0x0000000000040101\n";

// Records the ports the access layer asks for and touches.
struct FakePorts {
    std::vector<std::pair<unsigned long, unsigned long>> granted;
    bool refuse = false;
    bool dropped = false;
    std::map<uint32_t, uint32_t> written;
    PortAccess access{[this](unsigned long from, unsigned long num, int on) {
                          if (refuse)
                              return -1;
                          if (on)
                              granted.emplace_back(from, num);
                          return 0;
                      },
                      [this] { dropped = true; }};
    FakePorts()
    {
        access.Read = [](uint32_t port, int width) { return width == 8 ? port & 0xFF : port; };
        access.Write = [this](uint32_t port, uint32_t value, int) { written[port] = value; };
    }
};

} // namespace

class TestHwDriver : public QObject {
    Q_OBJECT

private slots:
    void noCard()
    {
        FakeSysfs sys;
        sys.device("0000:00:1f.0", "0x8086\n", "0x2918\n", IoBar);
        QVERIFY(sys.cards().empty());
        QVERIFY(EnumerateCards("/nonexistent/sysfs").empty());
    }

    void cardsInAddressOrder()
    {
        FakeSysfs sys;
        sys.device("0000:05:01.0", "0x7a4c\n", "0x6d22\n", "0x000000000000d000 0x000000000000d01f 0x0000000000040101\n");
        sys.device("0000:03:00.0", "0x7a4c\n", "0x6d21\n", IoBar);
        sys.device("0000:04:00.0", "0x7a4c\n", "0x1234\n", "0x000000000000c000 0x000000000000c00f 0x0000000000040101\n");
        const std::vector<PciCard> cards = sys.cards();
        QCOMPARE(cards.size(), size_t(3));
        QCOMPARE(QString::fromStdString(cards[0].address), QStringLiteral("0000:03:00.0"));
        QCOMPARE(cards[0].deviceId, 0x6D21u);
        QCOMPARE(cards[0].ioBase, 0xE800u);
        QCOMPARE(cards[0].ioSize, 0x20u);
        QCOMPARE(cards[1].deviceId, 0x1234u); // another device id still counts
        QCOMPARE(cards[2].ioBase, 0xD000u);
    }

    void brokenCardsAreSkipped()
    {
        FakeSysfs sys;
        sys.device("0000:01:00.0", "0x7a4c\n", "0x6d21\n", "0x00000000fe000000 0x00000000fe0000ff 0x0000000000040200\n");
        sys.device("0000:02:00.0", "0x7a4c\n", "garbage\n", IoBar);
        sys.device("0000:03:00.0", "0x7a4c\n", "0x6d21\n", "not a resource line\n");
        sys.device("0000:04:00.0", "0x7a4c\n", QByteArray(), IoBar);
        sys.device("0000:05:00.0", QByteArray(100000, 'f'), "0x6d21\n", IoBar);
        sys.device("0000:06:00.0", "0x7a4c\n", "0x6d21\n", "0x00000000000ff000 0x00000000000ff0ff 0x0000000000040101\n");
        sys.device("0000:07:00.0", "0x7a4c\n", "0x6d21\n", "0x000000000000e81f 0x000000000000e800 0x0000000000040101\n");
        sys.device("0000:08:00.0", "0x7a4c\n", "0x6d21\n", IoBar); // the one good card
        const std::vector<PciCard> cards = sys.cards();
        QCOMPARE(cards.size(), size_t(1));
        QCOMPARE(QString::fromStdString(cards[0].address), QStringLiteral("0000:08:00.0"));
    }

    void portsOutsideTheGrantAreRefused()
    {
        FakePorts p;
        QVERIFY(p.access.Grant({{0x61, 1}, {0xE800, 0x20}}));
        QVERIFY(p.dropped);
        QCOMPARE(p.granted.size(), size_t(2));
        QCOMPARE(p.access.In8(0x61), 0x61u);
        QCOMPARE(p.access.In16(0xE81E), 0xE81Eu);
        QCOMPARE(p.access.In16(0xE81F), 0xFFFFu); // its second byte lies outside
        QCOMPARE(p.access.In8(0x60), 0xFFu);
        QCOMPARE(p.access.In16(0x3F8), 0xFFFFu);
        p.access.Out16(0xE80C, 20);
        p.access.Out8(0x80, 1);
        p.access.Out16(0xE820, 5);
        QCOMPARE(p.written.size(), size_t(1));
        QCOMPARE(p.written[0xE80C], 20u);

        // Another thread is refused, whatever the port.
        uint32_t fromThread = 0;
        std::thread([&] { fromThread = p.access.In8(0x61); }).join();
        QCOMPARE(fromThread, 0xFFu);
    }

    void withoutPermissionNothingIsGranted()
    {
        FakePorts p;
        p.refuse = true;
        QVERIFY(!p.access.Grant({{0x61, 1}}));
        QVERIFY(!p.access.Granted());
        QVERIFY(!p.dropped);
        QCOMPARE(p.access.In8(0x61), 0xFFu);
        p.access.Out8(0x61, 0);
        QVERIFY(p.written.empty());
    }

    // On this machine there is no card of the maker; whether port access is
    // permitted depends on where the tests run. Either way Setup warns or
    // not as the library answers, says that no card was found, and works.
    void setupAgainstTheHardwareLibrary()
    {
        RegisterFonts();
        QVERIFY(LLTRVWDM::LoadDriverLibrary(QStringLiteral(HARDWARE_DRIVER)));
        const bool driverAnswers = (LLTRVWDM::InPortB(0x61) & 0xFFFF) != 0xAA55;
        ModalBoxes boxes(QMessageBox::Ok);
        TMainForm form;
        QCOMPARE(boxes.seen.size(), driverAnswers ? 0 : 1);
        form.showMaximized();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QVERIFY(WaitFor([&] { return form.SetSup->FHeaderLabel != nullptr; }));
        QCOMPARE(form.SetSup->FHeaderLabel->text(), QStringLiteral("No PCI-RZ4070(A) Series Card Found"));
        QCOMPARE(BaseAddress, uint16_t(0));
        form.ChannelHighlight->MenuItemClick(form.ChannelHighlight);
        QVERIFY(form.ChannelHighlight->FPopup && form.ChannelHighlight->FPopup->isVisible());
        form.CalibButtonClick(); // refuses: no card
        QCOMPARE(boxes.seen.size(), driverAnswers ? 1 : 2);
    }
};

QTEST_MAIN(TestHwDriver)
#include "tst_hwdriver.moc"
