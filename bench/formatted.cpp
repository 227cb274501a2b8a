// SPDX-License-Identifier: GPL-3.0-or-later
#include "formatted.h"

#include "prose.h"

#include <QTextCursor>
#include <QTextDocument>

#include <array>

namespace QuillmereBench {

void fillFormatted(QTextDocument &document, qsizetype units)
{
    std::array<QTextCharFormat, 5> formats;
    formats[1].setFontWeight(QFont::Bold);
    formats[2].setFontItalic(true);
    formats[3].setForeground(QColor(192, 0, 0));
    formats[4].setFontWeight(QFont::Bold);
    formats[4].setForeground(QColor(0, 64, 160));

    const QString prose = makeProse(units, false);
    const bool undo = document.isUndoRedoEnabled();
    document.setUndoRedoEnabled(false);
    QTextCursor cursor(&document);
    cursor.beginEditBlock();
    quint32 state = 1234;
    qsizetype runStart = 0;
    int wordsLeft = 0;
    size_t format = 0;
    for (qsizetype i = 0; i <= prose.size(); ++i) {
        const bool lineEnd = i == prose.size() || prose.at(i) == u'\r';
        if (!lineEnd && (prose.at(i) != u' ' || --wordsLeft > 0))
            continue;
        const qsizetype runEnd = lineEnd ? i : i + 1;
        if (runEnd > runStart)
            cursor.insertText(prose.sliced(runStart, runEnd - runStart), formats[format]);
        state = state * 1664525u + 1013904223u;
        wordsLeft = 2 + int((state >> 8) % 5);
        format = (format + 1) % formats.size();
        runStart = runEnd;
        if (lineEnd && i < prose.size()) {
            cursor.insertBlock();
            runStart = qMin(i + 2, prose.size());
            ++i;
        }
    }
    cursor.endEditBlock();
    document.setUndoRedoEnabled(undo);
}

} // namespace QuillmereBench
