// SPDX-License-Identifier: GPL-3.0-or-later
#include "filecommands.h"
#include "filedialog.h"
#include "mainwindow.h"
#include "modaldriver.h"
#include "richtexteditor.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <QToolBar>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

using namespace Quillmere;

namespace {

// Answers every question with the same path, or with nothing, and keeps what it was told.
class ScriptedChooser final : public FileChooser
{
public:
    explicit ScriptedChooser(std::optional<QString> path)
        : m_path(std::move(path))
    {
    }

    std::optional<QString> choosePath(FileDialogMode mode) override
    {
        asked.append(mode);
        return m_path;
    }

    void showSaveFailure(const QString &path, const QString &reason) override
    {
        failedPaths.append(path);
        reasons.append(reason);
    }

    QList<FileDialogMode> asked;
    QStringList failedPaths;
    QStringList reasons;

private:
    std::optional<QString> m_path;
};

// While it lives, every file this process writes stops short after a few bytes, as it would on
// a full disk; this holds for root too, unlike a read-only folder.
class FullDisk
{
public:
    FullDisk()
    {
        getrlimit(RLIMIT_FSIZE, &m_previous);
        m_previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_previous;
        limit.rlim_cur = 16;
        m_active = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FullDisk()
    {
        setrlimit(RLIMIT_FSIZE, &m_previous);
        std::signal(SIGXFSZ, m_previousHandler);
    }
    FullDisk(const FullDisk &) = delete;
    FullDisk &operator=(const FullDisk &) = delete;

    bool isActive() const { return m_active; }

private:
    rlimit m_previous {};
    void (*m_previousHandler)(int) = SIG_DFL;
    bool m_active = false;
};

// Files and folders in `path`, hidden ones included, so a stray temporary file shows.
QStringList entriesOf(const QString &path)
{
    return QDir(path).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

// The text the editor shows after loading `path`, or a note that it could not.
QString loadedText(const QString &path)
{
    RichTextEditor reader;
    const FileResult result = reader.LoadFile(path);
    return result ? reader.documentText() : u"(not loaded: "_qs + result.reason + u')';
}

// An editor with text in it, and what must stay of it when a command changes nothing.
struct EditedDocument
{
    EditedDocument()
    {
        editor.setDocumentText(u"Words typed before\r\nthe command ran"_qs);
        document = editor.document();
    }

    void verifyUnchanged() const
    {
        QCOMPARE(editor.document(), document);
        QCOMPARE(editor.documentText(), u"Words typed before\r\nthe command ran"_qs);
    }

    QWidget window;
    RichTextEditor editor { &window };
    const QTextDocument *document = nullptr;
};

bool runsAsRoot()
{
    return geteuid() == 0;
}

} // namespace

class TestFileCommands : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void openLoadsTheChosenFile_data();
    void openLoadsTheChosenFile();
    void cancelChangesNothing_data();
    void cancelChangesNothing();
    void saveWritesRtfUnderExactlyTheChosenName_data();
    void saveWritesRtfUnderExactlyTheChosenName();
    void openedFileIsSavedBackUnderItsOwnName();
    void rejectedFileChangesNothingAndShowsNothing_data();
    void rejectedFileChangesNothingAndShowsNothing();
    void failedSaveShowsMessageAndKeepsOldFile();
    void everyFailedSaveIsReported_data();
    void everyFailedSaveIsReported();
    void toolbarButtonsRunTheCommandsOnTheWindowsDialog();
};

void TestFileCommands::initTestCase()
{
    // Qt's dialog remembers folders in the user's settings; keep the tests out of them.
    QStandardPaths::setTestModeEnabled(true);
}

void TestFileCommands::openLoadsTheChosenFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("text");

