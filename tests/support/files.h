// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QStringList>

#include <csignal>
#include <sys/resource.h>

// While it lives, files this process writes stop at `bytes`, as on a full disk: a write comes
// back short or fails with EFBIG instead of raising the signal that kills the process. It holds
// for root too, unlike a read-only folder. With `ignoreSignal` false, the signal is left to
// whatever the code under test made of it.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes, bool ignoreSignal = true);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    rlimit m_previous {};
    sighandler_t m_previousHandler = SIG_DFL;
};

// Files and folders in `folder`, hidden ones included, so that a stray temporary file shows.
QStringList entriesOf(const QString &folder);
// A file's bytes, empty when it cannot be read.
QByteArray contentOf(const QString &path);
// Writes a file for a test to find.
void createFile(const QString &path, const QByteArray &content = "content");

// Adds the rows of fixture file `path`, one a line, as the column "fields": the fields of the
// line, split by tabs, the first naming the kind of case. With `kind`, only rows of that kind.
// In a field, \r and \n stand for CR and LF. Lines starting with # are notes.
void addFixtureRows(const QString &path, const QString &kind = {});
