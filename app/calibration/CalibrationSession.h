// The calibration wizard of the main window: the step it is at (the
// module's CalibStep), the card it drives, the record and the check pass.
// It runs in the application's own event loop, on timer ticks: each pass
// pauses 50 ms, writes the step's DAC code, selects the A/D input, lets it
// settle 50 ms and takes five conversions, one per turn of the loop. The
// buttons change the step between passes; the current pass runs to its
// end. Every wait is on the monotonic clock, and the thread sleeps in it.
// An access that the card refuses ends the wizard with its reason: it
// never goes on as if a DAC code or an input were set.
#pragma once

#include "CheckPass.h"
#include "RecordModel.h"

#include <QDeadlineTimer>
#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>

class QAbstractButton;
class QLabel;
class QShortcut;
class QWidget;
class TCheckWindow;
class TReadoutVoice;
class TReportWindow;
class TTrendView;

// The main window's widgets the wizard shows itself in.
struct TWizardView {
    QWidget *InstPanel = nullptr;
    QWidget *OutputPanel = nullptr;
    QLabel *CTitle = nullptr;
    QLabel *CBody = nullptr;
    QLabel *CBody2 = nullptr;
    QLabel *CardLabel = nullptr;
    QLabel *ReadCount = nullptr;
    QLabel *ReadVolt = nullptr;
    QWidget *PotMark = nullptr;
    QWidget *Image1 = nullptr;
    TTrendView *TrendView = nullptr;
    // The wizard's buttons, Next, Prev and Quit, which no window it opens
    // may cover.
    QList<QAbstractButton *> Buttons;
    // For which DACs the user chose a range; the others are the lists'
    // defaults. All when not given.
    std::function<std::array<bool, 2>()> RangesChosen;
};

class TCalibrationSession : public QObject {
    Q_OBJECT

public:
    // `owner` is the window the record and check windows belong to.
    TCalibrationSession(QWidget *owner, const TWizardView &view);

    // Starts the wizard at step 1 on `card` (which becomes the card in
    // use, BaseAddress), with a new record.
    void Start(const TCardId &card);
    // While it runs: back to step 1, with the same card and record.
    void Restart();
    bool Running() const { return FRunning; }

    // The wizard's buttons: the next step, the one before (never below
    // 1), and the end, each taking effect at the next pass.
    void Next();
    void Prev();
    void Quit();

    // Starts a check pass: as found while the wizard is at its first step
    // and has not left it, as left at its last step.
    void StartCheck(TCheckKind kind);

    const TCalibrationRecord &Record() const { return FRecord.Record(); }
    // The record as its windows and the history follow it.
    TRecordModel &RecordModel() { return FRecord; }
    // The record's window (opened with the wizard) and the window of a
    // check pass; null until first opened.
    TReportWindow *ReportWindow() const { return FReportWindow; }
    TCheckWindow *CheckWindow() const { return FCheckWindow; }

signals:
    // The wizard ended: Quit, or Next past the last step.
    void Ended();
    // The wizard ended because the card refused an access: `reason` says
    // why and what to do. Ended() came first.
    void Failed(const QString &reason);

private:
    // Ends the wizard when the card refused an access since the last
    // look; true when it did.
    bool StoppedByPortError();

    // What one pass drives and reads: a measuring step, or the check
    // pass's current point.
    struct TPass {
        int number = 0; // the step the pass began at
        std::optional<TMeasureStep> step;
        TTestPoint point;
        std::unique_ptr<CardIO::TSampleSet> samples;
    };

    // Calls `then` once `ms` (scaled) have passed on the monotonic clock.
    void After(unsigned ms, void (TCalibrationSession::*then)());
    void Wake();

    void RunPass();
    void BeginMeasure(const TMeasureStep &s);
    void TakeSample();
    void ShowReadout(const std::optional<CardIO::TReading> &reading);
    void FinishMeasure(const std::optional<CardIO::TReading> &reading);
    void FinishCheck(const std::optional<CardIO::TReading> &reading);
    void EndPass();
    void Finish();
    void StepComplete();
    void EndCheck();
    // For which DACs the user chose a range.
    std::array<bool, 2> RangesChosen() const;
    // The check passes the record window offers now.
    void OfferChecks();
    // Opens (or brings up) the record beside the instruction panel.
    void ShowReport();
    // Puts the popups on the screen above the record.
    void RaisePopups();
    // The wizard's keys, which work from every window of Setup while it
    // runs: Alt+N, Alt+P and Alt+Q press Next, Prev and Quit; Ctrl+R goes
    // to the record window. No window uses them for anything else.
    void MakeKeys();
    void GoToRecord();

    QWidget *FOwner;
    TWizardView FView;
    TReadoutVoice *FVoice; // speaks the readout through ReadVolt
    QList<QShortcut *> FKeys; // enabled while the wizard runs
    TRecordModel FRecord;
    TReportWindow *FReportWindow = nullptr;
    TCheckWindow *FCheckWindow = nullptr;
    std::unique_ptr<TCheckPass> FCheck;
    TPass FPass;
    QTimer FTimer;
    QDeadlineTimer FUntil;
    void (TCalibrationSession::*FThen)() = nullptr;
    bool FRunning = false;
    // The last reading failed: the title stays "A/D FAILURE" until a pass
    // reads cleanly.
    bool FReadFailing = false;
    bool FLeftFirstStep = false; // the wizard has been past step 1
    int FShownStep = 0;          // the step the trend and record belong to
};
