// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class QAction;
class QStatusBar;
class QToolBar;

namespace Quillmere {

class ImageList;
class RichTextEditor;

// The program's only window: the toolbar along the top, the editor below it and the status bar
// along the bottom. The editor is placed by LayoutEditor on every resize.
class Form1 : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Form1)

public:
    explicit Form1(QWidget *parent = nullptr);
    ~Form1() override;

    RichTextEditor *editor() const { return m_editor; }
    QToolBar *toolBar() const { return m_toolBar; }
    QStatusBar *statusBar() const { return m_statusBar; }
    ImageList *imageList() const { return m_imageList; }

protected:
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void createEditor();
    void createImageList();
    void createToolBar();
    void createStatusBar();
    void layoutChildren();
    void runToolbarAction(QAction *action);
    int toPixels(double twips) const;

    RichTextEditor *m_editor = nullptr;
    ImageList *m_imageList = nullptr;
    QToolBar *m_toolBar = nullptr;
    QStatusBar *m_statusBar = nullptr;
};

} // namespace Quillmere
