// SPDX-License-Identifier: GPL-3.0-or-later
// The icons installed for the desktop: the same pictures as the window's own, at their nominal
// sizes, in the 16-colour palette with nothing blended, and a scalable drawing that stays so.
#include <QColor>
#include <QFile>
#include <QImage>
#include <QTest>
#include <QXmlStreamReader>

#include <algorithm>
#include <array>

namespace {

const QString IconName = u"org.quillmere.quillmere"_qs;

// The 16-colour palette the window's pictures are drawn in.
constexpr std::array<QRgb, 16> Palette { {
    0xff000000,
    0xff800000,
    0xff008000,
    0xff808000,
    0xff000080,
    0xff800080,
    0xff008080,
    0xffc0c0c0,
    0xff808080,
    0xffff0000,
    0xff00ff00,
    0xffffff00,
    0xff0000ff,
    0xffff00ff,
    0xff00ffff,
    0xffffffff,
} };

bool inPalette(QRgb colour)
{
    return std::find(Palette.cbegin(), Palette.cend(), colour | 0xff000000) != Palette.cend();
}

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
    void pngUsesOnlyOpaquePaletteColours_data();
    void pngUsesOnlyOpaquePaletteColours();
    void scalableIconDrawsInThePaletteWithoutBlending();
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

void TestDesktopIcons::pngUsesOnlyOpaquePaletteColours_data()
{
    addIconSizes();
}

void TestDesktopIcons::pngUsesOnlyOpaquePaletteColours()
{
    QFETCH(int, size);
    const QImage image = loadArgb(pngPath(size));
    QVERIFY(!image.isNull());
    int opaque = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            if (qAlpha(pixel) == 0)
                continue;
            QVERIFY2(qAlpha(pixel) == 255 && inPalette(pixel),
                     qPrintable(u"(%1, %2) is %3"_qs.arg(x).arg(y).arg(
                         QColor::fromRgba(pixel).name(QColor::HexArgb))));
            ++opaque;
        }
    }
    // A book, not a blank or a speck: at least a quarter of the square is drawn.
    QVERIFY(opaque >= size * size / 4);
}

void TestDesktopIcons::scalableIconDrawsInThePaletteWithoutBlending()
{
    QFile file(QFINDTESTDATA(u"../../dist/icons/scalable/%1.svg"_qs.arg(IconName)));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&file);
    int colours = 0;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QXmlStreamAttributes attributes = xml.attributes();
        if (xml.name() == u"svg") {
            QCOMPARE(attributes.value(u"viewBox"_qs), u"0 0 48 48");
            QCOMPARE(attributes.value(u"shape-rendering"_qs), u"crispEdges");
        }
        QVERIFY2(!xml.name().contains(u"Gradient") && xml.name() != u"image"
                     && xml.name() != u"filter",
                 qPrintable(xml.name().toString()));
        for (const QXmlStreamAttribute &attribute : attributes) {
            const QStringView name = attribute.name();
            QVERIFY2(name != u"style" && !name.contains(u"opacity"), qPrintable(name.toString()));
            if ((name != u"fill" && name != u"stroke") || attribute.value() == u"none")
                continue;
            const QColor colour = QColor::fromString(attribute.value());
            QVERIFY2(colour.isValid() && inPalette(colour.rgb()),
                     qPrintable(attribute.value().toString()));
            ++colours;
        }
    }
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
    QVERIFY(colours > 0);
}

QTEST_GUILESS_MAIN(TestDesktopIcons)
#include "tst_desktopicons.moc"
