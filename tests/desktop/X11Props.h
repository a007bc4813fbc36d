// What the X server and the window manager say of Setup's windows, read
// with xprop as a desktop's own tools read it.
#pragma once

#include <QGuiApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <QWidget>
#include <cstring>
#include <xcb/xcb.h>

// xprop's answer, in words.
inline QStringList XProp(const QStringList &args)
{
    QProcess xprop;
    xprop.start(QStringLiteral("xprop"), args);
    if (!xprop.waitForFinished(5000))
        return {};
    return QString::fromLatin1(xprop.readAllStandardOutput()).split(QRegularExpression(QStringLiteral("[,=\\s]+")),
                                                                    Qt::SkipEmptyParts);
}

// Where the X server has the window's client area now, as xwininfo reads
// it: Qt's own idea may run ahead of the window manager's answer.
inline QPoint ServerPosition(const QWidget *w)
{
    QProcess xwininfo;
    xwininfo.start(QStringLiteral("xwininfo"), {QStringLiteral("-id"), QString::number(w->winId())});
    if (!xwininfo.waitForFinished(5000))
        return {};
    const QString out = QString::fromLatin1(xwininfo.readAllStandardOutput());
    static const QRegularExpression x(QStringLiteral("Absolute upper-left X:\\s+(-?\\d+)")),
        y(QStringLiteral("Absolute upper-left Y:\\s+(-?\\d+)"));
    return QPoint(x.match(out).captured(1).toInt(), y.match(out).captured(1).toInt());
}

// The client windows from bottom to top, as the window manager stacks them.
inline QList<WId> Stacking()
{
    QList<WId> ids;
    for (const QString &word : XProp({QStringLiteral("-root"), QStringLiteral("_NET_CLIENT_LIST_STACKING")}))
        if (word.startsWith(QStringLiteral("0x")))
            ids << word.toULongLong(nullptr, 16);
    return ids;
}

inline bool Above(const QWidget *upper, const QWidget *lower)
{
    const QList<WId> order = Stacking();
    const qsizetype u = order.indexOf(upper->winId()), l = order.indexOf(lower->winId());
    return u >= 0 && l >= 0 && u > l;
}

// The window manager's word on the window's state (_NET_WM_STATE).
inline QString NetState(const QWidget *w)
{
    return XProp({QStringLiteral("-id"), QString::number(w->winId()), QStringLiteral("_NET_WM_STATE")}).join(u' ');
}

// What the window manager lets the user do with the window.
inline QString AllowedActions(const QWidget *w)
{
    return XProp({QStringLiteral("-id"), QString::number(w->winId()), QStringLiteral("_NET_WM_ALLOWED_ACTIONS")}).join(u' ');
}

// Asks the window manager to maximise the window, as its own window menu
// or a pager does: a _NET_WM_STATE message to the root window.
inline void AskWindowManagerToMaximise(const QWidget *w)
{
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t *c = x11 ? x11->connection() : nullptr;
    if (!c)
        return;
    auto atom = [c](const char *name) {
        xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(strlen(name)), name), nullptr);
        const xcb_atom_t a = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        free(reply);
        return a;
    };
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = xcb_window_t(w->winId());
    event.type = atom("_NET_WM_STATE");
    event.data.data32[0] = 1; // add
    event.data.data32[1] = atom("_NET_WM_STATE_MAXIMIZED_VERT");
    event.data.data32[2] = atom("_NET_WM_STATE_MAXIMIZED_HORZ");
    event.data.data32[3] = 2; // from a pager, as the user's own request
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    xcb_send_event(c, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char *>(&event));
    xcb_flush(c);
}

// Whether the X server sends the keys to `window` now, as xdotool's key
// presses go: Qt's idea of the active window can run ahead of it.
inline bool XFocusOn(const QWidget *window)
{
    if (!window)
        return false;
    QProcess xdotool;
    xdotool.start(QStringLiteral("xdotool"), {QStringLiteral("getwindowfocus")});
    if (!xdotool.waitForFinished(5000))
        return false;
    return QString::fromLatin1(xdotool.readAllStandardOutput()).trimmed().toULongLong() == window->winId();
}
