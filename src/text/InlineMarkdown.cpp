// SPDX-License-Identifier: MIT
#include "text/InlineMarkdown.h"

#include <QHash>
#include <QUrl>

#include <algorithm>
#include <limits>
#include <vector>

namespace lexwick::InlineMarkdown {

using namespace Qt::StringLiterals;

void appendEscaped(QString& out, QStringView text)
{
    qsizetype plain = 0; // the start of the characters not yet copied
    for (qsizetype i = 0; i < text.size(); ++i) {
        QStringView entity;
        switch (text[i].unicode()) {
        case u'&':
            entity = u"&amp;";
            break;
        case u'<':
            entity = u"&lt;";
            break;
        case u'>':
            entity = u"&gt;";
            break;
        case u'"':
            entity = u"&quot;";
            break;
        case u'\'':
            entity = u"&#39;";
            break;
        default:
            continue;
        }
        out += text.sliced(plain, i - plain);
        out += entity;
        plain = i + 1;
    }
    out += text.sliced(plain);
}

namespace {

bool isAsciiPunctuation(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 0x21 && u <= 0x2f) || (u >= 0x3a && u <= 0x40) || (u >= 0x5b && u <= 0x60) ||
           (u >= 0x7b && u <= 0x7e);
}

// The edges of the text count as white space when deciding whether a run of * or _ opens or
// closes emphasis.
constexpr char32_t edge = 0xffffffff;

char32_t codePointBefore(QStringView s, qsizetype i)
{
    if (i == 0)
        return edge;
    const QChar c = s[i - 1];
    if (c.isLowSurrogate() && i >= 2 && s[i - 2].isHighSurrogate())
        return QChar::surrogateToUcs4(s[i - 2], c);
    return c.unicode();
}

char32_t codePointAt(QStringView s, qsizetype i)
{
    if (i >= s.size())
        return edge;
    const QChar c = s[i];
    if (c.isHighSurrogate() && i + 1 < s.size() && s[i + 1].isLowSurrogate())
        return QChar::surrogateToUcs4(c, s[i + 1]);
    return c.unicode();
}

bool isWhite(char32_t c)
{
    return c == edge || QChar::isSpace(c);
}

// Emoji and other symbols count as punctuation, so "**😀**" is strong.
bool isPunctuation(char32_t c)
{
    return c != edge && (QChar::isPunct(c) || QChar::isSymbol(c));
}

// Characters that end a link destination: it is a single word.
bool endsDestination(QChar c)
{
    return c.unicode() <= 0x20 || c.unicode() == 0x7f || c.isSpace();
}

QString unescaped(QStringView text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\\' && i + 1 < text.size() && isAsciiPunctuation(text[i + 1]))
            ++i;
        out += text[i];
    }
    return out;
}

// The address a link may carry, encoded, or nothing: other schemes (javascript:, file:,
// data:, relative paths…) could run code or reveal local files when clicked.
QString allowedHref(const QString& destination)
{
    const QUrl url(destination);
    if (!url.isValid())
        return {};
    const QString scheme = url.scheme().toLower();
    const bool web = (scheme == u"http" || scheme == u"https") && !url.host().isEmpty();
    const bool mail = scheme == u"mailto" && !url.path().isEmpty();
    if (!web && !mail)
        return {};
    return QString::fromUtf8(url.toEncoded());
}

// A left-to-right scan in the manner of CommonMark's inline parser: code spans and escapes are
// resolved as they are met, runs of * and _ go on a delimiter stack and brackets on a bracket
// stack; emphasis is matched when a link closes and at the end. Each lookup that could scan
// far is either answered from tables built once (code span closers, link destinations) or
// bounded by a per-kind floor below which no opener can match, so the work is linear.
class Converter {
public:
    explicit Converter(QStringView source)
        : s(source)
    {
    }

