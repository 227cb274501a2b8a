// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <sys/resource.h>

// While it lives, files this process writes stop at `bytes`, as on a full disk: with SIGXFSZ
// ignored, a write comes back short or fails with EFBIG. It holds for root too, unlike a
// read-only folder.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes);
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &m_previous); }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    rlimit m_previous {};
};

// Runs shell commands in `folder`, feeding them `input`, then lists every entry under it, sorted,
// with its type and mode, owner and group, and a file's content: all that a file command may
// change there. "failed: " and the reason when the commands fail.
QByteArray stateOf(const QString &folder, const QString &commands = {},
                   const QByteArray &input = {});

// Adds the rows of fixture file `path`, one a line, as the column "fields": the fields of the
// line, split by tabs, the first naming the kind of case. With `kind`, only rows of that kind.
// In a field, \r and \n stand for CR and LF. Lines starting with # are notes.
void addFixtureRows(const QString &path, const QString &kind = {});
