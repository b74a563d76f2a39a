// SPDX-License-Identifier: MIT
#include "core/ResponseCache.h"

#include <QRandomGenerator>

namespace lexwick {

namespace {

// "provider:action:tone:length:model:text"; the model and the text may hold a ":", so the
// model comes with its length and the text comes last.
QString joined(const CacheKey& key)
{
    return key.provider + u':' + key.action + u':' + key.tone.value_or(QStringLiteral("none")) +
           u':' + QString::number(key.model.size()) + u':' + key.model + u':' + key.text;
}

// A keyed hash with a key drawn for each cache, so key strings differ from run to run.
ResponseCache::KeyHash seededHash()
{
    const size_t seed = QRandomGenerator::system()->generate64();
    return [seed](QStringView joinedKey) { return quint64(qHash(joinedKey, seed)); };
}

} // namespace

ResponseCache::ResponseCache(Clock clock)
    : ResponseCache(std::move(clock), seededHash())
{
}

ResponseCache::ResponseCache(Clock clock, KeyHash hash)
    : m_clock(std::move(clock))
    , m_hash(std::move(hash))
{
}

QString ResponseCache::keyString(const CacheKey& key) const
{
    return QString::number(static_cast<qint64>(m_hash(joined(key))));
}

std::optional<QString> ResponseCache::get(const CacheKey& key)
{
    const QString name = keyString(key);
    QMutexLocker lock(&m_mutex);
    const auto it = m_cache.constFind(name);
    if (it == m_cache.cend())
        return std::nullopt;
    // An age of exactly ttlSeconds is still fresh; reading does not renew an entry.
    if (m_clock() - it->entry.timestamp > ttlSeconds) {
        m_cache.erase(it);
        m_accessOrder.removeAll(name);
        return std::nullopt;
    }
    if (it->key != key)
        return std::nullopt; // another key with the same hash
    m_accessOrder.removeAll(name);
    m_accessOrder.append(name);
    return it->entry.response;
}

void ResponseCache::set(const QString& response, const CacheKey& key)
{
    const QString name = keyString(key);
    QMutexLocker lock(&m_mutex);
    if (m_cache.contains(name))
        m_accessOrder.removeAll(name);
    // Room is made before the new entry is counted, so replacing an entry of a full cache
    // still drops the least recently used other one.
    while (m_cache.size() >= maxEntries && !m_accessOrder.isEmpty())
        m_cache.remove(m_accessOrder.takeFirst());
    m_cache.insert(name, Slot{key, CacheEntry{response, m_clock()}});
    m_accessOrder.append(name);
}

qsizetype ResponseCache::count() const
{
    QMutexLocker lock(&m_mutex);
    return m_cache.size();
}

} // namespace lexwick
