// SPDX-License-Identifier: GPL-3.0-or-later
#include "clipboard.h"

#include "richtexteditor.h"
#include "slicedinsert.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <algorithm>

namespace Quillmere {
namespace {

class QtClipboard final : public TextClipboard
{
public:
    std::optional<QString> text() override
    {
        if (!clipboard())
            return std::nullopt;
        // No data at all is an empty clipboard.
        const QMimeData *data = clipboard()->mimeData();
        return data && data->hasText() ? data->text() : QString();
    }

    bool setText(const QString &text) override
    {
        if (!clipboard())
            return false;
        clipboard()->setText(text);
        // The only sign that another program kept the clipboard: our text is not on it.
        return clipboard()->text() == text;
    }

private:
    static QClipboard *clipboard() { return qGuiApp ? QGuiApplication::clipboard() : nullptr; }
};

} // namespace

TextClipboard &SystemClipboard()
{
    static QtClipboard clipboard;
    return clipboard;
}

QString fromClipboardText(const QString &clipboardText, PaintBreaks *breaks)
{
    const QStringView source(clipboardText);
    const qsizetype count = source.size();
    // Reserved at once and filled a slice at a time with paint breaks between: writing to
    // fresh memory costs more than the conversion, and megabytes in one go freeze the window.
    QString text;
    text.reserve(count + std::count(source.begin(), source.end(), u'\r')
                 + std::count(source.begin(), source.end(), u'\n'));
    constexpr qsizetype SliceUnits = 1024 * 1024;
    qsizetype nextBreak = SliceUnits;
    // Lines are appended whole: a unit at a time, a paste of megabytes takes seconds.
    qsizetype lineStart = 0;
    for (qsizetype i = 0; i < count; ++i) {
        const QChar unit = source[i];
        if (unit != u'\r' && unit != u'\n')
            continue;
        text += source.sliced(lineStart, i - lineStart);
        text += u"\r\n";
        if (unit == u'\r' && i + 1 < count && source[i + 1] == u'\n')
            ++i;
        lineStart = i + 1;
        if (breaks && lineStart >= nextBreak) {
            breaks->take();
            nextBreak = lineStart + SliceUnits;
        }
    }
    text += source.sliced(lineStart);
    return text;
}

bool CopySelection(RichTextEditor &editor, TextClipboard &clipboard)
{
    return clipboard.setText(toClipboardText(editor.selectionText()));
}

bool PasteClipboard(RichTextEditor &editor, TextClipboard &clipboard)
{
    const std::optional<QString> text = clipboard.text();
    if (!text)
        return false;
    PaintBreaks breaks;
    editor.setSelectionText(fromClipboardText(*text, &breaks));
    return true;
}

bool CutSelection(RichTextEditor &editor, TextClipboard &clipboard)
{
    if (!editor.textCursor().hasSelection() || !CopySelection(editor, clipboard))
        return false;
    editor.setSelectionText(QString());
    return true;
}

} // namespace Quillmere
