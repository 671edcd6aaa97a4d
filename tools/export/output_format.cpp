// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "export/output_format.h"

#include "command/command_line.h"
#include "command/output_file.h"
#include "export/csv_writer.h"
#include "export/sigrok_session_writer.h"
#include "export/vcd_writer.h"

#include <QFile>
#include <QFileInfo>

#include <vector>

namespace wavemill::exporting {

namespace {

/// The help's extension column: "  .vcd  " and the lines after it.
constexpr int kHelpIndent = 8;

/// "a, b or c".
QString listText(const QStringList &items)
{
    if (items.size() < 2)
        return items.join(QString());
    return items.mid(0, items.size() - 1).join(QStringLiteral(", ")) + QStringLiteral(" or ") +
           items.back();
}

} // namespace

const QList<OutputFormat> &outputFormats()
{
    // A new format: its unit, and its row here.
    static const QList<OutputFormat> formats{sigrokSessionFormat(), vcdFormat(), csvFormat()};
    return formats;
}

const OutputFormat *formatNamed(const QString &name)
{
    for (const OutputFormat &format : outputFormats()) {
        if (format.name.compare(name, Qt::CaseInsensitive) == 0)
            return &format;
    }
    return nullptr;
}

const OutputFormat *formatOfPath(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    for (const OutputFormat &format : outputFormats()) {
        if (format.extensions.contains(suffix))
            return &format;
    }
    return nullptr;
}

QString extensionsText()
{
    QStringList extensions;
    for (const OutputFormat &format : outputFormats())
        extensions.append(QLatin1Char('.') + format.extensions.front());
    return listText(extensions);
}

QString namesText()
{
    QStringList names;
    for (const OutputFormat &format : outputFormats())
        names.append(format.name);
    return listText(names);
}

QString formatsHelp()
{
    QString text;
    for (const OutputFormat &format : outputFormats()) {
        const QString column = QStringLiteral("  .") + format.extensions.front();
        QString lines = format.help;
        lines.replace(QLatin1Char('\n'),
                      QLatin1Char('\n') + QString(kHelpIndent, QLatin1Char(' ')));
        text += column.leftJustified(kHelpIndent) + lines + QLatin1Char('\n');
    }
    return text;
}

QStringList commitOutput(command::OutputFile &file, const OutputFormat &format,
                         const OutputOptions &options, const TraceBuffers *capture)
{
    QStringList notes;
    std::vector<std::unique_ptr<command::OutputFile>> beside;
    QStringList stale; // earlier companions, which belong to the file replaced
    if (format.companions && options.companions) {
        for (const CompanionFile &companion : format.companions(file.path(), options, capture)) {
            notes << companion.notes;
            if (companion.path.isEmpty())
                continue;
            if (companion.content.isEmpty()) {
                stale << companion.path;
                continue;
            }
            try {
                auto made = std::make_unique<command::OutputFile>(companion.path);
                made->open();
                made->write(companion.content);
                beside.push_back(std::move(made));
            } catch (const command::Failure &failure) {
                notes << failure.message;
                stale << companion.path;
            }
        }
    }
    file.commit();
    for (const auto &companion : beside) {
        try {
            companion->commit();
        } catch (const command::Failure &failure) {
            notes << failure.message;
            stale << companion->path();
        }
    }
    for (const QString &path : stale) {
        QFile earlier(path);
        if (QFileInfo(path).isFile() && !earlier.remove())
            notes << QStringLiteral("%1: an earlier file that belongs to another output could "
                                    "not be removed: %2")
                         .arg(path, earlier.errorString());
    }
    return notes;
}

} // namespace wavemill::exporting
