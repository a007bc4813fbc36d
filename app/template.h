// TMainForm: the one main window. Its components come from template.ui and
// are its public fields under their layout names; its handlers are public
// slots under the names the layout binds.
#pragma once

#include "CalibrationRecord.h"
#include "CardIO.h"
#include "ui_template.h"

#include <QMainWindow>
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

class TTwoJumper;
class TDipSwitch;
class TCheckPass;
class TCheckWindow;
class TReportWindow;
class TSetupSupporter;
class TTrendView;

// The main window unit's module-level state, shared by the handlers and the
// calibration wizard. One copy exists for the process, MainUnit; the
// values here are the ones it starts with.
struct TMainUnit {
    std::array<TTwoJumper *, 9> ChannelJumper{}; // entries 1..8: CH0..CH7
    std::array<TDipSwitch *, 2> DACSwitch{};     // DACDip0, DACDip1
    std::array<uint8_t, 2> DACRange{0, 0};       // range index per DAC
    uint16_t BaseAddress = 0;                    // I/O base of the card in use
    int32_t CalibStep = 0;                       // wizard step

    // Back to the starting values, as at process start; a main window
    // created afterwards fills the tables again.
    void Reset() { *this = TMainUnit{}; }
};
extern TMainUnit MainUnit;

class TMainForm : public QMainWindow, public Ui::TMainForm {
    Q_OBJECT

public:
    explicit TMainForm(QWidget *parent = nullptr);

    // The non-visual setup-support component.
    TSetupSupporter *SetSup;

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

    // Calibration wizard: runs until Quit or Next after the last step.
    // With several cards listed, the user first chooses the one to drive.
    void CalibButtonClick();
    // Starts a check pass of the running wizard: as found while it is at
    // its first step and has not left it, as left at its last step.
    void StartCheck(TCheckKind kind);
    void NextClick();
    void PrevClick();
    void QuitClick();

    // Takes five A/D samples and shows their average in counts and volts;
    // when a sample fails, shows "****", "******" and "A/D FAILURE" instead
    // and returns false.
    std::optional<CardIO::TReading> ReadAverage(CardIO::TVariant variant);

public:
    // The live trend and the card driven, in the instruction panel; the
    // calibration's record, its window (opened with the wizard, brought up
    // at the last step) and the window of a running check pass.
    TTrendView *TrendView = nullptr;
    QLabel *CardLabel = nullptr;
    TReportWindow *ReportWindow = nullptr;
    TCheckWindow *CheckWindow = nullptr;
    const TCalibrationRecord &Record() const { return FRecord; }

protected:
    // Closing the window ends a running calibration, as Quit does.
    void closeEvent(QCloseEvent *event) override;

private:
    // Names, labels and keys for assistive technology and the keyboard,
    // which the layout does not hold.
    void NameForAssistiveTechnology();
    // One pass of the step numbered CalibStep.
    void RunStep(int step);
    void StepComplete();

    // Opens (or brings up) the calibration record beside the instruction panel.
    void ShowReport();
    // Writes the DAC code to DAC `dac` (if any), selects the A/D input
    // `code` and reads it.
    std::optional<CardIO::TReading> DriveAndRead(std::optional<int> dac, uint16_t dacCode, uint16_t code,
                                                 CardIO::TVariant variant);
    // One pass of the running check: the current point driven and read.
    void RunCheckPass();
    void EndCheck();
    // The check passes the report window offers now.
    void OfferChecks();
    // With several cards, asks which one to calibrate; false when cancelled.
    bool ChooseCard();

    // The last reading failed: the title stays "A/D FAILURE" until a pass
    // reads cleanly.
    bool FReadFailing = false;
    TCalibrationRecord FRecord;
    int FWizards = 0;       // wizards running, nested ones included
    int FShownStep = 0;     // the step the trend and report belong to
    QString FCardModel;     // the model of the card in BaseAddress
    std::vector<TCardId> FCards; // the cards listed that can be driven
    std::shared_ptr<TCheckPass> FCheck; // the running check pass, if any
    bool FLeftFirstStep = false; // the wizard has been past step 1
    std::array<bool, 2> FDacChosen{}; // the user chose a range in DAC n's list
    // A card listed at a base above 0xFFFF, which 16-bit ports cannot reach
    // (its model and base), for the wizard's refusal.
    QString FUnaddressableCard;
};
