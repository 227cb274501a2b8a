// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMessageBox>
#include <QObject>
#include <QStringList>
#include <QWidget>

#include <deque>
#include <functional>
#include <source_location>

class QFileDialog;
class QLineEdit;

// Plays the person at the keyboard while the code under test waits in a modal dialog: each
// step runs, in order, on the next modal widget that shows. A widget of another kind than the
// step expects, or one no step is left for, is closed at once, so that a fault cannot leave the
// test waiting for ever; it, and any step that never ran, fail the test when the driver goes.
class ModalDriver
{
public:
    explicit ModalDriver(std::source_location made = std::source_location::current());
    ~ModalDriver();

    template<typename Widget> ModalDriver &on(std::function<void(Widget *)> step)
    {
        m_steps.push_back({ &Widget::staticMetaObject,
                            [step](QWidget *widget) { step(static_cast<Widget *>(widget)); } });
        return *this;
    }

private:
    struct Step
    {
        const QMetaObject *kind;
        std::function<void(QWidget *)> run;
    };

    void poll();

    QObject m_timerContext;
    std::deque<Step> m_steps;
    QList<QWidget *> m_inSteps; // widgets whose steps are running, innermost last
    std::source_location m_made;
    QStringList m_problems;
};

// The name field of Qt's file dialog, where a person types the file name.
QLineEdit *fileNameEdit(QFileDialog *dialog);
// Puts `name` in the name field, as pasted (typing would open the completer's popup, which takes
// the next key), and presses Return there, which presses Open or Save.
void acceptFileName(QFileDialog *dialog, const QString &name);
// Presses one of the message box's buttons.
void pressButton(QMessageBox *box, QMessageBox::StandardButton button);
