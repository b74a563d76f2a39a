// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QVariantList>
#include <QVariantMap>

namespace lexwick {

// The index of the picker entry (a map) whose `key` holds `value`, or -1.
inline qsizetype pickerIndex(const QVariantList& entries, const QString& key, const QString& value)
{
    for (qsizetype i = 0; i < entries.size(); ++i) {
        if (entries.at(i).toMap().value(key).toString() == value)
            return i;
    }
    return -1;
}

} // namespace lexwick
