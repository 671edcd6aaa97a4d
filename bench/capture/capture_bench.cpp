// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// Back-to-back captures over a pseudo-terminal through the main window with
// the real serial component and the real capture handlers. A writer thread
// plays the board; the window's event loop reads. For each capture the board
// sends 63,488 bytes and then more, the way a board keeps streaming.
//
// Prints one line per figure:
//   capture_runs 100
//   capture_pace line            (or fast)
//   capture_lost_bytes 0         bytes missing, misplaced or out of order
//   capture_incomplete 0         captures that did not end with their 62nd block
//   capture_completion_ms_median 1.23
//   capture_completion_ms_p90 2.34
//   capture_completion_ms_worst 4.56
//   capture_bytes_per_second 11520
// The completion time runs from the return of the write that carried the
// capture's last byte to the end of the receive handler that ran the
// completion steps (port closed, texts set, traces redrawn).
//
// Usage: bench_capture [--runs N] [--pace line|fast]   (QT_QPA_PLATFORM=offscreen)
// At line pace (the default) 100 runs take about ten minutes.

#include "acquisition/capture.h"
#include "app/form1.h"
#include "board/board_link.h"
#include "platform/label_control.h"
#include "platform/serial_component.h"
#include "signals/signals.h"

#include <QApplication>
#include <QComboBox>
#include <QEventLoop>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using namespace wavemill;

/// Bytes the board sends after each capture's last one.
constexpr std::size_t kExtraBytes = 3 * kBlockSize;
/// Paced writes go out every 2 ms, as a USB serial adapter hands them over.
constexpr double kBatchSeconds = 0.002;
/// Unpaced writes go out in pieces of this size.
constexpr std::size_t kFastChunk = 4096;
/// A capture that has not ended by then counts as incomplete.
constexpr int kCaptureTimeoutMs = 20000;

struct Run
{
    double completionMs = -1;
    std::size_t wrongBytes = 0;
    bool complete = false;
};

/// Writes bytes, in pieces that end exactly at the capture's last byte, and
/// notes when that piece was written.
void writeCapture(board::BoardLink &link, const std::vector<std::uint8_t> &bytes, bool paced,
                  std::atomic<Clock::rep> &lastByteWritten)
{
    const std::size_t batch =
        paced ? std::size_t(signals::kLineBytesPerSecond * kBatchSeconds) : kFastChunk;
    link.serve(); // the writes are for the window, which has the port open
    const auto start = Clock::now();
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        std::size_t end = std::min(bytes.size(), sent + batch);
        if (sent < kCaptureLength && end > kCaptureLength)
            end = kCaptureLength;
        if (paced) {
            // Byte k is due at start + k / rate: no drift over the run.
            std::this_thread::sleep_until(
                start + std::chrono::nanoseconds(
                            std::int64_t(double(end - 1) * 1e9 / signals::kLineBytesPerSecond)));
        }
        if (!link.writeAll(bytes.data() + sent, end - sent))
            return; // the window closed the port: the capture is over
        sent = end;
        if (sent == kCaptureLength)
            lastByteWritten = Clock::now().time_since_epoch().count();
    }
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    int runs = 100;
    bool paced = true;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--runs"))
            runs = std::max(1, args[i + 1].toInt());
        else if (args[i] == QLatin1String("--pace"))
            paced = args[i + 1] != QLatin1String("fast");
    }

    board::BoardLink link;
    const std::string failed = link.openPseudoTerminal();
    if (!failed.empty()) {
        std::fprintf(stderr, "bench_capture: %s\n", failed.c_str());
        return 1;
    }

    Form1 form;
    form.Combo2->setCurrentText(QString::fromStdString(link.path()));
    std::atomic<Clock::rep> lastByteWritten{0};
    Clock::time_point completed;
    QEventLoop loop;
    // Connected after the window's own handler: runs once the handler returned.
    QObject::connect(form.MSComm1, &platform::SerialComponent::OnComm, &loop, [&] {
        if (!form.MSComm1->PortOpen()) {
            completed = Clock::now();
            loop.quit();
        }
    });

    QTimer timeout;
    timeout.setSingleShot(true);
    QObject::connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);

    std::vector<Run> results;
    const auto benchStart = Clock::now();
    std::size_t bytesWritten = 0;
    for (int r = 0; r < runs; ++r) {
        const int target = 1 + r % kTraceCount;
        form.Combo1->setCurrentText(QString::number(target));
        TraceBuffer &buffer = *form.state().traces.trace(target);
        buffer.fill(0);

        signals::RandomBytes signal(std::uint32_t(1000 + r));
        const std::vector<std::uint8_t> bytes = signals::take(signal, kCaptureLength + kExtraBytes);
        link.discardUnread();
        lastByteWritten = 0;
        form.Command2->click();
        if (!form.MSComm1->PortOpen()) {
            std::fprintf(stderr, "bench_capture: %s\n", qPrintable(form.Label1->Caption()));
            return 1;
        }
        std::thread writer(writeCapture, std::ref(link), std::cref(bytes), paced,
                           std::ref(lastByteWritten));
        completed = {};
        timeout.start(kCaptureTimeoutMs);
        loop.exec();
        timeout.stop();
        if (form.MSComm1->PortOpen())
            form.Command2->click(); // timed out: stop it
        writer.join();
        bytesWritten += kCaptureLength;

        Run run;
        run.complete = completed != Clock::time_point{} &&
                       form.Label2->Caption() == acquisition::kRateDone &&
                       form.capture().WriteIndex == kCaptureLength;
        for (int i = 0; i < kCaptureLength; ++i)
            run.wrongBytes += buffer[i] != bytes[std::size_t(i)];
        if (run.complete && lastByteWritten != 0) {
            const Clock::time_point last{Clock::duration(lastByteWritten.load())};
            run.completionMs = std::chrono::duration<double, std::milli>(completed - last).count();
        }
        results.push_back(run);
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - benchStart).count();

    std::size_t lost = 0;
    int incomplete = 0;
    std::vector<double> times;
    for (const Run &run : results) {
        lost += run.wrongBytes;
        incomplete += run.complete ? 0 : 1;
        if (run.completionMs >= 0)
            times.push_back(run.completionMs);
    }
    std::sort(times.begin(), times.end());
    auto at = [&](double q) {
        return times.empty() ? -1.0 : times[std::size_t(q * double(times.size() - 1) + 0.5)];
    };
    std::printf("capture_runs %d\n", runs);
    std::printf("capture_pace %s\n", paced ? "line" : "fast");
    std::printf("capture_lost_bytes %zu\n", lost);
    std::printf("capture_incomplete %d\n", incomplete);
    std::printf("capture_completion_ms_median %.3f\n", at(0.5));
    std::printf("capture_completion_ms_p90 %.3f\n", at(0.9));
    std::printf("capture_completion_ms_worst %.3f\n", times.empty() ? -1.0 : times.back());
    std::printf("capture_bytes_per_second %.0f\n", double(bytesWritten) / seconds);
    return 0; // the figures are for reading; a lost byte shows in its line
}
