// TMainForm's calibration wizard and card identification.
#include "CalibrationSteps.h"
#include "CheckWindow.h"
#include "ClientArea.h"
#include "LLTRVWDM.h"
#include "MessageBox.h"
#include "PopupForm.h"
#include "ReportWindow.h"
#include "TrendChart.h"
#include "template.h"

#include <QApplication>
#include <QCloseEvent>

namespace {

constexpr uint32_t DeviceRZ4070 = 0x6D21;
constexpr uint32_t DeviceRZ4070A = 0x6D22;

void ProcessPendingEvents()
{
    QCoreApplication::processEvents();
}

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

QString TMainForm::SetSupGetCardString(QObject *, int CardIndex)
{
    uint32_t deviceId = 0, base = 0;
    if (!LLTRVWDM::QueryCardInfo(CardIndex, &deviceId, &base))
        return QString();
    QString model;
    if (deviceId == DeviceRZ4070)
        model = QStringLiteral("PCI-RZ4070    Analog Input/Output Card");
    else if (deviceId == DeviceRZ4070A)
        model = QStringLiteral("PCI-RZ4070A   Analog Input/Output Card (With FIFOs)");
    else
        return QString(); // another kind of card never becomes the wizard's target
    const QString baseText = CardIO::FormatAddress(base);
    if (base > 0xFFFF) {
        // Listed as it is, but never driven at a truncated address.
        FUnaddressableCard = model.section(u' ', 0, 0) + QStringLiteral(" at base address ") + baseText;
    } else {
        MainUnit.BaseAddress = uint16_t(base);
        FCardModel = model.section(u' ', 0, 0);
        const TCardId card{FCardModel, MainUnit.BaseAddress};
        const auto same = std::find_if(FCards.begin(), FCards.end(), [&](const TCardId &c) { return c.base == card.base; });
        if (same != FCards.end())
            *same = card;
        else
            FCards.push_back(card);
    }
    return model + QStringLiteral("\r\nBase Address: ") + baseText;
}

void TMainForm::CalibButtonClick()
{
    if (MainUnit.BaseAddress == 0 && !FUnaddressableCard.isEmpty()) {
        ShowMessageBox(this, QMessageBox::Warning, QStringLiteral("Calibration"),
                       QStringLiteral("The %1 lies above the 16-bit I/O ports that Setup drives, so it "
                                      "cannot be calibrated here.").arg(FUnaddressableCard),
                       QMessageBox::Ok);
        return;
    }
    if (MainUnit.BaseAddress == 0) {
        // Without a card the registers would be the machine's ports 0 to 15.
        ShowMessageBox(this, QMessageBox::Warning, QStringLiteral("Calibration"),
                       QStringLiteral("No PCI-RZ4070(A) card was found, so there is nothing to calibrate.\n\n"
                                      "Install the card and its driver, then run this program again."),
                       QMessageBox::Ok);
        return;
    }
    if (FWizards == 0 && !ChooseCard())
        return;
    InstPanel->show();
    OutputPanel->show();
    CardLabel->setText(QStringLiteral("Card: %1 at %2").arg(FCardModel, CardIO::FormatAddress(MainUnit.BaseAddress)));
    MainUnit.CalibStep = 1;
    FReadFailing = false;
    if (FWizards++ == 0) { // a wizard started inside another goes on with its record
        FRecord.Begin({FCardModel, MainUnit.BaseAddress}, MainUnit.DACRange);
        FLeftFirstStep = false;
        ShowReport(); // the new record, nothing of the last one
    }
    FShownStep = 0;
    do {
        ProcessPendingEvents();
        CardIO::WaitMs(50);
        if (FCheck)
            RunCheckPass();
        else
            RunStep(MainUnit.CalibStep);
        // A range chosen during the calibration reaches the record too.
        if (FRecord.RangesInEffect(MainUnit.DACRange) && ReportWindow)
            ReportWindow->Refresh();
        OfferChecks();
    } while (MainUnit.CalibStep <= CalibrationSteps::LastStep);
    if (--FWizards == 0) {
        EndCheck();
        OfferChecks();
    }
    InstPanel->hide();
    OutputPanel->hide();
    PotMark->hide();
    TrendView->hide();
}

void TMainForm::NextClick()
{
    ++MainUnit.CalibStep;
}

void TMainForm::PrevClick()
{
    if (MainUnit.CalibStep > 1)
        --MainUnit.CalibStep;
}

void TMainForm::QuitClick()
{
    MainUnit.CalibStep = CalibrationSteps::LastStep + 1;
}

void TMainForm::closeEvent(QCloseEvent *event)
{
    QuitClick();
    QMainWindow::closeEvent(event);
}

void TMainForm::RunStep(int step)
{
    if (step == CalibrationSteps::LastStep) {
        StepComplete();
        if (FShownStep != step)
            ShowReport();
        FShownStep = step;
        return;
    }
    const std::optional<TMeasureStep> s = CalibrationSteps::MeasureStep(step, MainUnit.DACRange);
    if (!s)
        return;
    if (!FReadFailing)
        CTitle->setText(s->Title);
    CBody->setText(s->Body);
    CBody2->setText(s->Body2);
    PotMark->show();
    PotMark->move(s->Mark, PotMark->y());
    Image1->setAccessibleDescription(QStringLiteral("RP%1 marked").arg(s->Pot));
    const std::optional<CardIO::TReading> reading = DriveAndRead(s->Dac, s->DacCode, s->Code, s->Variant);
    FReadFailing = !reading;
    // The pot may be turned now: what was checked of it as left is stale.
    if (step != 1)
        FLeftFirstStep = true;
    if (FRecord.PotAdjusted(s->Pot) && ReportWindow)
        ReportWindow->Refresh();
    // The trend starts afresh with each step; steps 5 to 8 take the target
    // of this pass.
    if (FShownStep != step)
        TrendView->Reset(s->Target, s->Variant);
    else
        TrendView->SetTarget(s->Target, s->Variant);
    FShownStep = step;
    TrendView->show();
    if (!reading)
        return;
    CTitle->setText(s->Title);
    TrendView->Add(reading->volts, reading->counts);
}

void TMainForm::StartCheck(TCheckKind kind)
{
    if (FWizards == 0 || FCheck)
        return;
    // A second of readings per point, in the wizard's time.
    FCheck = std::make_shared<TCheckPass>(kind, CardIO::WaitScaleFactor());
    if (!CheckWindow) {
        CheckWindow = new TCheckWindow(this);
        // The window's buttons reach whichever pass is running.
        connect(CheckWindow, &TCheckWindow::RecordClicked, this, [this] { if (FCheck) FCheck->Confirm(); });
        connect(CheckWindow, &TCheckWindow::SkipClicked, this, [this] { if (FCheck) FCheck->Skip(); });
        connect(CheckWindow, &TCheckWindow::BackClicked, this, [this] { if (FCheck) FCheck->Back(); });
        connect(CheckWindow, &TCheckWindow::StopClicked, this, [this] { if (FCheck) FCheck->Stop(); });
    }
    // Over the instruction panel, whose step waits meanwhile.
    CheckWindow->move(InstPanel->mapToGlobal(QPoint(0, 0)));
    CheckWindow->Show(*FCheck, FCheck->Current(MainUnit.DACRange));
    CheckWindow->raise();
    CheckWindow->activateWindow();
    OfferChecks();
}

void TMainForm::RunCheckPass()
{
    // Held here: a nested wizard may end the pass while this one reads.
    const std::shared_ptr<TCheckPass> check = FCheck;
    const TTestPoint point = check->Current(MainUnit.DACRange);
    const std::optional<CardIO::TReading> reading = DriveAndRead(point.Dac, point.DacCode, point.Code, point.Variant);
    std::optional<TMeasurement> measured;
    if (reading)
        measured = check->Add(point, *reading);
    if (measured) {
        FRecord.Measured(check->Kind(), point, *measured, MainUnit.DACRange);
        ReportWindow->Refresh();
    }
    if (check->Finished()) {
        EndCheck();
        return;
    }
    if (check != FCheck)
        return;
    // Once measured, the pass is at its next point, which has no reading yet.
    CheckWindow->Show(*check, check->Current(MainUnit.DACRange));
    if (!measured)
        CheckWindow->ShowReading(reading);
}

void TMainForm::EndCheck()
{
    if (!FCheck)
        return;
    FCheck.reset();
    CheckWindow->hide();
    FShownStep = 0; // the step's trend starts afresh when it resumes
    ShowReport();
}

void TMainForm::OfferChecks()
{
    if (!ReportWindow)
        return;
    const bool free = FWizards > 0 && !FCheck;
    ReportWindow->OfferChecks(free && MainUnit.CalibStep == 1 && !FLeftFirstStep,
                              free && MainUnit.CalibStep == CalibrationSteps::LastStep);
}

bool TMainForm::ChooseCard()
{
    if (FCards.size() < 2)
        return true;
    QStringList items;
    for (const TCardId &card : FCards)
        items << CardText(card);
    // The last card listed is the one the wizard drives without a choice.
    // Asked from the active window (the Calibration popup, which stays on
    // top), so that every window manager stacks the question above it.
    QWidget *asking = QApplication::activeWindow() ? QApplication::activeWindow() : this;
    const std::optional<int> chosen = AskForItem(asking, QStringLiteral("Calibration"),
                                                 QStringLiteral("Calibrate which card?"), items, int(items.size()) - 1);
    if (!chosen)
        return false;
    const TCardId &card = FCards[size_t(*chosen)];
    MainUnit.BaseAddress = card.base;
    FCardModel = card.model;
    return true;
}

void TMainForm::ShowReport()
{
    if (!ReportWindow) {
        ReportWindow = new TReportWindow(this, FRecord);
        connect(ReportWindow, &TReportWindow::CheckRequested, this, &TMainForm::StartCheck);
        // Right of the instruction panel and below the readout, which the
        // technician watches while turning a pot; clear of the wizard's
        // buttons and the readout, and if it can be, of the instructions
        // and the popups open (which stay above it anyway).
        QList<QRect> popups{ScreenRect(InstPanel)};
        for (const TPopupForm *popup : VisiblePopups())
            popups << OuterGeometry(popup);
        ReportWindow->PlaceClearOf(QPoint(InstPanel->mapToGlobal(QPoint(InstPanel->width() + 8, 0)).x(),
                                          OutputPanel->mapToGlobal(QPoint(0, OutputPanel->height() + 8)).y()),
                                   {ScreenRect(Next), ScreenRect(Prev), ScreenRect(Quit), ScreenRect(OutputPanel)}, popups);
    }
    ReportWindow->Refresh();
    ReportWindow->show();
    ReportWindow->raise();
    // Popups stay on top of it where it reaches them: their buttons stay
    // there to press.
    for (TPopupForm *popup : VisiblePopups())
        if (OuterGeometry(popup).intersects(OuterGeometry(ReportWindow)))
            popup->raise();
    OfferChecks();
}

void TMainForm::StepComplete()
{
    TrendView->hide();
    CTitle->clear();
    CBody->setText(QStringLiteral("Calibration is complete"));
    CBody2->clear();
    PotMark->hide();
}

std::optional<CardIO::TReading> TMainForm::DriveAndRead(std::optional<int> dac, uint16_t dacCode, uint16_t code,
                                                        CardIO::TVariant variant)
{
    if (dac)
        LLTRVWDM::OutPort(MainUnit.BaseAddress + CardIO::DacOutput0 + 2 * *dac, dacCode);
    CardIO::SelectADInput(MainUnit.BaseAddress, code);
    return ReadAverage(variant);
}

std::optional<CardIO::TReading> TMainForm::ReadAverage(CardIO::TVariant variant)
{
    CardIO::TAverage average(variant);
    std::array<int32_t, CardIO::SamplesPerReading> samples{};
    bool failed = false;
    for (int i = 0; i < CardIO::SamplesPerReading; ++i) {
        if (const std::optional<uint16_t> sample = CardIO::TakeSample(MainUnit.BaseAddress, average.WideStatus())) {
            average.Add(*sample);
            samples[size_t(i)] = CardIO::SampleCounts(variant, *sample);
        } else if (!failed) {
            // A reading with a missing sample is no measurement: it is
            // never shown as a number.
            failed = true;
            ReadCount->setText(QStringLiteral("****"));
            ReadVolt->setText(QStringLiteral("******"));
            CTitle->setText(QStringLiteral("A/D FAILURE"));
        }
        ProcessPendingEvents();
    }
    if (failed)
        return std::nullopt;
    ReadCount->setText(CardIO::FormatCounts(average.Counts()));
    ReadVolt->setText(CardIO::FormatVolts(average.Volts()));
    return CardIO::TReading{average.Counts(), average.Volts(), samples};
}
