// SPDX-License-Identifier: GPL-3.0-or-later
#include "commands.h"
#include "imagelist.h"
#include "mainwindow.h"
#include "richtexteditor.h"
#include "statusbar.h"
#include "toolbar.h"
#include "twips.h"

#include <QAction>
#include <QClipboard>
#include <QFontMetrics>
#include <QSignalSpy>
#include <QTest>
#include <QTextCursor>
#include <QToolBar>
#include <QToolButton>

using namespace Quillmere;

namespace {

double toTwips(const QWidget &widget, int pixels)
{
    return pixelsToTwips(pixels, widget.logicalDpiY());
}

// One pixel of rounding either way, expressed in twips.
double pixelTolerance(const QWidget &widget)
{
    return toTwips(widget, 1);
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void windowHasTitleIconAndNames();
    void initialLayoutMatchesTwips();
    void resizingMovesOnlyTheEditorWidth_data();
    void resizingMovesOnlyTheEditorWidth();
    void tinyWindowNeverGivesNegativeHeight();
    void minimisingLeavesEditorWhereItWas();
    void toolbarFollowsTheTable();
    void allEntriesFitOneRowAtInitialWidth();
    void imageListHoldsSixIcons();
    void editorHasFocusAndLeadsTabOrder();
    void dispatchMatchesExactKeysOnly_data();
    void dispatchMatchesExactKeysOnly();
    void applyButtonCapitalisesTheDocument();
    void exitButtonClosesWithoutPrompt();
};

void TestMainWindow::windowHasTitleIconAndNames()
{
    Form1 window;
    QCOMPARE(window.objectName(), u"Form1"_qs);
    QCOMPARE(window.windowTitle(), u"Change the first letter of every word to Upper Case"_qs);
    const QIcon icon = window.windowIcon();
    QVERIFY(!icon.isNull());
    QVERIFY(icon.availableSizes().contains(QSize(16, 16)));
    QVERIFY(icon.availableSizes().contains(QSize(32, 32)));
    QVERIFY(window.windowFlags() & Qt::WindowMinimizeButtonHint);
    for (const char *name : { "RichTextBox1", "Toolbar1", "StatusBar1", "ImageList1" })
        QVERIFY2(window.findChild<QObject *>(QString::fromLatin1(name)), name);
}

void TestMainWindow::initialLayoutMatchesTwips()
{
    Form1 window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const double tolerance = pixelTolerance(window);

    QVERIFY(qAbs(toTwips(window, window.width()) - 7980) <= tolerance);
    QVERIFY(qAbs(toTwips(window, window.height()) - 6690) <= tolerance);
    const QRect editor = window.editor()->geometry();
    QVERIFY(qAbs(toTwips(window, editor.top()) - 630) <= tolerance);
    QVERIFY(qAbs(toTwips(window, editor.width()) - 7980) <= tolerance);
    QVERIFY(qAbs(toTwips(window, editor.height()) - 5619) <= tolerance);
    QCOMPARE(editor.left(), 0);

    const QRect toolBar = window.toolBar()->geometry();
    QCOMPARE(toolBar.topLeft(), QPoint(0, 0));
    QCOMPARE(toolBar.width(), window.width());
    QVERIFY(qAbs(toTwips(window, toolBar.height()) - 630) <= tolerance);

    const QRect statusBar = window.statusBar()->geometry();
    QCOMPARE(statusBar.bottom(), window.height() - 1);
    QCOMPARE(statusBar.width(), window.width());
    QVERIFY(qAbs(toTwips(window, statusBar.height()) - 375) <= tolerance);
    // The deliberate strip between the editor and the status bar.
    QVERIFY(editor.bottom() < statusBar.top());
}

void TestMainWindow::resizingMovesOnlyTheEditorWidth_data()
{
    QTest::addColumn<int>("widthChange");
    QTest::addRow("wider") << 200;
    QTest::addRow("narrower") << -150;
}

void TestMainWindow::resizingMovesOnlyTheEditorWidth()
{
    QFETCH(int, widthChange);
    Form1 window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QRect before = window.editor()->geometry();
    const int toolBarHeight = window.toolBar()->height();

    window.resize(window.width() + widthChange, window.height());
    QTRY_COMPARE(window.editor()->width(), window.width());
    QCOMPARE(window.editor()->y(), before.y());
    QCOMPARE(window.editor()->height(), before.height());
    QCOMPARE(window.toolBar()->width(), window.width());
    QCOMPARE(window.toolBar()->height(), toolBarHeight);
    QCOMPARE(window.statusBar()->width(), window.width());
}

void TestMainWindow::tinyWindowNeverGivesNegativeHeight()
{
    Form1 window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.resize(200, window.toolBar()->height());
    QTRY_COMPARE(window.editor()->width(), window.width());
    QCOMPARE(window.editor()->height(), 0);
}

void TestMainWindow::minimisingLeavesEditorWhereItWas()
{
    Form1 window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QRect before = window.editor()->geometry();
    window.setWindowState(Qt::WindowMinimized);
    window.resize(300, 200);
    QCOMPARE(window.editor()->geometry(), before);

    window.setWindowState(Qt::WindowNoState);
    window.resize(600, 500);
    QTRY_COMPARE(window.editor()->width(), 600);
}

void TestMainWindow::toolbarFollowsTheTable()
{
    Form1 window;
    const QList<QAction *> actions = window.toolBar()->actions();
    QCOMPARE(actions.size(), qsizetype(ToolbarButtons.size()));
    const QSize buttonSize(twipsToPixels(1095, window.logicalDpiY()),
                           twipsToPixels(540, window.logicalDpiY()));
    for (qsizetype i = 0; i < actions.size(); ++i) {
        const ToolbarButtonSpec &entry = ToolbarButtons.at(size_t(i));
        QAction *action = actions.at(i);
        if (entry.style == ToolbarEntryStyle::Separator) {
            QVERIFY2(action->isSeparator(), qPrintable(QString::number(i)));
            continue;
        }
        QCOMPARE(action->text(), entry.caption.toString());
        QCOMPARE(action->toolTip(), entry.toolTip.toString());
        QCOMPARE(action->data().toString(), entry.key.toString());
        QCOMPARE(action->objectName(), entry.key.toString());
        QVERIFY(!action->icon().isNull());
        auto *button = qobject_cast<QToolButton *>(window.toolBar()->widgetForAction(action));
        QVERIFY(button);
        QCOMPARE(button->size(), buttonSize);
        QCOMPARE(button->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
        QVERIFY2(QFontMetrics(button->font()).horizontalAdvance(action->text()) < button->width(),
                 "caption would be elided");
    }
    const QStringList captions = [&] {
        QStringList list;
        for (QAction *action : actions)
            if (!action->isSeparator())
                list << action->text();
        return list;
    }();
    QCOMPARE(captions,
             (QStringList { u"Open File"_qs, u"Apply Crownify"_qs, u"Save File"_qs, u"Copy"_qs,
                            u"Paste"_qs, u"Exit Program"_qs }));
}

void TestMainWindow::allEntriesFitOneRowAtInitialWidth()
{
    Form1 window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    int top = -1;
    for (QAction *action : window.toolBar()->actions()) {
        QWidget *widget = window.toolBar()->widgetForAction(action);
        QVERIFY(widget->isVisible());
        const QRect inToolBar = widget->geometry();
        QVERIFY(inToolBar.right() < window.toolBar()->width());
        if (action->isSeparator())
            QVERIFY(inToolBar.width() <= twipsToPixels(120, window.logicalDpiY()));
        else {
            if (top < 0)
                top = inToolBar.top();
            QCOMPARE(inToolBar.top(), top);
        }
    }
}

void TestMainWindow::imageListHoldsSixIcons()
{
    Form1 window;
    ImageList *images = window.imageList();
    QCOMPARE(images->objectName(), u"ImageList1"_qs);
    QCOMPARE(images->count(), 6);
    QCOMPARE(images->imageSize(), QSize(16, 16));
    for (int number = 1; number <= 6; ++number) {
        const QIcon icon = images->image(number);
        QVERIFY(!icon.pixmap(16, 16).isNull());
        QVERIFY(icon.availableSizes().contains(QSize(32, 32)));
    }
    QVERIFY(images->image(0).isNull());
    QVERIFY(images->image(7).isNull());
}

void TestMainWindow::editorHasFocusAndLeadsTabOrder()
{
    Form1 window;
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QCOMPARE(QApplication::focusWidget(), window.editor());
    QVERIFY(window.editor()->documentText().isEmpty());
    QCOMPARE(window.editor()->nextInFocusChain()->isAncestorOf(window.editor()), false);
}

void TestMainWindow::dispatchMatchesExactKeysOnly_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("matches");
    QTest::addColumn<bool>("capitalises");

    QTest::addRow("edit runs the command") << u"edit"_qs << true << true;
    for (const char *key : { "open", "save", "copy", "paste" })
        QTest::addRow("%s is known", key) << QString::fromLatin1(key) << true << false;
    for (const char *key : { "Open", "EXITP", "Edit", "edit ", "", "exit", "separator" })
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
    // Copy and paste with nothing selected and nothing to paste leave the document alone.
    QGuiApplication::clipboard()->clear();
    CommandContext context { window, editor };

    QCOMPARE(DispatchToolbarKey(key, context), matches);
    QCOMPARE(editor.documentText(), capitalises ? u"Some  Text "_qs : u"some (text)"_qs);
    QVERIFY(window.isVisible());
}

void TestMainWindow::applyButtonCapitalisesTheDocument()
{
    Form1 window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTest::keyClicks(window.editor(), u"the QUICK brown_fox"_qs);
    QAction *apply = window.toolBar()->findChild<QAction *>(u"edit"_qs);
    QVERIFY(apply);
    QTest::mouseClick(window.toolBar()->widgetForAction(apply), Qt::LeftButton);
    QCOMPARE(window.editor()->documentText(), u"The Quick Brown-fox"_qs);
}

void TestMainWindow::exitButtonClosesWithoutPrompt()
{
    Form1 window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTest::keyClicks(window.editor(), u"unsaved work"_qs);
    QAction *exit = window.toolBar()->findChild<QAction *>(u"exitp"_qs);
    QVERIFY(exit);
    QSignalSpy quit(qApp, &QCoreApplication::aboutToQuit);
    QTest::mouseClick(window.toolBar()->widgetForAction(exit), Qt::LeftButton);
    QVERIFY(!window.isVisible());
    QVERIFY(QApplication::activeModalWidget() == nullptr);
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
