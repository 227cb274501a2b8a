// SPDX-License-Identifier: GPL-3.0-or-later
// The icons installed for the desktop: the same pictures as the window's own, at their nominal
// sizes.
#include <QImage>
#include <QTest>

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

    // Fully transparent pixels are equal whatever colour they carry; 48 px has no window art.
    void pngIsTheWindowPicture()
    {
        QFETCH(int, size);
        const auto load = [](const QString &path) {
            return QImage(QFINDTESTDATA(path)).convertToFormat(QImage::Format_ARGB32);
        };
        const QImage png = load(u"../../dist/icons/%1x%1/org.quillmere.quillmere.png"_qs.arg(size));
        QCOMPARE(png.size(), QSize(size, size));
        if (size == 48)
            return;
        const QImage picture = load(u"../../resources/book-%1.xpm"_qs.arg(size));
        QCOMPARE(picture.size(), png.size());
        for (int y = 0; y < size; ++y) {
            for (int x = 0; x < size; ++x) {
                const QRgb a = png.pixel(x, y);
                const QRgb e = picture.pixel(x, y);
                QVERIFY2(
                    a == e || (qAlpha(a) == 0 && qAlpha(e) == 0),
                    qPrintable(u"differs at (%1, %2): run scripts/make-icons.sh"_qs.arg(x).arg(y)));
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestDesktopIcons)
#include "tst_desktopicons.moc"
