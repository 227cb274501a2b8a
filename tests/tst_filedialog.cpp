// SPDX-License-Identifier: GPL-3.0-or-later
#include "filedialog.h"
#include "modaldriver.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QCompleter>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace Quillmere;

Q_DECLARE_METATYPE(Quillmere::FileDialogMode)

namespace {

const QStringList FilterDescriptions { u"All Files (*.*)"_qs, u"Rich Text Files(*.rtf)"_qs,
                                       u"Text Files(*.txt)"_qs };
constexpr int TextFilesEntry = 2;

QComboBox *fileTypeCombo(QFileDialog *dialog)
{
    return dialog->findChild<QComboBox *>(u"fileTypeCombo"_qs);
}

QStringList itemTexts(const QComboBox &combo)
{
    QStringList texts;
    for (int i = 0; i < combo.count(); ++i)
        texts << combo.itemText(i);
    return texts;
}

// What must hold each time the dialog shows for `mode`, whatever the showing before left.
void verifyShownSettings(QFileDialog *dialog, FileDialogMode mode)
{
    const bool open = mode == FileDialogMode::Open;
    QCOMPARE(dialog->acceptMode(), open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    QCOMPARE(dialog->fileMode(), open ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    if (!open)
        QVERIFY(!dialog->testOption(QFileDialog::DontConfirmOverwrite));
    QVERIFY(dialog->testOption(QFileDialog::DontUseNativeDialog));
    QCOMPARE(dialog->defaultSuffix(), QString());
    QComboBox *combo = fileTypeCombo(dialog);
    QVERIFY(combo);
    QCOMPARE(itemTexts(*combo), FilterDescriptions);
    QCOMPARE(combo->currentIndex(), TextFilesEntry);

    // The title is the one Qt gives a dialog of that kind when the program sets none.
    QFileDialog untitled;
    untitled.setOption(QFileDialog::DontUseNativeDialog);
    untitled.setAcceptMode(dialog->acceptMode());
    QCOMPARE(dialog->windowTitle(), untitled.windowTitle());
}

// The dialog's answer as text, so that a failed comparison shows it.
QString answer(const std::optional<QString> &path)
{
    return path.value_or(u"(nothing)"_qs);
}

const QString Nothing = answer(std::nullopt);

} // namespace

class TestFileDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void filterSplitsIntoEntries_data();
    void filterSplitsIntoEntries();
    void patternsBecomeWildcards_data();
    void patternsBecomeWildcards();
    void settingsHoldOnEveryShowing_data();
    void settingsHoldOnEveryShowing();
    void firstShowingSetsNoNameOrFolder();
    void filterEntriesListTheirFiles_data();
    void filterEntriesListTheirFiles();
    void changingTheEntryKeepsTheTypedName_data();
    void changingTheEntryKeepsTheTypedName();
    void chosenPathIsOfferedNextTimeExactly_data();
    void chosenPathIsOfferedNextTimeExactly();
    void cancelReturnsNothingAndKeepsTheLastPath();
    void folderRemovedSinceTheLastChoiceStillShows();
    void openRefusesANameThatDoesNotExist();
    void typedNameLeavesNoCompletionsBehind_data();
    void typedNameLeavesNoCompletionsBehind();
    void saveAsksBeforeReplacingAFile_data();
    void saveAsksBeforeReplacingAFile();
    void saveFailureMessageNamesFileAndReason_data();
    void saveFailureMessageNamesFileAndReason();
    void saveFailureShowsAWarningOverTheWindow();
};

void TestFileDialog::initTestCase()
{
    // Qt's dialog remembers folders in the user's settings; keep the tests out of them.
    QStandardPaths::setTestModeEnabled(true);
}

void TestFileDialog::filterSplitsIntoEntries_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QList<FileFilterEntry>>("entries");

    QTest::addRow("the dialogs' filter gives three entries")
        << FileFilter.toString()
        << QList<FileFilterEntry> { { u"All Files (*.*)"_qs, u"*.*"_qs },
                                    { u"Rich Text Files(*.rtf)"_qs, u"*.rtf"_qs },
                                    { u"Text Files(*.txt)"_qs, u"*.txt"_qs } };
    QTest::addRow("a description without a pattern is dropped")
        << u"Pictures|*.png|Orphan"_qs
        << QList<FileFilterEntry> { { u"Pictures"_qs, u"*.png"_qs } };
    QTest::addRow("an empty pattern is kept")
        << u"Anything|"_qs << QList<FileFilterEntry> { { u"Anything"_qs, {} } };
    QTest::addRow("an empty filter has no entries") << QString() << QList<FileFilterEntry> {};
    QTest::addRow("several wildcards stay one pattern")
        << u"Documents|*.rtf;*.txt"_qs
        << QList<FileFilterEntry> { { u"Documents"_qs, u"*.rtf;*.txt"_qs } };
}

