// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The yardstick for the start-up benchmark: a Qt window of the main window's
// size with nothing in it, started and shown the way wavemill is.

#include <QApplication>
#include <QWidget>

namespace {

/// The main window's client area: 10,680 x 7,185 twips at 15 twips a pixel.
constexpr int kWidth = 712;
constexpr int kHeight = 479;

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Bare window"));
    window.setFixedSize(kWidth, kHeight);
    window.show();
    return app.exec();
}
