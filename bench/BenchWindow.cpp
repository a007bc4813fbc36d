#include "BenchWindow.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDial>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QVBoxLayout>

using namespace trvsim;

namespace {

constexpr int DialSteps = 10000; // the wiper's travel
const char *const PotNames[PotCount] = {"RP1", "RP2", "RP3", "RP5", "RP6", "RP7", "RP8"};
const char *const PotRoles[PotCount] = {"A/D bipolar offset", "A/D unipolar offset", "A/D gain",
                                        "DAC 0 offset", "DAC 0 gain", "DAC 1 offset", "DAC 1 gain"};
const char *const Ranges[6] = {"0-2.5V (001)", "0-5V (000)", "0-10V (010)", "±2.5V (101)", "±5V (100)", "±10V (110)"};

const char *const Style = R"(
    TBenchWindow { background: #262a2e; }
    QGroupBox { color: #d8dde2; font-weight: bold; border: 1px solid #4a5158; border-radius: 6px;
                margin-top: 14px; padding: 10px 8px 8px 8px; background: #30353a; }
    QGroupBox::title { subcontrol-origin: margin; left: 10px; padding: 0 4px; }
    QLabel { color: #c9cfd5; }
    QLabel[role="pot"] { color: #9fb4ff; font-weight: bold; }
    QLabel[role="value"] { color: #8fe39a; font-family: "DejaVu Sans Mono"; }
    QLabel[role="readout"] { color: #7CFC8a; background: #0d1210; border: 1px solid #3a4a3d; border-radius: 4px;
                             font-family: "DejaVu Sans Mono"; font-size: 20px; padding: 4px 8px; }
    QComboBox, QDoubleSpinBox { background: #1d2124; color: #e6eaee; border: 1px solid #4a5158; padding: 2px 6px; }
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

TBenchWindow::TBenchWindow(CardState &state, QWidget *parent)
    : QWidget(parent), m_state(state), m_card(DeviceRZ4070, DefaultBase)
{
    m_card.UseState(&state);
    setWindowTitle(QStringLiteral("Virtual bench: PCI-RZ4070 (simulated card)"));
    setStyleSheet(QLatin1String(Style));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(potsPanel());
    auto *row = new QHBoxLayout;
    row->addWidget(wiringPanel(), 3);
    row->addWidget(readoutPanel(), 2);
    layout->addLayout(row);
    Refresh();
    connect(&m_timer, &QTimer::timeout, this, &TBenchWindow::Refresh);
    m_timer.start(50);
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
        dial->setMinimumSize(72, 72);
        dial->setWrapping(false);
        connect(dial, &QDial::valueChanged, this, [this, i](int v) {
            m_state.SetPot(i, double(v) / DialSteps);
            Refresh();
        });
        m_dials[i] = dial;
        m_potValues[i] = Role(new QLabel, "value");
        grid->addWidget(Role(new QLabel(QLatin1String(PotNames[i])), "pot"), 0, i, Qt::AlignHCenter);
        grid->addWidget(dial, 1, i, Qt::AlignHCenter);
        grid->addWidget(m_potValues[i], 2, i, Qt::AlignHCenter);
        grid->addWidget(new QLabel(QLatin1String(PotRoles[i])), 3, i, Qt::AlignHCenter);
    }
    return box;
}

QWidget *TBenchWindow::wiringPanel()
{
    auto *box = new QGroupBox(QStringLiteral("Wiring and switches"));
    auto *grid = new QGridLayout(box);
    m_wiring = new QComboBox;
    m_wiring->addItems({QStringLiteral("Nothing (open)"), QStringLiteral("Pin 18 (ground)"), QStringLiteral("Calibrator"),
                        QStringLiteral("DAC 0 (pin 14)"), QStringLiteral("DAC 1 (pin 15)")});
    connect(m_wiring, &QComboBox::activated, this, [this](int i) { m_state.pin37 = i; });
    m_calibrator = new QDoubleSpinBox;
    m_calibrator->setRange(-10.5, 10.5);
    m_calibrator->setDecimals(3);
    m_calibrator->setSingleStep(0.001);
    m_calibrator->setSuffix(QStringLiteral(" V"));
    connect(m_calibrator, &QDoubleSpinBox::valueChanged, this, [this](double v) { m_state.SetCalibrator(v); });
    grid->addWidget(new QLabel(QStringLiteral("Pin 37 wired to")), 0, 0);
    grid->addWidget(m_wiring, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Calibrator output")), 1, 0);
    grid->addWidget(m_calibrator, 1, 1);
    for (int dac = 0; dac < 2; ++dac) {
        m_ranges[dac] = new QComboBox;
        for (const char *r : Ranges)
            m_ranges[dac]->addItem(QString::fromUtf8(r));
        connect(m_ranges[dac], &QComboBox::activated, this, [this, dac](int i) { m_state.dacRange[dac] = i; });
        grid->addWidget(new QLabel(QStringLiteral("DAC %1 range switches").arg(dac)), 2 + dac, 0);
        grid->addWidget(m_ranges[dac], 2 + dac, 1);
    }
    return box;
}

QWidget *TBenchWindow::readoutPanel()
{
    auto *box = new QGroupBox(QStringLiteral("Meter"));
    auto *grid = new QGridLayout(box);
    const char *names[3] = {"DAC 0 out (pin 14)", "DAC 1 out (pin 15)", "Pin 37"};
    for (int i = 0; i < 3; ++i) {
        m_readouts[i] = Role(new QLabel, "readout");
        m_readouts[i]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        grid->addWidget(new QLabel(QLatin1String(names[i])), i, 0);
        grid->addWidget(m_readouts[i], i, 1);
    }
    return box;
}

QString TBenchWindow::Readout(int which) const
{
    return m_readouts[which]->text();
}

void TBenchWindow::Refresh()
{
    for (int i = 0; i < PotCount; ++i) {
        const double position = m_state.Pot(i);
        if (!m_dials[i]->isSliderDown()) {
            const QSignalBlocker quiet(m_dials[i]);
            m_dials[i]->setValue(int(std::lround(position * DialSteps)));
        }
        m_potValues[i]->setText(QStringLiteral("%1 %").arg(position * 100, 5, 'f', 2));
    }
    if (!m_wiring->view()->isVisible())
        m_wiring->setCurrentIndex(m_state.pin37.load());
    if (!m_calibrator->hasFocus()) {
        const QSignalBlocker quiet(m_calibrator);
        m_calibrator->setValue(m_state.Calibrator());
    }
    for (int dac = 0; dac < 2; ++dac)
        if (!m_ranges[dac]->view()->isVisible())
            m_ranges[dac]->setCurrentIndex(m_state.dacRange[dac].load());
    m_readouts[0]->setText(Volts(m_card.dacVolts(0)));
    m_readouts[1]->setText(Volts(m_card.dacVolts(1)));
    m_readouts[2]->setText(Volts(m_card.pin37Volts()));
}
