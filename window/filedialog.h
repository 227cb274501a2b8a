// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "filecommands.h"

#include <QFileDialog>
#include <QList>
#include <QStringList>
#include <QStringView>

#include <array>

class QLineEdit;

namespace Quillmere {

// The file types both file dialogs offer: description and pattern alternate, split by bars.
inline constexpr QStringView FileFilter
    = u"All Files (*.*)|*.*|Rich Text Files(*.rtf)|*.rtf|Text Files(*.txt)|*.txt";

struct FileFilterEntry
{
    QString description;
    QString pattern; // one or more wildcards split by semicolons, as in "*.rtf;*.doc"

    friend bool operator==(const FileFilterEntry &, const FileFilterEntry &) = default;
};

// The entries of a bar-separated filter, in order. A description left without a pattern at
// the end is dropped.
QList<FileFilterEntry> parseFileFilter(QStringView filter);

// The wildcards that list the files an entry's pattern stands for. A pattern ending in ".*"
// also takes names without a dot, as "*.*" takes every file. Matching ignores case.
QStringList nameMatchPatterns(QStringView pattern);

// How a file dialog is set up before each showing.
struct FileDialogSettings
{
    FileDialogMode mode;
    QFileDialog::AcceptMode acceptMode;
    QFileDialog::FileMode fileMode; // ExistingFile: only a file that exists is accepted
    bool confirmOverwrite;
    int initialFilterEntry; // 1-based, in FileFilter
};

// Open takes only a file that exists, Save asks before replacing one; both start on
// "Text Files(*.txt)".
inline constexpr std::array<FileDialogSettings, 2> FileDialogSettingsTable { {
    { FileDialogMode::Open, QFileDialog::AcceptOpen, QFileDialog::ExistingFile, false, 3 },
    { FileDialogMode::Save, QFileDialog::AcceptSave, QFileDialog::AnyFile, true, 3 },
} };

const FileDialogSettings &fileDialogSettings(FileDialogMode mode);

// The text shown when a save fails: the file's full path, the reason, and that the document is
// still open.
QString saveFailureMessage(const QString &path, const QString &reason);

// The window's one file dialog, serving both commands for the window's whole life. It is Qt's
// own dialog rather than the desktop's, so it behaves alike everywhere. It keeps the path
// chosen last, by either command, and offers it exactly as the next initial name.
class CommonDialog : public QFileDialog, public FileChooser
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CommonDialog)

public:
    explicit CommonDialog(QWidget *parent = nullptr);
    ~CommonDialog() override;

    // Applies the settings for `mode`, shows the dialog modally and returns the path it was
    // accepted with.
    std::optional<QString> choosePath(FileDialogMode mode) override;
    // A message box over the window.
    void showSaveFailure(const QString &path, const QString &reason) override;

private:
    void applySettings(const FileDialogSettings &settings);
    void offerName(const QString &path);
    // The field where the name is typed, inside Qt's dialog.
    QLineEdit *nameEdit() const;

    QList<FileFilterEntry> m_filterEntries;
    QString m_chosenPath; // the path the dialog was last accepted with, by either command
};

} // namespace Quillmere
