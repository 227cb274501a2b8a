// SPDX-License-Identifier: GPL-3.0-or-later
#include "capitalize.h"
#include "documenttext.h"
#include "richtexteditor.h"
#include "rtfreader.h"
#include "rtfwriter.h"

#include <QAbstractTextDocumentLayout>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextDocumentFragment>
#include <QTextFrame>
#include <QTextLayout>

using namespace Quillmere;

namespace {

// What the command and a large paste must carry across: runs of formats, a block with its own
// alignment and indent, a list and a table.
const QString Formatted = u"<p align=center><b>Heading (in bold)</b></p><p style='-qt-block-indent:"
                          "2'>plain then <span style='color:red'>red_words</span> and plain; "
                          "again</p><ul><li>first item</li><li>second item</li></ul><p>before the "
                          "table</p><table><tr><td></td><td></td></tr><tr><td>cell one</td><td>"
                          "cell TWO</td></tr></table><p><b>last line</b></p>"_qs;

} // namespace

class TestRichTextEditor : public QObject
{
    Q_OBJECT

private slots:
    void documentTextUsesCrLf();
    void commandsUndoAndRedoOneByOne_data();
    void commandsUndoAndRedoOneByOne();
    void mouseDownReportsButtonCodes();
    void shownDocumentGetsScrollBarItNeeds_data();
    void shownDocumentGetsScrollBarItNeeds();
    void documentQtWouldHangOnLaysOut_data();
    void documentQtWouldHangOnLaysOut();
    void largePasteEqualsOrdinaryInsert_data();
    void largePasteEqualsOrdinaryInsert();
    void largePasteOnShownEditor_data();
    void largePasteOnShownEditor();
};

// Qt's paragraph and line separators and frame markers read as CR LF; written, every kind of
// break becomes CR LF and markup stays text.
void TestRichTextEditor::documentTextUsesCrLf()
{
    QCOMPARE(toDocumentText(u"\uFDD0x\uFDD1a\u2029b\u2029\u2029c\u2028d"_qs),
             u"\r\nx\r\na\r\nb\r\n\r\nc\r\nd"_qs);
    RichTextEditor editor;
    editor.setDocumentText(u"one\ntwo\rthree\r\n<b>not bold</b>"_qs);
    QCOMPARE(editor.documentText(), u"one\r\ntwo\r\nthree\r\n<b>not bold</b>"_qs);
}

void TestRichTextEditor::commandsUndoAndRedoOneByOne_data()
{
    QTest::addColumn<QKeyCombination>("redoKey");
    QTest::addRow("Ctrl+Y") << QKeyCombination(Qt::ControlModifier, Qt::Key_Y);
    QTest::addRow("Ctrl+Shift+Z") << QKeyCombination(Qt::ControlModifier | Qt::ShiftModifier,
                                                     Qt::Key_Z);
}