    // Parses the whole text, then hands the result to `sink` in order: `sink.text(t)` for
    // characters a reader sees, `sink.markup(html)` for the tags between them.
    template <class Sink>
    void run(Sink& sink)
    {
        qsizetype i = 0;
        while (i < s.size()) {
            switch (s[i].unicode()) {
            case u'\\':
                if (i + 1 < s.size() && isAsciiPunctuation(s[i + 1])) {
                    appendText(s.sliced(i + 1, 1));
                    i += 2;
                } else {
                    appendText(s.sliced(i, 1));
                    ++i;
                }
                break;
            case u'`':
                i = codeSpan(i);
                break;
            case u'*':
            case u'_':
                i = delimiterRun(i);
                break;
            case u'[':
                i = openBracket(i);
                break;
            case u']':
                i = closeBracket(i);
                break;
            default: {
                qsizetype end = i + 1;
                while (end < s.size() && !isSpecial(s[end]))
                    ++end;
                appendText(s.sliced(i, end - i));
                i = end;
            }
            }
        }
        processEmphasis(-1);

        for (const Node& node : nodes) {
            if (node.run < 0) {
                if (node.markup)
                    sink.markup(node.text);
                else
                    sink.text(node.text);
                continue;
            }
            const Delimiter& run = delimiters[node.run];
            if (!run.closes.isEmpty())
                sink.markup(run.closes);
            if (run.count > 0)
                sink.text(QString(run.count, run.ch));
            if (!run.opens.isEmpty())
                sink.markup(run.opens);
        }
    }

private:
    // Kept small: an answer of brackets alone makes one node per character.
    struct Node {
        QString text;        // as the reader sees it, or a tag
        bool markup = false; // `text` is a tag
        int run = -1;        // for a run of * or _, its entry in `delimiters`
        bool mergeable = true;
    };
    // Every run of * or _; those that can open or close are also linked into the stack.
    struct Delimiter {
        int node;
        QChar ch;
        qsizetype length;      // of the whole run, for the rule of three
        qsizetype count;       // characters not used by emphasis
        QString opens, closes; // emphasis tags matched on this run
        bool canOpen, canClose;
        int previous = -1, next = -1;
    };
    struct Bracket {
        int node;
        int delimiterBottom; // the delimiter stack's top when the bracket opened
        qsizetype position;
    };
    struct BacktickRuns {
        std::vector<qsizetype> starts;
        size_t cursor = 0;
    };

    static bool isSpecial(QChar c)
    {
        switch (c.unicode()) {
        case u'\\':
        case u'`':
        case u'*':
        case u'_':
        case u'[':
        case u']':
            return true;
        default:
            return false;
        }
    }

    void appendText(QStringView text)
    {
        if (nodes.empty() || !nodes.back().mergeable)
            nodes.push_back({});
        nodes.back().text += text;
    }

    void appendMarkup(const QString& html)
    {
        nodes.push_back({.text = html, .markup = true, .mergeable = false});
    }

    qsizetype runEnd(qsizetype i) const
    {
        const QChar c = s[i];
        while (i < s.size() && s[i] == c)
            ++i;
        return i;
    }

    // All maximal backtick runs, by length, built on first use; openers only move forward, so
    // each length's cursor does too.
    qsizetype closingBackticks(qsizetype from, qsizetype length)
    {
        if (!backtickRunsBuilt) {
            backtickRunsBuilt = true;
            for (qsizetype i = 0; i < s.size();) {
                if (s[i] != u'`') {
                    ++i;
                    continue;
                }
                const qsizetype end = runEnd(i);
                backtickRuns[end - i].starts.push_back(i);
                i = end;
            }
        }
        auto found = backtickRuns.find(length);
        if (found == backtickRuns.end())
            return -1;
        BacktickRuns& runs = found.value();
        while (runs.cursor < runs.starts.size() && runs.starts[runs.cursor] < from)
            ++runs.cursor;
        return runs.cursor < runs.starts.size() ? runs.starts[runs.cursor] : -1;
    }

    qsizetype codeSpan(qsizetype i)
    {
        const qsizetype open = runEnd(i) - i;
        const qsizetype close = closingBackticks(i + open, open);
        if (close < 0) {
            appendText(s.sliced(i, open));
            return i + open;
        }
        QStringView code = s.sliced(i + open, close - i - open);
        // One space inside each end lets code start or end with a backtick.
        if (code.size() >= 2 && code.front() == u' ' && code.back() == u' ' &&
            !code.trimmed().isEmpty())
            code = code.sliced(1, code.size() - 2);
        appendMarkup(u"<code>"_s);
        appendText(code);
        appendMarkup(u"</code>"_s);
        return close + open;
    }

