#include "ReportWindow.h"

#include "ClientArea.h"
#include "FrameWatch.h"
#include "KeptPlace.h"
#include "MessageBox.h"
#include "SafeSave.h"

#include <QApplication>
#include <QDir>
#include <algorithm>
#include <optional>
#include <tuple>
#include <unistd.h>
#include <QBuffer>
#include <QClipboard>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QKeyEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QHeaderView>
#include <QStandardItemModel>
#include <QTableView>
#include <QPushButton>
#include <QScreen>
#include <QPlainTextEdit>
#include <QValidator>
#include <QVBoxLayout>

namespace {

const QSize NaturalSize(640, 440);

// Takes a typed or pasted text as a one-line field keeps it: each line
// break (a pasted CR LF as well) a space, other control characters left
// out, the cursor where it was in what remains.
class TOneLineValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString &input, int &pos) const override
    {
        const auto oneLine = [](const QString &text) { return TCalibrationRecord::TypedText(text).replace(u'\n', u' '); };
        pos = int(oneLine(input.left(pos)).size());
        input = oneLine(input);
        return Acceptable;
    }
};
const QSize SmallestSize(400, 320);
// The least it takes when nothing larger leaves all it must reach in view.
const QSize CrampedSize(400, 240);

QStringList TableColumns()
{
    return {QStringLiteral("Point"), QStringLiteral("Applied"), QStringLiteral("Target"), QStringLiteral("As found"),
            QStringLiteral("As left")};
}

// A state's colour, always beside its name: green within, red outside or
// out of range, amber where the point cannot be judged yet.
QColor StateColour(TPointState state)
{
    switch (state) {
    case TPointState::Within: return QColor(0xd4, 0xf0, 0xd4);
    case TPointState::Outside:
    case TPointState::BelowRange:
    case TPointState::AboveRange: return QColor(0xf8, 0xd0, 0xd0);
    case TPointState::NoReference:
    case TPointState::CheckAgain: return QColor(0xfb, 0xe6, 0xb0);
    case TPointState::NotMeasured: break;
    }
    return QColor();
}

QColor VerdictColour(TVerdict verdict)
{
    switch (verdict) {
    case TVerdict::Pass: return QColor(0, 110, 0);
    case TVerdict::Fail: return QColor(176, 0, 0);
    case TVerdict::Incomplete: break;
    }
    return QColor(80, 80, 80);
}

// A measurement's cell: mean and error, then spread and state.
QString MeasurementCell(const TTestPoint &point, const std::optional<TMeasurement> &m, TPointState state)
{
    if (!m)
        return StateName(state);
    QString first = CardIO::FormatVolts(m->volts) + QStringLiteral(" V");
    if (const std::optional<double> error = ErrorCounts(point, *m))
        first += QStringLiteral(", error %1").arg(CardIO::FormatSigned(*error, 1));
    return QStringLiteral("%1\nspread %2, %3").arg(first).arg(m->spread).arg(StateName(state));
}

QStandardItem *Cell(const QString &text, TPointState state = TPointState::NotMeasured)
{
    auto *item = new QStandardItem(text);
    if (const QColor colour = StateColour(state); colour.isValid()) {
        item->setBackground(colour);
        item->setForeground(QColor(Qt::black));
    }
    return item;
}

// The table's rows, one a point.
void FillTable(QStandardItemModel &table, const TCalibrationRecord &record)
{
    table.setRowCount(0);
    for (const TPointRecord &r : record.Points()) {
        const TTestPoint &p = r.point;
        table.appendRow({Cell(QStringLiteral("%1\nRP%2").arg(p.Name).arg(p.Pot)), Cell(CalibrationSteps::AppliedText(p)),
                         Cell(QStringLiteral("%1 V\n± %2").arg(CalibrationSteps::TargetText(p), p.ToleranceText)),
                         Cell(MeasurementCell(p, r.asFound, r.FoundState()), r.FoundState()),
                         Cell(MeasurementCell(p, r.asLeft, r.State()), r.State())});
    }
}

// The part, bearing its name for findChild.
template <class T>
T *Named(T *part, const char *name)
{
    part->setObjectName(QLatin1String(name));
    return part;
}