// The command's eight whole-text writes replace the document once, as one undo step that brings
// back exactly what was there: formats, a list, tables, a picture read from a file (a save
// writes back the data it came with) and a long table read as a stack of shorter ones, which
// still gives one line a cell. Each command and each whole-text write is a step of its own,
// taken back and forth by the keys; typing after an undo drops the steps ahead.
void TestRichTextEditor::commandsUndoAndRedoOneByOne()
{
    QFETCH(QKeyCombination, redoKey);
    RichTextEditor editor;
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));
    const auto press = [&](QKeyCombination key) {
        QTest::keyClick(&editor, key.key(), key.keyboardModifiers());
    };
    const QKeyCombination undoKey(Qt::ControlModifier, Qt::Key_Z);
    editor.setHtml(Formatted);
    QByteArray rtf = "{\\rtf1 {\\pict\\wmetafile8\\picw2540\\pich2540 0100}\\par ";
    QString text = u"Heading (in bold)\r\nplain then red_words and plain; again\r\nfirst "
                   u"item\r\n"
                   "second item\r\nbefore the table\r\n\r\n\r\ncell one\r\ncell TWO\r\n"
                   "\r\nlast line\uFFFC"_qs;
    // Cells long enough that the command reads and copies the text in several slices.
    const QByteArray longWord(6000, 'y');
    for (int row = 0; row < 40; ++row) {
        rtf += "\\trowd\\cellx1000\\cellx2000\\pard\\intbl a" + QByteArray::number(row) + longWord
            + "\\cell b\\cell\\row ";
        text += u"\r\na%1%2\r\nb"_qs.arg(row).arg(QString::fromLatin1(longWord));
    }
    QTextCursor end(editor.document());
    end.movePosition(QTextCursor::End);
    end.insertFragment(QTextDocumentFragment(readRtf(rtf + "\\pard after}").get()));
    text += u"\r\nafter"_qs;
    QVERIFY(editor.document()->rootFrame()->childFrames().size() > 2);
    QCOMPARE(editor.documentText(), text);
    QTextCursor selection(editor.document());
    selection.setPosition(2);
    selection.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    editor.setTextCursor(selection);
    QCOMPARE(editor.selectionText(), text.sliced(2));
    const QByteArray saved = writeRtf(*editor.document());
    QVERIFY(saved.contains("{\\pict\\wmetafile8\\picw2540\\pich2540 \r\n0100\r\n}"));
    const QString html = editor.toHtml();

    ApplyCapitalizeWords(editor);
    QCOMPARE(editor.documentText(), CapitalizeWords(text));
    // The text is written back plain: no list, table, alignment or character format is left.
    RichTextEditor plain;
    plain.setDocumentText(editor.documentText());
    QCOMPARE(editor.toHtml(), plain.toHtml());
    press(undoKey);
    QCOMPARE(editor.documentText(), text);
    QCOMPARE(editor.toHtml(), html);
    QCOMPARE(writeRtf(*editor.document()), saved);

    QTest::keyClicks(&editor, u"x"_qs);
    QVERIFY(!editor.document()->isRedoAvailable());
    press(redoKey);
    text.prepend(u'x');
    QCOMPARE(editor.documentText(), text);
    // The document the redo history held is released once nothing can reach it.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(editor.findChildren<QTextDocument *>(Qt::FindDirectChildrenOnly).size(), 1);

    ApplyCapitalizeWords(editor);
    editor.setDocumentText(editor.documentText() + u"\r\nthree_four"_qs);
    ApplyCapitalizeWords(editor);
    const QStringList steps { text, CapitalizeWords(text),
                              CapitalizeWords(text) + u"\r\nthree_four"_qs,
                              CapitalizeWords(text + u"\r\nthree_four"_qs) };
    for (qsizetype step = steps.size() - 1; step > 0; --step) {
        QCOMPARE(editor.documentText(), steps.at(step));
        press(undoKey);
    }
    QCOMPARE(editor.documentText(), steps.at(0));
    press(redoKey);
    press(redoKey);
    // Left so, with documents both behind and ahead, the editor's destruction is tested too.
    QCOMPARE(editor.documentText(), steps.at(2));
}

// Buttons and modifiers come as codes (left 1, right 2, middle 4; Shift 1, Ctrl 2, Alt 4), the
// place in twips; the window's menu test presses the others. A press still places the caret.
void TestRichTextEditor::mouseDownReportsButtonCodes()
{
    RichTextEditor editor;
    editor.setDocumentText(u"selected"_qs);
    editor.selectAll();
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));
    QSignalSpy spy(&editor, &RichTextEditor::mouseDown);
    const QPoint inViewport(30, 20);
    QTest::mouseClick(editor.viewport(), Qt::LeftButton, {}, inViewport);
    QVERIFY(!editor.textCursor().hasSelection());
    QTest::mouseClick(editor.viewport(), Qt::MiddleButton, Qt::ControlModifier | Qt::AltModifier,
                      inViewport);
    const QPointF twips
        = QPointF(editor.viewport()->mapTo(&editor, inViewport)) * 1440.0 / editor.logicalDpiY();
    QCOMPARE(
        QList<QVariantList>(spy),
        QList<QVariantList>({ { 1, 0, twips.x(), twips.y() }, { 4, 6, twips.x(), twips.y() } }));
}

void TestRichTextEditor::shownDocumentGetsScrollBarItNeeds_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<bool>("scrollBar");

    const QByteArray row = "\\trowd\\cellx1000\\cellx2000\\pard\\intbl a\\cell b\\cell\\row ";
    QTest::addRow("long table") << "{\\rtf1 " + row.repeated(100) + "}" << true;
    QTest::addRow("short table") << "{\\rtf1 " + row.repeated(3) + "}" << false;
    // More paragraphs than lines of the default font fit, but in a font of one point.
    QTest::addRow("tiny lines") << "{\\rtf1\\fs2 " + QByteArray("x\\par ").repeated(40) + "}"
                                << false;
}

