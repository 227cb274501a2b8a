// SPDX-License-Identifier: GPL-3.0-or-later
#include "richtexteditor.h"

#include "documentsize.h"
#include "documenttext.h"
#include "editordocumentlayout.h"
#include "readdocument.h"
#include "rtfwriter.h"
#include "slicedinsert.h"
#include "twips.h"

#include <QAbstractUndoItem>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPointer>
#include <QSaveFile>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextLayout>
#include <QTextList>
#include <QTextTable>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

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

// A document that replaces another looks the same: same default font, margins and indents.
void takeOverSettings(QTextDocument &fresh, const QTextDocument &previous)
{
    fresh.setDefaultFont(previous.defaultFont());
    fresh.setDefaultTextOption(previous.defaultTextOption());
    fresh.setDocumentMargin(previous.documentMargin());
    fresh.setIndentWidth(previous.indentWidth());
}

// QSaveFile gives the new file the permissions the process has on the old one, so root would
// make a read-only file writable: give it the old file's mode and, where the process may, its
// owner and group.
bool takeOverOwnerAndMode(int descriptor, const struct stat &old)
{
    // Only a privileged process may give a file away; any other saves the file as its own.
    if (::fchown(descriptor, old.st_uid, old.st_gid) != 0 && errno != EPERM)
        return false;
    // After the owner: changing it clears the set-user-ID and set-group-ID bits.
    return ::fchmod(descriptor, old.st_mode & 07777) == 0;
}

QString notARegularFile(const QString &path)
{
    return RichTextEditor::tr("%1 is not a file but a folder, a named pipe or a device.").arg(path);
}

// A renamed file keeps its new name through a power cut only once its folder is on disk too.
void syncFolderOf(const QString &path)
{
    const QString folder = QFileInfo(QFileInfo(path).canonicalFilePath()).path();
    const int descriptor
        = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0)
        return;
    ::fsync(descriptor);
    ::close(descriptor);
}

// Whether a replacement of the selection by `text` had better build a fresh document: large
// insertions into a shown document are laid out at once and their undo history grows with
// every line. A fresh document costs a copy of the old one and the layout of everything before
// the caret, which pays only when the text is the larger part. It copies the tables and lists
// it holds as wholes, so the selection must not be inside one.
bool insertsInFreshDocument(const QTextCursor &selection, qsizetype textUnits)
{
    const QTextDocument *document = selection.document();
    if (textUnits < RichTextEditor::LargeInsertUnits || textUnits < document->characterCount())
        return false;
    for (const int position : { selection.selectionStart(), selection.selectionEnd() }) {
        QTextCursor end(selection.document());
        end.setPosition(position);
        if (end.currentFrame() != document->rootFrame() || end.currentList())
            return false;
    }
    // The block the selection ends in is copied with the break before it.
    const QTextBlock endBlock = document->findBlock(selection.selectionEnd());
    return endBlock.position() == 0 || endBlock.position() <= selection.selectionStart()
        || document->characterAt(endBlock.position() - 1) == QChar::ParagraphSeparator;
}

// A document not shown yet, with no page size: Qt then skips the layout it would otherwise make
// when the editor takes the document, at a width the editor replaces at once.
QTextDocument *deferringLayout(QTextDocument *fresh)
{
    fresh->setPageSize(QSizeF(0, 0));
    return fresh;
}

// Whether `document` will be taller than `height` pixels: more lines than fit in it, counting
// one for each paragraph outside tables and one for each row of a table.
bool isTallerThan(const QTextDocument &document, int height)
{
    const qreal lineHeight = QFontMetricsF(document.defaultFont()).lineSpacing();
    const qsizetype fitting = qsizetype(height / lineHeight);
    qsizetype lines = 0;
    for (auto it = document.rootFrame()->begin(); !it.atEnd() && lines <= fitting; ++it) {
        const auto *table = qobject_cast<const QTextTable *>(it.currentFrame());
        lines += table ? table->rows() : 1;
    }
    return lines > fitting;
}

