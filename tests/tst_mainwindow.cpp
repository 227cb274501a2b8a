// SPDX-License-Identifier: GPL-3.0-or-later
#include "commands.h"
#include "imagelist.h"
#include "mainwindow.h"
#include "richtexteditor.h"
#include "statusbar.h"
#include "twips.h"

#include <QAction>
#include <QClipboard>
#include <QFontMetrics>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QTest>
#include <QTextCursor>
#include <QToolBar>
#include <QToolButton>

using namespace Quillmere;

namespace {

const QPoint PressPoint(40, 30);
const QString TwoLines = u"alpha\r\nbeta gamma"_qs;

// `pixels` within a pixel of `twips`.
bool isTwips(const QWidget &widget, int pixels, double twips)
{
    return qAbs(pixelsToTwips(pixels, widget.logicalDpiY()) - twips)
        <= pixelsToTwips(1, widget.logicalDpiY());
}

[[nodiscard]] bool showAndSelectTwoLines(Form1 &window)
{
    window.move(0, 0);
    window.show();
    if (!QTest::qWaitForWindowActive(&window))
        return false;
    window.editor()->setDocumentText(TwoLines);
    QTextCursor cursor = window.editor()->textCursor();
    cursor.setPosition(0);
    cursor.setPosition(10, QTextCursor::KeepAnchor);
    window.editor()->setTextCursor(cursor);
    return true;
}

void clickButton(Form1 &window, const QString &key)
{
    QAction *button = window.toolBar()->findChild<QAction *>(key);
    QVERIFY(button);
    QTest::mouseClick(window.toolBar()->widgetForAction(button), Qt::LeftButton);
}

// Runs `key` the way `path` names: a toolbar button, a menu item or the editor's key.
void runCommand(Form1 &window, const QString &path, const QString &key)
{
    if (path == u"toolbar") {
        clickButton(window, key);
    } else if (path == u"menu") {
        QTest::mousePress(window.editor()->viewport(), Qt::RightButton, {}, PressPoint);
        QTRY_VERIFY(window.popupMenu()->isVisible());
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

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void windowAsItOpens();
    void resizingMovesOnlyTheEditorWidthUnlessMinimised();
    void dispatchMatchesExactKeysOnly_data();
    void dispatchMatchesExactKeysOnly();
    void applyAndExitButtons();
    void onlyRightPressOpensMenuAtPointer_data();
    void onlyRightPressOpensMenuAtPointer();
    void everyPathCopiesAndPastesAlike_data();
    void everyPathCopiesAndPastesAlike();
};

void TestMainWindow::init()
{
    QGuiApplication::clipboard()->clear();
}

// The window as it opens: its names, its layout in twips (window 7980 x 6690, toolbar 630,
// editor 5619 high below it, status bar 375 at the bottom with a strip left above it), and its
// toolbar buttons 1095 x 540 twips in one row, separators no wider than 120, no caption elided.
void TestMainWindow::windowAsItOpens()
{
    Form1 window;
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QCOMPARE(window.windowTitle(), u"Change the first letter of every word to Upper Case"_qs);
    QVERIFY(window.windowIcon().availableSizes().contains(QSize(32, 32)));
    QVERIFY(window.windowFlags() & Qt::WindowMinimizeButtonHint);
    for (const char *name : { "Form1", "RichTextBox1", "Toolbar1", "StatusBar1", "ImageList1",
                              "CommonDialog1", "mnuPopup" }) {
        QObject *named = window.objectName() == QLatin1String(name)
            ? &window
            : window.findChild<QObject *>(QString::fromLatin1(name));
        QVERIFY2(named, name);
    }
    QCOMPARE(window.imageList()->count(), 6);
    QVERIFY(window.imageList()->image(0).isNull() && window.imageList()->image(7).isNull());
    QVERIFY(!window.imageList()->image(6).isNull());
    QCOMPARE(window.toolBar()->iconSize(), QSize(16, 16));
    QCOMPARE(window.editor()->contextMenuPolicy(), Qt::NoContextMenu);
    QCOMPARE(window.editor()->backgroundRole(), QPalette::Base);
    QVERIFY(window.findChildren<QMenuBar *>().isEmpty());
    QStringList items { window.popupMenu()->title() };
    for (QAction *item : window.popupMenu()->actions()) {
        items << item->objectName() + u' ' + item->text() + u' ' + item->shortcut().toString();
        QVERIFY(item->isShortcutVisibleInContextMenu());
    }
    QCOMPARE(items,
             (QStringList { u"Popup"_qs, u"copy Copy Ctrl+C"_qs, u"paste Paste Ctrl+V"_qs }));

    QCOMPARE(QApplication::focusWidget(), window.editor());
    QVERIFY(!window.editor()->nextInFocusChain()->isAncestorOf(window.editor()));
    const QRect editor = window.editor()->geometry();
    const QRect toolBar = window.toolBar()->geometry();
    const QRect statusBar = window.statusBar()->geometry();
    QVERIFY(isTwips(window, window.width(), 7980));
    QVERIFY(isTwips(window, window.height(), 6690));
    QCOMPARE(editor.left(), 0);
    QVERIFY(isTwips(window, editor.top(), 630));
    QCOMPARE(editor.width(), window.width());
    QVERIFY(isTwips(window, editor.height(), 5619));
    QCOMPARE(toolBar, QRect(0, 0, window.width(), toolBar.height()));
    QVERIFY(isTwips(window, toolBar.height(), 630));
    QCOMPARE(statusBar.bottom(), window.height() - 1);
    QCOMPARE(statusBar.width(), window.width());
    QVERIFY(isTwips(window, statusBar.height(), 375));
    QVERIFY(editor.bottom() < statusBar.top());
    const int dpi = window.logicalDpiY();
    int top = -1;
    QStringList captions;
    for (QAction *action : window.toolBar()->actions()) {
        QWidget *widget = window.toolBar()->widgetForAction(action);
        QVERIFY(widget->isVisible());
        QVERIFY(widget->geometry().right() < window.toolBar()->width());
        if (action->isSeparator()) {
            QVERIFY(widget->width() <= twipsToPixels(120, dpi));
            continue;
        }
        captions << action->text() + u'/' + action->toolTip();
        if (top < 0)
            top = widget->y();
        QCOMPARE(widget->y(), top);
        QCOMPARE(widget->size(), QSize(twipsToPixels(1095, dpi), twipsToPixels(540, dpi)));
        QVERIFY(!action->icon().isNull());
        QVERIFY2(QFontMetrics(widget->font()).horizontalAdvance(action->text()) < widget->width(),
                 "caption would be elided");
    }
    QCOMPARE(captions,
             (QStringList { u"Open File/Open File"_qs, u"Apply Crownify/Edit Case"_qs,
                            u"Save File/Save File"_qs, u"Copy/Copy"_qs, u"Paste/Paste"_qs,
                            u"Exit Program/Exit Program"_qs }));
}

void TestMainWindow::resizingMovesOnlyTheEditorWidthUnlessMinimised()
{
    Form1 window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QRect before = window.editor()->geometry();
    const int toolBarHeight = window.toolBar()->height();

    for (const int width : { window.width() + 200, window.width() - 150 }) {
        window.resize(width, window.height());
        QTRY_COMPARE(window.editor()->geometry(),
                     QRect(0, before.y(), window.width(), before.height()));
        QCOMPARE(window.toolBar()->size(), QSize(window.width(), toolBarHeight));
        QCOMPARE(window.statusBar()->width(), window.width());
    }
    window.resize(200, toolBarHeight);
    QTRY_COMPARE(window.editor()->size(), QSize(200, 0));

    const QRect shown = window.editor()->geometry();
    window.setWindowState(Qt::WindowMinimized);
    window.resize(300, 200);
    QCOMPARE(window.editor()->geometry(), shown);
    window.setWindowState(Qt::WindowNoState);
    window.resize(600, 500);
    QTRY_COMPARE(window.editor()->width(), 600);
}

void TestMainWindow::dispatchMatchesExactKeysOnly_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("matches");
    QTest::addColumn<bool>("capitalises");

    QTest::addRow("edit runs the command") << u"edit"_qs << true << true;
    for (const char *key : { "open", "save", "copy", "paste" })
        QTest::addRow("%s is known", key) << QString::fromLatin1(key) << true << false;
    for (const char *key : { "Open", "EXITP", "edit ", "", "exit" })
        QTest::addRow("'%s' matches nothing", key) << QString::fromLatin1(key) << false << false;
}

void TestMainWindow::dispatchMatchesExactKeysOnly()
{
    QFETCH(QString, key);
    QFETCH(bool, matches);
    QFETCH(bool, capitalises);
    QWidget window;
    RichTextEditor editor(&window);
    window.show();
    editor.setDocumentText(u"some (text)"_qs);
    CommandContext context { window, editor };

    QCOMPARE(DispatchToolbarKey(key, context), matches);
    QCOMPARE(editor.documentText(), capitalises ? u"Some  Text "_qs : u"some (text)"_qs);
    QVERIFY(window.isVisible());
}

void TestMainWindow::applyAndExitButtons()
{
    Form1 window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTest::keyClicks(window.editor(), u"the QUICK brown_fox"_qs);
    clickButton(window, u"edit"_qs);
    QCOMPARE(window.editor()->documentText(), u"The Quick Brown-fox"_qs);
    clickButton(window, u"exitp"_qs);
    QVERIFY(!window.isVisible());
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
}

void TestMainWindow::onlyRightPressOpensMenuAtPointer_data()
{
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");

    QTest::addRow("right opens") << Qt::RightButton << Qt::KeyboardModifiers();
    QTest::addRow("right with shift opens")
        << Qt::RightButton << Qt::KeyboardModifiers(Qt::ShiftModifier);
    QTest::addRow("left never") << Qt::LeftButton << Qt::KeyboardModifiers();
    QTest::addRow("middle never") << Qt::MiddleButton << Qt::KeyboardModifiers();
}

void TestMainWindow::onlyRightPressOpensMenuAtPointer()
{
    QFETCH(Qt::MouseButton, button);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    Form1 window;
    QVERIFY(showAndSelectTwoLines(window));
    QGuiApplication::clipboard()->setText(u"held"_qs);

    QTest::mousePress(window.editor()->viewport(), button, modifiers, PressPoint);
    if (button != Qt::RightButton) {
        QTest::mouseRelease(window.editor()->viewport(), button, modifiers, PressPoint);
        QTest::qWait(50);
        QCOMPARE(QApplication::activePopupWidget(), nullptr);
        return;
    }
    QTRY_COMPARE(QApplication::activePopupWidget(), window.popupMenu());
    QCOMPARE(window.popupMenu()->pos(), window.editor()->viewport()->mapToGlobal(PressPoint));
    // Dismissed, it does nothing.
    QTest::keyClick(window.popupMenu(), Qt::Key_Escape);
    QTRY_VERIFY(!window.popupMenu()->isVisible());
    QCOMPARE(window.editor()->documentText(), TwoLines);
    QCOMPARE(QGuiApplication::clipboard()->text(), u"held"_qs);
}

void TestMainWindow::everyPathCopiesAndPastesAlike_data()
{
    QTest::addColumn<QString>("path");
    QTest::addRow("toolbar button") << u"toolbar"_qs;
    QTest::addRow("menu item") << u"menu"_qs;
    QTest::addRow("key in the editor") << u"keys"_qs;
}

void TestMainWindow::everyPathCopiesAndPastesAlike()
{
    QFETCH(QString, path);
    Form1 window;
    QVERIFY(showAndSelectTwoLines(window));

    runCommand(window, path, u"copy"_qs);
    QCOMPARE(QGuiApplication::clipboard()->text(), u"alpha\nbeta"_qs);
    QVERIFY(!QGuiApplication::clipboard()->mimeData()->hasHtml());
    QCOMPARE(window.editor()->documentText(), TwoLines);

    QGuiApplication::clipboard()->setText(u"one\ntwo"_qs);
    runCommand(window, path, u"paste"_qs);
    QCOMPARE(window.editor()->documentText(), u"one\r\ntwo gamma"_qs);
    QCOMPARE(QGuiApplication::clipboard()->text(), u"one\ntwo"_qs);
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
