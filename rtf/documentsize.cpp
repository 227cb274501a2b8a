// SPDX-License-Identifier: GPL-3.0-or-later
#include "documentsize.h"

#include "rtfproperties.h"
#include "rtfreader.h"
#include "rtftokenizer.h"

#include <QCoreApplication>
#include <QFile>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <limits>

namespace Quillmere {
namespace {

constexpr qint64 OneMegabyte = qint64(1) << 20;
// What the reader promises to stay within: a fixed allowance and ten times the file.
constexpr qint64 FixedAllowance = 256 * OneMegabyte;
constexpr qint64 AllowancePerFileByte = 10;
// Measured costs of a built and shown document, rounded up: a paragraph with its block and
// layout, a table cell on top of its paragraph, a character of text, a note kept aside with its
// mark, the decoded pictures. Qt holds the glyphs of a laid-out paragraph, so the longest one
// costs as much again for each of its characters.
constexpr qint64 BytesPerParagraph = 200;
constexpr qint64 BytesPerCell = 160;
constexpr qint64 BytesPerCharacter = 4;
constexpr qint64 BytesPerLaidOutCharacter = 48;
constexpr qint64 BytesPerNote = 1024;

struct Counts
{
    qint64 paragraphs = 1;
    qint64 cells = 0;
    qint64 notes = 0;
    qint64 longestParagraph = 0;
    bool pictures = false;
};

// Counts the control words that make paragraphs, cells, notes and pictures, and the longest
// run of text between paragraph ends, outside pictures, binary data and groups readers may skip.
Counts countRtf(QByteArrayView bytes)
{
    Counts counts;
    qint64 paragraph = 0;
    int depth = 0;
    int skippedDepth = -1;
    const auto addText = [&](qsizetype length) {
        if (skippedDepth < 0) {
            paragraph += length;
            counts.longestParagraph = std::max(counts.longestParagraph, paragraph);
        }
    };
    RtfTokenizer tokenizer(bytes);
    for (RtfToken token = tokenizer.next(); token.kind != RtfToken::Kind::End;
         token = tokenizer.next()) {
        switch (token.kind) {
        case RtfToken::Kind::GroupStart:
            ++depth;
            break;
        case RtfToken::Kind::GroupEnd:
            if (depth-- == skippedDepth)
                skippedDepth = -1;
            break;
        case RtfToken::Kind::Text:
            addText(token.bytes.size());
            break;
        case RtfToken::Kind::HexByte:
            addText(1);
            break;
        case RtfToken::Kind::ControlSymbol:
            if (token.parameter == '*' && skippedDepth < 0)
                skippedDepth = depth;
            break;
        case RtfToken::Kind::ControlWord: {
            const QByteArrayView word = token.bytes;
            if (word == "par" || word == "sect" || word == "page") {
                ++counts.paragraphs;
                paragraph = 0;
            } else if (word == "cell" || word == "nestcell" || word == "row" || word == "nestrow") {
                counts.cells += word.endsWith("cell") ? 1 : 0;
                paragraph = 0;
            } else if (word == "footnote" || word == "annotation") {
                ++counts.notes;
            } else if (word == "pict") {
                counts.pictures = true;
                if (skippedDepth < 0)
                    skippedDepth = depth;
            }
            break;
        }
        default:
            break;
        }
    }
    return counts;
}

Counts countPlainText(QByteArrayView bytes)
{
    Counts counts;
    const char *const end = bytes.data() + bytes.size();
    for (const char *at = bytes.data(); at < end;) {
        const auto *lineEnd = static_cast<const char *>(std::memchr(at, '\n', size_t(end - at)));
        const char *const next = lineEnd ? lineEnd + 1 : end;
        counts.longestParagraph = std::max(counts.longestParagraph, qint64(next - at));
        counts.paragraphs += lineEnd ? 1 : 0;
        at = next;
    }
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
        + counts.cells * BytesPerCell + counts.notes * BytesPerNote
        + counts.longestParagraph * BytesPerLaidOutCharacter
        + (counts.pictures ? DecodedPictureBudget : 0);
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
