// The virtual bench: the simulated card on a bench, with its seven trimmer
// pots as dials, the wiring of connector pin 37, the DACs' range switches,
// and live readouts of the DAC outputs and of pin 37.
#pragma once

#include "trvwdm/sim/SimulatedCard.h"

#include <QTimer>
#include <QWidget>

class QComboBox;
class QDial;
class QDoubleSpinBox;
class QLabel;

class TBenchWindow : public QWidget {
    Q_OBJECT

public:
    // Shows and turns the card whose inputs are in `state`.
    explicit TBenchWindow(trvsim::CardState &state, QWidget *parent = nullptr);

    QDial *PotDial(trvsim::Pot pot) const { return m_dials[int(pot)]; }
    QComboBox *Wiring() const { return m_wiring; }
    QDoubleSpinBox *Calibrator() const { return m_calibrator; }
    QComboBox *DacRange(int dac) const { return m_ranges[dac]; }
    QString Readout(int which) const; // 0: DAC 0, 1: DAC 1, 2: pin 37

    // Takes what another bench or Setup changed, and refreshes the readouts.
    void Refresh();

private:
    QWidget *potsPanel();
    QWidget *wiringPanel();
    QWidget *readoutPanel();

    trvsim::CardState &m_state;
    trvsim::Card m_card; // the card's arithmetic over the shared inputs
    QDial *m_dials[trvsim::PotCount] = {};
    QLabel *m_potValues[trvsim::PotCount] = {};
    QComboBox *m_wiring = nullptr;
    QDoubleSpinBox *m_calibrator = nullptr;
    QComboBox *m_ranges[2] = {};
    QLabel *m_readouts[3] = {};
    QTimer m_timer;
};
