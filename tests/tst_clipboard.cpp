// SPDX-License-Identifier: GPL-3.0-or-later
#include "clipboard.h"
#include "editorinput.h"
#include "richtexteditor.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QTest>
#include <QTextCursor>

using namespace Quillmere;

namespace {

// A clipboard that another program keeps locked: it can be neither read nor written.
class LockedClipboard final : public TextClipboard
{
public:
    std::optional<QString> text() override { return std::nullopt; }
    bool setText(const QString &) override { return false; }
};

void select(RichTextEditor &editor, int from, int to)
{
    QTextCursor cursor = editor.textCursor();
    cursor.setPosition(from);
    cursor.setPosition(to, QTextCursor::KeepAnchor);
    editor.setTextCursor(cursor);
}

QString clipboardText()
{
    return QGuiApplication::clipboard()->text();
}

// The simple statement of the paste conversion: every kind of break is first made LF.
QString crLfOracle(QString text)
{
    text.replace(u"\r\n"_qs, u"\n"_qs).replace(u'\r', u'\n');
    return text.replace(u"\n"_qs, u"\r\n"_qs);
}

} // namespace

class TestClipboard : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void pastedLineBreaksMatchOracleForAllShortTexts();
    void copyPutsOnlyPlainTextThatPastesBack_data();
    void copyPutsOnlyPlainTextThatPastesBack();
    void pasteReplacesTheSelectionInOneStep_data();
    void pasteReplacesTheSelectionInOneStep();
    void cutRemovesOnlyWhatReachedClipboard();
    void middleButtonPastesSelectionSafely();
};

void TestClipboard::init()
{
    QGuiApplication::clipboard()->clear();
}

void TestClipboard::pastedLineBreaksMatchOracleForAllShortTexts()
{
    const QString alphabet = u"a\r\n"_qs;
    QString text;
    // Every text of up to six characters from the alphabet, counted in base three.
    for (int length = 0; length <= 6; ++length) {
        int total = 1;
        for (int i = 0; i < length; ++i)
            total *= int(alphabet.size());
        for (int number = 0; number < total; ++number) {
            text.clear();
            for (int i = 0, rest = number; i < length; ++i, rest /= 3)
                text += alphabet.at(rest % 3);
            const QString documentText = crLfOracle(text);
            QCOMPARE(fromClipboardText(text), documentText);
            QCOMPARE(toClipboardText(documentText), QString(documentText).remove(u'\r'));
        }
    }
}

void TestClipboard::copyPutsOnlyPlainTextThatPastesBack_data()
{
    QTest::addColumn<QString>("html");
    QTest::addColumn<QString>("copied");
    QTest::addRow("formatted paragraphs")
        << u"<p><b>bold</b> words</p><p><i>second</i> \u00E9t\u00E9 \u4E2D</p>"_qs
        << u"bold words\nsecond \u00E9t\u00E9 \u4E2D"_qs;
    // The table's cells each take a line, and the empty paragraph after it one more.
    QTest::addRow("line break, no-break space, list, table")
        << u"a<br>b&nbsp;c<ul><li>d</li></ul><table><tr><td>e</td><td>f</td></tr></table>"_qs
        << u"a\nb\u00A0c\nd\ne\nf\n"_qs;
}

// A drag or the X11 selection take QTextEdit's own copy, which must give the same plain text.
void TestClipboard::copyPutsOnlyPlainTextThatPastesBack()
{
    QFETCH(QString, html);
    QFETCH(QString, copied);
    RichTextEditor editor;
    editor.setHtml(html);
    const QString document = editor.documentText();
    editor.selectAll();

    const QStringList plainText { u"text/plain"_qs };
    QVERIFY(CopySelection(editor));
    QCOMPARE(QGuiApplication::clipboard()->mimeData()->formats(), plainText);
    QCOMPARE(clipboardText(), copied);
    editor.copy();
    QCOMPARE(QGuiApplication::clipboard()->mimeData()->formats(), plainText);
    QCOMPARE(clipboardText(), copied);
    QVERIFY(PasteClipboard(editor));
    QCOMPARE(editor.documentText(), document);
}

