// SPDX-License-Identifier: GPL-3.0-or-later
#include "commands.h"
#include "filedialog.h"
#include "files.h"
#include "imagelist.h"
#include "keystate.h"
#include "mainwindow.h"
#include "richtexteditor.h"
#include "statusbar.h"
#include "twips.h"

#include <QAccessible>
#include <QClipboard>
#include <QLabel>
#include <QMenu>
#include <QTest>
#include <QToolBar>

#include <memory>

using namespace Quillmere;

namespace {

const QPoint PressPoint(40, 30);

void rows(const QString &kind)
{
    addFixtureRows(QFINDTESTDATA("data/mainwindow.txt"), kind);
}

QString spokenName(QWidget *widget)
{
    return QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name);
}

} // namespace

// One window, shown once, serves every check; the ones that resize or close it come last.
class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup() { QLocale::setDefault(QLocale::system()); }
    void windowAsItOpens();
    void dispatchMatchesExactKeysOnly();
    void everyPathRunsTheClipboardCommands_data() { rows(u"path"_qs); }
    void everyPathRunsTheClipboardCommands();
    void lockKeysToggleOnceAndShow_data() { rows(u"keys"_qs); }
    void lockKeysToggleOnceAndShow();
    void clockChangesOnTime_data() { rows(u"clock"_qs); }
    void clockChangesOnTime();
    void resizingMovesOnlyTheEditorWidthUnlessMinimised();
    void applyAndExitButtons();

private:
    // `pixels` within a pixel of `twips`.
    bool isTwips(int pixels, double twips) const
    {
        const int dpi = m_window->logicalDpiY();
        return qAbs(pixelsToTwips(pixels, dpi) - twips) <= pixelsToTwips(1, dpi);
    }
    void verifyStatusPanels();
    void clickButton(const QString &key);

    std::unique_ptr<Form1> m_window;
};

void TestMainWindow::initTestCase()
{
    m_window = std::make_unique<Form1>();
    m_window->move(0, 0);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
}

// The status bar's panels in order, none past the ends, each as wide in twips as the table
// makes it: the first takes what the others leave, never less than 1440.
void TestMainWindow::verifyStatusPanels()
{
    StatusBar *bar = m_window->statusBar();
    QTRY_COMPARE(bar->width(), m_window->width());
    QVERIFY(!bar->panel(-1) && !bar->panel(5));
    const double first
        = std::max(1440.0, pixelsToTwips(bar->width(), m_window->logicalDpiY()) - 4425);
    const double widths[] = { first, 700, 500, 1440, 1440 };
    for (qsizetype i = 0; i < 5; ++i) {
        QVERIFY2(isTwips(bar->panel(i)->width(), widths[i]), qPrintable(QString::number(i)));
        QVERIFY(i == 0 || bar->panel(i)->x() > bar->panel(i - 1)->geometry().right());
    }
}

void TestMainWindow::clickButton(const QString &key)
{
    QAction *button = m_window->toolBar()->findChild<QAction *>(key);
    QVERIFY(button);
    QTest::mouseClick(m_window->toolBar()->widgetForAction(button), Qt::LeftButton);
}

// The window as it opens: its names, its layout in twips (window 7980 x 6690, toolbar 630,
// editor 5619 high below it, status bar 375 at the bottom with a strip left above it), and its
// toolbar buttons 1095 x 540 twips in one row, separators no wider than 120, no caption elided.
void TestMainWindow::windowAsItOpens()
{
    Form1 &window = *m_window;
    QCOMPARE(window.windowTitle(), u"Change the first letter of every word to Upper Case"_qs);
    QVERIFY(window.windowIcon().availableSizes().contains(QSize(32, 32)));
    QCOMPARE(window.objectName(), u"Form1"_qs);
    for (const char *name :
         { "RichTextBox1", "Toolbar1", "StatusBar1", "ImageList1", "CommonDialog1", "mnuPopup" })
        QVERIFY2(window.findChild<QObject *>(QString::fromLatin1(name)), name);
    QCOMPARE(window.toolBar()->iconSize(), QSize(16, 16));
    QVERIFY(window.imageList()->image(0).isNull() && window.imageList()->image(7).isNull());
    QCOMPARE(window.editor()->contextMenuPolicy(), Qt::NoContextMenu);
    QCOMPARE(QApplication::focusWidget(), window.editor());
    QCOMPARE(spokenName(window.editor()), u"Document"_qs);

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

    StatusBar *bar = window.statusBar();
    QCOMPARE(bar->panel(0)->text() + bar->panel(1)->text() + bar->panel(2)->text(),
             u"QuillmereCAPSINS"_qs);
    QVERIFY(!bar->panel(3)->text().isEmpty() && !bar->panel(4)->text().isEmpty());
    QVERIFY(bar->panel(0)->font().bold());
    verifyStatusPanels();
}

void TestMainWindow::dispatchMatchesExactKeysOnly()
{
    RichTextEditor *editor = m_window->editor();
    CommandContext context { *m_window, *editor };
    editor->setDocumentText(u"some (text)"_qs);
    for (const char *key : { "Open", "EXITP", "edit ", "", "exit" })
        QVERIFY2(!DispatchToolbarKey(QString::fromLatin1(key), context), key);
    QCOMPARE(editor->documentText(), u"some (text)"_qs);
    QVERIFY(DispatchToolbarKey(u"edit", context));
    QCOMPARE(editor->documentText(), u"Some  Text "_qs);
}

