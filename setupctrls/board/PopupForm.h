// TPopupForm: the floating window a highlight group opens. From top to
// bottom: the group's radio panel, moved in from the main window for good;
// a read-only text box with the panel's Lines; Previous, Next and Done; an
// empty status bar. It stays on top, cannot shrink below its first size,
// and hides instead of closing. It tells its highlight what happened
// through its signals and its buttons' clicks, which the highlight
// connects when it creates the window. Escape closes it and goes back to
// the main window.
#pragma once

#include "Anchors.h"

#include <QList>
#include <QMargins>
#include <QWidget>

class QPlainTextEdit;
class QPushButton;
class QStatusBar;
class TBoardHighlight;
class TKeptPlace;
class TRadioPanel;

class TPopupForm : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int Tag READ Tag)

public:
    // Builds, sizes and places the popup of `owner`'s group; not shown yet.
    explicit TPopupForm(TBoardHighlight *owner);

    int Tag() const { return FTag; }
    // Moves the window, frame included, fully onto the screen.
    void HoldOnScreen();
    // Whether the window manager's frame has been seen and taken into the
    // size rule and the place.
    bool FrameKnown() const { return FFramed; }
    // Gives the input focus to the radio panel's first list, or its first
    // control when it has no list, or to Done without a panel.
    void FocusFirst();
    // The highlight that created the window and owns it.
    TBoardHighlight *Highlight() const { return FHighlight; }
    // While set, the window closes when the pointer leaves it; set when
    // the pointer moved from the highlight into the window, cleared when
    // the window closes.
    bool CloseOnLeave() const { return FCloseOnLeave; }
    void SetCloseOnLeave(bool value) { FCloseOnLeave = value; }

    // The window's parts, from the bottom up; each carries its name as its
    // object name.
    QStatusBar *PopupStatus() const { return FPopupStatus; }
    QPushButton *PreviousButton() const { return FPreviousButton; }
    QPushButton *NextButton() const { return FNextButton; }
    QPushButton *DoneButton() const { return FDoneButton; }
    QPlainTextEdit *StatusMemo() const { return FStatusMemo; }

signals:
    // The window was closed (it hides and lives on).
    void Closed();
    // The window became (true) or stopped being (false) the active window.
    void ActivationChanged(bool Active);

protected:
    void closeEvent(QCloseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void changeEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    // Escape closes the window and returns to the main window.
    void keyPressEvent(QKeyEvent *event) override;

private:
    QStatusBar *FPopupStatus = nullptr;
    QPushButton *FPreviousButton = nullptr;
    QPushButton *FNextButton = nullptr;
    QPushButton *FDoneButton = nullptr;
    QPlainTextEdit *FStatusMemo = nullptr;

    // Makes the size rule and the place again when the frame has changed,
    // unless the user has resized or moved the window.
    void FrameChanged(const QMargins &frame);
    // Outer size at least 194 x 122 and never smaller, with the frame FFrame.
    void ApplySizeRule();
    // Where the outer corner goes from `corner` for the window, frame
    // included, to lie on the screen.
    QPoint HeldOnScreen(const QPoint &corner) const;

    TBoardHighlight *FHighlight;
    bool FCloseOnLeave = false;
    TRadioPanel *FPanel = nullptr;
    int FTag = 0;
    TAnchorLayout FLayout;
    QRect FPanelStart;
    QSize FFirstClient;   // the client size the panel asks for
    QPoint FPlace;        // where the layout puts the window's outer corner
    QMargins FFrame;      // the frame assumed so far
    bool FFramed = false; // the window manager's frame has been seen
    QSize FRuledSize;     // the client size the size rule last gave
    TKeptPlace *FKept;    // the window at FPlace, frame included, held on the screen
};
