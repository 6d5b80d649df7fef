#include "LocalFiles.h"

QString LocalFiles::printable(const QString &text)
{
    QString shown;
    shown.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == '\n')
            shown += QLatin1String("\\n");
        else if (u == '\t')
            shown += QLatin1String("\\t");
        else if (u == '\r')
            shown += QLatin1String("\\r");
        else if (u < 0x20 || (u >= 0x7f && u < 0xa0))
            shown += QString("\\x%1").arg(uint(u), 2, 16, QLatin1Char('0'));
        // Line and paragraph separators, and the marks, embeddings, overrides
        // and isolates that reorder what follows them.
        else if (u == 0x2028 || u == 0x2029 || u == 0x200e || u == 0x200f || u == 0x061c ||
                 (u >= 0x202a && u <= 0x202e) || (u >= 0x2066 && u <= 0x2069))
            shown += QString("\\u%1").arg(uint(u), 4, 16, QLatin1Char('0'));
        else
            shown += c;
    }
    return shown;
}

QString LocalFiles::displayName(const QString &path)
{
    return printable(path.mid(path.lastIndexOf('/') + 1));
}
