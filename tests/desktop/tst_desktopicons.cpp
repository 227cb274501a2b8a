// SPDX-License-Identifier: GPL-3.0-or-later
// The window's pictures: the icons installed for the desktop are the same pictures at their
// nominal sizes, and on a screen of device-pixel ratio 2 the window draws each from its 32 x 32
// art rather than an enlarged 16 x 16 one.
#include "imagelist.h"
#include "toolbar.h"

#include <QTest>

using namespace Quillmere;

namespace {

// Premultiplied, fully transparent pixels are equal whatever colour they carry.
QImage comparable(const QImage &image)
{
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

} // namespace

class TestDesktopIcons : public QObject
{
    Q_OBJECT

private slots:
    void pngIsTheWindowPicture_data()
    {
        QTest::addColumn<int>("size");
        for (const int size : { 16, 32, 48 })
            QTest::addRow("%d x %d", size, size) << size;
    }

    // 48 px has no window art.
    void pngIsTheWindowPicture()
    {
        QFETCH(int, size);
        const QImage png(
            QFINDTESTDATA(u"../../dist/icons/%1x%1/org.quillmere.quillmere.png"_qs.arg(size)));
        QCOMPARE(png.size(), QSize(size, size));
        if (size != 48)
            QVERIFY2(comparable(png) == comparable(QImage(u":/icons/book-%1.xpm"_qs.arg(size))),
                     "the pictures differ: run scripts/make-icons.sh");
    }

    void ratioTwoDrawsLargeArt()
    {
        QList<QStringView> names(ToolbarImages.begin(), ToolbarImages.end());
        names.append(u"book");
        for (const QStringView name : names) {
            const QImage drawn = loadIcon(name).pixmap(QSize(16, 16), 2.0).toImage();
            QVERIFY2(comparable(drawn) == comparable(QImage(u":/icons/%1-32.xpm"_qs.arg(name))),
                     qPrintable(name.toString()));
        }
    }
};

QTEST_MAIN(TestDesktopIcons)
#include "tst_desktopicons.moc"
