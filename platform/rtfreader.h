#pragma once

// A small RTF reader for the help texts the program shows in its read-only
// rich edit panes. It understands what such texts use: groups, \par, \line,
// \tab, \b, \i, \ul, \strike, \fs, \cf with \colortbl, \plain, \'hh in the
// document's \ansicpg code page, \uN with \ucN, the common symbol words, and
// it skips \fonttbl, \stylesheet, \info, pictures and every \* destination.
// Anything else is ignored, so an unknown word never shows up as text.

#include <QByteArrayView>

class QTextDocument;

// Replaces the document's content with the RTF text; false (and the document
// left empty) when the data does not begin with "{\rtf".
bool LoadRtf(QByteArrayView rtf, QTextDocument *document);
