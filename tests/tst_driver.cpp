// The binding to the port-I/O library: a missing library, a library that
// lacks an entry point, and the simulated card with its configuration.
#include "LLTRVWDM.h"
#include "trvwdm/sim/SimulatedCard.h"

#include <QProcess>
#include <QtTest>
#include <cmath>
#include <tuple>
#include <set>

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
            card.setPot(p, card.idealPosition(p));
        const uint32_t base = card.base();
        LLTRVWDM::OutPortB(base + 4, 0x48);
        LLTRVWDM::OutPort(base + 2, 4);
        QCOMPARE(LLTRVWDM::InPort(base + 2), 4u);
        QCOMPARE(card.controlByte(), uint8_t(0x48));

        // A conversion: started by writing 0, done after 10 us of status
        // reads, each a microsecond. Right after the range change the input
        // is still settling from the bipolar range's mid-scale; 50 ms later
        // it reads the ground it is wired to. The card's clock is held, so
        // only the accesses and the test move it.
        SimClock &clock = SimClock::instance();
        clock.hold();
        auto convert = [&] {
            const auto started = clock.now();
            LLTRVWDM::OutPortB(base, 0);
            const bool busy = !(LLTRVWDM::InPortB(base + 4) & 0x80);
            int reads = 1; // status reads, the one that says done included
            do
                ++reads;
            while (!(LLTRVWDM::InPort(base + 4) & 0x80) && reads < 1000);
            return std::tuple(busy, reads, clock.now() - started, LLTRVWDM::InPort(base));
        };
        const auto [busy, reads, took, unsettled] = convert();
        QVERIFY(busy);
        QVERIFY2(took == std::chrono::microseconds(10) && reads == 10,
                 qPrintable(QStringLiteral("%1 reads in %2 ns").arg(reads).arg(took.count())));
        QVERIFY2(unsettled > 1000, qPrintable(QString::number(unsettled)));
        clock.advance(std::chrono::milliseconds(50));
        QCOMPARE(std::get<3>(convert()), 0u);
        // Time runs on from where it was held, never back.
        const auto held = clock.now();
        clock.release();
        QVERIFY(clock.now() >= held);

        // Bipolar range: -10 V .. +10 V as 12-bit two's complement (read
        // without waiting for the select to settle).
        card.setSettlingTime(std::chrono::microseconds(0));
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

    void configurationFromTheEnvironment()
    {
        std::vector<std::string> problems;
        SimConfig c = ParseSimConfig(nullptr, nullptr, nullptr, nullptr, 77, &problems);
        QCOMPARE(c.cards.size(), size_t(1));
        QCOMPARE(c.cards[0].deviceId, DeviceRZ4070);
        QCOMPARE(c.cards[0].base, DefaultBase);
        QVERIFY(!c.driverAbsent && !c.adcStuck);
        QCOMPARE(c.seed, uint64_t(77));
        QVERIFY(problems.empty());

        c = ParseSimConfig("6D21@E800,6d22@D000", "absent", "adc-stuck", "0x1234", 77, &problems);
        QCOMPARE(c.cards.size(), size_t(2));
        QCOMPARE(c.cards[1].deviceId, DeviceRZ4070A);
        QCOMPARE(c.cards[1].base, uint16_t(0xD000));
        QVERIFY(c.driverAbsent && c.adcStuck);
        QCOMPARE(c.seed, uint64_t(0x1234));
        QVERIFY(problems.empty());
        QVERIFY(ParseSimConfig("", nullptr, nullptr, "42", 77, &problems).cards.empty()); // no card
        QCOMPARE(ParseSimConfig("", nullptr, nullptr, "42", 77, &problems).seed, uint64_t(42));

        // Each malformed value is reported and leaves its default.
        for (const char *cards : {"6D21", "6D21@", "@E800", "6D21@E800,", "xyz@E800", "6D21@10000", "6D21@0", "6D21@-1"}) {
            problems.clear();
            c = ParseSimConfig(cards, "present", "sometimes", "-5", 77, &problems);
            QCOMPARE(problems.size(), size_t(4));
            QVERIFY2(QString::fromStdString(problems[0]).startsWith(QStringLiteral("TRVWDM_SIM_CARDS=")), cards);
            QCOMPARE(c.cards.size(), size_t(1));
            QVERIFY(!c.driverAbsent && !c.adcStuck);
            QCOMPARE(c.seed, uint64_t(77));
        }
        // As many cards as a machine holds here, and one more, said so.
        std::string cards = "6D21@1000";
        for (size_t k = 1; k < MaxSimCards; ++k)
            cards += ",6D21@" + QByteArray::number(qulonglong(0x1000 + 16 * k), 16).toStdString();
        problems.clear();
        QCOMPARE(ParseSimConfig(cards.c_str(), nullptr, nullptr, nullptr, 77, &problems).cards.size(), MaxSimCards);
        cards += ",6D21@E800";
        c = ParseSimConfig(cards.c_str(), nullptr, nullptr, nullptr, 77, &problems);
        QCOMPARE(c.cards.size(), size_t(1));
        QCOMPARE(problems.size(), size_t(1));
        QVERIFY2(QString::fromStdString(problems[0]).endsWith(QStringLiteral("is not a list of at most 64 cards; ignored")), problems[0].c_str());
    }

    // The same, as a user starts a program with the variables set: read
    // once when the library loads, a malformed value reported once.
    void environmentConfiguresTheMachine()
    {
        if (qEnvironmentVariableIsSet("TRVWDM_SIM_CARDS")) {
            Machine &m = Machine::instance();
            QCOMPARE(m.cardCount(), 2);
            QCOMPARE(m.card(1).deviceId(), DeviceRZ4070A);
            QCOMPARE(m.card(1).base(), uint16_t(0xD000));
            QCOMPARE(m.card(0).seed(), uint64_t(99));
            QVERIFY(LLTRVWDM::LoadDriverLibrary());
            QCOMPARE(LLTRVWDM::InPortB(0x61), 0xAA55u);
            QCOMPARE(LLTRVWDM::GetNumCards(), 0);
            m.setKernelDriverLoaded(true);
            LLTRVWDM::OutPortB(0xD000, 0); // adc-stuck: the conversion never completes
            for (int i = 0; i < 100; ++i)
                QCOMPARE(LLTRVWDM::InPortB(0xD004) & 0x80, 0u);
            m.reset(); // the configuration stays what the environment said
            QCOMPARE(m.cardCount(), 2);
            return;
        }
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TRVWDM_SIM_CARDS"), QStringLiteral("6D21@E800,6D22@D000"));
        env.insert(QStringLiteral("TRVWDM_SIM_DRIVER"), QStringLiteral("absent"));
        env.insert(QStringLiteral("TRVWDM_SIM_FAULT"), QStringLiteral("adc-stuck"));
        env.insert(QStringLiteral("TRVWDM_SIM_SEED"), QStringLiteral("99"));
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("environmentConfiguresTheMachine")});
        QVERIFY(child.waitForFinished(60000));
        QVERIFY2(child.exitCode() == 0, child.readAllStandardOutput().constData());

        env.insert(QStringLiteral("TRVWDM_SIM_SEED"), QStringLiteral("ninety-nine"));
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("environmentConfiguresTheMachine")});
        QVERIFY(child.waitForFinished(60000));
        QVERIFY(child.exitCode() != 0); // the seed fell back to a random one
        const QString errors = QString::fromLocal8Bit(child.readAllStandardError());
        QCOMPARE(errors.count(QStringLiteral("TRVWDM_SIM_SEED=\"ninety-nine\"")), 1);
    }

    // Each card comes from its seed: the exact trims are nowhere near the
    // middle for every pot, the factory left them off, the same seed makes
    // the same card.
    void cardsComeFromTheirSeed()
    {
        const CardTraits a = CardTraits::FromSeed(1), b = CardTraits::FromSeed(1), c = CardTraits::FromSeed(2);
        bool allMiddle = true;
        for (int i = 0; i < PotCount; ++i) {
            QCOMPARE(a.ideal[i], b.ideal[i]);
            QVERIFY(a.ideal[i] != c.ideal[i]);
            QVERIFY(std::abs(a.factory[i] - a.ideal[i]) >= 0.06);
            QVERIFY(a.factory[i] > 0 && a.factory[i] < 1);
            allMiddle = allMiddle && std::abs(a.ideal[i] - 0.5) < 0.01;
        }
        QVERIFY(!allMiddle);
        Card card(DeviceRZ4070, DefaultBase, 5);
        for (Pot p : {Pot::RP1, Pot::RP2, Pot::RP3, Pot::RP5, Pot::RP6, Pot::RP7, Pot::RP8})
            card.setPot(p, card.idealPosition(p));
        const CardErrors e = card.errors();
        for (int error : {e.adBipolarZero, e.adBipolarPlus, e.adBipolarMinus, e.adUnipolarZero, e.adUnipolarHigh})
            QCOMPARE(error, 0);
        card.setDacRange(0, 1);
        card.write16(reg::Dac0, 2048);
        QCOMPARE(card.dacVolts(0), 2.5); // an exact trim gives the code's own voltage
        card.newCard(6);
        QVERIFY(card.errors().adBipolarZero != 0 || card.errors().adUnipolarHigh != 0);
    }

    // A gain trim moves the zero a little, so the order of the steps matters.
    void gainTrimMovesTheZero()
    {
        Card card(DeviceRZ4070, DefaultBase, 3);
        card.setNoise(0);
        card.setPin37(Pin37::Ground);
        card.setPot(Pot::RP1, card.idealPosition(Pot::RP1));
        card.setPot(Pot::RP3, card.idealPosition(Pot::RP3));
        card.write16(reg::AdSelect, 0);
        QCOMPARE(card.errors().adBipolarZero, 0);
        card.setPot(Pot::RP3, card.idealPosition(Pot::RP3) + 0.15);
        QVERIFY(card.errors().adBipolarZero != 0);
    }

    // A floating pin 37 is no steady 0.800 V.
    void floatingInputWanders()
    {
        Card &card = Machine::instance().card(0);
        card.setPin37(Pin37::Open);
        card.setSettlingTime(std::chrono::microseconds(0));
        card.write16(reg::AdSelect, 0);
        std::set<uint32_t> seen;
        for (int i = 0; i < 20; ++i) {
            card.write8(reg::AdData, 0);
            seen.insert(card.read16(reg::AdData));
        }
        QVERIFY(seen.size() > 3);
        QVERIFY(std::abs(card.pin37Volts() - 0.8) < 0.5);
    }
};

QTEST_MAIN(TestDriver)
#include "tst_driver.moc"
