// SPDX-License-Identifier: GPL-3.0-or-later
#include "editorinput.h"

#include "clipboard.h"
#include "keystate.h"
#include "richtexteditor.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMimeData>
#include <QMouseEvent>

#include <array>

namespace Quillmere {
namespace {

struct ClipboardKey
{
    QKeySequence::StandardKey key;
    bool (*command)(RichTextEditor &editor, TextClipboard &clipboard);
};

// Which clipboard command each of the desktop's standard clipboard keys runs.
constexpr std::array<ClipboardKey, 3> ClipboardKeys { {
    { QKeySequence::Copy, CopySelection },
    { QKeySequence::Cut, CutSelection },
    { QKeySequence::Paste, PasteClipboard },
} };

const ClipboardKey *clipboardKeyOf(const QKeyEvent &event)
{
    for (const ClipboardKey &entry : ClipboardKeys) {
        if (event.matches(entry.key))
            return &entry;
    }
    return nullptr;
}

// Qt 6.4 crashes when QTextEdit pastes an X11 selection that offers no data at all, as when no
// program owns the selection.
bool isEmptySelectionPaste(const QMouseEvent &event)
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (event.button() != Qt::MiddleButton || !clipboard->supportsSelection())
        return false;
    const QMimeData *selection = clipboard->mimeData(QClipboard::Selection);
    return !selection || selection->formats().isEmpty();
}

} // namespace

EditorInput::EditorInput(RichTextEditor *editor)
    : QObject(editor)
    , m_editor(editor)
{
    editor->installEventFilter(this);
    editor->viewport()->installEventFilter(this);
}

bool EditorInput::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::ShortcutOverride:
    case QEvent::KeyPress:
        return watched == m_editor && handleKey(*static_cast<QKeyEvent *>(event));
    case QEvent::MouseButtonRelease:
        return watched == m_editor->viewport()
            && isEmptySelectionPaste(*static_cast<QMouseEvent *>(event));
    default:
        return false;
    }
}

bool EditorInput::handleKey(QKeyEvent &event)
{
    const ClipboardKey *clipboardKey = clipboardKeyOf(event);
    if (!clipboardKey && !togglesInsert(event))
        return false;

    // Claiming the override keeps these keys ours even if a shortcut elsewhere uses them.
    event.accept();
    if (event.type() == QEvent::KeyPress) {
        if (clipboardKey)
            clipboardKey->command(*m_editor, SystemClipboard());
        else
            m_editor->setOverwriteMode(!m_editor->overwriteMode());
    }
    return true;
}

} // namespace Quillmere
