// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "export/output_format.h"

#include "command/output_file.h"
#include "export/csv_writer.h"
#include "export/sigrok_session_writer.h"
#include "export/vcd_writer.h"

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
        lines.replace(QLatin1Char('\n'), QLatin1Char('\n') + QString(kHelpIndent, QLatin1Char(' ')));
        text += column.leftJustified(kHelpIndent) + lines + QLatin1Char('\n');
    }
    return text;
}

void commitOutput(command::OutputFile &file, const OutputFormat &format,
                  const OutputOptions &options, const TraceBuffers *capture)
{
    std::vector<std::unique_ptr<command::OutputFile>> beside;
    if (format.companions) {
        for (const CompanionFile &companion : format.companions(file.path(), options, capture)) {
            beside.push_back(std::make_unique<command::OutputFile>(companion.path));
            beside.back()->open();
            beside.back()->write(companion.content);
        }
    }
    file.commit();
    for (const auto &companion : beside)
        companion->commit();
}

} // namespace wavemill::exporting
