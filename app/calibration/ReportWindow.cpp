#include "ReportWindow.h"

#include "ClientArea.h"
#include "FrameWatch.h"
#include "MessageBox.h"
#include "SafeSave.h"

#include <QApplication>
#include <algorithm>
#include <QBuffer>
#include <QClipboard>
#include <QFileDialog>
#include <QFormLayout>
#include <QKeyEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QValidator>
#include <QVBoxLayout>

namespace {

const QSize NaturalSize(640, 440);

// Refuses what the record would not keep as typed: control characters.
class TTypedTextValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString &input, int &) const override
    {
        return TCalibrationRecord::TypedText(input) == input ? Acceptable : Invalid;
    }
};
const QSize SmallestSize(400, 320);

} // namespace

TReportWindow::TReportWindow(QWidget *owner, TRecordModel &record)
    : QDialog(owner), FModel(record), FRecord(record.Record())
{
    setObjectName(QStringLiteral("ReportWindow"));
    setWindowTitle(QStringLiteral("Calibration record"));
    setModal(false);
    // Above the help and support windows, which stay on top as well.
    setWindowFlag(Qt::WindowStaysOnTopHint);
    auto *layout = new QVBoxLayout(this);
    auto *form = new QFormLayout;
    CardLabel = new QLabel(this);
    DateLabel = new QLabel(this);
    LeftLabel = new QLabel(this);
    RangesLabel = new QLabel(this);
    OperatorEdit = new QLineEdit(this);
    InstrumentsEdit = new QLineEdit(this);
    OperatorEdit->setValidator(new TTypedTextValidator(OperatorEdit));
    InstrumentsEdit->setValidator(new TTypedTextValidator(InstrumentsEdit));
    VerdictLabel = new QLabel(this);
    QFont bold = VerdictLabel->font();
    bold.setBold(true);
    VerdictLabel->setFont(bold);
    form->addRow(QStringLiteral("Card:"), CardLabel);
    form->addRow(QStringLiteral("Date and time:"), DateLabel);
    form->addRow(QStringLiteral("Checked as left:"), LeftLabel);
    form->addRow(QStringLiteral("DAC ranges:"), RangesLabel);
    form->addRow(QStringLiteral("Op&erator:"), OperatorEdit);
    form->addRow(QStringLiteral("&Reference instruments:"), InstrumentsEdit);
    form->addRow(QStringLiteral("Verdict:"), VerdictLabel);
    layout->addLayout(form);
    Table = new QPlainTextEdit(this);
    Table->setObjectName(QStringLiteral("Table"));
    Table->setReadOnly(true);
    Table->setLineWrapMode(QPlainTextEdit::NoWrap);
    QFont mono(QStringLiteral("DejaVu Sans Mono"));
    mono.setStyleHint(QFont::Monospace);
    mono.setPointSize(8);
    Table->setFont(mono);
    Table->setAccessibleName(QStringLiteral("Test points"));
    layout->addWidget(Table, 1);
    auto *buttons = new QGridLayout;
    auto button = [&](const QString &name, const QString &text, int row, int column) {
        auto *b = new QPushButton(text, this);
        b->setObjectName(name);
        b->setAutoDefault(false);
        buttons->addWidget(b, row, column);
        return b;
    };
    AsFoundButton = button(QStringLiteral("AsFoundButton"), QStringLiteral("Check as &found…"), 0, 0);
    AsLeftButton = button(QStringLiteral("AsLeftButton"), QStringLiteral("Check as &left…"), 0, 1);
    CopyButton = button(QStringLiteral("CopyButton"), QStringLiteral("&Copy"), 0, 2);
    PdfButton = button(QStringLiteral("PdfButton"), QStringLiteral("Save as &PDF…"), 1, 0);
    CsvButton = button(QStringLiteral("CsvButton"), QStringLiteral("Save as C&SV…"), 1, 1);
    CloseButton = button(QStringLiteral("CloseButton"), QStringLiteral("Cl&ose"), 1, 2);
    layout->addLayout(buttons);
    OfferChecks(false, false);

    connect(&FModel, &TRecordModel::Changed, this, &TReportWindow::Refresh);
    connect(OperatorEdit, &QLineEdit::textEdited, &FModel, &TRecordModel::SetOperator);
    connect(InstrumentsEdit, &QLineEdit::textEdited, &FModel, &TRecordModel::SetInstruments);
    connect(AsFoundButton, &QPushButton::clicked, this, [this] { emit CheckRequested(TCheckKind::AsFound); });
    connect(AsLeftButton, &QPushButton::clicked, this, [this] { emit CheckRequested(TCheckKind::AsLeft); });
    // Asks for a file name, then saves with `save`.
    auto saveAs = [this](const QString &what, const QString &name, bool (TReportWindow::*save)(const QString &)) {
        const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save as %1").arg(what), name,
                                                          QStringLiteral("%1 (*.%2)").arg(what, what.toLower()));
        if (!path.isEmpty())
            (this->*save)(path);
    };
    connect(PdfButton, &QPushButton::clicked, this,
            [saveAs] { saveAs(QStringLiteral("PDF"), QStringLiteral("calibration-record.pdf"), &TReportWindow::SavePdf); });
    connect(CsvButton, &QPushButton::clicked, this,
            [saveAs] { saveAs(QStringLiteral("CSV"), QStringLiteral("calibration-record.csv"), &TReportWindow::SaveCsv); });
    connect(CopyButton, &QPushButton::clicked, this, [this] { QApplication::clipboard()->setText(Text()); });
    connect(CloseButton, &QPushButton::clicked, this, &QDialog::hide);
    connect(new TFrameWatch(this), &TFrameWatch::FrameChanged, this, &TReportWindow::HoldOnScreen);

    resize(NaturalSize);
    Refresh();
}

