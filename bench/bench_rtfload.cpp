// SPDX-License-Identifier: GPL-3.0-or-later
// Opening an RTF file that LibreOffice wrote from a formatted document (bold, italic and colour
// runs every few words), up to the first paint of a shown editor, against LibreOffice loading
// the same file headless (its conversion to text, less its start-up on a tiny file) and against
// rebuilding the document run by run with QTextCursor. Peak memory of each opening is measured
// in a process of its own. Without LibreOffice the file is written by our own writer instead,
// and the LibreOffice baseline is skipped.
#include "benchmain.h"
#include "childprocess.h"
#include "formatted.h"
#include "richtexteditor.h"
#include "rtfwriter.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTextDocument>
#include <QTextDocumentWriter>
#include <QUrl>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <optional>

namespace {

constexpr qsizetype OneMegabyte = qsizetype(1) << 20;
// makeProse() units that a sample conversion is made of, to learn how large the RTF comes out.
constexpr qsizetype SampleUnits = 100000;
constexpr const char *LoadOnceOption = "--load-once";

using QuillmereBench::ProcessRun;

Quillmere::RichTextEditor *editor = nullptr;
QString program;

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Runs a command to its end, measuring its own peak memory.
ProcessRun run(const QStringList &command)
{
    return QuillmereBench::runMeasured(program, command);
}

QString dataFolder()
{
    const QString folder = QCoreApplication::applicationDirPath() + u"/rtfload-data"_qs;
    QDir().mkpath(folder);
    return folder;
}

std::optional<QString> libreOffice()
{
    static const QString found = QStandardPaths::findExecutable(u"soffice"_qs);
    if (found.isEmpty())
        return std::nullopt;
    return found;
}

QStringList libreOfficeCommand(const QStringList &arguments)
{
    const QString profile
        = QUrl::fromLocalFile(dataFolder() + u"/libreoffice-profile"_qs).toString();
    return QStringList { *libreOffice(), u"-env:UserInstallation="_qs + profile, u"--headless"_qs }
    + arguments;
}

// The formatted document of about `units` characters as RTF, written by LibreOffice when it is
// installed, otherwise by our own writer.
QString formattedRtf(const QString &name, qsizetype units)
{
    const QString folder = dataFolder();
    const QString rtf = folder + u'/' + name + (libreOffice() ? u".rtf"_qs : u"-ours.rtf"_qs);
    if (QFile::exists(rtf))
        return rtf;
    QTextDocument document;
    QuillmereBench::fillFormatted(document, units);
    if (!libreOffice()) {
        QFile file(rtf);
        if (!file.open(QIODevice::WriteOnly) || !file.write(Quillmere::writeRtf(document)))
            return {};
        return rtf;
    }
    const QString odt = folder + u'/' + name + u".odt"_qs;
    QTextDocumentWriter(odt, "odf").write(&document);
    run(libreOfficeCommand({ u"--convert-to"_qs, u"rtf"_qs, u"--outdir"_qs, folder, odt }));
    QFile::remove(odt);
    return QFile::exists(rtf) ? rtf : QString();
}

struct Fixture
{
    QString file;
    qsizetype units = 0;
};

// The RTF file of about `bytes` bytes, made once and kept in the build folder, and the size of
// the document in it.
const Fixture &fixture(qsizetype bytes)
{
    static std::map<qsizetype, Fixture> fixtures;
    Fixture &fixture = fixtures[bytes];
    if (!fixture.file.isEmpty())
        return fixture;
    const QString sample = formattedRtf(u"sample"_qs, SampleUnits);
    if (sample.isEmpty())
        return fixture;
    const double bytesPerUnit = double(QFileInfo(sample).size()) / double(SampleUnits);
    fixture.units = qsizetype(double(bytes) / bytesPerUnit);
    fixture.file = formattedRtf(u"formatted-%1mb"_qs.arg(bytes / OneMegabyte), fixture.units);
    return fixture;
}

// Lets pending work (lazy layout, documents released by undo history) finish between runs.
void settle()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

bool skipWithoutFile(benchmark::State &state, const QString &file)
{
    if (!file.isEmpty())
        return false;
    state.SkipWithError("the formatted document could not be written as RTF");
    return true;
}

// Baseline: LibreOffice converting the file to text, less the same for a tiny file.
void BM_LibreOfficeLoad(benchmark::State &state)
{
    if (!libreOffice()) {
        state.SkipWithError("LibreOffice (soffice) is not installed: baseline skipped");
        return;
    }
    const QString file = fixture(state.range(0)).file;
    if (skipWithoutFile(state, file))
        return;
    const QString folder = dataFolder();
    const QString tiny = folder + u"/tiny.rtf"_qs;
    QFile tinyFile(tiny);
    if (tinyFile.open(QIODevice::WriteOnly))
        tinyFile.write("{\\rtf1 x}");
    tinyFile.close();
    const QStringList toText { u"--convert-to"_qs, u"txt:Text"_qs, u"--outdir"_qs,
                               folder + u"/text"_qs };
    double peak = 0;
    for (auto _ : state) {
        const ProcessRun startUp = run(libreOfficeCommand(toText + QStringList { tiny }));
        const ProcessRun load = run(libreOfficeCommand(toText + QStringList { file }));
        if (!startUp.ok || !load.ok) {
            state.SkipWithError("LibreOffice failed to convert the file to text");
            return;
        }
        state.SetIterationTime(std::max(0.0, load.seconds - startUp.seconds));
        peak = std::max(peak, load.peakMegabytes);
    }
    state.counters["peak_rss_mb"] = peak;
    state.counters["file_mb"] = double(QFileInfo(file).size()) / OneMegabyte;
}

// Another baseline: the same formatted document built run by run, shown and painted.
void BM_RebuildRunByRun(benchmark::State &state)
{
    const qsizetype units = fixture(state.range(0)).units;
    if (skipWithoutFile(state, fixture(state.range(0)).file))
        return;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        auto document = std::make_unique<QTextDocument>();
        QuillmereBench::fillFormatted(*document, units);
        editor->installDocument(std::move(document));
        editor->viewport()->repaint();
        state.SetIterationTime(secondsSince(start));
        settle();
    }
}

