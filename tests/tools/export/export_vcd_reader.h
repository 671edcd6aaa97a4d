// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// A small, strict reader of the Value Change Dumps the export writes and the
// peers give back: scalar wires only, enough to compare dumps change by change.

#include <QByteArray>
#include <QList>
#include <QMap>

namespace wavemill::testing {

struct VcdChange
{
    qint64 time = 0;
    QByteArray name;
    char value = 'x';

    bool operator==(const VcdChange &other) const
    {
        return time == other.time && name == other.name && value == other.value;
    }
};

struct VcdDump
{
    QByteArray error;                      // empty when the dump was read whole
    QMap<QByteArray, QByteArray> sections; // "date", "version", "timescale", ...
    QList<QByteArray> names;               // wire names in declaration order
    QMap<QByteArray, char> initial;        // from $dumpvars
    QList<VcdChange> changes;              // after $dumpvars, in file order
    qint64 lastTime = -1;                  // the last time stamp
    bool repeatsAValue = false;            // a "change" to the value already held
};

inline VcdDump readVcd(const QByteArray &text)
{
    VcdDump dump;
    const QList<QByteArray> tokens = text.simplified().split(' ');
    QMap<QByteArray, QByteArray> nameOf; // identifier code -> wire name
    QMap<QByteArray, char> held;
    qint64 time = -1;
    bool inDumpvars = false;
    for (qsizetype i = 0; i < tokens.size(); ++i) {
        const QByteArray &token = tokens[i];
        if (token.isEmpty())
            continue;
        if (token == "$dumpvars") {
            inDumpvars = true;
        } else if (token == "$end" && inDumpvars) {
            inDumpvars = false;
        } else if (token == "$var") {
            if (i + 5 >= tokens.size() || tokens[i + 2] != "1") {
                dump.error = "bad $var";
                return dump;
            }
            nameOf[tokens[i + 3]] = tokens[i + 4];
            dump.names.append(tokens[i + 4]);
            while (i < tokens.size() && tokens[i] != "$end")
                ++i;
        } else if (token.startsWith('$')) {
            QByteArray body;
            while (++i < tokens.size() && tokens[i] != "$end")
                body += (body.isEmpty() ? "" : " ") + tokens[i];
            dump.sections[token.mid(1)] = body;
        } else if (token.startsWith('#')) {
            bool ok = false;
            const qint64 next = token.mid(1).toLongLong(&ok);
            if (!ok || next < time) {
                dump.error = "bad time " + token;
                return dump;
            }
            time = next;
            dump.lastTime = time;
        } else if (token[0] == '0' || token[0] == '1' || token[0] == 'x' || token[0] == 'z') {
            const QByteArray id = token.mid(1);
            if (!nameOf.contains(id)) {
                dump.error = "unknown identifier " + id;
                return dump;
            }
            const QByteArray name = nameOf[id];
            if (inDumpvars) {
                dump.initial[name] = token[0];
            } else {
                if (held.value(name, 0) == token[0])
                    dump.repeatsAValue = true;
                dump.changes.append({time, name, token[0]});
            }
            held[name] = token[0];
        } else {
            dump.error = "unexpected " + token;
            return dump;
        }
    }
    return dump;
}

} // namespace wavemill::testing
