// SPDX-License-Identifier: GPL-3.0-or-later
// Fields: the instruction is read, and a HYPERLINK field makes its result a link.
#include "rtfreader_p.h"

namespace Quillmere::Internal {
namespace {

// A field instruction split into its words; a quoted word may hold spaces or be empty.
QStringList fieldArguments(QStringView instruction)
{
    QStringList arguments;
    QString current;
    bool quoted = false;
    bool pending = false;
    const auto finish = [&] {
        if (pending)
            arguments.append(current);
        current.clear();
        pending = false;
    };
    for (const QChar c : instruction) {
        if (c == u'"') {
            finish();
            quoted = !quoted;
            pending = quoted;
        } else if (c.isSpace() && !quoted) {
            finish();
        } else {
            current.append(c);
            pending = true;
        }
    }
    finish();
    return arguments;
}

// The link target of a HYPERLINK field instruction, empty for other fields.
QString hyperlinkTarget(const QString &instruction)
{
    const QStringList arguments = fieldArguments(instruction);
    if (arguments.isEmpty() || arguments.first().compare(u"HYPERLINK", Qt::CaseInsensitive) != 0)
        return {};
    QString target;
    QString bookmark;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (argument.startsWith(u'\\') && argument.size() == 2) {
            const QChar option = argument.at(1).toLower();
            const bool takesValue = option == u'l' || option == u'o' || option == u't';
            if (takesValue && i + 1 < arguments.size()) {
                if (option == u'l')
                    bookmark = arguments.at(i + 1);
                ++i;
            }
        } else if (target.isEmpty()) {
            target = argument;
        }
    }
    if (!bookmark.isEmpty())
        target += u'#' + bookmark;
    return target;
}

} // namespace

void RtfReader::enterFieldDestination(Keyword keyword)
{
    GroupState &group = state();
    switch (keyword) {
    case Keyword::Field:
        group.field = int(m_fields.size());
        m_fields.emplace_back();
        return;
    case Keyword::FieldInstruction:
        group.destination = group.field >= 0 ? Destination::FieldInstruction : Destination::Skip;
        return;
    case Keyword::FieldResult:
        if (group.field >= 0) {
            const QString target = hyperlinkTarget(m_fields[size_t(group.field)].instruction);
            if (!target.isEmpty()) {
                group.character.link = int(m_links.size());
                m_links.append(target);
            }
        }
        return;
    default:
        return;
    }
}

} // namespace Quillmere::Internal
