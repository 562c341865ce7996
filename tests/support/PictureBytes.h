#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QSize>
#include <QString>

namespace kx::test {

// Pictures as the record store holds them, for rows a test writes itself.

// The BMP file image Qt's writer makes of img.
QByteArray bmpOf(const QImage& img);
// The BMP file image of a picture of size filled with colour.
QByteArray bmpOf(QSize size, QColor colour);
// An SQL literal of bytes, X'...', for the statements on the admin connection.
QString hexLiteral(const QByteArray& bytes);

} // namespace kx::test
