// SPDX-License-Identifier: GPL-3.0-or-later
#include "imagelist.h"

namespace Quillmere {

ImageList::ImageList(QObject *parent)
    : QObject(parent)
{
}

void ImageList::add(const QIcon &icon)
{
    m_images.append(icon);
}

QIcon ImageList::image(int number) const
{
    if (number < 1 || number > m_images.size())
        return {};
    return m_images.at(number - 1);
}

QIcon loadIcon(QStringView baseName)
{
    QIcon icon;
    for (const int size : { 16, 32 })
        icon.addFile(QStringLiteral(":/icons/%1-%2.xpm").arg(baseName).arg(size),
                     QSize(size, size));
    return icon;
}

} // namespace Quillmere
