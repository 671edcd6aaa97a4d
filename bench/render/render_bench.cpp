// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// Times a full clear-and-redraw of the waveform view (Cls, the three traces,
// flush) in the real drawing surface, drawn the fast way and the plain way
// (one QPainter call per line), and prints one summary line per case:
//
//   render zoom=2 data=0x55 dpr=1 plain_ms=5.1 fast_ms=0.6 ratio=8.5
//          plain_cpu_ms=5.0 fast_cpu_ms=0.6 cpu_ratio=8.3 identical=yes
//
// (on one line), at device pixel ratios 1 and 2. The times are medians over
// the repetitions, wall clock and process CPU time (the latter steadier on a
// busy machine); "identical" says whether both ways gave the same pixels.
// It runs on two offscreen screens of its own, of ratios 1 and 2.

#include "core/sample_period.h"
#include "core/shared_state.h"
#include "display/trace_renderer.h"
#include "platform/picture_box.h"
#include "support/plain_picture_box.h"

#include <QApplication>
#include <QScreen>
#include <QTemporaryFile>

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

using wavemill::SharedState;
using wavemill::platform::PictureBox;

// The waveform view: 10,215 x 5,175 twips at 15 twips per pixel.
constexpr int kViewWidthPixels = 681;
constexpr int kViewHeightPixels = 345;
constexpr int kTwipsPerPixel = 15;
constexpr QRgb kViewBackground = qRgb(255, 253, 242);

// Fixed seed, so every run draws the same "typical" capture.
constexpr std::uint32_t kRandomSeed = 20240611;

enum class Data { Alternating, Random, Flat };

const char *dataName(Data data)
{
    switch (data) {
    case Data::Alternating:
        return "0x55";
    case Data::Random:
        return "random";
    case Data::Flat:
        return "0x00";
    }
    return "?";
}

std::unique_ptr<SharedState> makeState(Data data, std::int16_t zoom)
{
    auto state = std::make_unique<SharedState>();
    state->zoomFactor = zoom;
    state->samplePeriod = wavemill::kSamplePeriod;
    std::mt19937 random(kRandomSeed);
    for (auto &buffer : state->traces.buffers) {
        for (auto &byte : buffer) {
            switch (data) {
            case Data::Alternating:
                byte = 0x55; // an edge at every sample: the most lines
                break;
            case Data::Random:
                byte = std::uint8_t(random());
                break;
            case Data::Flat:
                byte = 0x00;
                break;
            }
        }
    }
    return state;
}

/// Offscreen screens of device pixel ratios 1 and 2.
constexpr char kScreens[] =
    R"({"screens": [
    {"name": "ratio 1", "x": 0, "y": 0, "width": 1200, "height": 900, "dpr": 1},
    {"name": "ratio 2", "x": 1200, "y": 0, "width": 1200, "height": 900, "dpr": 2}]})";

std::unique_ptr<PictureBox> makeView(bool plain, qreal ratio)
{
    std::unique_ptr<PictureBox> box =
        plain ? std::make_unique<wavemill::testing::PlainPictureBox>(nullptr, kTwipsPerPixel,
                                                                     kViewBackground)
              : std::make_unique<PictureBox>(nullptr, kTwipsPerPixel, kViewBackground);
    box->resize(kViewWidthPixels, kViewHeightPixels);
    for (QScreen *screen : QGuiApplication::screens())
        if (screen->devicePixelRatio() == ratio)
            box->setScreen(screen);
    return box;
}

void redraw(PictureBox &box, const SharedState &state)
{
    box.Cls();
    wavemill::display::DrawAllTraces(box, state, 0);
    box.flush();
}

QImage picture(bool plain, const SharedState &state, qreal ratio)
{
    auto box = makeView(plain, ratio);
    redraw(*box, state);
    return box->image();
}

