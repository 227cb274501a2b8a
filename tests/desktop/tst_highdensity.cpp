// SPDX-License-Identifier: GPL-3.0-or-later
// The window on a screen of device-pixel ratio 2 (run with QT_SCALE_FACTOR=2): every picture is
// drawn pixel for pixel from its 32 x 32 art rather than an enlarged 16 x 16 one.
#include "mainwindow.h"
#include "toolbar.h"

#include <QAction>
#include <QTest>
#include <QToolBar>

using namespace Quillmere;

namespace {

QImage picture(QStringView name, int size)
{
    return QImage(u":/icons/%1-%2.xpm"_qs.arg(name).arg(size))
        .convertToFormat(QImage::Format_ARGB32);
}

// Whether `art` appears pixel for pixel in `image` (its transparent pixels match anything).
bool contains(const QImage &image, const QImage &art)
{
    for (int top = 0; top + art.height() <= image.height(); ++top) {
        for (int left = 0; left + art.width() <= image.width(); ++left) {
            bool same = true;
            for (int y = 0; same && y < art.height(); ++y) {
                for (int x = 0; same && x < art.width(); ++x)
                    same = qAlpha(art.pixel(x, y)) == 0
                        || image.pixel(left + x, top + y) == art.pixel(x, y);
            }
            if (same)
                return true;
        }
    }
    return false;
}

} // namespace

class TestHighDensity : public QObject
{
    Q_OBJECT

private slots:
    void toolbarPicturesComeFromLargeArt()
    {
        Form1 window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.devicePixelRatio(), 2.0);
        for (const ToolbarButtonSpec &entry : ToolbarButtons) {
            if (entry.style != ToolbarEntryStyle::Button)
                continue;
            const QString image = ToolbarImages.at(entry.image - 1).toString();
            auto *action = window.toolBar()->findChild<QAction *>(entry.key.toString());
            QVERIFY(action);
            const QImage shot
                = window.toolBar()->widgetForAction(action)->grab().toImage().convertToFormat(
                    QImage::Format_ARGB32);
            QVERIFY2(contains(shot, picture(image, 32)),
                     qPrintable(image + u": 32 x 32 art not drawn as it is"_qs));
            QVERIFY2(!contains(shot, picture(image, 16).scaled(32, 32)),
                     qPrintable(image + u": 16 x 16 art drawn enlarged"_qs));
        }
    }
};

QTEST_MAIN(TestHighDensity)
#include "tst_highdensity.moc"
