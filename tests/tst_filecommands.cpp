// SPDX-License-Identifier: GPL-3.0-or-later
#include "filecommands.h"
#include "filedialog.h"
#include "files.h"
#include "mainwindow.h"
#include "modaldriver.h"
#include "richtexteditor.h"
#include "rtfwriter.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Quillmere;

namespace {

// Set in the environment of the child process that is killed while it saves.
constexpr char KilledSaveVariable[] = "QUILLMERE_TEST_KILLED_SAVE";
const QByteArray OldContent = "{\\rtf1 old}";
const QString EditedText = u"Words typed before\r\nthe command ran"_qs;

// Saves a big document with the file size limited and SIGXFSZ left to kill the process in the
// middle of the write, as a crash or a power cut would.
int saveUntilKilled(const QString &path)
{
    std::signal(SIGXFSZ, SIG_DFL);
    prctl(PR_SET_DUMPABLE, 0);
    RichTextEditor editor;
    editor.setPlainText(QString(200000, u'k'));
    const rlimit small { 4096, 4096 };
    setrlimit(RLIMIT_FSIZE, &small);
    fputs("saving\n", stdout);
    fflush(stdout);
    editor.SaveFile(path);
    return 3;
}

// Answers with the same path, or with nothing, and keeps what it was told.
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
        failures.append(path + u": "_qs + reason);
    }

    QList<FileDialogMode> asked;
    QStringList failures;

private:
    std::optional<QString> m_path;
};

QString loadedText(const QString &path)
{
    RichTextEditor reader;
    const FileResult result = reader.LoadFile(path);
    return result ? reader.documentText() : u"(not loaded: "_qs + result.reason + u')';
}

mode_t modeOf(const QString &path)
{
    struct stat status = {};
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 ? status.st_mode & 07777 : 0;
}

// An editor with text in it that a command which fails must leave as it was.
struct EditedDocument
{
    EditedDocument()
    {
        editor.setDocumentText(EditedText);
        document = editor.document();
    }
    void verifyUnchanged() const
    {
        QCOMPARE(editor.document(), document);
        QCOMPARE(editor.documentText(), EditedText);
    }

    QWidget window;
    RichTextEditor editor { &window };
    const QTextDocument *document = nullptr;
};

void verifyDriven(const ModalDriver &driver)
{
    QVERIFY2(driver.problems().isEmpty(), qPrintable(driver.problems()));
}

} // namespace

class TestFileCommands : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void openLoadsWhatItCanRead_data();
    void openLoadsWhatItCanRead();
    void toolbarSavesTheOpenedFileUnderItsOwnName();
    void failedSaveKeepsEveryFile_data();
    void failedSaveKeepsEveryFile();
    void failedSaveIsShownOverTheWindow();
    void killedSaveKeepsOldFile();
    void saveKeepsModesAndLinks();
};

void TestFileCommands::initTestCase()
{
    // Qt's dialog remembers folders in the user's settings; keep the tests out of them.
    QStandardPaths::setTestModeEnabled(true);
}

void TestFileCommands::openLoadsWhatItCanRead_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("text"); // null: the document stays as it was

    QTest::addRow("RTF") << u"file"_qs << QByteArray("{\\rtf1\\ansi Dear Ann,\\par {\\b see} you}")
                         << u"Dear Ann,\r\nsee you"_qs;
    QTest::addRow("plain text") << u"file"_qs << QByteArray("one\ntwo\n") << u"one\r\ntwo\r\n"_qs;
    for (const char *kind : { "cancelled", "too large", "missing", "folder", "unreadable" })
        QTest::addRow("%s", kind) << QString::fromLatin1(kind) << QByteArray("{\\rtf1 secret\\par}")
                                  << QString();
}

void TestFileCommands::openLoadsWhatItCanRead()
{
    QFETCH(QString, kind);
    QFETCH(QByteArray, content);
    QFETCH(QString, text);
    if (kind == u"unreadable" && geteuid() == 0)
        QSKIP("root reads every file");
    QTemporaryDir folder;
    const QString path = folder.filePath(u"letter.txt"_qs);
    if (kind == u"too large") {
        QFile file(path); // sparse: it takes no room on the disk
        QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(qint64(256) * 1024 * 1024));
    } else if (kind == u"folder") {
        QVERIFY(QDir(folder.path()).mkdir(u"letter.txt"_qs));
    } else if (kind == u"file" || kind == u"unreadable") {
        createFile(path, content);
        if (kind == u"unreadable")
            QVERIFY(QFile::setPermissions(path, QFileDevice::WriteOwner));
    }
    EditedDocument edited;
    ScriptedChooser chooser(kind == u"cancelled" ? std::nullopt : std::optional(path));
    ModalDriver driver;
    OpenDocument(edited.editor, chooser);
    QCOMPARE(chooser.asked, QList<FileDialogMode> { FileDialogMode::Open });
    verifyDriven(driver);
    if (text.isNull())
        edited.verifyUnchanged();
    else
        QCOMPARE(edited.editor.documentText(), text);
}

