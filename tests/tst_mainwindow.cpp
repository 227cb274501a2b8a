// SPDX-License-Identifier: GPL-3.0-or-later
#include "commands.h"
#include "filedialog.h"
#include "files.h"
#include "imagelist.h"
#include "keystate.h"
#include "mainwindow.h"
#include "richtexteditor.h"
#include "rtfwriter.h"
#include "statusbar.h"
#include "twips.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QClipboard>
#include <QComboBox>
#include <QCompleter>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include <csignal>
#include <functional>
#include <memory>

using namespace Quillmere;

namespace {

const QPoint PressPoint(40, 30);

void rows(const QString &kind)
{
    addFixtureRows(QFINDTESTDATA("data/mainwindow.txt"), kind);
}

// What a screen reader is told of a widget: Qt's accessibility interface, not the properties.
QString spoken(QWidget *widget, QAccessible::Text text = QAccessible::Name)
{
    return QAccessible::queryAccessibleInterface(widget)->text(text);
}

// The texts of a model's items under `root`, as a list view or a combo box shows them.
QStringList itemTexts(const QAbstractItemModel *model, const QModelIndex &root = {})
{
    QStringList texts;
    for (int row = 0; row < model->rowCount(root); ++row)
        texts << model->index(row, 0, root).data().toString();
    return texts;
}

// Plays the person at the keyboard while the window waits in a modal dialog: each step runs, in
// order, on the next modal widget to show, if that is of the kind the step takes. Any other is
// closed at once, so that a fault cannot leave the test waiting for ever; it, and any step that
// never ran, fail the test.
class ModalDriver : public QObject
{
public:
    template<typename... Steps> explicit ModalDriver(Steps... steps)
    {
        (add(std::function(steps)), ...);
        poll();
    }
    ~ModalDriver() override
    {
        QVERIFY2(m_next == m_steps.size() && m_problems.isEmpty(),
                 qPrintable(m_problems.join(u"; "_qs)
                            + u"; steps that never ran: %1"_qs.arg(m_steps.size() - m_next)));
    }

private:
    template<typename Widget> void add(std::function<void(Widget *)> step)
    {
        m_steps << [step](QWidget *modal) {
            auto *widget = qobject_cast<Widget *>(modal);
            return widget && (step(widget), true);
        };
    }
    void poll()
    {
        // Due before the step runs, as a step may open a dialog of its own and wait in it.
        QTimer::singleShot(20, this, [this] { poll(); });
        QWidget *modal = QApplication::activeModalWidget();
        // A step that waits, for a listing say, leaves its own dialog up without being stuck.
        if (!modal || !modal->isVisible() || m_inSteps.contains(modal))
            return;
        m_inSteps << modal;
        if (m_next == m_steps.size() || !m_steps.at(m_next++)(modal)) {
            const auto *box = qobject_cast<QMessageBox *>(modal);
            m_problems << QString::fromLatin1(modal->metaObject()->className())
                    + (box ? u" saying "_qs + box->text() : QString()) + u" showed out of turn"_qs;
            modal->close(); // a dialog rejects itself
        }
        m_inSteps.removeOne(modal);
    }

    QList<std::function<bool(QWidget *)>> m_steps;
    qsizetype m_next = 0; // the step for the next widget to show
    QList<QWidget *> m_inSteps; // widgets whose steps are running, innermost last
    QStringList m_problems;
};

} // namespace

// One window, shown once, serves every check; the ones that resize or close it come last.
class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup() { QLocale::setDefault(QLocale::system()); }
    void windowAsItOpens();
    void everyPathRunsTheCommands_data() { rows(u"path"_qs); }
    void everyPathRunsTheCommands();
    void lockKeysToggleOnceAndShow_data() { rows(u"keys"_qs); }
    void lockKeysToggleOnceAndShow();
    void clockChangesOnTime_data() { rows(u"clock"_qs); }
    void clockChangesOnTime();
    void fileCommandsShowTheDialogAsSetUp();
    void resizingMovesOnlyTheEditorWidthUnlessMinimised();
    void exitButtonClosesTheWindow();

