// TMainForm: the one main window. Its components come from template.ui and
// are private to it; each bears its layout name as its object name, so
// that findChild finds it. Its handlers are public slots under the names
// the layout binds.
#pragma once

#include "InstalledCards.h"
#include "MainUnit.h"
#include "ui_template.h"

#include <QMainWindow>
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

class TCalibrationSession;
class TSetupSupporter;
class TTrendView;


class THistoryKeeper;
class THistoryWindow;

class TMainForm : public QMainWindow, private Ui::TMainForm {
    Q_OBJECT

public:
    explicit TMainForm(QWidget *parent = nullptr);

public slots:
    void FormCreate();
    void Exit2Click();
    void Howtousethisprogram1Click();
    void TechnicalSupport1Click();

    // Card options: jumpers and switches kept in step with their lists.
    void ChannelClick(QObject *Sender);
    void ChannelBoxChange();
    void BufferJumperClick();
    void BufferBoxChange();
    void BufferPanelEnter();
    void DACBoxChange();
    void DACPanelEnter();

    // The text describing installed card CardIndex; records its base address.
    QString SetSupGetCardString(QObject *Sender, int CardIndex);

    // Calibration wizard: starts it, and it runs until Quit or Next after
    // the last step; started again while it runs, it goes back to step 1.
    // With several cards listed, the user first chooses the one to drive.
    void CalibButtonClick();
    void NextClick();
    void PrevClick();
    void QuitClick();

    // The calibration history window, from the Calibration menu.
    void History1Click();
    // Records saved as CSV before the history kept them, imported into it.
    void ImportRecords1Click();

public:
    // The calibration wizard, its record and its windows.
    TCalibrationSession *Calibration() const { return FCalibration; }
    // Where each calibration is kept, and its window (null until opened).
    THistoryKeeper *History() const { return FHistory; }
    THistoryWindow *HistoryWindow() const { return FHistoryWindow; }

protected:
    // Closing the window ends a running calibration, as Quit does.
    void closeEvent(QCloseEvent *event) override;

private:
    // Names, labels and keys for assistive technology and the keyboard,
    // which the layout does not hold.
    void NameForAssistiveTechnology(TTrendView *trend);
    // The card to calibrate: the one at BaseAddress, or with several
    // cards the one the user chooses; none when there is none to drive,
    // the user cancels, or another program drives it.
    std::optional<TCardId> ChooseCard();
    // The card of `listed` the user means, whether another program drives
    // it or not.
    std::optional<TCardId> AskForCard(const std::vector<TListedCard> &listed);

    // The non-visual setup-support component, named "SetSup".
    TSetupSupporter *SetSup = nullptr;
    TCalibrationSession *FCalibration = nullptr;
    THistoryKeeper *FHistory = nullptr;
    THistoryWindow *FHistoryWindow = nullptr;
    std::array<bool, 2> FDacChosen{}; // the user chose a range in DAC n's list
};
