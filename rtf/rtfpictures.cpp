// SPDX-License-Identifier: GPL-3.0-or-later
// Pictures of every kind keep their data and the words that describe it, to be saved as they
// came. PNG, JPEG and device-independent bitmaps are decoded within a memory budget; the others
// show as a framed box naming their kind, at the size the file gives them.
#include "rtfreader_p.h"

#include "rtfproperties.h"
#include "rtfunits.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QImageReader>
#include <QPainter>
#include <QUrl>
#include <QtEndian>
#include <QtMath>

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

// Enough for every word a picture is described by, several times over.
constexpr qsizetype MaxPictureKeywords = 1024;
// The size of a picture that states none: an inch square.
constexpr double DefaultPictureSide = 96;

constexpr double PixelsPerHimetric = 96 / 2540.0;
constexpr double PixelsPerPoint = 96 / 72.0;

struct PictureKindInfo
{
    const char *format;
    // What the placeholder of an undecoded picture of the kind says.
    const char *label;
    // Document pixels per unit of `\picw` and `\pich`: metafiles give their extent in
    // hundredths of a millimetre, QuickDraw in points, bitmaps in pixels.
    double pixelsPerUnit;
};

// By PictureKind.
constexpr PictureKindInfo PictureKinds[] = {
    { "unknown", "?", 1 },
    { "png", "PNG", 1 },
    { "jpeg", "JPEG", 1 },
    { "emf", "EMF", PixelsPerHimetric },
    { "wmf", "WMF", PixelsPerHimetric },
    { "pict", "PICT", PixelsPerPoint },
    { "os2", "OS/2", PixelsPerHimetric },
    { "dib", "DIB", 1 },
    { "bitmap", "BMP", 1 },
};

const PictureKindInfo &kindInfo(int kind)
{
    return PictureKinds[kind >= 0 && kind < int(std::size(PictureKinds)) ? kind : 0];
}

// A device-independent bitmap with the file header that makes it a BMP file, or nothing when
// its header is too short to say where the pixels start.
QByteArray bitmapFile(QByteArrayView dib)
{
    constexpr qsizetype FileHeaderSize = 14;
    constexpr quint32 CoreHeaderSize = 12;
    constexpr quint32 InfoHeaderSize = 40;
    if (dib.size() < qsizetype(CoreHeaderSize))
        return {};
    const auto *data = reinterpret_cast<const uchar *>(dib.data());
    const quint32 headerSize = qFromLittleEndian<quint32>(data);
    if (headerSize < CoreHeaderSize || headerSize > quint32(dib.size()))
        return {};
    qint64 paletteBytes = 0;
    if (headerSize == CoreHeaderSize) {
        const int bits = qFromLittleEndian<quint16>(data + 10);
        paletteBytes = bits <= 8 ? 3 << bits : 0;
    } else if (headerSize >= InfoHeaderSize) {
        const int bits = qFromLittleEndian<quint16>(data + 14);
        const quint32 compression = qFromLittleEndian<quint32>(data + 16);
        const quint32 colours = qFromLittleEndian<quint32>(data + 32);
        paletteBytes = 4 * qint64(colours ? colours : bits <= 8 ? 1u << bits : 0);
        // Bit-field masks follow the basic header only; later headers hold them.
        constexpr quint32 BitFields = 3;
        constexpr quint32 AlphaBitFields = 6;
        if (headerSize == InfoHeaderSize)
            paletteBytes += compression == BitFields ? 12 : compression == AlphaBitFields ? 16 : 0;
    } else {
        return {};
    }
    const qint64 pixelsAt
        = FileHeaderSize + headerSize + std::min<qint64>(paletteBytes, dib.size());
    QByteArray file(FileHeaderSize, Qt::Uninitialized);
    auto *header = reinterpret_cast<uchar *>(file.data());
    header[0] = 'B';
    header[1] = 'M';
    qToLittleEndian<quint32>(quint32(FileHeaderSize + dib.size()), header + 2);
    qToLittleEndian<quint32>(0, header + 6);
    qToLittleEndian<quint32>(quint32(pixelsAt), header + 10);
    file.append(dib.data(), dib.size());
    return file;
}

// A light box with a frame and, where it fits, the name of the picture's kind.
QImage placeholderPicture(QSize size, const char *label)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(QColor(0xF4, 0xF4, 0xF4));
    QPainter painter(&image);
    painter.setPen(QColor(0x80, 0x80, 0x80));
    painter.drawRect(image.rect().adjusted(0, 0, -1, -1));
    // Text needs the fonts of a GUI application; a tool that reads RTF without one gets the box.
    constexpr int SmallestText = 8;
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance())
        && size.height() >= SmallestText + 2 && size.width() >= 2 * SmallestText) {
        QFont font;
        font.setPixelSize(
            std::clamp(std::min(size.height() / 3, size.width() / 4), SmallestText, 48));
        painter.setFont(font);
        painter.drawText(image.rect(), Qt::AlignCenter, QLatin1StringView(label));
    }
    return image;
}

} // namespace

