// SPDX-License-Identifier: GPL-3.0-or-later
// Opening generated RTF documents whose cost grows with their shape rather than their size:
// long and wide tables, deep nesting, a million paragraphs, large pictures. Each is timed from
// LoadFile to the first paint of a shown editor, against a baseline from the same run: for
// tables and nesting, a plain text file with the same text, one paragraph per cell; for
// paragraphs, QTextDocument::setPlainText on the same text; for pictures, decoding the same
// PNGs. Peak memory is measured in a process of its own.
#include "benchmain.h"
#include "childprocess.h"
#include "richtexteditor.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QTextDocument>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>

namespace {

constexpr double OneMegabyte = 1 << 20;
constexpr const char *OpenOnceOption = "--open-once";
// What LoadFile's process exits with when it refuses the file.
constexpr int RefusedExitCode = 2;
constexpr int PictureSide = 4000;
// The address space the refusal is checked under, in kB.
constexpr qint64 SmallAddressSpaceKb = 1400000;

Quillmere::RichTextEditor *editor = nullptr;
QString program;

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The file `name` in the build folder, written by `make` the first time it is asked for.
QString fixture(const QString &name, const std::function<QByteArray()> &make)
{
    const QString folder = QCoreApplication::applicationDirPath() + u"/rtfscale-data"_qs;
    QDir().mkpath(folder);
    const QString path = folder + u'/' + name;
    if (QFile::exists(path))
        return path;
    QFile file(path + u".part"_qs);
    if (!file.open(QIODevice::WriteOnly) || !file.write(make()) || !file.flush())
        return {};
    file.close();
    return QFile::rename(file.fileName(), path) ? path : QString();
}

constexpr const char *RtfHeader = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}\n";

QByteArray cellText(int row, int cell)
{
    return "row " + QByteArray::number(row) + " cell " + QByteArray::number(cell);
}

QByteArray tableRtf(int rows, int cells)
{
    QByteArray definition = "\\trowd\\trgaph108";
    for (int cell = 1; cell <= cells; ++cell)
        definition += "\\cellx" + QByteArray::number(cell * 9000 / std::min(cells, 63));
    QByteArray rtf = RtfHeader;
    for (int row = 0; row < rows; ++row) {
        rtf += definition + "\n\\pard\\intbl ";
        for (int cell = 0; cell < cells; ++cell)
            rtf += cellText(row, cell) + "\\cell ";
        rtf += "\\row\n";
    }
    return rtf + "}";
}

QByteArray cellLines(int rows, int cells)
{
    QByteArray text;
    for (int row = 0; row < rows; ++row) {
        for (int cell = 0; cell < cells; ++cell)
            text += cellText(row, cell) + '\n';
    }
    return text;
}

// Each level holds a line of text and the next level, as Word writes nested tables.
QByteArray nestedRtf(int depth)
{
    QByteArray rtf = RtfHeader;
    for (int level = 1; level <= depth; ++level) {
        rtf += "\\pard\\intbl\\itap" + QByteArray::number(level) + " level "
            + QByteArray::number(level) + "\\par\n";
    }
    for (int level = depth; level > 1; --level) {
        rtf += "\\pard\\intbl\\itap" + QByteArray::number(level)
            + "\\nestcell{\\*\\nesttableprops\\trowd\\cellx4000\\nestrow}{\\nonesttables\\par}\n";
    }
    return rtf + "\\pard\\intbl\\itap1\\cell\\trowd\\cellx9000\\row}";
}

QByteArray nestedLines(int depth)
{
    QByteArray text;
    for (int level = 1; level <= depth; ++level)
        text += "level " + QByteArray::number(level) + '\n';
    return text;
}

QByteArray paragraphLines(int paragraphs)
{
    QByteArray text;
    for (int paragraph = 0; paragraph < paragraphs; ++paragraph)
        text += "Paragraph " + QByteArray::number(paragraph) + " of the document\n";
    return text;
}

QByteArray paragraphsRtf(int paragraphs)
{
    QByteArray rtf = RtfHeader;
    for (int paragraph = 0; paragraph < paragraphs; ++paragraph)
        rtf += "Paragraph " + QByteArray::number(paragraph) + " of the document\\par\n";
    return rtf + "}";
}

// Paragraphs of a number each: many paragraphs in few bytes.
QByteArray numberParagraphsRtf(int paragraphs)
{
    QByteArray rtf = RtfHeader;
    for (int paragraph = 0; paragraph < paragraphs; ++paragraph)
        rtf += QByteArray::number(paragraph) + "\\par\n";
    return rtf + "}";
}

