// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// Captures in a row over a pseudo-terminal, through the main window with the
// real serial component and the real capture handlers. A writer thread plays
// the board with random chunk sizes and random pauses; the window's event
// loop reads. One capture in ten is stopped with the start/stop button part
// way through, and one in fifty loses its device (the board's end of the
// pseudo-terminal closes) part way through.
//
// After each capture the chosen buffer must hold the bytes sent, block by
// block, for as many blocks as the capture took in (all 62 for a completed
// one), and its old bytes after them; the other two buffers must hold what
// they held before. A stopped or lost capture is ended only once every whole
// block sent has been taken in, so that a block the component failed to
// deliver counts as lost; every other forced stop instead comes while the
// board is still sending, and the blocks taken in by then are checked.
//
// Prints one line per figure:
//   soak_captures 1000            captures run to their end
//   soak_completed 880            ... of which completed, stopped, lost device
//   soak_forced_stops 100
//   soak_vanished 20
//   soak_bytes_checked 190467000  buffer bytes compared after the captures
//   soak_bytes_lost 0             bytes sent but missing, misplaced or changed
//   soak_failures 0               captures that went wrong in any other way
//   soak_rss_start_kb 61000       resident memory before the first capture,
//                                 the window shown as at start-up
//   soak_rss_warm_kb 62000        ... after the warm-up (50 captures, a tenth
//                                 of a shorter run)
//   soak_rss_end_kb 62100         ... after the last
//   soak_rss_growth_kb 100        end minus start
//   soak_rss_growth_after_warm_kb 50   end minus warm
//   soak_seconds 300
// Exits 1 when a byte was lost, a capture went wrong or memory grew by more
// than 1 MiB from the start.
//
// Usage: bench_soak [--captures N] [--seed S]   (QT_QPA_PLATFORM=offscreen)

#include "acquisition/capture.h"
#include "app/form1.h"
#include "board/board_link.h"
#include "platform/interval_timer.h"
#include "platform/label_control.h"
#include "platform/serial_component.h"

#include "support/resident_memory.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <functional>
#include <memory>
#include <random>
#include <thread>
#include <vector>

