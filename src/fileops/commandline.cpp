#include "fileops/commandline.h"

QString quoteCommandArgument(const QString& word)
{
    bool plain = !word.isEmpty();
    for (const QChar c : word) {
        if (c.isSpace() || c == QLatin1Char('"')) {
            plain = false;
            break;
        }
    }
    if (plain)
        return word;
    QString quoted = word;
    quoted.replace(QLatin1String("\""), QLatin1String("\"\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString unzipArchiveArgument(const QString& path)
{
    // Only the part after the last slash is matched as a pattern; unzip
    // opens the directory part as it is.
    const int nameStart = path.lastIndexOf(QLatin1Char('/')) + 1;
    QString argument = path.left(nameStart);
    for (int i = nameStart; i < path.size(); ++i) {
        const QChar c = path.at(i);
        if (c == QLatin1Char('[') || c == QLatin1Char('*') || c == QLatin1Char('?'))
            argument += QLatin1Char('[') + c + QLatin1Char(']');
        else if (c == QLatin1Char('\\'))
            argument += QLatin1String("[\\\\]");
        else
            argument += c;
    }
    return argument;
}
