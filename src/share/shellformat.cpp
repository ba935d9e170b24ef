#include "share/shellformat.h"

#include <QVector>

#include <algorithm>

namespace {

enum class Context { Plain, Single, Double, Backquote, Substitution, Comment };

struct Level
{
    Context context;
    int parentheses; // open inside a $( ... ), beyond its own
};

const QLatin1String PlainSafe("_@%+=:,./-");
const QLatin1String DoubleSpecial("$`\\\"");
const QLatin1String WordEnd(" \t\n;&|()<>");

bool isPlainSafe(const QString& value)
{
    for (const QChar c : value) {
        const bool alphanumeric = c.unicode() < 128 && c.isLetterOrNumber();
        if (!alphanumeric && !PlainSafe.contains(c))
            return false;
    }
    return !value.isEmpty();
}

QString singleQuoted(const QString& value)
{
    return QLatin1Char('\'') + QString(value).replace(QLatin1Char('\''), QLatin1String("'\\''"))
        + QLatin1Char('\'');
}

bool endsWord(const QString& text, int i)
{
    return i < 0 || i >= text.size() || WordEnd.contains(text.at(i));
}

// A placeholder's index into values, or -1.
int placeholderAt(const QString& format, int i, const QStringList& values)
{
    if (i + 1 >= format.size() || format.at(i) != QLatin1Char('%'))
        return -1;
    const int n = format.at(i + 1).unicode() - '1';
    return n >= 0 && n < 9 && n < values.size() ? n : -1;
}

QString quoted(const QString& value, Context context, bool alone)
{
    switch (context) {
    case Context::Single:
        return QString(value).replace(QLatin1Char('\''), QLatin1String("'\\''"));
    case Context::Comment:
        // A line feed would end the comment and run the rest.
        return QString(value).replace(QLatin1Char('\n'), QLatin1Char(' '))
            .replace(QLatin1Char('\r'), QLatin1Char(' '));
    case Context::Double: {
        const bool plain = std::none_of(value.cbegin(), value.cend(),
                                        [](QChar c) { return DoubleSpecial.contains(c); });
        return plain ? value : QLatin1Char('"') + singleQuoted(value) + QLatin1Char('"');
    }
    default:
        if (value.isEmpty())
            return alone ? QStringLiteral("''") : QString();
        return isPlainSafe(value) ? value : singleQuoted(value);
    }
}

// Inside back quotes the shell first takes a backslash before \, ` and $
// away: give each of them one more.
QString forBackquotes(QString text, int depth)
{
    for (int d = 0; d < depth; ++d) {
        QString escaped;
        for (const QChar c : text) {
            if (c == QLatin1Char('\\') || c == QLatin1Char('`') || c == QLatin1Char('$'))
                escaped += QLatin1Char('\\');
            escaped += c;
        }
        text = escaped;
    }
    return text;
}

} // namespace

QString shellFormat(const QString& format, const QStringList& values)
{
    QString out;
    QVector<Level> levels{ { Context::Plain, 0 } };
    int backquotes = 0;
    auto push = [&](Context c) {
        levels.append({ c, 0 });
        backquotes += c == Context::Backquote;
    };
    auto pop = [&] {
        backquotes -= levels.last().context == Context::Backquote;
        levels.removeLast();
    };

    for (int i = 0; i < format.size(); ++i) {
        const QChar c = format.at(i);
        const QChar next = i + 1 < format.size() ? format.at(i + 1) : QChar();
        Level& level = levels.last();
        const int value = placeholderAt(format, i, values);
        if (value >= 0) {
            const bool alone = endsWord(format, i - 1) && endsWord(format, i + 2);
            out += forBackquotes(quoted(values.at(value), level.context, alone), backquotes);
            ++i;
            continue;
        }
        if (level.context == Context::Single) {
            if (c == QLatin1Char('\''))
                pop();
        } else if (level.context == Context::Comment) {
            if (c == QLatin1Char('\n'))
                pop();
        } else if (c == QLatin1Char('\\')) {
            if (placeholderAt(format, i + 1, values) >= 0)
                continue;
            out += c;
            if (++i < format.size())
                out += format.at(i);
            continue;
        } else if (c == QLatin1Char('$') && next == QLatin1Char('(')) {
            out += c;
            out += next;
            ++i;
            push(Context::Substitution);
            continue;
        } else if (c == QLatin1Char('`')) {
            if (level.context == Context::Backquote)
                pop();
            else
                push(Context::Backquote);
        } else if (level.context == Context::Double) {
            if (c == QLatin1Char('"'))
                pop();
        } else if (c == QLatin1Char('\'')) {
            push(Context::Single);
        } else if (c == QLatin1Char('"')) {
            push(Context::Double);
        } else if (c == QLatin1Char('#') && endsWord(format, i - 1)) {
            push(Context::Comment);
        } else if (level.context == Context::Substitution && c == QLatin1Char('(')) {
            ++level.parentheses;
        } else if (level.context == Context::Substitution && c == QLatin1Char(')')) {
            if (level.parentheses-- == 0)
                pop();
        }
        out += c;
    }
    return out;
}
