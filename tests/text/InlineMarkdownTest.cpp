// SPDX-License-Identifier: MIT
#include "text/InlineMarkdown.h"
#include "support/TestMain.h"

#include <QTest>
#include <QTextDocument>

using namespace lexwick;
using namespace Qt::StringLiterals;

namespace {

QString rich(const QString& inner)
{
    return u"<span style=\"white-space: pre-wrap\">"_s + inner + u"</span>"_s;
}

} // namespace

class InlineMarkdownTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void convertsInlineSyntaxOnly_data()
    {
        QTest::addColumn<QString>("markdown");
        QTest::addColumn<QString>("expected");
        auto row = [](const char* name, const QString& markdown, const QString& expected) {
            QTest::newRow(name) << markdown << rich(expected);
        };

        row("plain", u"Hello, world."_s, u"Hello, world."_s);
        row("empty", QString(), QString());
        row("html characters", u"a < b && \"c\" > 'd'"_s,
            u"a &lt; b &amp;&amp; &quot;c&quot; &gt; &#39;d&#39;"_s);
        row("img tag", u"<img src=\"file:///etc/passwd\">"_s,
            u"&lt;img src=&quot;file:///etc/passwd&quot;&gt;"_s);
        row("anchor tag", u"<a href=\"javascript:alert(1)\">x</a>"_s,
            u"&lt;a href=&quot;javascript:alert(1)&quot;&gt;x&lt;/a&gt;"_s);
        row("entity stays text", u"&lt;b&gt;"_s, u"&amp;lt;b&amp;gt;"_s);

        row("strong stars", u"a **bold** b"_s, u"a <strong>bold</strong> b"_s);
        row("strong underscores", u"__bold__"_s, u"<strong>bold</strong>"_s);
        row("em stars", u"*it*"_s, u"<em>it</em>"_s);
        row("em underscores", u"_it_."_s, u"<em>it</em>."_s);
        row("strong and em", u"***both***"_s, u"<em><strong>both</strong></em>"_s);
        row("em inside strong", u"**strong *and em***"_s,
            u"<strong>strong <em>and em</em></strong>"_s);
        row("strong inside em", u"*em **and strong***"_s,
            u"<em>em <strong>and strong</strong></em>"_s);
        row("mixed kinds", u"*a _b_ c*"_s, u"<em>a <em>b</em> c</em>"_s);
        row("star inside a word", u"un*believ*able"_s, u"un<em>believ</em>able"_s);
        row("snake case", u"snake_case_name"_s, u"snake_case_name"_s);
        row("arithmetic", u"2 * 3 * 4"_s, u"2 * 3 * 4"_s);
        row("unclosed strong", u"**open and *closed*"_s, u"**open and <em>closed</em>"_s);
        row("unopened", u"closed** here"_s, u"closed** here"_s);
        row("mismatched kinds", u"_a*"_s, u"_a*"_s);
        row("rule of three", u"*a**b*"_s, u"<em>a**b</em>"_s);

        row("code", u"run `ls -l` now"_s, u"run <code>ls -l</code> now"_s);
        row("no emphasis in code", u"`*not em*`"_s, u"<code>*not em*</code>"_s);
        row("double backticks", u"`` a`b ``"_s, u"<code>a`b</code>"_s);
        row("backtick runs must match", u"``a`"_s, u"``a`"_s);
        row("later run matches", u"`a``b`"_s, u"<code>a``b</code>"_s);
        row("markup in code", u"`<b>&`"_s, u"<code>&lt;b&gt;&amp;</code>"_s);
        row("backslash in code", u"`a\\`"_s, u"<code>a\\</code>"_s);
        row("code beats link", u"[a `]` b](https://x.org)"_s,
            u"<a href=\"https://x.org\">a <code>]</code> b</a>"_s);

        row("https link", u"[site](https://example.com/a?b=1&c=2)"_s,
            u"<a href=\"https://example.com/a?b=1&amp;c=2\">site</a>"_s);
        row("http link", u"see [here](http://example.com)."_s,
            u"see <a href=\"http://example.com\">here</a>."_s);
        row("mailto link", u"[mail](mailto:ann@example.com)"_s,
            u"<a href=\"mailto:ann@example.com\">mail</a>"_s);
        row("scheme case", u"[x](HTTPS://example.com)"_s,
            u"<a href=\"https://example.com\">x</a>"_s);
        row("parentheses in url", u"[w](https://en.wikipedia.org/wiki/Foo_(bar))"_s,
            u"<a href=\"https://en.wikipedia.org/wiki/Foo_(bar)\">w</a>"_s);
        row("quote in url", u"[q](https://x.org/?a=\"b'\")"_s,
            u"<a href=\"https://x.org/?a=%22b&#39;%22\">q</a>"_s);
        row("escaped parenthesis", u"[p](https://x.org/a\\))"_s,
            u"<a href=\"https://x.org/a)\">p</a>"_s);
        row("emphasis in link", u"[**bold** link](https://x.org)"_s,
            u"<a href=\"https://x.org\"><strong>bold</strong> link</a>"_s);
        row("emphasis does not cross link", u"*[a*](https://x.org)"_s,
            u"*<a href=\"https://x.org\">a*</a>"_s);
        row("no link in link", u"[a [b](https://x.org) c](https://y.org)"_s,
            u"[a <a href=\"https://x.org\">b</a> c](https://y.org)"_s);
        row("javascript refused", u"[x](javascript:alert(1))"_s, u"[x](javascript:alert(1))"_s);
        row("file refused", u"[x](file:///etc/passwd)"_s, u"[x](file:///etc/passwd)"_s);
        row("data refused", u"[x](data:text/html,<b>)"_s, u"[x](data:text/html,&lt;b&gt;)"_s);
        row("relative refused", u"[x](/etc/passwd)"_s, u"[x](/etc/passwd)"_s);
        row("refused url is not parsed", u"[x](file:///*a*)"_s, u"[x](file:///*a*)"_s);
        row("space in url", u"[a](https://x.org b)"_s, u"[a](https://x.org b)"_s);
        row("empty text", u"[](https://x.org)"_s, u"[](https://x.org)"_s);
        row("no destination", u"[a] (b) [c]"_s, u"[a] (b) [c]"_s);
        row("unclosed destination", u"[a](https://x.org"_s, u"[a](https://x.org"_s);

        row("escaped stars", u"\\*not em\\*"_s, u"*not em*"_s);
        row("escaped backslash", u"\\\\*em*"_s, u"\\<em>em</em>"_s);
        row("backslash before letter", u"C:\\dir"_s, u"C:\\dir"_s);
        row("escaped angle brackets", u"\\<b\\>"_s, u"&lt;b&gt;"_s);
        row("escaped backtick", u"\\`x`"_s, u"`x`"_s);
        row("escaped bracket", u"\\[a](https://x.org)"_s, u"[a](https://x.org)"_s);

        row("block syntax stays text", u"# Title\n- item\n> quote\n1. one"_s,
            u"# Title\n- item\n&gt; quote\n1. one"_s);
        row("cjk", u"**日本語**のテキスト"_s, u"<strong>日本語</strong>のテキスト"_s);
        row("emoji", u"**😀** done ✅ _ok_"_s, u"<strong>😀</strong> done ✅ <em>ok</em>"_s);
        row("white space", u"  a   b\n\n\tc  \n"_s, u"  a   b\n\n\tc  \n"_s);
        row("emphasis over lines", u"*one\ntwo*"_s, u"<em>one\ntwo</em>"_s);
    }

    void convertsInlineSyntaxOnly()
    {
        QFETCH(QString, markdown);
        QFETCH(QString, expected);
        QCOMPARE(InlineMarkdown::toRichText(markdown), expected);
    }

    // What Qt's rich text engine shows is exactly the text that was sent.
    void plainTextSurvivesQtRichText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("sentence") << u"Hello, world."_s;
        QTest::newRow("spaces") << u"  two  spaces   and three  "_s;
        QTest::newRow("lines") << u"one\ntwo\n\n\nfive"_s;
        QTest::newRow("leading newline") << u"\nstart"_s;
        QTest::newRow("tab") << u"a\tb"_s;
        QTest::newRow("markup") << u"<b>not bold</b> <img src=\"file:///etc/passwd\">"_s;
        QTest::newRow("entities") << u"&amp; &#60; &nbsp; 'single' \"double\""_s;
        QTest::newRow("cjk and emoji") << u"日本語のテキスト 😀 ✅"_s;
        QTest::newRow("block syntax") << u"# Title\n- item\n> quote\n1. one"_s;
    }

    void plainTextSurvivesQtRichText()
    {
        QFETCH(QString, text);
        QTextDocument document;
        document.setHtml(InlineMarkdown::toRichText(text));
        QCOMPARE(document.toPlainText(), text);
    }
};

LEXWICK_TEST(InlineMarkdownTest)
#include "InlineMarkdownTest.moc"
