// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QString>
#include <QStringView>

#include <array>
#include <optional>

namespace lexwick {

namespace AIProviderModes {
Q_NAMESPACE
// Which family of back-ends serves requests. Stored and compared by its raw value.
enum class AIProviderMode { local, cloud, custom };
Q_ENUM_NS(AIProviderMode)
} // namespace AIProviderModes
using AIProviderModes::AIProviderMode;

inline constexpr std::array allProviderModes{AIProviderMode::local, AIProviderMode::cloud,
                                             AIProviderMode::custom};

QString rawValue(AIProviderMode mode);
QString displayName(AIProviderMode mode);
QString description(AIProviderMode mode);
QString icon(AIProviderMode mode);

} // namespace lexwick
