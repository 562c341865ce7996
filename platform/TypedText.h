#pragma once

#include <QString>

class QPlainTextEdit;

namespace kx {

// The texts typed into edit controls, as the windows read and show them.

// The text with its surrounding blanks (and control characters) removed; used only to tell an
// empty field, never to change what is stored.
QString trimBlanks(const QString& text);

// A memo's text as stored: its lines joined with CR LF, no break after the last line, every
// character as typed (no-break spaces included).
QString memoText(const QPlainTextEdit* memo);
// Puts a stored text into the memo; CR LF, a lone CR and a lone LF each start a new line.
void setMemoText(QPlainTextEdit* memo, const QString& stored);

} // namespace kx
