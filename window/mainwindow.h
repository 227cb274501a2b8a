// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class QAction;
class QMenu;
class QToolBar;

namespace Quillmere {

class CommonDialog;
class ImageList;
class RichTextEditor;
class StatusBar;

// The program's only window: the toolbar along the top, the editor below it and the status bar
// along the bottom. The editor is placed by LayoutEditor on every resize; a right-button press
// in it opens the copy and paste menu.
class Form1 : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Form1)

public:
    explicit Form1(QWidget *parent = nullptr);
    ~Form1() override;

    RichTextEditor *editor() const { return m_editor; }
    QToolBar *toolBar() const { return m_toolBar; }
    StatusBar *statusBar() const { return m_statusBar; }
    ImageList *imageList() const { return m_imageList; }
    QMenu *popupMenu() const { return m_popupMenu; }
    CommonDialog *fileDialog() const { return m_fileDialog; }

protected:
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void createEditor();
    void createImageList();
    void createToolBar();
    void createContextMenu();
    void createStatusBar();
    void createFileDialog();
    void layoutChildren();
    void runActionCommand(QAction *action);
    // Opens the menu at the pointer on a right-button press; the shift state plays no part.
    void showPopupMenu(int button, int shift, double x, double y);
    int toPixels(double twips) const;

    RichTextEditor *m_editor = nullptr;
    ImageList *m_imageList = nullptr;
    QToolBar *m_toolBar = nullptr;
    QMenu *m_popupMenu = nullptr;
    StatusBar *m_statusBar = nullptr;
    CommonDialog *m_fileDialog = nullptr;
};

} // namespace Quillmere
