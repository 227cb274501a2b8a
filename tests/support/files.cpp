// SPDX-License-Identifier: GPL-3.0-or-later
#include "files.h"

#include <QDir>
#include <QFile>
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

QStringList entriesOf(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                                  QDir::Name);
}

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void createFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
    QCOMPARE(file.write(content), content.size());
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