private:
    // `pixels` within a pixel of `twips`.
    bool isTwips(int pixels, double twips) const
    {
        const int dpi = m_window->logicalDpiY();
        return qAbs(pixelsToTwips(pixels, dpi) - twips) <= pixelsToTwips(1, dpi);
    }
    void verifyStatusPanels();
    void clickButton(const QString &key)
    {
        QAction *button = m_window->toolBar()->findChild<QAction *>(key);
        QVERIFY(button);
        QTest::mouseClick(m_window->toolBar()->widgetForAction(button), Qt::LeftButton);
    }

    std::unique_ptr<Form1> m_window;
};

void TestMainWindow::initTestCase()
{
    // Qt's file dialog remembers folders in the user's settings; keep the test out of them. The
    // file-size signal left at its default shows that the window itself keeps it from ending us.
    QStandardPaths::setTestModeEnabled(true);
    std::signal(SIGXFSZ, SIG_DFL);
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
    QCOMPARE(spoken(window.editor()), u"Document"_qs);

    const QRect editor = window.editor()->geometry();
    const QRect toolBar = window.toolBar()->geometry();
    const QRect statusBar = window.statusBar()->geometry();
    QVERIFY(isTwips(window.width(), 7980) && isTwips(window.height(), 6690));
    QVERIFY(isTwips(editor.top(), 630) && isTwips(editor.height(), 5619));
    QVERIFY(toolBar.topLeft().isNull() && isTwips(toolBar.height(), 630));
    QVERIFY(statusBar.bottom() == window.height() - 1 && isTwips(statusBar.height(), 375)
            && editor.bottom() < statusBar.top());
    const int dpi = window.logicalDpiY();
    int buttons = 0;
    int top = 0;
    for (QAction *action : window.toolBar()->actions()) {
        QWidget *widget = window.toolBar()->widgetForAction(action);
        QVERIFY(widget->isVisible() && widget->geometry().right() < toolBar.width());
        if (action->isSeparator()) {
            QVERIFY(widget->width() <= twipsToPixels(120, dpi));
            continue;
        }
        top = buttons++ ? top : widget->y();
        QCOMPARE(widget->geometry(),
                 QRect(widget->x(), top, twipsToPixels(1095, dpi), twipsToPixels(540, dpi)));
        QVERIFY(!action->icon().isNull());
        QVERIFY2(QFontMetrics(widget->font()).horizontalAdvance(action->text()) < widget->width(),
                 "caption would be elided");
    }
    QCOMPARE(buttons, 6);

    StatusBar *bar = window.statusBar();
    QCOMPARE(bar->panel(0)->text() + bar->panel(1)->text() + bar->panel(2)->text(),
             u"QuillmereCAPSINS"_qs);
    QVERIFY(bar->panel(0)->font().bold());
    verifyStatusPanels();
}

