#include "BenchWindow.h"

#include "ClientArea.h"
#include "FrameWatch.h"


#include <QAbstractItemView>
#include <QComboBox>
#include <QDial>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QStyle>
#include <QRandomGenerator>
#include <QScreen>
#include <QGuiApplication>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>
#include <cstdio>

using namespace trvsim;

namespace {

constexpr int DialSteps = 10000; // the wiper's travel
const char *const PotNames[PotCount] = {"RP1", "RP2", "RP3", "RP5", "RP6", "RP7", "RP8"};
const char *const PotRoles[PotCount] = {"A/D bipolar offset", "A/D unipolar offset", "A/D gain",
                                        "DAC 0 offset", "DAC 0 gain", "DAC 1 offset", "DAC 1 gain"};
const char *const Ranges[6] = {"0-2.5V (001)", "0-5V (000)", "0-10V (010)", "±2.5V (101)", "±5V (100)", "±10V (110)"};

const char *const Style = R"(
    TBenchWindow, #BenchContent { background: #262a2e; }
    QGroupBox { color: #d8dde2; font-weight: bold; border: 1px solid #4a5158; border-radius: 6px;
                margin-top: 12px; padding: 4px 6px 2px 6px; background: #30353a; }
    QGroupBox::title { subcontrol-origin: margin; left: 10px; padding: 0 4px; }
    QLabel { color: #c9cfd5; }
    QLabel[role="pot"] { color: #9fb4ff; font-weight: bold; }
    QLabel[role="value"] { color: #8fe39a; font-family: "DejaVu Sans Mono"; }
    QLabel[role="readout"] { color: #7CFC8a; background: #0d1210; border: 1px solid #3a4a3d; border-radius: 4px;
                             font-family: "DejaVu Sans Mono"; font-size: 15px; padding: 1px 6px; }
    QComboBox, QDoubleSpinBox { background: #1d2124; color: #e6eaee; border: 1px solid #4a5158; padding: 1px 6px; }
    QComboBox QAbstractItemView { background: #1d2124; color: #e6eaee; selection-background-color: #3d6fd1; }
)";

QLabel *Role(QLabel *label, const char *role)
{
    label->setProperty("role", role);
    return label;
}

QString Volts(double v)
{
    return QStringLiteral("%1 V").arg(v, 8, 'f', 4);
}

} // namespace

TBenchWindow::TBenchWindow(CardState &state, const SharedState *shared, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      FState(&state), FShared(shared), FCard(DeviceRZ4070, DefaultBase)
{
    // No maximise and a fixed size: the bench, on top of a maximised Setup,
    // must never grow over it.
    FCard.UseState(&state);
    setWindowTitle(QStringLiteral("Virtual bench: PCI-RZ4070 (simulated card)"));
    setStyleSheet(QLatin1String(Style));
    // Wide and low, to sit below the board of a maximised Setup.
    auto *content = new QWidget;
    content->setObjectName(QStringLiteral("BenchContent"));
    auto *layout = new QGridLayout(content);
    layout->setContentsMargins(6, 0, 6, 2);
    layout->setSpacing(6);
    layout->addWidget(potsPanel(), 0, 0, 1, 3);
    layout->addWidget(wiringPanel(), 1, 0);
    layout->addWidget(readoutPanel(), 1, 1);
    layout->addWidget(errorsPanel(), 1, 2);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    // On a screen smaller than the bench, it scrolls: nothing of it lies
    // past the screen's edges.
    FScroll = new QScrollArea(this);
    FScroll->setFrameShape(QFrame::NoFrame);
    FScroll->setWidget(content);
    content->installEventFilter(this);
    auto *window = new QVBoxLayout(this);
    window->setContentsMargins(0, 0, 0, 0);
    window->addWidget(FScroll);
    FitWithin(content->sizeHint());
    Refresh();
    connect(&FTimer, &QTimer::timeout, this, &TBenchWindow::Refresh);
    FTimer.start(50);
}

QWidget *TBenchWindow::potsPanel()
{
    auto *box = new QGroupBox(QStringLiteral("Trimmer pots (wheel: fine; Ctrl+wheel or Page keys: coarse)"));
    auto *grid = new QGridLayout(box);
    for (int i = 0; i < PotCount; ++i) {
        auto *dial = new QDial;
        dial->setObjectName(QLatin1String(PotNames[i]));
        dial->setRange(0, DialSteps);
        dial->setSingleStep(5);
        dial->setPageStep(250);
        dial->setNotchesVisible(true);
        dial->setNotchTarget(8);
        dial->setFixedSize(52, 52);
        dial->setWrapping(false);
        connect(dial, &QDial::valueChanged, this, [this, i](int v) {
            State().SetPot(i, double(v) / DialSteps);
            Refresh();
        });
        FDials[i] = dial;
        // The pot's name beside its dial, its role below: low enough to lie
        // whole below the board under a desktop's tall title bars.
        auto *named = new QHBoxLayout;
        named->setSpacing(4);
        named->addWidget(Role(new QLabel(QLatin1String(PotNames[i])), "pot"));
        named->addWidget(dial);
        grid->addLayout(named, 0, i, Qt::AlignHCenter);
        grid->addWidget(new QLabel(QLatin1String(PotRoles[i])), 1, i, Qt::AlignHCenter);
    }
    return box;
}

QWidget *TBenchWindow::wiringPanel()
{
    auto *box = new QGroupBox(QStringLiteral("Wiring and switches"));
    auto *grid = new QGridLayout(box);
    FWiring = new QComboBox;
    FWiring->addItems({QStringLiteral("Nothing (open)"), QStringLiteral("Pin 18 (ground)"), QStringLiteral("Calibrator"),
                        QStringLiteral("DAC 0 (pin 14)"), QStringLiteral("DAC 1 (pin 15)")});
    connect(FWiring, &QComboBox::activated, this, [this](int i) { State().pin37 = i; });
    FCalibrator = new QDoubleSpinBox;
    FCalibrator->setRange(-10.5, 10.5);
    FCalibrator->setDecimals(3);
    FCalibrator->setSingleStep(0.001);
    FCalibrator->setSuffix(QStringLiteral(" V"));
    connect(FCalibrator, &QDoubleSpinBox::valueChanged, this, [this](double v) { State().SetCalibrator(v); });
    grid->addWidget(new QLabel(QStringLiteral("Pin 37 wired to")), 0, 0);
    grid->addWidget(FWiring, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Calibrator output")), 1, 0);
    grid->addWidget(FCalibrator, 1, 1);
    for (int dac = 0; dac < 2; ++dac) {
        FRanges[dac] = new QComboBox;
        for (const char *r : Ranges)
            FRanges[dac]->addItem(QString::fromUtf8(r));
        connect(FRanges[dac], &QComboBox::activated, this, [this, dac](int i) { State().dacRange[dac] = i; });
        grid->addWidget(new QLabel(QStringLiteral("DAC %1 range switches").arg(dac)), 2 + dac, 0);
        grid->addWidget(FRanges[dac], 2 + dac, 1);
    }
    return box;
}

QWidget *TBenchWindow::readoutPanel()
{
    auto *box = new QGroupBox(QStringLiteral("Meter"));
    auto *grid = new QGridLayout(box);
    const char *names[3] = {"DAC 0 out (pin 14)", "DAC 1 out (pin 15)", "Pin 37"};
    for (int i = 0; i < 3; ++i) {
        FReadouts[i] = Role(new QLabel, "readout");
        FReadouts[i]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        grid->addWidget(new QLabel(QLatin1String(names[i])), i, 0);
        grid->addWidget(FReadouts[i], i, 1);
    }
    return box;
}

QWidget *TBenchWindow::errorsPanel()
{
    auto *box = new QGroupBox(QStringLiteral("Reference meter: the card's true errors, in counts"));
    auto *row = new QHBoxLayout(box);
    FErrors = Role(new QLabel, "value");
    FErrors->setTextFormat(Qt::PlainText);
    FNewCard = new QPushButton(QStringLiteral("New card"));
    FNewCard->setToolTip(QStringLiteral("A fresh card from the factory: new trims, pots out of calibration"));
    connect(FNewCard, &QPushButton::clicked, this, [this] {
        Card::FactoryState(State(), QRandomGenerator::global()->generate64());
        Refresh();
    });
    row->addWidget(FErrors, 1);
    row->addWidget(FNewCard, 0, Qt::AlignTop);
    return box;
}

QString TBenchWindow::Readout(int which) const
{
    return FReadouts[which]->text();
}

QString TBenchWindow::CardErrors() const
{
    return FErrors->text();
}

QSize TBenchWindow::FitWithin(const QSize &room)
{
    const QSize whole = FScroll->widget()->sizeHint(); // the size its layout fixes
    FFitted = whole;
    QSize size = whole.boundedTo(room);
    // A scroll bar takes room across the direction it scrolls.
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    if (size.width() < whole.width())
        size.setHeight(std::min(room.height(), size.height() + bar));
    if (size.height() < whole.height())
        size.setWidth(std::min(room.width(), size.width() + bar));
    setFixedSize(size);
    return size;
}

void TBenchWindow::PlaceBesideSetup()
{
    FBesideSetup = true;
    Place();
    // The frame changes as the window manager frames the window, not when
    // the user moves it: each change places it again.
    connect(new TFrameWatch(this), &TFrameWatch::FrameChanged, this, [this] {
        if (isVisible())
            Place();
    });
}

void TBenchWindow::Place()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    // The frame as the window manager reports it; until it does, room for
    // a usual one.
    QMargins frame = FrameMargins(this);
    if (frame.isNull())
        frame = QMargins(4, 30, 4, 4);
    const QSize frameSize(frame.left() + frame.right(), frame.top() + frame.bottom());
    // A maximised Setup centres its board in the screen, below a title bar
    // like this window's and its menu bar. Where the room below the board
    // is tall enough to work in, the bench lies there, on top, scrolling
    // what does not fit; elsewhere it would cover the board, so it takes
    // the screen and is an ordinary window.
    constexpr int SetupMenuBar = 18, Board = 317, UsableHeight = 160;
    const int boardBottom = area.top() + frame.top() + SetupMenuBar + (area.height() + Board) / 2;
    const QSize below(area.width(), area.bottom() + 1 - boardBottom);
    const bool fits = below.height() - frameSize.height() >= UsableHeight;
    // The size asked for: a shown window's own takes effect only when the
    // window system confirms it.
    const QSize size = FitWithin((fits ? below : area.size()) - frameSize);
    // A shown window is told through its native window, which changes the
    // window manager's state for it without hiding it.
    if (QWindow *handle = windowHandle(); handle && isVisible())
        handle->setFlag(Qt::WindowStaysOnTopHint, fits);
    else
        setWindowFlag(Qt::WindowStaysOnTopHint, fits);
    FPlace = QPoint(std::max(area.left(), area.right() + 1 - size.width() - frameSize.width()),
                    std::max(area.top(), area.bottom() + 1 - size.height() - frameSize.height()));
    move(FPlace);
    // A window manager may drop a move that comes while it is still
    // framing the window (KWin does, now and then), and nothing tells of
    // it: once the frame is known, the place is asked for once more a
    // moment later, unless another placing came since.
    if (QWindow *handle = windowHandle(); handle && isVisible() && !FrameMargins(this).isNull())
        QTimer::singleShot(300, this, [this, asked = FPlace] {
            if (isVisible() && FPlace == asked)
                windowHandle()->setFramePosition(asked);
        });
}

bool TBenchWindow::StaysOnTop() const
{
    const QWindow *handle = windowHandle();
    return (handle ? handle->flags() : windowFlags()) & Qt::WindowStaysOnTopHint;
}

bool TBenchWindow::eventFilter(QObject *watched, QEvent *event)
{
    // The parts take the style's fonts and margins only when the window is
    // made: the bench is sized again then.
    if (watched == FScroll->widget() && event->type() == QEvent::LayoutRequest && FBesideSetup)
        QMetaObject::invokeMethod(this, [this] {
            if (FScroll->widget()->size() != FFitted)
                Place();
        }, Qt::QueuedConnection);
    return QWidget::eventFilter(watched, event);
}

CardState &TBenchWindow::State()
{
    if (FShared && !FShared->Intact()) {
        std::fprintf(stderr, "virtual bench: the shared card state was cut short; going on with a card of its own\n");
        FShared = nullptr;
        FCard.UseState(nullptr);
        FState = &FCard.State();
        setWindowTitle(windowTitle() + QStringLiteral(" (no longer shared)"));
    }
    return *FState;
}

void TBenchWindow::Refresh()
{
    CardState &state = State();
    for (int i = 0; i < PotCount; ++i) {
        if (!FDials[i]->isSliderDown()) {
            const QSignalBlocker quiet(FDials[i]);
            FDials[i]->setValue(int(std::lround(state.Pot(i) * DialSteps)));
        }
    }
    if (!FWiring->view()->isVisible())
        FWiring->setCurrentIndex(state.pin37.load());
    if (!FCalibrator->hasFocus()) {
        const QSignalBlocker quiet(FCalibrator);
        FCalibrator->setValue(state.Calibrator());
    }
    for (int dac = 0; dac < 2; ++dac)
        if (!FRanges[dac]->view()->isVisible())
            FRanges[dac]->setCurrentIndex(state.dacRange[dac].load());
    FReadouts[0]->setText(Volts(FCard.dacVolts(0)));
    FReadouts[1]->setText(Volts(FCard.dacVolts(1)));
    FReadouts[2]->setText(Volts(FCard.pin37Volts()));
    const trvsim::CardErrors e = FCard.errors();
    FErrors->setText(QStringLiteral("A/D bipolar   0 V: %1   +9.9 V: %2   -9.9 V: %3\n"
                                    "A/D unipolar  0 V: %4   9.95 V: %5\n"
                                    "DAC 0  code 20: %6   code 4076: %7\n"
                                    "DAC 1  code 20: %8   code 4076: %9")
                         .arg(e.adBipolarZero, 3).arg(e.adBipolarPlus, 3).arg(e.adBipolarMinus, 3)
                         .arg(e.adUnipolarZero, 3).arg(e.adUnipolarHigh, 3)
                         .arg(e.dacLow[0], 3).arg(e.dacHigh[0], 3).arg(e.dacLow[1], 3).arg(e.dacHigh[1], 3));
}