void TReportWindow::PlaceClearOf(const QPoint &preferred, const QList<QRect> &mustClear, const QList<QRect> &ratherClear)
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    // The window manager has not framed the window yet: its frame is taken
    // to be the owner's.
    const QMargins frame = FrameMargins(parentWidget() ? parentWidget()->window() : this);
    const QRect area = screen->availableGeometry();
    const QSize room(area.right() + 1 - preferred.x(), area.bottom() + 1 - preferred.y());
    resize(NaturalSize.boundedTo(room.shrunkBy(frame)).expandedTo(SmallestSize).boundedTo(area.size().shrunkBy(frame)));
    const QSize outer = size().grownBy(frame);
    QPoint p = ClearPlace(outer, area, preferred, mustClear + ratherClear);
    if (std::any_of(mustClear.begin(), mustClear.end(), [&](const QRect &r) { return r.intersects(QRect(p, outer)); }))
        p = ClearPlace(outer, area, preferred, mustClear);
    move(p);
}

void TReportWindow::Refresh()
{
    CardLabel->setText(CardText(FRecord.Card()));
    DateLabel->setText(StartedText(FRecord));
    LeftLabel->setText(CheckedAsLeftText(FRecord));
    RangesLabel->setText(RangesText(FRecord.Ranges()));
    if (OperatorEdit->text() != FRecord.Operator())
        OperatorEdit->setText(FRecord.Operator());
    if (InstrumentsEdit->text() != FRecord.Instruments())
        InstrumentsEdit->setText(FRecord.Instruments());
    VerdictLabel->setText(VerdictName(FRecord.Verdict()));
    Table->setPlainText(Text());
    HoldOnScreen();
}

void TReportWindow::OfferChecks(bool asFound, bool asLeft)
{
    AsFoundButton->setEnabled(asFound);
    AsLeftButton->setEnabled(asLeft);
}

QString TReportWindow::Text() const
{
    return ReportText(FRecord);
}

void TReportWindow::HoldOnScreen()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen || !isVisible())
        return;
    const QRect outer = OuterGeometry(this);
    if (const QPoint to = HeldWithin(outer, screen->availableGeometry()); to != outer.topLeft())
        move(to); // a top-level's move places its frame
}

bool TReportWindow::Saved(const QString &path, const QString &failure)
{
    if (!failure.isEmpty())
        ShowMessageBox(this, QMessageBox::Warning, QStringLiteral("Calibration record"),
                       QStringLiteral("The record could not be saved to %1: %2.").arg(path, failure), QMessageBox::Ok);
    return failure.isEmpty();
}

bool TReportWindow::SavePdf(const QString &path)
{
    // Drawn in memory first: a page of text is small.
    QBuffer pdf;
    if (!pdf.open(QIODevice::WriteOnly) || !WriteReportPdf(&pdf, FRecord))
        return Saved(path, QStringLiteral("the PDF could not be drawn"));
    return Saved(path, SaveAtomically(path, pdf.data()));
}

bool TReportWindow::SaveCsv(const QString &path)
{
    // UTF-8 with a byte order mark, which spreadsheets take as UTF-8 (the
    // ± of the bipolar ranges).
    return Saved(path, SaveAtomically(path, "\xEF\xBB\xBF" + ReportCsv(FRecord).toUtf8()));
}

void TReportWindow::keyPressEvent(QKeyEvent *event)
{
    // A dialog would close on Escape; the record stays, and the main
    // window takes the keyboard again.
    if (event->key() == Qt::Key_Escape && parentWidget()) {
        parentWidget()->window()->activateWindow();
        return;
    }
    QDialog::keyPressEvent(event);
}
