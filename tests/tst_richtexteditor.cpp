// SPDX-License-Identifier: GPL-3.0-or-later
#include "capitalize.h"
#include "documenttext.h"
#include "richtexteditor.h"
#include "rtfreader.h"
#include "rtfwriter.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextList>
#include <QTextTable>

using namespace Quillmere;

namespace {

// A document with the kinds of formatting the command throws away.
void fillFormatted(RichTextEditor &editor)
{
    editor.setHtml(
        u"<p align=center><b>bold (words)</b>, <i style='color:#ff0000'>red_italic</i></p>"
        "<ul><li>first; item</li><li>second</li></ul>"
        "<table><tr><td>cell one</td><td>cell TWO</td></tr></table>"
        "<p><span style='font-size:20pt'>BIG</span> end</p>"_qs);
}

} // namespace

class TestRichTextEditor : public QObject
{
    Q_OBJECT

private slots:
    void documentTextUsesCrLf_data();
    void documentTextUsesCrLf();
    void writtenTextReadsBack_data();
    void writtenTextReadsBack();
    void commandIsOneUndoStep();
    void commandsUndoAndRedoOneByOne_data();
    void commandsUndoAndRedoOneByOne();
    void batchWritesOnceAndReadsPending();
    void selectionTextRoundTrips();
    void mouseDownReportsButtonCodes_data();
    void mouseDownReportsButtonCodes();
    void installedDocumentHasNoUndoHistory();
    void loadFileReplacesDocument_data();
    void loadFileReplacesDocument();
    void failedLoadLeavesDocumentUntouched_data();
    void failedLoadLeavesDocumentUntouched();
};

void TestRichTextEditor::documentTextUsesCrLf_data()
{
    QTest::addColumn<QString>("qtText");
    QTest::addColumn<QString>("expected");

    QTest::addRow("paragraphs") << u"a\u2029b\u2029\u2029c"_qs << u"a\r\nb\r\n\r\nc"_qs;
    QTest::addRow("line separator") << u"a\u2028b"_qs << u"a\r\nb"_qs;
    QTest::addRow("frame markers") << u"\uFDD0x\uFDD1"_qs << u"\r\nx\r\n"_qs;
}

void TestRichTextEditor::documentTextUsesCrLf()
{
    QFETCH(QString, qtText);
    QFETCH(QString, expected);
    QCOMPARE(toDocumentText(qtText), expected);
}

void TestRichTextEditor::writtenTextReadsBack_data()
{
    QTest::addColumn<QString>("written");
    QTest::addColumn<QString>("readBack");

    QTest::addRow("bare LF") << u"one\ntwo"_qs << u"one\r\ntwo"_qs;
    QTest::addRow("bare CR") << u"one\rtwo"_qs << u"one\r\ntwo"_qs;
    QTest::addRow("looks like markup") << u"<b>not bold</b>"_qs << u"<b>not bold</b>"_qs;
    // Large writes are filled in slices of 128K units; here a CR LF pair straddles the first
    // boundary, and it must stay one break.
    const QString longText = u"x\r\n"_qs.repeated(128 * 1024 / 3 + 1);
    QTest::addRow("CR LF on a slice boundary") << longText << longText;
}

void TestRichTextEditor::writtenTextReadsBack()
{
    QFETCH(QString, written);
    QFETCH(QString, readBack);
    RichTextEditor editor;
    editor.setDocumentText(written);
    QCOMPARE(editor.documentText(), readBack);
}

void TestRichTextEditor::commandIsOneUndoStep()
{
    RichTextEditor editor;
    fillFormatted(editor);
    // A picture read from a file, which a save writes back with the data it came with.
    const auto picture = readRtf("{\\rtf1 {\\pict\\wmetafile8\\picw2540\\pich2540 0100}}");
    QTextCursor end(editor.document());
    end.movePosition(QTextCursor::End);
    end.insertFragment(QTextDocumentFragment(picture.get()));
    const QByteArray rtf = writeRtf(*editor.document());
    QVERIFY(rtf.contains("{\\pict\\wmetafile8\\picw2540\\pich2540 \r\n0100\r\n}"));
    const QString html = editor.toHtml();
    const QString text = editor.documentText();

    ApplyCapitalizeWords(editor);
    QCOMPARE(editor.documentText(), CapitalizeWords(text));
    QVERIFY(
        editor.documentText().startsWith(u"Bold  Words   Red-italic\r\nFirst- Item\r\nSecond"_qs));
    // The text is written back plain: no list, table, alignment or character format is left.
    QTextDocument *document = editor.document();
    QVERIFY(document->rootFrame()->childFrames().isEmpty());
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        QVERIFY(!block.textList());
        QCOMPARE(block.blockFormat().alignment(), Qt::AlignLeft);
        for (auto it = block.begin(); !it.atEnd(); ++it)
            QVERIFY(!it.fragment().charFormat().hasProperty(QTextFormat::FontWeight)
                    && !it.fragment().charFormat().hasProperty(QTextFormat::FontItalic)
                    && !it.fragment().charFormat().hasProperty(QTextFormat::ForegroundBrush)
                    && !it.fragment().charFormat().hasProperty(QTextFormat::FontPointSize));
    }

    editor.undo();
    QCOMPARE(editor.documentText(), text);
    QCOMPARE(editor.toHtml(), html);
    QCOMPARE(writeRtf(*editor.document()), rtf);
}

