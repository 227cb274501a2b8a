// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

class QKeyEvent;

namespace Quillmere {

class RichTextEditor;

// The editor's keys and clicks that we answer ourselves. Every key that copies, cuts or pastes
// (Ctrl+C and Ctrl+Insert, Ctrl+X and Shift+Delete, Ctrl+V and Shift+Insert, and the keyboard's
// own Copy, Cut and Paste keys) runs our plain-text clipboard commands instead of QTextEdit's,
// which would carry HTML; Insert switches the editor between inserting and overwriting; and a
// middle-button paste of an X11 selection that holds nothing does nothing.
class EditorInput : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(EditorInput)

public:
    // Watches `editor` and is destroyed with it.
    explicit EditorInput(RichTextEditor *editor);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool handleKey(QKeyEvent &event);

    RichTextEditor *m_editor;
};

} // namespace Quillmere
