// TMainForm's calibration wizard and card identification.
#include "CalibrationSteps.h"
#include "LLTRVWDM.h"
#include "MessageBox.h"
#include "ReportWindow.h"
#include "TrendChart.h"
#include "template.h"

#include <QCloseEvent>

namespace {

constexpr uint32_t DeviceRZ4070 = 0x6D21;
constexpr uint32_t DeviceRZ4070A = 0x6D22;

void ProcessPendingEvents()
{
    QCoreApplication::processEvents();
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
    const QString baseText = QStringLiteral("%1").arg(base, 4, 16, QLatin1Char('0')).toUpper();
    if (base > 0xFFFF) {
        // Listed as it is, but never driven at a truncated address.
        FUnaddressableCard = model.section(u' ', 0, 0) + QStringLiteral(" at base address ") + baseText;
    } else {
        BaseAddress = uint16_t(base);
        FCardModel = model.section(u' ', 0, 0);
    }
    return model + QStringLiteral("\r\nBase Address: ") + baseText;
}

void TMainForm::CalibButtonClick()
{
    if (BaseAddress == 0 && !FUnaddressableCard.isEmpty()) {
        ShowMessageBox(this, QMessageBox::Warning, QStringLiteral("Calibration"),
                       QStringLiteral("The %1 lies above the 16-bit I/O ports that Setup drives, so it "
                                      "cannot be calibrated here.").arg(FUnaddressableCard),
                       QMessageBox::Ok);
        return;
    }
    if (BaseAddress == 0) {
        // Without a card the registers would be the machine's ports 0 to 15.
        ShowMessageBox(this, QMessageBox::Warning, QStringLiteral("Calibration"),
                       QStringLiteral("No PCI-RZ4070(A) card was found, so there is nothing to calibrate.\n\n"
                                      "Install the card and its driver, then run this program again."),
                       QMessageBox::Ok);
        return;
    }
    InstPanel->show();
    OutputPanel->show();
    CalibStep = 1;
    FReadFailing = false;
    if (FWizards++ == 0) // a wizard started inside another goes on with its record
        FRecord.Begin(DACRange);
    FShownStep = 0;
    do {
        ProcessPendingEvents();
        CardIO::WaitMs(50);
        RunStep(CalibStep);
    } while (CalibStep <= CalibrationSteps::LastStep);
    --FWizards;
    InstPanel->hide();
    OutputPanel->hide();
    PotMark->hide();
    TrendView->hide();
}

void TMainForm::NextClick()
{
    FRecord.Next(CalibStep);
    ++CalibStep;
}

void TMainForm::PrevClick()
{
    if (CalibStep > 1)
        --CalibStep;
}

void TMainForm::QuitClick()
{
    CalibStep = CalibrationSteps::LastStep + 1;
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
    const std::optional<TMeasureStep> s = CalibrationSteps::MeasureStep(step, DACRange);
    if (!s)
        return;
    if (!FReadFailing)
        CTitle->setText(s->Title);
    CBody->setText(s->Body);
    CBody2->setText(s->Body2);
    PotMark->show();
    PotMark->move(s->Mark, PotMark->y());
    if (s->Dac)
        LLTRVWDM::OutPort(BaseAddress + CardIO::DacOutput0 + 2 * *s->Dac, s->DacCode);
    CardIO::SelectADInput(BaseAddress, s->Code);
    const std::optional<CardIO::TReading> reading = ReadAverage(s->Variant);
    FReadFailing = !reading;
    // The trend starts afresh with each step; steps 5 to 8 take the target
    // of this pass.
    const double perCount = CardIO::VoltsPerCount(s->Variant);
    if (FShownStep != step)
        TrendView->Reset(s->Target, perCount);
    else
        TrendView->SetTarget(s->Target, perCount);
    FShownStep = step;
    TrendView->show();
    if (!reading)
        return;
    CTitle->setText(s->Title);
    FRecord.Reading(step, *s, *reading);
    TrendView->Add(reading->volts);
}

void TMainForm::ShowReport()
{
    if (!ReportWindow)
        ReportWindow = new TReportWindow(this);
    ReportWindow->Show({QDateTime::currentDateTime(), FCardModel, BaseAddress}, FRecord.Rows());
    // Beside the instruction panel.
    const QPoint corner = InstPanel->mapToGlobal(QPoint(InstPanel->width() + 8, 0));
    ReportWindow->move(corner);
}

void TMainForm::StepComplete()
{
    TrendView->hide();
    CTitle->clear();
    CBody->setText(QStringLiteral("Calibration is complete"));
    CBody2->clear();
    PotMark->hide();
}

std::optional<CardIO::TReading> TMainForm::ReadAverage(CardIO::TVariant variant)
{
    CardIO::TAverage average(variant);
    bool failed = false;
    for (int i = 0; i < CardIO::SamplesPerReading; ++i) {
        if (const std::optional<uint16_t> sample = CardIO::TakeSample(BaseAddress, average.WideStatus())) {
            average.Add(*sample);
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
    return CardIO::TReading{average.Counts(), average.Volts()};
}