// A large picture that compresses well, different for each `seed`.
QByteArray picturePng(int seed)
{
    QImage image(PictureSide, PictureSide, QImage::Format_RGB32);
    image.fill(QColor::fromHsv(seed * 22 % 360, 60, 250));
    QPainter painter(&image);
    painter.setPen(QPen(Qt::darkBlue, 9));
    for (int ring = 1; ring < 20; ++ring)
        painter.drawEllipse(QPoint(PictureSide / 2, PictureSide / 2), ring * 97, ring * 97 + seed);
    painter.end();
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

QByteArray picturesRtf(int pictures)
{
    QByteArray rtf = RtfHeader;
    for (int picture = 0; picture < pictures; ++picture) {
        rtf += "Picture " + QByteArray::number(picture) + ": {\\pict\\pngblip\\picw"
            + QByteArray::number(PictureSide) + "\\pich" + QByteArray::number(PictureSide) + "\n"
            + picturePng(picture).toHex() + "}\\par\n";
    }
    return rtf + "}";
}

QString tableFile(int rows, int cells)
{
    return fixture(u"table-%1x%2.rtf"_qs.arg(rows).arg(cells),
                   [=] { return tableRtf(rows, cells); });
}

QString cellLinesFile(int rows, int cells)
{
    return fixture(u"table-%1x%2.txt"_qs.arg(rows).arg(cells),
                   [=] { return cellLines(rows, cells); });
}

// Lets pending work (documents released by undo history) finish between runs.
void settle()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

// Times LoadFile and the first paint of `file`; false when LoadFile failed.
bool timeOpening(benchmark::State &state, const QString &file)
{
    if (file.isEmpty()) {
        state.SkipWithError("the document could not be written");
        return false;
    }
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        if (!editor->LoadFile(file)) {
            state.SkipWithError("LoadFile failed");
            return false;
        }
        editor->viewport()->repaint();
        state.SetIterationTime(secondsSince(start));
        editor->setDocumentText(QString());
        settle();
    }
    state.counters["file_mb"] = double(QFileInfo(file).size()) / OneMegabyte;
    return true;
}

// Peak memory of opening `file` in a process that does only that, with the bound the codec
// keeps beside it: 256 MB and ten times the file.
void countPeak(benchmark::State &state, const QString &file)
{
    const QuillmereBench::ProcessRun alone = QuillmereBench::runMeasured(
        program, { program, QString::fromLatin1(OpenOnceOption), file });
    if (!alone.ok)
        return;
    state.counters["peak_rss_mb"] = alone.peakMegabytes;
    state.counters["bound_mb"] = 256 + 10 * double(QFileInfo(file).size()) / OneMegabyte;
}

void BM_OpenPlainCells(benchmark::State &state)
{
    timeOpening(state, cellLinesFile(int(state.range(0)), int(state.range(1))));
}

void BM_OpenTable(benchmark::State &state)
{
    const QString file = tableFile(int(state.range(0)), int(state.range(1)));
    if (timeOpening(state, file))
        countPeak(state, file);
}

void BM_OpenPlainNested(benchmark::State &state)
{
    const int depth = int(state.range(0));
    timeOpening(state, fixture(u"nested-%1.txt"_qs.arg(depth), [=] { return nestedLines(depth); }));
}

void BM_OpenNestedTables(benchmark::State &state)
{
    const int depth = int(state.range(0));
    const QString file = fixture(u"nested-%1.rtf"_qs.arg(depth), [=] { return nestedRtf(depth); });
    if (timeOpening(state, file))
        countPeak(state, file);
}

void BM_SetPlainTextParagraphs(benchmark::State &state)
{
    const QString text = QString::fromLatin1(paragraphLines(int(state.range(0))));
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        auto document = std::make_unique<QTextDocument>();
        document->setUndoRedoEnabled(false);
        document->setPlainText(text);
        // As the readers hand it over: the editor keeps its own undo items in it.
        document->setUndoRedoEnabled(true);
        editor->installDocument(std::move(document));
        editor->viewport()->repaint();
        state.SetIterationTime(secondsSince(start));
        editor->setDocumentText(QString());
        settle();
    }
}

void BM_OpenParagraphs(benchmark::State &state)
{
    const int paragraphs = int(state.range(0));
    const QString file = fixture(u"paragraphs-%1.rtf"_qs.arg(paragraphs),
                                 [=] { return paragraphsRtf(paragraphs); });
    if (!timeOpening(state, file))
        return;
    countPeak(state, file);
    const QString empty = fixture(u"empty.rtf"_qs, [] { return QByteArray(RtfHeader) + "}"; });
    const QuillmereBench::ProcessRun alone = QuillmereBench::runMeasured(
        program, { program, QString::fromLatin1(OpenOnceOption), empty });
    if (alone.ok && state.counters.count("peak_rss_mb")) {
        state.counters["bytes_per_paragraph"]
            = (state.counters["peak_rss_mb"] - alone.peakMegabytes) * OneMegabyte / paragraphs;
    }
}

