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
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using namespace Quillmere;

namespace {

// Set in the environment of the child process that is killed while it saves.
constexpr char KilledSaveVariable[] = "QUILLMERE_TEST_KILLED_SAVE";
const QByteArray OldContent = "{\\rtf1 old}";

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

uint fileType(const QString &path)
{
    struct stat status = {};
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 ? status.st_mode & S_IFMT : 0;
}

} // namespace

class TestFileCommands : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void onlyRegularFilesAreReadOrReplaced_data();
    void onlyRegularFilesAreReadOrReplaced();
    void toolbarSavesTheOpenedFileUnderItsOwnName();
    void failedSaveKeepsEveryFile_data();
    void failedSaveKeepsEveryFile();
    void failedSaveIsShownOverTheWindow();
    void killedSaveKeepsOldFile();
    void saveKeepsModeOwnerAndLink_data();
    void saveKeepsModeOwnerAndLink();
};

void TestFileCommands::initTestCase()
{
    // Qt's dialog remembers folders in the user's settings; keep the tests out of them.
    QStandardPaths::setTestModeEnabled(true);
}

void TestFileCommands::onlyRegularFilesAreReadOrReplaced_data()
{
    QTest::addColumn<uint>("type");
    QTest::addRow("named pipe without a writer") << uint(S_IFIFO);
    QTest::addRow("folder") << uint(S_IFDIR);
    QTest::addRow("device") << uint(S_IFCHR);
    QTest::addRow("regular file") << uint(S_IFREG);
}

void TestFileCommands::onlyRegularFilesAreReadOrReplaced()
{
    QFETCH(uint, type);
    QTemporaryDir folder;
    const QString path = folder.filePath(u"file.rtf"_qs);
    if (type == S_IFDIR)
        QVERIFY(QDir(folder.path()).mkdir(path));
    else if (type == S_IFREG)
        createFile(path, "{\\rtf1 opened}");
    else if (::mknod(QFile::encodeName(path).constData(), type | 0666, makedev(1, 3)) != 0)
        QSKIP("Only root may make a device");

    RichTextEditor editor;
    editor.setDocumentText(u"kept"_qs);
    const bool regular = type == S_IFREG;
    const FileResult loaded = editor.LoadFile(path);
    QCOMPARE(editor.documentText(), regular ? u"opened"_qs : u"kept"_qs);
    const FileResult saved = editor.SaveFile(path);
    for (const FileResult &result : { loaded, saved }) {
        QCOMPARE(result.ok, regular);
        QVERIFY2(regular || result.reason.contains(path), qPrintable(result.reason));
    }
    QCOMPARE(fileType(path), type);
}

// Qt's save dialog would offer "notes.rtf" as "notes.txt" under the Text Files entry; the
// person who opened notes.rtf and saves at once must write notes.rtf. A cancelled open leaves
// the document alone, a cancelled save the file.
void TestFileCommands::toolbarSavesTheOpenedFileUnderItsOwnName()
{
    QTemporaryDir folder;
    const QString path = folder.filePath(u"notes.rtf"_qs);
    createFile(path, "{\\rtf1\\ansi first draft}");
    Form1 window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const auto click = [&](const QString &key) {
        QAction *button = window.toolBar()->findChild<QAction *>(key);
        QVERIFY(button);
        QTest::mouseClick(window.toolBar()->widgetForAction(button), Qt::LeftButton);
    };
    ModalDriver driver;
    driver.on<QFileDialog>([](QFileDialog *shown) { shown->reject(); })
        .on<QFileDialog>([&](QFileDialog *shown) {
            QCOMPARE(shown, window.fileDialog());
            acceptFileName(shown, path);
        })
        .on<QFileDialog>([](QFileDialog *shown) { shown->reject(); })
        .on<QFileDialog>([&](QFileDialog *shown) {
            QCOMPARE(shown->acceptMode(), QFileDialog::AcceptSave);
            pressAcceptButton(shown);
        })
        .on<QMessageBox>([&](QMessageBox *box) { pressButton(box, QMessageBox::Yes); });

    window.editor()->setDocumentText(u"kept"_qs);
    click(u"open"_qs);
    QCOMPARE(window.editor()->documentText(), u"kept"_qs);
    click(u"open"_qs);
    QCOMPARE(window.editor()->documentText(), u"first draft"_qs);
    window.editor()->setDocumentText(u"second draft"_qs);
    click(u"save"_qs);
    QCOMPARE(contentOf(path), QByteArray("{\\rtf1\\ansi first draft}"));
    click(u"save"_qs);
    QCOMPARE(entriesOf(folder.path()), QStringList { u"notes.rtf"_qs });
    RichTextEditor reader;
    QVERIFY(reader.LoadFile(path).ok);
    QCOMPARE(reader.documentText(), u"second draft"_qs);
}

