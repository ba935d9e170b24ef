#pragma once

#include <QString>
#include <QStringList>

// Fills the placeholders %1 to %9 of a shell command line in one pass
// (values[0] for %1, and so on; inserted text is not scanned again).
// Each value reaches the shell as literal text, whatever it holds (blanks,
// quotes, $, back quotes, ;, line feeds), in the quoting the line gives it
// there: bare, in double or single quotes, in $(...) or back quotes, or in a
// comment. A value made only of letters, digits and _@%+=:,./- goes in as
// it is; an empty one standing alone as a word becomes ''. A backslash
// right before a placeholder is dropped: it would escape the value's first
// character. Placeholders without a value are left as they are.
QString shellFormat(const QString& format, const QStringList& values);
