#include "CheckWindow.h"

#include "TrendChart.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TCheckWindow::TCheckWindow(QWidget *owner) : QDialog(owner)
{
    setObjectName(QStringLiteral("CheckWindow"));
    setModal(false);
    setWindowFlag(Qt::WindowStaysOnTopHint);
    auto *layout = new QVBoxLayout(this);
    auto label = [&](const QString &name) {
        auto *l = new QLabel(this);
        l->setObjectName(name);
        l->setWordWrap(true);
        layout->addWidget(l);
        return l;
    };
    FTitleLabel = label(QStringLiteral("TitleLabel"));
    QFont bold = FTitleLabel->font();
    bold.setBold(true);
    FTitleLabel->setFont(bold);
    FInputLabel = label(QStringLiteral("InputLabel"));
    FTargetLabel = label(QStringLiteral("TargetLabel"));
    FReadingLabel = label(QStringLiteral("ReadingLabel"));
    FTrend = new TTrendView(this);
    FTrend->setObjectName(QStringLiteral("Trend"));
    FTrend->setFixedSize(300, 80);
    layout->addWidget(FTrend);
    FStatusLabel = label(QStringLiteral("StatusLabel"));
    FNoteLabel = label(QStringLiteral("NoteLabel"));
    FNoteLabel->hide();
    auto *buttons = new QHBoxLayout;
    auto button = [&](const QString &name, const QString &text, void (TCheckWindow::*clicked)()) {
        auto *b = new QPushButton(text, this);
        b->setObjectName(name);
        b->setAutoDefault(false);
        buttons->addWidget(b);
        connect(b, &QPushButton::clicked, this, clicked);
        return b;
    };
    FRecordButton = button(QStringLiteral("RecordButton"), QStringLiteral("&Record"), &TCheckWindow::RecordClicked);
    FSkipButton = button(QStringLiteral("SkipButton"), QStringLiteral("&Skip"), &TCheckWindow::SkipClicked);
    FBackButton = button(QStringLiteral("BackButton"), QStringLiteral("&Back"), &TCheckWindow::BackClicked);
    FStopButton = button(QStringLiteral("StopButton"), QStringLiteral("S&top"), &TCheckWindow::StopClicked);
    layout->addLayout(buttons);
    setFixedWidth(330);
}

void TCheckWindow::Show(const TCheckPass &pass, const TTestPoint &point)
{
    const QString kind = pass.Kind() == TCheckKind::AsFound ? QStringLiteral("as found") : QStringLiteral("as left");
    setWindowTitle(QStringLiteral("Check %1").arg(kind));
    FTitleLabel->setText(QStringLiteral("Check %1: point %2 (RP%3), %4 of %5")
                            .arg(kind, point.Name).arg(point.Pot).arg(pass.Index() + 1).arg(pass.Count()));
    FInputLabel->setText(point.Input);
    FTargetLabel->setText(QStringLiteral("It should read %1 V, within %2. Turn no pot.")
                             .arg(CalibrationSteps::TargetText(point), point.ToleranceText));
    if (!FShownPoint || FShownPoint->Name != point.Name || !isVisible()) {
        FTrend->Reset(point.Target, point.Variant);
        FReadingLabel->setText(QStringLiteral("Reading: none yet"));
        FNoteLabel->hide();
    }
    FShownPoint = point;
    FStatusLabel->setText(pass.Collecting() ? QStringLiteral("Recording: hold the input steady.")
                                           : QStringLiteral("Connect as above, then press Record."));
    FRecordButton->setEnabled(!pass.Collecting());
    FBackButton->setEnabled(pass.Index() > 0);
    if (!isVisible())
        show();
}

void TCheckWindow::ShowReading(const std::optional<CardIO::TReading> &reading)
{
    if (!reading) {
        FReadingLabel->setText(QStringLiteral("Reading: A/D FAILURE"));
        return;
    }
    FReadingLabel->setText(QStringLiteral("Reading: %1 counts, %2 V")
                              .arg(CardIO::FormatCounts(reading->counts), CardIO::FormatVolts(reading->volts)));
    FTrend->Add(reading->volts, reading->counts);
    const std::vector<uint8_t> likely = FShownPoint ? LikelyRanges(*FShownPoint, reading->volts) : std::vector<uint8_t>{};
    if (!likely.empty())
        FNoteLabel->setText(RangeNote(*FShownPoint, likely));
    FNoteLabel->setVisible(!likely.empty());
}

void TCheckWindow::reject()
{
    emit StopClicked();
    QDialog::reject();
}
