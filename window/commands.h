// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "capitalize.h"
#include "clipboard.h"
#include "filecommands.h"
#include "richtexteditor.h"

#include <QStringView>

#include <array>

class QWidget;

namespace Quillmere {

// What a toolbar command may act on.
struct CommandContext
{
    QWidget &window;
    RichTextEditor &editor;
    FileChooser *fileChooser = nullptr; // where the file commands get their paths
};

using Command = void (*)(CommandContext &context);

struct CommandEntry
{
    QStringView key;
    Command command; // nullptr: the key is known but runs nothing
};

// Ends the program at once: no prompt, the document is discarded.
void ExitProgram(CommandContext &context);

// Which command each toolbar key runs, looked up in this order.
inline constexpr std::array<CommandEntry, 6> CommandTable { {
    { u"open", OpenDocument },
    { u"edit", [](CommandContext &context) { ApplyCapitalizeWords(context.editor); } },
    { u"save", SaveDocument },
    { u"copy", [](CommandContext &context) { CopySelection(context.editor); } },
    { u"paste", [](CommandContext &context) { PasteClipboard(context.editor); } },
    { u"exitp", ExitProgram },
} };

// Runs the command whose key equals `key` exactly (case-sensitive). Returns whether a table
// entry matched; an unknown key does nothing.
bool DispatchToolbarKey(QStringView key, CommandContext &context);

} // namespace Quillmere
