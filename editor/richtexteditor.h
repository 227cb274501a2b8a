// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "fileresult.h"
#include "slicedinsert.h"

#include <QString>
#include <QTextCursor>
#include <QTextEdit>
#include <QTimer>

#include <memory>
#include <optional>

namespace Quillmere {

// Mouse button codes delivered by RichTextEditor::mouseDown.
enum MouseButtonCode : int {
    LeftButtonCode = 1,
    RightButtonCode = 2,
    MiddleButtonCode = 4,
};

// Shift-state bits delivered by RichTextEditor::mouseDown.
enum ShiftStateBit : int {
    ShiftBit = 1,
    ControlBit = 2,
    AltBit = 4,
};

// The editing area. Everything the rest of the program does to the document goes through the
// operations below, which speak document text: line breaks are CR LF whatever Qt uses inside.
class RichTextEditor : public QTextEdit
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RichTextEditor)

public:
    explicit RichTextEditor(QWidget *parent = nullptr);
    ~RichTextEditor() override;

    // The whole document as plain document text.
    QString documentText() const;
    // Replaces the whole document by plain text in the default format, as one undo step.
    void setDocumentText(const QString &text);

    // The selected text as document text, and its replacement (an insertion at the caret when
    // nothing is selected), as one undo step that leaves the caret after the new text.
    QString selectionText() const;
    void setSelectionText(const QString &text);
    // From this many units on, and when the text is at least as long as the document it goes
    // into, a replacement of the selection fills a fresh document in slices and shows it in
    // place of the current one, so that the window keeps repainting. Below, Qt's own insertion
    // is faster. The fresh document is shown at once and laid out in the background; the view
    // follows the caret once the layout reaches it, unless the person has scrolled, clicked or
    // typed meanwhile.
    static constexpr qsizetype LargeInsertUnits = 64 * 1024;

    // Places the editor at a rectangle of its parent given in twips.
    void moveInTwips(const QRectF &twips);

    // Replaces the document by the file at `path`, read as RTF, or as plain text when it is not
    // RTF. The new document has an empty undo history. Only regular files are read: a folder, a
    // named pipe or a device is refused at once. A failure (such a path, an unreadable file, a
    // file over 200 MB, a document too large for the memory there is) leaves the document, its
    // formatting and its undo history as they were.
    FileResult LoadFile(const QString &path);

    // Writes the whole document to `path` as RTF. The file is replaced only once it has been
    // written in full, so a failure at any point leaves the old file as it was. An existing file
    // keeps its mode (and its owner, where the process may give it away), a symbolic link keeps
    // pointing where it did, and a folder, a named pipe or a device is refused and left alone.
    FileResult SaveFile(const QString &path);

    // Collects the whole-text writes made while it lives: reads see the latest write, and the
    // document is replaced once, as one undo step, when the outermost batch ends.
    class WriteBatch
    {
    public:
        explicit WriteBatch(RichTextEditor &editor);
        ~WriteBatch();
        WriteBatch(const WriteBatch &) = delete;
        WriteBatch &operator=(const WriteBatch &) = delete;

    private:
        RichTextEditor &m_editor;
    };

    // Makes `document` the editor's document, with an empty undo history; the previous
    // document and everything its undo history kept alive are released.
    void installDocument(std::unique_ptr<QTextDocument> document);

signals:
    // A mouse button went down over the text: button code, shift-state bits and the position
    // in twips from the editor's top-left corner.
    void mouseDown(int button, int shift, double x, double y);

protected:
    // What drags and the X11 selection carry: the selected text as plain text with LF line
    // breaks, as the clipboard commands put it, rather than QTextEdit's HTML.
    QMimeData *createMimeDataFromSelection() const override;
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;

private:
    class SwitchUndoItem;

    void replaceDocument(const QString &text, PaintBreaks &breaks);
    void replaceSelectionInFreshDocument(const QString &text);
    void showWithUndo(QTextDocument *fresh);
    void switchTo(QTextDocument *document);
    void releaseDocument(QTextDocument *document);
    void placeCaretAheadOfLayout(int position);
    void showCaretBlock();
    void followCaretOnceLaidOut();

    int m_batchDepth = 0;
    mutable std::optional<PaintBreaks> m_batchBreaks;
    std::optional<QString> m_pendingText;
    // Set while the editor moves between documents itself or is being destroyed; undo items
    // then neither switch nor release documents.
    bool m_switching = false;
    // The start of the caret's block while it is hidden from the layout, null otherwise.
    QTextCursor m_hiddenCaretBlock;
    bool m_viewFollowsCaret = false;
    QTimer m_layoutWatch;
};

} // namespace Quillmere
