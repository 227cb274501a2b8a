// SPDX-License-Identifier: GPL-3.0-or-later
// The icons installed for the desktop: the same pictures as the window's own, at their nominal
// sizes.
#include <QImage>
#include <QTest>

namespace {

// Premultiplied, fully transparent pixels are equal whatever colour they carry.
QImage loadComparable(const QString &path)
{
    return QImage(QFINDTESTDATA(path)).convertToFormat(QImage::Format_ARGB32_Premultiplied);
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
            = loadComparable(u"../../dist/icons/%1x%1/org.quillmere.quillmere.png"_qs.arg(size));
        QCOMPARE(png.size(), QSize(size, size));
        if (size != 48)
            QVERIFY2(png == loadComparable(u"../../resources/book-%1.xpm"_qs.arg(size)),
                     "the pictures differ: run scripts/make-icons.sh");
    }
};

QTEST_GUILESS_MAIN(TestDesktopIcons)
#include "tst_desktopicons.moc"