void TestFileDialog::filterSplitsIntoEntries()
{
    QFETCH(QString, filter);
    QFETCH(QList<FileFilterEntry>, entries);
    QCOMPARE(parseFileFilter(filter), entries);
}

void TestFileDialog::patternsBecomeWildcards_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QStringList>("wildcards");

    QTest::addRow("*.* also takes names without a dot")
        << u"*.*"_qs << QStringList { u"*.*"_qs, u"*"_qs };
    QTest::addRow("a name with any extension also takes the bare name")
        << u"notes.*"_qs << QStringList { u"notes.*"_qs, u"notes"_qs };
    QTest::addRow("an extension stays as it is") << u"*.rtf"_qs << QStringList { u"*.rtf"_qs };
    QTest::addRow("semicolons separate wildcards")
        << u"*.rtf;*.txt"_qs << QStringList { u"*.rtf"_qs, u"*.txt"_qs };
    QTest::addRow("blanks around wildcards are dropped")
        << u" *.txt ; ;"_qs << QStringList { u"*.txt"_qs };
    QTest::addRow("repeats are dropped") << u"*.*;*"_qs << QStringList { u"*.*"_qs, u"*"_qs };
    QTest::addRow("a lone .* is not widened") << u".*"_qs << QStringList { u".*"_qs };
    QTest::addRow("no pattern gives no wildcard") << QString() << QStringList {};
}

void TestFileDialog::patternsBecomeWildcards()
{
    QFETCH(QString, pattern);
    QFETCH(QStringList, wildcards);
    QCOMPARE(nameMatchPatterns(pattern), wildcards);
}

void TestFileDialog::settingsHoldOnEveryShowing_data()
{
    QTest::addColumn<QList<FileDialogMode>>("modes");
    QTest::addColumn<bool>("accept");
    using enum FileDialogMode;
    for (const bool accept : { false, true }) {
        const char *ending = accept ? "accepted" : "cancelled";
        QTest::addRow("open, then open again, %s", ending)
            << QList<FileDialogMode> { Open, Open } << accept;
        QTest::addRow("save, then save again, %s", ending)
            << QList<FileDialogMode> { Save, Save } << accept;
        QTest::addRow("open, then save, %s", ending)
            << QList<FileDialogMode> { Open, Save } << accept;
        QTest::addRow("save, then open, then save, %s", ending)
            << QList<FileDialogMode> { Save, Open, Save } << accept;
    }
}

// Each showing first checks the settings, then changes what a person can change (the filter
// entry, the folder, the name) before it closes; the next showing must not keep the entry.
void TestFileDialog::settingsHoldOnEveryShowing()
{
    QFETCH(QList<FileDialogMode>, modes);
    QFETCH(bool, accept);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString existing = folder.filePath(u"existing.txt"_qs);
    createFile(existing);
    QWidget window;
    CommonDialog dialog(&window);

    for (const FileDialogMode mode : modes) {
        ModalDriver driver;
        driver.on<QFileDialog>([&](QFileDialog *shown) {
            QCOMPARE(shown, &dialog);
            verifyShownSettings(shown, mode);
            shown->setDirectory(folder.path());
            pickFilterEntry(shown, 0);
            if (!accept) {
                typeFileName(shown, u"typed but cancelled.txt"_qs);
                shown->reject();
                return;
            }
            acceptFileName(shown, existing);
        });
        if (accept && mode == FileDialogMode::Save)
            driver.on<QMessageBox>([](QMessageBox *box) { pressButton(box, QMessageBox::Yes); });
        QCOMPARE(answer(dialog.choosePath(mode)), accept ? existing : Nothing);
        QVERIFY2(driver.problems().isEmpty(), qPrintable(driver.problems()));
    }
}

void TestFileDialog::firstShowingSetsNoNameOrFolder()
{
    QWidget window;
    CommonDialog dialog(&window);
    QFileDialog untouched;
    untouched.setOption(QFileDialog::DontUseNativeDialog);
    ModalDriver driver;
    driver.on<QFileDialog>([&](QFileDialog *shown) {
        QCOMPARE(fileNameEdit(shown)->text(), QString());
        QCOMPARE(shown->directory(), untouched.directory());
        shown->reject();
    });
    QCOMPARE(answer(dialog.choosePath(FileDialogMode::Save)), Nothing);
    QVERIFY2(driver.problems().isEmpty(), qPrintable(driver.problems()));
}

