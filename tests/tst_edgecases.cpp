// SPDX-License-Identifier: GPL-3.0-or-later
#include "clipboard.h"
#include "filecommands.h"
#include "filedialog.h"
#include "files.h"
#include "keystate.h"
#include "mainwindow.h"
#include "richtexteditor.h"
#include "statusbar.h"

#include <QAccessible>
#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <csignal>

using namespace Quillmere;

namespace {

// Gives the file commands one path and counts the save failures they report.
struct FixedPathChooser final : FileChooser
{
    QString path;
    int failures = 0;
    std::optional<QString> choosePath(FileDialogMode) override { return path; }
    void showSaveFailure(const QString &, const QString &) override { ++failures; }
};

struct FakeKeys final : KeyStateSource
{
    bool capsLock = false;
    bool overwrite = false;
    bool isCapsLockOn() override { return capsLock; }
    bool isInsertToggleOn() override { return overwrite; }
};

} // namespace

class TestEdgeCases : public QObject
{
    Q_OBJECT

private slots:
    void onlyRegularFilesAreReadOrReplaced_data();
    void onlyRegularFilesAreReadOrReplaced();
    void saveOverFileSizeLimitIsReported();
    void saveKeepsModeAndOwner_data();
    void saveKeepsModeAndOwner();
    void insertIndicatorShowsWhatTypingDoes();
    void editorExportsTheClipboardText_data();
    void editorExportsTheClipboardText();
    void indicatorsSayTheirState_data();
    void indicatorsSayTheirState();
    void editorHasAnAccessibleName();
};

void TestEdgeCases::onlyRegularFilesAreReadOrReplaced_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<uint>("type");
    QTest::addRow("named pipe without a writer") << u"pipe.rtf"_qs << uint(S_IFIFO);
    QTest::addRow("folder") << u"folder.rtf"_qs << uint(S_IFDIR);
    QTest::addRow("device") << u"null.rtf"_qs << uint(S_IFCHR);
    QTest::addRow("regular file") << u"plain.rtf"_qs << uint(S_IFREG);
}

void TestEdgeCases::onlyRegularFilesAreReadOrReplaced()
{
    QFETCH(QString, name);
    QFETCH(uint, type);
    QTemporaryDir folder;
    const QString path = folder.filePath(name);
    const QByteArray encoded = QFile::encodeName(path);
    if (type == S_IFDIR)
        QVERIFY(QDir(folder.path()).mkdir(name));
    else if (type == S_IFREG)
        createFile(path, "{\\rtf1 opened}");
    else if (::mknod(encoded.constData(), type | 0666, makedev(1, 3)) != 0)
        QSKIP("Only root may make a device");

    RichTextEditor editor;
    editor.setDocumentText(u"kept"_qs);
    const bool regular = type == S_IFREG;
    const FileResult loaded = editor.LoadFile(path);
    QCOMPARE(loaded.ok, regular);
    QCOMPARE(editor.documentText(), regular ? u"opened"_qs : u"kept"_qs);
    const FileResult saved = editor.SaveFile(path);
    QCOMPARE(saved.ok, regular);
    if (!regular) {
        QVERIFY2(loaded.reason.contains(path), qPrintable(loaded.reason));
        QVERIFY2(saved.reason.contains(path), qPrintable(saved.reason));
    }
    struct stat status = {};
    QCOMPARE(::stat(encoded.constData(), &status), 0);
    QCOMPARE(uint(status.st_mode & S_IFMT), type);
}

void TestEdgeCases::saveOverFileSizeLimitIsReported()
{
    // Only the program's own set-up may keep the signal from ending this test.
    std::signal(SIGXFSZ, SIG_DFL);
    Form1 window;
    QTemporaryDir folder;
    const QString path = folder.filePath(u"limited.rtf"_qs);
    createFile(path, "{\\rtf1 old}");
    window.editor()->setDocumentText(u"A line of words.\r\n"_qs.repeated(1000));
    FixedPathChooser chooser;
    chooser.path = path;

    rlimit unlimited {};
    QCOMPARE(::getrlimit(RLIMIT_FSIZE, &unlimited), 0);
    rlimit limited = unlimited;
    limited.rlim_cur = 4096;
    QCOMPARE(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    SaveDocument(*window.editor(), chooser);
    QCOMPARE(::setrlimit(RLIMIT_FSIZE, &unlimited), 0);

    QCOMPARE(chooser.failures, 1);
    QCOMPARE(contentOf(path), QByteArray("{\\rtf1 old}"));
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList { u"limited.rtf"_qs });
}

void TestEdgeCases::saveKeepsModeAndOwner_data()
{
    QTest::addColumn<uint>("mode");
    QTest::addColumn<uint>("owner");
    QTest::addColumn<uint>("group");
    QTest::addRow("read-only, another user's") << 0444u << 65534u << 65534u;
    QTest::addRow("private to another user") << 0600u << 65534u << 65534u;
    QTest::addRow("set-user-ID program of another user") << 04755u << 65534u << 65534u;
    QTest::addRow("ours, another group's") << 0664u << 0u << 65534u;
}

