// TFrameWatch: tells when the frame a window manager puts around a window
// changes. The window system reports a frame only some time after the
// show, move, resize or state change that brought it, and framing need not
// move the client area, so no event tells of it: after each of those (and
// from its start, for a window already shown) the watch looks at the frame
// every 10 ms for a few seconds.
#pragma once

#include <QDeadlineTimer>
#include <QMargins>
#include <QObject>
#include <QTimer>

class QWidget;

class TFrameWatch : public QObject {
    Q_OBJECT

public:
    // Watches `window` (a top-level widget) and lives as long as it does.
    explicit TFrameWatch(QWidget *window);

signals:
    void FrameChanged(const QMargins &frame);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Looks at the frame every 10 ms for the next few seconds.
    void Watch();
    void Check();

    QWidget *FWindow;
    QMargins FFrame;
    QTimer FPoll;
    QDeadlineTimer FUntil;
};
