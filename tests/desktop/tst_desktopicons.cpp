// SPDX-License-Identifier: GPL-3.0-or-later
// The icons installed for the desktop: the same pictures as the window's own, at their nominal
// sizes.
#include <QImage>
#include <QTest>

namespace {

const QString IconName = u"org.quillmere.quillmere"_qs;

QString pngPath(int size)
{
    return QFINDTESTDATA(u"../../dist/icons/%1x%1/%2.png"_qs.arg(size).arg(IconName));
}

QImage loadArgb(const QString &path)
{
    return QImage(path).convertToFormat(QImage::Format_ARGB32);
}

// The first pixel where the two pictures differ, or an empty string; fully transparent pixels
// are equal whatever colour they carry.
QString firstDifference(const QImage &actual, const QImage &expected)
{
    if (actual.size() != expected.size())
        return u"size %1x%2"_qs.arg(actual.width()).arg(actual.height());
    for (int y = 0; y < actual.height(); ++y) {
        for (int x = 0; x < actual.width(); ++x) {
            const QRgb a = actual.pixel(x, y);
            const QRgb e = expected.pixel(x, y);
            if (a != e && (qAlpha(a) != 0 || qAlpha(e) != 0))
                return u"pixel (%1, %2)"_qs.arg(x).arg(y);
        }
    }
    return {};
}

void addIconSizes()
{
    QTest::addColumn<int>("size");
    for (const int size : { 16, 32, 48 })
        QTest::addRow("%d x %d", size, size) << size;
}

} // namespace

class TestDesktopIcons : public QObject
{
    Q_OBJECT

private slots:
    void pngHasNominalSize_data();
    void pngHasNominalSize();
    void pngIsTheWindowPicture_data();
    void pngIsTheWindowPicture();
};

void TestDesktopIcons::pngHasNominalSize_data()
{
    addIconSizes();
}

void TestDesktopIcons::pngHasNominalSize()
{
    QFETCH(int, size);
    const QImage image(pngPath(size));
    QVERIFY2(!image.isNull(), qPrintable(pngPath(size)));
    QCOMPARE(image.size(), QSize(size, size));
}

void TestDesktopIcons::pngIsTheWindowPicture_data()
{
    QTest::addColumn<int>("size");
    QTest::addRow("16 px icon is book-16") << 16;
    QTest::addRow("32 px icon is book-32") << 32;
}

void TestDesktopIcons::pngIsTheWindowPicture()
{
    QFETCH(int, size);
    const QImage picture = loadArgb(QFINDTESTDATA(u"../../resources/book-%1.xpm"_qs.arg(size)));
    QVERIFY(!picture.isNull());
    const QString difference = firstDifference(loadArgb(pngPath(size)), picture);
    QVERIFY2(difference.isEmpty(),
             qPrintable(u"differs at %1: run scripts/make-icons.sh"_qs.arg(difference)));
}

QTEST_GUILESS_MAIN(TestDesktopIcons)
#include "tst_desktopicons.moc"
