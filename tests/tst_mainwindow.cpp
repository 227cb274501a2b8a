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
    void everyPathRunsTheClipboardCommands_data();
    void everyPathRunsTheClipboardCommands();
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
    void runAction(const QString &action);

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

// Runs `action`: "toolbar" or "menu" and the command's key, or a key sequence in the editor.
// The menu opens at the pointer on a right press, with Shift held too; "menu dismissed" closes
// it with Escape, and a "left press" must not open it.
void TestMainWindow::runAction(const QString &action)
{
    const QString path = action.section(u' ', 0, 0);
    const QString key = action.section(u' ', 1);
    QWidget *viewport = m_window->editor()->viewport();
    QMenu *menu = m_window->popupMenu();
    if (path == u"toolbar") {
        clickButton(key);
    } else if (path == u"menu") {
        QTest::mousePress(viewport, Qt::RightButton, Qt::ShiftModifier, PressPoint);
        QTRY_COMPARE(QApplication::activePopupWidget(), menu);
        QCOMPARE(menu->pos(), viewport->mapToGlobal(PressPoint));
        if (key == u"dismissed") {
            QTest::keyClick(menu, Qt::Key_Escape);
        } else {
            QAction *item = menu->findChild<QAction *>(key);
            QVERIFY(item && item->isShortcutVisibleInContextMenu());
            QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
        }
        QTRY_VERIFY(!menu->isVisible());
    } else if (path == u"left") {
        QTest::mousePress(viewport, Qt::LeftButton, {}, PressPoint);
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, PressPoint);
        QTest::qWait(50);
        QCOMPARE(QApplication::activePopupWidget(), nullptr);
    } else {
        const QKeyCombination keys = QKeySequence(action)[0];
        QTest::keyClick(m_window->editor(), keys.key(), keys.keyboardModifiers());
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

void TestMainWindow::everyPathRunsTheClipboardCommands_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("document");
    QTest::addColumn<QString>("clipboard");

    const QString copied = u"alpha\nbeta"_qs;
    const QString pasted = u"X\r\nY gamma"_qs;
    const QString offered = u"X\rY"_qs;
    for (const QString &action :
         { u"toolbar copy"_qs, u"menu copy"_qs, u"Ctrl+C"_qs, u"Ctrl+Ins"_qs })
        QTest::addRow("%s", qPrintable(action)) << action << TwoLines << copied;
    for (const QString &action :
         { u"toolbar paste"_qs, u"menu paste"_qs, u"Ctrl+V"_qs, u"Shift+Ins"_qs })
        QTest::addRow("%s", qPrintable(action)) << action << pasted << offered;
    for (const QString &action : { u"Ctrl+X"_qs, u"Shift+Del"_qs })
        QTest::addRow("%s", qPrintable(action)) << action << u" gamma"_qs << copied;
    for (const QString &action : { u"menu dismissed"_qs, u"left press"_qs })
        QTest::addRow("%s", qPrintable(action)) << action << TwoLines << offered;
}

// Every way to a command has the same effect: copies and cuts put plain text only, pastes take
// the clipboard's lines once, as CR LF; a dismissed menu or a left press change nothing, and
// Insert with a modifier leaves typing over alone.
void TestMainWindow::everyPathRunsTheClipboardCommands()
{
    QFETCH(QString, action);
    QFETCH(QString, document);
    QFETCH(QString, clipboard);
    QGuiApplication::clipboard()->setText(u"X\rY"_qs);
    runAction(action);
    QCOMPARE(m_window->editor()->documentText(), document);
    QCOMPARE(QGuiApplication::clipboard()->text(), clipboard);
    QVERIFY(!QGuiApplication::clipboard()->mimeData()->hasHtml());
    QVERIFY(!m_window->editor()->overwriteMode());
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
