// SPDX-License-Identifier: GPL-3.0-or-later
#include "keystate.h"

#ifdef QUILLMERE_HAVE_X11
#include "x11keystate.h"
#endif

#include <QCoreApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QTextEdit>

namespace Quillmere {
namespace {

class EditorKeyState final : public KeyStateSource
{
public:
    explicit EditorKeyState(const QTextEdit &editor)
        : m_keyboard(createKeyStateSource())
        , m_editor(&editor)
    {
    }

    bool isCapsLockOn() override { return m_keyboard->isCapsLockOn(); }
    bool isInsertToggleOn() override { return m_editor && m_editor->overwriteMode(); }

private:
    std::unique_ptr<KeyStateSource> m_keyboard;
    QPointer<const QTextEdit> m_editor;
};

} // namespace

bool togglesInsert(const QKeyEvent &event)
{
    return event.key() == Qt::Key_Insert && !event.isAutoRepeat()
        && (event.modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}

PressedKeyState::PressedKeyState(QObject *parent)
    : QObject(parent)
{
    if (QCoreApplication *application = QCoreApplication::instance())
        application->installEventFilter(this);
}

bool PressedKeyState::eventFilter(QObject *watched, QEvent *event)
{
    // A key press reaches the window first and is then passed on from widget to widget; counting
    // it at the window counts it once.
    if (event->type() != QEvent::KeyPress || !watched->isWindowType())
        return false;
    const auto *key = static_cast<const QKeyEvent *>(event);
    if (key->key() == Qt::Key_CapsLock && !key->isAutoRepeat())
        m_capsLock = !m_capsLock;
    else if (togglesInsert(*key))
        m_insert = !m_insert;
    return false;
}

std::unique_ptr<KeyStateSource> createKeyStateSource()
{
#ifdef QUILLMERE_HAVE_X11
    if (std::unique_ptr<KeyStateSource> x11 = createX11KeyState())
        return x11;
#endif
    return std::make_unique<PressedKeyState>();
}

std::unique_ptr<KeyStateSource> createEditorKeyState(const QTextEdit &editor)
{
    return std::make_unique<EditorKeyState>(editor);
}

} // namespace Quillmere