// LoadFile up to the first paint; peak memory is that of a process that does only this.
void BM_LoadFileToFirstPaint(benchmark::State &state)
{
    const QString file = fixture(state.range(0)).file;
    if (skipWithoutFile(state, file))
        return;
    const ProcessRun alone = run({ program, QString::fromLatin1(LoadOnceOption), file });
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        if (!editor->LoadFile(file)) {
            state.SkipWithError("LoadFile failed");
            return;
        }
        editor->viewport()->repaint();
        state.SetIterationTime(secondsSince(start));
        settle();
    }
    if (alone.ok)
        state.counters["peak_rss_mb"] = alone.peakMegabytes;
    state.counters["file_mb"] = double(QFileInfo(file).size()) / OneMegabyte;
}

void sizes(benchmark::internal::Benchmark *benchmark)
{
    benchmark->ArgName("bytes")->Arg(OneMegabyte)->Arg(10 * OneMegabyte);
    benchmark->Unit(benchmark::kMillisecond);
}

} // namespace

// All timed by hand, so that the reports name them alike and bench-report.py can pair them.
BENCHMARK(BM_LibreOfficeLoad)->Apply(sizes)->UseManualTime();
BENCHMARK(BM_RebuildRunByRun)->Apply(sizes)->UseManualTime();
BENCHMARK(BM_LoadFileToFirstPaint)->Apply(sizes)->UseManualTime();

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

    if (argc == 3 && qstrcmp(argv[1], LoadOnceOption) == 0) {
        const bool loaded = bool(shownEditor.LoadFile(QString::fromLocal8Bit(argv[2])));
        shownEditor.viewport()->repaint();
        return loaded ? 0 : 1;
    }
    if (!libreOffice())
        std::fprintf(stderr,
                     "LibreOffice (soffice) is not installed: loading a file written by "
                     "our own writer, and no LibreOffice baseline\n");

    return QuillmereBench::runBenchmarks(argc, argv);
}
