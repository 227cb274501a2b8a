// SPDX-License-Identifier: GPL-3.0-or-later
#include "files.h"

#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QTest>

#include <sys/stat.h>

FileSizeLimit::FileSizeLimit(rlim_t bytes)
{
    getrlimit(RLIMIT_FSIZE, &m_previous);
    const rlimit limit { bytes, m_previous.rlim_max };
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
        qFatal("cannot limit the size of written files");
}

QByteArray stateOf(const QString &folder, const QString &commands, const QByteArray &input)
{
    if (!commands.isEmpty()) {
        QProcess shell;
        shell.setWorkingDirectory(folder);
        shell.start(u"sh"_qs, { u"-ec"_qs, commands });
        shell.write(input);
        shell.closeWriteChannel();
        if (!shell.waitForFinished() || shell.exitCode() != 0)
            return "failed: " + shell.readAllStandardError();
    }
    QStringList paths;
    for (QDirIterator entry(folder,
                            QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                            QDirIterator::Subdirectories);
         entry.hasNext();)
        paths << entry.next();
    paths.sort();
    QByteArray state;
    for (const QString &path : std::as_const(paths)) {
        struct stat status = {};
        ::lstat(QFile::encodeName(path).constData(), &status);
        state += QFile::encodeName(path.mid(folder.size())) + ' '
            + QByteArray::number(status.st_mode, 8) + ' ' + QByteArray::number(status.st_uid) + ':'
            + QByteArray::number(status.st_gid) + '\n';
        // Read only regular files, as opening a named pipe would wait for a writer, and of a
        // large one only its size.
        if (!S_ISREG(status.st_mode))
            continue;
        if (QFile file(path); status.st_size > (1 << 20))
            state += "size " + QByteArray::number(qint64(status.st_size)) + '\n';
        else if (file.open(QIODevice::ReadOnly))
            state += file.readAll() + '\n';
    }
    return state;
}

void addFixtureRows(const QString &path, const QString &kind)
{
    QTest::addColumn<QStringList>("fields");
    QFile file(path);
    QVERIFY2(file.open(QIODevice::ReadOnly | QIODevice::Text), qPrintable(path));
    int rows = 0;
    for (int number = 1; !file.atEnd(); ++number) {
        QString line = QString::fromUtf8(file.readLine()).chopped(1);
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        line.replace(u"\\r"_qs, u"\r"_qs).replace(u"\\n"_qs, u"\n"_qs);
        const QStringList fields = line.split(u'\t');
        if (kind.isEmpty() || fields.constFirst() == kind) {
            QTest::addRow("line %d", number) << fields;
            ++rows;
        }
    }
    // Without rows, the test would pass without running.
    QVERIFY2(rows > 0, qPrintable(path + u": no rows of kind "_qs + kind));
}
