// SPDX-License-Identifier: GPL-3.0-or-later
#include "files.h"

#include <QFile>
#include <QProcess>
#include <QTest>

FileSizeLimit::FileSizeLimit(rlim_t bytes, bool ignoreSignal)
{
    getrlimit(RLIMIT_FSIZE, &m_previous);
    m_previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    if (!ignoreSignal)
        std::signal(SIGXFSZ, m_previousHandler);
    const rlimit limit { bytes, m_previous.rlim_max };
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
        qFatal("cannot limit the size of written files");
}

FileSizeLimit::~FileSizeLimit()
{
    setrlimit(RLIMIT_FSIZE, &m_previous);
    std::signal(SIGXFSZ, m_previousHandler);
}

QByteArray stateOf(const QString &folder, const QString &commands, const QByteArray &input)
{
    QProcess shell;
    shell.setWorkingDirectory(folder);
    shell.start(u"sh"_qs,
                { u"-ec"_qs,
                  commands
                      + u"\nfind . -mindepth 1 -printf '%p %M %U:%G\\n' | sort\n"
                        "find . -type f | sort | xargs -r tail -v -n +1"_qs });
    shell.write(input);
    shell.closeWriteChannel();
    shell.waitForFinished();
    return shell.exitCode() == 0 ? shell.readAllStandardOutput()
                                 : "failed: " + shell.readAllStandardError();
}

void addFixtureRows(const QString &path, const QString &kind)
{
    QTest::addColumn<QStringList>("fields");
    QFile file(path);
    QVERIFY2(file.open(QIODevice::ReadOnly | QIODevice::Text), qPrintable(path));
    for (int number = 1; !file.atEnd(); ++number) {
        QString line = QString::fromUtf8(file.readLine()).chopped(1);
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        line.replace(u"\\r"_qs, u"\r"_qs).replace(u"\\n"_qs, u"\n"_qs);
        const QStringList fields = line.split(u'\t');
        if (kind.isEmpty() || fields.constFirst() == kind)
            QTest::addRow("line %d", number) << fields;
    }
}