void benchRedraw(benchmark::State &run, bool plain, Data data, std::int16_t zoom, qreal ratio)
{
    const auto state = makeState(data, zoom);
    auto box = makeView(plain, ratio);
    for (auto _ : run) {
        redraw(*box, *state);
        // The repaint the surface schedules for itself; the view is hidden,
        // so nothing reaches a screen.
        QCoreApplication::processEvents();
    }
}

std::string caseName(std::int16_t zoom, Data data, int ratio)
{
    return "zoom=" + std::to_string(zoom) + " data=" + dataName(data) +
           " dpr=" + std::to_string(ratio);
}

// Keeps the console output and collects the median of every benchmark.
class MedianCollector : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run> &reports) override
    {
        ConsoleReporter::ReportRuns(reports);
        for (const Run &run : reports) {
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
                medianMs[run.run_name.function_name] = {
                    run.GetAdjustedRealTime() * msPerUnit(run.time_unit),
                    run.GetAdjustedCPUTime() * msPerUnit(run.time_unit)};
        }
    }

    struct Median
    {
        double wallMs;
        double cpuMs;
    };
    std::map<std::string, Median> medianMs;

private:
    static double msPerUnit(benchmark::TimeUnit unit)
    {
        switch (unit) {
        case benchmark::kNanosecond:
            return 1e-6;
        case benchmark::kMicrosecond:
            return 1e-3;
        case benchmark::kMillisecond:
            return 1.0;
        case benchmark::kSecond:
            return 1e3;
        }
        return 1.0;
    }
};

// Repetitions per benchmark; the summary takes their median.
constexpr int kRepetitions = 31;
// Each repetition runs at least this long.
constexpr double kMinSecondsPerRepetition = 0.03;

} // namespace

int main(int argc, char **argv)
{
    QTemporaryFile screens;
    if (screens.open() && screens.write(kScreens) == qint64(sizeof kScreens - 1) && screens.flush())
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(screens.fileName()));
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);

    const std::int16_t zooms[] = {2, 10, 20480};
    const Data datas[] = {Data::Alternating, Data::Random, Data::Flat};
    struct Case
    {
        std::int16_t zoom;
        Data data;
        int ratio;
    };
    std::vector<Case> cases;
    for (const int ratio : {1, 2}) {
        for (const std::int16_t zoom : zooms) {
            for (const Data data : datas) {
                cases.push_back({zoom, data, ratio});
                for (const bool plain : {true, false}) {
                    const std::string name =
                        std::string(plain ? "plain " : "fast ") + caseName(zoom, data, ratio);
                    benchmark::RegisterBenchmark(name.c_str(), benchRedraw, plain, data, zoom,
                                                 qreal(ratio))
                        ->Unit(benchmark::kMillisecond)
                        ->Repetitions(kRepetitions)
                        ->MinTime(kMinSecondsPerRepetition)
                        ->ReportAggregatesOnly(true);
                }
            }
        }
    }

    MedianCollector reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    std::printf("\n");
    for (const Case &c : cases) {
        const std::string name = caseName(c.zoom, c.data, c.ratio);
        const auto plain = reporter.medianMs.find("plain " + name);
        const auto fast = reporter.medianMs.find("fast " + name);
        if (plain == reporter.medianMs.end() || fast == reporter.medianMs.end())
            continue; // filtered out on the command line
        const auto state = makeState(c.data, c.zoom);
        const bool identical = picture(true, *state, c.ratio) == picture(false, *state, c.ratio);
        const auto &p = plain->second;
        const auto &f = fast->second;
        std::printf("render %s plain_ms=%.3f fast_ms=%.3f ratio=%.1f plain_cpu_ms=%.3f "
                    "fast_cpu_ms=%.3f cpu_ratio=%.1f identical=%s\n",
                    name.c_str(), p.wallMs, f.wallMs, p.wallMs / f.wallMs, p.cpuMs, f.cpuMs,
                    p.cpuMs / f.cpuMs, identical ? "yes" : "no");
    }
    return 0;
}