void TestFileDialog::filterEntriesListTheirFiles_data()
{
    QTest::addColumn<FileDialogMode>("mode");
    QTest::addColumn<int>("entry");
    QTest::addColumn<QStringList>("listed");

    // Folders are always listed, so that a person can move through them.
    const QStringList all { u"LIST.TXT"_qs,  u"README"_qs,        u"REPORT.RTF"_qs,
                            u"data.csv"_qs,  u"folder"_qs,        u"letter.txt"_qs,
                            u"notes.rtf"_qs, u"notes.rtf.bak"_qs, u"rtf"_qs };
    const QStringList richText { u"REPORT.RTF"_qs, u"folder"_qs, u"notes.rtf"_qs };
    const QStringList text { u"LIST.TXT"_qs, u"folder"_qs, u"letter.txt"_qs };
    for (const FileDialogMode mode : { FileDialogMode::Open, FileDialogMode::Save }) {
        const char *kind = mode == FileDialogMode::Open ? "open" : "save";
        QTest::addRow("%s: *.* lists every file, names without a dot too", kind)
            << mode << 0 << all;
        QTest::addRow("%s: *.rtf lists rich-text files in any case", kind) << mode << 1 << richText;
        QTest::addRow("%s: *.txt, shown first, lists text files in any case", kind)
            << mode << TextFilesEntry << text;
    }
}

void TestFileDialog::filterEntriesListTheirFiles()
{
    QFETCH(FileDialogMode, mode);
    QFETCH(int, entry);
    QFETCH(QStringList, listed);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    for (const char *name : { "README", "notes.rtf", "REPORT.RTF", "notes.rtf.bak", "rtf",
                              "letter.txt", "LIST.TXT", "data.csv", ".hidden" })
        createFile(folder.filePath(QString::fromLatin1(name)));
    QVERIFY(QDir(folder.path()).mkdir(u"folder"_qs));

    QWidget window;
    CommonDialog dialog(&window);
    ModalDriver driver;
    driver.on<QFileDialog>([&](QFileDialog *shown) {
        shown->setDirectory(folder.path());
        pickFilterEntry(shown, entry);
        QTRY_COMPARE(listedNames(shown), listed);
        shown->reject();
    });
    dialog.choosePath(mode);
    QVERIFY2(driver.problems().isEmpty(), qPrintable(driver.problems()));
}

void TestFileDialog::changingTheEntryKeepsTheTypedName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("entry");

    QTest::addRow("a .rtf name under All Files") << u"notes.rtf"_qs << 0;
    QTest::addRow("a .rtf name under Rich Text Files") << u"notes.rtf"_qs << 1;
    QTest::addRow("a .txt name under All Files") << u"notes.txt"_qs << 0;
    QTest::addRow("a .txt name under Rich Text Files") << u"notes.txt"_qs << 1;
    QTest::addRow("a name without extension under Rich Text Files") << u"notes"_qs << 1;
}

void TestFileDialog::changingTheEntryKeepsTheTypedName()
{
    QFETCH(QString, name);
    QFETCH(int, entry);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QWidget window;
    CommonDialog dialog(&window);
    ModalDriver driver;
    driver.on<QFileDialog>([&](QFileDialog *shown) {
        shown->setDirectory(folder.path());
        typeFileName(shown, name);
        pickFilterEntry(shown, entry);
        QCOMPARE(fileNameEdit(shown)->text(), name);
        pressAcceptButton(shown);
    });
    QCOMPARE(answer(dialog.choosePath(FileDialogMode::Save)), folder.filePath(name));
    QVERIFY2(driver.problems().isEmpty(), qPrintable(driver.problems()));
}

void TestFileDialog::chosenPathIsOfferedNextTimeExactly_data()
{
    QTest::addColumn<FileDialogMode>("first");
    QTest::addColumn<FileDialogMode>("second");
    QTest::addColumn<QString>("name");

    using enum FileDialogMode;
    QTest::addRow("save offers the opened .rtf, though Text Files is selected")
        << Open << Save << u"notes.rtf"_qs;
    QTest::addRow("open offers the saved .txt") << Save << Open << u"draft.txt"_qs;
    QTest::addRow("save offers the saved name without extension") << Save << Save << u"plain"_qs;
    QTest::addRow("open offers the opened upper-case name") << Open << Open << u"REPORT.RTF"_qs;
}

