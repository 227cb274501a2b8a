// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

#include <memory>

class QKeyEvent;
class QTextEdit;

namespace Quillmere {

// Where the status bar learns the state of the two lock keys it shows.
class KeyStateSource
{
public:
    virtual ~KeyStateSource() = default;

    virtual bool isCapsLockOn() = 0;
    // The toggle that Insert flips between inserting (off, the state at start) and overwriting.
    virtual bool isInsertToggleOn() = 0;
};

// Whether `event` flips the Insert toggle: Insert on its own or on the keypad, not held down.
// Shift+Insert and Ctrl+Insert paste and copy instead.
bool togglesInsert(const QKeyEvent &event);

// Follows the key presses the program receives from the window system: each press of Caps Lock
// or Insert flips its toggle, and both start off. Presses made while another program has the
// keyboard are missed.
class PressedKeyState : public QObject, public KeyStateSource
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PressedKeyState)

public:
    explicit PressedKeyState(QObject *parent = nullptr);

    bool isCapsLockOn() override { return m_capsLock; }
    bool isInsertToggleOn() override { return m_insert; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool m_capsLock = false;
    bool m_insert = false;
};

// The best source the platform offers: Caps Lock as the X server reports it when the program runs
// on X11, otherwise as PressedKeyState sees it. The Insert toggle is always PressedKeyState's,
// since no platform keeps one.
std::unique_ptr<KeyStateSource> createKeyStateSource();

// The window's source: Caps Lock as createKeyStateSource() reports it, and for the Insert toggle
// whether typing in `editor` overwrites. With no keyboard-wide toggle to show, the indicator shows
// what typing will do, whichever window the Insert key was last pressed in.
std::unique_ptr<KeyStateSource> createEditorKeyState(const QTextEdit &editor);

} // namespace Quillmere