    qsizetype delimiterRun(qsizetype i)
    {
        const qsizetype end = runEnd(i);
        const QChar ch = s[i];
        const char32_t before = codePointBefore(s, i);
        const char32_t after = codePointAt(s, end);
        const bool leftFlanking =
            !isWhite(after) && (!isPunctuation(after) || isWhite(before) || isPunctuation(before));
        const bool rightFlanking =
            !isWhite(before) && (!isPunctuation(before) || isWhite(after) || isPunctuation(after));
        bool canOpen = leftFlanking;
        bool canClose = rightFlanking;
        if (ch == u'_') { // no emphasis inside words such as snake_case_names
            canOpen = leftFlanking && (!rightFlanking || isPunctuation(before));
            canClose = rightFlanking && (!leftFlanking || isPunctuation(after));
        }

        const int index = int(delimiters.size());
        nodes.push_back({.run = index, .mergeable = false});
        delimiters.push_back({.node = int(nodes.size()) - 1,
                              .ch = ch,
                              .length = end - i,
                              .count = end - i,
                              .canOpen = canOpen,
                              .canClose = canClose});
        if (canOpen || canClose) {
            delimiters[index].previous = top;
            if (top >= 0)
                delimiters[top].next = index;
            top = index;
        }
        return end;
    }

    void removeDelimiter(int index)
    {
        Delimiter& d = delimiters[index];
        if (d.previous >= 0)
            delimiters[d.previous].next = d.next;
        if (d.next >= 0)
            delimiters[d.next].previous = d.previous;
        if (top == index)
            top = d.previous;
    }

    // Matches emphasis among the delimiters above `bottom` (-1: all), then drops them.
    // Delimiter indices grow with position, so "above" is a comparison of indices.
    void processEmphasis(int bottom)
    {
        // Per delimiter kind, closer-can-open and closer length mod 3: nothing at or below
        // this index can be its opener.
        int openersBottom[2][2][3];
        for (auto& byOpen : openersBottom)
            for (auto& byLength : byOpen)
                for (int& b : byLength)
                    b = bottom;

        int closer = top;
        while (closer >= 0 && delimiters[closer].previous > bottom)
            closer = delimiters[closer].previous;
        if (closer <= bottom)
            closer = -1;

        while (closer >= 0) {
            Delimiter& c = delimiters[closer];
            if (!c.canClose) {
                closer = c.next;
                continue;
            }
            int& limit = openersBottom[c.ch == u'*' ? 0 : 1][c.canOpen][c.length % 3];
            int opener = c.previous;
            while (opener > limit) {
                const Delimiter& o = delimiters[opener];
                if (o.ch == c.ch && o.canOpen) {
                    const bool oddMatch = (o.canClose || c.canOpen) &&
                                          (o.length + c.length) % 3 == 0 &&
                                          !(o.length % 3 == 0 && c.length % 3 == 0);
                    if (!oddMatch)
                        break;
                }
                opener = o.previous;
            }

            if (opener > limit) {
                Delimiter& on = delimiters[opener];
                Delimiter& cn = c;
                const qsizetype use = on.count >= 2 && cn.count >= 2 ? 2 : 1;
                on.count -= use;
                cn.count -= use;
                on.opens.prepend(use == 2 ? u"<strong>"_s : u"<em>"_s);
                cn.closes += use == 2 ? u"</strong>"_s : u"</em>"_s;
                // Delimiters in between can no longer match across this pair.
                delimiters[opener].next = closer;
                c.previous = opener;
                if (on.count == 0)
                    removeDelimiter(opener);
                if (cn.count == 0) {
                    const int next = c.next;
                    removeDelimiter(closer);
                    closer = next;
                }
            } else {
                limit = std::max(c.previous, bottom);
                const int next = c.next;
                if (!c.canOpen)
                    removeDelimiter(closer);
                closer = next;
            }
        }
        while (top > bottom)
            removeDelimiter(top);
    }

