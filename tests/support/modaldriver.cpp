// SPDX-License-Identifier: GPL-3.0-or-later
#include "modaldriver.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QLineEdit>
#include <QPointer>
#include <QTest>
#include <QTimer>

namespace {

constexpr int PollIntervalMs = 20;

} // namespace

ModalDriver::ModalDriver(std::source_location made)
    : m_made(made)
{
    QTimer::singleShot(PollIntervalMs, &m_timerContext, [this] { poll(); });
}

ModalDriver::~ModalDriver()
{
    if (!m_steps.empty())
        m_problems << QStringLiteral("%1 step(s) never ran").arg(m_steps.size());
    if (!m_problems.isEmpty())
        QTest::qFail(qPrintable(m_problems.join(u"; "_qs)), m_made.file_name(), int(m_made.line()));
}

void ModalDriver::poll()
{
    // The next poll is due before the step runs, because a step may open a dialog of its own
    // and wait in it for the steps after it.
    QTimer::singleShot(PollIntervalMs, &m_timerContext, [this] { poll(); });
    QWidget *modal = QApplication::activeModalWidget();
    // A step that waits, for a listing say, leaves its own dialog up without being stuck.
    if (!modal || !modal->isVisible() || m_inSteps.contains(modal))
        return;
    if (m_steps.empty() || !modal->metaObject()->inherits(m_steps.front().kind)) {
        QString shown = QLatin1String(modal->metaObject()->className());
        if (auto *box = qobject_cast<QMessageBox *>(modal))
            shown += u" saying \""_qs + box->text() + u'"';
        m_problems << shown + u" showed out of turn"_qs;
        if (auto *dialog = qobject_cast<QDialog *>(modal))
            dialog->reject();
        else
            modal->close();
        return;
    }
    const Step step = std::move(m_steps.front());
    m_steps.pop_front();
    const QPointer<QWidget> handled = modal;
    m_inSteps.append(handled);
    step.run(modal);
    m_inSteps.removeOne(handled);
}

QLineEdit *fileNameEdit(QFileDialog *dialog)
{
    return dialog->findChild<QLineEdit *>(u"fileNameEdit"_qs);
}

void acceptFileName(QFileDialog *dialog, const QString &name)
{
    QLineEdit *edit = fileNameEdit(dialog);
    QVERIFY(edit);
    edit->setText(name);
    QTest::keyClick(edit, Qt::Key_Return);
}

void pressButton(QMessageBox *box, QMessageBox::StandardButton which)
{
    QAbstractButton *button = box->button(which);
    QVERIFY(button);
    QTest::mouseClick(button, Qt::LeftButton);
}
