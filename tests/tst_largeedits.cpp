// SPDX-License-Identifier: GPL-3.0-or-later
#include "richtexteditor.h"

#include <QTest>
#include <QTextCursor>
#include <QTextDocument>

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

QTEST_MAIN(tst_LargeEdits)
#include "tst_largeedits.moc"
