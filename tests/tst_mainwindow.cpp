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

#include <memory>

using namespace Quillmere;

namespace {

const QPoint PressPoint(40, 30);
const QString TwoLines = u"alpha\r\nbeta gamma"_qs;

} // namespace

// One window, shown once, serves every check; the ones that resize or close it come last.
class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void windowAsItOpens();
    void dispatchMatchesExactKeysOnly();
    void onlyRightPressOpensMenuAtPointer_data();
    void onlyRightPressOpensMenuAtPointer();
    void everyPathCopiesAndPastesAlike_data();
    void everyPathCopiesAndPastesAlike();
    void resizingMovesOnlyTheEditorWidthUnlessMinimised();
    void applyAndExitButtons();

private:
    // `pixels` within a pixel of `twips`.
    bool isTwips(int pixels, double twips) const
    {
        const int dpi = m_window->logicalDpiY();
        return qAbs(pixelsToTwips(pixels, dpi) - twips) <= pixelsToTwips(1, dpi);
    }
    void clickButton(const QString &key);
    void runCommand(const QString &path, const QString &key);

    std::unique_ptr<Form1> m_window;
};

void TestMainWindow::initTestCase()
{
    m_window = std::make_unique<Form1>();
    m_window->move(0, 0);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
}

void TestMainWindow::init()
{
    QGuiApplication::clipboard()->clear();
    m_window->editor()->setDocumentText(TwoLines);
    QTextCursor cursor = m_window->editor()->textCursor();
    cursor.setPosition(0);
    cursor.setPosition(10, QTextCursor::KeepAnchor);
    m_window->editor()->setTextCursor(cursor);
}

void TestMainWindow::clickButton(const QString &key)
{
    QAction *button = m_window->toolBar()->findChild<QAction *>(key);
    QVERIFY(button);
    QTest::mouseClick(m_window->toolBar()->widgetForAction(button), Qt::LeftButton);
}

// Runs `key` the way `path` names: a toolbar button, a menu item or the editor's key.
void TestMainWindow::runCommand(const QString &path, const QString &key)
{
    QMenu *menu = m_window->popupMenu();
    if (path == u"toolbar") {
        clickButton(key);
    } else if (path == u"menu") {
        QTest::mousePress(m_window->editor()->viewport(), Qt::RightButton, {}, PressPoint);
        QTRY_VERIFY(menu->isVisible());
        QAction *item = menu->findChild<QAction *>(key);
        QVERIFY(item && item->isShortcutVisibleInContextMenu());
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
        QTRY_VERIFY(!menu->isVisible());
    } else {
        QTest::keyClick(m_window->editor(), key == u"copy" ? Qt::Key_C : Qt::Key_V,
                        Qt::ControlModifier);
    }
}

// The window as it opens: its names, its layout in twips (window 7980 x 6690, toolbar 630,
// editor 5619 high below it, status bar 375 at the bottom with a strip left above it), and its
// toolbar buttons 1095 x 540 twips in one row, separators no wider than 120, no caption elided.
void TestMainWindow::windowAsItOpens()
{
    Form1 &window = *m_window;
    QCOMPARE(window.windowTitle(), u"Change the first letter of every word to Upper Case"_qs);
    QVERIFY(window.windowIcon().availableSizes().contains(QSize(32, 32)));
    for (const char *name :
         { "RichTextBox1", "Toolbar1", "StatusBar1", "ImageList1", "CommonDialog1", "mnuPopup" })
        QVERIFY2(window.findChild<QObject *>(QString::fromLatin1(name)), name);
    QCOMPARE(window.objectName(), u"Form1"_qs);
    QCOMPARE(window.toolBar()->iconSize(), QSize(16, 16));
    QVERIFY(window.imageList()->image(0).isNull() && window.imageList()->image(7).isNull());
    QCOMPARE(window.editor()->contextMenuPolicy(), Qt::NoContextMenu);
    QVERIFY(window.findChildren<QMenuBar *>().isEmpty());
    QCOMPARE(QApplication::focusWidget(), window.editor());

    const QRect editor = window.editor()->geometry();
    const QRect toolBar = window.toolBar()->geometry();
    const QRect statusBar = window.statusBar()->geometry();
    QVERIFY(isTwips(window.width(), 7980) && isTwips(window.height(), 6690));
    QCOMPARE(editor.topLeft().x(), 0);
    QCOMPARE(editor.width(), window.width());
    QVERIFY(isTwips(editor.top(), 630) && isTwips(editor.height(), 5619));
    QCOMPARE(toolBar, QRect(0, 0, window.width(), toolBar.height()));
    QVERIFY(isTwips(toolBar.height(), 630));
    QCOMPARE(statusBar.bottom(), window.height() - 1);
    QCOMPARE(statusBar.width(), window.width());
    QVERIFY(isTwips(statusBar.height(), 375));
    QVERIFY(editor.bottom() < statusBar.top());
    const int dpi = window.logicalDpiY();
    int buttons = 0;
    int top = -1;
    for (QAction *action : window.toolBar()->actions()) {
        QWidget *widget = window.toolBar()->widgetForAction(action);
        QVERIFY(widget->isVisible());
        QVERIFY(widget->geometry().right() < window.toolBar()->width());
        if (action->isSeparator()) {
            QVERIFY(widget->width() <= twipsToPixels(120, dpi));
            continue;
        }
        ++buttons;
        top = top < 0 ? widget->y() : top;
        QCOMPARE(widget->y(), top);
        QCOMPARE(widget->size(), QSize(twipsToPixels(1095, dpi), twipsToPixels(540, dpi)));
        QVERIFY(!action->icon().isNull());
        QVERIFY2(QFontMetrics(widget->font()).horizontalAdvance(action->text()) < widget->width(),
                 "caption would be elided");
    }
    QCOMPARE(buttons, 6);
}