    QTest::addRow("an RTF file") << u"letter.rtf"_qs
                                 << QByteArray("{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0 "
                                               "Dear Ann,\\par {\\b see} you}")
                                 << u"Dear Ann,\r\nsee you"_qs;
    QTest::addRow("an RTF file named .txt, read as RTF")
        << u"letter.txt"_qs << QByteArray("{\\rtf1\\ansi Hello}") << u"Hello"_qs;
    QTest::addRow("a plain text file")
        << u"notes.txt"_qs << QByteArray("one\ntwo\n") << u"one\r\ntwo\r\n"_qs;
}

void TestFileCommands::openLoadsTheChosenFile()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(QString, text);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    createFile(folder.filePath(name), content);
    EditedDocument edited;
    CommonDialog dialog(&edited.window);
    ModalDriver driver;
    driver.on<QFileDialog>(
        [&](QFileDialog *shown) { acceptFileName(shown, folder.filePath(name)); });

    OpenDocument(edited.editor, dialog);
    QVERIFY2(driver.problems().isEmpty(), qPrintable(driver.problems()));
    QCOMPARE(edited.editor.documentText(), text);
}

void TestFileCommands::cancelChangesNothing_data()
{
    QTest::addColumn<bool>("save");
    QTest::addRow("cancelling open") << false;
    QTest::addRow("cancelling save") << true;
}

void TestFileCommands::cancelChangesNothing()
{
    QFETCH(bool, save);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString existing = folder.filePath(u"keep.rtf"_qs);
    createFile(existing, "{\\rtf1 kept\\par}");
    EditedDocument edited;
    CommonDialog dialog(&edited.window);
    ModalDriver driver;
    driver.on<QFileDialog>([&](QFileDialog *shown) {
        typeFileName(shown, existing);
        shown->reject();
    });

    save ? SaveDocument(edited.editor, dialog) : OpenDocument(edited.editor, dialog);
    QVERIFY2(driver.problems().isEmpty(), qPrintable(driver.problems()));
    edited.verifyUnchanged();
    QCOMPARE(entriesOf(folder.path()), QStringList { u"keep.rtf"_qs });
    QCOMPARE(contentOf(existing), "{\\rtf1 kept\\par}");
}

void TestFileCommands::saveWritesRtfUnderExactlyTheChosenName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("entry");

    QTest::addRow("a .txt name under Text Files") << u"notes.txt"_qs << 2;
    QTest::addRow("a name without extension") << u"notes"_qs << 2;
    QTest::addRow("a name without extension under Rich Text Files") << u"notes"_qs << 1;
    QTest::addRow("a .txt name under Rich Text Files") << u"notes.txt"_qs << 1;
    QTest::addRow("an upper-case .RTF name under All Files") << u"NOTES.RTF"_qs << 0;
    QTest::addRow("a name ending in a dot") << u"notes."_qs << 2;
    QTest::addRow("a name with spaces and two dots") << u"my notes.v2.doc"_qs << 0;
}

void TestFileCommands::saveWritesRtfUnderExactlyTheChosenName()
{
    QFETCH(QString, name);
    QFETCH(int, entry);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    EditedDocument edited;
    CommonDialog dialog(&edited.window);
    ModalDriver driver;
    driver.on<QFileDialog>([&](QFileDialog *shown) {
        shown->setDirectory(folder.path());
        pickFilterEntry(shown, entry);
        acceptFileName(shown, name);
    });

    SaveDocument(edited.editor, dialog);
    QVERIFY2(driver.problems().isEmpty(), qPrintable(driver.problems()));
    QCOMPARE(entriesOf(folder.path()), QStringList { name });
    QVERIFY(contentOf(folder.filePath(name)).startsWith("{\\rtf1"));
    QCOMPARE(loadedText(folder.filePath(name)), edited.editor.documentText());
    edited.verifyUnchanged();
}

