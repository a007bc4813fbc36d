// The calibration wizard against the simulated card: steps, buttons,
// ranges, the ending, the refusals, and one whole calibration played the
// way a technician would.
#include "LayoutStyle.h"
#include "LLTRVWDM.h"
#include "ModalBoxes.h"
#include "RunWizard.h"
#include "template.h"
#include "trvwdm/sim/SimulatedCard.h"
#include "Wait.h"

#include <QRegularExpression>
#include <QtTest>
#include <functional>
#include <map>

using namespace trvsim;

namespace {

Card &TheCard() { return Machine::instance().card(0); }

// Plays a technician at the bench: reads each step's texts, wires pin 37
// as they say, and turns the named pot by halving its travel, once to find
// where the reading reaches the target and once where it passes it, then
// settles between the two and presses Next. Step 2 trims to where the
// reading just leaves 0.000; step 4 fine-tunes RP3 for the unipolar range,
// as its text offers. After step 8 goes back to step 1 for a second round,
// then finishes.
class TTechnician {
public:
    // `refreshes` counts the display's refreshes; `meter` tells the card's
    // true errors, as the bench's reference meter does, for the log.
    TTechnician(TMainForm &form, CardState &bench, std::function<uint64_t()> refreshes, std::function<QString()> meter)
        : FForm(form), FBench(bench), FRefreshes(std::move(refreshes)), FMeter(std::move(meter))
    {
    }

    int Rounds() const { return FRound; }
    QString Log() const { return FLog.join(u'\n'); }

    void Tick()
    {
        if (CalibStep > 9)
            return;
        if (CalibStep != FSeenStep) { // the texts change with the step's first pass
            FSeenStep = CalibStep;
            FSeenAt = FRefreshes();
        }
        if (CalibStep != FStep && (CalibStep == 9 || FRefreshes() >= FSeenAt + 6))
            return StartStep();
        if (CalibStep != FStep)
            return;
        if (FRefreshes() < FReadAfter || FStep == 9)
            return;
        const QString title = FForm.CTitle->text();
        if (!title.endsWith(QStringLiteral("RP%1").arg(FPot)))
            return; // a pass of the previous step, or a failed reading
        bool ok = false;
        const double read = FForm.ReadVolt->text().toDouble(&ok);
        if (!ok)
            return;
        Bisect(read);
    }

private:
    void StartStep()
    {
        FStep = CalibStep;
        if (FStep == 9) {
            FLog << QStringLiteral("round %1 done: %2").arg(FRound).arg(FMeter());
            if (FRound == 1) {
                FRound = 2;
                for (int i = 0; i < 8; ++i)
                    FForm.PrevClick(); // back to step 1, never below
            } else {
                FForm.NextClick(); // ends the wizard
            }
            return;
        }
        const QString body = FForm.CBody->text(), body2 = FForm.CBody2->text();
        static const QRegularExpression pot(QStringLiteral("RP(\\d)\"")),
            apply(QStringLiteral("Apply (?:a )?(-?[0-9.]+)V")), closeTo(QStringLiteral("as close to (-?[0-9.]+)"));
        FPot = pot.match(body2).captured(1).toInt();
        if (body.contains(QStringLiteral("pin 18")) && !body.contains(QStringLiteral("Calibrator"))) {
            FBench.pin37 = int(Pin37::Ground);
            FTarget = 0;
        } else if (const QRegularExpressionMatch m = apply.match(body); m.hasMatch()) {
            FBench.pin37 = int(Pin37::Calibrator);
            FBench.SetCalibrator(m.captured(1).toDouble());
            FTarget = m.captured(1).toDouble();
        } else {
            FBench.pin37 = int(body.endsWith(QStringLiteral("pin 14")) ? Pin37::Dac0 : Pin37::Dac1);
            FTarget = closeTo.match(body2).captured(1).toDouble();
        }
        FPhase = FStep == 2 ? 1 : 0;
        FLo = 0;
        FHi = 1;
        Turn(0.5);
    }

