// The binding to the port-I/O library: a missing library, a library that
// lacks an entry point, and the simulated card.
#include "LLTRVWDM.h"
#include "trvwdm/sim/SimulatedCard.h"

#include <QtTest>

using namespace trvsim;

class TestDriver : public QObject {
    Q_OBJECT

private slots:
    void init() { Machine::instance().reset(); }
    void cleanupTestCase() { LLTRVWDM::LoadDriverLibrary(); }

    void missingLibraryAnswersAsDriverAbsent()
    {
        QVERIFY(!LLTRVWDM::LoadDriverLibrary(QStringLiteral("libtrvwdm-not-installed.so.1")));
        QVERIFY(!LLTRVWDM::DriverLibraryComplete());
        QCOMPARE(LLTRVWDM::InPortB(0x61), 0xAA55u);
        QCOMPARE(LLTRVWDM::InPort(0xE800), 0u);
        LLTRVWDM::OutPort(0xE80C, 100); // must do nothing, and not crash
        uint32_t device = 7, base = 7;
        QCOMPARE(LLTRVWDM::QueryCardInfo(0, &device, &base), 0);
        QCOMPARE(device, 7u);
        QCOMPARE(LLTRVWDM::GetNumCards(), 0);
    }

    void missingEntryPointAnswersForThatEntryOnly()
    {
        QVERIFY(!LLTRVWDM::LoadDriverLibrary(QStringLiteral(PARTIAL_DRIVER)));
        QVERIFY(!LLTRVWDM::DriverLibraryComplete());
        QCOMPARE(LLTRVWDM::InPortB(0x61), 0x11u);
        QCOMPARE(LLTRVWDM::InPort(0x300), 0x2222u);
        QCOMPARE(LLTRVWDM::GetNumCards(), 0);
    }

    void simulatedCard()
    {
        QVERIFY(LLTRVWDM::LoadDriverLibrary());
        QVERIFY(LLTRVWDM::DriverLibraryComplete());
        QVERIFY(LLTRVWDM::InPortB(0x61) <= 0xFF);
        QCOMPARE(LLTRVWDM::GetNumCards(), 1);
        uint32_t device = 0, base = 0;
        QCOMPARE(LLTRVWDM::QueryCardInfo(0, &device, &base), 1);
        QCOMPARE(device, 0x6D21u);
        QCOMPARE(base, 0xE800u);
        QCOMPARE(LLTRVWDM::QueryCardInfo(1, &device, &base), 0);
        QCOMPARE(LLTRVWDM::QueryCardInfo(-1, &device, &base), 0);

        Machine::instance().setKernelDriverLoaded(false);
        QCOMPARE(LLTRVWDM::InPortB(0x61), 0xAA55u);
        QCOMPARE(LLTRVWDM::GetNumCards(), 0);
        QCOMPARE(LLTRVWDM::QueryCardInfo(0, &device, &base), 0);
    }

    void simulatedRegisters()
    {
        QVERIFY(LLTRVWDM::LoadDriverLibrary());
        Card &card = Machine::instance().card(0);
        card.setNoise(0);
        card.setPin37(Pin37::Ground);
        for (Pot p : {Pot::RP1, Pot::RP2, Pot::RP3})
            card.setPot(p, 0.5);
        const uint32_t base = card.base();
        LLTRVWDM::OutPortB(base + 4, 0x48);
        LLTRVWDM::OutPort(base + 2, 4);
        QCOMPARE(LLTRVWDM::InPort(base + 2), 4u);
        QCOMPARE(card.controlByte(), uint8_t(0x48));

        // A conversion: started by writing 0, done after a few status reads.
        LLTRVWDM::OutPortB(base, 0);
        QCOMPARE(LLTRVWDM::InPortB(base + 4) & 0x80, 0u);
        int reads = 1;
        while (!(LLTRVWDM::InPort(base + 4) & 0x80) && reads < 100)
            ++reads;
        QVERIFY(reads > 1 && reads < 100);
        QCOMPARE(LLTRVWDM::InPort(base), 0u);

        // Bipolar range: -10 V .. +10 V as 12-bit two's complement.
        card.setPin37(Pin37::Calibrator);
        card.setCalibratorVolts(-10.0);
        LLTRVWDM::OutPort(base + 2, 0);
        LLTRVWDM::OutPortB(base, 0);
        QCOMPARE(LLTRVWDM::InPort(base), 0x0800u);
        card.setCalibratorVolts(12.0);
        LLTRVWDM::OutPortB(base, 0);
        QCOMPARE(LLTRVWDM::InPort(base), 0x07FFu);

        // DAC codes are kept to 12 bits; unused ports read all ones.
        LLTRVWDM::OutPort(base + 12, 0x1FFF);
        QCOMPARE(card.dacCode(0), uint16_t(0x0FFF));
        QCOMPARE(LLTRVWDM::InPort(0x1234), 0xFFFFu);
        QCOMPARE(LLTRVWDM::InPortB(0x1234), 0xFFu);
    }

    void stuckConversionNeverCompletes()
    {
        QVERIFY(LLTRVWDM::LoadDriverLibrary());
        Card &card = Machine::instance().card(0);
        card.setConversionStuck(true);
        LLTRVWDM::OutPortB(card.base(), 0);
        for (int i = 0; i < 1000; ++i)
            QCOMPARE(LLTRVWDM::InPortB(card.base() + 4) & 0x80, 0u);
    }
};

QTEST_MAIN(TestDriver)
#include "tst_driver.moc"