// Qt's save dialog would offer "notes.rtf" as "notes.txt" under the Text Files entry; the
// person who opened notes.rtf and saves at once must write notes.rtf.
void TestFileCommands::toolbarSavesTheOpenedFileUnderItsOwnName()
{
    QTemporaryDir folder;
    const QString path = folder.filePath(u"notes.rtf"_qs);
    createFile(path, "{\\rtf1\\ansi first draft}");
    Form1 window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto *fileDialog = window.findChild<QFileDialog *>(u"CommonDialog1"_qs);
    QVERIFY(fileDialog);
    const auto click = [&](const QString &key) {
        QAction *button = window.toolBar()->findChild<QAction *>(key);
        QVERIFY(button);
        QTest::mouseClick(window.toolBar()->widgetForAction(button), Qt::LeftButton);
    };
    ModalDriver driver;
    driver
        .on<QFileDialog>([&](QFileDialog *shown) {
            QCOMPARE(shown, fileDialog);
            acceptFileName(shown, path);
        })
        .on<QFileDialog>([&](QFileDialog *shown) {
            QCOMPARE(shown->acceptMode(), QFileDialog::AcceptSave);
            pressAcceptButton(shown);
        })
        .on<QMessageBox>([&](QMessageBox *box) { pressButton(box, QMessageBox::Yes); });

    click(u"open"_qs);
    QCOMPARE(window.editor()->documentText(), u"first draft"_qs);
    window.editor()->setDocumentText(u"second draft"_qs);
    click(u"save"_qs);
    verifyDriven(driver);
    QCOMPARE(entriesOf(folder.path()), QStringList { u"notes.rtf"_qs });
    QCOMPARE(loadedText(path), u"second draft"_qs);
}

void TestFileCommands::failedSaveKeepsEveryFile_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<int>("sizeLimit");
    QTest::addColumn<int>("textLength");

    // All but the read-only folder fail for root too, so the test holds wherever it runs.
    QTest::addRow("cancelled") << u"-"_qs << 0 << 10;
    QTest::addRow("parent is a file") << u"old.rtf/new.rtf"_qs << 0 << 10;
    QTest::addRow("folder does not exist") << u"missing/new.rtf"_qs << 0 << 10;
    QTest::addRow("path is a folder") << u"folder"_qs << 0 << 10;
    QTest::addRow("kernel file system") << u"/proc/version"_qs << 0 << 10;
    QTest::addRow("empty path") << QString() << 0 << 10;
    QTest::addRow("read-only folder") << u"folder/inside.rtf"_qs << 0 << 10;
    // A short write with no error at all: through a write buffer, this one was once taken for
    // success and the old file replaced by the first 16 bytes of the new one.
    QTest::addRow("disk full in the only write") << u"old.rtf"_qs << 16 << 10;
    QTest::addRow("disk full after some writes") << u"old.rtf"_qs << 8192 << 100000;
}

