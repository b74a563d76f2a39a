// SPDX-License-Identifier: MIT
#pragma once

#include <optional>

namespace lexwick {

// How a response is generated. Whatever is left unset is the model server's own default, which
// is how the application uses it. The sampling mode has no counterpart in the chat-completions
// format beyond the temperature, so there is none here.
struct GenerationOptions {
    std::optional<double> temperature;
    std::optional<int> maximumResponseTokens;
};

} // namespace lexwick