    void Bisect(double read)
    {
        const bool low = FPhase == 0 ? read < FTarget : read <= FTarget;
        (low ? FLo : FHi) = FBench.Pot(PotIndex());
        if (FHi - FLo > 1e-4)
            return Turn((FLo + FHi) / 2);
        const double edge = (FLo + FHi) / 2;
        if (FPhase == 0) {
            FReaches = edge;
            FPhase = 1;
            FLo = 0;
            FHi = 1;
            return Turn(0.5);
        }
        Turn(FStep == 2 ? edge : (FReaches + edge) / 2);
        FLog << QStringLiteral("round %1 step %2: RP%3 to %4 (target %5)").arg(FRound).arg(FStep).arg(FPot)
                    .arg(FBench.Pot(PotIndex()), 0, 'f', 5).arg(FTarget);
        Next();
    }

    int PotIndex() const
    {
        static const std::map<int, Pot> pots{{1, Pot::RP1}, {2, Pot::RP2}, {3, Pot::RP3}, {5, Pot::RP5},
                                             {6, Pot::RP6}, {7, Pot::RP7}, {8, Pot::RP8}};
        return int(pots.at(FPot));
    }

    void Turn(double position)
    {
        FBench.SetPot(PotIndex(), position);
        FReadAfter = FRefreshes() + 10; // a whole pass after the turn
    }

    void Next()
    {
        FForm.NextClick();
    }

    TMainForm &FForm;
    CardState &FBench;
    std::function<uint64_t()> FRefreshes;
    std::function<QString()> FMeter;
    int FRound = 1, FStep = 0, FSeenStep = 0, FPot = 0, FPhase = 0;
    uint64_t FSeenAt = 0;
    double FTarget = 0, FLo = 0, FHi = 1, FReaches = 0;
    uint64_t FReadAfter = 0;
    QStringList FLog;
};

} // namespace

class TestCalibration : public QObject {
    Q_OBJECT

    std::unique_ptr<TMainForm> form;

private slots:
    void initTestCase()
    {
        UseLayoutLook();
        LLTRVWDM::LoadDriverLibrary();
        QApplication::setQuitOnLastWindowClosed(false);
    }
    void init()
    {
        Machine::instance().reset();
        DACRange = {0, 0};
        form = std::make_unique<TMainForm>();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        BaseAddress = 0;
        form->SetSupGetCardString(nullptr, 0);
    }
    void cleanup() { form.reset(); }
    void cleanupTestCase()
    {
        if (const char *name = std::getenv("TRVWDM_SIM_SHM"))
            SharedState::Remove(name);
    }

    void stepsAndButtons()
    {
        QStringList titles;
        bool prevTried = false, twice = false, panelsShown = false, finished = false;
        const bool ended = RunWizard(*form, [&] {
            panelsShown = panelsShown || (form->InstPanel->isVisible() && form->OutputPanel->isVisible());
            const uint64_t n = TheCard().conversions();
            if (n < 10)
                return;
            if (!prevTried) {
                titles << form->CTitle->text();
                QCOMPARE(form->PotMark->x(), 9);
                QVERIFY(form->PotMark->isVisible());
                form->PrevClick(); // step 1 stays step 1
                QCOMPARE(CalibStep, 1);
                prevTried = true;
                form->NextClick(); // Next twice within one pass: two steps
                form->NextClick();
                return;
            }
            if (!twice && CalibStep == 3 && form->CTitle->text() == QStringLiteral("Adjust Bipolar Gain RP3")) {
                twice = true;
                QCOMPARE(form->PotMark->x(), 61);
                CalibStep = 9;
                return;
            }
            if (twice && !finished && form->CBody->text() == QStringLiteral("Calibration is complete")) {
                finished = true;
                QVERIFY(form->CTitle->text().isEmpty());
                QVERIFY(!form->PotMark->isVisible());
                QTest::mouseClick(form->Next, Qt::LeftButton); // Next in step 9 ends it
            }
        });
        QVERIFY(ended);
        QVERIFY(panelsShown);
        QCOMPARE(titles, QStringList{"Adjust Bipolar Offset RP1"});
        QCOMPARE(CalibStep, 10);
        QVERIFY(!form->InstPanel->isVisible() && !form->OutputPanel->isVisible() && !form->PotMark->isVisible());
    }

