#include "CalibrationSession.h"

#include "CheckWindow.h"
#include "DriverCheck.h"
#include "LLTRVWDM.h"
#include "ClientArea.h"
#include "PopupForm.h"
#include "ReadoutVoice.h"
#include "ReportWindow.h"
#include "TrendChart.h"
#include "MainUnit.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QShortcut>

namespace {

// The highlights' popup windows on the screen now.
QList<TPopupForm *> VisiblePopups()
{
    QList<TPopupForm *> popups;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *popup = qobject_cast<TPopupForm *>(w); popup && popup->isVisible())
            popups << popup;
    return popups;
}

} // namespace

TCalibrationSession::TCalibrationSession(QWidget *owner, const TWizardView &view)
    : QObject(owner), FOwner(owner), FView(view), FVoice(new TReadoutVoice(view.ReadVolt))
{
    FTimer.setSingleShot(true);
    FTimer.setTimerType(Qt::PreciseTimer);
    connect(&FTimer, &QTimer::timeout, this, &TCalibrationSession::Wake);
    MakeKeys();
}

void TCalibrationSession::MakeKeys()
{
    auto key = [this](const QKeySequence &sequence, auto pressed) {
        auto *shortcut = new QShortcut(sequence, FOwner);
        shortcut->setContext(Qt::ApplicationShortcut);
        shortcut->setEnabled(false);
        connect(shortcut, &QShortcut::activated, this, pressed);
        FKeys << shortcut;
    };
    const QKeySequence buttonKeys[] = {QKeySequence(Qt::ALT | Qt::Key_N), QKeySequence(Qt::ALT | Qt::Key_P),
                                       QKeySequence(Qt::ALT | Qt::Key_Q)};
    for (qsizetype k = 0; k < FView.Buttons.size() && k < 3; ++k)
        key(buttonKeys[k], [button = FView.Buttons[k]] { button->click(); });
    key(QKeySequence(Qt::CTRL | Qt::Key_R), &TCalibrationSession::GoToRecord);
}

void TCalibrationSession::GoToRecord()
{
    ShowReport();
    FReportWindow->activateWindow();
}

void TCalibrationSession::Start(const TCardId &card)
{
    if (FRunning)
        return;
    FRunning = true;
    for (QShortcut *key : FKeys)
        key->setEnabled(true);
    LLTRVWDM::TakePortError(); // what failed before this calibration is not its own
    MainUnit.BaseAddress = card.base;
    FView.CardLabel->setText(QStringLiteral("Card: %1 at %2").arg(card.model, CardIO::FormatAddress(card.base)));
    FRecord.Begin(card, MainUnit.DACRange, RangesChosen());
    FLeftFirstStep = false;
    Restart();
    ShowReport(); // the new record, nothing of the last one
    After(CardIO::PassPauseMs, &TCalibrationSession::RunPass);
}

void TCalibrationSession::Restart()
{
    if (!FRunning)
        return;
    FView.InstPanel->show();
    FView.OutputPanel->show();
    MainUnit.CalibStep = 1;
    FReadFailing = false;
    FShownStep = 0;
    OfferChecks();
}

void TCalibrationSession::Next()
{
    ++MainUnit.CalibStep;
}

void TCalibrationSession::Prev()
{
    if (MainUnit.CalibStep > 1)
        --MainUnit.CalibStep;
}

void TCalibrationSession::Quit()
{
    MainUnit.CalibStep = CalibrationSteps::LastStep + 1;
}

void TCalibrationSession::After(unsigned ms, void (TCalibrationSession::*then)())
{
    FThen = then;
    FUntil = QDeadlineTimer(CardIO::ScaledWait(ms), Qt::PreciseTimer);
    FTimer.start(std::chrono::milliseconds(FUntil.remainingTime()));
}

void TCalibrationSession::Wake()
{
    // A timer may fire a little early: the wait is never shorter than asked.
    if (!FUntil.hasExpired()) {
        FTimer.start(std::chrono::milliseconds(std::max<qint64>(1, FUntil.remainingTime())));
        return;
    }
    (this->*FThen)();
}

void TCalibrationSession::RunPass()
{
    const int step = MainUnit.CalibStep;
    FPass.number = step;
    FPass.step.reset();
    if (FCheck) {
        FPass.point = FCheck->Current(MainUnit.DACRange);
    } else if (step == CalibrationSteps::LastStep) {
        StepComplete();
        if (FShownStep != step)
            ShowReport();
        FShownStep = step;
        EndPass();
        return;
    } else if (const std::optional<TMeasureStep> s = CalibrationSteps::MeasureStep(step, MainUnit.DACRange)) {
        BeginMeasure(*s);
    } else {
        EndPass(); // no step of that number: nothing runs
        return;
    }
    const uint16_t base = MainUnit.BaseAddress;
    if (FPass.point.Dac)
        CardIO::WriteDac(base, *FPass.point.Dac, FPass.point.DacCode);
    CardIO::SelectADInput(base, FPass.point.Code);
    if (StoppedByPortError())
        return;
    FPass.samples = std::make_unique<CardIO::TSampleSet>(FPass.point.Variant);
    After(CardIO::SettleMs, &TCalibrationSession::TakeSample);
}

