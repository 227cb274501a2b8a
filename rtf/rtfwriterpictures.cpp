// SPDX-License-Identifier: GPL-3.0-or-later
// Pictures: the bytes each is saved as, and the \pict group that holds them.
#include "rtfwriterpictures.h"

#include "rtfproperties.h"
#include "rtfwriter_p.h"

#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#include <QPixmap>
#include <QTextDocument>
#include <QTextFormat>
#include <QUrl>

#include <cctype>

namespace Quillmere::Internal {

std::optional<EncodedPicture> originalPicture(const QTextImageFormat &format)
{
    const QByteArray original = format.property(OriginalPictureBytes).toByteArray();
    if (original.isEmpty())
        return std::nullopt;
    return EncodedPicture { original, format.property(OriginalPictureSize).toSize(),
                            format.property(OriginalPictureKeywords).toByteArray() };
}

std::optional<EncodedPicture> encodeImageResource(const QTextDocument &document,
                                                  const QString &name)
{
    const QVariant resource = document.resource(QTextDocument::ImageResource, QUrl(name));
    QImage image;
    if (resource.typeId() == QMetaType::QImage)
        image = resource.value<QImage>();
    else if (resource.typeId() == QMetaType::QPixmap)
        image = resource.value<QPixmap>().toImage();
    else if (resource.typeId() == QMetaType::QByteArray)
        image = QImage::fromData(resource.toByteArray());
    if (image.isNull())
        return std::nullopt;
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    if (!writer.write(image) || png.isEmpty())
        return std::nullopt;
    return EncodedPicture { png, image.size(), std::nullopt };
}

// A picture read from a file goes back as the file held it; any other is encoded as PNG.
std::optional<EncodedPicture> RtfWriter::pictureOf(const QTextImageFormat &format)
{
    if (auto original = originalPicture(format))
        return original;
    const QString name = format.name();
    const auto found = m_images.constFind(name);
    if (found != m_images.constEnd())
        return found.value();
    return *m_images.insert(name, encodeImageResource(m_document, name));
}

void RtfWriter::writeImage(const QTextImageFormat &format)
{
    const std::optional<EncodedPicture> image = pictureOf(format);
    if (!image)
        return;
    if (image->keywords) {
        writeOriginalPicture(*image);
        return;
    }
    // Qt keeps the aspect ratio when only one side is given.
    QSizeF shown = image->size;
    if (format.width() > 0 && format.height() > 0)
        shown = QSizeF(format.width(), format.height());
    else if (format.width() > 0)
        shown = QSizeF(format.width(), format.width() * image->size.height() / image->size.width());
    else if (format.height() > 0)
        shown
            = QSizeF(format.height() * image->size.width() / image->size.height(), format.height());
    m_out.open();
    m_out.word("\\pict");
    m_out.word("\\pngblip");
    m_out.word("\\picw", image->size.width());
    m_out.word("\\pich", image->size.height());
    m_out.word("\\picwgoal", toTwips(shown.width()));
    m_out.word("\\pichgoal", toTwips(shown.height()));
    m_out.hex(image->bytes);
    m_out.close();
}

void RtfWriter::writeOriginalPicture(const EncodedPicture &picture)
{
    m_out.open();
    m_out.word("\\pict");
    for (const QByteArray &keyword : picture.keywords->split('\\')) {
        // Word by word, as the writer's own words are, so that a file saved again breaks
        // its lines where it did.
        qsizetype nameEnd = 0;
        while (nameEnd < keyword.size() && std::isalpha(uchar(keyword[nameEnd])))
            ++nameEnd;
        if (nameEnd == 0)
            continue;
        const QByteArray name = '\\' + keyword.first(nameEnd);
        if (nameEnd < keyword.size())
            m_out.word(name.constData(), keyword.sliced(nameEnd).toLongLong());
        else
            m_out.word(name.constData());
    }
    m_out.hex(picture.bytes);
    m_out.close();
}

} // namespace Quillmere::Internal
