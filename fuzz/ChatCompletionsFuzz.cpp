// SPDX-License-Identifier: MIT
#include "Fuzz.h"

#include "core/ChatCompletions.h"

namespace {

void run(const QByteArray& input)
{
    using namespace lexwick::chatcompletions;
    const auto answer = decodeAnswer(input);
    const auto message = decodeErrorMessage(input);
    const lexwick::AIError failure = statusFailure(500, input);
    lexwick::fuzz::require(message.has_value() == (failure.kind() == lexwick::AIError::Kind::apiError),
                           "a provider message makes an API error");
    (void)answer;
}

} // namespace

const lexwick::fuzz::Target lexwick::fuzz::target{
    "chat_completions", run,
    {R"({"choices":[{"message":{"content":"Fine."}}]})", R"({"choices":[]})",
     R"({"error":{"message":"bad key"}})"}};
