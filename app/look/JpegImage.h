// JPEG pictures decoded by libjpeg straight into 32-bit images.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

// The decoded picture in QImage::Format_RGB32, or a null image when the
// data is not a JPEG stream libjpeg can read.
QImage DecodeJpeg(const QByteArray &data);
// Reads a file (or a ":/" resource) and decodes it.
QImage LoadJpeg(const QString &fileName);
