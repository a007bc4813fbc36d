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

    QDial *PotDial(trvsim::Pot pot) const { return FDials[int(pot)]; }
    QComboBox *Wiring() const { return FWiring; }
    QDoubleSpinBox *Calibrator() const { return FCalibrator; }
    QComboBox *DacRange(int dac) const { return FRanges[dac]; }
    QString Readout(int which) const; // 0: DAC 0, 1: DAC 1, 2: pin 37

    // Takes what another bench or Setup changed, and refreshes the readouts.
    void Refresh();

private:
    QWidget *potsPanel();
    QWidget *wiringPanel();
    QWidget *readoutPanel();

    trvsim::CardState &FState;
    trvsim::Card FCard; // the card's arithmetic over the shared inputs
    QDial *FDials[trvsim::PotCount] = {};
    QLabel *FPotValues[trvsim::PotCount] = {};
    QComboBox *FWiring = nullptr;
    QDoubleSpinBox *FCalibrator = nullptr;
    QComboBox *FRanges[2] = {};
    QLabel *FReadouts[3] = {};
    QTimer FTimer;
};