void TCalibrationSession::BeginMeasure(const TMeasureStep &s)
{
    FPass.step = s;
    FPass.point = TTestPoint{};
    FPass.point.Dac = s.Dac;
    FPass.point.DacCode = s.DacCode;
    FPass.point.Code = s.Code;
    FPass.point.Variant = s.Variant;
    if (!FReadFailing)
        FView.CTitle->setText(s.Title);
    FView.CBody->setText(s.Body);
    FView.CBody2->setText(s.Body2);
    FView.PotMark->show();
    FView.PotMark->move(s.Mark, FView.PotMark->y());
    // Told once, when the pot marked changes.
    if (const QString marked = QStringLiteral("RP%1 marked").arg(s.Pot); FView.Image1->accessibleDescription() != marked)
        FView.Image1->setAccessibleDescription(marked);
}

void TCalibrationSession::TakeSample()
{
    CardIO::TSampleSet &samples = *FPass.samples;
    const bool failedBefore = samples.Failed();
    samples.Add(CardIO::TakeSample(MainUnit.BaseAddress, samples.WideStatus()));
    if (StoppedByPortError())
        return;
    if (samples.Failed() && !failedBefore) {
        // A reading with a missing sample is no measurement: it is never
        // shown as a number.
        ShowReadout(std::nullopt);
        FView.CTitle->setText(QStringLiteral("A/D FAILURE"));
    }
    // The next conversion after the events of this turn of the loop.
    if (!samples.Complete()) {
        After(0, &TCalibrationSession::TakeSample);
        return;
    }
    const std::optional<CardIO::TReading> reading = samples.Reading();
    if (reading)
        ShowReadout(reading);
    if (FPass.step)
        FinishMeasure(reading);
    else
        FinishCheck(reading);
    EndPass();
}

void TCalibrationSession::ShowReadout(const std::optional<CardIO::TReading> &reading)
{
    const CardIO::TReadout readout = CardIO::ReadoutOf(reading);
    FView.ReadCount->setText(readout.counts);
    FView.ReadVolt->setText(readout.volts);
    FVoice->Say(reading ? QStringLiteral("%1 counts, %2 volts").arg(readout.counts, readout.volts)
                        : QStringLiteral("A/D failure"));
}

void TCalibrationSession::FinishMeasure(const std::optional<CardIO::TReading> &reading)
{
    const TMeasureStep &s = *FPass.step;
    const int step = FPass.number;
    FReadFailing = !reading;
    // The pot may be turned now: what was checked of it as left is stale.
    if (step != 1)
        FLeftFirstStep = true;
    FRecord.PotAdjusted(s.Pot);
    // The trend starts afresh with each step; steps 5 to 8 take the target
    // of this pass.
    if (FShownStep != step)
        FView.TrendView->Reset(s.Target, s.Variant);
    else
        FView.TrendView->SetTarget(s.Target, s.Variant);
    FShownStep = step;
    FView.TrendView->show();
    if (!reading)
        return;
    FView.CTitle->setText(s.Title);
    FView.TrendView->Add(reading->volts, reading->counts);
}

void TCalibrationSession::FinishCheck(const std::optional<CardIO::TReading> &reading)
{
    const TTestPoint &point = FPass.point;
    std::optional<TMeasurement> measured;
    if (reading)
        measured = FCheck->Add(point, *reading);
    if (measured)
        FRecord.Measured(FCheck->Kind(), point, *measured, MainUnit.DACRange);
    if (FCheck->Finished()) {
        EndCheck();
        return;
    }
    // Once measured, the pass is at its next point, which has no reading yet.
    FCheckWindow->Show(*FCheck, FCheck->Current(MainUnit.DACRange));
    if (!measured)
        FCheckWindow->ShowReading(reading);
}

void TCalibrationSession::EndPass()
{
    // A range chosen during the calibration reaches the record too.
    FRecord.RangesInEffect(MainUnit.DACRange, RangesChosen());
    OfferChecks();
    if (MainUnit.CalibStep <= CalibrationSteps::LastStep)
        After(CardIO::PassPauseMs, &TCalibrationSession::RunPass);
    else
        Finish();
}

