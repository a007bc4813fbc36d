// A reader of the RTF subset the help document uses: groups, control words
// with parameters, paragraphs, bold, font sizes, text colours from the
// colour table, the font table, \emdash, \'hh and \uN escapes, and
// ignorable destinations. Whatever it does not know it skips; malformed
// or hostile input (unbalanced braces, huge numbers, deep nesting, cut-off
// escapes) yields some text and never a crash or a hang.
#pragma once

#include <QByteArray>

class QTextDocument;

// Replaces the document's content with the text `rtf` describes.
void ReadRtf(const QByteArray &rtf, QTextDocument *document);
