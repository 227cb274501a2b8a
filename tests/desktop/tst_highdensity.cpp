// SPDX-License-Identifier: GPL-3.0-or-later
// The window on a screen of device-pixel ratio 2 (run with QT_SCALE_FACTOR=2): every toolbar
// button draws its picture from the 32 x 32 art rather than an enlarged 16 x 16 one.
#include "mainwindow.h"
#include "toolbar.h"

#include <QAction>
#include <QTest>
#include <QToolBar>

using namespace Quillmere;

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
            // The picture the button asks for when it paints itself.
            const QImage drawn = action->icon()
                                     .pixmap(window.toolBar()->iconSize(), 2.0)
                                     .toImage()
                                     .convertToFormat(QImage::Format_ARGB32);
            const QImage art
                = QImage(u":/icons/%1-32.xpm"_qs.arg(image)).convertToFormat(QImage::Format_ARGB32);
            QVERIFY2(drawn == art, qPrintable(image + u": not the 32 x 32 art as it is"_qs));
        }
    }
};

QTEST_MAIN(TestHighDensity)
#include "tst_highdensity.moc"
