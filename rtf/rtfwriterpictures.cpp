// SPDX-License-Identifier: GPL-3.0-or-later
#include "rtfwriterpictures.h"

#include "rtfproperties.h"

#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#include <QPixmap>
#include <QTextDocument>
#include <QTextFormat>
#include <QUrl>

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

} // namespace Quillmere::Internal
