// SPDX-License-Identifier: GPL-3.0-or-later
#include "documenttext.h"

namespace Quillmere {
namespace {

constexpr bool isQtBreak(char16_t unit)
{
    return unit == 0x2029 || unit == 0x2028 || unit == 0xFDD0 || unit == 0xFDD1;
}

} // namespace

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