// Qt's save dialog would offer "notes.rtf" as "notes.txt" under the Text Files entry; the
// person who opened notes.rtf and saves at once must write notes.rtf.
void TestFileCommands::openedFileIsSavedBackUnderItsOwnName()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString path = folder.filePath(u"notes.rtf"_qs);
    createFile(path, "{\\rtf1\\ansi first draft}");
    QWidget window;
    RichTextEditor editor(&window);
    CommonDialog dialog(&window);
    ModalDriver driver;
    driver.on<QFileDialog>([&](QFileDialog *shown) { acceptFileName(shown, path); })
        .on<QFileDialog>([&](QFileDialog *shown) { pressAcceptButton(shown); })
        .on<QMessageBox>([&](QMessageBox *box) { pressButton(box, QMessageBox::Yes); });

    OpenDocument(editor, dialog);
    QCOMPARE(editor.documentText(), u"first draft"_qs);
    editor.setDocumentText(u"second draft"_qs);
    SaveDocument(editor, dialog);
    QVERIFY2(driver.problems().isEmpty(), qPrintable(driver.problems()));
    QCOMPARE(entriesOf(folder.path()), QStringList { u"notes.rtf"_qs });
    QCOMPARE(loadedText(path), u"second draft"_qs);
}

void TestFileCommands::rejectedFileChangesNothingAndShowsNothing_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("throughDialog");

    QTest::addRow("a file too large to open, chosen in the dialog") << u"too large"_qs << true;
    QTest::addRow("a file gone since it was chosen") << u"missing"_qs << false;
    QTest::addRow("a folder") << u"folder"_qs << false;
    QTest::addRow("a file without read permission") << u"unreadable"_qs << false;
}

void TestFileCommands::rejectedFileChangesNothingAndShowsNothing()
{
    QFETCH(QString, kind);
    QFETCH(bool, throughDialog);
    if (kind == u"unreadable" && runsAsRoot())
        QSKIP("root reads every file");
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString path = folder.filePath(kind);
    if (kind == u"too large") {
        // Sparse: it takes no room on the disk.
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.resize(qint64(256) * 1024 * 1024));
    } else if (kind == u"folder") {
        QVERIFY(QDir(folder.path()).mkdir(kind));
    } else if (kind == u"unreadable") {
        createFile(path, "{\\rtf1 secret\\par}");
        QVERIFY(QFile::setPermissions(path, QFileDevice::WriteOwner));
    }
    EditedDocument edited;

    if (throughDialog) {
        CommonDialog dialog(&edited.window);
        ModalDriver driver;
        driver.on<QFileDialog>([&](QFileDialog *shown) { acceptFileName(shown, path); });
        OpenDocument(edited.editor, dialog);
        QVERIFY2(driver.problems().isEmpty(), qPrintable(driver.problems()));
    } else {
        ScriptedChooser chooser(path);
        ModalDriver driver;
        OpenDocument(edited.editor, chooser);
        QCOMPARE(chooser.asked, QList<FileDialogMode> { FileDialogMode::Open });
        QCOMPARE(chooser.failedPaths, QStringList());
        QVERIFY2(driver.problems().isEmpty(), qPrintable(driver.problems()));
    }
    edited.verifyUnchanged();
}

void TestFileCommands::failedSaveShowsMessageAndKeepsOldFile()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString path = folder.filePath(u"report.rtf"_qs);
    createFile(path, "{\\rtf1 the old report\\par}");
    EditedDocument edited;
    CommonDialog dialog(&edited.window);
    QString shownMessage;
    ModalDriver driver;
    driver.on<QFileDialog>([&](QFileDialog *shown) { acceptFileName(shown, path); })
        .on<QMessageBox>([&](QMessageBox *box) { pressButton(box, QMessageBox::Yes); })
        .on<QMessageBox>([&](QMessageBox *box) {
            QCOMPARE(box->icon(), QMessageBox::Warning);
            shownMessage = box->text();
            pressButton(box, QMessageBox::Ok);
        });
    {
        FullDisk fullDisk;
        QVERIFY(fullDisk.isActive());
        SaveDocument(edited.editor, dialog);
    }
    QVERIFY2(driver.problems().isEmpty(), qPrintable(driver.problems()));
    QVERIFY2(shownMessage.contains(path), qPrintable(shownMessage));
    // The reason follows the file's name: the message says more than that it failed.
    const QString sentence = saveFailureMessage(path, QString());
    QVERIFY2(shownMessage.size() > sentence.size(), qPrintable(shownMessage));
    QCOMPARE(contentOf(path), "{\\rtf1 the old report\\par}");
    QCOMPARE(entriesOf(folder.path()), QStringList { u"report.rtf"_qs });
    edited.verifyUnchanged();
}