void RtfReader::pictureWord(const KeywordEntry &entry, const RtfToken &token)
{
    const int parameter = token.parameter;
    switch (entry.keyword) {
    case Keyword::PictureType:
        m_picture.kind = entry.value;
        break;
    case Keyword::PictureWidth:
        m_picture.width = std::max(parameter, 0);
        break;
    case Keyword::PictureHeight:
        m_picture.height = std::max(parameter, 0);
        break;
    case Keyword::PictureGoalWidth:
        m_picture.goalWidth = std::clamp(parameter, 0, MaxTwips);
        break;
    case Keyword::PictureGoalHeight:
        m_picture.goalHeight = std::clamp(parameter, 0, MaxTwips);
        break;
    case Keyword::PictureScaleX:
        m_picture.scaleX = std::clamp(parameter, 1, 1000);
        break;
    case Keyword::PictureScaleY:
        m_picture.scaleY = std::clamp(parameter, 1, 1000);
        break;
    case Keyword::PictureDetail:
        break;
    case Keyword::Picture:
    case Keyword::Skip:
        state().destination = Destination::Skip;
        return;
    default:
        return;
    }
    QByteArray &keywords = m_picture.keywords;
    if (keywords.size() + qsizetype(entry.word.size()) + 12 > MaxPictureKeywords)
        return;
    keywords += '\\';
    keywords.append(entry.word.data(), qsizetype(entry.word.size()));
    if (token.hasParameter)
        keywords += QByteArray::number(parameter);
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

void RtfReader::pictureData(QByteArrayView data)
{
    if (m_picture.data.size() + data.size() > MaxPictureBytes)
        m_picture.tooLarge = true;
    else
        m_picture.data.append(data);
}

void RtfReader::finishPicture()
{
    PictureState picture = std::move(m_picture);
    m_picture = {};
    if (picture.tooLarge || picture.data.isEmpty())
        return;

    QImage image;
    QSize size;
    const QByteArray decodable = picture.kind == PngPicture || picture.kind == JpegPicture
        ? picture.data
        : picture.kind == DibPicture ? bitmapFile(picture.data)
                                     : QByteArray();
    if (!decodable.isEmpty()) {
        QBuffer buffer;
        buffer.setData(decodable);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer);
        size = reader.size();
        if (size.isValid() && !size.isEmpty()
            && qint64(size.width()) * size.height() * 4 <= MaxImagePixelBytes)
            image = decodeWithinBudget(reader, size);
    }

    // The size the picture is shown at: the one it is meant to have, else its own.
    QSizeF shown;
    if (!image.isNull()) {
        shown = QSizeF(size);
    } else {
        const double perUnit = kindInfo(picture.kind).pixelsPerUnit;
        const auto side = [&](int extent) {
            return extent > 0 ? std::min(extent * perUnit, MaxTwips / TwipsPerDocumentPixel)
                              : DefaultPictureSide;
        };
        shown = QSizeF(side(picture.width), side(picture.height));
    }
    if (picture.goalWidth > 0)
        shown.setWidth(picture.goalWidth / TwipsPerDocumentPixel);
    if (picture.goalHeight > 0)
        shown.setHeight(picture.goalHeight / TwipsPerDocumentPixel);
    shown = QSizeF(shown.width() * picture.scaleX / 100.0, shown.height() * picture.scaleY / 100.0);

    QString name;
    if (image.isNull()) {
        name = placeholderName(picture, shown);
    } else {
        m_pictureBytes += image.sizeInBytes();
        name = u"rtf-image:%1"_qs.arg(++m_imageCount);
        m_document->addResource(QTextDocument::ImageResource, QUrl(name), image);
    }

    QTextImageFormat format;
    format.setName(name);
    format.setWidth(shown.width());
    format.setHeight(shown.height());
    format.setProperty(OriginalPictureBytes, picture.data);
    format.setProperty(OriginalPictureFormat, QByteArray(kindInfo(picture.kind).format));
    if (!image.isNull())
        format.setProperty(OriginalPictureSize, size);
    format.setProperty(OriginalPictureKeywords, picture.keywords);
    flushRun();
    ensureContentPosition(tableLevelOf(state().paragraph));
    m_cursor.insertImage(format);
}

// The resource of the box that stands for a picture that is not decoded, made once for each
// kind and size.
QString RtfReader::placeholderName(const PictureState &picture, QSizeF shown)
{
    const char *label = kindInfo(picture.kind).label;
    QSize size(std::max(1, qCeil(shown.width())), std::max(1, qCeil(shown.height())));
    if (size.width() > MaxDecodedPictureSide || size.height() > MaxDecodedPictureSide) {
        size.scale(MaxDecodedPictureSide, MaxDecodedPictureSide, Qt::KeepAspectRatio);
        size = size.expandedTo(QSize(1, 1));
    }
    const QString key
        = u"%1 %2x%3"_qs.arg(QLatin1StringView(label)).arg(size.width()).arg(size.height());
    if (const auto found = m_placeholders.constFind(key); found != m_placeholders.cend())
        return found.value();

    QImage image;
    const qint64 bytes = qint64(size.width()) * size.height() * 4;
    if (m_pictureBytes + bytes > DecodedPictureBudget) {
        image = QImage(1, 1, QImage::Format_RGB32);
        image.fill(QColor(0xE0, 0xE0, 0xE0));
    } else {
        image = placeholderPicture(size, label);
        m_pictureBytes += image.sizeInBytes();
    }
    const QString name = u"rtf-image:%1"_qs.arg(++m_imageCount);
    m_document->addResource(QTextDocument::ImageResource, QUrl(name), image);
    m_placeholders.insert(key, name);
    return name;
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
