// "Exactly of class T": a derived class does not count.
#pragma once

#include <QObject>

template <typename T>
bool IsExactly(const QObject *object)
{
    return object && object->metaObject() == &T::staticMetaObject;
}

template <typename T>
T *AsExactly(QObject *object)
{
    return IsExactly<T>(object) ? static_cast<T *>(object) : nullptr;
}