bool isModifierOrLockKey(int key)
{
    switch (key) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
    case Qt::Key_ScrollLock:
        return true;
    default:
        return false;
    }
}

} // namespace

RichTextEditor::RichTextEditor(QWidget *parent)
    : QTextEdit(parent)
{
    setAcceptRichText(true);
    setContextMenuPolicy(Qt::NoContextMenu);
    setBackgroundRole(QPalette::Base);
    setTabChangesFocus(false);
    EditorDocumentLayout::install(*document());

    m_layoutWatch.setInterval(50);
    connect(&m_layoutWatch, &QTimer::timeout, this, &RichTextEditor::followCaretOnceLaidOut);
    for (const QScrollBar *bar : { verticalScrollBar(), horizontalScrollBar() })
        connect(bar, &QAbstractSlider::actionTriggered, this,
                [this] { m_viewFollowsCaret = false; });
}

QString RichTextEditor::documentText() const
{
    // Handed out unshared, so that the next pass of the batch rewrites it in place instead of
    // into fresh memory at once.
    if (m_pendingText)
        return copyInSlices(*m_pendingText, *m_batchBreaks);
    if (!m_batchBreaks)
        return toDocumentText(joinTableParts(*document(), document()->toRawText(), 0));
    // In a batch the text is read a slice at a time with repaints between slices, and every
    // pass over the whole text is followed by one: megabytes take long enough to freeze the
    // window.
    QString text = documentTextInSlices(*document(), *m_batchBreaks);
    m_batchBreaks->take();
    return text;
}

void RichTextEditor::setDocumentText(const QString &text)
{
    if (m_batchDepth > 0) {
        m_pendingText = text;
        // Every write of a batch follows a pass over the whole text: repaint between them.
        m_batchBreaks->take();
    } else {
        PaintBreaks breaks;
        replaceDocument(text, breaks);
    }
}

QString RichTextEditor::selectionText() const
{
    const QTextCursor selection = textCursor();
    return toDocumentText(
        joinTableParts(*document(), selection.selectedText(), selection.selectionStart()));
}