// Where a window's outer rectangle `outer` goes to lie on the screen's free
// area.
QPoint HeldOnScreen(const QRect &outer)
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? HeldWithin(outer, screen->availableGeometry()) : outer.topLeft();
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
    // Opened beside the wizard, it leaves the keyboard where it was; Ctrl+R
    // goes to it.
    setAttribute(Qt::WA_ShowWithoutActivating);
    auto *layout = new QVBoxLayout(this);
    auto *form = new QFormLayout;
    FCardLabel = Named(new QLabel(this), "CardLabel");
    FDateLabel = Named(new QLabel(this), "DateLabel");
    FLeftLabel = Named(new QLabel(this), "LeftLabel");
    FRangesLabel = Named(new QLabel(this), "RangesLabel");
    FOperatorEdit = Named(new QLineEdit(this), "OperatorEdit");
    FInstrumentsEdit = Named(new QLineEdit(this), "InstrumentsEdit");
    FSerialEdit = Named(new QLineEdit(this), "SerialEdit");
    for (QLineEdit *edit : {FOperatorEdit, FInstrumentsEdit, FSerialEdit})
        edit->setValidator(new TOneLineValidator(edit));
    FVerdictLabel = Named(new QLabel(this), "VerdictLabel");
    QFont bold = FVerdictLabel->font();
    bold.setBold(true);
    FVerdictLabel->setFont(bold);
    form->addRow(QStringLiteral("Card:"), FCardLabel);
    form->addRow(QStringLiteral("Serial or &asset number:"), FSerialEdit);
    form->addRow(QStringLiteral("Date and time:"), FDateLabel);
    form->addRow(QStringLiteral("Checked as left:"), FLeftLabel);
    form->addRow(QStringLiteral("DAC ranges:"), FRangesLabel);
    form->addRow(QStringLiteral("Op&erator:"), FOperatorEdit);
    form->addRow(QStringLiteral("&Reference instruments:"), FInstrumentsEdit);
    form->addRow(QStringLiteral("Verdict:"), FVerdictLabel);
    layout->addLayout(form);
    FPoints = new QStandardItemModel(0, int(TableColumns().size()), this);
    FPoints->setHorizontalHeaderLabels(TableColumns());
    FTable = Named(new QTableView(this), "Table");
    FTable->setModel(FPoints);
    FTable->setAccessibleName(QStringLiteral("Test points"));
    FTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    FTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    FTable->setWordWrap(true);
    FTable->verticalHeader()->hide();
    FTable->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    // The columns share the width: the table never scrolls sideways.
    FTable->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    FTable->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    for (int column : {0, 2})
        FTable->horizontalHeader()->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    layout->addWidget(FTable, 1);
    FNotesLabel = Named(new QLabel(this), "NotesLabel");
    FNotesLabel->setWordWrap(true);
    FNotesLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(FNotesLabel);
    // The rule is long: a few lines of it show, the rest scrolls, and the
    // table keeps the room.
    FRuleText = Named(new QPlainTextEdit(QStringLiteral("Decision rule: ") + DecisionRule(), this), "RuleText");
    FRuleText->setReadOnly(true);
    FRuleText->setFrameShape(QFrame::NoFrame);
    QPalette plain = FRuleText->palette();
    plain.setColor(QPalette::Base, plain.color(QPalette::Window));
    FRuleText->setPalette(plain);
    FRuleText->setAccessibleName(QStringLiteral("Decision rule"));
    FRuleText->setMaximumHeight(FRuleText->fontMetrics().lineSpacing() * 4 + 2 * int(FRuleText->document()->documentMargin()));
    layout->addWidget(FRuleText);
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
    FPdfButton = button(QStringLiteral("PdfButton"), QStringLiteral("Save as P&DF…"), 1, 0);
    FCsvButton = button(QStringLiteral("CsvButton"), QStringLiteral("Save as C&SV…"), 1, 1);
    FCloseButton = button(QStringLiteral("CloseButton"), QStringLiteral("Cl&ose"), 1, 2);
    layout->addLayout(buttons);
    OfferChecks(false, false);

    connect(&FModel, &TRecordModel::Changed, this, &TReportWindow::Refresh);
    connect(FOperatorEdit, &QLineEdit::textEdited, &FModel, &TRecordModel::SetOperator);
    connect(FInstrumentsEdit, &QLineEdit::textEdited, &FModel, &TRecordModel::SetInstruments);
    connect(FSerialEdit, &QLineEdit::textEdited, &FModel, &TRecordModel::SetSerial);
    connect(FAsFoundButton, &QPushButton::clicked, this, [this] { emit CheckRequested(TCheckKind::AsFound); });
    connect(FAsLeftButton, &QPushButton::clicked, this, [this] { emit CheckRequested(TCheckKind::AsLeft); });
    // Asks for a file name, then saves with `save`.
    auto saveAs = [this](const QString &what, const QString &name, bool (TReportWindow::*save)(const QString &)) {
        if (const QString path = AskSavePath(what, name); !path.isEmpty())
            (this->*save)(path);
    };
    connect(FPdfButton, &QPushButton::clicked, this,
            [saveAs] { saveAs(QStringLiteral("PDF"), QStringLiteral("calibration-record.pdf"), &TReportWindow::SavePdf); });
    connect(FCsvButton, &QPushButton::clicked, this,
            [saveAs] { saveAs(QStringLiteral("CSV"), QStringLiteral("calibration-record.csv"), &TReportWindow::SaveCsv); });
    connect(FCopyButton, &QPushButton::clicked, this, [this] { QApplication::clipboard()->setText(Text()); });
    connect(FCloseButton, &QPushButton::clicked, this, &QWidget::close); // a record opened from the history is then deleted
    // Framed, the window goes to its place again (the window manager may
    // have put it elsewhere), or where the user moved it, held on the screen.
    connect(new TFrameWatch(this), &TFrameWatch::FrameChanged, this, [this] {
        if (FKept && !FKept->UserMoved())
            FKept->Place();
        else
            HoldOnScreen();
    });

    resize(NaturalSize);
    Refresh();
}

