// SPDX-License-Identifier: GPL-3.0-or-later
#include "filedialog.h"
#include "keystate.h"
#include "mainwindow.h"
#include "richtexteditor.h"
#include "statusbar.h"
#include "twips.h"

#include <QAccessible>
#include <QLabel>
#include <QLocale>
#include <QTest>
#include <QTextCursor>

using namespace Quillmere;

class TestStatusBar : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void panelsInTheWindow();
    void pressesAtTheWindowToggleOnce_data();
    void pressesAtTheWindowToggleOnce();
    void clockChangesOnTime_data();
    void clockChangesOnTime();
};

void TestStatusBar::cleanup()
{
    QLocale::setDefault(QLocale::system());
}

// The panels in order, past the ends none, each as wide as the table makes it.
void TestStatusBar::panelsInTheWindow()
{
    Form1 window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.resize(window.width() + 240, window.height());
    StatusBar *bar = window.statusBar();
    QTRY_COMPARE(bar->width(), window.width());
    QStringList texts;
    for (qsizetype i = -1; i <= 5; ++i)
        texts << (bar->panel(i) ? bar->panel(i)->text() : u"-"_qs);
    QCOMPARE(texts.mid(0, 4), (QStringList { u"-"_qs, u"Quillmere"_qs, u"CAPS"_qs, u"INS"_qs }));
    QVERIFY(!texts.at(4).isEmpty() && !texts.at(5).isEmpty());
    QCOMPARE(texts.at(6), u"-"_qs);
    QVERIFY(bar->panel(0)->font().bold());

    const double twipsPerPixel = pixelsToTwips(1, window.logicalDpiY());
    const std::array<double, 5> widths { bar->width() * twipsPerPixel - 4425, 700, 500, 1440,
                                         1440 };
    for (qsizetype i = 0; i < 5; ++i) {
        const double width = bar->panel(i)->width() * twipsPerPixel;
        QVERIFY2(qAbs(width - widths.at(size_t(i))) <= twipsPerPixel,
                 qPrintable(u"panel %1 is %2 twips wide"_qs.arg(i + 1).arg(width)));
        if (i > 0)
            QVERIFY(bar->panel(i)->x() > bar->panel(i - 1)->geometry().right());
    }
    QAccessibleInterface *editor = QAccessible::queryAccessibleInterface(window.editor());
    QVERIFY(editor);
    QCOMPARE(editor->text(QAccessible::Name), u"Document"_qs);
}

void TestStatusBar::pressesAtTheWindowToggleOnce_data()
{
    QTest::addColumn<Qt::Key>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<bool>("capsLock");
    QTest::addColumn<bool>("insert");

    QTest::addRow("Caps Lock") << Qt::Key_CapsLock << Qt::KeyboardModifiers() << true << false;
    QTest::addRow("Insert") << Qt::Key_Insert << Qt::KeyboardModifiers() << false << true;
    QTest::addRow("Shift+Insert pastes, no toggle")
        << Qt::Key_Insert << Qt::KeyboardModifiers(Qt::ShiftModifier) << false << false;
    QTest::addRow("Insert on the keypad")
        << Qt::Key_Insert << Qt::KeyboardModifiers(Qt::KeypadModifier) << false << true;
}

// A toggle pressed at the window counts once, however far the press travels among its widgets
// and however long the key is held; Insert also toggles typing over, and the panels follow.
// Pressed in another window of the program, the file dialog, Insert leaves typing as it is.
void TestStatusBar::pressesAtTheWindowToggleOnce()
{
    QFETCH(Qt::Key, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(bool, capsLock);
    QFETCH(bool, insert);
    Form1 window;
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    RichTextEditor *editor = window.editor();
    editor->setDocumentText(u"abc"_qs);
    editor->moveCursor(QTextCursor::Start);
    window.fileDialog()->winId();
    QTest::keyClick(window.fileDialog()->windowHandle(), Qt::Key_Insert);
    QVERIFY(!editor->overwriteMode());

    // Lit, a panel is enabled; a screen reader hears its state in its name.
    const auto verifyPanels = [&](bool capsLockLit, bool insertLit) {
        for (const auto &[panel, name] :
             { std::pair(1, capsLockLit ? u"Caps Lock on"_qs : u"Caps Lock off"_qs),
               { 2, insertLit ? u"Overwrite on"_qs : u"Overwrite off"_qs } }) {
            QLabel *label = window.statusBar()->panel(panel);
            QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(label);
            QVERIFY(accessible);
            QTRY_COMPARE(accessible->text(QAccessible::Name), name);
            QVERIFY(!accessible->text(QAccessible::Description).isEmpty());
            QCOMPARE(label->isEnabled(), name.endsWith(u" on"));
        }
    };
    PressedKeyState keys;
    for (const bool again : { false, true }) {
        QTest::keyClick(window.windowHandle(), key, modifiers);
        QKeyEvent held(QEvent::KeyPress, key, modifiers, QString(), true);
        QCoreApplication::sendEvent(window.windowHandle(), &held);
        // Pressed again, a toggle goes back off.
        QCOMPARE(keys.isCapsLockOn(), capsLock && !again);
        QCOMPARE(keys.isInsertToggleOn(), insert && !again);
        QCOMPARE(editor->overwriteMode(), insert && !again);
        verifyPanels(capsLock && !again, insert && !again);
        if (!again) {
            QTest::keyClicks(editor, u"X"_qs);
            QCOMPARE(editor->documentText(), insert ? u"Xbc"_qs : u"Xabc"_qs);
        }
    }
}

void TestStatusBar::clockChangesOnTime_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QDateTime>("start");
    QTest::addColumn<QDateTime>("later");
    QTest::addColumn<QString>("shownAtStart");
    QTest::addColumn<QString>("shownLater");

    const QLocale us(QLocale::English, QLocale::UnitedStates);
    const QDate day(2025, 6, 1);
    QTest::addRow("the date turns over with the time")
        << us << QDateTime(QDate(2025, 12, 31), QTime(23, 59, 59, 850))
        << QDateTime(QDate(2026, 1, 1), QTime(0, 0)) << u"11:59 PM 12/31/25"_qs
        << u"12:00 AM 1/1/26"_qs;
    // Half a minute remains: a clock that polled would pick the change up at once.
    QTest::addRow("waits for the minute")
        << us << QDateTime(day, QTime(10, 15, 30)) << QDateTime(day, QTime(10, 45))
        << u"10:15 AM 6/1/25"_qs << u"10:15 AM 6/1/25"_qs;
    QTest::addRow("seconds shown tick every second")
        << QLocale::c() << QDateTime(day, QTime(10, 15, 30, 900))
        << QDateTime(day, QTime(10, 15, 31)) << u"10:15:30 1 Jun 2025"_qs
        << u"10:15:31 1 Jun 2025"_qs;
}

void TestStatusBar::clockChangesOnTime()
{
    QFETCH(QLocale, locale);
    QFETCH(QDateTime, start);
    QFETCH(QDateTime, later);
    QFETCH(QString, shownAtStart);
    QFETCH(QString, shownLater);
    QLocale::setDefault(locale);
    QDateTime now = start;
    StatusBar bar(nullptr, nullptr, [&now] { return now; });
    const auto shown = [&] { return bar.panel(3)->text() + u' ' + bar.panel(4)->text(); };
    QCOMPARE(shown(), shownAtStart);
    now = later;
    QTest::qWait(400);
    QTRY_COMPARE_WITH_TIMEOUT(shown(), shownLater, 2000);
}

QTEST_MAIN(TestStatusBar)
#include "tst_statusbar.moc"
