#pragma once

#include <QString>

namespace lexwick::InlineMarkdown {

// The model's answer as Qt rich text for a RichText Text/TextEdit. Every character the model
// sent is escaped, so no markup of its own is ever interpreted; only emphasis, strong
// emphasis, code spans and http/https/mailto links are turned into markup. Block syntax
// (headings, lists, quotes) stays plain text; white space and line breaks are kept. Never
// fails, and takes time linear in the length of the input.
QString toRichText(const QString& markdown);

} // namespace lexwick::InlineMarkdown
