#include "terminal_text.h"

#include <QChar>
#include <QStringList>
#include <QVector>

namespace terminal_text {

namespace {
bool mayForge(char32_t codePoint) {
    switch (QChar::category(codePoint)) {
        case QChar::Other_Control:
        case QChar::Other_Format:
        case QChar::Separator_Line:
        case QChar::Separator_Paragraph:
            return true;
        default:
            return false;
    }
}

QString escapeOf(char32_t codePoint) {
    if (codePoint < 0x100) {
        return QString("\\x%1").arg(uint(codePoint), 2, 16, QChar('0'));
    }
    if (codePoint < 0x10000) {
        return QString("\\u%1").arg(uint(codePoint), 4, 16, QChar('0'));
    }
    return QString("\\U%1").arg(uint(codePoint), 8, 16, QChar('0'));
}
}  // namespace

QString escapedForTerminal(const QString& text) {
    QString escaped;
    escaped.reserve(text.size());
    for (const uint codePoint : text.toUcs4()) {
        if (mayForge(codePoint)) {
            escaped += escapeOf(codePoint);
        } else {
            const char32_t character = char32_t(codePoint);
            escaped += QString::fromUcs4(&character, 1);
        }
    }
    return escaped;
}

QString escapedLines(const QString& text) {
    QStringList lines = text.split('\n');
    for (QString& line : lines) {
        line = escapedForTerminal(line);
    }
    return lines.join('\n');
}

}  // namespace terminal_text