void TestFileDialog::chosenPathIsOfferedNextTimeExactly()
{
    QFETCH(FileDialogMode, first);
    QFETCH(FileDialogMode, second);
    QFETCH(QString, name);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString path = folder.filePath(name);
    createFile(path);
    QWidget window;
    CommonDialog dialog(&window);

    // The file exists, so each save asks before it would be replaced.
    const auto agreeToReplace = [](ModalDriver &driver, FileDialogMode mode) {
        if (mode == FileDialogMode::Save)
            driver.on<QMessageBox>([](QMessageBox *box) { pressButton(box, QMessageBox::Yes); });
    };
    {
        ModalDriver driver;
        driver.on<QFileDialog>([&](QFileDialog *shown) { acceptFileName(shown, path); });
        agreeToReplace(driver, first);
        QCOMPARE(answer(dialog.choosePath(first)), path);
        QVERIFY2(driver.problems().isEmpty(), qPrintable(driver.problems()));
    }
    ModalDriver driver;
    driver.on<QFileDialog>([&](QFileDialog *shown) {
        QCOMPARE(shown->selectedFiles(), QStringList { path });
        QCOMPARE(fileNameEdit(shown)->text(), name);
        QCOMPARE(shown->directory().absolutePath(), QDir(folder.path()).absolutePath());
        QCOMPARE(fileTypeCombo(shown)->currentIndex(), TextFilesEntry);
        pressAcceptButton(shown);
    });
    agreeToReplace(driver, second);
    QCOMPARE(answer(dialog.choosePath(second)), path);
    QVERIFY2(driver.problems().isEmpty(), qPrintable(driver.problems()));
}

void TestFileDialog::cancelReturnsNothingAndKeepsTheLastPath()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString path = folder.filePath(u"notes.rtf"_qs);
    createFile(path);
    QWidget window;
    CommonDialog dialog(&window);
    ModalDriver driver;
    driver.on<QFileDialog>([&](QFileDialog *shown) { acceptFileName(shown, path); })
        .on<QFileDialog>([&](QFileDialog *shown) {
            typeFileName(shown, folder.filePath(u"other.txt"_qs));
            shown->reject();
        })
        .on<QFileDialog>([&](QFileDialog *shown) {
            QCOMPARE(shown->selectedFiles(), QStringList { path });
            shown->reject();
        });
    QCOMPARE(answer(dialog.choosePath(FileDialogMode::Open)), path);
    QCOMPARE(answer(dialog.choosePath(FileDialogMode::Save)), Nothing);
    QCOMPARE(answer(dialog.choosePath(FileDialogMode::Open)), Nothing);
    QVERIFY2(driver.problems().isEmpty(), qPrintable(driver.problems()));
    QVERIFY(!QFile::exists(folder.filePath(u"other.txt"_qs)));
}

void TestFileDialog::folderRemovedSinceTheLastChoiceStillShows()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QVERIFY(QDir(folder.path()).mkdir(u"gone"_qs));
    const QString removed = folder.filePath(u"gone/notes.rtf"_qs);
    const QString kept = folder.filePath(u"kept.rtf"_qs);
    QWidget window;
    CommonDialog dialog(&window);
    ModalDriver driver;
    driver.on<QFileDialog>([&](QFileDialog *shown) { acceptFileName(shown, removed); })
        .on<QFileDialog>([&](QFileDialog *shown) {
            QVERIFY(shown->isVisible());
            acceptFileName(shown, kept);
        });
    QCOMPARE(answer(dialog.choosePath(FileDialogMode::Save)), removed);
    QVERIFY(QDir(folder.filePath(u"gone"_qs)).removeRecursively());
    QCOMPARE(answer(dialog.choosePath(FileDialogMode::Save)), kept);
    QVERIFY2(driver.problems().isEmpty(), qPrintable(driver.problems()));
}

void TestFileDialog::openRefusesANameThatDoesNotExist()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    createFile(folder.filePath(u"present.txt"_qs));
    QWidget window;
    CommonDialog dialog(&window);
    ModalDriver driver;
    driver
        .on<QFileDialog>([&](QFileDialog *shown) {
            shown->setDirectory(folder.path());
            typeFileName(shown, u"missing.txt"_qs);
            QTest::keyClick(fileNameEdit(shown), Qt::Key_Return);
        })
        .on<QMessageBox>([](QMessageBox *box) {
            QVERIFY2(box->text().contains(u"missing.txt"_qs), qPrintable(box->text()));
            pressButton(box, QMessageBox::Ok);
        })
        .on<QFileDialog>([&](QFileDialog *shown) {
            QCOMPARE(fileNameEdit(shown)->text(), u"missing.txt"_qs);
            // The same folder with a file behind the name is taken.
            acceptFileName(shown, u"present.txt"_qs);
        });
    QCOMPARE(answer(dialog.choosePath(FileDialogMode::Open)), folder.filePath(u"present.txt"_qs));
    QVERIFY2(driver.problems().isEmpty(), qPrintable(driver.problems()));
}

