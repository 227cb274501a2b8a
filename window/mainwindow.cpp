// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainwindow.h"

#include "commands.h"
#include "editorinput.h"
#include "filedialog.h"
#include "imagelist.h"
#include "keystate.h"
#include "layout.h"
#include "popupmenu.h"
#include "richtexteditor.h"
#include "statusbar.h"
#include "toolbar.h"
#include "twips.h"

#include <QAction>
#include <QEvent>
#include <QFontMetrics>
#include <QMenu>
#include <QProxyStyle>
#include <QToolBar>
#include <QToolButton>

#include <csignal>

namespace Quillmere {
namespace {

inline constexpr double InitialInnerWidthTwips = 7980;
inline constexpr double InitialInnerHeightTwips = 6690;

// Packs the toolbar's entries edge to edge, with separators of a set width, so that all
// seventeen fit the window's initial width in one row.
class ToolbarStyle : public QProxyStyle
{
public:
    explicit ToolbarStyle(int separatorWidth)
        : m_separatorWidth(separatorWidth)
    {
    }

    int pixelMetric(PixelMetric metric, const QStyleOption *option,
                    const QWidget *widget) const override
    {
        switch (metric) {
        case PM_ToolBarSeparatorExtent:
            return m_separatorWidth;
        case PM_ToolBarItemSpacing:
        case PM_ToolBarItemMargin:
        case PM_ToolBarFrameWidth:
            return 0;
        default:
            return QProxyStyle::pixelMetric(metric, option, widget);
        }
    }

private:
    int m_separatorWidth;
};

// The largest font, no larger than `font`, in which every caption fits `width` pixels, so that
// captions are never elided whatever the desktop's default font is.
QFont fittingCaptionFont(QFont font, int width)
{
    constexpr double SmallestPointSize = 6.0;
    while (font.pointSizeF() > SmallestPointSize) {
        const QFontMetrics metrics(font);
        bool fits = true;
        for (const ToolbarButtonSpec &entry : ToolbarButtons)
            fits = fits && metrics.horizontalAdvance(entry.caption.toString()) <= width;
        if (fits)
            break;
        font.setPointSizeF(font.pointSizeF() - 0.5);
    }
    return font;
}

WindowState windowStateOf(const QWidget &window)
{
    if (window.isMinimized())
        return WindowState::Minimized;
    if (window.isMaximized())
        return WindowState::Maximized;
    return WindowState::Normal;
}

} // namespace

Form1::Form1(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Change the first letter of every word to Upper Case"));
    setWindowIcon(loadIcon(u"book"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);

    // At a file size limit (ulimit -f) a save fails with a short write and says so, instead of
    // the signal ending the program with the document unsaved.
    std::signal(SIGXFSZ, SIG_IGN);

    createEditor();
    createImageList();
    createToolBar();
    createContextMenu();
    createStatusBar();
    createFileDialog();

    setTabOrder(m_editor, m_toolBar);
    setTabOrder(m_toolBar, m_statusBar);
    m_editor->setFocus();
    resize(toPixels(InitialInnerWidthTwips), toPixels(InitialInnerHeightTwips));
}

Form1::~Form1() = default;

void Form1::createEditor()
{
    m_editor = new RichTextEditor(this);
    m_editor->setObjectName(QStringLiteral("RichTextBox1"));
    // Drops and the X11 middle-button paste then bring in plain text, as every paste does.
    m_editor->setAcceptRichText(false);
    new EditorInput(m_editor);
    m_editor->setAccessibleName(tr("Document"));
}

void Form1::createImageList()
{
    m_imageList = new ImageList(this);
    m_imageList->setObjectName(QStringLiteral("ImageList1"));
    for (const QStringView name : ToolbarImages)
        m_imageList->add(loadIcon(name));
}

void Form1::createToolBar()
{
    m_toolBar = new QToolBar(this);
    m_toolBar->setObjectName(QStringLiteral("Toolbar1"));
    auto *style = new ToolbarStyle(toPixels(ToolbarSeparatorWidthTwips));
    style->setParent(m_toolBar);
    m_toolBar->setStyle(style);
    m_toolBar->setMovable(false);
    m_toolBar->setFloatable(false);
    m_toolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    m_toolBar->setIconSize(m_imageList->imageSize());

    const QSize buttonSize(toPixels(ToolbarButtonWidthTwips), toPixels(ToolbarButtonHeightTwips));
    m_toolBar->setFont(fittingCaptionFont(
        m_toolBar->font(), buttonSize.width() - toPixels(ToolbarCaptionMarginTwips)));
    for (const ToolbarButtonSpec &entry : ToolbarButtons) {
        if (entry.style == ToolbarEntryStyle::Separator) {
            QAction *separator = m_toolBar->addSeparator();
            m_toolBar->widgetForAction(separator)->setStyle(style);
            continue;
        }
        QAction *action
            = m_toolBar->addAction(m_imageList->image(entry.image), entry.caption.toString());
        action->setObjectName(entry.key.toString());
        action->setData(entry.key.toString());
        action->setToolTip(entry.toolTip.toString());
        m_toolBar->widgetForAction(action)->setFixedSize(buttonSize);
    }
    m_toolBar->setFixedHeight(toPixels(ToolbarHeightTwips));
    connect(m_toolBar, &QToolBar::actionTriggered, this, &Form1::runActionCommand);
}

void Form1::createContextMenu()
{
    m_popupMenu = new QMenu(PopupMenuTitle.toString(), this);
    m_popupMenu->setObjectName(QStringLiteral("mnuPopup"));
    for (const PopupMenuItemSpec &item : PopupMenuItems) {
        QAction *action = m_popupMenu->addAction(item.caption.toString());
        action->setObjectName(item.name.toString());
        action->setData(item.name.toString());
        action->setShortcut(item.shortcut);
        action->setShortcutVisibleInContextMenu(true);
    }
    connect(m_popupMenu, &QMenu::triggered, this, &Form1::runActionCommand);
    connect(m_editor, &RichTextEditor::mouseDown, this, &Form1::showPopupMenu);
}

void Form1::createStatusBar()
{
    m_statusBar = new StatusBar(this, createEditorKeyState(*m_editor));
    m_statusBar->setObjectName(QStringLiteral("StatusBar1"));
}

void Form1::createFileDialog()
{
    m_fileDialog = new CommonDialog(this);
    m_fileDialog->setObjectName(QStringLiteral("CommonDialog1"));
}

void Form1::runActionCommand(QAction *action)
{
    CommandContext context { *this, *m_editor, m_fileDialog };
    DispatchToolbarKey(action->data().toString(), context);
}

void Form1::showPopupMenu(int button, int, double x, double y)
{
    if (button != RightButtonCode)
        return;
    const double dpi = logicalDpiOf(m_editor);
    const QPoint pointer(twipsToPixels(x, dpi), twipsToPixels(y, dpi));
    m_popupMenu->popup(m_editor->mapToGlobal(pointer));
}

void Form1::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    layoutChildren();
}

void Form1::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        layoutChildren();
}

void Form1::layoutChildren()
{
    const double dpi = logicalDpiOf(this);
    m_toolBar->setGeometry(0, 0, width(), m_toolBar->height());
    const int statusBarHeight = m_statusBar->height();
    m_statusBar->setGeometry(0, height() - statusBarHeight, width(), statusBarHeight);

    const QSizeF innerSize(pixelsToTwips(width(), dpi), pixelsToTwips(height(), dpi));
    const std::optional<QRectF> editorRect
        = LayoutEditor(windowStateOf(*this), pixelsToTwips(m_toolBar->height(), dpi), innerSize);
    if (editorRect)
        m_editor->moveInTwips(*editorRect);
}

int Form1::toPixels(double twips) const
{
    return twipsToPixels(twips, logicalDpiOf(this));
}

} // namespace Quillmere
