// The virtual bench: the simulated card on a bench, with its seven trimmer
// pots as dials (no scale: the card's exact trims are for Setup to find),
// the wiring of connector pin 37, the DACs' range switches, live readouts
// of the DAC outputs and of pin 37, the card's true errors as a reference
// meter shows them, and a fresh card from the factory.
#pragma once

#include "trvwdm/sim/SimulatedCard.h"

#include <QTimer>
#include <QWidget>

class QComboBox;
class QDial;
class QDoubleSpinBox;
class QLabel;
class QPushButton;
class QScrollArea;

class TBenchWindow : public QWidget {
    Q_OBJECT

public:
    // Shows and turns the card whose inputs are in `state`; when `shared`
    // holds them and is cut short, the bench goes on with a card of its own.
    explicit TBenchWindow(trvsim::CardState &state, const trvsim::SharedState *shared = nullptr,
                          QWidget *parent = nullptr);

    QDial *PotDial(trvsim::Pot pot) const { return FDials[int(pot)]; }
    QComboBox *Wiring() const { return FWiring; }
    QDoubleSpinBox *Calibrator() const { return FCalibrator; }
    QComboBox *DacRange(int dac) const { return FRanges[dac]; }
    QString Readout(int which) const; // 0: DAC 0, 1: DAC 1, 2: pin 37
    QString CardErrors() const;
    QPushButton *NewCardButton() const { return FNewCard; }

    // Whether the bench stays on top of other windows (of Setup's).
    bool StaysOnTop() const;
    // Takes what another bench or Setup changed, and refreshes the readouts.
    void Refresh();
    // Setup runs maximised: where the screen has room below the board, the
    // bench stays on top there, in the bottom right corner, so that both
    // are usable at once, and scrolls what the room cannot hold; on a
    // smaller screen it is an ordinary window, and on one smaller than the
    // bench it scrolls. It is placed again by
    // the frame the window manager reports, and when its parts take their
    // final size.
    void PlaceBesideSetup();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Sizes the window for the screen, decides whether it stays on top and
    // puts its frame in the screen's bottom right corner.
    void Place();
    // Fixes the window's size, and gives it: the whole bench, or as much as
    // `room` holds, with scroll bars for the rest.
    QSize FitWithin(const QSize &room);
    QWidget *potsPanel();
    QWidget *wiringPanel();
    QWidget *readoutPanel();
    QWidget *errorsPanel();
    // The card's inputs, or the bench's own once the shared ones broke.
    trvsim::CardState &State();

    trvsim::CardState *FState;
    const trvsim::SharedState *FShared;
    trvsim::Card FCard; // the card's arithmetic over the inputs
    QDial *FDials[trvsim::PotCount] = {};
    QComboBox *FWiring = nullptr;
    QDoubleSpinBox *FCalibrator = nullptr;
    QComboBox *FRanges[2] = {};
    QLabel *FReadouts[3] = {};
    QLabel *FErrors = nullptr;
    QPushButton *FNewCard = nullptr;
    QTimer FTimer;
    QScrollArea *FScroll = nullptr;
    bool FBesideSetup = false; // placed beside Setup
    QSize FFitted;             // the bench's size when the window was last fitted to it
    QPoint FPlace;             // where the frame's corner was last asked to be
};
