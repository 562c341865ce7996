#pragma once

#include <QString>

class QPlainTextEdit;

namespace kx {

// How the editing forms read and write the texts of a record.

// The text with its surrounding blanks (and control characters) removed; used only to tell an
// empty field, never to change what is stored.
QString trimBlanks(const QString& text);

// LEIRAS as stored: the memo's lines joined with CR LF, no break after the last line, every
// character as typed (no-break spaces included).
QString memoText(const QPlainTextEdit* memo);
// Puts a stored LEIRAS into the memo; CR LF, a lone CR and a lone LF each start a new line.
void setMemoText(QPlainTextEdit* memo, const QString& stored);

// The length of text as a Latin-2 column counts it: one byte a character. A text Latin-2
// cannot hold is counted in its composed form; the store refuses it on its own.
qsizetype storedLength(const QString& text);

} // namespace kx
