// SPDX-License-Identifier: GPL-3.0-or-later
#include "filedialog.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QLineEdit>
#include <QMessageBox>

#include <algorithm>

namespace Quillmere {
namespace {

// Matches no file, since no file name holds a slash; see dialogNameFilter.
inline constexpr QStringView NoFileWildcard = u"/";

// An entry as Qt's dialog takes it: "description (wildcards)". The dialog is set to show only
// the part before the parenthesis, so the person sees the description exactly as written.
// Qt's save dialog gives the name being typed the extension of the chosen entry's first
// wildcard; a first wildcard without one keeps the name as the person left it, so the name
// offered is the name written.
QString dialogNameFilter(const FileFilterEntry &entry)
{
    const QStringList wildcards
        = QStringList { NoFileWildcard.toString() } + nameMatchPatterns(entry.pattern);
    return entry.description + u" ("_qs + wildcards.join(u' ') + u')';
}

} // namespace

QList<FileFilterEntry> parseFileFilter(QStringView filter)
{
    QList<FileFilterEntry> entries;
    if (filter.isEmpty())
        return entries;
    const QList<QStringView> parts = filter.split(u'|');
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        entries.append({ parts.at(i).toString(), parts.at(i + 1).toString() });
    return entries;
}

QStringList nameMatchPatterns(QStringView pattern)
{
    QStringList wildcards;
    for (QStringView wildcard : pattern.split(u';', Qt::SkipEmptyParts)) {
        wildcard = wildcard.trimmed();
        if (wildcard.isEmpty())
            continue;
        wildcards.append(wildcard.toString());
        if (wildcard.size() > 2 && wildcard.endsWith(u".*"))
            wildcards.append(wildcard.chopped(2).toString());
    }
    wildcards.removeDuplicates();
    return wildcards;
}

const FileDialogSettings &fileDialogSettings(FileDialogMode mode)
{
    const auto settings
        = std::find_if(FileDialogSettingsTable.begin(), FileDialogSettingsTable.end(),
                       [mode](const FileDialogSettings &entry) { return entry.mode == mode; });
    Q_ASSERT(settings != FileDialogSettingsTable.end());
    return settings != FileDialogSettingsTable.end() ? *settings : FileDialogSettingsTable[0];
}

QString saveFailureMessage(const QString &path, const QString &reason)
{
    QString message = CommonDialog::tr("The document was not saved to \u201c%1\u201d.")
                          .arg(QDir::toNativeSeparators(path));
    if (!reason.isEmpty())
        message += u"\n\n"_qs + reason;
    return message + u"\n\n"_qs
        + CommonDialog::tr("It is still open here: save it under another name or in another "
                           "folder.");
}

CommonDialog::CommonDialog(QWidget *parent)
    : QFileDialog(parent)
    , m_filterEntries(parseFileFilter(FileFilter))
{
    setOption(QFileDialog::DontUseNativeDialog);
    setOption(QFileDialog::HideNameFilterDetails);
    // "REPORT.RTF" is a rich-text file too.
    setFilter(filter() & ~QDir::CaseSensitive);
}

CommonDialog::~CommonDialog() = default;

std::optional<QString> CommonDialog::choosePath(FileDialogMode mode)
{
    applySettings(fileDialogSettings(mode));
    const int result = exec();
    // Return pressed in the list of completions closes the dialog but leaves the list showing.
    if (QLineEdit *edit = nameEdit(); edit && edit->completer())
        edit->completer()->popup()->hide();
    if (result != QDialog::Accepted)
        return std::nullopt;
    const QStringList files = selectedFiles();
    if (files.isEmpty() || files.constFirst().isEmpty())
        return std::nullopt;
    m_chosenPath = files.constFirst();
    return m_chosenPath;
}

void CommonDialog::showSaveFailure(const QString &path, const QString &reason)
{
    QMessageBox::warning(parentWidget(), tr("Save File"), saveFailureMessage(path, reason));
}

void CommonDialog::applySettings(const FileDialogSettings &settings)
{
    setAcceptMode(settings.acceptMode);
    setFileMode(settings.fileMode);
    setOption(QFileDialog::DontConfirmOverwrite, !settings.confirmOverwrite);
    setDefaultSuffix(QString());

    QStringList filters;
    for (const FileFilterEntry &entry : std::as_const(m_filterEntries))
        filters.append(dialogNameFilter(entry));
    setNameFilters(filters);
    const qsizetype initialEntry = settings.initialFilterEntry - 1;
    if (initialEntry >= 0 && initialEntry < filters.size())
        selectNameFilter(nameFilters().at(initialEntry));
    offerName(m_chosenPath);
}

void CommonDialog::offerName(const QString &path)
{
    if (!path.isEmpty()) {
        selectFile(path);
        return;
    }
    // What was typed into a cancelled dialog is not offered again.
    if (QLineEdit *edit = nameEdit())
        edit->clear();
}

QLineEdit *CommonDialog::nameEdit() const
{
    return findChild<QLineEdit *>(u"fileNameEdit"_qs);
}

} // namespace Quillmere
