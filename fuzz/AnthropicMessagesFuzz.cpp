// SPDX-License-Identifier: MIT
#include "Fuzz.h"

#include "backends/AnthropicMessages.h"

namespace {

void run(const QByteArray& input)
{
    (void)lexwick::anthropicmessages::decodeAnswer(input);
}

} // namespace

const lexwick::fuzz::Target lexwick::fuzz::target{
    "anthropic_messages", run,
    {R"({"content":[{"type":"text","text":"Fine."}]})", R"({"content":[]})"}};