void TestRichTextEditor::shownDocumentGetsScrollBarItNeeds()
{
    QFETCH(QByteArray, rtf);
    QFETCH(bool, scrollBar);
    RichTextEditor editor;
    editor.resize(400, 300);
    editor.show();
    editor.installDocument(readRtf(rtf));
    QCOMPARE(editor.verticalScrollBar()->isVisibleTo(&editor), scrollBar);
    QCOMPARE(editor.verticalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
    editor.installDocument(readRtf("{\\rtf1 short}"));
    QVERIFY(!editor.verticalScrollBar()->isVisibleTo(&editor));
}

void TestRichTextEditor::documentQtWouldHangOnLaysOut_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<qreal>("leastHeight");
    QTest::addColumn<bool>("wrappedAnywhere");
    // Wider than the editor, so one a line.
    const QByteArray picture = "{\\pict\\pngblip\\picscaley1000\\picwgoal31680\\pichgoal31680 00}";
    QTest::addRow("a paragraph of words in the largest font")
        << "{\\rtf1\\fs3276 " + QByteArray("W ").repeated(4000) + "}" << 8.4e6 << false;
    QTest::addRow("paragraphs in the largest font")
        << "{\\rtf1\\fs3276 " + QByteArray("W\\par ").repeated(4000) + "}" << 8.4e6 << false;
    // Tables go without a page height unless they would come near it: here the first of 63
    // columns holds all the height.
    const auto tallTable = [](const QByteArray &paragraph) {
        QByteArray row = "\\trowd";
        for (int column = 1; column <= 63; ++column)
            row += "\\cellx" + QByteArray::number(column * 100);
        row += "\\pard\\intbl" + paragraph + ' ' + QByteArray("W\\par ").repeated(1000)
            + QByteArray("\\cell").repeated(63) + "\\row ";
        return "{\\rtf1 " + row.repeated(4) + "}";
    };
    QTest::addRow("table cells in the largest font") << tallTable("\\fs3276") << 8.4e6 << false;
    QTest::addRow("table cells with the widest spacing")
        << tallTable("\\sa32767") << 8.4e6 << false;
    QTest::addRow("table cells with the tallest lines")
        << tallTable("\\sl32767\\slmult0") << 8.4e6 << false;
    QTest::addRow("tall pictures in one table cell")
        << "{\\rtf1 \\trowd\\cellx5000\\pard\\intbl " + picture.repeated(450) + "\\cell\\row}"
        << 8.4e6 << false;
    QTest::addRow("a word of 300,000 letters, and others")
        << "{\\rtf1 short words\\par " + QByteArray(300'000, 'x') + "}" << 0.0 << true;
}

// Documents taller than the 8,388,607 pixels Qt lays out without a page height, where its own
// layout would loop for ever, and words long enough that breaking them would take minutes, are
// laid out to their end at once, and shown there.
void TestRichTextEditor::documentQtWouldHangOnLaysOut()
{
    QFETCH(QByteArray, rtf);
    QFETCH(qreal, leastHeight);
    QFETCH(bool, wrappedAnywhere);
    RichTextEditor editor;
    editor.resize(400, 300);
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));
    editor.installDocument(readRtf(rtf));
    const qreal height = editor.document()->documentLayout()->documentSize().height();
    QVERIFY2(height > leastHeight, qPrintable(QString::number(height)));
    QCOMPARE(editor.document()->defaultTextOption().wrapMode() == QTextOption::WrapAnywhere,
             wrappedAnywhere);
    editor.resize(300, 300);
    editor.moveCursor(QTextCursor::End);
    QVERIFY(editor.viewport()->rect().intersects(editor.cursorRect()));
}

void TestRichTextEditor::largePasteEqualsOrdinaryInsert_data()
{
    QTest::addColumn<QString>("anchorAt"); // null: into an empty document
    QTest::addColumn<int>("anchorOffset");
    QTest::addColumn<QString>("caretAt");
    QTest::addColumn<int>("caretOffset");

    QTest::addRow("empty document") << QString() << 0 << QString() << 0;
    QTest::addRow("caret inside a bold run") << u"Heading"_qs << 4 << u"Heading"_qs << 4;
    QTest::addRow("selection across blocks") << u"in bold"_qs << 0 << u"red_words"_qs << 3;
    QTest::addRow("backward selection from the start")
        << u"plain then"_qs << 5 << u"Heading"_qs << 0;
    QTest::addRow("selection over the table") << u"the table"_qs << 4 << u"last"_qs << 2;
    QTest::addRow("caret at the end") << u"last line"_qs << 9 << u"last line"_qs << 9;
    QTest::addRow("caret in a table cell") << u"cell one"_qs << 4 << u"cell one"_qs << 4;
    QTest::addRow("selection into a list") << u"again"_qs << 2 << u"first item"_qs << 5;
}

