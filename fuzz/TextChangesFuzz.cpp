// SPDX-License-Identifier: MIT
#include "Fuzz.h"

#include "text/InlineMarkdown.h"
#include "text/TextChanges.h"

namespace {

using lexwick::TextChanges;

QString rebuilt(const QList<TextChanges::Segment>& segments, TextChanges::Kind without)
{
    QString text;
    for (const TextChanges::Segment& segment : segments) {
        if (segment.kind != without)
            text += segment.text;
    }
    return text;
}

// The text before the first form feed is the original, the rest the model's correction.
void run(const QByteArray& input)
{
    const QString text = lexwick::fuzz::textOf(input);
    const qsizetype cut = text.indexOf(u'\u000c');
    const QString original = cut < 0 ? text : text.first(cut);
    const QString corrected = cut < 0 ? QString() : text.sliced(cut + 1);

    const TextChanges changes(original, corrected);
    const QList<TextChanges::Segment>& segments = changes.segments();
    using lexwick::fuzz::require;
    require(rebuilt(segments, TextChanges::Kind::inserted) ==
                lexwick::InlineMarkdown::parse(original.trimmed()).text,
            "unchanged and deleted text rebuild the original");
    require(rebuilt(segments, TextChanges::Kind::deleted) ==
                lexwick::InlineMarkdown::parse(corrected).text,
            "unchanged and inserted text rebuild the correction");
    for (qsizetype i = 0; i < segments.size(); ++i) {
        require(!segments[i].text.isEmpty(), "no empty segment");
        require(i == 0 || segments[i].kind != segments[i - 1].kind, "segments alternate");
    }
    require(changes.richText().startsWith(QString::fromUtf16(lexwick::InlineMarkdown::richTextStart)),
            "the rich text is whole");
}

} // namespace

const lexwick::fuzz::Target lexwick::fuzz::target{
    "text_changes", run,
    {"\x00I has went to teh store.\x0cI have gone to the **store**.",
     "\x00" "a *b* `c` [d](https://x.org)\x0c" "a **b** `c d` [e](https://x.org) \xf0\x9f\x91\x8d\xf0\x9f\x8f\xbd",
     "\x00one\ntwo  three\x0cone two\n\nthree"}};
