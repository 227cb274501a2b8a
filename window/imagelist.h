// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>
#include <QList>
#include <QObject>
#include <QSize>

namespace Quillmere {

// The toolbar's pictures, numbered from 1. Each icon carries a 16 x 16 and a 32 x 32 picture;
// the toolbar draws the 16 x 16 one (the larger one serves high-density screens).
class ImageList : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ImageList)

public:
    explicit ImageList(QObject *parent = nullptr);

    void add(const QIcon &icon);
    // The icon numbered `number`, or a null icon when there is none.
    QIcon image(int number) const;
    qsizetype count() const { return m_images.size(); }
    QSize imageSize() const { return QSize(16, 16); }

private:
    QList<QIcon> m_images;
};

// Loads the 16 x 16 and 32 x 32 pictures of the resource icon `baseName`.
QIcon loadIcon(QStringView baseName);

} // namespace Quillmere
