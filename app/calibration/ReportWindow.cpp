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

// The part, bearing its name for findChild.
template <class T>
T *Named(T *part, const char *name)
{
    part->setObjectName(QLatin1String(name));
    return part;
}

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
    FCardLabel = Named(new QLabel(this), "CardLabel");
    FDateLabel = Named(new QLabel(this), "DateLabel");
    FLeftLabel = Named(new QLabel(this), "LeftLabel");
    FRangesLabel = Named(new QLabel(this), "RangesLabel");
    FOperatorEdit = Named(new QLineEdit(this), "OperatorEdit");
    FInstrumentsEdit = Named(new QLineEdit(this), "InstrumentsEdit");
    FOperatorEdit->setValidator(new TTypedTextValidator(FOperatorEdit));
    FInstrumentsEdit->setValidator(new TTypedTextValidator(FInstrumentsEdit));
    FVerdictLabel = Named(new QLabel(this), "VerdictLabel");
    QFont bold = FVerdictLabel->font();
    bold.setBold(true);
    FVerdictLabel->setFont(bold);
    form->addRow(QStringLiteral("Card:"), FCardLabel);
    form->addRow(QStringLiteral("Date and time:"), FDateLabel);
    form->addRow(QStringLiteral("Checked as left:"), FLeftLabel);
    form->addRow(QStringLiteral("DAC ranges:"), FRangesLabel);
    form->addRow(QStringLiteral("Op&erator:"), FOperatorEdit);
    form->addRow(QStringLiteral("&Reference instruments:"), FInstrumentsEdit);
    form->addRow(QStringLiteral("Verdict:"), FVerdictLabel);
    layout->addLayout(form);
    FTable = Named(new QPlainTextEdit(this), "Table");
    FTable->setReadOnly(true);
    FTable->setLineWrapMode(QPlainTextEdit::NoWrap);
    QFont mono(QStringLiteral("DejaVu Sans Mono"));
    mono.setStyleHint(QFont::Monospace);
    mono.setPointSize(8);
    FTable->setFont(mono);
    FTable->setAccessibleName(QStringLiteral("Test points"));
    layout->addWidget(FTable, 1);
    auto *buttons = new QGridLayout;
    auto button = [&](const QString &name, const QString &text, int row, int column) {
        auto *b = new QPushButton(text, this);
        b->setObjectName(name);
        b->setAutoDefault(false);
        buttons->addWidget(b, row, column);
        return b;
    };
    FAsFoundButton = button(QStringLiteral("AsFoundButton"), QStringLiteral("Check as &found…"), 0, 0);
    FAsLeftButton = button(QStringLiteral("AsLeftButton"), QStringLiteral("Check as &left…"), 0, 1);
    FCopyButton = button(QStringLiteral("CopyButton"), QStringLiteral("&Copy"), 0, 2);
    FPdfButton = button(QStringLiteral("PdfButton"), QStringLiteral("Save as &PDF…"), 1, 0);
    FCsvButton = button(QStringLiteral("CsvButton"), QStringLiteral("Save as C&SV…"), 1, 1);
    FCloseButton = button(QStringLiteral("CloseButton"), QStringLiteral("Cl&ose"), 1, 2);
    layout->addLayout(buttons);
    OfferChecks(false, false);

    connect(&FModel, &TRecordModel::Changed, this, &TReportWindow::Refresh);
    connect(FOperatorEdit, &QLineEdit::textEdited, &FModel, &TRecordModel::SetOperator);
    connect(FInstrumentsEdit, &QLineEdit::textEdited, &FModel, &TRecordModel::SetInstruments);
    connect(FAsFoundButton, &QPushButton::clicked, this, [this] { emit CheckRequested(TCheckKind::AsFound); });
    connect(FAsLeftButton, &QPushButton::clicked, this, [this] { emit CheckRequested(TCheckKind::AsLeft); });
    // Asks for a file name, then saves with `save`.
    auto saveAs = [this](const QString &what, const QString &name, bool (TReportWindow::*save)(const QString &)) {
        const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save as %1").arg(what), name,
                                                          QStringLiteral("%1 (*.%2)").arg(what, what.toLower()));
        if (!path.isEmpty())
            (this->*save)(path);
    };
    connect(FPdfButton, &QPushButton::clicked, this,
            [saveAs] { saveAs(QStringLiteral("PDF"), QStringLiteral("calibration-record.pdf"), &TReportWindow::SavePdf); });
    connect(FCsvButton, &QPushButton::clicked, this,
            [saveAs] { saveAs(QStringLiteral("CSV"), QStringLiteral("calibration-record.csv"), &TReportWindow::SaveCsv); });
    connect(FCopyButton, &QPushButton::clicked, this, [this] { QApplication::clipboard()->setText(Text()); });
    connect(FCloseButton, &QPushButton::clicked, this, &QDialog::hide);
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
    FCardLabel->setText(CardText(FRecord.Card()));
    FDateLabel->setText(StartedText(FRecord));
    FLeftLabel->setText(CheckedAsLeftText(FRecord));
    FRangesLabel->setText(RangesText(FRecord.Ranges()));
    if (FOperatorEdit->text() != FRecord.Operator())
        FOperatorEdit->setText(FRecord.Operator());
    if (FInstrumentsEdit->text() != FRecord.Instruments())
        FInstrumentsEdit->setText(FRecord.Instruments());
    FVerdictLabel->setText(VerdictName(FRecord.Verdict()));
    FTable->setPlainText(Text());
    HoldOnScreen();
}

void TReportWindow::OfferChecks(bool asFound, bool asLeft)
{
    FAsFoundButton->setEnabled(asFound);
    FAsLeftButton->setEnabled(asLeft);
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
