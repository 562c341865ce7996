#include "data/text/Latin2.h"

#include "data/text/TextEncodingError.h"

#include <array>

namespace kx::latin2 {

namespace {

// ISO 8859-2 bytes 0xA0..0xFF as Unicode code points; bytes below 0xA0 map to themselves.
constexpr std::array<char16_t, 96> kHigh = {
    0x00A0, 0x0104, 0x02D8, 0x0141, 0x00A4, 0x013D, 0x015A, 0x00A7, 0x00A8, 0x0160, 0x015E, 0x0164,
    0x0179, 0x00AD, 0x017D, 0x017B, 0x00B0, 0x0105, 0x02DB, 0x0142, 0x00B4, 0x013E, 0x015B, 0x02C7,
    0x00B8, 0x0161, 0x015F, 0x0165, 0x017A, 0x02DD, 0x017E, 0x017C, 0x0154, 0x00C1, 0x00C2, 0x0102,
    0x00C4, 0x0139, 0x0106, 0x00C7, 0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD, 0x00CE, 0x010E,
    0x0110, 0x0143, 0x0147, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x00D7, 0x0158, 0x016E, 0x00DA, 0x0170,
    0x00DC, 0x00DD, 0x0162, 0x00DF, 0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7,
    0x010D, 0x00E9, 0x0119, 0x00EB, 0x011B, 0x00ED, 0x00EE, 0x010F, 0x0111, 0x0144, 0x0148, 0x00F3,
    0x00F4, 0x0151, 0x00F6, 0x00F7, 0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9,
};

// Every Latin-2 character lies below U+02E0, so the reverse table is a small flat array:
// code point -> byte, 0 meaning "no code" (U+0000 itself is handled before the lookup).
constexpr char16_t kReverseSize = 0x02E0;

const std::array<unsigned char, kReverseSize>& reverseTable() {
    static const auto table = [] {
        std::array<unsigned char, kReverseSize> t{};
        for (unsigned b = 0; b < 0xA0; ++b)
            t[b] = static_cast<unsigned char>(b);
        for (unsigned i = 0; i < kHigh.size(); ++i)
            t[kHigh[i]] = static_cast<unsigned char>(0xA0 + i);
        return t;
    }();
    return table;
}

// The byte for one UTF-16 unit, or -1 when Latin-2 has none (surrogates never have one).
int byteFor(char16_t u) {
    if (u == 0)
        return 0;
    if (u >= kReverseSize)
        return -1;
    const unsigned char b = reverseTable()[u];
    return b == 0 ? -1 : b;
}

// The bytes of text when every character has one; false otherwise.
bool encodeAsIs(const QString& text, QByteArray* out) {
    out->resize(text.size());
    char* dst = out->data();
    const char16_t* src = reinterpret_cast<const char16_t*>(text.utf16());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const int b = byteFor(src[i]);
        if (b < 0)
            return false;
        dst[i] = static_cast<char>(b);
    }
    return true;
}

// The ASCII signs of text (everything but letters and digits), in order.
QByteArray asciiSigns(const QString& text) {
    QByteArray signs;
    for (const QChar c : text)
        if (c.unicode() < 0x80 && !(c.isLetterOrNumber()))
            signs.append(char(c.unicode()));
    return signs;
}

} // namespace

QString composed(const QString& text) {
    // Every Latin-2 character is its own composed form, so text that encodes as it is stays
    // as it is; only text with something outside Latin-2 is worth composing.
    for (const QChar c : text) {
        if (byteFor(c.unicode()) >= 0)
            continue;
        const QString nfc = text.normalized(QString::NormalizationForm_C);
        // Composing joins letters with their marks. A few characters compose to an ASCII
        // sign (U+037E to ";", U+1FEF to "`"); text with one of those stays as typed, so it is
        // refused rather than given a sign that could end a literal or a quoted name made
        // from it before it was composed.
        return asciiSigns(nfc) == asciiSigns(text) ? nfc : text;
    }
    return text;
}

QByteArray encode(const QString& text) {
    QByteArray out;
    if (encodeAsIs(text, &out))
        return out;
    const QString nfc = composed(text);
    if (!encodeAsIs(nfc, &out))
        throw TextEncodingError(text, unrepresentable(nfc));
    return out;
}

QString decode(const char* bytes, qsizetype size) {
    QString out(size, Qt::Uninitialized);
    char16_t* dst = reinterpret_cast<char16_t*>(out.data());
    for (qsizetype i = 0; i < size; ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        dst[i] = b < 0xA0 ? char16_t(b) : kHigh[b - 0xA0];
    }
    return out;
}

QString unrepresentable(const QString& input) {
    const QString text = composed(input);
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        QString ch = text.mid(i, 1);
        if (text.at(i).isHighSurrogate() && i + 1 < text.size() &&
            text.at(i + 1).isLowSurrogate()) {
            ch = text.mid(i, 2);
            ++i;
        } else if (byteFor(text.at(i).unicode()) >= 0) {
            continue;
        }
        if (!out.contains(ch))
            out += ch;
    }
    return out;
}

bool canEncode(const QString& text) {
    QByteArray bytes;
    return encodeAsIs(text, &bytes) || encodeAsIs(composed(text), &bytes);
}

} // namespace kx::latin2
