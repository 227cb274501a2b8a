// SPDX-License-Identifier: GPL-3.0-or-later
#include "clipboard.h"
#include "filecommands.h"
#include "filedialog.h"
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
#include <unistd.h>

#include <csignal>

using namespace Quillmere;

namespace {

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

} // namespace

class TestEdgeCases : public QObject
{
    Q_OBJECT

private slots:
    void openRefusesAllButRegularFiles_data();
    void openRefusesAllButRegularFiles();
};

void TestEdgeCases::openRefusesAllButRegularFiles_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("opens");
    QTest::addRow("named pipe without a writer") << u"pipe.rtf"_qs << false;
    QTest::addRow("folder") << u"folder.rtf"_qs << false;
    QTest::addRow("device") << u"/dev/null"_qs << false;
    QTest::addRow("regular file") << u"plain.rtf"_qs << true;
}

void TestEdgeCases::openRefusesAllButRegularFiles()
{
    QFETCH(QString, name);
    QFETCH(bool, opens);
    QTemporaryDir folder;
    const QString path = QDir(folder.path()).filePath(name);
    QCOMPARE(::mkfifo(QFile::encodeName(folder.filePath(u"pipe.rtf"_qs)).constData(), 0600), 0);
    QVERIFY(QDir(folder.path()).mkdir(u"folder.rtf"_qs));
    writeFile(folder.filePath(u"plain.rtf"_qs), "{\\rtf1 opened}");

    RichTextEditor editor;
    editor.setDocumentText(u"kept"_qs);
    const FileResult result = editor.LoadFile(path);
    QCOMPARE(result.ok, opens);
    QCOMPARE(editor.documentText(), opens ? u"opened"_qs : u"kept"_qs);
    if (!opens)
        QVERIFY2(result.reason.contains(path), qPrintable(result.reason));
}

QTEST_MAIN(TestEdgeCases)
#include "tst_edgecases.moc"
