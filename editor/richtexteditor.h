// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "fileresult.h"

#include <QString>
#include <QTextEdit>

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
    // nothing is selected).
    QString selectionText() const;
    void setSelectionText(const QString &text);

    // Places the editor at a rectangle of its parent given in twips.
    void moveInTwips(const QRectF &twips);

    // Replaces the document by the file at `path`, read as RTF, or as plain text when it is not
    // RTF. The new document has an empty undo history. A failure (unreadable file, a file over
    // 200 MB, a document too large for the memory there is) leaves the document, its formatting and
    // its undo history exactly as they were.
    FileResult LoadFile(const QString &path);

    // Writes the whole document to `path` as RTF. The file is replaced only once it has been
    // written in full, so a failure at any point leaves the old file as it was; an existing
    // file keeps its permissions, and a symbolic link keeps pointing where it did.
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
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    class SwitchUndoItem;

    void replaceDocument(const QString &text);
    void switchTo(QTextDocument *document);
    void releaseDocument(QTextDocument *document);

    int m_batchDepth = 0;
    std::optional<QString> m_pendingText;
    // Set while the editor moves between documents itself or is being destroyed; undo items
    // then neither switch nor release documents.
    bool m_switching = false;
};

} // namespace Quillmere