void TReportWindow::PlaceClearOf(const QPoint &preferred, const QList<QRect> &mustClear, const QList<QRect> &ratherClear,
                                 const QList<QRect> &above)
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    // The window manager has not framed the window yet: its frame is taken
    // to be the owner's.
    const QMargins frame = FrameMargins(parentWidget() ? parentWidget()->window() : this);
    const QRect area = screen->availableGeometry();
    const QSize room(area.right() + 1 - preferred.x(), area.bottom() + 1 - preferred.y());
    const QSize largest = NaturalSize.boundedTo(room.shrunkBy(frame)).expandedTo(SmallestSize).boundedTo(area.size().shrunkBy(frame));
    // At about `client` size (its layout may ask for more), the best place
    // for the window and what it costs there: what it hides of what it must
    // clear, of its own buttons and title bar under the windows above it,
    // how small it is, and what it covers of what it would rather clear.
    struct TPlace {
        QSize client;
        QPoint at;
        std::tuple<qint64, qint64, qint64, qint64, qint64> cost;
    };
    auto place = [&](const QSize &client) {
        resize(client);
        layout()->activate();
        const QSize outer = size().grownBy(frame);
        QRect buttons;
        for (const QPushButton *b : {FAsFoundButton, FCloseButton})
            buttons |= b->geometry().translated(frame.left(), frame.top());
        const QRect title(0, 0, outer.width(), std::max(frame.top(), 1));
        // Places beside what it must and would rather clear, and where its
        // title bar or buttons lie just beside a window above it.
        QList<QRect> beside = mustClear + ratherClear + above;
        for (const QRect &a : above)
            for (const QRect &part : {title, buttons}) {
                QRect shifted;
                shifted.setCoords(a.left() - part.left(), a.top() + outer.height() - 1 - part.bottom(),
                                  a.right() + outer.width() - 1 - part.right(), a.bottom() - part.top());
                beside << shifted;
            }
        auto cost = [&](const QPoint &at) {
            return std::tuple{CoveredArea(QRect(at, outer), mustClear), CoveredArea(buttons.translated(at), above),
                              CoveredArea(title.translated(at), above), -qint64(outer.width()) * outer.height(),
                              CoveredArea(QRect(at, outer), ratherClear)};
        };
        const QPoint at = CheapestPlace(PlacesBeside(outer, area, preferred, beside), preferred, cost);
        return TPlace{size(), at, cost(at)};
    };
    // As large as it can be where nothing the user must reach is hidden;
    // on a crowded small screen smaller, down to a cramped least; where
    // even that hides something, its buttons clear and as much of its
    // title bar as can be, to be moved by.
    std::optional<TPlace> best;
    for (int h = largest.height(); h >= CrampedSize.height(); h -= 20)
        for (int w = largest.width(); w >= CrampedSize.width(); w -= 40)
            if (const TPlace p = place(QSize(w, h)); !best || p.cost < best->cost)
                best = p;
    resize(best->client);
    FPlace = best->at;
    if (!FKept)
        FKept = new TKeptPlace(this, [this] { return HeldOnScreen(QRect(FPlace, OuterGeometry(this).size())); });
    FKept->Place();
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
    if (FSerialEdit->text() != FRecord.Serial())
        FSerialEdit->setText(FRecord.Serial());
    const TVerdict verdict = FRecord.Verdict();
    FVerdictLabel->setText(VerdictName(verdict));
    FVerdictLabel->setStyleSheet(QStringLiteral("color: %1").arg(VerdictColour(verdict).name()));
    FillTable(*FPoints, FRecord);
    const QStringList notes = RecordNotes(FRecord);
    FNotesLabel->setText(notes.join(u'\n'));
    FNotesLabel->setVisible(!notes.isEmpty());
    HoldOnScreen();
}

