// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "documenttext.h"

#include <QString>

#include <optional>

namespace Quillmere {

class PaintBreaks;
class RichTextEditor;

// The plain-text side of a clipboard: all the clipboard commands need of one.
class TextClipboard
{
public:
    virtual ~TextClipboard() = default;

    // The clipboard's plain text, the empty string when it holds none (it is empty or holds only
    // a picture), nothing when it cannot be read.
    virtual std::optional<QString> text() = 0;
    // Puts `text` on the clipboard as plain text in place of whatever it held; false when it
    // cannot be written.
    virtual bool setText(const QString &text) = 0;
};

// The desktop's clipboard through QGuiApplication::clipboard(). Qt gives up on a clipboard owner
// that does not answer after a few seconds, so no read waits for ever.
TextClipboard &SystemClipboard();

// Clipboard text as document text: LF, CR LF and a lone CR each become CR LF. With `breaks`,
// megabytes are converted with paint breaks between slices.
QString fromClipboardText(const QString &clipboardText, PaintBreaks *breaks = nullptr);

// Puts the editor's selected text on the clipboard as plain text. Returns false, leaving the
// clipboard as it was, when the clipboard cannot be written.
bool CopySelection(RichTextEditor &editor, TextClipboard &clipboard = SystemClipboard());

// Replaces the editor's selection by the clipboard's plain text, as one undo step; a clipboard
// without text empties the selection. Returns false, leaving the document as it was, when the
// clipboard cannot be read.
bool PasteClipboard(RichTextEditor &editor, TextClipboard &clipboard = SystemClipboard());

// Copies the selection and, once it is on the clipboard, removes it from the document. Does
// nothing without a selection.
bool CutSelection(RichTextEditor &editor, TextClipboard &clipboard = SystemClipboard());

} // namespace Quillmere