namespace {

using namespace wavemill;

/// One capture in this many is stopped by the button, one in
/// kVanishEvery loses its device; the two never fall on the same capture.
constexpr int kStopEvery = 10;
constexpr int kVanishEvery = 50;
/// Captures run before the resident memory is taken as the baseline: the
/// first captures fill the caches of the drawing code and the serial port.
constexpr int kWarmUpCaptures = 50;
/// The most resident memory may grow after the warm-up.
constexpr long kRssAllowanceKb = 1024;
/// Bytes the board may send beyond a capture, as a board keeps streaming.
constexpr int kMostExtraBytes = 4 * kBlockSize;
/// Generous bound for any one wait on the window.
constexpr int kWaitMs = 20000;

enum class Ending { Complete, ForcedStop, Vanish };

using wavemill::bench::residentKb;

/// Runs the event loop until \a done holds or the wait times out.
bool waitUntil(const std::function<bool()> &done, int timeoutMs = kWaitMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QEventLoop loop;
        QTimer::singleShot(1, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

/// The board's side of one capture: \a count bytes in random chunks with
/// random pauses, until done, stopped, or the reader went away.
void writeBoard(board::BoardLink &link, const std::vector<std::uint8_t> &bytes, std::size_t count,
                std::uint32_t seed, const volatile std::sig_atomic_t *stop,
                std::atomic<bool> &finished)
{
    link.serve(); // the writes are for the window, which has the port open
    std::mt19937 random(seed);
    // Each capture has its own style: trickles, blocks or large bursts.
    const int largest = std::array<int, 4>{16, 1100, 4096, 16384}[random() % 4];
    std::size_t sent = 0;
    while (sent < count) {
        const std::size_t chunk =
            std::min<std::size_t>(count - sent, 1 + random() % unsigned(largest));
        if (!link.writeAll(bytes.data() + sent, chunk, stop))
            break;
        sent += chunk;
        const unsigned pause = random() % 64;
        if (pause == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(1 + random() % 5));
        else if (pause < 4)
            std::this_thread::sleep_for(std::chrono::microseconds(50 + random() % 500));
    }
    finished = true;
}

struct Totals
{
    int captures = 0;
    int completed = 0;
    int forcedStops = 0;
    int vanished = 0;
    long long bytesChecked = 0;
    long long bytesLost = 0;
    int failures = 0;
};

void fail(Totals &totals, int capture, const char *why)
{
    ++totals.failures;
    std::fprintf(stderr, "bench_soak: capture %d: %s\n", capture, why);
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    int captures = 1000;
    std::uint32_t seed = 20240611;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--captures"))
            captures = std::max(1, args[i + 1].toInt());
        else if (args[i] == QLatin1String("--seed"))
            seed = args[i + 1].toUInt();
    }

    board::BoardLink link;
    std::string failed = link.openPseudoTerminal();
    if (!failed.empty()) {
        std::fprintf(stderr, "bench_soak: %s\n", failed.c_str());
        return 1;
    }

    Form1 form;
    form.Combo2->setCurrentText(QString::fromStdString(link.path()));
    std::mt19937 random(seed);
    for (TraceBuffer &buffer : form.state().traces.buffers)
        std::generate(buffer.begin(), buffer.end(), [&] { return std::uint8_t(random()); });

    // Bytes the running capture has taken in, noted after each receive
    // event: the forced stop and the lost device set the write index to 0.
    int taken = 0;
    QObject::connect(form.MSComm1, &platform::SerialComponent::OnComm, &form, [&] {
        if (form.MSComm1->CommEvent() == platform::SerialComponent::comEvReceive)
            taken = form.capture().WriteIndex;
    });

    // Shown as the program shows it at start-up: the view's backing image
    // exists from then on.
    form.show();
    QCoreApplication::processEvents();

    // The soak's own buffers are in place before memory is first measured.
    std::vector<std::uint8_t> bytes(std::size_t(kCaptureLength + kMostExtraBytes), 0);
    const auto before = std::make_unique<TraceBuffers>();
    *before = form.state().traces;

    // A short run warms up for a tenth of its captures.
    const int warmUp = std::min(kWarmUpCaptures, std::max(1, captures / 10));
    Totals totals;
    const long rssStart = residentKb();
    long rssWarm = rssStart;
    QElapsedTimer clock;
    clock.start();

    for (int r = 0; r < captures; ++r) {
        const Ending ending = (r % kVanishEvery == kVanishEvery / 2) ? Ending::Vanish
                              : (r % kStopEvery == kStopEvery - 1)   ? Ending::ForcedStop
                                                                     : Ending::Complete;
        const int target = 1 + int(random() % kTraceCount);
        form.Combo1->setCurrentText(QString::number(target));
        *before = form.state().traces;
        std::generate(bytes.begin(), bytes.end(), [&] { return std::uint8_t(random()); });

        // Where a stopped or lost capture ends: any byte short of the last.
        std::size_t count = bytes.size() - random() % kMostExtraBytes;
        if (ending != Ending::Complete)
            count = random() % kCaptureLength;
        const int wholeBlocks =
            ending == Ending::Complete ? kCaptureLength : int(count) / kBlockSize * kBlockSize;
        // Every other forced stop comes while the board is still sending,
        // once the capture has taken in stopAt bytes.
        const bool streaming = ending == Ending::ForcedStop && (r / kStopEvery) % 2 == 1;
        const int stopAt = int(random() % unsigned(wholeBlocks / kBlockSize + 1)) * kBlockSize;
        int expectedNew = wholeBlocks;

        link.discardUnread();
        taken = 0;
        form.Command2->click();
        if (!form.MSComm1->PortOpen()) {
            std::fprintf(stderr, "bench_soak: capture %d did not start: %s\n", r,
                         qPrintable(form.Label1->Caption()));
            return 1;
        }

        volatile std::sig_atomic_t stop = 0;
        std::atomic<bool> finished{false};
        std::thread writer(writeBoard, std::ref(link), std::cref(bytes), count,
                           std::uint32_t(random()), &stop, std::ref(finished));

        switch (ending) {
        case Ending::Complete:
            if (!waitUntil([&] { return !form.MSComm1->PortOpen(); }))
                fail(totals, r, "did not complete");
            else if (form.Label2->Caption() != acquisition::kRateDone)
                fail(totals, r, "ended without completing");
            else
                ++totals.completed;
            break;
        case Ending::ForcedStop:
            if (streaming) {
                // Pressed while the board still sends: what was taken in
                // by then is what the buffer must hold.
                if (!waitUntil([&] { return taken >= stopAt; }))
                    fail(totals, r, "blocks sent before the stop were not taken in");
                form.Command2->click();
                expectedNew = taken;
            } else {
                // Every whole block sent is taken in before the button is pressed.
                if (!waitUntil([&] { return finished && taken >= wholeBlocks; }))
                    fail(totals, r, "blocks sent before the stop were not taken in");
                form.Command2->click();
            }
            if (form.MSComm1->PortOpen() || form.Label1->Caption() != acquisition::kStatusStopped)
                fail(totals, r, "the button did not stop the capture");
            else
                ++totals.forcedStops;
            break;
        case Ending::Vanish:
            if (!waitUntil([&] { return finished && taken >= wholeBlocks; }))
                fail(totals, r, "blocks sent before the loss were not taken in");
            writer.join();
            link.close();
            if (!waitUntil(
                    [&] { return !form.MSComm1->PortOpen() && form.Timer1->Interval() == 0; }))
                fail(totals, r, "the lost device went unnoticed");
            else if (form.Command2->text() != acquisition::kCaptionStart ||
                     !form.Command1->isEnabled())
                fail(totals, r, "the window did not return to idle after the loss");
            else
                ++totals.vanished;
            failed = link.openPseudoTerminal();
            if (!failed.empty()) {
                std::fprintf(stderr, "bench_soak: %s\n", failed.c_str());
                return 1;
            }
            form.Combo2->setCurrentText(QString::fromStdString(link.path()));
            break;
        }
        if (form.MSComm1->PortOpen()) {
            fail(totals, r, "still open after its end");
            form.Command2->click();
        }
        stop = 1;
        if (writer.joinable())
            writer.join();
        ++totals.captures;

        if (taken % kBlockSize != 0 || taken > kCaptureLength)
            fail(totals, r, "took in a part of a block");
        // The target: the blocks taken in, then its old bytes; a block sent
        // whole but not taken in before the end is lost.
        if (taken < expectedNew)
            fail(totals, r, "ended before taking in every block sent");
        const TraceBuffer &now = *form.state().traces.trace(target);
        const TraceBuffer &old = *before->trace(target);
        for (int i = 0; i < kTraceBufferSize; ++i) {
            const std::uint8_t expected =
                i < expectedNew ? bytes[std::size_t(i)] : old[std::size_t(i)];
            totals.bytesLost += now[std::size_t(i)] != expected;
        }
        totals.bytesChecked += kTraceBufferSize;
        for (int other = 1; other <= kTraceCount; ++other) {
            if (other == target)
                continue;
            const TraceBuffer &o = *form.state().traces.trace(other);
            const TraceBuffer &was = *before->trace(other);
            for (std::size_t i = 0; i < o.size(); ++i)
                totals.bytesLost += o[i] != was[i];
            totals.bytesChecked += kTraceBufferSize;
        }
        if (r + 1 == warmUp)
            rssWarm = residentKb();
    }
    const long rssEnd = residentKb();
    const long growth = rssEnd - rssStart;

    std::printf("soak_captures %d\n", totals.captures);
    std::printf("soak_completed %d\n", totals.completed);
    std::printf("soak_forced_stops %d\n", totals.forcedStops);
    std::printf("soak_vanished %d\n", totals.vanished);
    std::printf("soak_bytes_checked %lld\n", totals.bytesChecked);
    std::printf("soak_bytes_lost %lld\n", totals.bytesLost);
    std::printf("soak_failures %d\n", totals.failures);
    std::printf("soak_rss_start_kb %ld\n", rssStart);
    std::printf("soak_rss_warm_kb %ld\n", rssWarm);
    std::printf("soak_rss_end_kb %ld\n", rssEnd);
    std::printf("soak_rss_growth_kb %ld\n", growth);
    std::printf("soak_rss_growth_after_warm_kb %ld\n", rssEnd - rssWarm);
    std::printf("soak_seconds %.1f\n", double(clock.elapsed()) / 1000.0);
    const bool held = totals.bytesLost == 0 && totals.failures == 0 && growth <= kRssAllowanceKb;
    return held ? 0 : 1;
}
