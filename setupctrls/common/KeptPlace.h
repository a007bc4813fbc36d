// TKeptPlace: keeps a top-level window where the program places it while
// the window manager frames it. A manager may put a new window elsewhere
// as it frames it, and may measure the frame more than once (mutter 48
// first with the frame's shadows), moving the window each time. So, until
// the frame's corner is where it was placed, a move is the manager's and
// the window is placed again (three times at most, for a manager that
// keeps it elsewhere); a move that comes with a new frame is the
// manager's too, and the window's owner places it anew once the frame is
// known. Once the corner is there, the client area's move is the user's.
#pragma once

#include <QMargins>
#include <QObject>
#include <QPoint>
#include <functional>

class QWidget;

class TKeptPlace : public QObject {
public:
    // Keeps `window` (a top-level widget) at `place`: where its frame's
    // corner goes, for the frame and size the window has then.
    TKeptPlace(QWidget *window, std::function<QPoint()> place);

    // Moves the window to its place, with the frame it has now.
    void Place();
    // Whether the window's client area has moved since the window manager
    // put the frame at its place: the user's doing.
    bool UserMoved() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *FWindow;
    std::function<QPoint()> FPlace;
    QMargins FFrame;          // the frame the window was placed with
    QPoint FPlacedAt;         // the frame's corner as placing left it
    bool FTaken = false;      // the window manager has put the frame there
    QPoint FTakenAt;          // the client area's corner then
    int FPlacedAgain = 0;     // placings after the window manager's own
};
