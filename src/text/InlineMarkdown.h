// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <vector>

namespace lexwick::InlineMarkdown {

// The model's answer as Qt rich text for a RichText Text/TextEdit. Every character the model
// sent is escaped, so no markup of its own is ever interpreted; only emphasis, strong
// emphasis, code spans and http/https/mailto links are turned into markup. Block syntax
// (headings, lists, quotes) stays plain text; white space and line breaks are kept. Never
// fails, and takes time linear in the length of the input.
QString toRichText(const QString& markdown);

// The same answer taken apart: the text a reader sees (the markers gone) and the tags that go
// between its characters, in order. Several tags may stand at one position.
struct Formatted {
    struct Tag {
        qsizetype position; // in `text`
        QString html;
    };
    QString text;
    std::vector<Tag> tags;
};
Formatted parse(const QString& markdown);

// What every rich text of the result starts and ends with: white space and line breaks kept.
inline constexpr char16_t richTextStart[] = u"<span style=\"white-space: pre-wrap\">";
inline constexpr char16_t richTextEnd[] = u"</span>";

// Appends `text` with the characters HTML gives a meaning to escaped.
void appendEscaped(QString& out, QStringView text);

} // namespace lexwick::InlineMarkdown
