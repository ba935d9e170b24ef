#pragma once

#include <QString>

// One word of a command line as QProcess::splitCommand reads it back:
// unchanged when it holds no white space and no double quote, otherwise
// enclosed in double quotes with each double quote written three times.
// Any file name survives the round trip, so a command built from it acts
// on exactly that file.
QString quoteCommandArgument(const QString& word);

// The archive argument for unzip. unzip expands the wildcards [ * ? in the
// archive's file name itself (a backslash escapes within such a pattern),
// so those characters are turned into one-character classes that match
// only themselves. path should be absolute, so that a leading dash never
// reads as an option.
QString unzipArchiveArgument(const QString& path);

