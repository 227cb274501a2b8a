// SPDX-License-Identifier: GPL-3.0-or-later
#include "filedialog.h"
#include "files.h"
#include "mainwindow.h"
#include "richtexteditor.h"
#include "rtfwriter.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QCompleter>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include <deque>
#include <functional>

using namespace Quillmere;

namespace {

// Plays the person at the keyboard while the code under test waits in a modal dialog: each step
// runs, in order, on the next modal widget to show, if that is of the step's kind. Any other is
// closed at once, so that a fault cannot leave the test waiting for ever; it, and any step that
// never ran, fail the test.
class ModalDriver
{
public:
    ModalDriver() { poll(); }
    ~ModalDriver()
    {
        if (!m_steps.empty())
            m_problems << u"%1 step(s) never ran"_qs.arg(m_steps.size());
        QVERIFY2(m_problems.isEmpty(), qPrintable(m_problems.join(u"; "_qs)));
    }

    template<typename Widget> ModalDriver &on(std::function<void(Widget *)> step)
    {
        m_steps.push_back([step](QWidget *modal) {
            auto *widget = qobject_cast<Widget *>(modal);
            if (widget)
                step(widget);
            return widget != nullptr;
        });
        return *this;
    }

private:
    void poll()
    {
        // Due before the step runs, as a step may open a dialog of its own and wait in it.
        QTimer::singleShot(20, &m_timerContext, [this] { poll(); });
        QWidget *modal = QApplication::activeModalWidget();
        // A step that waits, for a listing say, leaves its own dialog up without being stuck.
        if (!modal || !modal->isVisible() || m_inSteps.contains(modal))
            return;
        const std::function<bool(QWidget *)> step = m_steps.empty() ? nullptr : m_steps.front();
        if (step)
            m_steps.pop_front();
        m_inSteps.append(modal);
        if (!step || !step(modal)) {
            const auto *box = qobject_cast<QMessageBox *>(modal);
            m_problems << QString::fromLatin1(modal->metaObject()->className())
                    + (box ? u" saying "_qs + box->text() : QString()) + u" showed out of turn"_qs;
            modal->close(); // a dialog rejects itself
        }
        m_inSteps.removeOne(modal);
    }

    QObject m_timerContext;
    std::deque<std::function<bool(QWidget *)>> m_steps;
    QList<QWidget *> m_inSteps; // widgets whose steps are running, innermost last
    QStringList m_problems;
};

// The name field of Qt's file dialog, where a person types the file name.
QLineEdit *fileNameEdit(QFileDialog *dialog)
{
    return dialog->findChild<QLineEdit *>(u"fileNameEdit"_qs);
}

// The file types as the dialog shows them, and the one it starts on.
const QStringList FileTypes { u"All Files (*.*)"_qs, u"Rich Text Files(*.rtf)"_qs,
                              u"Text Files(*.txt)"_qs, u"current: Text Files(*.txt)"_qs };

QStringList fileTypes(QFileDialog *dialog)
{
    QStringList texts;
    if (auto *combo = dialog->findChild<QComboBox *>(u"fileTypeCombo"_qs)) {
        for (int i = 0; i < combo->count(); ++i)
            texts << combo->itemText(i);
        texts << u"current: "_qs + combo->currentText();
    }
    return texts;
}

// The names the dialog lists in its current folder, sorted, split by spaces.
QString listedNames(QFileDialog *dialog)
{
    auto *view = dialog->findChild<QListView *>(u"listView"_qs);
    QStringList names;
    for (int row = 0; view && row < view->model()->rowCount(view->rootIndex()); ++row)
        names << view->model()->index(row, 0, view->rootIndex()).data().toString();
    names.sort();
    return names.join(u' ');
}

// Picks the file type entry at `index` (from 0) as a person does, with the arrow keys.
void pickFilterEntry(QFileDialog *dialog, int index)
{
    auto *combo = dialog->findChild<QComboBox *>(u"fileTypeCombo"_qs);
    QVERIFY(combo);
    for (int presses = 0; presses < combo->count() && combo->currentIndex() != index; ++presses)
        QTest::keyClick(combo, combo->currentIndex() > index ? Qt::Key_Up : Qt::Key_Down);
    QCOMPARE(combo->currentIndex(), index);
}

} // namespace

class TestFileDialog : public QObject
{
    Q_OBJECT

private slots:
    void toolbarCommandsShowTheDialogAsSetUp();
};