void TestRichTextEditor::commandsUndoAndRedoOneByOne_data()
{
    QTest::addColumn<QKeyCombination>("redoKey");
    QTest::addRow("Ctrl+Y") << QKeyCombination(Qt::ControlModifier, Qt::Key_Y);
    QTest::addRow("Ctrl+Shift+Z") << QKeyCombination(Qt::ControlModifier | Qt::ShiftModifier,
                                                     Qt::Key_Z);
}

// Each command and each whole-text write is a step of its own, taken back and forth by the keys;
// typing after an undo drops the steps ahead.
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
    editor.setPlainText(u"one (two)"_qs);
    ApplyCapitalizeWords(editor);
    press(undoKey);
    QTest::keyClicks(&editor, u"x"_qs);
    QVERIFY(!editor.document()->isRedoAvailable());
    press(redoKey);
    QCOMPARE(editor.documentText(), u"xone (two)"_qs);
    // The document the redo history held is released once nothing can reach it.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(editor.findChildren<QTextDocument *>(Qt::FindDirectChildrenOnly).size(), 1);

    ApplyCapitalizeWords(editor);
    editor.setDocumentText(editor.documentText() + u"\r\nthree_four"_qs);
    ApplyCapitalizeWords(editor);
    const QStringList steps { u"xone (two)"_qs, u"Xone  Two "_qs, u"Xone  Two \r\nthree_four"_qs,
                              u"Xone  Two \r\nThree-four"_qs };
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

void TestRichTextEditor::batchWritesOnceAndReadsPending()
{
    RichTextEditor editor;
    editor.setPlainText(u"start"_qs);
    QSignalSpy changes(&editor, &QTextEdit::textChanged);
    {
        const RichTextEditor::WriteBatch batch(editor);
        editor.setDocumentText(u"first"_qs);
        QCOMPARE(editor.documentText(), u"first"_qs);
        editor.setDocumentText(u"second"_qs);
        QCOMPARE(editor.toPlainText(), u"start"_qs);
    }
    QCOMPARE(editor.documentText(), u"second"_qs);
    QCOMPARE(changes.size(), 1);
    editor.undo();
    QCOMPARE(editor.documentText(), u"start"_qs);
}

void TestRichTextEditor::selectionTextRoundTrips()
{
    RichTextEditor editor;
    editor.setPlainText(u"alpha\nbeta gamma"_qs);
    QTextCursor cursor = editor.textCursor();
    cursor.setPosition(2);
    cursor.setPosition(10, QTextCursor::KeepAnchor);
    editor.setTextCursor(cursor);
    QCOMPARE(editor.selectionText(), u"pha\r\nbeta"_qs);

    editor.setSelectionText(u"X\r\nY"_qs);
    QCOMPARE(editor.documentText(), u"alX\r\nY gamma"_qs);
    QCOMPARE(editor.selectionText(), QString());
}

void TestRichTextEditor::mouseDownReportsButtonCodes_data()
{
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("shift");

    QTest::addRow("left") << Qt::LeftButton << Qt::KeyboardModifiers() << 1 << 0;
    QTest::addRow("right with shift")
        << Qt::RightButton << Qt::KeyboardModifiers(Qt::ShiftModifier) << 2 << 1;
    QTest::addRow("middle with control and alt")
        << Qt::MiddleButton << (Qt::ControlModifier | Qt::AltModifier) << 4 << 6;
}

void TestRichTextEditor::mouseDownReportsButtonCodes()
{
    QFETCH(Qt::MouseButton, button);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(int, code);
    QFETCH(int, shift);

    RichTextEditor editor;
    editor.resize(200, 100);
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));
    QSignalSpy spy(&editor, &RichTextEditor::mouseDown);
    const QPoint inViewport(30, 20);
    QTest::mousePress(editor.viewport(), button, modifiers, inViewport);
    QTest::mouseRelease(editor.viewport(), button, modifiers, inViewport);
    QCOMPARE(spy.size(), 1);
    QCOMPARE(spy.at(0).at(0).toInt(), code);
    QCOMPARE(spy.at(0).at(1).toInt(), shift);
    const QPoint inEditor = editor.viewport()->mapTo(&editor, inViewport);
    const double twipsPerPixel = 1440.0 / editor.logicalDpiY();
    QCOMPARE(spy.at(0).at(2).toDouble(), inEditor.x() * twipsPerPixel);
    QCOMPARE(spy.at(0).at(3).toDouble(), inEditor.y() * twipsPerPixel);
}

