// SPDX-License-Identifier: MIT
#pragma once

#include <QHash>
#include <QMutex>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <optional>

namespace lexwick {

// What an answer was given for. Equal when all four fields are equal.
struct CacheKey {
    QString text;                // trimmed by the caller
    QString action;              // raw value of the TextAction
    std::optional<QString> tone; // raw value of the ToneOption; absent without a tone
    QString provider;            // "Local", "Cloud", "Groq", "OpenAI" or "Anthropic"
    QString model = {};          // which model of the provider (and where, for "Local")

    bool operator==(const CacheKey&) const = default;
};

struct CacheEntry {
    QString response;
    std::chrono::steady_clock::time_point timestamp; // when it was stored
};

// Answers of recent requests, in memory only: at most maxEntries, each for ttlSeconds after it
// was stored, the least recently used dropped first. Every operation holds the cache's lock
// for its whole run, so operations never interleave, whichever thread calls them.
class ResponseCache {
public:
    using TimePoint = std::chrono::steady_clock::time_point;
    using Clock = std::function<TimePoint()>;
    using KeyHash = std::function<quint64(QStringView joinedKey)>;

    static constexpr qsizetype maxEntries = 100;
    static constexpr std::chrono::seconds ttlSeconds{3600};

    // A monotonic clock by default: setting the wall clock back must not keep answers alive.
    explicit ResponseCache(Clock clock = &steadyNow);
    // Another hash of the joined key (tests use one that collides).
    ResponseCache(Clock clock, KeyHash hash);

    ResponseCache(const ResponseCache&) = delete;
    ResponseCache& operator=(const ResponseCache&) = delete;

    // The stored response, unless it is older than ttlSeconds (an expired entry is dropped).
    std::optional<QString> get(const CacheKey& key);
    void set(const QString& response, const CacheKey& key);

    // The decimal form of the key's seeded 64-bit hash; the same within one cache only.
    QString keyString(const CacheKey& key) const;
    qsizetype count() const;

private:
    struct Slot {
        CacheKey key; // the whole key, so that keys whose hashes collide never share an answer
        CacheEntry entry;
    };

    static TimePoint steadyNow() { return std::chrono::steady_clock::now(); }

    Clock m_clock;
    KeyHash m_hash;
    mutable QMutex m_mutex;
    QHash<QString, Slot> m_cache;
    QStringList m_accessOrder;
};

} // namespace lexwick
