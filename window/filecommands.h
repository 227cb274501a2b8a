// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <optional>

namespace Quillmere {

class RichTextEditor;
struct CommandContext;

enum class FileDialogMode { Open, Save };

// What the file commands need from the person at the keyboard: a path, and their attention when
// a save fails. The window answers with its file dialog and a message box.
class FileChooser
{
public:
    virtual ~FileChooser() = default;

    // A path chosen for `mode`: a file that exists to open, any name to save. Nothing when the
    // person cancelled or the dialog could not be shown.
    virtual std::optional<QString> choosePath(FileDialogMode mode) = 0;
    // Tells the person that the document was not saved to `path`, and why.
    virtual void showSaveFailure(const QString &path, const QString &reason) = 0;
};

// Replaces the document by a file the person chooses. Cancelling, or a file the editor cannot
// read, ends the command without a word and with the document as it was.
void OpenDocument(RichTextEditor &editor, FileChooser &chooser);

// Writes the whole document as RTF to the path the person chooses, exactly as chosen: whatever
// its extension, none is added. A failed write is shown, the document stays in the editor and
// a file already at that path keeps its old content. Cancelling ends the command silently.
void SaveDocument(RichTextEditor &editor, FileChooser &chooser);

// The toolbar's file commands, on the window's chooser; without one they do nothing.
void OpenDocument(CommandContext &context);
void SaveDocument(CommandContext &context);

} // namespace Quillmere
