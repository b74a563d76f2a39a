// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QMutex>
#include <QStringList>
#include <QtGlobal>

#include <optional>

namespace lexwick::test {

// Collects the application's log lines while it lives; other messages pass through.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    // One line with its level and category ("lexwick.http").
    struct Entry {
        QtMsgType type;
        QString category;
        QString line;
    };

    QStringList lines() const;
    QList<Entry> entries() const;
    // The entry of the line that equals or starts with the text; a null type when none does.
    std::optional<Entry> find(const QString& start) const;
    void clear();

private:
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& message);

    static LogCapture* s_active;
    QtMessageHandler m_previous;
    mutable QMutex m_mutex;
    QList<Entry> m_entries;
};

} // namespace lexwick::test
