// SPDX-License-Identifier: MIT
#include "Fuzz.h"

#include "history/HistoryItem.h"

namespace {

// Whatever is read is written back in a form that reads back to itself.
void run(const QByteArray& input)
{
    using namespace lexwick;
    const auto decoded = decodeHistory(input);
    if (!decoded)
        return;
    const QByteArray first = encodeHistory(decoded->items);
    const auto again = decodeHistory(first);
    fuzz::require(again && again->skipped == 0, "what is written reads back whole");
    fuzz::require(again->items == decoded->items, "records survive a save and a load");
    fuzz::require(encodeHistory(again->items) == first, "save, load, save is stable");
}

} // namespace

const lexwick::fuzz::Target lexwick::fuzz::target{
    "history", run,
    {R"([{"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","originalText":"a","resultText":"b",)"
     R"("action":"Paraphrase","tone":"Casual","provider":"Groq","timestamp":1.5,)"
     R"("wasCached":false}])",
     R"([{"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","originalText":"","resultText":"",)"
     R"("action":"Correct","provider":"Local","timestamp":-1e300,"wasCached":true}])"}};
