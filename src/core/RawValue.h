// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringView>

#include <array>
#include <cstddef>
#include <optional>
#include <type_traits>

namespace lexwick {

// The case among `all` whose raw value is `raw`. The raw-value function is handed in because
// each enumeration lives in a namespace of its own, where argument-dependent lookup would not
// find the `rawValue` overloads declared beside it.
template <typename Enum, std::size_t N>
std::optional<Enum> fromRawValue(QStringView raw, const std::array<Enum, N>& all,
                                 std::type_identity_t<QString (*)(Enum)> rawValueOf)
{
    for (Enum value : all) {
        if (rawValueOf(value) == raw)
            return value;
    }
    return std::nullopt;
}

} // namespace lexwick