// The toolbar's file commands share the window's one dialog, Qt's own, which lists each file
// type's files in any case, *.* names without a dot too, and folders always, so that a person
// can move through them. Each showing starts afresh on our settings, whatever a person changed
// in the last one, on the Text Files entry, offering exactly the path chosen last or, before
// any, nothing: never a name typed into a cancelled dialog. A name typed is kept as it is when
// the person picks another file type, where Qt's dialog would swap its extension for the new
// type's or clear it; so the file opened is saved under its own name, once the person agrees to
// replace it. The list of completions goes with the dialog rather than staying over the window.
// A cancelled open leaves the document alone, a cancelled save the file. On a full disk the save
// fails over the window, saying where and why, and keeps both the file and the document; only
// the window's own set-up keeps the file-size signal from ending the test.
void TestFileDialog::toolbarCommandsShowTheDialogAsSetUp()
{
    // Qt's dialog remembers folders in the user's settings; keep the test out of them.
    QStandardPaths::setTestModeEnabled(true);
    QTemporaryDir folder;
    const QString path = folder.filePath(u"notes.rtf"_qs);
    const QByteArray opened = stateOf(folder.path(),
                                      u"printf '%s' '{\\rtf1\\ansi first draft}' >notes.rtf\n"
                                      "touch README REPORT.RTF notes.rtf.bak letter.txt .hidden\n"
                                      "mkdir folder"_qs);
    const QStringList listed { u"README REPORT.RTF folder letter.txt notes.rtf notes.rtf.bak"_qs,
                               u"REPORT.RTF folder notes.rtf"_qs, u"folder letter.txt"_qs };
    std::signal(SIGXFSZ, SIG_DFL);
    Form1 window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    RichTextEditor *editor = window.editor();
    QWidget *completions = fileNameEdit(window.fileDialog())->completer()->popup();
    // Checks what a showing starts with, then changes what a person may.
    const auto verifyShowing = [&](QFileDialog *shown, bool open, bool offered) {
        QCOMPARE(shown, window.fileDialog());
        QCOMPARE(shown->acceptMode(), open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
        QCOMPARE(shown->fileMode(), open ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
        QCOMPARE(shown->testOption(QFileDialog::DontConfirmOverwrite), open);
        QCOMPARE(shown->defaultSuffix(), QString());
        QVERIFY(shown->testOption(QFileDialog::DontUseNativeDialog));
        QCOMPARE(fileTypes(shown), FileTypes);
        QCOMPARE(fileNameEdit(shown)->text(), offered ? u"notes.rtf"_qs : QString());
        QVERIFY(!offered || shown->selectedFiles() == QStringList { path });
        shown->setDefaultSuffix(u"doc"_qs);
        shown->setDirectory(folder.path());
    };
    const auto acceptOffered = [&](QFileDialog *shown) {
        verifyShowing(shown, false, true);
        pickFilterEntry(shown, 0);
        QTest::keyClick(fileNameEdit(shown), Qt::Key_Return);
    };
    const auto replace = [](QMessageBox *box) {
        QTest::mouseClick(box->button(QMessageBox::Yes), Qt::LeftButton);
    };
    ModalDriver driver;
    driver
        .on<QFileDialog>([&](QFileDialog *shown) {
            verifyShowing(shown, true, false);
            pickFilterEntry(shown, 0);
            fileNameEdit(shown)->setText(u"typed but cancelled.txt"_qs);
            shown->reject();
        })
        .on<QFileDialog>([&](QFileDialog *shown) {
            verifyShowing(shown, true, false);
            pickFilterEntry(shown, 1);
            QVERIFY(QTest::qWaitForWindowActive(shown));
            fileNameEdit(shown)->setFocus();
            QTRY_VERIFY(fileNameEdit(shown)->hasFocus());
            QTRY_COMPARE(listedNames(shown), listed.at(1));
            QTest::keyClicks(fileNameEdit(shown), u"notes"_qs);
            QTRY_VERIFY(completions->isVisible());
            QTest::keyClicks(completions, u".rtf"_qs);
            QTest::keyClick(completions, Qt::Key_Return);
        })
        .on<QFileDialog>([&](QFileDialog *shown) {
            verifyShowing(shown, false, true);
            // Each pick changes the entry, the first from Text Files.
            for (const auto &[name, entry] : { std::pair(u"notes.rtf"_qs, 0),
                                               { u"notes.txt"_qs, 1 },
                                               { u"notes."_qs, 2 },
                                               { u"notes"_qs, 1 } }) {
                fileNameEdit(shown)->setText(name);
                pickFilterEntry(shown, entry);
                QCOMPARE(fileNameEdit(shown)->text(), name);
                QTRY_COMPARE(listedNames(shown), listed.at(entry));
            }
            shown->reject();
        })
        .on<QFileDialog>(acceptOffered)
        .on<QMessageBox>(replace)
        .on<QFileDialog>(acceptOffered)
        .on<QMessageBox>(replace)
        .on<QMessageBox>([&](QMessageBox *box) {
            QCOMPARE(box->icon(), QMessageBox::Warning);
            QCOMPARE(box->parentWidget(), &window);
            QVERIFY2(box->text().contains(u'\u201c' + path + u'\u201d'), qPrintable(box->text()));
            QVERIFY2(box->text().size() > saveFailureMessage(path, {}).size(),
                     "the message gives no reason");
            QVERIFY2(box->text().contains(u"still open"_qs), qPrintable(box->text()));
            QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
        });
    const auto click = [&](const QString &key) {
        QAction *button = window.toolBar()->findChild<QAction *>(key);
        QVERIFY(button);
        QTest::mouseClick(window.toolBar()->widgetForAction(button), Qt::LeftButton);
    };

    editor->setDocumentText(u"kept"_qs);
    click(u"open"_qs);
    QCOMPARE(editor->documentText(), u"kept"_qs);
    click(u"open"_qs);
    QCOMPARE(editor->documentText(), u"first draft"_qs);
    QTest::qWait(200);
    QVERIFY(!completions->isVisible());
    editor->setDocumentText(u"second draft"_qs);
    click(u"save"_qs);
    QCOMPARE(stateOf(folder.path()), opened);
    click(u"save"_qs);
    const QByteArray saved = stateOf(folder.path());
    QCOMPARE(
        saved,
        QByteArray(opened).replace("{\\rtf1\\ansi first draft}", writeRtf(*editor->document())));

    const QTextDocument *document = editor->document();
    {
        const FileSizeLimit fullDisk(16, false);
        click(u"save"_qs);
    }
    QVERIFY(!saveFailureMessage(path, {}).contains(u"\n\n\n"_qs));
    QCOMPARE(stateOf(folder.path()), saved);
    QCOMPARE(editor->document(), document);
    QCOMPARE(editor->documentText(), u"second draft"_qs);
}

QTEST_MAIN(TestFileDialog)
#include "tst_filedialog.moc"
