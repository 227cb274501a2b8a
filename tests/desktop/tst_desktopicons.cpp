// SPDX-License-Identifier: GPL-3.0-or-later
// The icons installed for the desktop: the same pictures as the window's own, at their nominal
// sizes.
#include <QImage>
#include <QTest>

namespace {

// Fully transparent pixels are equal whatever colour they carry.
QImage loadOpaque(const QString &path)
{
    QImage image = QImage(QFINDTESTDATA(path)).convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qAlpha(image.pixel(x, y)) ? image.pixel(x, y) : 0);
    }
    return image;
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
        const QImage png
            = loadOpaque(u"../../dist/icons/%1x%1/org.quillmere.quillmere.png"_qs.arg(size));
        QCOMPARE(png.size(), QSize(size, size));
        if (size != 48)
            QVERIFY2(png == loadOpaque(u"../../resources/book-%1.xpm"_qs.arg(size)),
                     "the pictures differ: run scripts/make-icons.sh");
    }
};

QTEST_GUILESS_MAIN(TestDesktopIcons)
#include "tst_desktopicons.moc"