void TestFileCommands::failedSaveKeepsEveryFile()
{
    QFETCH(QString, target);
    QFETCH(int, sizeLimit);
    QFETCH(int, textLength);
    const bool readOnly = QByteArray(QTest::currentDataTag()) == "read-only folder";
    if (readOnly && geteuid() == 0)
        QSKIP("root writes into read-only folders");
    QTemporaryDir folder;
    createFile(folder.filePath(u"old.rtf"_qs), OldContent);
    QVERIFY(QDir(folder.path()).mkdir(u"folder"_qs));
    createFile(folder.filePath(u"folder/inside.rtf"_qs), OldContent);
    const QString path = target.isEmpty() ? target : QDir(folder.path()).filePath(target);
    const QByteArray before
        = contentOf(QFileInfo(path).isFile() ? path : folder.filePath(u"old.rtf"_qs));
    const QString inside = folder.filePath(u"folder"_qs);
    if (readOnly)
        QVERIFY(QFile::setPermissions(inside, QFile::ReadOwner | QFile::ExeOwner));
    RichTextEditor editor;
    editor.setPlainText(QString(textLength, u'w'));
    const bool cancelled = target == u"-";
    ScriptedChooser chooser(cancelled ? std::nullopt : std::optional(path));
    {
        std::optional<FileSizeLimit> fullDisk;
        if (sizeLimit > 0)
            fullDisk.emplace(rlim_t(sizeLimit));
        SaveDocument(editor, chooser);
    }
    QFile::setPermissions(inside, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QCOMPARE(chooser.asked, QList<FileDialogMode> { FileDialogMode::Save });
    QCOMPARE(chooser.failures.size(), cancelled ? 0 : 1);
    // The reason follows the path; for a file that could be named, it names it.
    QVERIFY(cancelled || chooser.failures.constFirst().size() > path.size() + 2);
    if (sizeLimit > 0 || readOnly)
        QVERIFY2(chooser.failures.constFirst().mid(path.size()).contains(path),
                 qPrintable(chooser.failures.constFirst()));
    QCOMPARE(editor.documentText(), QString(textLength, u'w'));
    QCOMPARE(contentOf(QFileInfo(path).isFile() ? path : folder.filePath(u"old.rtf"_qs)), before);
    QCOMPARE(entriesOf(folder.path()), (QStringList { u"folder"_qs, u"old.rtf"_qs }));
    QCOMPARE(entriesOf(inside), QStringList { u"inside.rtf"_qs });
    QCOMPARE(contentOf(folder.filePath(u"folder/inside.rtf"_qs)), OldContent);
}

void TestFileCommands::failedSaveIsShownOverTheWindow()
{
    QTemporaryDir folder;
    const QString path = folder.filePath(u"report.rtf"_qs);
    EditedDocument edited;
    edited.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&edited.window));
    CommonDialog dialog(&edited.window);
    ModalDriver driver;
    driver.on<QFileDialog>([&](QFileDialog *shown) { acceptFileName(shown, path); })
        .on<QMessageBox>([&](QMessageBox *box) {
            QCOMPARE(box->icon(), QMessageBox::Warning);
            QCOMPARE(box->parentWidget(), &edited.window);
            QVERIFY2(box->text().contains(u'\u201c' + path + u'\u201d'), qPrintable(box->text()));
            QVERIFY2(box->text().size() > saveFailureMessage(path, {}).size(),
                     "the message gives no reason");
            QVERIFY2(box->text().contains(u"still open"_qs), qPrintable(box->text()));
            pressButton(box, QMessageBox::Ok);
        });
    {
        const FileSizeLimit fullDisk(16);
        SaveDocument(edited.editor, dialog);
    }
    verifyDriven(driver);
    QVERIFY(!saveFailureMessage(path, {}).contains(u"\n\n\n"_qs));
    QCOMPARE(entriesOf(folder.path()), QStringList());
    edited.verifyUnchanged();
}

void TestFileCommands::killedSaveKeepsOldFile()
{
    QTemporaryDir folder;
    const QString path = folder.filePath(u"old.rtf"_qs);
    createFile(path, OldContent);
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(KilledSaveVariable), path);
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(), {});
    QVERIFY(child.waitForFinished(60000));
    QCOMPARE(child.exitStatus(), QProcess::CrashExit);
    QCOMPARE(child.readAllStandardOutput(), QByteArray("saving\n"));
    QCOMPARE(contentOf(path), OldContent);
}

// A save replaces the file's content only: its permissions, or the link it is reached
// through, stay; a new file gets the permissions the umask leaves.
void TestFileCommands::saveKeepsModesAndLinks()
{
    QTemporaryDir folder;
    const QString shared = folder.filePath(u"shared.rtf"_qs);
    const QString link = folder.filePath(u"link.rtf"_qs);
    createFile(shared, "old contents that are longer than the new ones will be, by far");
    QCOMPARE(::chmod(QFile::encodeName(shared).constData(), 0604), 0);
    QVERIFY(QFile::link(shared, link));
    RichTextEditor editor;
    editor.setPlainText(u"new text"_qs);

    QVERIFY(editor.SaveFile(link).ok);
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(modeOf(shared), mode_t(0604));
    QCOMPARE(contentOf(shared), writeRtf(*editor.document()));

    const mode_t mask = ::umask(022);
    const bool saved = editor.SaveFile(folder.filePath(u"fresh.rtf"_qs)).ok;
    ::umask(mask);
    QVERIFY(saved);
    QCOMPARE(modeOf(folder.filePath(u"fresh.rtf"_qs)), mode_t(0644));
    QCOMPARE(entriesOf(folder.path()),
             (QStringList { u"fresh.rtf"_qs, u"link.rtf"_qs, u"shared.rtf"_qs }));
}

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    if (const QString path = qEnvironmentVariable(KilledSaveVariable); !path.isEmpty())
        return saveUntilKilled(path);
    TestFileCommands test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_filecommands.moc"