void TestEdgeCases::saveKeepsModeAndOwner()
{
    QFETCH(uint, mode);
    QFETCH(uint, owner);
    QFETCH(uint, group);
    if (::geteuid() != 0)
        QSKIP("Only root may save over files of other users and give them back");
    QTemporaryDir folder;
    const QString path = folder.filePath(u"kept.rtf"_qs);
    const QByteArray name = QFile::encodeName(path);
    createFile(path, "{\\rtf1 old}");
    QCOMPARE(::chown(name.constData(), owner, group), 0);
    QCOMPARE(::chmod(name.constData(), mode), 0);

    RichTextEditor editor;
    editor.setDocumentText(u"new"_qs);
    QVERIFY(editor.SaveFile(path).ok);
    struct stat status = {};
    QCOMPARE(::stat(name.constData(), &status), 0);
    QCOMPARE(uint(status.st_mode & 07777), mode);
    QCOMPARE(uint(status.st_uid), owner);
    QCOMPARE(uint(status.st_gid), group);
    QVERIFY(contentOf(path).contains("new"));
}

void TestEdgeCases::insertIndicatorShowsWhatTypingDoes()
{
    Form1 window;
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QLabel *ins = window.statusBar()->panel(2);
    RichTextEditor *editor = window.editor();

    // Insert pressed in another window of the program, the file dialog, leaves typing as it is.
    CommonDialog *dialog = window.fileDialog();
    dialog->winId();
    QTest::keyClick(dialog->windowHandle(), Qt::Key_Insert);
    QVERIFY(!editor->overwriteMode());

    QTest::keyClick(window.windowHandle(), Qt::Key_Insert);
    QVERIFY(editor->overwriteMode());
    QTRY_VERIFY(ins->isEnabled());
    editor->setOverwriteMode(false);
    QTRY_VERIFY(!ins->isEnabled());
}

void TestEdgeCases::editorExportsTheClipboardText_data()
{
    QTest::addColumn<QString>("html");
    QTest::addRow("formatted words") << u"<b>bold</b> <i style='color:red'>red</i>"_qs;
    QTest::addRow("paragraphs and a list") << u"<p>one</p><p>two</p><ul><li>three</li></ul>"_qs;
    QTest::addRow("line break, tab, no-break space") << u"a<br>b\tc&nbsp;d"_qs;
    QTest::addRow("table") << u"<table><tr><td>a</td><td>b</td></tr></table>"_qs;
}

void TestEdgeCases::editorExportsTheClipboardText()
{
    QFETCH(QString, html);
    RichTextEditor editor;
    editor.setHtml(html);
    editor.selectAll();
    QVERIFY(CopySelection(editor));
    const QString copied = QGuiApplication::clipboard()->text();

    // QTextEdit's own copy builds its data as a drag or the X11 selection does.
    editor.copy();
    const QMimeData *exported = QGuiApplication::clipboard()->mimeData();
    QVERIFY(exported);
    QCOMPARE(exported->formats(), QStringList { u"text/plain"_qs });
    QCOMPARE(exported->text(), copied);
}

void TestEdgeCases::indicatorsSayTheirState_data()
{
    QTest::addColumn<bool>("capsLock");
    QTest::addColumn<bool>("overwrite");
    QTest::addColumn<QString>("capsName");
    QTest::addColumn<QString>("insName");
    QTest::addRow("both off") << false << false << u"Caps Lock off"_qs << u"Overwrite off"_qs;
    QTest::addRow("Caps Lock on") << true << false << u"Caps Lock on"_qs << u"Overwrite off"_qs;
    QTest::addRow("overwriting") << false << true << u"Caps Lock off"_qs << u"Overwrite on"_qs;
}

void TestEdgeCases::indicatorsSayTheirState()
{
    QFETCH(bool, capsLock);
    QFETCH(bool, overwrite);
    QFETCH(QString, capsName);
    QFETCH(QString, insName);
    auto keys = std::make_unique<FakeKeys>();
    FakeKeys &state = *keys;
    // From the opposite state, so that every name has to change.
    state.capsLock = !capsLock;
    state.overwrite = !overwrite;
    StatusBar bar(nullptr, std::move(keys));
    state.capsLock = capsLock;
    state.overwrite = overwrite;

    const QStringList names { capsName, insName };
    for (qsizetype i = 0; i < names.size(); ++i) {
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(bar.panel(i + 1));
        QVERIFY(accessible);
        QTRY_COMPARE(accessible->text(QAccessible::Name), names.at(i));
        QVERIFY(!accessible->text(QAccessible::Description).isEmpty());
        QCOMPARE(accessible->state().disabled, names.at(i).endsWith(u"off"));
    }
}

void TestEdgeCases::editorHasAnAccessibleName()
{
    Form1 window;
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(window.editor());
    QVERIFY(accessible);
    QCOMPARE(accessible->text(QAccessible::Name), u"Document"_qs);
}

QTEST_MAIN(TestEdgeCases)
#include "tst_edgecases.moc"
