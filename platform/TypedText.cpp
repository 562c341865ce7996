#include "TypedText.h"

#include <QPlainTextEdit>
#include <QStringList>
#include <QTextBlock>
#include <QTextDocument>

namespace kx {

namespace {
bool isBlank(QChar c) {
    return c.unicode() <= 0x20;
}
} // namespace

QString trimBlanks(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text.at(begin)))
        ++begin;
    while (end > begin && isBlank(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin);
}

QString memoText(const QPlainTextEdit* memo) {
    // The blocks' own text: toPlainText() would turn no-break spaces into plain blanks.
    const QString crlf = QStringLiteral("\r\n");
    QStringList lines;
    for (QTextBlock b = memo->document()->begin(); b.isValid(); b = b.next()) {
        QString line = b.text();
        line.replace(QChar::LineSeparator, crlf); // a soft break (Shift+Enter) is a line too
        lines << line;
    }
    return lines.join(crlf);
}

void setMemoText(QPlainTextEdit* memo, const QString& stored) {
    QString text = stored;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    memo->setPlainText(text);
}

} // namespace kx
