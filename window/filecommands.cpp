// SPDX-License-Identifier: GPL-3.0-or-later
#include "filecommands.h"

#include "commands.h"
#include "richtexteditor.h"

namespace Quillmere {

void OpenDocument(RichTextEditor &editor, FileChooser &chooser)
{
    const std::optional<QString> path = chooser.choosePath(FileDialogMode::Open);
    if (!path)
        return;
    // A file that cannot be read is not worth a message: the document is still there to see.
    editor.LoadFile(*path);
}

void SaveDocument(RichTextEditor &editor, FileChooser &chooser)
{
    const std::optional<QString> path = chooser.choosePath(FileDialogMode::Save);
    if (!path)
        return;
    const FileResult result = editor.SaveFile(*path);
    if (!result)
        chooser.showSaveFailure(*path, result.reason);
}

void OpenDocument(CommandContext &context)
{
    if (context.fileChooser)
        OpenDocument(context.editor, *context.fileChooser);
}

void SaveDocument(CommandContext &context)
{
    if (context.fileChooser)
        SaveDocument(context.editor, *context.fileChooser);
}

} // namespace Quillmere
