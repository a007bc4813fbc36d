// Card routines: card identification, A/D averaging in its four variants,
// the number formats, the step texts and targets, and WaitMs.
#include "CalibrationSteps.h"
#include "CardIO.h"
#include "LayoutStyle.h"
#include "LLTRVWDM.h"
#include "ThreadClock.h"
#include "template.h"
#include "trvwdm/sim/SimulatedCard.h"

#include <QElapsedTimer>
#include <QtTest>

using namespace trvsim;
using CardIO::TVariant;

namespace {

Card &TheCard() { return Machine::instance().card(0); }

void Script(std::initializer_list<std::optional<uint16_t>> words)
{
    TheCard().scriptConversions(std::deque<std::optional<uint16_t>>(words));
}

} // namespace

class TestCardIO : public QObject {
    Q_OBJECT

    TMainForm *form = nullptr;

private slots:
    void initTestCase()
    {
        UseLayoutLook();
        LLTRVWDM::LoadDriverLibrary();
        form = new TMainForm;
    }
    void cleanupTestCase() { delete form; }
    void init()
    {
        Machine::instance().reset();
        MainUnit.BaseAddress = 0;
        QLocale::setDefault(QLocale::c());
    }

    void cardText()
    {
        Machine &m = Machine::instance();
        m.clearCards();
        m.addCard(DeviceRZ4070, 0x0300);
        m.addCard(DeviceRZ4070A, 0xE800);
        m.addCard(0x1234, 0xD000);
        QCOMPARE(form->SetSupGetCardString(nullptr, 0),
                 QStringLiteral("PCI-RZ4070    Analog Input/Output Card\r\nBase Address: 0300"));
        QCOMPARE(MainUnit.BaseAddress, uint16_t(0x0300));
        QCOMPARE(form->SetSupGetCardString(nullptr, 1),
                 QStringLiteral("PCI-RZ4070A   Analog Input/Output Card (With FIFOs)\r\nBase Address: E800"));
        QCOMPARE(MainUnit.BaseAddress, uint16_t(0xE800));
        // Another kind of card: no text, and the target stays the last known card.
        QCOMPARE(form->SetSupGetCardString(nullptr, 2), QString());
        QCOMPARE(MainUnit.BaseAddress, uint16_t(0xE800));
        QCOMPARE(form->SetSupGetCardString(nullptr, 3), QString());
        QCOMPARE(MainUnit.BaseAddress, uint16_t(0xE800));
    }

    void readingVariants_data()
    {
        QTest::addColumn<int>("variant");
        QTest::addColumn<QList<int>>("words"); // -1: a conversion that never completes
        QTest::addColumn<QString>("counts");
        QTest::addColumn<QString>("volts");
        QTest::addColumn<bool>("failed");
        const int B = int(TVariant::BipolarRaw), U = int(TVariant::Unipolar);
        QTest::newRow("bipolar 0x0800") << B << QList<int>(5, 0x0800) << "-2048" << "-10.000" << false;
        QTest::newRow("bipolar 0x07FF") << B << QList<int>(5, 0x07FF) << "2047" << "9.995" << false;
        QTest::newRow("bipolar keeps high bits of positive words") << B << QList<int>(5, 0x1001) << "4097" << "20.005" << false;
        // Step 2 reads as the unipolar steps do: one count shows.
        QTest::newRow("unipolar 4") << U << QList<int>(5, 4) << "4" << "0.010" << false;
        QTest::newRow("unipolar one count") << U << QList<int>(5, 1) << "1" << "0.002" << false;
        QTest::newRow("unipolar just under one count") << U << QList<int>{0, 1, 1, 1, 1} << "0" << "0.000" << false;
        QTest::newRow("unipolar 4095") << U << QList<int>(5, 4095) << "4095" << "9.998" << false;
        // A reading with a failed sample is never shown as a number.
        QTest::newRow("unipolar one failure") << U << QList<int>{1000, -1, 1000, 1000, 1000} << "****" << "******" << true;
        QTest::newRow("unipolar all failed") << U << QList<int>(5, -1) << "****" << "******" << true;
        QTest::newRow("bipolar last sample failed") << B << QList<int>{0, 0, 0, 0, -1} << "****" << "******" << true;
        QTest::newRow("unipolar masks high bits") << U << QList<int>(5, 0xF00A) << "10" << "0.024" << false;
        QTest::newRow("by DAC, bipolar") << int(TVariant::BipolarByDac) << QList<int>(5, 0xF800) << "-2048" << "-10.000" << false;
        QTest::newRow("by DAC, unipolar") << int(TVariant::UnipolarByDac) << QList<int>(5, 0x0800) << "2048" << "5.000" << false;
    }

    void readingVariants()
    {
        QFETCH(int, variant);
        QFETCH(QList<int>, words);
        QFETCH(QString, counts);
        QFETCH(QString, volts);
        QFETCH(bool, failed);
        CardIO::TSampleSet samples{TVariant(variant)};
        for (int w : words) {
            QVERIFY(!samples.Complete());
            samples.Add(w < 0 ? std::nullopt : std::optional<uint16_t>(uint16_t(w)));
        }
        QVERIFY(samples.Complete());
        const std::optional<CardIO::TReading> reading = samples.Reading();
        QCOMPARE(reading.has_value(), !failed);
        QCOMPARE(CardIO::ReadoutOf(reading).counts, counts);
        QCOMPARE(CardIO::ReadoutOf(reading).volts, volts);
    }

