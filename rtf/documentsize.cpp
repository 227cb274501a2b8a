// SPDX-License-Identifier: GPL-3.0-or-later
#include "documentsize.h"

#include "rtfproperties.h"
#include "rtfreader.h"

#include <QCoreApplication>
#include <QFile>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <limits>
#include <string_view>

namespace Quillmere {
namespace {

constexpr qint64 OneMegabyte = qint64(1) << 20;
// What the reader promises to stay within: a fixed allowance and ten times the file.
constexpr qint64 FixedAllowance = 256 * OneMegabyte;
constexpr qint64 AllowancePerFileByte = 10;
// Measured costs of a built and shown document, rounded up: a paragraph with its block and
// layout, a table cell on top of its paragraph, a character of text, the decoded pictures.
constexpr qint64 BytesPerParagraph = 200;
constexpr qint64 BytesPerCell = 160;
constexpr qint64 BytesPerCharacter = 4;

struct Counts
{
    qint64 paragraphs = 1;
    qint64 cells = 0;
    bool pictures = false;
};

// Counts the control words that make paragraphs, cells and pictures.
Counts countRtf(QByteArrayView bytes)
{
    Counts counts;
    const char *const end = bytes.data() + bytes.size();
    for (const char *at = bytes.data(); at < end;) {
        const auto *slash = static_cast<const char *>(std::memchr(at, '\\', size_t(end - at)));
        if (!slash)
            break;
        const char *wordEnd = slash + 1;
        while (wordEnd < end && wordEnd - slash <= 9 && std::isalpha(uchar(*wordEnd)))
            ++wordEnd;
        const std::string_view word(slash + 1, size_t(wordEnd - slash - 1));
        if (word == "par" || word == "sect" || word == "page")
            ++counts.paragraphs;
        else if (word == "cell" || word == "nestcell")
            ++counts.cells;
        else if (word == "pict")
            counts.pictures = true;
        at = wordEnd;
    }
    return counts;
}

Counts countPlainText(QByteArrayView bytes)
{
    Counts counts;
    counts.paragraphs += std::count(bytes.begin(), bytes.end(), '\n');
    return counts;
}

// The soft limit on a resource of the process, the largest qint64 when there is none.
qint64 resourceLimit(int resource)
{
    rlimit limit {};
    if (getrlimit(resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return std::numeric_limits<qint64>::max();
    return qint64(limit.rlim_cur);
}

// The address space the process already takes, which counts against RLIMIT_AS.
qint64 addressSpaceInUse()
{
    QFile statm(u"/proc/self/statm"_qs);
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    return statm.readLine().split(' ').value(0).toLongLong() * sysconf(_SC_PAGESIZE);
}

} // namespace

qint64 projectedDocumentBytes(QByteArrayView bytes)
{
    const Counts counts = looksLikeRtf(bytes) ? countRtf(bytes) : countPlainText(bytes);
    return bytes.size() * BytesPerCharacter + (counts.paragraphs + counts.cells) * BytesPerParagraph
        + counts.cells * BytesPerCell + (counts.pictures ? DecodedPictureBudget : 0);
}

qint64 availableMemoryBytes()
{
    const qint64 physical = qint64(sysconf(_SC_PHYS_PAGES)) * sysconf(_SC_PAGESIZE);
    const qint64 addressSpace = resourceLimit(RLIMIT_AS);
    const qint64 addressSpaceLeft = addressSpace == std::numeric_limits<qint64>::max()
        ? addressSpace
        : addressSpace - addressSpaceInUse();
    return std::max<qint64>(0,
                            std::min({ physical > 0 ? physical : addressSpaceLeft, addressSpaceLeft,
                                       resourceLimit(RLIMIT_DATA) }));
}

std::optional<QString> whyTooLargeToOpen(QByteArrayView bytes, qint64 availableBytes)
{
    const qint64 projected = projectedDocumentBytes(bytes);
    const qint64 promised = FixedAllowance + AllowancePerFileByte * bytes.size();
    if (projected <= std::min(promised, availableBytes))
        return std::nullopt;
    const auto megabytes = [](qint64 size) { return QString::number(size / OneMegabyte); };
    if (projected > availableBytes) {
        return QCoreApplication::translate("Quillmere",
                                           "the document would need about %1 MB of memory, "
                                           "and only %2 MB are available.")
            .arg(megabytes(projected), megabytes(availableBytes));
    }
    return QCoreApplication::translate("Quillmere",
                                       "the document would need about %1 MB of memory, more "
                                       "than the %2 MB allowed for a file of its size.")
        .arg(megabytes(projected), megabytes(promised));
}

} // namespace Quillmere
