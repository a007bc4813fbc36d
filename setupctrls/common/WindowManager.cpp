#include "WindowManager.h"

#include <QGuiApplication>
#include <QEvent>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <chrono>
#include <memory>
#include <xcb/xcb.h>

namespace {

xcb_atom_t Atom(xcb_connection_t *connection, const char *name)
{
    const xcb_intern_atom_cookie_t cookie = xcb_intern_atom(connection, 0, uint16_t(strlen(name)), name);
    const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&free)> reply(
        xcb_intern_atom_reply(connection, cookie, nullptr), &free);
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

// The value of `property` of `window`, as bytes; empty when it has none.
QByteArray Property(xcb_connection_t *connection, xcb_window_t window, xcb_atom_t property, xcb_atom_t type)
{
    const xcb_get_property_cookie_t cookie = xcb_get_property(connection, 0, window, property, type, 0, 1024);
    const std::unique_ptr<xcb_get_property_reply_t, decltype(&free)> reply(
        xcb_get_property_reply(connection, cookie, nullptr), &free);
    if (!reply || reply->type != type)
        return {};
    return QByteArray(static_cast<const char *>(xcb_get_property_value(reply.get())),
                      xcb_get_property_value_length(reply.get()));
}

constexpr Qt::WindowStates Covering = Qt::WindowMaximized | Qt::WindowFullScreen;

// Undoes a maximise or a full screen that comes anyway (KWin takes no hint
// against maximising a window that can be resized): the window returns to
// its place and size as they were before.
class TNeverCovering : public QObject {
public:
    explicit TNeverCovering(QWidget *window) : QObject(window), FNormal(window->geometry()) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *window = static_cast<QWidget *>(watched);
        const bool covering = window->windowState() & Covering;
        if ((event->type() == QEvent::Move || event->type() == QEvent::Resize) && !covering && !FRestoring)
            FNormal = window->geometry();
        if (event->type() == QEvent::WindowStateChange && covering && !FRestoring) {
            FRestoring = true;
            QTimer::singleShot(0, window, [this, window] {
                window->setWindowState(window->windowState() & ~Covering);
                window->setGeometry(FNormal);
                FRestoring = false;
            });
        }
        return false;
    }

private:
    QRect FNormal;
    bool FRestoring = false;
};

// Whether the window manager has `window` maximised, as its _NET_WM_STATE
// says; true where there is no X11 to ask.
bool MaximisedOnServer(QWidget *window)
{
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t *connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return true;
    const QByteArray states = Property(connection, xcb_window_t(window->winId()), Atom(connection, "_NET_WM_STATE"), XCB_ATOM_ATOM);
    const xcb_atom_t vertical = Atom(connection, "_NET_WM_STATE_MAXIMIZED_VERT");
    for (qsizetype at = 0; at + qsizetype(sizeof(xcb_atom_t)) <= states.size(); at += sizeof(xcb_atom_t)) {
        xcb_atom_t state;
        memcpy(&state, states.constData() + at, sizeof state);
        if (state == vertical)
            return true;
    }
    return false;
}

// Watches a window just shown maximised: once the window manager has
// framed it (a request before that goes unheard), asks again every 100 ms
// until the manager has it maximised. Goes then, at the program's own
// change of the window's state, and after ten seconds: from then on the
// state is the user's. (Mutter 48 calls a window minimised, for a moment,
// as it maps it.)
class TMaximiseAgain : public QObject {
public:
    explicit TMaximiseAgain(QWidget *window) : QObject(window), FWindow(window)
    {
        window->installEventFilter(this);
        connect(&FAsk, &QTimer::timeout, this, &TMaximiseAgain::Ask);
        FAsk.start(100);
        QTimer::singleShot(FirstWords, this, &QObject::deleteLater);
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::WindowStateChange && !FAsking && !event->spontaneous())
            deleteLater();
        return false;
    }

private:
    void Ask()
    {
        if (FWindow->windowHandle()->frameMargins().isNull())
            return;
        if (MaximisedOnServer(FWindow)) {
            deleteLater();
            return;
        }
        // Qt sends no request for a state it takes the window to have.
        FAsking = true;
        FWindow->setWindowState(FWindow->windowState() & ~Qt::WindowMaximized);
        FWindow->setWindowState(FWindow->windowState() | Qt::WindowMaximized);
        FAsking = false;
    }

    static constexpr std::chrono::seconds FirstWords{10};
    QWidget *FWindow;
    QTimer FAsk;
    bool FAsking = false;
};

} // namespace

void ShowMaximised(QWidget *window)
{
    window->showMaximized();
    new TMaximiseAgain(window);
}

QString WindowManagerName()
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t *connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return {};
    const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    const QByteArray check = Property(connection, screen->root, Atom(connection, "_NET_SUPPORTING_WM_CHECK"),
                                      XCB_ATOM_WINDOW);
    if (check.size() < int(sizeof(xcb_window_t)))
        return {};
    xcb_window_t wm;
    memcpy(&wm, check.constData(), sizeof wm);
    return QString::fromUtf8(Property(connection, wm, Atom(connection, "_NET_WM_NAME"), Atom(connection, "UTF8_STRING")));
}

void AskForNoMaximise(QWidget *window)
{
    static const bool openbox = WindowManagerName() == QLatin1String("Openbox");
    if (!openbox) {
        window->installEventFilter(new TNeverCovering(window));
        return;
    }
    constexpr int Toolbar = 0x08;
    window->winId(); // creates the native window
    QWindow *handle = window->windowHandle();
    // Qt's xcb platform reads the type list from this window property
    // whenever the flags are applied, so they are applied once more.
    handle->setProperty("_q_xcb_wm_window_type", Toolbar);
    const Qt::WindowFlags flags = handle->flags();
    handle->setFlags(flags | Qt::WindowContextHelpButtonHint);
    handle->setFlags(flags);
}