    void dacStepsFollowTheRangesPassByPass()
    {
        DACRange = {0, 5};
        QStringList seen;
        bool changed = false;
        const bool ended = RunWizard(*form, [&] {
            if (CalibStep < 5)
                CalibStep = 7;
            if (CalibStep == 7 && form->CBody2->text().contains(QStringLiteral("-9.9 Volts"))) {
                QCOMPARE(TheCard().dacCode(1), uint16_t(20));
                QCOMPARE(TheCard().selectCode(), uint16_t(0));
                if (!changed) {
                    DACRange[1] = 2; // 0-10V, from the next pass on
                    changed = true;
                }
            }
            if (CalibStep == 7 && changed && form->CBody2->text().contains(QStringLiteral(" 0.05 Volts"))) {
                QCOMPARE(TheCard().selectCode(), uint16_t(4));
                CalibStep = 8;
            }
            if (CalibStep == 8 && form->CBody2->text().contains(QStringLiteral(" 9.95 Volts"))) {
                QCOMPARE(TheCard().dacCode(1), uint16_t(4076));
                QCOMPARE(TheCard().selectCode(), uint16_t(4));
                form->QuitClick();
            }
        });
        QVERIFY(ended);
        QVERIFY(changed);
        QCOMPARE(TheCard().dacCode(1), uint16_t(4076)); // kept after Quit
        QCOMPARE(CalibStep, 10);
    }

    // A failed reading is never shown as a measurement, and the title stays
    // "A/D FAILURE" while the failure lasts; the step's title and the
    // numbers return with the first pass that reads cleanly.
    void failedConversionsShowTheFailure()
    {
        TheCard().setConversionStuck(true);
        bool failing = true, sawFailure = false, numberWhileFailing = false, titleWhileFailing = false;
        uint64_t healedAt = 0;
        const bool ended = RunWizard(*form, [&] {
            const QString title = form->CTitle->text();
            if (title == QStringLiteral("A/D FAILURE"))
                sawFailure = true;
            if (failing && sawFailure) {
                numberWhileFailing = numberWhileFailing || form->ReadCount->text() != QStringLiteral("****")
                                     || form->ReadVolt->text() != QStringLiteral("******");
                titleWhileFailing = titleWhileFailing || title != QStringLiteral("A/D FAILURE");
                if (TheCard().conversions() >= 15) { // three whole passes
                    failing = false;
                    TheCard().setConversionStuck(false);
                    healedAt = TheCard().conversions();
                }
            } else if (!failing && TheCard().conversions() >= healedAt + 10
                       && title == QStringLiteral("Adjust Bipolar Offset RP1")
                       && form->ReadCount->text() != QStringLiteral("****")) {
                form->QuitClick();
            }
        });
        QVERIFY(ended);
        QVERIFY(sawFailure);
        QVERIFY(!failing);
        QVERIFY2(!numberWhileFailing, "a failed reading was shown as a number");
        QVERIFY2(!titleWhileFailing, "the title alternated while the failure lasted");
        bool isNumber = false;
        form->ReadCount->text().toInt(&isNumber);
        QVERIFY(isNumber);
    }

    void nestedWizardsEndTogether()
    {
        int depth = 0;
        const bool ended = RunWizard(*form, [&] {
            if (depth == 0 && TheCard().conversions() >= 5) {
                depth = 1;
                QTimer::singleShot(0, form.get(), [&] {
                    form->CalibButtonClick(); // a second wizard inside the first
                    depth = 2;
                });
            } else if (depth == 1 && TheCard().conversions() >= 15) {
                form->QuitClick();
            }
        });
        QVERIFY(ended);
        QCOMPARE(depth, 2);
        QVERIFY(!form->InstPanel->isVisible());
    }

    void closingTheWindowEndsTheWizard()
    {
        const bool ended = RunWizard(*form, [&] {
            if (TheCard().conversions() >= 5 && form->isVisible())
                form->close();
        });
        QVERIFY(ended);
        QVERIFY(CalibStep >= 10);
    }

