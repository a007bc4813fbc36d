// A window's part by its object name (the main window's parts by their
// layout names), as any client of the window finds it; the test program
// stops when there is none.
#pragma once

#include <QObject>
#include <QString>
#include <memory>

template <class T>
T *Part(const QObject *window, const char *name)
{
    T *part = window ? window->findChild<T *>(QLatin1String(name)) : nullptr;
    if (!part)
        qFatal("no %s named %s", T::staticMetaObject.className(), name);
    return part;
}

template <class T, class Owner>
T *Part(const std::unique_ptr<Owner> &window, const char *name)
{
    return Part<T>(window.get(), name);
}
