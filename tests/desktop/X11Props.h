// What the X server and the window manager say of Setup's windows, read
// with xprop as a desktop's own tools read it.
#pragma once

#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <QWidget>

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

// What the window manager lets the user do with the window.
inline QString AllowedActions(const QWidget *w)
{
    return XProp({QStringLiteral("-id"), QString::number(w->winId()), QStringLiteral("_NET_WM_ALLOWED_ACTIONS")}).join(u' ');
}
