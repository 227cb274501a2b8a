// SPDX-License-Identifier: GPL-3.0-or-later
#include "richtexteditor.h"

#include "documentsize.h"
#include "documenttext.h"
#include "readdocument.h"
#include "rtfwriter.h"
#include "twips.h"

#include <QAbstractUndoItem>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QSaveFile>
#include <QScopedValueRollback>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>

namespace Quillmere {
namespace {

// Files larger than this are refused rather than read into memory.
constexpr qint64 MaxLoadedFileSize = qint64(200) << 20;

int buttonCode(Qt::MouseButton button)
{
    switch (button) {
    case Qt::LeftButton:
        return LeftButtonCode;
    case Qt::RightButton:
        return RightButtonCode;
    case Qt::MiddleButton:
        return MiddleButtonCode;
    default:
        return 0;
    }
}

int shiftState(Qt::KeyboardModifiers modifiers)
{
    int state = 0;
    if (modifiers & Qt::ShiftModifier)
        state |= ShiftBit;
    if (modifiers & Qt::ControlModifier)
        state |= ControlBit;
    if (modifiers & Qt::AltModifier)
        state |= AltBit;
    return state;
}

// Fills a detached document a slice at a time and lets the window repaint between slices, so
// that writing megabytes never freezes it; keyboard and mouse input wait in the queue until the
// write is done, so nothing the person does can land in a document about to be replaced.
void fillInSlices(QTextDocument &document, QStringView text)
{
    constexpr qsizetype SliceUnits = 128 * 1024;
    constexpr qint64 LongestStallMs = 40;
    QTextCursor cursor(&document);
    QElapsedTimer sinceEvents;
    sinceEvents.start();
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = std::min(text.size(), start + SliceUnits);
        // A CR LF pair split between slices would become two line breaks.
        if (end < text.size() && text[end - 1] == u'\r' && text[end] == u'\n')
            ++end;
        cursor.insertText(text.sliced(start, end - start).toString());
        start = end;
        if (start < text.size() && sinceEvents.elapsed() >= LongestStallMs) {
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            sinceEvents.restart();
        }
    }
}

// A document that replaces another looks the same: same default font, margins and indents.
void takeOverSettings(QTextDocument &fresh, const QTextDocument &previous)
{
    fresh.setDefaultFont(previous.defaultFont());
    fresh.setDefaultTextOption(previous.defaultTextOption());
    fresh.setDocumentMargin(previous.documentMargin());
    fresh.setIndentWidth(previous.indentWidth());
}

} // namespace

RichTextEditor::RichTextEditor(QWidget *parent)
    : QTextEdit(parent)
{
    setAcceptRichText(true);
    setContextMenuPolicy(Qt::NoContextMenu);
    setBackgroundRole(QPalette::Base);
    setTabChangesFocus(false);
}

QString RichTextEditor::documentText() const
{
    if (m_pendingText)
        return *m_pendingText;
    return toDocumentText(document()->toRawText());
}

void RichTextEditor::setDocumentText(const QString &text)
{
    if (m_batchDepth > 0)
        m_pendingText = text;
    else
        replaceDocument(text);
}

QString RichTextEditor::selectionText() const
{
    return toDocumentText(textCursor().selectedText());
}

void RichTextEditor::setSelectionText(const QString &text)
{
    QTextCursor cursor = textCursor();
    cursor.insertText(text);
    setTextCursor(cursor);
}

void RichTextEditor::moveInTwips(const QRectF &twips)
{
    setGeometry(twipsToPixels(twips, logicalDpiOf(this)));
}

FileResult RichTextEditor::LoadFile(const QString &path)
{
    if (path.isEmpty())
        return FileResult::failure(tr("No file name was given."));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return FileResult::failure(tr("Cannot open %1: %2").arg(path, file.errorString()));
    if (file.size() > MaxLoadedFileSize)
        return FileResult::failure(tr("%1 is larger than 200 MB.").arg(path));
    QByteArray bytes;
    if (!file.isSequential()) {
        bytes = file.readAll();
    } else {
        // A pipe or a device reports no size: read it a piece at a time, up to the limit.
        while (bytes.size() <= MaxLoadedFileSize) {
            const QByteArray piece = file.read(qint64(1) << 20);
            if (piece.isEmpty())
                break;
            bytes += piece;
        }
    }
    if (file.error() != QFileDevice::NoError)
        return FileResult::failure(tr("Cannot read %1: %2").arg(path, file.errorString()));
    if (bytes.size() > MaxLoadedFileSize)
        return FileResult::failure(tr("%1 is larger than 200 MB.").arg(path));

    if (const std::optional<QString> reason = whyTooLargeToOpen(bytes, availableMemoryBytes()))
        return FileResult::failure(tr("Cannot open %1: %2").arg(path, *reason));
    std::unique_ptr<QTextDocument> loaded;
    try {
        loaded = readDocument(bytes);
    } catch (const std::bad_alloc &) {
        return FileResult::failure(tr("There is not enough memory to open %1.").arg(path));
    }
    const QTextDocument *previous = document();
    takeOverSettings(*loaded, *previous);
    installDocument(std::move(loaded));
    return FileResult::success();
}

