// SPDX-License-Identifier: GPL-3.0-or-later
#include "filedialog.h"
#include "files.h"
#include "layout.h"
#include "statusbar.h"
#include "twips.h"

#include <QTest>

using namespace Quillmere;

namespace {

QString numbers(const QRectF &rect)
{
    return u"%1 %2 %3 %4"_qs.arg(rect.x()).arg(rect.y()).arg(rect.width()).arg(rect.height());
}

// What the rule of `kind` makes of `input`, written as the fixture writes it.
QString outcome(const QString &kind, const QString &input)
{
    const QStringList in = input.split(u' ');
    QStringList parts;
    if (kind == u"editor") {
        const QStringList states { u"normal"_qs, u"minimized"_qs, u"maximized"_qs };
        const std::optional<QRectF> rect
            = LayoutEditor(WindowState(states.indexOf(in[0])), in[1].toDouble(),
                           QSizeF(in[2].toDouble(), in[3].toDouble()));
        return rect ? numbers(*rect) : u"none"_qs;
    }
    if (kind == u"twips") {
        const int pixels = twipsToPixels(in[0].toDouble(), in[1].toDouble());
        return u"%1 %2"_qs.arg(pixels).arg(pixelsToTwips(pixels, in[1].toDouble()));
    }
    if (kind == u"panels") {
        for (const QRectF &rect : LayoutStatusPanels(QSizeF(in[0].toDouble(), in[1].toDouble())))
            parts << numbers(rect);
        return parts.join(u", ");
    }
    if (kind == u"clock") {
        const QTime time = QTime::fromString(in[0], u"hh:mm:ss.zzz");
        return QString::number(msecsToClockChange(time, in[1] == u"seconds"));
    }
    if (kind == u"wildcards")
        return nameMatchPatterns(input).join(u' ');
    if (kind != u"filter")
        return u"no rule called "_qs + kind;
    for (const FileFilterEntry &entry : parseFileFilter(input))
        parts << entry.description + u'=' + entry.pattern;
    return parts.isEmpty() ? u"(none)"_qs : parts.join(u", ");
}

} // namespace

class TestWindowRules : public QObject
{
    Q_OBJECT

private slots:
    void rules_data() { addFixtureRows(QFINDTESTDATA("data/window-rules.txt")); }
    void rules();
};

void TestWindowRules::rules()
{
    QFETCH(QStringList, fields);
    QCOMPARE(fields.size(), 3);
    QCOMPARE(outcome(fields[0], fields[1]), fields[2]);
}

QTEST_APPLESS_MAIN(TestWindowRules)
#include "tst_windowrules.moc"
