// SPDX-License-Identifier: GPL-3.0-or-later
#include "plaintext.h"

#include <QStringDecoder>
#include <QTextDocument>

namespace Quillmere {
namespace {

struct ByteOrderMark
{
    const char *bytes;
    qsizetype size;
    QStringConverter::Encoding encoding;
};

// The byte order marks that decide a file's encoding on their own.
constexpr ByteOrderMark ByteOrderMarks[] = {
    { "\xEF\xBB\xBF", 3, QStringConverter::Utf8 },
    { "\xFF\xFE", 2, QStringConverter::Utf16LE },
    { "\xFE\xFF", 2, QStringConverter::Utf16BE },
};

QString decodeWithoutMark(QByteArrayView bytes)
{
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = utf8(bytes);
    if (!utf8.hasError())
        return text;
    QStringDecoder windows1252("windows-1252", QStringConverter::Flag::Stateless);
    if (!windows1252.isValid())
        return QString::fromLatin1(bytes);
    return windows1252(bytes);
}

QString withLineFeeds(QString text)
{
    if (!text.contains(u'\r'))
        return text;
    QString result;
    result.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c != u'\r')
            result.append(c);
        else if (i + 1 >= text.size() || text.at(i + 1) != u'\n')
            result.append(u'\n');
    }
    return result;
}

} // namespace

QString decodePlainText(QByteArrayView bytes)
{
    for (const ByteOrderMark &mark : ByteOrderMarks) {
        if (bytes.startsWith(QByteArrayView(mark.bytes, mark.size))) {
            QStringDecoder decoder(mark.encoding, QStringConverter::Flag::Stateless);
            return withLineFeeds(decoder(bytes.sliced(mark.size)));
        }
    }
    return withLineFeeds(decodeWithoutMark(bytes));
}

std::unique_ptr<QTextDocument> readPlainText(QByteArrayView bytes)
{
    auto document = std::make_unique<QTextDocument>();
    document->setUndoRedoEnabled(false);
    document->setPlainText(decodePlainText(bytes));
    document->setUndoRedoEnabled(true);
    return document;
}

} // namespace Quillmere