FileResult RichTextEditor::SaveFile(const QString &path)
{
    if (path.isEmpty())
        return FileResult::failure(tr("No file name was given."));
    const QByteArray rtf = writeRtf(*document());
    // No direct-write fallback: in a folder where no temporary file can be made, writing in
    // place would truncate the old file before the new one is complete.
    QSaveFile file(path);
    // Unbuffered, so that a short write (a full disk, a file size limit) shows in what write()
    // returns: through the buffer, commit() reports success for a file that was cut short.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return FileResult::failure(tr("Cannot write %1: %2").arg(path, file.errorString()));
    const qint64 written = file.write(rtf);
    if (written >= 0 && written < rtf.size()) {
        return FileResult::failure(tr("Cannot write %1: only %2 of %3 bytes could be written; "
                                      "the disk may be full.")
                                       .arg(path)
                                       .arg(written)
                                       .arg(rtf.size()));
    }
    if (written < 0 || !file.commit())
        return FileResult::failure(tr("Cannot write %1: %2").arg(path, file.errorString()));
    return FileResult::success();
}

void RichTextEditor::mousePressEvent(QMouseEvent *event)
{
    const double dpi = logicalDpiOf(this);
    const QPointF position = mapFromGlobal(event->globalPosition());
    emit mouseDown(buttonCode(event->button()), shiftState(event->modifiers()),
                   pixelsToTwips(position.x(), dpi), pixelsToTwips(position.y(), dpi));
    QTextEdit::mousePressEvent(event);
}

void RichTextEditor::keyPressEvent(QKeyEvent *event)
{
    // Redo answers to both conventions, whatever the desktop's key theme says.
    const QKeyCombination key = event->keyCombination();
    if (key == QKeyCombination(Qt::ControlModifier, Qt::Key_Y)
        || key == QKeyCombination(Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_Z)) {
        redo();
        event->accept();
        return;
    }
    QTextEdit::keyPressEvent(event);
}

// A whole-text write builds a fresh document and shows it in place of the current one: a
// document filled before it is shown is laid out lazily, a screenful at a time, while an edit
// that replaces the text of a shown document is laid out at once (seconds for megabytes).
// Undo and redo switch between the two documents through a linked pair of undo items, so
// Ctrl+Z brings back the previous document exactly, formatting and all, in one step.
class RichTextEditor::SwitchUndoItem : public QAbstractUndoItem
{
public:
    enum class Leads { OnUndo, OnRedo };

    SwitchUndoItem(RichTextEditor *editor, QTextDocument *target, Leads leads)
        : m_editor(editor)
        , m_target(target)
        , m_leads(leads)
    {
    }

    ~SwitchUndoItem() override
    {
        // Gone from its stack: the target can no longer be reached by undo or redo.
        if (m_editor && m_target && !m_editor->m_switching)
            m_editor->releaseDocument(m_target);
    }

    void undo() override
    {
        if (m_leads == Leads::OnUndo)
            follow([](QTextDocument *target) { target->undo(); });
    }

    void redo() override
    {
        if (m_leads == Leads::OnRedo)
            follow([](QTextDocument *target) { target->redo(); });
    }

private:
    // Shows the target and steps its own stack past the partner item, so that the opposite
    // key leads back.
    template<typename Step> void follow(Step stepPartner)
    {
        if (!m_editor || !m_target || m_editor->m_switching)
            return;
        m_editor->switchTo(m_target);
        const QScopedValueRollback guard(m_editor->m_switching, true);
        stepPartner(m_target);
    }

    QPointer<RichTextEditor> m_editor;
    QPointer<QTextDocument> m_target;
    Leads m_leads;
};

RichTextEditor::~RichTextEditor()
{
    m_switching = true;
    const auto documents = findChildren<QTextDocument *>(Qt::FindDirectChildrenOnly);
    for (QTextDocument *document : documents)
        document->clearUndoRedoStacks();
}

void RichTextEditor::replaceDocument(const QString &text)
{
    QTextDocument *previous = document();
    auto *fresh = new QTextDocument(this);
    takeOverSettings(*fresh, *previous);
    fresh->setUndoRedoEnabled(false);
    fillInSlices(*fresh, text);
    fresh->setUndoRedoEnabled(true);

    previous->setParent(this);
    previous->appendUndoItem(new SwitchUndoItem(this, fresh, SwitchUndoItem::Leads::OnRedo));
    fresh->appendUndoItem(new SwitchUndoItem(this, previous, SwitchUndoItem::Leads::OnUndo));
    switchTo(fresh);
}

void RichTextEditor::switchTo(QTextDocument *target)
{
    const QScopedValueRollback guard(m_switching, true);
    setDocument(target);
}

void RichTextEditor::installDocument(std::unique_ptr<QTextDocument> document)
{
    QTextDocument *previous = this->document();
    QTextDocument *fresh = document.release();
    previous->setParent(this);
    fresh->setParent(this);
    fresh->clearUndoRedoStacks();
    switchTo(fresh);
    releaseDocument(previous);
}

void RichTextEditor::releaseDocument(QTextDocument *released)
{
    if (released == document() || released->parent() != this)
        return;
    // Detached first, so that the chain of releases its history sets off never comes back here.
    released->setParent(nullptr);
    released->clearUndoRedoStacks();
    released->deleteLater();
}

RichTextEditor::WriteBatch::WriteBatch(RichTextEditor &editor)
    : m_editor(editor)
{
    ++m_editor.m_batchDepth;
}

RichTextEditor::WriteBatch::~WriteBatch()
{
    if (--m_editor.m_batchDepth > 0 || !m_editor.m_pendingText)
        return;
    const QString text = std::move(*m_editor.m_pendingText);
    m_editor.m_pendingText.reset();
    m_editor.replaceDocument(text);
}

} // namespace Quillmere