void RichTextEditor::setSelectionText(const QString &text)
{
    showCaretBlock();
    QTextCursor cursor = textCursor();
    if (insertsInFreshDocument(cursor, text.size())) {
        replaceSelectionInFreshDocument(text);
        return;
    }
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
    // Opened without blocking and checked before reading: opening a named pipe with no writer
    // would wait for ever, and a device may never end.
    const int descriptor
        = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0)
        return FileResult::failure(
            tr("Cannot open %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    struct stat status = {};
    if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(descriptor);
        return FileResult::failure(notARegularFile(path));
    }
    QFile file;
    if (!file.open(descriptor, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(descriptor);
        return FileResult::failure(tr("Cannot open %1: %2").arg(path, file.errorString()));
    }
    if (file.size() > MaxLoadedFileSize)
        return FileResult::failure(tr("%1 is larger than 200 MB.").arg(path));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return FileResult::failure(tr("Cannot read %1: %2").arg(path, file.errorString()));

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
    struct stat old = {};
    const bool replacing = ::stat(QFile::encodeName(path).constData(), &old) == 0;
    // The new file is renamed into place, which would put a file where a pipe or a device was.
    if (replacing && !S_ISREG(old.st_mode))
        return FileResult::failure(notARegularFile(path));
    const QByteArray rtf = writeRtf(*document());
    // No direct-write fallback: in a folder where no temporary file can be made, writing in
    // place would truncate the old file before the new one is complete.
    QSaveFile file(path);
    // Unbuffered, so that a short write (a full disk, or a file size limit while SIGXFSZ is
    // ignored, as the window does) shows in what write() returns: through the buffer, commit()
    // reports success for a file that was cut short.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return FileResult::failure(tr("Cannot write %1: %2").arg(path, file.errorString()));
    if (replacing && !takeOverOwnerAndMode(file.handle(), old))
        return FileResult::failure(
            tr("Cannot write %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno))));
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
    syncFolderOf(path);
    return FileResult::success();
}

QMimeData *RichTextEditor::createMimeDataFromSelection() const
{
    auto *data = new QMimeData;
    data->setText(toClipboardText(selectionText()));
    return data;
}

void RichTextEditor::mousePressEvent(QMouseEvent *event)
{
    const double dpi = logicalDpiOf(this);
    const QPointF position = mapFromGlobal(event->globalPosition());
    emit mouseDown(buttonCode(event->button()), shiftState(event->modifiers()),
                   pixelsToTwips(position.x(), dpi), pixelsToTwips(position.y(), dpi));
    m_viewFollowsCaret = false;
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
    // A key acts on the caret and brings it into view: Qt lays out the text up to it first.
    // A modifier or lock key on its own does neither.
    if (!isModifierOrLockKey(event->key()))
        showCaretBlock();
    QTextEdit::keyPressEvent(event);
}

void RichTextEditor::inputMethodEvent(QInputMethodEvent *event)
{
    showCaretBlock();
    QTextEdit::inputMethodEvent(event);
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

void RichTextEditor::replaceDocument(const QString &text, PaintBreaks &breaks)
{
    showCaretBlock();
    auto *fresh = new QTextDocument(this);
    takeOverSettings(*fresh, *document());
    fresh->setUndoRedoEnabled(false);
    QTextCursor cursor(fresh);
    insertTextInSlices(cursor, text, cursor.charFormat(), breaks);
    fresh->setUndoRedoEnabled(true);
    showWithUndo(fresh);
}

// The same edit as QTextCursor::insertText on the selection, made on a copy of the document.
void RichTextEditor::replaceSelectionInFreshDocument(const QString &text)
{
    QTextDocument *previous = document();
    const QTextCursor selection = textCursor();
    QTextCharFormat format = selection.charFormat();
    format.clearProperty(QTextFormat::ObjectType);

    auto *fresh = new QTextDocument(this);
    takeOverSettings(*fresh, *previous);
    fresh->rootFrame()->setFrameFormat(previous->rootFrame()->frameFormat());
    fresh->setUndoRedoEnabled(false);
    PaintBreaks breaks;
    QTextCursor cursor(fresh);
    const int start = selection.selectionStart();
    if (start == 0) {
        const QTextBlock first = previous->firstBlock();
        cursor.setBlockFormat(first.blockFormat());
        cursor.setBlockCharFormat(first.charFormat());
    }
    insertDocumentPartInSlices(cursor, *previous, 0, start, breaks);
    const int end = selection.selectionEnd();
    const QTextBlock startBlock = previous->findBlock(start);
    const QTextBlock endBlock = previous->findBlock(end);
    if (startBlock != endBlock) {
        // Which block's format survives the removal depends on where the selection starts:
        // copying just its two ends and removing them gives what removal in place would.
        const int startBlockEnd = startBlock.position() + startBlock.length() - 1;
        insertDocumentPartInSlices(cursor, *previous, start, startBlockEnd, breaks);
        insertDocumentPartInSlices(cursor, *previous, endBlock.position() - 1, end, breaks);
        cursor.setPosition(start, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
    }
    insertTextInSlices(cursor, text, format, breaks);
    const int caret = cursor.position();
    insertDocumentPartInSlices(cursor, *previous, end, previous->characterCount() - 1, breaks);
    fresh->setUndoRedoEnabled(true);
    showWithUndo(fresh);
    placeCaretAheadOfLayout(caret);
}

// Placing the caret makes Qt ask for its place on screen, which needs the layout of all the
// text before it: seconds for megabytes. A hidden block has no place and needs no layout, so
// the caret's block is hidden until the background layout reaches it. The layout skips hidden
// blocks, so the block is laid out once shown.
void RichTextEditor::placeCaretAheadOfLayout(int position)
{
    showCaretBlock();
    QTextBlock block = document()->findBlock(position);
    const QTextBlock previous = block.previous();
    const bool reached = !previous.isValid() || previous.layout()->lineCount() > 0;
    if (!reached) {
        block.setVisible(false);
        m_hiddenCaretBlock = QTextCursor(block);
        m_viewFollowsCaret = true;
        m_layoutWatch.start();
    }
    QTextCursor caret(document());
    caret.setPosition(position);
    setTextCursor(caret);
}

void RichTextEditor::showCaretBlock()
{
    if (m_hiddenCaretBlock.isNull())
        return;
    m_layoutWatch.stop();
    QTextDocument *shownIn = m_hiddenCaretBlock.document();
    QTextBlock block = m_hiddenCaretBlock.block();
    m_hiddenCaretBlock = QTextCursor();
    block.setVisible(true);
    // A block the layout has not reached yet is laid out in its turn.
    const QTextBlock previous = block.previous();
    if (previous.isValid() && previous.layout()->lineCount() > 0)
        shownIn->markContentsDirty(block.position(), block.length());
}

void RichTextEditor::followCaretOnceLaidOut()
{
    const QTextBlock previous = m_hiddenCaretBlock.block().previous();
    const bool shown = !m_hiddenCaretBlock.isNull() && m_hiddenCaretBlock.document() == document();
    if (shown && previous.isValid() && previous.layout()->lineCount() == 0)
        return;
    m_layoutWatch.stop();
    showCaretBlock();
    if (shown && m_viewFollowsCaret)
        ensureCursorVisible();
}

void RichTextEditor::showWithUndo(QTextDocument *fresh)
{
    QTextDocument *previous = document();
    previous->setParent(this);
    previous->appendUndoItem(new SwitchUndoItem(this, fresh, SwitchUndoItem::Leads::OnRedo));
    fresh->appendUndoItem(new SwitchUndoItem(this, previous, SwitchUndoItem::Leads::OnUndo));
    switchTo(deferringLayout(fresh));
}

void RichTextEditor::switchTo(QTextDocument *target)
{
    EditorDocumentLayout::install(*target);
    showCaretBlock();
    const QScopedValueRollback guard(m_switching, true);
    // Every change of the viewport's width lays the shown document out again, the first screens
    // of it at least, and tables there are laid out several times over to size their columns.
    // A document that will need the vertical scroll bar is shown with the bar already there,
    // so that it is laid out once; the bar comes while an empty document is shown, which costs
    // nothing to lay out again.
    const Qt::ScrollBarPolicy policy = verticalScrollBarPolicy();
    if (isVisible() && policy == Qt::ScrollBarAsNeeded && !verticalScrollBar()->isVisibleTo(this)
        && isTallerThan(*target, viewport()->height())) {
        QTextDocument empty;
        setDocument(&empty);
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        setDocument(target);
        setVerticalScrollBarPolicy(policy);
        return;
    }
    setDocument(target);
}

void RichTextEditor::installDocument(std::unique_ptr<QTextDocument> document)
{
    QTextDocument *previous = this->document();
    QTextDocument *fresh = document.release();
    previous->setParent(this);
    fresh->setParent(this);
    fresh->clearUndoRedoStacks();
    switchTo(deferringLayout(fresh));
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
    if (m_editor.m_batchDepth++ == 0)
        m_editor.m_batchBreaks.emplace();
}

RichTextEditor::WriteBatch::~WriteBatch()
{
    if (--m_editor.m_batchDepth > 0)
        return;
    PaintBreaks breaks = *m_editor.m_batchBreaks;
    m_editor.m_batchBreaks.reset();
    if (!m_editor.m_pendingText)
        return;
    const QString text = std::move(*m_editor.m_pendingText);
    m_editor.m_pendingText.reset();
    m_editor.replaceDocument(text, breaks);
}

} // namespace Quillmere