void TCalibrationSession::Finish()
{
    FRunning = false;
    for (QShortcut *key : FKeys)
        key->setEnabled(false);
    EndCheck();
    OfferChecks();
    FView.InstPanel->hide();
    FView.OutputPanel->hide();
    FView.PotMark->hide();
    FView.TrendView->hide();
    emit Ended();
}

std::array<bool, 2> TCalibrationSession::RangesChosen() const
{
    return FView.RangesChosen ? FView.RangesChosen() : std::array<bool, 2>{true, true};
}

bool TCalibrationSession::StoppedByPortError()
{
    const int error = LLTRVWDM::TakePortError();
    if (error == 0)
        return false;
    Finish();
    emit Failed(PortErrorText(error));
    return true;
}

void TCalibrationSession::StepComplete()
{
    FView.TrendView->hide();
    FView.CTitle->clear();
    FView.CBody->setText(QStringLiteral("Calibration is complete"));
    FView.CBody2->clear();
    FView.PotMark->hide();
}

void TCalibrationSession::StartCheck(TCheckKind kind)
{
    if (!FRunning || FCheck)
        return;
    // A second of readings per point, in the wizard's time.
    FCheck = std::make_unique<TCheckPass>(kind, CardIO::WaitScaleFactor());
    if (!FCheckWindow) {
        FCheckWindow = new TCheckWindow(FOwner);
        // The window's buttons reach whichever pass is running.
        connect(FCheckWindow, &TCheckWindow::RecordClicked, this, [this] { if (FCheck) FCheck->Confirm(); });
        connect(FCheckWindow, &TCheckWindow::SkipClicked, this, [this] { if (FCheck) FCheck->Skip(); });
        connect(FCheckWindow, &TCheckWindow::BackClicked, this, [this] { if (FCheck) FCheck->Back(); });
        connect(FCheckWindow, &TCheckWindow::StopClicked, this, [this] { if (FCheck) FCheck->Stop(); });
    }
    // Over the instruction panel, whose step waits meanwhile.
    FCheckWindow->move(FView.InstPanel->mapToGlobal(QPoint(0, 0)));
    FCheckWindow->Show(*FCheck, FCheck->Current(MainUnit.DACRange));
    FCheckWindow->raise();
    FCheckWindow->activateWindow();
    OfferChecks();
}

void TCalibrationSession::EndCheck()
{
    if (!FCheck)
        return;
    FCheck.reset();
    FCheckWindow->hide();
    FShownStep = 0; // the step's trend starts afresh when it resumes
    ShowReport();
}

void TCalibrationSession::OfferChecks()
{
    if (!FReportWindow)
        return;
    const bool free = FRunning && !FCheck;
    FReportWindow->OfferChecks(free && MainUnit.CalibStep == 1 && !FLeftFirstStep,
                               free && MainUnit.CalibStep == CalibrationSteps::LastStep);
}

void TCalibrationSession::ShowReport()
{
    if (!FReportWindow) {
        FReportWindow = new TReportWindow(FOwner, FRecord);
        connect(FReportWindow, &TReportWindow::CheckRequested, this, &TCalibrationSession::StartCheck);
        // The window manager raises the record as it takes the keys: the
        // popups go back above it.
        connect(FReportWindow, &TReportWindow::Activated, this, &TCalibrationSession::RaisePopups);
        // Right of the instruction panel and below the readout, which the
        // technician watches while turning a pot; clear of the wizard's
        // buttons and the readout, and if it can be, of the instructions
        // and the popups open (which stay above it anyway).
        QList<QRect> mustClear{ScreenRect(FView.OutputPanel)};
        for (const QWidget *button : FView.Buttons)
            mustClear << ScreenRect(button);
        // The popups stay above it: its own title bar and buttons must lie
        // clear of them.
        QList<QRect> popups;
        for (const TPopupForm *popup : VisiblePopups())
            popups << OuterGeometry(popup);
        const QWidget *inst = FView.InstPanel;
        const QWidget *output = FView.OutputPanel;
        FReportWindow->PlaceClearOf(QPoint(inst->mapToGlobal(QPoint(inst->width() + 8, 0)).x(),
                                           output->mapToGlobal(QPoint(0, output->height() + 8)).y()),
                                    mustClear, QList<QRect>{ScreenRect(FView.InstPanel)} + popups, popups);
    }
    FReportWindow->show();
    FReportWindow->raise();
    RaisePopups();
    OfferChecks();
}

void TCalibrationSession::RaisePopups()
{
    // Popups stay on top of the record, wherever the window manager's frame
    // makes it reach them: their buttons stay there to press.
    for (TPopupForm *popup : VisiblePopups())
        popup->raise();
}