// Every way to a command has the same effect: copies and cuts put the selection's lines with LF,
// pastes take the clipboard's lines once, as CR LF; a left press changes nothing, and Insert
// with a modifier leaves typing over alone. The menu opens at the pointer on a right press,
// with Shift held too.
void TestMainWindow::everyPathRunsTheClipboardCommands()
{
    QFETCH(QStringList, fields);
    RichTextEditor *editor = m_window->editor();
    editor->setDocumentText(u"alpha\r\nbeta gamma"_qs);
    QTextCursor cursor = editor->textCursor();
    cursor.setPosition(0);
    cursor.setPosition(10, QTextCursor::KeepAnchor);
    editor->setTextCursor(cursor);
    QGuiApplication::clipboard()->setText(u"X\rY"_qs);
    const QString path = fields[1].section(u' ', 0, 0);
    const QString key = fields[1].section(u' ', 1);
    QWidget *viewport = editor->viewport();
    QMenu *menu = m_window->popupMenu();
    if (path == u"toolbar") {
        clickButton(key);
    } else if (path == u"menu") {
        QTest::mousePress(viewport, Qt::RightButton, Qt::ShiftModifier, PressPoint);
        QTRY_COMPARE(QApplication::activePopupWidget(), menu);
        QCOMPARE(menu->pos(), viewport->mapToGlobal(PressPoint));
        QAction *item = menu->findChild<QAction *>(key);
        QVERIFY(item && item->isShortcutVisibleInContextMenu());
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
        QTRY_VERIFY(!menu->isVisible());
    } else if (path == u"left") {
        QTest::mousePress(viewport, Qt::LeftButton, {}, PressPoint);
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, PressPoint);
        QTest::qWait(50);
        QCOMPARE(QApplication::activePopupWidget(), nullptr);
    } else {
        const QKeyCombination keys = QKeySequence(fields[1])[0];
        QTest::keyClick(editor, keys.key(), keys.keyboardModifiers());
    }
    QCOMPARE(editor->documentText(), fields[2]);
    QCOMPARE(QGuiApplication::clipboard()->text(), fields[3]);
    QVERIFY(!editor->overwriteMode());
}

// A lock key pressed at the window counts once, however far the press travels among its widgets
// and however long it is held; Insert also switches the editor to typing over. The panels
// follow, enabled while lit and telling a screen reader their state. Insert pressed in the file
// dialog leaves typing as it is.
void TestMainWindow::lockKeysToggleOnceAndShow()
{
    QFETCH(QStringList, fields);
    RichTextEditor *editor = m_window->editor();
    m_window->fileDialog()->winId();
    QTest::keyClick(m_window->fileDialog()->windowHandle(), Qt::Key_Insert);
    QVERIFY(!editor->overwriteMode());
    QGuiApplication::clipboard()->clear(); // for Shift+Insert, which pastes
    const QKeyCombination key = QKeySequence(fields[1])[0];
    PressedKeyState keys;
    for (const bool again : { false, true }) {
        editor->setDocumentText(u"abc"_qs);
        editor->moveCursor(QTextCursor::Start);
        QTest::keyClick(m_window->windowHandle(), key.key(), key.keyboardModifiers());
        QKeyEvent held(QEvent::KeyPress, key.key(), key.keyboardModifiers(), QString(), true);
        QCoreApplication::sendEvent(m_window->windowHandle(), &held);
        const bool capsLock = fields[2] == u"on" && !again;
        const bool insert = fields[3] == u"on" && !again;
        QCOMPARE(keys.isCapsLockOn(), capsLock);
        QCOMPARE(keys.isInsertToggleOn(), insert);
        QCOMPARE(editor->overwriteMode(), insert);
        for (const auto &[panel, name] :
             { std::pair(1, capsLock ? u"Caps Lock on"_qs : u"Caps Lock off"_qs),
               { 2, insert ? u"Overwrite on"_qs : u"Overwrite off"_qs } }) {
            QLabel *label = m_window->statusBar()->panel(panel);
            QTRY_COMPARE(spokenName(label), name);
            QVERIFY(!QAccessible::queryAccessibleInterface(label)
                         ->text(QAccessible::Description)
                         .isEmpty());
            QCOMPARE(label->isEnabled(), name.endsWith(u" on"));
        }
        QTest::keyClicks(editor, u"X"_qs);
        QCOMPARE(editor->documentText(), insert ? u"Xbc"_qs : u"Xabc"_qs);
    }
}

// The clock, in the locale's short formats, changes as the minute begins, or the second if the
// format shows seconds, and not before.
void TestMainWindow::clockChangesOnTime()
{
    QFETCH(QStringList, fields);
    QLocale::setDefault(QLocale(fields[1]));
    QDateTime now = QDateTime::fromString(fields[2], Qt::ISODateWithMs);
    StatusBar bar(nullptr, nullptr, [&now] { return now; });
    const auto shown = [&] { return bar.panel(3)->text() + u' ' + bar.panel(4)->text(); };
    QCOMPARE(shown(), fields[4]);
    now = QDateTime::fromString(fields[3], Qt::ISODateWithMs);
    QTest::qWait(400);
    QTRY_COMPARE_WITH_TIMEOUT(shown(), fields[5], 2000);
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
        verifyStatusPanels();
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