void TestFileCommands::failedSaveKeepsEveryFile_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<int>("sizeLimit");
    QTest::addColumn<int>("textLength");

    // All but the read-only folder fail for root too, so the test holds wherever it runs.
    QTest::addRow("parent is a file") << u"old.rtf/new.rtf"_qs << 0 << 10;
    QTest::addRow("folder does not exist") << u"missing/new.rtf"_qs << 0 << 10;
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
    const QString inside = folder.filePath(u"folder"_qs);
    createFile(folder.filePath(u"old.rtf"_qs), OldContent);
    QVERIFY(QDir(folder.path()).mkdir(inside));
    createFile(inside + u"/inside.rtf"_qs, OldContent);
    if (readOnly)
        QVERIFY(QFile::setPermissions(inside, QFile::ReadOwner | QFile::ExeOwner));
    const QString path = target.isEmpty() ? target : QDir(folder.path()).filePath(target);
    const QString kept = QFileInfo(path).isFile() ? path : folder.filePath(u"old.rtf"_qs);
    const QByteArray before = contentOf(kept);
    RichTextEditor editor;
    editor.setPlainText(QString(textLength, u'w'));
    FileResult result;
    {
        std::optional<FileSizeLimit> fullDisk;
        if (sizeLimit > 0)
            fullDisk.emplace(rlim_t(sizeLimit));
        result = editor.SaveFile(path);
    }
    QFile::setPermissions(inside, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QVERIFY(!result.ok && !result.reason.isEmpty());
    // For a file that could be named, the reason names it.
    if (sizeLimit > 0 || readOnly)
        QVERIFY2(result.reason.contains(path), qPrintable(result.reason));
    QCOMPARE(editor.documentText(), QString(textLength, u'w'));
    QCOMPARE(contentOf(kept), before);
    QCOMPARE(entriesOf(folder.path()), (QStringList { u"folder"_qs, u"old.rtf"_qs }));
    QCOMPARE(entriesOf(inside), QStringList { u"inside.rtf"_qs });
    QCOMPARE(contentOf(inside + u"/inside.rtf"_qs), OldContent);
}

// Through the window's own dialog, on a full disk: only the program's own set-up may keep the
// file-size signal from ending the test.
void TestFileCommands::failedSaveIsShownOverTheWindow()
{
    QTemporaryDir folder;
    const QString path = folder.filePath(u"report.rtf"_qs);
    createFile(path, OldContent);
    std::signal(SIGXFSZ, SIG_DFL);
    Form1 window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const FileSizeLimit fullDisk(16, false);
    window.editor()->setDocumentText(u"A line of words.\r\n"_qs.repeated(1000));
    const QTextDocument *document = window.editor()->document();
    ModalDriver driver;
    driver.on<QFileDialog>([&](QFileDialog *shown) { acceptFileName(shown, path); })
        .on<QMessageBox>([&](QMessageBox *box) { pressButton(box, QMessageBox::Yes); })
        .on<QMessageBox>([&](QMessageBox *box) {
            QCOMPARE(box->icon(), QMessageBox::Warning);
            QCOMPARE(box->parentWidget(), &window);
            QVERIFY2(box->text().contains(u'\u201c' + path + u'\u201d'), qPrintable(box->text()));
            QVERIFY2(box->text().size() > saveFailureMessage(path, {}).size(),
                     "the message gives no reason");
            QVERIFY2(box->text().contains(u"still open"_qs), qPrintable(box->text()));
            pressButton(box, QMessageBox::Ok);
        });
    SaveDocument(*window.editor(), *window.fileDialog());
    QVERIFY(!saveFailureMessage(path, {}).contains(u"\n\n\n"_qs));
    QCOMPARE(entriesOf(folder.path()), QStringList { u"report.rtf"_qs });
    QCOMPARE(contentOf(path), OldContent);
    QCOMPARE(window.editor()->document(), document);
    QCOMPARE(window.editor()->documentText(), u"A line of words.\r\n"_qs.repeated(1000));
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

void TestFileCommands::saveKeepsModeOwnerAndLink_data()
{
    QTest::addColumn<bool>("viaLink");
    QTest::addColumn<int>("mode"); // -1: no file yet, made under umask 022
    QTest::addColumn<int>("owner"); // -1: ours
    QTest::addColumn<int>("group");
    QTest::addRow("new file") << false << -1 << -1 << -1;
    QTest::addRow("through a link") << true << 0604 << -1 << -1;
    QTest::addRow("read-only, another user's") << false << 0444 << 65534 << 65534;
    QTest::addRow("set-user-ID program of another user") << false << 04755 << 65534 << 65534;
    QTest::addRow("ours, another group's") << false << 0664 << -1 << 65534;
}

// A save replaces the file's content only: its mode, owner and group, or the link it is reached
// through, stay; a new file gets the permissions the umask leaves.
void TestFileCommands::saveKeepsModeOwnerAndLink()
{
    QFETCH(bool, viaLink);
    QFETCH(int, mode);
    QFETCH(int, owner);
    QFETCH(int, group);
    if ((owner >= 0 || group >= 0) && ::geteuid() != 0)
        QSKIP("Only root may save over files of other users and give them back");
    QTemporaryDir folder;
    const QString path = folder.filePath(u"kept.rtf"_qs);
    const QByteArray name = QFile::encodeName(path);
    if (mode >= 0) {
        createFile(path, "old contents that are longer than the new ones will be, by far");
        QCOMPARE(::chown(name.constData(), uid_t(owner), gid_t(group)), 0);
        QCOMPARE(::chmod(name.constData(), mode_t(mode)), 0);
    }
    const QString saved = viaLink ? folder.filePath(u"link.rtf"_qs) : path;
    QVERIFY(!viaLink || QFile::link(path, saved));
    RichTextEditor editor;
    editor.setPlainText(u"new text"_qs);
    const mode_t mask = ::umask(022);
    const FileResult result = editor.SaveFile(saved);
    ::umask(mask);
    QVERIFY2(result.ok, qPrintable(result.reason));
    struct stat status = {};
    QCOMPARE(::stat(name.constData(), &status), 0);
    QCOMPARE(int(status.st_mode & 07777), mode < 0 ? 0644 : mode);
    QCOMPARE(int(status.st_uid), owner < 0 ? int(::geteuid()) : owner);
    QCOMPARE(int(status.st_gid), group < 0 ? int(::getegid()) : group);
    QCOMPARE(QFileInfo(saved).isSymLink(), viaLink);
    QCOMPARE(contentOf(path), writeRtf(*editor.document()));
    QCOMPARE(entriesOf(folder.path()).size(), viaLink ? 2 : 1);
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
