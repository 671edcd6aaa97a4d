// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// Loaded into a Qt program with LD_PRELOAD, so that the program itself is
// measured unchanged. Qt calls the probe when the application object is
// made; the probe waits for the first window to be exposed and painted and
// writes to stderr
//   startup_probe shown_ns <CLOCK_MONOTONIC at that moment>
//   startup_probe rss_kb <resident set size, kSettleMs later>
// then ends the program's event loop.

#include "support/resident_memory.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QTimer>
#include <QWindow>

#include <cstdio>
#include <ctime>

namespace {

/// How long the program runs after its first window showed before its
/// memory is read: timers have fired, the event loop is idle.
constexpr int kSettleMs = 500;

long long monotonicNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

using wavemill::bench::residentKb;

class FirstExpose : public QObject
{
public:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (!m_seen && event->type() == QEvent::Expose) {
            auto *window = qobject_cast<QWindow *>(watched);
            if (window && window->isExposed()) {
                m_seen = true;
                // Queued: runs once the expose event has been handled, that
                // is once the window's first paint reached the screen.
                QTimer::singleShot(0, this, [] {
                    std::fprintf(stderr, "startup_probe shown_ns %lld\n", monotonicNs());
                    QTimer::singleShot(kSettleMs, [] {
                        std::fprintf(stderr, "startup_probe rss_kb %ld\n", residentKb());
                        std::fflush(stderr);
                        QCoreApplication::quit();
                    });
                });
            }
        }
        return false;
    }

private:
    bool m_seen = false;
};

void installProbe()
{
    QCoreApplication::instance()->installEventFilter(new FirstExpose);
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(installProbe)
