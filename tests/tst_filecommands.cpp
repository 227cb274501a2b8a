// SPDX-License-Identifier: GPL-3.0-or-later
#include "files.h"
#include "richtexteditor.h"
#include "rtfwriter.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Quillmere;

namespace {

// The folder a file command acts in, before each case's own set-up.
const QString FolderSetUp
    = u"printf '%s' '{\\rtf1 old}' >old.rtf; ln -s \"$PWD/old.rtf\" link.rtf\n"
      "mkdir folder; cp old.rtf folder/inside.rtf\n"_qs;

// Saves in a child process that the file size limit kills in the middle of the write, as a
// crash or a power cut would; to this process, the save failed.
FileResult saveKilled(RichTextEditor &editor, const QString &path)
{
    const pid_t child = ::fork();
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_DFL);
        prctl(PR_SET_DUMPABLE, 0);
        editor.SaveFile(path);
        ::_exit(0);
    }
    int status = 0;
    const bool killed = ::waitpid(child, &status, 0) == child && WIFSIGNALED(status)
        && WTERMSIG(status) == SIGXFSZ;
    return killed ? FileResult::failure(u"killed"_qs) : FileResult::success();
}

} // namespace

class TestFileCommands : public QObject
{
    Q_OBJECT

private slots:
    void savesAndLoadsChangeOnlyWhatTheySay_data();
    void savesAndLoadsChangeOnlyWhatTheySay();
};

void TestFileCommands::savesAndLoadsChangeOnlyWhatTheySay_data()
{
    addFixtureRows(QFINDTESTDATA("data/file-commands.txt"));
}

// A failed save or load changes nothing in the folder; a save that succeeds changes it as
// writing the file's new content in place would, but all at once.
void TestFileCommands::savesAndLoadsChangeOnlyWhatTheySay()
{
    QFETCH(QStringList, fields);
    const QString &outcome = fields[3];
    QString setUp = fields[2] == u"-" ? QString() : fields[2];
    const bool root = ::geteuid() == 0;
    if (setUp.startsWith(root ? u"user: " : u"root: "))
        QSKIP(root ? "root writes anywhere" : "only root may give files away or make devices");
    setUp = FolderSetUp + setUp.remove(QRegularExpression(u"^\\w+: "_qs));
    QTemporaryDir folder;
    const QByteArray before = stateOf(folder.path(), setUp);
    QVERIFY2(!before.startsWith("failed"), before.constData());
    const QString &file = fields[1];
    const QString path = file.isEmpty() || file.startsWith(u'/') ? file : folder.filePath(file);

    // The short writes show as such, where the signal would end the process.
    std::signal(SIGXFSZ, SIG_IGN);
    RichTextEditor editor;
    // Typed, so that there is a step to undo, which only a document that loads may take away.
    editor.textCursor().insertText(
        fields[0] == u"save" ? QString(fields.value(5, u"10"_qs).toInt(), u'w') : u"kept"_qs);
    const QString text = editor.documentText();
    const QTextDocument *document = editor.document();
    FileResult result;
    const mode_t mask = ::umask(022);
    {
        std::optional<FileSizeLimit> fullDisk;
        if (fields.value(4).toInt() > 0)
            fullDisk.emplace(rlim_t(fields.value(4).toInt()));
        if (fields[0] == u"load")
            result = editor.LoadFile(path);
        else
            result = outcome == u"killed" ? saveKilled(editor, path) : editor.SaveFile(path);
    }
    const QByteArray after = stateOf(folder.path());
    QFile::setPermissions(folder.filePath(u"folder"_qs),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QTemporaryDir written;
    const QByteArray expected = outcome != u"saved"
        ? before
        : stateOf(written.path(), setUp + u"\ncat >'"_qs + file + u"'"_qs,
                  writeRtf(*editor.document()));
    ::umask(mask);

    QCOMPARE(result.ok, outcome == u"saved" || outcome == u"loaded");
    QCOMPARE(result.reason.isEmpty(), result.ok);
    if (outcome.endsWith(u"naming the file"))
        QVERIFY2(result.reason.contains(path), qPrintable(result.reason));
    const bool loaded = outcome == u"loaded";
    QCOMPARE(editor.documentText(), loaded ? fields[4] : text);
    QCOMPARE(editor.document() == document, !loaded);
    QCOMPARE(editor.document()->isUndoAvailable(), !loaded);
    QCOMPARE(after, expected);
    // A loaded document is edited and undone like any other.
    QTextCursor(editor.document()).insertText(u"x"_qs);
    QVERIFY(editor.document()->isUndoAvailable());
}

QTEST_MAIN(TestFileCommands)
#include "tst_filecommands.moc"
