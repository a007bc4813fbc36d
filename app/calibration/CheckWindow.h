// A check pass on screen: which point of how many, what to connect (the
// step's own words), the target and its tolerance, the live reading and
// its trend, the DAC range the card's switches are likely set to where a
// DAC point reads near another range's value, and Record (the input is
// applied), Skip, Back and Stop. The
// window only shows and asks; the wizard drives the card and the pass. Its
// parts bear their names ("TitleLabel", "RecordButton" ...) for findChild.
#pragma once

#include "CheckPass.h"

#include <QDialog>

class QLabel;
class QPushButton;
class TTrendView;

class TCheckWindow : public QDialog {
    Q_OBJECT

public:
    explicit TCheckWindow(QWidget *owner);

    // The pass at `point`; a point newly shown has no reading yet.
    void Show(const TCheckPass &pass, const TTestPoint &point);
    // The point's latest reading; nothing when it failed.
    void ShowReading(const std::optional<CardIO::TReading> &reading);
    // Escape and the close box stop the pass.
    void reject() override;

signals:
    void RecordClicked();
    void SkipClicked();
    void BackClicked();
    void StopClicked();

private:
    QLabel *FTitleLabel;
    QLabel *FInputLabel;
    QLabel *FTargetLabel;
    QLabel *FReadingLabel;
    QLabel *FStatusLabel;
    QLabel *FNoteLabel;
    TTrendView *FTrend;
    QPushButton *FRecordButton;
    QPushButton *FSkipButton;
    QPushButton *FBackButton;
    QPushButton *FStopButton;
    std::optional<TTestPoint> FShownPoint; // the point the trend belongs to
};