void TestFileDialog::typedNameLeavesNoCompletionsBehind_data()
{
    QTest::addColumn<FileDialogMode>("mode");
    QTest::addRow("open") << FileDialogMode::Open;
    QTest::addRow("save") << FileDialogMode::Save;
}

// Return typed while the list of completions shows takes the name; the list must go with the
// dialog rather than stay over the window.
void TestFileDialog::typedNameLeavesNoCompletionsBehind()
{
    QFETCH(FileDialogMode, mode);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
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
    if (mode == FileDialogMode::Save)
        driver.on<QMessageBox>([](QMessageBox *box) { pressButton(box, QMessageBox::Yes); });
    QCOMPARE(answer(dialog.choosePath(mode)), folder.filePath(u"letter.txt"_qs));
    QVERIFY2(driver.problems().isEmpty(), qPrintable(driver.problems()));
    QTest::qWait(200);
    QVERIFY(!completions->isVisible());
}

void TestFileDialog::saveAsksBeforeReplacingAFile_data()
{
    QTest::addColumn<bool>("replace");
    QTest::addRow("declining returns to the dialog") << false;
    QTest::addRow("agreeing chooses the file") << true;
}

void TestFileDialog::saveAsksBeforeReplacingAFile()
{
    QFETCH(bool, replace);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString path = folder.filePath(u"existing.rtf"_qs);
    createFile(path, "old");
    QWidget window;
    CommonDialog dialog(&window);
    ModalDriver driver;
    driver.on<QFileDialog>([&](QFileDialog *shown) { acceptFileName(shown, path); })
        .on<QMessageBox>([&](QMessageBox *box) {
            QVERIFY2(box->text().contains(u"existing.rtf"_qs), qPrintable(box->text()));
            pressButton(box, replace ? QMessageBox::Yes : QMessageBox::No);
        });
    if (!replace) {
        driver.on<QFileDialog>([&](QFileDialog *shown) {
            QCOMPARE(shown->selectedFiles(), QStringList { path });
            shown->reject();
        });
    }
    QCOMPARE(answer(dialog.choosePath(FileDialogMode::Save)), replace ? path : Nothing);
    QVERIFY2(driver.problems().isEmpty(), qPrintable(driver.problems()));
    QCOMPARE(contentOf(path), "old");
}

void TestFileDialog::saveFailureMessageNamesFileAndReason_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("reason");
    QTest::addRow("with a reason") << u"/home/ann/notes.rtf"_qs << u"No space left on device"_qs;
    QTest::addRow("without a reason") << u"/mnt/usb/Report 2024.txt"_qs << QString();
}

void TestFileDialog::saveFailureMessageNamesFileAndReason()
{
    QFETCH(QString, path);
    QFETCH(QString, reason);
    const QString message = saveFailureMessage(path, reason);
    QVERIFY2(message.contains(u'\u201c' + path + u'\u201d'), qPrintable(message));
    QVERIFY2(message.contains(reason), qPrintable(message));
    QVERIFY2(message.contains(u"still open"_qs), qPrintable(message));
    QVERIFY2(!message.contains(u"\n\n\n"_qs), qPrintable(message));
}

void TestFileDialog::saveFailureShowsAWarningOverTheWindow()
{
    QWidget window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    CommonDialog dialog(&window);
    const QString path = u"/media/full/notes.rtf"_qs;
    const QString reason = u"No space left on device"_qs;
    ModalDriver driver;
    driver.on<QMessageBox>([&](QMessageBox *box) {
        QCOMPARE(box->icon(), QMessageBox::Warning);
        QCOMPARE(box->text(), saveFailureMessage(path, reason));
        QCOMPARE(box->parentWidget(), &window);
        pressButton(box, QMessageBox::Ok);
    });
    dialog.showSaveFailure(path, reason);
    QVERIFY2(driver.problems().isEmpty(), qPrintable(driver.problems()));
}

QTEST_MAIN(TestFileDialog)
#include "tst_filedialog.moc"
