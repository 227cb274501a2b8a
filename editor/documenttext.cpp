// SPDX-License-Identifier: GPL-3.0-or-later
#include "documenttext.h"

#include "rtfproperties.h"

#include <QTextBlock>
#include <QTextDocument>

namespace Quillmere {
namespace {

constexpr bool isQtBreak(char16_t unit)
{
    return unit == 0x2029 || unit == 0x2028 || unit == 0xFDD0 || unit == 0xFDD1;
}

constexpr char16_t EndOfFrame = 0xFDD1;
constexpr char16_t StartOfFrame = 0xFDD0;

} // namespace

QString joinTableParts(const QTextDocument &document, const QString &qtText, int from)
{
    // A table's end marker starts the paragraph after it, and the next table's start marker
    // ends that paragraph: between two parts of one table, the second marker goes.
    static constexpr char16_t partsMeet[] = { EndOfFrame, StartOfFrame };
    const QStringView text(qtText);
    QList<qsizetype> seams;
    for (qsizetype index = text.indexOf(QStringView(partsMeet, 2)); index >= 0;
         index = text.indexOf(QStringView(partsMeet, 2), index + 2)) {
        const QTextBlock between = document.findBlock(from + int(index) + 1);
        if (between.blockFormat().boolProperty(TableContinuation))
            seams.append(index + 1);
    }
    if (seams.isEmpty())
        return qtText;
    QString joined;
    joined.reserve(text.size() - seams.size());
    qsizetype start = 0;
    for (const qsizetype seam : seams) {
        joined += text.sliced(start, seam - start);
        start = seam + 1;
    }
    joined += text.sliced(start);
    return joined;
}

QString toDocumentText(const QString &qtText)
{
    const auto *source = reinterpret_cast<const char16_t *>(qtText.constData());
    const qsizetype count = qtText.size();
    qsizetype breaks = 0;
    for (qsizetype i = 0; i < count; ++i)
        breaks += isQtBreak(source[i]);
    if (breaks == 0)
        return qtText;

    QString result(count + breaks, Qt::Uninitialized);
    auto *target = reinterpret_cast<char16_t *>(result.data());
    for (qsizetype i = 0; i < count; ++i) {
        const char16_t unit = source[i];
        if (isQtBreak(unit)) {
            *target++ = u'\r';
            *target++ = u'\n';
        } else {
            *target++ = unit;
        }
    }
    return result;
}

QString toClipboardText(const QString &documentText)
{
    return QString(documentText).replace(u"\r\n"_qs, u"\n"_qs);
}

} // namespace Quillmere
