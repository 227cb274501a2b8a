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

} // namespace

class TestClipboard : public QObject
{
    Q_OBJECT

private slots:
    void pastedLineBreaksMatchOracleForAllShortTexts();
    void copyPutsOnlyPlainTextThatPastesBack();
    void pasteAndCutTakeOnlyPlainTextInOneStep();
    void middleButtonPastesSelectionSafely();
};

// Every text of up to six units of "a", CR and LF, against the simple statement of each
// conversion: a paste makes every kind of break CR LF, a copy makes CR LF an LF.
void TestClipboard::pastedLineBreaksMatchOracleForAllShortTexts()
{
    for (int length = 0, total = 1; length <= 6; ++length, total *= 3) {
        for (int number = 0; number < total; ++number) {
            QString text;
            for (int i = 0, rest = number; i < length; ++i, rest /= 3)
                text += u"a\r\n"_qs.at(rest % 3);
            const QString documentText = QString(text)
                                             .replace(u"\r\n"_qs, u"\n"_qs)
                                             .replace(u'\r', u'\n')
                                             .replace(u"\n"_qs, u"\r\n"_qs);
            QCOMPARE(fromClipboardText(text), documentText);
            QCOMPARE(toClipboardText(documentText), QString(documentText).remove(u'\r'));
        }
    }
}

// A drag or the X11 selection take QTextEdit's own copy, which must give the same plain text:
// a line for each paragraph, list item and table cell, and one for the empty paragraph after
// the table.
void TestClipboard::copyPutsOnlyPlainTextThatPastesBack()
{
    RichTextEditor editor;
    editor.setHtml(
        u"<p><b>bold</b> words</p><p><i>second</i> \u00E9t\u00E9 \u4E2D</p><p>a<br>"
        "b&nbsp;c</p><ul><li>d</li></ul><table><tr><td>e</td><td>f</td></tr></table>"_qs);
    const QString document = editor.documentText();
    editor.selectAll();
    for (const bool ours : { true, false }) {
        QVERIFY(!ours || CopySelection(editor));
        if (!ours)
            editor.copy();
        QCOMPARE(QGuiApplication::clipboard()->mimeData()->formats(),
                 QStringList { u"text/plain"_qs });
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 u"bold words\nsecond \u00E9t\u00E9 \u4E2D\na\nb\u00A0c\nd\ne\nf\n"_qs);
    }
    QVERIFY(PasteClipboard(editor));
    QCOMPARE(editor.documentText(), document);
}

// Whatever the clipboard offers, its plain text (none from a picture) replaces the selection,
// its lines becoming paragraphs, as one undo step. A cut takes out only what reached the
// clipboard: nothing without a selection, nothing when another program keeps it locked.
void TestClipboard::pasteAndCutTakeOnlyPlainTextInOneStep()
{
    RichTextEditor editor;
    const auto selectLastWord = [&editor] {
        editor.setDocumentText(u"first line"_qs);
        editor.document()->clearUndoRedoStacks();
        editor.moveCursor(QTextCursor::End);
        editor.moveCursor(QTextCursor::StartOfWord, QTextCursor::KeepAnchor);
    };
    QImage picture(4, 4, QImage::Format_RGB32);
    picture.fill(Qt::red);
    // A picture alone, or plain text beside HTML that must be passed over.
    for (const QString &text : { QString(), u"one\ntwo\nthree"_qs }) {
        auto *data = new QMimeData;
        if (text.isEmpty()) {
            data->setImageData(picture);
        } else {
            data->setHtml(u"<b>loud</b>"_qs);
            data->setText(text);
        }
        QGuiApplication::clipboard()->setMimeData(data);
        selectLastWord();
        QVERIFY(PasteClipboard(editor));
        QCOMPARE(editor.documentText(),
                 text.isEmpty() ? u"first "_qs : u"first one\r\ntwo\r\nthree"_qs);
        QCOMPARE(editor.document()->blockCount(), text.count(u'\n') + 1);
        editor.undo();
        QCOMPARE(editor.documentText(), u"first line"_qs);
        QVERIFY(!editor.document()->isUndoAvailable());
    }

    editor.moveCursor(QTextCursor::Start);
    QVERIFY(!CutSelection(editor));
    selectLastWord();
    LockedClipboard locked;
    QVERIFY(!CopySelection(editor, locked));
    QVERIFY(!PasteClipboard(editor, locked));
    QVERIFY(!CutSelection(editor, locked));
    QCOMPARE(editor.documentText(), u"first line"_qs);
    QCOMPARE(editor.selectionText(), u"line"_qs);
    QVERIFY(CutSelection(editor));
    QCOMPARE(editor.documentText(), u"first "_qs);
}

void TestClipboard::middleButtonPastesSelectionSafely()
{
    if (!QGuiApplication::clipboard()->supportsSelection())
        QSKIP("only X11 has a selection to paste with the middle button");
    RichTextEditor editor;
    new EditorInput(&editor);
    editor.setDocumentText(u"kept"_qs);
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));
    const QPoint afterText = editor.cursorRect(editor.textCursor()).center() + QPoint(100, 0);

    // No program owns the selection: Qt itself would crash pasting it.
    QGuiApplication::clipboard()->clear(QClipboard::Selection);
    QTest::mouseClick(editor.viewport(), Qt::MiddleButton, {}, afterText);
    QCOMPARE(editor.documentText(), u"kept"_qs);

    QGuiApplication::clipboard()->setText(u" and more"_qs, QClipboard::Selection);
    QTest::mouseClick(editor.viewport(), Qt::MiddleButton, {}, afterText);
    QCOMPARE(editor.documentText(), u"kept and more"_qs);
}

QTEST_MAIN(TestClipboard)
#include "tst_clipboard.moc"