    void statusWidthFollowsTheVariant()
    {
        // A stuck conversion costs the whole polling bound: 65,536 reads.
        const uint16_t base = TheCard().base();
        Script({std::nullopt});
        QVERIFY(!CardIO::TakeSample(base, false));
        Script({0x123});
        QCOMPARE(CardIO::TakeSample(base, true), std::optional<uint16_t>(0x123));
    }

    void formatsUseTheUsersSeparator()
    {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        QCOMPARE(CardIO::FormatVolts(9.9951), QStringLiteral("9,995"));
        QCOMPARE(CardIO::FormatVolts(-1234.5), QStringLiteral("-1234,500"));
        QCOMPARE(CardIO::FormatGeneral(2.4875), QStringLiteral("2,4875"));
        QCOMPARE(CardIO::FormatCounts(-2048), QStringLiteral("-2048"));
        // Swedish writes a real minus sign: counts, volts and targets alike.
        QLocale::setDefault(QLocale(QLocale::Swedish, QLocale::Sweden));
        const QString minus = QLocale().negativeSign();
        QCOMPARE(minus, QString(QChar(0x2212)));
        QCOMPARE(CardIO::FormatCounts(-1028), minus + QStringLiteral("1028"));
        QCOMPARE(CardIO::FormatCounts(12345), QStringLiteral("12345"));
        QCOMPARE(CardIO::FormatVolts(-5.02), minus + QStringLiteral("5,020"));
        QCOMPARE(CardIO::FormatGeneral(-4.95), minus + QStringLiteral("4,95"));
        QLocale::setDefault(QLocale::c());
        QCOMPARE(CardIO::FormatVolts(0.0), QStringLiteral("0.000"));
    }

    void stepTexts()
    {
        using namespace CalibrationSteps;
        const TMeasureStep one = StepBipolarOffset();
        QCOMPARE(one.Title, QStringLiteral("Adjust Bipolar Offset RP1"));
        QCOMPARE(one.Body, QStringLiteral("Connect pin 37 to pin 18"));
        QCOMPARE(one.Body2, QStringLiteral("Adjust pot marked \"RP1\" until the value displayed equals 0.000 Volts."));
        QCOMPARE(one.Mark, 9);
        QCOMPARE(StepUnipolarOffset().Mark, 35);
        QCOMPARE(StepUnipolarOffset().Variant, TVariant::Unipolar); // not pre-divided: one count shows
        QCOMPARE(StepBipolarGain().Body, QStringLiteral("Connect a Calibrator's positive lead to pin 37 and negative lead to pin 18. Apply 9.900V"));
        QCOMPARE(StepUnipolarGain().Body, QStringLiteral("Connect a Calibrator's positive lead to pin 37 and negative lead to pin 18. Apply a 9.950V"));
        QCOMPARE(StepUnipolarGain().Body2, QStringLiteral("Confirm that the value is within 10mv of 9.950V. If you plan on using Unipolar mode you can fine tune the card with pot \"RP3\"."));

        // DAC ranges at their start value 0: 0 to 2.5 V, read unipolar.
        const TMeasureStep five = *MeasureStep(5, {0, 0});
        QCOMPARE(five.Title, QStringLiteral("Adjust DAC 0 Offset RP5"));
        QCOMPARE(five.Body, QStringLiteral("Connect pin 37 to pin 14"));
        QCOMPARE(five.Body2, QStringLiteral("Adjust pot marked \"RP5\" until the value displayed is as close to 0.0125 Volts as possible."));
        QCOMPARE(five.Code, CardIO::SelectUnipolar);
        QCOMPARE(five.Variant, TVariant::UnipolarByDac);
        QCOMPARE(five.DacCode, CalibrationSteps::DacLowCode);
        QCOMPARE(five.Mark, 130);
        QVERIFY(MeasureStep(6, {0, 0})->Body2.contains(QStringLiteral(" 2.4875 Volts")));

        // DAC 1 at ±10 V.
        const TMeasureStep seven = *MeasureStep(7, {0, 5});
        QCOMPARE(seven.Title, QStringLiteral("Adjust DAC 1 Offset RP7"));
        QCOMPARE(seven.Body, QStringLiteral("Connect pin 37 to pin 15"));
        QVERIFY(seven.Body2.contains(QStringLiteral(" -9.9 Volts")));
        QCOMPARE(seven.Code, CardIO::SelectBipolar);
        QCOMPARE(seven.Variant, TVariant::BipolarByDac);
        QCOMPARE(*seven.Dac, 1);
        const TMeasureStep eight = *MeasureStep(8, {0, 5});
        QCOMPARE(eight.Title, QStringLiteral("Adjust DAC 1 Gain RP8"));
        QCOMPARE(eight.DacCode, CalibrationSteps::DacHighCode);
        QCOMPARE(eight.Code, CardIO::SelectUnipolar);
        QVERIFY(eight.Body2.contains(QStringLiteral(" 9.9 Volts")));
        QCOMPARE(eight.Mark, 208);

        const char *targets[6][2] = {{"0.0125", "2.4875"}, {"0.025", "4.975"}, {"0.05", "9.95"},
                                     {"-2.475", "2.475"}, {"-4.95", "4.95"}, {"-9.9", "9.9"}};
        for (uint8_t r = 0; r < 6; ++r) {
            QVERIFY(StepDACOffset(0, r).Body2.contains(QStringLiteral(" %1 Volts").arg(targets[r][0])));
            QVERIFY(StepDACGain(0, r).Body2.contains(QStringLiteral(" %1 Volts").arg(targets[r][1])));
        }
        QVERIFY(!MeasureStep(9, {0, 0}));
        QVERIFY(!MeasureStep(0, {0, 0}));
    }
};

QTEST_MAIN(TestCardIO)
#include "tst_cardio.moc"