void TestRichTextEditor::installedDocumentHasNoUndoHistory()
{
    RichTextEditor editor;
    editor.setPlainText(u"old"_qs);
    ApplyCapitalizeWords(editor);
    auto owned = std::make_unique<QTextDocument>();
    QTextDocument *loaded = owned.get();
    loaded->setPlainText(u"loaded"_qs);
    editor.installDocument(std::move(owned));
    QCOMPARE(editor.document(), loaded);
    QCOMPARE(editor.documentText(), u"loaded"_qs);
    QVERIFY(!loaded->isUndoAvailable());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(editor.findChildren<QTextDocument *>(Qt::FindDirectChildrenOnly).size(), 1);
}

void TestRichTextEditor::loadFileReplacesDocument_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");

    QTest::addColumn<bool>("bold");
    QTest::addRow("RTF") << QByteArray("{\\rtf1 {\\b Hello}\\par world}") << u"Hello\r\nworld"_qs
                         << true;
    QTest::addRow("plain text") << QByteArray("{Hello}\r\nworld") << u"{Hello}\r\nworld"_qs
                                << false;
    QTest::addRow("RTF cut short")
        << QByteArray("{\\rtf1 {\\b Hello}\\par world") << u"Hello\r\nworld"_qs << true;
    QTest::addRow("empty file") << QByteArray() << QString() << false;
}

void TestRichTextEditor::loadFileReplacesDocument()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QFETCH(bool, bold);
    QTemporaryDir folder;
    QFile file(folder.filePath(u"document.rtf"_qs));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    file.close();

    RichTextEditor editor;
    editor.setDocumentText(u"old text"_qs);
    const FileResult result = editor.LoadFile(file.fileName());
    QVERIFY2(result.ok, qPrintable(result.reason));
    QCOMPARE(editor.documentText(), text);
    QCOMPARE(QTextCursor(editor.document()).block().begin().fragment().charFormat().fontWeight()
                 == QFont::Bold,
             bold);
    QVERIFY(!editor.document()->isUndoAvailable() && !editor.document()->isRedoAvailable());
    // The loaded document is editable and undoable like any other.
    QTextCursor(editor.document()).insertText(u"x"_qs);
    QVERIFY(editor.document()->isUndoAvailable());
}

void TestRichTextEditor::failedLoadLeavesDocumentUntouched_data()
{
    QTest::addColumn<QString>("name");
    QTest::addRow("missing file") << u"missing.rtf"_qs;
    QTest::addRow("folder") << u"folder"_qs;
    QTest::addRow("file over 200 MB") << u"huge.rtf"_qs;
    QTest::addRow("unreadable file") << u"unreadable.rtf"_qs;
    QTest::addRow("path through a file") << u"huge.rtf/inner.rtf"_qs;
    QTest::addRow("empty path") << QString();
}

void TestRichTextEditor::failedLoadLeavesDocumentUntouched()
{
    QFETCH(QString, name);
    QTemporaryDir folder;
    QVERIFY(QDir(folder.path()).mkdir(u"folder"_qs));
    for (const QString &file : { u"huge.rtf"_qs, u"unreadable.rtf"_qs }) {
        QFile rtf(folder.filePath(file));
        QVERIFY(rtf.open(QIODevice::WriteOnly) && rtf.write("{\\rtf1 x}") > 0);
    }
    QVERIFY(QFile::resize(folder.filePath(u"huge.rtf"_qs), (qint64(200) << 20) + 1));
    QFile::setPermissions(folder.filePath(u"unreadable.rtf"_qs), QFileDevice::WriteOwner);
    if (name == u"unreadable.rtf" && QFile(folder.filePath(name)).open(QIODevice::ReadOnly))
        QSKIP("Running as a user who can read any file");

    RichTextEditor editor;
    editor.setHtml(u"<p><b>bold</b> <i style='color:#ff0000'>red</i></p><ul><li>item</li></ul>"_qs);
    editor.setDocumentText(u"first"_qs);
    editor.setDocumentText(u"second\r\nline"_qs);
    QTextDocument *before = editor.document();
    const QString html = before->toHtml();
    const int undoSteps = before->availableUndoSteps();

    const FileResult result = editor.LoadFile(name.isEmpty() ? name : folder.filePath(name));
    QVERIFY(!result.ok && !result.reason.isEmpty());
    QCOMPARE(editor.document(), before);
    QCOMPARE(before->toHtml(), html);
    QCOMPARE(before->availableUndoSteps(), undoSteps);
    editor.undo();
    QCOMPARE(editor.documentText(), u"first"_qs);
    editor.undo();
    QVERIFY(editor.document()->toPlainText().startsWith(u"bold red"_qs));
}

QTEST_MAIN(TestRichTextEditor)
#include "tst_richtexteditor.moc"
