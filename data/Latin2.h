#pragma once

#include <QByteArray>
#include <QString>

namespace kx::latin2 {

// ISO 8859-2 both ways. encode() throws TextEncodingError when the text holds a character
// that Latin-2 has no code for; nothing is replaced or dropped.
QByteArray encode(const QString& text);
QString decode(const char* bytes, qsizetype size);
inline QString decode(const QByteArray& bytes) {
    return decode(bytes.constData(), bytes.size());
}
// The characters of text that Latin-2 cannot store, each once, in order of appearance.
QString unrepresentable(const QString& text);
bool canEncode(const QString& text);

} // namespace kx::latin2