void TestMainWindow::dispatchMatchesExactKeysOnly()
{
    QWidget window;
    RichTextEditor editor(&window);
    CommandContext context { window, editor };
    editor.setDocumentText(u"some (text)"_qs);
    for (const char *key : { "Open", "EXITP", "edit ", "", "exit" })
        QVERIFY2(!DispatchToolbarKey(QString::fromLatin1(key), context), key);
    QCOMPARE(editor.documentText(), u"some (text)"_qs);
    QVERIFY(DispatchToolbarKey(u"edit", context));
    QCOMPARE(editor.documentText(), u"Some  Text "_qs);
}

void TestMainWindow::onlyRightPressOpensMenuAtPointer_data()
{
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");

    QTest::addRow("right with shift opens")
        << Qt::RightButton << Qt::KeyboardModifiers(Qt::ShiftModifier);
    QTest::addRow("left never") << Qt::LeftButton << Qt::KeyboardModifiers();
}

void TestMainWindow::onlyRightPressOpensMenuAtPointer()
{
    QFETCH(Qt::MouseButton, button);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QWidget *viewport = m_window->editor()->viewport();
    QGuiApplication::clipboard()->setText(u"held"_qs);

    QTest::mousePress(viewport, button, modifiers, PressPoint);
    if (button != Qt::RightButton) {
        QTest::mouseRelease(viewport, button, modifiers, PressPoint);
        QTest::qWait(50);
        QCOMPARE(QApplication::activePopupWidget(), nullptr);
        return;
    }
    QTRY_COMPARE(QApplication::activePopupWidget(), m_window->popupMenu());
    QCOMPARE(m_window->popupMenu()->pos(), viewport->mapToGlobal(PressPoint));
    // Dismissed, it does nothing.
    QTest::keyClick(m_window->popupMenu(), Qt::Key_Escape);
    QTRY_VERIFY(!m_window->popupMenu()->isVisible());
    QCOMPARE(m_window->editor()->documentText(), TwoLines);
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
    runCommand(path, u"copy"_qs);
    QCOMPARE(QGuiApplication::clipboard()->text(), u"alpha\nbeta"_qs);
    QVERIFY(!QGuiApplication::clipboard()->mimeData()->hasHtml());
    QCOMPARE(m_window->editor()->documentText(), TwoLines);

    QGuiApplication::clipboard()->setText(u"one\ntwo"_qs);
    runCommand(path, u"paste"_qs);
    QCOMPARE(m_window->editor()->documentText(), u"one\r\ntwo gamma"_qs);
    QCOMPARE(QGuiApplication::clipboard()->text(), u"one\ntwo"_qs);
}

void TestMainWindow::resizingMovesOnlyTheEditorWidthUnlessMinimised()
{
    Form1 &window = *m_window;
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

void TestMainWindow::applyAndExitButtons()
{
    m_window->editor()->setDocumentText(QString());
    QTest::keyClicks(m_window->editor(), u"the QUICK brown_fox"_qs);
    clickButton(u"edit"_qs);
    QCOMPARE(m_window->editor()->documentText(), u"The Quick Brown-fox"_qs);
    clickButton(u"exitp"_qs);
    QVERIFY(!m_window->isVisible());
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
