// SPDX-License-Identifier: MIT
#pragma once

namespace lexwick {

// Builds one visitor out of several lambdas, for std::visit.
template <class... Ts> struct Overloaded : Ts... {
    using Ts::operator()...;
};

} // namespace lexwick
