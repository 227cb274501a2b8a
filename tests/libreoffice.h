// SPDX-License-Identifier: GPL-3.0-or-later
// LibreOffice as a peer that reads our files. It takes seconds to start, so one run converts all
// the files a suite needs.
#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace LibreOffice {

struct Conversion
{
    // Each converted file's contents, by its name without the extension.
    QHash<QString, QString> files;
    // Why nothing was converted, for the tests to skip with; empty when LibreOffice ran.
    QString skipReason;
};

// Converts the files to the format ("html", "txt:Text (encoded):UTF8") into the folder, with a
// LibreOffice profile kept beside the test, which later runs start from. The purpose completes
// "install LibreOffice to ..." where it is missing.
inline Conversion convert(const QStringList &paths, const QString &format, const QString &folder,
                          const QString &purpose)
{
    Conversion conversion;
    const QString soffice = QStandardPaths::findExecutable(u"soffice"_qs);
    if (soffice.isEmpty()) {
        conversion.skipReason = u"LibreOffice (soffice) is not installed: install "
                                "libreoffice-writer-nogui to %1"_qs.arg(purpose);
        return conversion;
    }
    const QString profile = QCoreApplication::applicationFilePath() + u"-lo-profile"_qs;
    QProcess process;
    process.start(
        soffice,
        QStringList { u"-env:UserInstallation=%1"_qs.arg(QUrl::fromLocalFile(profile).toString()),
                      u"--headless"_qs, u"--convert-to"_qs, format, u"--outdir"_qs, folder }
            + paths);
    if (!process.waitForFinished(600000)) {
        process.kill();
        conversion.skipReason = u"LibreOffice did not finish converting within ten minutes"_qs;
        return conversion;
    }
    const QDir converted(folder);
    const QString extension = u"*."_qs + format.section(u':', 0, 0);
    for (const QString &name : converted.entryList({ extension }, QDir::Files)) {
        QFile file(converted.filePath(name));
        if (file.open(QIODevice::ReadOnly))
            conversion.files.insert(QFileInfo(name).completeBaseName(),
                                    QString::fromUtf8(file.readAll()));
    }
    return conversion;
}

} // namespace LibreOffice