    qsizetype openBracket(qsizetype i)
    {
        nodes.push_back({.text = u"["_s, .mergeable = false});
        brackets.push_back({int(nodes.size()) - 1, top, i});
        return i + 1;
    }

    void popBracket()
    {
        brackets.pop_back();
        inactiveBelow = std::min(inactiveBelow, brackets.size());
    }

    // The index of the ")" closing a destination that starts at `start`, or -1: the first
    // place where the parenthesis balance drops below its value at `start`, if no white space
    // comes first. Tables built on first use make each lookup constant time.
    qsizetype destinationEnd(qsizetype start)
    {
        const qsizetype n = s.size();
        if (n >= std::numeric_limits<int>::max())
            return -1;
        if (lowerBalance.empty()) {
            std::vector<int> balance(n + 1, 0);
            bool escaped = false;
            for (qsizetype k = 0; k < n; ++k) {
                const QChar c = s[k];
                balance[k + 1] = balance[k] + (!escaped && c == u'(') - (!escaped && c == u')');
                escaped = !escaped && c == u'\\';
            }
            lowerBalance.assign(n + 1, -1);
            std::vector<int> stack;
            for (int k = int(n); k >= 0; --k) {
                while (!stack.empty() && balance[stack.back()] >= balance[k])
                    stack.pop_back();
                if (!stack.empty())
                    lowerBalance[k] = stack.back();
                stack.push_back(k);
            }
            nextBreak.assign(n + 1, int(n));
            for (int k = int(n) - 1; k >= 0; --k)
                nextBreak[k] = endsDestination(s[k]) ? k : nextBreak[k + 1];
        }
        const qsizetype lower = lowerBalance[start];
        if (lower < 0)
            return -1;
        const qsizetype close = lower - 1;
        return nextBreak[start] >= close ? close : -1;
    }

    qsizetype closeBracket(qsizetype i)
    {
        if (brackets.empty()) {
            appendText(u"]");
            return i + 1;
        }
        const Bracket opener = brackets.back();
        // Links cannot contain links: brackets open before the last link are plain text.
        const bool active = brackets.size() - 1 >= inactiveBelow;
        const qsizetype start = i + 2;
        const qsizetype close =
            active && opener.position + 1 < i && start < s.size() && s[i + 1] == u'('
                ? destinationEnd(start)
                : -1;
        if (close <= start) {
            popBracket();
            appendText(u"]");
            return i + 1;
        }

        const QString href = allowedHref(unescaped(s.sliced(start, close - start)));
        popBracket();
        if (href.isEmpty()) { // shown as written, destination included
            appendText(s.sliced(i, close + 1 - i));
            return close + 1;
        }

        QString anchor = u"<a href=\""_s;
        appendEscaped(anchor, href);
        anchor += u"\">";
        nodes[opener.node] = {.text = anchor, .markup = true, .mergeable = false};
        processEmphasis(opener.delimiterBottom);
        appendMarkup(u"</a>"_s);
        inactiveBelow = brackets.size();
        return close + 1;
    }

    QStringView s;
    std::vector<Node> nodes;
    std::vector<Delimiter> delimiters;
    int top = -1;
    std::vector<Bracket> brackets;
    size_t inactiveBelow = 0;
    bool backtickRunsBuilt = false;
    QHash<qsizetype, BacktickRuns> backtickRuns;
    std::vector<int> lowerBalance, nextBreak; // int: half the memory to touch
};

} // namespace

Formatted parse(const QString& markdown)
{
    struct Sink {
        Formatted& out;
        void text(const QString& t) { out.text += t; }
        void markup(const QString& html) { out.tags.push_back({out.text.size(), html}); }
    };
    Formatted formatted;
    Sink sink{formatted};
    Converter(markdown).run(sink);
    return formatted;
}

QString toRichText(const QString& markdown)
{
    struct Sink {
        QString out = QString::fromUtf16(richTextStart);
        void text(const QString& t) { appendEscaped(out, t); }
        void markup(const QString& html) { out += html; }
    };
    Sink sink;
    Converter(markdown).run(sink);
    sink.out += richTextEnd;
    return sink.out;
}

} // namespace lexwick::InlineMarkdown
