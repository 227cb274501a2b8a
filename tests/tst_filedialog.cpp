// SPDX-License-Identifier: GPL-3.0-or-later
#include "filedialog.h"
#include "files.h"
#include "modaldriver.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QCompleter>
#include <QDir>
#include <QLineEdit>
#include <QListView>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace Quillmere;

namespace {

QString answer(const std::optional<QString> &path)
{
    return path.value_or(u"(nothing)"_qs);
}

QStringList filterEntries(QFileDialog *dialog)
{
    QStringList texts;
    if (auto *combo = dialog->findChild<QComboBox *>(u"fileTypeCombo"_qs)) {
        for (int i = 0; i < combo->count(); ++i)
            texts << combo->itemText(i);
        texts << u"current: "_qs + combo->currentText();
    }
    return texts;
}

// The names the dialog lists in its current folder, sorted.
QStringList listedNames(QFileDialog *dialog)
{
    auto *view = dialog->findChild<QListView *>(u"listView"_qs);
    if (!view)
        return {};
    const QAbstractItemModel *model = view->model();
    QStringList names;
    for (int row = 0; row < model->rowCount(view->rootIndex()); ++row)
        names << model->index(row, 0, view->rootIndex()).data().toString();
    names.sort();
    return names;
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
    void initTestCase();
    void settingsHoldOnEveryShowing();
    void filterEntriesListTheirFilesAndKeepTheTypedName();
    void typedNameLeavesNoCompletionsBehind();
};

void TestFileDialog::initTestCase()
{
    // Qt's dialog remembers folders in the user's settings; keep the tests out of them.
    QStandardPaths::setTestModeEnabled(true);
}

// Each showing checks the settings, then changes what a person can change before it closes;
// the next showing must start afresh on the Text Files entry, offering exactly the path chosen
// last or, before any, nothing: never a name typed into a cancelled dialog.
void TestFileDialog::settingsHoldOnEveryShowing()
{
    QTemporaryDir folder;
    const QString existing = folder.filePath(u"existing.txt"_qs);
    createFile(existing);
    QWidget window;
    CommonDialog dialog(&window);
    const QStringList entries { u"All Files (*.*)"_qs, u"Rich Text Files(*.rtf)"_qs,
                                u"Text Files(*.txt)"_qs, u"current: Text Files(*.txt)"_qs };
    ModalDriver driver;
    for (int showing = 0; showing < 5; ++showing) {
        const bool open = showing % 2 == 1;
        driver.on<QFileDialog>([&, open, showing](QFileDialog *shown) {
            QCOMPARE(shown->acceptMode(), open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
            QCOMPARE(shown->fileMode(), open ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
            QCOMPARE(shown->testOption(QFileDialog::DontConfirmOverwrite), open);
            QCOMPARE(shown->defaultSuffix(), QString());
            // Qt's own dialog: our workarounds and the tests act on its widgets.
            QVERIFY(shown->testOption(QFileDialog::DontUseNativeDialog));
            QCOMPARE(filterEntries(shown), entries);
            QCOMPARE(fileNameEdit(shown)->text(), showing < 2 ? QString() : u"existing.txt"_qs);
            if (showing >= 2)
                QCOMPARE(shown->selectedFiles(), QStringList { existing });
            pickFilterEntry(shown, 0);
            shown->setDefaultSuffix(u"doc"_qs);
            if (showing % 2 == 0 && showing < 4) {
                typeFileName(shown, u"typed but cancelled.txt"_qs);
                shown->reject();
                return;
            }
            acceptFileName(shown, existing);
        });
    }
    driver.on<QMessageBox>([](QMessageBox *box) { pressButton(box, QMessageBox::Yes); });
    for (int showing = 0; showing < 5; ++showing)
        QCOMPARE(
            answer(dialog.choosePath(showing % 2 ? FileDialogMode::Open : FileDialogMode::Save)),
            showing % 2 == 0 && showing < 4 ? answer(std::nullopt) : existing);
}

// Each entry lists its files in any case, *.* names without a dot too; folders always show, so
// that a person can move through them. Qt's dialog would also swap the typed name's extension
// for the new entry's, or clear it.
void TestFileDialog::filterEntriesListTheirFilesAndKeepTheTypedName()
{
    QTemporaryDir folder;
    for (const char *name : { "README", "REPORT.RTF", "notes.rtf.bak", "letter.txt", ".hidden" })
        createFile(folder.filePath(QString::fromLatin1(name)));
    QVERIFY(QDir(folder.path()).mkdir(u"folder"_qs));
    const QList<QStringList> listed {
        { u"README"_qs, u"REPORT.RTF"_qs, u"folder"_qs, u"letter.txt"_qs, u"notes.rtf.bak"_qs },
        { u"REPORT.RTF"_qs, u"folder"_qs },
        { u"folder"_qs, u"letter.txt"_qs },
    };
    QWidget window;
    CommonDialog dialog(&window);
    ModalDriver driver;
    driver.on<QFileDialog>([&](QFileDialog *shown) {
        shown->setDirectory(folder.path());
        // Each pick changes the entry, the first from Text Files.
        for (const auto &[name, entry] : { std::pair(u"notes.rtf"_qs, 0),
                                           { u"notes.txt"_qs, 1 },
                                           { u"notes."_qs, 2 },
                                           { u"notes"_qs, 1 } }) {
            typeFileName(shown, name);
            pickFilterEntry(shown, entry);
            QCOMPARE(fileNameEdit(shown)->text(), name);
            QTRY_COMPARE(listedNames(shown), listed.at(entry));
        }
        pressAcceptButton(shown);
    });
    QCOMPARE(answer(dialog.choosePath(FileDialogMode::Save)), folder.filePath(u"notes"_qs));
}

// Return typed while the list of completions shows takes the name; the list must go with the
// dialog rather than stay over the window.
void TestFileDialog::typedNameLeavesNoCompletionsBehind()
{
    QTemporaryDir folder;
    createFile(folder.filePath(u"letter.txt"_qs));
    QWidget window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    CommonDialog dialog(&window);
    QWidget *completions = fileNameEdit(&dialog)->completer()->popup();
    ModalDriver driver;
    driver.on<QFileDialog>([&](QFileDialog *shown) {
        shown->setDirectory(folder.path());
        QVERIFY(QTest::qWaitForWindowActive(shown));
        fileNameEdit(shown)->setFocus();
        QTRY_VERIFY(fileNameEdit(shown)->hasFocus());
        QTRY_COMPARE(listedNames(shown), QStringList { u"letter.txt"_qs });
        QTest::keyClicks(fileNameEdit(shown), u"letter"_qs);
        QTRY_VERIFY(completions->isVisible());
        QTest::keyClicks(completions, u".txt"_qs);
        QTest::keyClick(completions, Qt::Key_Return);
    });
    QCOMPARE(answer(dialog.choosePath(FileDialogMode::Open)), folder.filePath(u"letter.txt"_qs));
    QTest::qWait(200);
    QVERIFY(!completions->isVisible());
}

QTEST_MAIN(TestFileDialog)
#include "tst_filedialog.moc"
