#pragma once

// The highlighter a text is shown with, chosen by the View command.
enum HighlighterKind : int {
    HL_PLAIN = 0,
    HL_BIN = 1,
    HL_CPP = 2,
    HL_XML = 3,
    HL_SH = 4
};