// A file far too large for the address space it is opened in must be refused, not crash.
void BM_RefuseParagraphsInSmallAddressSpace(benchmark::State &state)
{
    const int paragraphs = int(state.range(0));
    const QString file = fixture(u"number-paragraphs-%1.rtf"_qs.arg(paragraphs),
                                 [=] { return numberParagraphsRtf(paragraphs); });
    for (auto _ : state) {
        const QuillmereBench::ProcessRun run = QuillmereBench::runMeasured(
            program, { program, QString::fromLatin1(OpenOnceOption), file }, SmallAddressSpaceKb);
        if (run.exitCode != RefusedExitCode) {
            state.SkipWithError(run.ok ? "the file was opened, not refused"
                                       : "opening crashed instead of refusing");
            return;
        }
        state.SetIterationTime(run.seconds);
        state.counters["peak_rss_mb"] = run.peakMegabytes;
    }
    state.counters["file_mb"] = double(QFileInfo(file).size()) / OneMegabyte;
}

void BM_DecodePictures(benchmark::State &state)
{
    std::vector<QByteArray> pictures;
    for (int picture = 0; picture < state.range(0); ++picture)
        pictures.push_back(picturePng(picture));
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        for (const QByteArray &png : pictures)
            benchmark::DoNotOptimize(QImage::fromData(png));
        state.SetIterationTime(secondsSince(start));
    }
}

void BM_OpenPictures(benchmark::State &state)
{
    const int pictures = int(state.range(0));
    const QString file
        = fixture(u"pictures-%1.rtf"_qs.arg(pictures), [=] { return picturesRtf(pictures); });
    if (timeOpening(state, file))
        countPeak(state, file);
}

void tableSizes(benchmark::internal::Benchmark *benchmark)
{
    benchmark->ArgNames({ "rows", "cells" });
    for (const int cells : { 2, 8 }) {
        for (const int rows : { 1000, 10000, 100000 })
            benchmark->Args({ rows, cells });
    }
    benchmark->Args({ 1, 1000000 });
    benchmark->Unit(benchmark::kMillisecond)->UseManualTime();
}

void nestingDepths(benchmark::internal::Benchmark *benchmark)
{
    benchmark->ArgName("depth")->Arg(1000)->Unit(benchmark::kMillisecond)->UseManualTime();
}

void paragraphCounts(benchmark::internal::Benchmark *benchmark)
{
    benchmark->ArgName("paragraphs")->Arg(1000000)->Unit(benchmark::kMillisecond);
    benchmark->UseManualTime();
}

void pictureCounts(benchmark::internal::Benchmark *benchmark)
{
    benchmark->ArgName("pictures")->Arg(16)->Unit(benchmark::kMillisecond)->UseManualTime();
}

} // namespace

// All timed by hand, so that the reports name them alike and bench-report.py can pair them.
BENCHMARK(BM_OpenPlainCells)->Apply(tableSizes);
BENCHMARK(BM_OpenTable)->Apply(tableSizes);
BENCHMARK(BM_OpenPlainNested)->Apply(nestingDepths);
BENCHMARK(BM_OpenNestedTables)->Apply(nestingDepths);
BENCHMARK(BM_SetPlainTextParagraphs)->Apply(paragraphCounts);
BENCHMARK(BM_OpenParagraphs)->Apply(paragraphCounts);
BENCHMARK(BM_DecodePictures)->Apply(pictureCounts);
BENCHMARK(BM_OpenPictures)->Apply(pictureCounts);
BENCHMARK(BM_RefuseParagraphsInSmallAddressSpace)
    ->ArgName("paragraphs")
    ->Arg(10000000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseManualTime();

int main(int argc, char **argv)
{
    if (argc > 2 && qstrcmp(argv[1], QuillmereBench::PeakOfOption) == 0)
        return QuillmereBench::reportPeakOf(argv + 2);
    QuillmereBench::preferOffscreenPlatform();
    QApplication application(argc, argv);
    program = QCoreApplication::applicationFilePath();
    Quillmere::RichTextEditor shownEditor;
    QuillmereBench::showAtInitialSize(shownEditor);
    editor = &shownEditor;

    if (argc == 3 && qstrcmp(argv[1], OpenOnceOption) == 0) {
        const Quillmere::FileResult loaded = shownEditor.LoadFile(QString::fromLocal8Bit(argv[2]));
        shownEditor.viewport()->repaint();
        return loaded ? 0 : RefusedExitCode;
    }

    return QuillmereBench::runBenchmarks(argc, argv);
}