void TestClipboard::pasteReplacesTheSelectionInOneStep_data()
{
    QTest::addColumn<QString>("offered");
    QTest::addColumn<QString>("pasted");

    QTest::addRow("empty clipboard") << QString() << u"first "_qs;
    QTest::addRow("only a picture") << u"picture"_qs << u"first "_qs;
    QTest::addRow("HTML beside plain text") << u"<b>loud</b>"_qs << u"first quiet"_qs;
    QTest::addRow("lines") << u"one\ntwo\nthree"_qs << u"first one\r\ntwo\r\nthree"_qs;
}

void TestClipboard::pasteReplacesTheSelectionInOneStep()
{
    QFETCH(QString, offered);
    QFETCH(QString, pasted);
    auto *data = new QMimeData;
    if (offered == u"picture") {
        QImage picture(4, 4, QImage::Format_RGB32);
        picture.fill(Qt::red);
        data->setImageData(picture);
    } else if (offered.startsWith(u'<')) {
        data->setHtml(offered);
        data->setText(u"quiet"_qs);
    } else if (!offered.isEmpty()) {
        data->setText(offered);
    }
    QGuiApplication::clipboard()->setMimeData(data);
    RichTextEditor editor;
    editor.setDocumentText(u"first line"_qs);
    editor.document()->clearUndoRedoStacks();
    select(editor, 6, 10);

    QVERIFY(PasteClipboard(editor));
    QCOMPARE(editor.documentText(), pasted);
    QCOMPARE(editor.document()->blockCount(), pasted.count(u'\n') + 1);
    QTextCursor cursor(editor.document());
    cursor.movePosition(QTextCursor::End);
    QVERIFY(cursor.charFormat().fontWeight() != QFont::Bold);
    QCOMPARE(QGuiApplication::clipboard()->mimeData()->hasImage(), offered == u"picture");
    editor.undo();
    QCOMPARE(editor.documentText(), u"first line"_qs);
    QVERIFY(!editor.document()->isUndoAvailable());
}

// A cut takes out only what reached the clipboard: nothing without a selection, nothing when
// another program keeps the clipboard locked.
void TestClipboard::cutRemovesOnlyWhatReachedClipboard()
{
    RichTextEditor editor;
    editor.setDocumentText(u"cut\r\nme"_qs);
    QVERIFY(!CutSelection(editor));
    select(editor, 2, 5);
    LockedClipboard locked;
    QVERIFY(!CopySelection(editor, locked));
    QVERIFY(!PasteClipboard(editor, locked));
    QVERIFY(!CutSelection(editor, locked));
    QCOMPARE(editor.documentText(), u"cut\r\nme"_qs);
    QCOMPARE(editor.selectionText(), u"t\r\nm"_qs);

    QVERIFY(CutSelection(editor));
    QCOMPARE(editor.documentText(), u"cue"_qs);
    QCOMPARE(clipboardText(), u"t\nm"_qs);
}

void TestClipboard::middleButtonPastesSelectionSafely()
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (!clipboard->supportsSelection())
        QSKIP("only X11 has a selection to paste with the middle button");
    RichTextEditor editor;
    new EditorInput(&editor);
    editor.setDocumentText(u"kept"_qs);
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));
    const QPoint afterText = editor.cursorRect(editor.textCursor()).center() + QPoint(100, 0);

    // No program owns the selection: Qt itself would crash pasting it.
    clipboard->clear(QClipboard::Selection);
    QTest::mouseClick(editor.viewport(), Qt::MiddleButton, {}, afterText);
    QCOMPARE(editor.documentText(), u"kept"_qs);

    clipboard->setText(u" and more"_qs, QClipboard::Selection);
    QTest::mouseClick(editor.viewport(), Qt::MiddleButton, {}, afterText);
    QCOMPARE(editor.documentText(), u"kept and more"_qs);
}

QTEST_MAIN(TestClipboard)
#include "tst_clipboard.moc"
