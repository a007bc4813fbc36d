// The calibration wizard against the simulated card: steps, buttons,
// ranges, the ending, the refusals, and one whole calibration played the
// way a technician would.
#include "Fonts.h"
#include "LLTRVWDM.h"
#include "ModalBoxes.h"
#include "template.h"
#include "trvwdm/sim/SimulatedCard.h"
#include "Wait.h"

#include <QtTest>
#include <functional>

using namespace trvsim;

namespace {

Card &TheCard() { return Machine::instance().card(0); }

// Runs the wizard from Begin Calibration; `tick` plays the user every
// 10 ms inside the wizard's own event processing. True when the wizard
// returned in time.
bool RunWizard(TMainForm &form, const std::function<void()> &tick, int timeoutMs = 60000)
{
    bool done = false;
    QTimer::singleShot(0, &form, [&] {
        form.CalibButtonClick();
        done = true;
    });
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, tick);
    ticker.start(10);
    return WaitFor([&] { return done; }, timeoutMs);
}

} // namespace

class TestCalibration : public QObject {
    Q_OBJECT

    std::unique_ptr<TMainForm> form;

private slots:
    void initTestCase()
    {
        RegisterFonts();
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

    void failedConversionsShowTheFailure()
    {
        TheCard().setConversionStuck(true);
        bool sawFailure = false;
        const bool ended = RunWizard(*form, [&] {
            // Between two samples the stars show; the pass's average replaces them.
            if (form->CTitle->text() == QStringLiteral("A/D FAILURE") && form->ReadCount->text() == QStringLiteral("0")) {
                sawFailure = true;
                QCOMPARE(form->ReadVolt->text(), QStringLiteral("0.000"));
                form->QuitClick();
            }
        });
        QVERIFY(ended);
        QVERIFY(sawFailure);
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

    // A technician with the card: for each step, wires pin 37 as the
    // instructions say and turns the named pot, halving its travel each
    // time a fresh reading is in, first to where the reading reaches the
    // target and then to where it passes it; settles in the middle of the
    // two and presses Next.
    void wholeCalibration()
    {
        Card &card = TheCard();
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
        bench->dacRange[0] = 5; // ±10 V, switches set to match the screen
        bench->dacRange[1] = 5;
        DACRange = {5, 5};
        const Pot pots[] = {Pot::RP1, Pot::RP2, Pot::RP3, Pot::RP3, Pot::RP5, Pot::RP6, Pot::RP7, Pot::RP8};
        const double targets[] = {0.0, 0.0, 9.9, 9.95, -9.9, 9.9, -9.9, 9.9};
        int step = 0, phase = 0;
        double lo = 0, hi = 1, reaches = 0;
        uint64_t readAfter = 0;
        auto wire = [&](int s) {
            const Pin37 to[] = {Pin37::Ground, Pin37::Ground, Pin37::Calibrator, Pin37::Calibrator,
                                Pin37::Dac0, Pin37::Dac0, Pin37::Dac1, Pin37::Dac1};
            bench->pin37 = int(to[s - 1]);
            bench->SetCalibrator(s == 3 ? 9.9 : 9.95);
        };
        auto turn = [&](double position) {
            bench->SetPot(int(pots[step - 1]), position);
            readAfter = card.conversions() + 10; // a whole pass after the turn
        };
        const bool ended = RunWizard(*form, [&] {
            if (CalibStep > 9)
                return;
            if (CalibStep != step) { // a new step: wire it and start turning
                step = CalibStep;
                if (step > 8)
                    return form->NextClick();
                wire(step);
                phase = 0;
                lo = 0;
                hi = 1;
                if (step != 4) // step 4 only asks to confirm
                    turn(0.5);
                readAfter = card.conversions() + 10;
                return;
            }
            if (card.conversions() < readAfter)
                return;
            if (!form->CTitle->text().endsWith(QStringLiteral("RP%1").arg(step == 4 ? 3 : step)))
                return; // that pass was still the previous step's
            const double read = form->ReadVolt->text().toDouble();
            const double target = targets[step - 1];
            if (step == 4 || phase == 2)
                return form->NextClick();
            if (hi - lo < 1e-5) {
                // Step 2's reading moves in steps of 5 counts: one edge is all it shows.
                if (phase == 0 && step != 2) {
                    reaches = (lo + hi) / 2;
                    phase = 1;
                    lo = 0;
                    hi = 1;
                    return turn(0.5);
                }
                phase = 2;
                return turn(step == 2 ? (lo + hi) / 2 : (reaches + (lo + hi) / 2) / 2);
            }
            const bool low = step == 2 || phase == 1 ? read <= target : read < target;
            (low ? lo : hi) = bench->Pot(int(pots[step - 1]));
            turn((lo + hi) / 2);
        }, 240000);
        QVERIFY(ended);
        QCOMPARE(CalibStep, 10);
        if (const char *name = std::getenv("TRVWDM_SIM_SHM"))
            SharedState::Remove(name);

        // Judge the card without noise against an ideal one.
        card.setNoise(0);
        auto adError = [&](uint16_t select, double volts) {
            card.setPin37(Pin37::Calibrator);
            card.setCalibratorVolts(volts);
            card.write16(reg::AdSelect, select);
            return card.trueCounts() - card.idealCounts();
        };
        QVERIFY(std::abs(adError(0, 0.0)) <= 1);
        QVERIFY(std::abs(adError(0, 9.9)) <= 1);
        QVERIFY(std::abs(adError(0, -9.9)) <= 1);
        // The unipolar zero can be set only as finely as step 2's display
        // shows it: five counts.
        QVERIFY(std::abs(adError(4, 0.05)) <= 5);
        const double dacCount = 20.0 / 4096;
        for (int dac = 0; dac < 2; ++dac) {
            card.write16(dac ? reg::Dac1 : reg::Dac0, 20);
            const double low = -10.0 + 20 * 20.0 / 4096;
            QVERIFY2(std::abs(card.dacVolts(dac) - low) <= dacCount, qPrintable(QString::number(card.dacVolts(dac) - low)));
            card.write16(dac ? reg::Dac1 : reg::Dac0, 4076);
            const double high = -10.0 + 4076 * 20.0 / 4096;
            // Full scale is read through the unipolar A/D, so it carries that zero.
            QVERIFY2(std::abs(card.dacVolts(dac) - high) <= 3 * dacCount, qPrintable(QString::number(card.dacVolts(dac) - high)));
        }
    }
};

QTEST_MAIN(TestCalibration)
#include "tst_calibration.moc"