// The paste of a large text, however the editor makes it, gives the document, caret and single
// undo step that QTextCursor::insertText on the same selection gives.
void TestRichTextEditor::largePasteEqualsOrdinaryInsert()
{
    QFETCH(QString, anchorAt);
    QFETCH(int, anchorOffset);
    QFETCH(QString, caretAt);
    QFETCH(int, caretOffset);
    // More than the editor pastes the ordinary way, with every kind of line break.
    const QString text = u"pasted é ж\r\nline\rbreaks\n"_qs.repeated(3000) + u"end"_qs;

    RichTextEditor editor;
    QTextDocument expected;
    if (!anchorAt.isNull()) {
        editor.setHtml(Formatted);
        expected.setHtml(Formatted);
    }
    editor.document()->clearUndoRedoStacks();
    const QString before = editor.document()->toHtml();
    const QString plain = expected.toPlainText();

    QTextCursor selection(editor.document());
    selection.setPosition(int(plain.indexOf(anchorAt)) + anchorOffset);
    selection.setPosition(int(plain.indexOf(caretAt)) + caretOffset, QTextCursor::KeepAnchor);
    editor.setTextCursor(selection);
    QTextCursor ordinary(&expected);
    ordinary.setPosition(selection.anchor());
    ordinary.setPosition(selection.position(), QTextCursor::KeepAnchor);
    ordinary.insertText(text);

    editor.setSelectionText(text);
    const QString after = editor.document()->toHtml();
    QCOMPARE(after, expected.toHtml());
    QCOMPARE(editor.textCursor().position(), ordinary.position());
    QVERIFY(!editor.textCursor().hasSelection());

    editor.undo();
    QCOMPARE(editor.document()->toHtml(), before);
    editor.redo();
    QCOMPARE(editor.document()->toHtml(), after);
}

void TestRichTextEditor::largePasteOnShownEditor_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addRow("left to lay out") << QString();
    QTest::addRow("key pressed during the layout") << u"x"_qs;
}

// A large paste returns before the text up to the caret is laid out: a key pressed meanwhile
// lands at the caret, and the view reaches the caret once the layout does.
void TestRichTextEditor::largePasteOnShownEditor()
{
    QFETCH(QString, typed);
    // Filled in slices of 128K units, with a CR LF pair straddling each boundary: each must stay
    // one break.
    const QString pasted = u"x\r\n"_qs.repeated(4 * RichTextEditor::LargeInsertUnits / 3 + 1);

    RichTextEditor editor;
    editor.resize(400, 300);
    editor.setPlainText(u"before after"_qs);
    editor.document()->clearUndoRedoStacks();
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));
    QTextCursor caret = editor.textCursor();
    caret.setPosition(7);
    editor.setTextCursor(caret);

    editor.setSelectionText(pasted);
    QVERIFY2(editor.document()->lastBlock().layout()->lineCount() == 0,
             "the layout should still be running");
    if (!typed.isEmpty())
        QTest::keyClicks(&editor, typed);
    QCOMPARE(editor.documentText(), u"before "_qs + pasted + typed + u"after"_qs);
    QCOMPARE(editor.textCursor().position(), int(editor.toPlainText().lastIndexOf(u"after"_qs)));

    const QTextBlock caretBlock = editor.textCursor().block();
    QTRY_VERIFY_WITH_TIMEOUT(caretBlock.isVisible() && caretBlock.layout()->lineCount() > 0, 30000);
    QVERIFY(editor.verticalScrollBar()->value() > 0);
    QVERIFY(editor.viewport()->rect().contains(editor.cursorRect().center()));

    for (int step = typed.isEmpty() ? 1 : 2; step > 0; --step)
        editor.undo();
    QCOMPARE(editor.documentText(), u"before after"_qs);
}

QTEST_MAIN(TestRichTextEditor)
#include "tst_richtexteditor.moc"
