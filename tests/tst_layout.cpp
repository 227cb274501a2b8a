// SPDX-License-Identifier: GPL-3.0-or-later
#include "layout.h"
#include "twips.h"

#include <QTest>

using namespace Quillmere;

class TestLayout : public QObject
{
    Q_OBJECT

private slots:
    void editorRectangle_data();
    void editorRectangle();
    void twipsConvertThroughLogicalDpi_data();
    void twipsConvertThroughLogicalDpi();
};

void TestLayout::editorRectangle_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<double>("toolbarHeight");
    QTest::addColumn<QSizeF>("innerSize");
    QTest::addColumn<QRectF>("expected");

    const int normal = int(WindowState::Normal);
    const int maximized = int(WindowState::Maximized);
    // No rectangle: the editor keeps the one it had.
    QTest::addRow("minimised") << int(WindowState::Minimized) << 630.0 << QSizeF(7980, 6690)
                               << QRectF();
    QTest::addRow("initial size") << normal << 630.0 << QSizeF(7980, 6690)
                                  << QRectF(0, 630, 7980, 5619);
    QTest::addRow("wider window only widens")
        << normal << 630.0 << QSizeF(12000, 6690) << QRectF(0, 630, 12000, 5619);
    QTest::addRow("maximised") << maximized << 630.0 << QSizeF(28800, 16000)
                               << QRectF(0, 630, 28800, 16000 - 1071);
    QTest::addRow("taller toolbar moves the top")
        << normal << 1260.0 << QSizeF(7980, 6690) << QRectF(0, 1260, 7980, 6690 - 2142);
    QTest::addRow("exactly 1.7 toolbars high")
        << normal << 630.0 << QSizeF(7980, 1071) << QRectF(0, 630, 7980, 0);
    QTest::addRow("shorter than 1.7 toolbars")
        << normal << 630.0 << QSizeF(7980, 700) << QRectF(0, 630, 7980, 0);
}

void TestLayout::editorRectangle()
{
    QFETCH(int, state);
    QFETCH(double, toolbarHeight);
    QFETCH(QSizeF, innerSize);
    QFETCH(QRectF, expected);
    QCOMPARE(LayoutEditor(WindowState(state), toolbarHeight, innerSize).value_or(QRectF()),
             expected);
}

void TestLayout::twipsConvertThroughLogicalDpi_data()
{
    QTest::addColumn<double>("twips");
    QTest::addColumn<double>("dpi");
    QTest::addColumn<int>("pixels");

    QTest::addRow("toolbar at 96 dpi") << 630.0 << 96.0 << 42;
    QTest::addRow("button at 96 dpi") << 1095.0 << 96.0 << 73;
    QTest::addRow("toolbar at 144 dpi") << 630.0 << 144.0 << 63;
    QTest::addRow("inner width at 192 dpi") << 7980.0 << 192.0 << 1064;
    QTest::addRow("editor height rounds") << 5619.0 << 96.0 << 375;
}

void TestLayout::twipsConvertThroughLogicalDpi()
{
    QFETCH(double, twips);
    QFETCH(double, dpi);
    QFETCH(int, pixels);
    QCOMPARE(twipsToPixels(twips, dpi), pixels);
    QCOMPARE(pixelsToTwips(pixels, dpi), pixels * 1440.0 / dpi);
}

QTEST_APPLESS_MAIN(TestLayout)
#include "tst_layout.moc"