    void noCardRefusesAndTouchesNoPort()
    {
        BaseAddress = 0;
        ModalBoxes boxes(QMessageBox::Ok);
        form->CalibButtonClick();
        QCOMPARE(boxes.seen.size(), 1);
        QCOMPARE(boxes.seen[0].caption, QStringLiteral("Calibration"));
        QVERIFY(boxes.seen[0].text.startsWith(QStringLiteral("No PCI-RZ4070(A) card was found")));
        QCOMPARE(TheCard().conversions(), uint64_t(0));
        QVERIFY(!form->InstPanel->isVisible());
    }

    // A technician with the card and a bench, seeing only what a user sees:
    // the wizard's texts and readings, the bench's wiring and calibrator.
    // Each of three fresh cards (random seeds, the six DAC ranges among
    // them) is calibrated twice through, as trims interact; the card's true
    // errors are judged afterwards.
    void wholeCalibration_data()
    {
        QTest::addColumn<quint64>("seed");
        QTest::addColumn<int>("range0");
        QTest::addColumn<int>("range1");
        for (int k = 0; k < 3; ++k) {
            const quint64 seed = QRandomGenerator::global()->generate64();
            QTest::addRow("seed %llu, ranges %d and %d", (unsigned long long)seed, k, k + 3) << seed << k << k + 3;
        }
    }

    void wholeCalibration()
    {
        QFETCH(quint64, seed);
        QFETCH(int, range0);
        QFETCH(int, range1);
        Card &card = TheCard();
        card.newCard(seed);
        // Compressed time: every wait a twentieth, the input's settling too.
        CardIO::SetWaitScale(0.05);
        card.setSettlingTime(std::chrono::microseconds(100));
        // With a shared card, the technician works through a bench's own
        // link to it, as the bench program does.
        std::unique_ptr<SharedState> benchLink;
        CardState *bench = &card.State();
        if (const char *name = std::getenv("TRVWDM_SIM_SHM")) {
            std::string error;
            benchLink = SharedState::Attach(name, card.State(), &error);
            QVERIFY2(benchLink, error.c_str());
            bench = &benchLink->Card();
            QVERIFY(bench != &card.State());
        }
        bench->dacRange[0] = range0; // switches set to match the screen
        bench->dacRange[1] = range1;
        DACRange = {uint8_t(range0), uint8_t(range1)};

        auto meter = [&card] {
            const CardErrors e = card.errors();
            return QStringLiteral("A/D bipolar %1 %2 %3, unipolar %4 %5; DAC 0 %6 %7, DAC 1 %8 %9")
                .arg(e.adBipolarZero).arg(e.adBipolarPlus).arg(e.adBipolarMinus)
                .arg(e.adUnipolarZero).arg(e.adUnipolarHigh)
                .arg(e.dacLow[0]).arg(e.dacHigh[0]).arg(e.dacLow[1]).arg(e.dacHigh[1]);
        };
        TTechnician tech(*form, *bench, [&] { return card.conversions(); }, meter);
        const bool ended = RunWizard(*form, [&] { tech.Tick(); }, 240000, 1);
        CardIO::SetWaitScale(1);
        QVERIFY(ended);
        QCOMPARE(CalibStep, 10);
        QVERIFY2(tech.Rounds() == 2, qPrintable(tech.Log()));
        if (qEnvironmentVariableIsSet("CALIBRATION_LOG"))
            qInfo().noquote() << tech.Log().split(u'\n').filter(QStringLiteral("done")).join(u'\n');

        const CardErrors e = card.errors();
        const QString errors = meter() + u'\n' + tech.Log();
        for (int error : {e.adBipolarZero, e.adBipolarPlus, e.adBipolarMinus, e.adUnipolarZero, e.adUnipolarHigh,
                          e.dacLow[0], e.dacHigh[0], e.dacLow[1], e.dacHigh[1]})
            QVERIFY2(std::abs(error) <= 1, qPrintable(errors));
    }
};

QTEST_MAIN(TestCalibration)
#include "tst_calibration.moc"
