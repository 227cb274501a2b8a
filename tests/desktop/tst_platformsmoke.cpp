// SPDX-License-Identifier: GPL-3.0-or-later
// The window on a real window system (Wayland under a private compositor, or X11): it is shown
// and exposed, takes typing, runs the command from its toolbar button and closes on Exit.
#include "mainwindow.h"
#include "richtexteditor.h"

#include <QAction>
#include <QGuiApplication>
#include <QTest>
#include <QToolBar>

using namespace Quillmere;

class TestPlatformSmoke : public QObject
{
    Q_OBJECT

private slots:
    void typesAppliesAndExits();
};

void TestPlatformSmoke::typesAppliesAndExits()
{
    const QString requested = qEnvironmentVariable("QT_QPA_PLATFORM");
    if (requested.isEmpty())
        QSKIP("QT_QPA_PLATFORM names no platform");
    QCOMPARE(QGuiApplication::platformName(), requested);
    Form1 window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QTest::keyClicks(window.editor(), u"the QUICK brown_fox (jumps)"_qs);
    QToolBar *toolBar = window.toolBar();
    QAction *apply = toolBar->findChild<QAction *>(u"edit"_qs);
    QAction *exit = toolBar->findChild<QAction *>(u"exitp"_qs);
    QVERIFY(apply && exit);
    QTest::mouseClick(toolBar->widgetForAction(apply), Qt::LeftButton);
    QCOMPARE(window.editor()->documentText(), u"The Quick Brown-fox  Jumps "_qs);

    QTest::mouseClick(toolBar->widgetForAction(exit), Qt::LeftButton);
    QTRY_VERIFY(!window.isVisible());
}

QTEST_MAIN(TestPlatformSmoke)
#include "tst_platformsmoke.moc"