void TestFileCommands::everyFailedSaveIsReported_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("name");

    QTest::addRow("the folder is a file") << u"file as folder"_qs << u"plain.txt/doc.rtf"_qs;
    QTest::addRow("the folder does not exist") << u"missing folder"_qs << u"gone/doc.rtf"_qs;
    QTest::addRow("the disk is full") << u"full disk"_qs << u"doc.rtf"_qs;
    QTest::addRow("the folder is read-only") << u"read-only"_qs << u"locked/doc.rtf"_qs;
}

void TestFileCommands::everyFailedSaveIsReported()
{
    QFETCH(QString, kind);
    QFETCH(QString, name);
    if (kind == u"read-only" && runsAsRoot())
        QSKIP("root writes in every folder");
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString path = folder.filePath(name);
    if (kind == u"file as folder")
        createFile(folder.filePath(u"plain.txt"_qs), "text");
    if (kind == u"full disk")
        createFile(path, "old");
    if (kind == u"read-only") {
        QVERIFY(QDir(folder.path()).mkdir(u"locked"_qs));
        QVERIFY(QFile::setPermissions(folder.filePath(u"locked"_qs),
                                      QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    }
    EditedDocument edited;
    ScriptedChooser chooser(path);
    {
        std::optional<FullDisk> fullDisk;
        if (kind == u"full disk")
            fullDisk.emplace();
        SaveDocument(edited.editor, chooser);
    }
    QCOMPARE(chooser.asked, QList<FileDialogMode> { FileDialogMode::Save });
    QCOMPARE(chooser.failedPaths, QStringList { path });
    QVERIFY(!chooser.reasons.constFirst().isEmpty());
    edited.verifyUnchanged();
    if (kind == u"full disk")
        QCOMPARE(contentOf(path), "old");
    else
        QVERIFY(!QFile::exists(path));
}

void TestFileCommands::toolbarButtonsRunTheCommandsOnTheWindowsDialog()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString path = folder.filePath(u"from the toolbar.txt"_qs);
    Form1 window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.editor()->setDocumentText(u"Saved From The Toolbar"_qs);
    auto *fileDialog = window.findChild<QFileDialog *>(u"CommonDialog1"_qs);
    QVERIFY(fileDialog);
    QCOMPARE(fileDialog->parentWidget(), &window);
    const auto click = [&](const QString &key) {
        QAction *button = window.toolBar()->findChild<QAction *>(key);
        QVERIFY(button);
        QTest::mouseClick(window.toolBar()->widgetForAction(button), Qt::LeftButton);
    };

    ModalDriver driver;
    driver.on<QFileDialog>([&](QFileDialog *shown) {
        QCOMPARE(shown, fileDialog);
        QCOMPARE(shown->acceptMode(), QFileDialog::AcceptSave);
        acceptFileName(shown, path);
    });
    driver.on<QFileDialog>([&](QFileDialog *shown) {
        QCOMPARE(shown, fileDialog);
        QCOMPARE(shown->acceptMode(), QFileDialog::AcceptOpen);
        QCOMPARE(shown->selectedFiles(), QStringList { path });
        pressAcceptButton(shown);
    });
    click(u"save"_qs);
    QCOMPARE(loadedText(path), u"Saved From The Toolbar"_qs);
    window.editor()->setDocumentText(u"changed since"_qs);
    click(u"open"_qs);
    QVERIFY2(driver.problems().isEmpty(), qPrintable(driver.problems()));
    QCOMPARE(window.editor()->documentText(), u"Saved From The Toolbar"_qs);
}

QTEST_MAIN(TestFileCommands)
#include "tst_filecommands.moc"
