// SPDX-License-Identifier: GPL-3.0-or-later
#include "richtexteditor.h"

#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextBlockFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <QTextList>
#include <QTextTable>

using namespace Quillmere;

namespace {

// What a large paste must carry across untouched: runs of formats, a block with its own
// alignment and indent, a list and a table.
const QString Formatted = u"<p align=center><b>Heading in bold</b></p>"
                          "<p style='-qt-block-indent:2'>plain then <span style='color:red'>red "
                          "words</span> and plain again</p><ul><li>first item</li><li>second "
                          "item</li></ul><p>before the table</p><table><tr><td></td><td></td></tr>"
                          "<tr><td></td><td>cell</td></tr></table><p><b>last line</b></p>"_qs;

// More than the editor pastes the ordinary way, with every kind of line break.
QString largeText()
{
    QString text;
    for (int line = 0; text.size() <= RichTextEditor::LargeInsertUnits; ++line)
        text += u"line %1 of pasted text, é and ж too%2"_qs.arg(line).arg(line % 7 ? u"\r\n"
                                                                                   : u"\r");
    return text + u"\nno break at the end"_qs;
}

int positionOf(const QTextDocument &document, const QString &text, int offset)
{
    return int(document.toPlainText().indexOf(text)) + offset;
}

} // namespace

class tst_LargeEdits : public QObject
{
    Q_OBJECT

private slots:
    void largePasteEqualsOrdinaryInsert_data();
    void largePasteEqualsOrdinaryInsert();
    void largePasteOnShownEditor_data();
    void largePasteOnShownEditor();
};

void tst_LargeEdits::largePasteEqualsOrdinaryInsert_data()
{
    QTest::addColumn<bool>("formatted");
    QTest::addColumn<QString>("anchorAt");
    QTest::addColumn<int>("anchorOffset");
    QTest::addColumn<QString>("caretAt");
    QTest::addColumn<int>("caretOffset");

    QTest::addRow("empty document") << false << QString() << 0 << QString() << 0;
    QTest::addRow("caret inside a bold run") << true << u"Heading"_qs << 4 << u"Heading"_qs << 4;
    QTest::addRow("selection across blocks") << true << u"in bold"_qs << 0 << u"red words"_qs << 3;
    QTest::addRow("backward selection from the start")
        << true << u"plain then"_qs << 5 << u"Heading"_qs << 0;
    QTest::addRow("selection over the table") << true << u"the table"_qs << 4 << u"last"_qs << 2;
    QTest::addRow("caret at the end") << true << u"last line"_qs << 9 << u"last line"_qs << 9;
}

// The paste of a large text, however the editor makes it, gives the document, caret and single
// undo step that QTextCursor::insertText on the same selection gives.
void tst_LargeEdits::largePasteEqualsOrdinaryInsert()
{
    QFETCH(bool, formatted);
    QFETCH(QString, anchorAt);
    QFETCH(int, anchorOffset);
    QFETCH(QString, caretAt);
    QFETCH(int, caretOffset);
    const QString text = largeText();

    RichTextEditor editor;
    QTextDocument expected;
    if (formatted) {
        editor.setHtml(Formatted);
        expected.setHtml(Formatted);
    }
    editor.document()->clearUndoRedoStacks();
    const QString before = editor.document()->toHtml();

    QTextCursor selection(editor.document());
    selection.setPosition(positionOf(expected, anchorAt, anchorOffset));
    selection.setPosition(positionOf(expected, caretAt, caretOffset), QTextCursor::KeepAnchor);
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

void tst_LargeEdits::largePasteOnShownEditor_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addRow("left to lay out") << QString();
    QTest::addRow("key pressed during the layout") << u"x"_qs;
}

// A large paste returns before the text up to the caret is laid out: a key pressed meanwhile
// lands at the caret, and the view reaches the caret once the layout does.
void tst_LargeEdits::largePasteOnShownEditor()
{
    QFETCH(QString, typed);
    QString pasted;
    for (int line = 0; pasted.size() <= 4 * RichTextEditor::LargeInsertUnits; ++line)
        pasted += u"pasted line %1\r\n"_qs.arg(line);

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

QTEST_MAIN(tst_LargeEdits)
#include "tst_largeedits.moc"
