#pragma once

#include <QByteArray>
#include <QString>

namespace kx::latin2 {

// ISO 8859-2 both ways. Text is first brought to its composed form (NFC), so that a letter
// typed or pasted as a base letter and combining marks ("a" + U+0301) is stored as the
// Latin-2 letter ("á"). encode() throws TextEncodingError when the composed text still holds
// a character that Latin-2 has no code for; nothing is replaced or dropped.
QByteArray encode(const QString& text);
// text in the composed form that encode() stores: as it is when Latin-2 can already hold it.
QString composed(const QString& text);
QString decode(const char* bytes, qsizetype size);
inline QString decode(const QByteArray& bytes) {
    return decode(bytes.constData(), bytes.size());
}
// The characters of the composed text that Latin-2 cannot store, each once, in order of
// appearance.
QString unrepresentable(const QString& text);
bool canEncode(const QString& text);

} // namespace kx::latin2
