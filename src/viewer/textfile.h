#pragma once

#include <QString>

// What the View command reads of a file, without any dialog.
struct TextFile
{
    enum Status {
        Read,        // text holds the file's text, or is empty for a file that isn't text
        TooBig,      // more than the limit; size says how much there is
        NotRegular,  // a pipe, socket or device: reading could wait for ever
    };

    Status status = Read;
    QString text;
    qint64 size = 0;

    // Reads at most limit bytes of path (opened without waiting, so a pipe
    // put in the file's place can't hang the reader). The limit holds for
    // what is read, even when the file grew after it was listed. The bytes
    // are text when the local 8-bit codec decodes and encodes them back to
    // the same bytes; a file that can't be opened reads as no text.
    static TextFile read(const QString& path, qint64 limit);

    // The HighlighterKind for a text by the file's name and first characters.
    static int highlighterFor(const QString& name, const QString& text);
};
