// SPDX-License-Identifier: GPL-3.0-or-later
// Pictures: PNG and JPEG data in hex or binary, decoded within a memory budget.
#include "rtfreader_p.h"

#include "rtfproperties.h"
#include "rtfunits.h"

#include <QBuffer>
#include <QImageReader>
#include <QUrl>

#include <algorithm>

namespace Quillmere::Internal {
namespace {

constexpr bool isHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

constexpr int hexDigitValue(char c)
{
    return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
}

} // namespace

void RtfReader::pictureWord(const KeywordEntry &entry, int parameter)
{
    switch (entry.keyword) {
    case Keyword::PictureType:
        m_picture.kind = entry.value;
        return;
    case Keyword::PictureGoalWidth:
        m_picture.goalWidth = std::clamp(parameter, 0, MaxTwips);
        return;
    case Keyword::PictureGoalHeight:
        m_picture.goalHeight = std::clamp(parameter, 0, MaxTwips);
        return;
    case Keyword::PictureScaleX:
        m_picture.scaleX = std::clamp(parameter, 1, 1000);
        return;
    case Keyword::PictureScaleY:
        m_picture.scaleY = std::clamp(parameter, 1, 1000);
        return;
    case Keyword::Picture:
    case Keyword::Skip:
        state().destination = Destination::Skip;
        return;
    default:
        return;
    }
}

void RtfReader::enterPictureDestination(Keyword keyword)
{
    GroupState &group = state();
    switch (keyword) {
    case Keyword::Picture:
        group.destination = Destination::Picture;
        m_picture = {};
        return;
    case Keyword::ShapePicture:
        group.shapePicture = true;
        return;
    case Keyword::NonShapePicture:
        // The same picture again for readers that lack the one before it.
        if (m_shapePictureEnded)
            group.destination = Destination::Skip;
        return;
    default:
        return;
    }
}

void RtfReader::pictureText(QByteArrayView bytes)
{
    if (m_picture.kind != PngPicture && m_picture.kind != JpegPicture)
        return;
    for (const char c : bytes) {
        if (!isHexDigit(c))
            continue;
        if (m_picture.pendingNibble < 0) {
            m_picture.pendingNibble = hexDigitValue(c);
        } else if (m_picture.data.size() < MaxPictureBytes) {
            m_picture.data.append(char(m_picture.pendingNibble * 16 + hexDigitValue(c)));
            m_picture.pendingNibble = -1;
        } else {
            m_picture.tooLarge = true;
            return;
        }
    }
}

void RtfReader::finishPicture()
{
    PictureState picture = std::move(m_picture);
    m_picture = {};
    if (picture.tooLarge || picture.data.isEmpty()
        || (picture.kind != PngPicture && picture.kind != JpegPicture))
        return;

    QBuffer buffer(&picture.data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty()
        || qint64(size.width()) * size.height() * 4 > MaxImagePixelBytes)
        return;
    const QImage image = decodeWithinBudget(reader, size);
    if (image.isNull())
        return;
    m_pictureBytes += image.sizeInBytes();

    const double width
        = (picture.goalWidth > 0 ? picture.goalWidth / TwipsPerDocumentPixel : double(size.width()))
        * picture.scaleX / 100.0;
    const double height = (picture.goalHeight > 0 ? picture.goalHeight / TwipsPerDocumentPixel
                                                  : double(size.height()))
        * picture.scaleY / 100.0;
    const QString name = u"rtf-image:%1"_qs.arg(++m_imageCount);
    m_document->addResource(QTextDocument::ImageResource, QUrl(name), image);

    QTextImageFormat format;
    format.setName(name);
    format.setWidth(width);
    format.setHeight(height);
    format.setProperty(OriginalPictureBytes, picture.data);
    format.setProperty(OriginalPictureFormat,
                       picture.kind == PngPicture ? QByteArray("png") : QByteArray("jpeg"));
    format.setProperty(OriginalPictureSize, size);
    flushRun();
    ensureContentPosition(tableLevelOf(state().paragraph));
    m_cursor.insertImage(format);
}

// The picture at most MaxDecodedPictureSide a side, or a placeholder once the pictures decoded
// so far have spent the budget; null when the picture cannot be decoded.
QImage RtfReader::decodeWithinBudget(QImageReader &reader, QSize size)
{
    if (size.width() > MaxDecodedPictureSide || size.height() > MaxDecodedPictureSide)
        size.scale(MaxDecodedPictureSide, MaxDecodedPictureSide, Qt::KeepAspectRatio);
    if (m_pictureBytes + qint64(size.width()) * size.height() * 4 > DecodedPictureBudget) {
        QImage placeholder(1, 1, QImage::Format_RGB32);
        placeholder.fill(QColor(0xE0, 0xE0, 0xE0));
        return placeholder;
    }
    reader.setScaledSize(size);
    return reader.read();
}

} // namespace Quillmere::Internal
