// SPDX-License-Identifier: GPL-3.0-or-later
// Character formatting, worked out once per format as the keywords every run of it starts
// with, and the font and colour tables those keywords point into.
#include "rtfwriter_p.h"

#include "rtfcodepages.h"
#include "rtfproperties.h"
#include "rtfwriterkeywords.h"

namespace Quillmere::Internal {

namespace {

// Weight, slant, underline, strike-out, super- and subscript and capitals, as keywords.
QByteArray styleKeywords(const QTextCharFormat &format)
{
    QByteArray keywords;
    if (format.fontWeight() >= QFont::DemiBold)
        keywords += "\\b";
    if (format.fontItalic())
        keywords += "\\i";
    QTextCharFormat::UnderlineStyle underline = format.underlineStyle();
    if (underline == QTextCharFormat::NoUnderline
        && format.boolProperty(QTextFormat::FontUnderline))
        underline = QTextCharFormat::SingleUnderline;
    for (const UnderlineKeyword &entry : UnderlineKeywords) {
        if (entry.style == underline)
            keywords += entry.keyword;
    }
    if (format.fontStrikeOut())
        keywords += "\\strike";
    switch (format.verticalAlignment()) {
    case QTextCharFormat::AlignSuperScript:
        keywords += "\\super";
        break;
    case QTextCharFormat::AlignSubScript:
        keywords += "\\sub";
        break;
    default:
        break;
    }
    switch (format.fontCapitalization()) {
    case QFont::AllUppercase:
        keywords += "\\caps";
        break;
    case QFont::SmallCaps:
        keywords += "\\scaps";
        break;
    default:
        break;
    }
    return keywords;
}

} // namespace

QString RtfWriter::familyOf(const QFont &font)
{
    const QStringList families = font.families();
    if (!families.isEmpty() && !families.constFirst().isEmpty())
        return families.constFirst();
    return font.family();
}

// Symbol fonts need their own charset: readers map their bytes to the private use area.
int RtfWriter::fontIndex(const QString &family, bool symbol)
{
    if (m_outermost)
        return m_outermost->fontIndex(family, symbol);
    const QString key = symbol ? u"\u0001"_qs + family : family;
    const auto found = m_fontIndexes.constFind(key);
    if (found != m_fontIndexes.constEnd())
        return found.value();
    const int index = int(m_fonts.size());
    m_fonts.push_back({ family, symbol });
    m_fontIndexes.insert(key, index);
    return index;
}

// Index 0 is the automatic colour, so the first real one is 1.
int RtfWriter::colorIndex(const QColor &color)
{
    if (m_outermost)
        return m_outermost->colorIndex(color);
    const QRgb rgb = color.rgb() & RGB_MASK;
    const auto found = m_colorIndexes.constFind(rgb);
    if (found != m_colorIndexes.constEnd())
        return found.value();
    m_colors.push_back(rgb);
    const int index = int(m_colors.size());
    m_colorIndexes.insert(rgb, index);
    return index;
}

void RtfWriter::writeFontTable(RtfOutput &out)
{
    out.open();
    out.word("\\fonttbl");
    for (qsizetype index = 0; index < qsizetype(m_fonts.size()); ++index) {
        out.open();
        out.word("\\f", index);
        out.word("\\fnil");
        out.word("\\fcharset", m_fonts[index].symbol ? 2 : 0);
        // A semicolon would end the name early; no real family has one.
        QString name = m_fonts[index].family;
        name.remove(u';');
        out.writeText(name);
        out.literal(';');
        out.close();
    }
    out.close();
    out.lineEnd();
}

void RtfWriter::writeColorTable(RtfOutput &out)
{
    out.open();
    out.word("\\colortbl");
    out.literal(';');
    for (const QRgb rgb : m_colors) {
        out.word("\\red", qRed(rgb));
        out.word("\\green", qGreen(rgb));
        out.word("\\blue", qBlue(rgb));
        out.literal(';');
    }
    out.close();
    out.lineEnd();
}

RunFormat RtfWriter::describeRun(const QTextCharFormat &format)
{
    RunFormat run;
    run.note = format.hasProperty(KeptNotes);
    run.noteNumber = format.hasProperty(NoteNumber);
    if (format.isImageFormat()) {
        run.image = true;
        return run;
    }
    if (format.isAnchor())
        run.href = format.anchorHref();

    QByteArray &keywords = run.keywords;
    // The format's font is already resolved against the document's default font.
    const QFont font = format.font();
    const QString family = familyOf(font);
    if (codePageForFontName(family) == SymbolCodePage)
        run.symbolFont = family.startsWith(u"Symbol", Qt::CaseInsensitive) ? 2 : 1;
    keywords += "\\f";
    appendNumber(keywords, fontIndex(family, run.symbolFont != 0));
    const double points
        = font.pointSizeF() > 0 ? font.pointSizeF() : font.pixelSize() * 72.0 / 96.0;
    keywords += "\\fs";
    appendNumber(keywords, qBound(1, qRound(points * 2), MaxHalfPoints));
    keywords += styleKeywords(format);
    const QBrush foreground = format.foreground();
    if (foreground.style() != Qt::NoBrush && foreground.color().isValid()) {
        keywords += "\\cf";
        appendNumber(keywords, colorIndex(foreground.color()));
    }
    const QBrush background = format.background();
    if (background.style() != Qt::NoBrush && background.color().isValid()
        && background.color().alpha() > 0) {
        // Word's highlight has 16 colours and LibreOffice draws no white one: the shading
        // says the colour exactly.
        const int color = colorIndex(background.color());
        keywords += "\\highlight";
        appendNumber(keywords, color);
        keywords += "\\chcbpat";
        appendNumber(keywords, color);
    }
    if (format.hasProperty(QTextFormat::FontLetterSpacing)
        && format.fontLetterSpacingType() == QFont::AbsoluteSpacing) {
        if (const int twips = toTwips(format.fontLetterSpacing())) {
            keywords += "\\expndtw";
            appendNumber(keywords, twips);
        }
    }
    return run;
}

} // namespace Quillmere::Internal
