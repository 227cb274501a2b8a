// SPDX-License-Identifier: GPL-3.0-or-later
#include "commands.h"

#include <QCoreApplication>
#include <QWidget>

namespace Quillmere {

void ExitProgram(CommandContext &context)
{
    context.window.close();
    QCoreApplication::quit();
}

bool DispatchToolbarKey(QStringView key, CommandContext &context)
{
    for (const CommandEntry &entry : CommandTable) {
        if (entry.key != key)
            continue;
        if (entry.command)
            entry.command(context);
        return true;
    }
    return false;
}

} // namespace Quillmere
