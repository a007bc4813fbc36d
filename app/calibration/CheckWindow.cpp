#include "CheckWindow.h"

#include "TrendChart.h"

#include <QCloseEvent>
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
    TitleLabel = label(QStringLiteral("TitleLabel"));
    QFont bold = TitleLabel->font();
    bold.setBold(true);
    TitleLabel->setFont(bold);
    InputLabel = label(QStringLiteral("InputLabel"));
    TargetLabel = label(QStringLiteral("TargetLabel"));
    ReadingLabel = label(QStringLiteral("ReadingLabel"));
    Trend = new TTrendView(this);
    Trend->setObjectName(QStringLiteral("Trend"));
    Trend->setFixedSize(300, 80);
    layout->addWidget(Trend);
    StatusLabel = label(QStringLiteral("StatusLabel"));
    auto *buttons = new QHBoxLayout;
    auto button = [&](const QString &name, const QString &text, void (TCheckWindow::*clicked)()) {
        auto *b = new QPushButton(text, this);
        b->setObjectName(name);
        b->setAutoDefault(false);
        buttons->addWidget(b);
        connect(b, &QPushButton::clicked, this, clicked);
        return b;
    };
    RecordButton = button(QStringLiteral("RecordButton"), QStringLiteral("&Record"), &TCheckWindow::RecordClicked);
    SkipButton = button(QStringLiteral("SkipButton"), QStringLiteral("&Skip"), &TCheckWindow::SkipClicked);
    BackButton = button(QStringLiteral("BackButton"), QStringLiteral("&Back"), &TCheckWindow::BackClicked);
    StopButton = button(QStringLiteral("StopButton"), QStringLiteral("S&top"), &TCheckWindow::StopClicked);
    layout->addLayout(buttons);
    setFixedWidth(330);
}

void TCheckWindow::Show(const TCheckPass &pass, const TTestPoint &point)
{
    const QString kind = pass.Kind() == TCheckKind::AsFound ? QStringLiteral("as found") : QStringLiteral("as left");
    setWindowTitle(QStringLiteral("Check %1").arg(kind));
    TitleLabel->setText(QStringLiteral("Check %1: point %2 (RP%3), %4 of %5")
                            .arg(kind, point.Name).arg(point.Pot).arg(pass.Index() + 1).arg(pass.Count()));
    InputLabel->setText(point.Input);
    TargetLabel->setText(QStringLiteral("It should read %1 V, within %2. Turn no pot.")
                             .arg(CalibrationSteps::TargetText(point), point.ToleranceText));
    if (FShownPoint != point.Name || !isVisible()) {
        FShownPoint = point.Name;
        Trend->Reset(point.Target, point.Variant);
        ReadingLabel->setText(QStringLiteral("Reading: none yet"));
    }
    StatusLabel->setText(pass.Collecting() ? QStringLiteral("Recording: hold the input steady.")
                                           : QStringLiteral("Connect as above, then press Record."));
    RecordButton->setEnabled(!pass.Collecting());
    BackButton->setEnabled(pass.Index() > 0);
    if (!isVisible())
        show();
}

void TCheckWindow::ShowReading(const std::optional<CardIO::TReading> &reading)
{
    if (!reading) {
        ReadingLabel->setText(QStringLiteral("Reading: A/D FAILURE"));
        return;
    }
    ReadingLabel->setText(QStringLiteral("Reading: %1 counts, %2 V")
                              .arg(CardIO::FormatCounts(reading->counts), CardIO::FormatVolts(reading->volts)));
    Trend->Add(reading->volts, reading->counts);
}

void TCheckWindow::closeEvent(QCloseEvent *event)
{
    emit StopClicked();
    QDialog::closeEvent(event);
}