// Every way to a command has the same effect: copies and cuts put the selection's lines with LF,
// pastes take the clipboard's lines once, as CR LF; a command runs only for its exact key; a left
// press changes nothing, and Insert with a modifier leaves typing over alone. The menu opens at
// the pointer on a right press, with Shift held too.
void TestMainWindow::everyPathRunsTheCommands()
{
    QFETCH(QStringList, fields);
    RichTextEditor *editor = m_window->editor();
    editor->setDocumentText(u"alpha\r\nbeta gamma"_qs);
    QTextCursor cursor(editor->document());
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
    } else if (path == u"dispatch") {
        CommandContext context { *m_window, *editor };
        QCOMPARE(DispatchToolbarKey(key, context), key == u"edit");
    } else if (path == u"left") {
        QTest::mouseClick(viewport, Qt::LeftButton, {}, PressPoint);
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
        const bool lit[] = { fields[2] == u"on" && !again, fields[3] == u"on" && !again };
        QCOMPARE(keys.isCapsLockOn(), lit[0]);
        QCOMPARE(keys.isInsertToggleOn(), lit[1]);
        QCOMPARE(editor->overwriteMode(), lit[1]);
        for (const int panel : { 1, 2 }) {
            QLabel *label = m_window->statusBar()->panel(panel);
            QTRY_COMPARE(spoken(label),
                         (panel == 1 ? u"Caps Lock "_qs : u"Overwrite "_qs)
                             + (lit[panel - 1] ? u"on"_qs : u"off"_qs));
            QVERIFY(!spoken(label, QAccessible::Description).isEmpty());
            QCOMPARE(label->isEnabled(), lit[panel - 1]);
        }
        QTest::keyClicks(editor, u"X"_qs);
        QCOMPARE(editor->documentText(), lit[1] ? u"Xbc"_qs : u"Xabc"_qs);
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

// The toolbar's file commands share the window's one dialog, Qt's own, which lists each file
// type's files in any case, and folders always. Each showing starts afresh on our settings,
// whatever a person changed in the last one, on the Text Files entry, offering exactly the path
// chosen last or, before any, nothing: never a name typed into a cancelled dialog. A name typed
// is kept as it is when the person picks another file type, where Qt's dialog would swap its
// extension for the new type's. The list of completions goes with the dialog rather than staying
// over the window. A cancelled open leaves the document alone, a cancelled save the file; the
// file opened is saved under its own name once the person agrees to replace it. On a full disk
// the save fails over the window, saying where and why, and keeps both the file and the document.
void TestMainWindow::fileCommandsShowTheDialogAsSetUp()
{
    QTemporaryDir folder;
    const QString path = folder.filePath(u"notes.rtf"_qs);
    const QByteArray opened = stateOf(folder.path(),
                                      u"printf '%s' '{\\rtf1\\ansi first draft}' >notes.rtf\n"
                                      "touch README REPORT.RTF notes.rtf.bak letter.txt .hidden\n"
                                      "mkdir folder"_qs);
    RichTextEditor *editor = m_window->editor();
    const auto nameEdit
        = [](QFileDialog *dialog) { return dialog->findChild<QLineEdit *>(u"fileNameEdit"_qs); };
    const auto combo
        = [](QFileDialog *dialog) { return dialog->findChild<QComboBox *>(u"fileTypeCombo"_qs); };
    QWidget *completions = nameEdit(m_window->fileDialog())->completer()->popup();
    // Checks what a showing starts with, then changes what a person may. Both opens come before
    // any path is chosen, the saves after.
    const auto verifyShowing = [&](QFileDialog *shown, bool open) {
        QCOMPARE(shown->fileMode(), open ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
        QCOMPARE(shown->testOption(QFileDialog::DontConfirmOverwrite), open);
        QVERIFY(shown->defaultSuffix().isEmpty()
                && shown->testOption(QFileDialog::DontUseNativeDialog));
        QCOMPARE(
            itemTexts(combo(shown)->model()).join(u'|') + u" on "_qs + combo(shown)->currentText(),
            u"All Files (*.*)|Rich Text Files(*.rtf)|Text Files(*.txt) on Text Files(*.txt)"_qs);
        QCOMPARE(nameEdit(shown)->text(), open ? QString() : u"notes.rtf"_qs);
        shown->setDefaultSuffix(u"doc"_qs);
        shown->setDirectory(folder.path());
    };
    const auto acceptOffered = [&](QFileDialog *shown) {
        verifyShowing(shown, false);
        QTest::keyClick(nameEdit(shown), Qt::Key_Return);
    };
    const auto replace = [](QMessageBox *box) { box->button(QMessageBox::Yes)->click(); };
    // The file types are picked with the arrow keys, as a person does.
    ModalDriver driver(
        [&](QFileDialog *shown) {
            verifyShowing(shown, true);
            nameEdit(shown)->setText(u"typed but cancelled.txt"_qs);
            shown->reject();
        },
        [&](QFileDialog *shown) {
            verifyShowing(shown, true);
            QTest::keyClick(combo(shown), Qt::Key_Up);
            QVERIFY(QTest::qWaitForWindowActive(shown));
            nameEdit(shown)->setFocus();
            QTRY_VERIFY(nameEdit(shown)->hasFocus());
            const auto listed = [view = shown->findChild<QListView *>(u"listView"_qs)] {
                QStringList names = itemTexts(view->model(), view->rootIndex());
                names.sort();
                return names.join(u' ');
            };
            QTRY_COMPARE(listed(), u"REPORT.RTF folder notes.rtf"_qs);
            QTest::keyClicks(nameEdit(shown), u"notes"_qs);
            QTRY_VERIFY(completions->isVisible());
            QTest::keyClicks(completions, u".rtf"_qs);
            QTest::keyClick(completions, Qt::Key_Return);
        },
        [&](QFileDialog *shown) {
            verifyShowing(shown, false);
            nameEdit(shown)->setText(u"notes.txt"_qs);
            QTest::keyClick(combo(shown), Qt::Key_Up);
            QCOMPARE(combo(shown)->currentIndex(), 1);
            QCOMPARE(nameEdit(shown)->text(), u"notes.txt"_qs);
            shown->reject();
        },
        acceptOffered, replace, acceptOffered, replace,
        [&](QMessageBox *box) {
            const QString text = box->text();
            QVERIFY(box->icon() == QMessageBox::Warning && box->parentWidget() == m_window.get());
            QVERIFY2(text.contains(u'\u201c' + path + u'\u201d') && text.contains(u"still open"_qs)
                         && text.size() > saveFailureMessage(path, {}).size(),
                     qPrintable(text));
            box->button(QMessageBox::Ok)->click();
        });

    editor->setDocumentText(u"kept"_qs);
    clickButton(u"open"_qs);
    QCOMPARE(editor->documentText(), u"kept"_qs);
    clickButton(u"open"_qs);
    QCOMPARE(editor->documentText(), u"first draft"_qs);
    QTest::qWait(200);
    QVERIFY(!completions->isVisible());
    editor->setDocumentText(u"second draft"_qs);
    clickButton(u"save"_qs);
    QCOMPARE(stateOf(folder.path()), opened);
    clickButton(u"save"_qs);
    const QByteArray saved = stateOf(folder.path());
    QCOMPARE(
        saved,
        QByteArray(opened).replace("{\\rtf1\\ansi first draft}", writeRtf(*editor->document())));
    const QTextDocument *document = editor->document();
    {
        const FileSizeLimit fullDisk(16);
        clickButton(u"save"_qs);
    }
    QCOMPARE(stateOf(folder.path()), saved);
    QVERIFY(editor->document() == document && editor->documentText() == u"second draft"_qs);
}

// A resize moves the editor's width only, and none while minimised.
void TestMainWindow::resizingMovesOnlyTheEditorWidthUnlessMinimised()
{
    Form1 &window = *m_window;
    const QRect before = window.editor()->geometry();
    window.resize(window.width() + 200, window.height());
    QTRY_COMPARE(window.editor()->geometry(),
                 QRect(0, before.y(), window.width(), before.height()));
    QCOMPARE(window.toolBar()->width(), window.width());
    verifyStatusPanels();
    const QRect shown = window.editor()->geometry();
    window.setWindowState(Qt::WindowMinimized);
    window.resize(300, 200);
    QCOMPARE(window.editor()->geometry(), shown);
    window.setWindowState(Qt::WindowNoState);
    window.resize(200, window.toolBar()->height());
    QTRY_COMPARE(window.editor()->size(), QSize(200, 0));
}

// Exit closes the window at once, asking nothing.
void TestMainWindow::exitButtonClosesTheWindow()
{
    clickButton(u"exitp"_qs);
    QVERIFY(!m_window->isVisible());
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
