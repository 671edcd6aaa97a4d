// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

namespace wavemill::platform {

/// The open and save dialogs, as one control: the file name it holds after
/// one dialog is the starting name of the next, of either kind.
class FileDialog
{
public:
    virtual ~FileDialog() = default;

    /// A filter in the form "Description|*.ext".
    virtual void setFilter(const QString &filter) = 0;
    virtual QString Filter() const = 0;
    /// The full path of the file last chosen (empty before any choice).
    virtual QString FileName() const = 0;
    virtual void setFileName(const QString &name) = 0;

    /// Shows the modal open dialog; false when it was cancelled, in which
    /// case FileName keeps its earlier value.
    virtual bool ShowOpen() = 0;
    /// Shows the modal save dialog; false when it was cancelled.
    virtual bool ShowSave() = 0;
};

} // namespace wavemill::platform