void TReportWindow::OfferChecks(bool asFound, bool asLeft)
{
    FAsFoundButton->setEnabled(asFound);
    FAsLeftButton->setEnabled(asLeft);
}

void TReportWindow::ShowKept()
{
    for (QLineEdit *edit : {FOperatorEdit, FInstrumentsEdit, FSerialEdit})
        edit->setReadOnly(true);
    FAsFoundButton->hide();
    FAsLeftButton->hide();
}

QString TReportWindow::Text() const
{
    return ReportText(FRecord);
}

void TReportWindow::HoldOnScreen()
{
    if (!isVisible())
        return;
    const QRect outer = OuterGeometry(this);
    if (const QPoint to = HeldOnScreen(outer); to != outer.topLeft())
        move(to); // a top-level's move places its frame
}

bool TReportWindow::Saved(const QString &path, const TSaveResult &result)
{
    if (!result.saved)
        ShowMessageBox(this, QMessageBox::Warning, QStringLiteral("Calibration record"),
                       QStringLiteral("The record could not be saved to %1: %2.").arg(path, result.reason), QMessageBox::Ok);
    else if (!result.reason.isEmpty())
        ShowMessageBox(this, QMessageBox::Warning, QStringLiteral("Calibration record"),
                       QStringLiteral("The record was saved to %1, but it may not survive a power cut: the folder "
                                      "could not be flushed to the disk (%2).").arg(path, result.reason),
                       QMessageBox::Ok);
    return result.saved;
}

bool TReportWindow::SavePdf(const QString &path)
{
    // Drawn in memory first: a record is small.
    QBuffer pdf;
    if (!pdf.open(QIODevice::WriteOnly) || !WriteReportPdf(&pdf, FRecord))
        return Saved(path, {false, QStringLiteral("the PDF could not be drawn")});
    return Saved(path, SaveAtomically(path, pdf.data()));
}

bool TReportWindow::SaveCsv(const QString &path)
{
    // UTF-8 with a byte order mark, which spreadsheets take as UTF-8 (the
    // ± of the bipolar ranges).
    return Saved(path, SaveAtomically(path, "\xEF\xBB\xBF" + ReportCsv(FRecord).toUtf8()));
}

QString TReportWindow::AskSavePath(const QString &what, const QString &name)
{
    QFileDialog dialog(this, QStringLiteral("Save as %1").arg(what), name,
                       QStringLiteral("%1 (*.%2)").arg(what, what.toLower()));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // Qt's own dialog greys out Save for a name longer than the folder's
    // file system takes, and says nothing: this says why, beneath it.
    auto *edit = dialog.findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    if (auto *grid = qobject_cast<QGridLayout *>(dialog.layout()); edit && grid) {
        auto *why = Named(new QLabel(&dialog), "NameTooLongLabel");
        why->setWordWrap(true);
        why->hide();
        grid->addWidget(why, grid->rowCount(), 0, 1, grid->columnCount());
        auto check = [&dialog, edit, why] {
            const QByteArray folder = QFile::encodeName(dialog.directory().absolutePath());
            const long longest = pathconf(folder.constData(), _PC_NAME_MAX);
            const qsizetype bytes = QFile::encodeName(QFileInfo(edit->text()).fileName()).size();
            why->setText(QStringLiteral("The name is %1 bytes long; this folder takes names of at most %2 bytes.")
                             .arg(bytes).arg(longest));
            why->setVisible(longest > 0 && bytes > longest);
        };
        connect(edit, &QLineEdit::textChanged, why, check);
        connect(&dialog, &QFileDialog::directoryEntered, why, check);
    }
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
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

void TReportWindow::changeEvent(QEvent *event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        emit Activated();
}
