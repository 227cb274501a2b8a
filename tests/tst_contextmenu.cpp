// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainwindow.h"
#include "richtexteditor.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QTest>
#include <QTextCursor>
#include <QToolBar>

using namespace Quillmere;

namespace {

const QPoint PressPoint(40, 30);

// Shows the window with "alpha\r\nbeta" selected in its two-line document.
[[nodiscard]] bool prepare(Form1 &window)
{
    window.move(0, 0);
    window.show();
    if (!QTest::qWaitForWindowActive(&window))
        return false;
    window.editor()->setDocumentText(u"alpha\r\nbeta gamma"_qs);
    QTextCursor cursor = window.editor()->textCursor();
    cursor.setPosition(0);
    cursor.setPosition(10, QTextCursor::KeepAnchor);
    window.editor()->setTextCursor(cursor);
    return true;
}

void openMenu(Form1 &window)
{
    QTest::mousePress(window.editor()->viewport(), Qt::RightButton, {}, PressPoint);
    QTRY_VERIFY(window.popupMenu()->isVisible());
}

// Runs the command `key` the way `path` names: a toolbar button, a menu item or the editor's key.
void runCommand(Form1 &window, const QString &path, const QString &key)
{
    if (path == u"toolbar") {
        QAction *button = window.toolBar()->findChild<QAction *>(key);
        QVERIFY(button);
        QTest::mouseClick(window.toolBar()->widgetForAction(button), Qt::LeftButton);
    } else if (path == u"menu") {
        openMenu(window);
        QAction *item = window.popupMenu()->findChild<QAction *>(key);
        QVERIFY(item);
        QTest::mouseClick(window.popupMenu(), Qt::LeftButton, {},
                          window.popupMenu()->actionGeometry(item).center());
        QTRY_VERIFY(!window.popupMenu()->isVisible());
    } else {
        QTest::keyClick(window.editor(), key == u"copy" ? Qt::Key_C : Qt::Key_V,
                        Qt::ControlModifier);
    }
}

} // namespace

class TestContextMenu : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void menuHasTitleItemsAndShortcuts();
    void menuIsNeverAMenuBar();
    void onlyRightPressOpensMenuAtPointer_data();
    void onlyRightPressOpensMenuAtPointer();
    void dismissingMenuDoesNothing();
    void everyPathCopiesAlike_data();
    void everyPathCopiesAlike();
    void everyPathPastesAlike_data();
    void everyPathPastesAlike();
};

void TestContextMenu::init()
{
    QGuiApplication::clipboard()->clear();
}

void TestContextMenu::menuHasTitleItemsAndShortcuts()
{
    Form1 window;
    QMenu *menu = window.findChild<QMenu *>(u"mnuPopup"_qs);
    QVERIFY(menu);
    QCOMPARE(menu, window.popupMenu());
    QCOMPARE(menu->title(), u"Popup"_qs);

    const QList<QAction *> items = menu->actions();
    QCOMPARE(items.size(), 2);
    QCOMPARE(items.at(0)->objectName(), u"copy"_qs);
    QCOMPARE(items.at(0)->text(), u"Copy"_qs);
    QCOMPARE(items.at(0)->shortcut(), QKeySequence(u"Ctrl+C"_qs));
    QCOMPARE(items.at(1)->objectName(), u"paste"_qs);
    QCOMPARE(items.at(1)->text(), u"Paste"_qs);
    QCOMPARE(items.at(1)->shortcut(), QKeySequence(u"Ctrl+V"_qs));
    for (QAction *item : items)
        QVERIFY(item->isShortcutVisibleInContextMenu());
}

void TestContextMenu::menuIsNeverAMenuBar()
{
    Form1 window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(window.findChildren<QMenuBar *>().isEmpty());
    QVERIFY(!window.popupMenu()->isVisible());
    QVERIFY(window.popupMenu()->menuAction()->associatedObjects().isEmpty());
    QCOMPARE(window.editor()->contextMenuPolicy(), Qt::NoContextMenu);
}

void TestContextMenu::onlyRightPressOpensMenuAtPointer_data()
{
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<bool>("opens");

    QTest::addRow("right opens") << Qt::RightButton << Qt::KeyboardModifiers() << true;
    QTest::addRow("right with shift opens")
        << Qt::RightButton << Qt::KeyboardModifiers(Qt::ShiftModifier) << true;
    QTest::addRow("left never") << Qt::LeftButton << Qt::KeyboardModifiers() << false;
    QTest::addRow("middle never") << Qt::MiddleButton << Qt::KeyboardModifiers() << false;
    QTest::addRow("left with control never")
        << Qt::LeftButton << Qt::KeyboardModifiers(Qt::ControlModifier) << false;
}

void TestContextMenu::onlyRightPressOpensMenuAtPointer()
{
    QFETCH(Qt::MouseButton, button);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(bool, opens);
    Form1 window;
    QVERIFY(prepare(window));

    QTest::mousePress(window.editor()->viewport(), button, modifiers, PressPoint);
    if (!opens) {
        QTest::mouseRelease(window.editor()->viewport(), button, modifiers, PressPoint);
        QTest::qWait(50);
        QVERIFY(!window.popupMenu()->isVisible());
        QCOMPARE(QApplication::activePopupWidget(), nullptr);
        return;
    }
    QTRY_VERIFY(window.popupMenu()->isVisible());
    QCOMPARE(QApplication::activePopupWidget(), window.popupMenu());
    QCOMPARE(window.popupMenu()->pos(), window.editor()->viewport()->mapToGlobal(PressPoint));
    window.popupMenu()->hide();
}

void TestContextMenu::dismissingMenuDoesNothing()
{
    Form1 window;
    QVERIFY(prepare(window));
    QGuiApplication::clipboard()->setText(u"held"_qs);
    openMenu(window);

    QTest::keyClick(window.popupMenu(), Qt::Key_Escape);
    QTRY_VERIFY(!window.popupMenu()->isVisible());
    QCOMPARE(window.editor()->documentText(), u"alpha\r\nbeta gamma"_qs);
    QCOMPARE(QGuiApplication::clipboard()->text(), u"held"_qs);
}

void TestContextMenu::everyPathCopiesAlike_data()
{
    QTest::addColumn<QString>("path");
    QTest::addRow("toolbar button") << u"toolbar"_qs;
    QTest::addRow("menu item") << u"menu"_qs;
    QTest::addRow("key in the editor") << u"keys"_qs;
}

void TestContextMenu::everyPathCopiesAlike()
{
    QFETCH(QString, path);
    Form1 window;
    QVERIFY(prepare(window));

    runCommand(window, path, u"copy"_qs);
    QCOMPARE(QGuiApplication::clipboard()->text(), u"alpha\nbeta"_qs);
    QVERIFY(!QGuiApplication::clipboard()->mimeData()->hasHtml());
    QCOMPARE(window.editor()->documentText(), u"alpha\r\nbeta gamma"_qs);
}

void TestContextMenu::everyPathPastesAlike_data()
{
    everyPathCopiesAlike_data();
}

void TestContextMenu::everyPathPastesAlike()
{
    QFETCH(QString, path);
    Form1 window;
    QVERIFY(prepare(window));
    QGuiApplication::clipboard()->setText(u"one\ntwo"_qs);

    runCommand(window, path, u"paste"_qs);
    QCOMPARE(window.editor()->documentText(), u"one\r\ntwo gamma"_qs);
    QCOMPARE(QGuiApplication::clipboard()->text(), u"one\ntwo"_qs);
}

QTEST_MAIN(TestContextMenu)
#include "tst_contextmenu.moc"
