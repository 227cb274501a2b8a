// SPDX-License-Identifier: GPL-3.0-or-later
// The window on a screen of device-pixel ratio 2 (run with QT_SCALE_FACTOR=2): every picture is
// drawn pixel for pixel from its 32 x 32 art rather than an enlarged 16 x 16 one.
#include "imagelist.h"
#include "mainwindow.h"
#include "toolbar.h"

#include <QAction>
#include <QTest>
#include <QToolBar>

#include <memory>
#include <optional>

using namespace Quillmere;

namespace {

QImage devicePixels(QWidget *widget)
{
    return widget->grab().toImage().convertToFormat(QImage::Format_ARGB32);
}

QImage picture(QStringView name, int size)
{
    return QImage(u":/icons/%1-%2.xpm"_qs.arg(name).arg(size))
        .convertToFormat(QImage::Format_ARGB32);
}

bool pictureAt(const QImage &image, const QImage &art, int left, int top)
{
    for (int y = 0; y < art.height(); ++y) {
        for (int x = 0; x < art.width(); ++x) {
            const QRgb pixel = art.pixel(x, y);
            if (qAlpha(pixel) != 0 && image.pixel(left + x, top + y) != pixel)
                return false;
        }
    }
    return true;
}

// Where `art` appears pixel for pixel in `image` (its transparent pixels match anything).
std::optional<QPoint> findPicture(const QImage &image, const QImage &art)
{
    for (int top = 0; top + art.height() <= image.height(); ++top) {
        for (int left = 0; left + art.width() <= image.width(); ++left) {
            if (pictureAt(image, art, left, top))
                return QPoint(left, top);
        }
    }
    return std::nullopt;
}

} // namespace

class TestHighDensity : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void toolbarPicturesComeFromLargeArt_data();
    void toolbarPicturesComeFromLargeArt();

private:
    QWidget *button(const QString &key) const;

    std::unique_ptr<Form1> m_window;
};

void TestHighDensity::initTestCase()
{
    m_window = std::make_unique<Form1>();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    QCOMPARE(m_window->devicePixelRatio(), 2.0);
}

void TestHighDensity::cleanupTestCase()
{
    m_window.reset();
}

QWidget *TestHighDensity::button(const QString &key) const
{
    QAction *action = m_window->toolBar()->findChild<QAction *>(key);
    return action ? m_window->toolBar()->widgetForAction(action) : nullptr;
}

void TestHighDensity::toolbarPicturesComeFromLargeArt_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("image");
    for (const ToolbarButtonSpec &entry : ToolbarButtons) {
        if (entry.style == ToolbarEntryStyle::Button)
            QTest::addRow("%s", qPrintable(entry.caption.toString()))
                << entry.key.toString() << ToolbarImages.at(entry.image - 1).toString();
    }
}

void TestHighDensity::toolbarPicturesComeFromLargeArt()
{
    QFETCH(QString, key);
    QFETCH(QString, image);
    QWidget *widget = button(key);
    QVERIFY(widget);
    const QImage shot = devicePixels(widget);
    QVERIFY2(findPicture(shot, picture(image, 32)), "the 32 x 32 art is not drawn as it is");
    const QImage enlarged = picture(image, 16).scaled(32, 32);
    QVERIFY2(!findPicture(shot, enlarged), "the 16 x 16 art is drawn enlarged");
}

QTEST_MAIN(TestHighDensity)
#include "tst_highdensity.moc"
