// SPDX-License-Identifier: MIT
#include "text/TextChanges.h"

#include <QHash>

#include <unicode/brkiter.h>
#include <unicode/utext.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

namespace lexwick {

using namespace Qt::StringLiterals;

namespace {

// A word, a run of white space or a punctuation mark, as a range of its text.
struct Token {
    qsizetype start, end;
    bool word;  // letters, digits, kana or ideographs
    bool space; // white space
};

struct Tokens {
    QStringView text;
    std::vector<Token> tokens;
    std::vector<int> ids; // equal tokens of either text share an id

    QStringView slice(qsizetype from, qsizetype to) const
    {
        if (from >= to)
            return {};
        return text.sliced(tokens[from].start, tokens[to - 1].end - tokens[from].start);
    }
    bool onlySpaces(qsizetype from, qsizetype to) const
    {
        return std::all_of(tokens.begin() + from, tokens.begin() + to, [](const Token& t) {
            return t.space;
        });
    }
};

// Runs of white space and runs of anything else: what is left when ICU has no word rules.
void cutAtSpaces(Tokens& out)
{
    const QStringView text = out.text;
    for (qsizetype start = 0; start < text.size();) {
        const bool space = text[start].isSpace();
        qsizetype end = start + 1;
        while (end < text.size() && text[end].isSpace() == space)
            ++end;
        out.tokens.push_back({start, end, !space, space});
        start = end;
    }
}

void cut(Tokens& out, icu::BreakIterator* words)
{
    if (out.text.isEmpty())
        return;
    UErrorCode status = U_ZERO_ERROR;
    UText text = UTEXT_INITIALIZER;
    utext_openUChars(&text, reinterpret_cast<const UChar*>(out.text.utf16()), out.text.size(),
                     &status);
    if (words)
        words->setText(&text, status);
    if (!words || U_FAILURE(status)) {
        utext_close(&text);
        cutAtSpaces(out);
        return;
    }
    int32_t start = words->first();
    for (int32_t end = words->next(); end != icu::BreakIterator::DONE;
         start = end, end = words->next()) {
        out.tokens.push_back({start, end, words->getRuleStatus() >= UBRK_WORD_NONE_LIMIT,
                              out.text[start].isSpace()});
    }
    utext_close(&text);
}

// A stretch of both texts: unchanged (both ranges as long), or changed (either may be empty).
struct Piece {
    bool changed;
    qsizetype aStart, aEnd, bStart, bEnd;
};

// Myers' algorithm with the middle snake, which keeps the memory linear.
class Differ {
public:
    Differ(const std::vector<int>& a, const std::vector<int>& b)
        : a(a)
        , b(b)
    {
    }

    std::vector<Piece> run()
    {
        diff(0, qsizetype(a.size()), 0, qsizetype(b.size()));
        return std::move(pieces);
    }

private:
    void add(bool changed, qsizetype aStart, qsizetype aEnd, qsizetype bStart, qsizetype bEnd)
    {
        if (aStart == aEnd && bStart == bEnd)
            return;
        if (!pieces.empty() && pieces.back().changed == changed) {
            pieces.back().aEnd = aEnd;
            pieces.back().bEnd = bEnd;
            return;
        }
        pieces.push_back({changed, aStart, aEnd, bStart, bEnd});
    }

    void diff(qsizetype aLo, qsizetype aHi, qsizetype bLo, qsizetype bHi)
    {
        const qsizetype prefixStart = aLo;
        while (aLo < aHi && bLo < bHi && a[aLo] == b[bLo]) {
            ++aLo;
            ++bLo;
        }
        add(false, prefixStart, aLo, bLo - (aLo - prefixStart), bLo);
        qsizetype suffix = 0;
        while (aLo < aHi && bLo < bHi && a[aHi - 1] == b[bHi - 1]) {
            --aHi;
            --bHi;
            ++suffix;
        }
        if (aLo == aHi || bLo == bHi) {
            add(true, aLo, aHi, bLo, bHi);
        } else {
            const auto [x, y] = middle(aLo, aHi, bLo, bHi);
            diff(aLo, x, bLo, y);
            diff(x, aHi, y, bHi);
        }
        add(false, aHi, aHi + suffix, bHi, bHi + suffix);
    }

    // One direction of the search: the furthest x reached on each diagonal k = x - y (at
    // `offset + k`, -1 before any), and the diagonals at either side that have left the grid.
    struct Search {
        std::vector<qsizetype> reach;
        qsizetype start = 0, end = 0;

        bool reached(qsizetype i) const
        {
            return i >= 0 && i < qsizetype(reach.size()) && reach[i] != -1;
        }
    };

    // Takes the search on diagonal k one edit further, then along equal tokens; where it ends,
    // or nothing once the diagonal has left the n × m grid.
    template <class Equal>
    static std::optional<std::pair<qsizetype, qsizetype>>
    step(Search& s, qsizetype i, qsizetype k, qsizetype d, qsizetype n, qsizetype m, Equal equal)
    {
        std::vector<qsizetype>& v = s.reach;
        qsizetype x = (k == -d || (k != d && v[i - 1] < v[i + 1])) ? v[i + 1] : v[i - 1] + 1;
        qsizetype y = x - k;
        while (x < n && y < m && equal(x, y)) {
            ++x;
            ++y;
        }
        v[i] = x;
        if (x > n) {
            s.end += 2;
            return std::nullopt;
        }
        if (y > m) {
            s.start += 2;
            return std::nullopt;
        }
        return std::pair(x, y);
    }

    // A point on a shortest edit path of the two non-empty ranges, strictly inside it: the
    // forward and backward searches advance one edit at a time until their paths overlap.
    // Ranges that start or end alike have been trimmed, which keeps the point off the corners.
    std::pair<qsizetype, qsizetype> middle(qsizetype aLo, qsizetype aHi, qsizetype bLo,
                                           qsizetype bHi)
    {
        const qsizetype n = aHi - aLo;
        const qsizetype m = bHi - bLo;
        const qsizetype maxD = (n + m + 1) / 2;
        const qsizetype offset = maxD + 1;
        Search forward{std::vector<qsizetype>(2 * offset + 1, -1)};
        Search backward{forward.reach};
        forward.reach[offset + 1] = 0;
        backward.reach[offset + 1] = 0;
        const qsizetype delta = n - m;
        const bool oddDelta = delta % 2 != 0;
        const auto ahead = [&](qsizetype x, qsizetype y) { return a[aLo + x] == b[bLo + y]; };
        const auto behind = [&](qsizetype x, qsizetype y) {
            return a[aHi - 1 - x] == b[bHi - 1 - y];
        };
        for (qsizetype d = 0; d < maxD && work < workLimit; ++d) {
            work += 2 * d + 2;
            for (qsizetype k = -d + forward.start; k <= d - forward.end; k += 2) {
                const auto end = step(forward, offset + k, k, d, n, m, ahead);
                const qsizetype j = offset + delta - k; // the same diagonal, seen backward
                if (end && oddDelta && backward.reached(j) &&
                    end->first >= n - backward.reach[j])
                    return {aLo + end->first, bLo + end->second};
            }
            for (qsizetype k = -d + backward.start; k <= d - backward.end; k += 2) {
                const auto end = step(backward, offset + k, k, d, n, m, behind);
                const qsizetype j = offset + delta - k;
                if (end && !oddDelta && forward.reached(j) &&
                    forward.reach[j] >= n - end->first) {
                    const qsizetype x = forward.reach[j];
                    return {aLo + x, bLo + x - (j - offset)};
                }
            }
        }
        // Past the limit: the rest of this range reads as replaced.
        return {aHi, bLo};
    }

    // An answer that shares little with a long text would cost seconds on the screen's thread;
    // past this many steps of the search (some milliseconds) what is left shows as replaced.
    static constexpr qint64 workLimit = 5'000'000;
    qint64 work = 0;

    const std::vector<int>& a;
    const std::vector<int>& b;
    std::vector<Piece> pieces;
};

// Moves a pure insertion or deletion along equal tokens to where it reads best: starting at a
// word and ending in white space ("a {very }good", not "a{ very} good"), else as late as it
// can (an inserted line break after the line break it repeats). The unchanged pieces
// around it keep at least one token.
void align(std::vector<Piece>& pieces, const Tokens& a, const Tokens& b)
{
    for (size_t p = 1; p + 1 < pieces.size(); ++p) {
        Piece& change = pieces[p];
        const bool insertion = change.aStart == change.aEnd;
        if (!change.changed || (!insertion && change.bStart != change.bEnd))
            continue;
        Piece& before = pieces[p - 1];
        Piece& after = pieces[p + 1];
        const Tokens& side = insertion ? b : a;
        qsizetype start = insertion ? change.bStart : change.aStart;
        qsizetype end = insertion ? change.bEnd : change.aEnd;
        const qsizetype floor = (insertion ? before.bStart : before.aStart) + 1;
        const qsizetype ceiling = (insertion ? after.bEnd : after.aEnd) - 1;
        const qsizetype original = start;
        while (start > floor && side.ids[start - 1] == side.ids[end - 1]) {
            --start;
            --end;
        }
        const auto score = [&](qsizetype s, qsizetype e) {
            return (side.tokens[s].word ? 2 : 0) + (side.tokens[e - 1].space ? 1 : 0);
        };
        qsizetype best = start;
        int bestScore = score(start, end);
        while (end < ceiling && side.ids[start] == side.ids[end]) {
            ++start;
            ++end;
            if (const int s = score(start, end); s >= bestScore) {
                best = start;
                bestScore = s;
            }
        }
        const qsizetype shift = best - original;
        before.aEnd += shift;
        before.bEnd += shift;
        change.aStart += shift;
        change.aEnd += shift;
        change.bStart += shift;
        change.bEnd += shift;
        after.aStart += shift;
        after.bStart += shift;
    }
}

bool hasWord(const Tokens& side, qsizetype from, qsizetype to)
{
    return std::any_of(side.tokens.begin() + from, side.tokens.begin() + to,
                       [](const Token& t) { return t.word; });
}

// Joins changes of words parted only by white space within a line ("has went" → "have
// gone"); a changed punctuation mark stays a change of its own.
std::vector<Piece> joinAcrossSpaces(const std::vector<Piece>& pieces, const Tokens& a,
                                    const Tokens& b)
{
    struct Joined {
        Piece piece;
        bool ofWords; // a changed piece that changes a word
    };
    std::vector<Joined> out;
    for (const Piece& piece : pieces) {
        out.push_back({piece, piece.changed && (hasWord(a, piece.aStart, piece.aEnd) ||
                                                hasWord(b, piece.bStart, piece.bEnd))});
        while (out.size() >= 3 && out.back().ofWords && out[out.size() - 3].ofWords) {
            const Piece& gap = out[out.size() - 2].piece;
            if (!b.onlySpaces(gap.bStart, gap.bEnd) ||
                b.slice(gap.bStart, gap.bEnd).contains(u'\n'))
                break;
            const Piece last = out.back().piece;
            out.resize(out.size() - 2);
            out.back().piece.aEnd = last.aEnd;
            out.back().piece.bEnd = last.bEnd;
        }
    }
    std::vector<Piece> joined;
    joined.reserve(out.size());
    for (const Joined& j : out)
        joined.push_back(j.piece);
    return joined;
}

} // namespace

QList<TextChanges::Segment> TextChanges::compare(QStringView before, QStringView after)
{
    Tokens a{before, {}, {}}, b{after, {}, {}};
    UErrorCode status = U_ZERO_ERROR;
    const std::unique_ptr<icu::BreakIterator> words(
        icu::BreakIterator::createWordInstance(icu::Locale::getRoot(), status));
    cut(a, U_SUCCESS(status) ? words.get() : nullptr);
    cut(b, U_SUCCESS(status) ? words.get() : nullptr);

    QHash<QStringView, int> ids;
    for (Tokens* side : {&a, &b}) {
        side->ids.reserve(side->tokens.size());
        for (const Token& token : side->tokens) {
            const QStringView text = side->text.sliced(token.start, token.end - token.start);
            auto found = ids.constFind(text);
            if (found == ids.cend())
                found = ids.insert(text, int(ids.size()));
            side->ids.push_back(*found);
        }
    }

    std::vector<Piece> pieces = Differ(a.ids, b.ids).run();
    align(pieces, a, b);
    pieces = joinAcrossSpaces(pieces, a, b);

    QList<Segment> segments;
    for (const Piece& piece : pieces) {
        if (!piece.changed) {
            segments.append({Kind::unchanged, b.slice(piece.bStart, piece.bEnd).toString()});
            continue;
        }
        if (piece.aStart < piece.aEnd)
            segments.append({Kind::deleted, a.slice(piece.aStart, piece.aEnd).toString()});
        if (piece.bStart < piece.bEnd)
            segments.append({Kind::inserted, b.slice(piece.bStart, piece.bEnd).toString()});
    }
    return segments;
}

TextChanges::TextChanges(const QString& original, const QString& corrected)
    : m_corrected(InlineMarkdown::parse(corrected))
    , m_segments(compare(InlineMarkdown::parse(original.trimmed()).text, m_corrected.text))
{
    Kind previous = Kind::unchanged;
    for (const Segment& segment : m_segments) {
        if (segment.kind != Kind::unchanged && previous == Kind::unchanged)
            ++m_count;
        previous = segment.kind;
    }
}

namespace {

// A changed line break is shown by a pilcrow: a deleted one joins the lines it parted, an
// inserted one still breaks its line.
QString shownChange(QString text, TextChanges::Kind kind)
{
    return text.replace(u'\n', kind == TextChanges::Kind::deleted ? u"¶"_s : u"¶\n"_s);
}

void appendChange(QString& out, QStringView text, TextChanges::Kind kind)
{
    switch (kind) {
    case TextChanges::Kind::unchanged:
        InlineMarkdown::appendEscaped(out, text);
        return;
    case TextChanges::Kind::deleted:
        out += u"<span class=\"deleted\"><s>";
        InlineMarkdown::appendEscaped(out, shownChange(text.toString(), kind));
        out += u"</s></span>";
        return;
    case TextChanges::Kind::inserted:
        out += u"<span class=\"inserted\"><u>";
        InlineMarkdown::appendEscaped(out, shownChange(text.toString(), kind));
        out += u"</u></span>";
        return;
    }
}

} // namespace

// The answer's tags stay where they are and the change marks go around the text between
// them, so the marks never cross the emphasis, code and link tags and the markup stays whole.
QString TextChanges::richText() const
{
    const QString& text = m_corrected.text;
    const auto& tags = m_corrected.tags;
    QString out = QString::fromUtf16(InlineMarkdown::richTextStart);
    size_t tag = 0;
    qsizetype position = 0;
    const auto tagsAt = [&](qsizetype at) {
        for (; tag < tags.size() && tags[tag].position <= at; ++tag)
            out += tags[tag].html;
    };
    for (const Segment& segment : m_segments) {
        if (segment.kind == Kind::deleted) {
            // Outside the emphasis that starts here: it belongs to the new words.
            for (; tag < tags.size() && tags[tag].position <= position &&
                   tags[tag].html.startsWith(u"</");
                 ++tag)
                out += tags[tag].html;
            appendChange(out, segment.text, Kind::deleted);
            continue;
        }
        const qsizetype end = position + segment.text.size();
        while (position < end) {
            tagsAt(position);
            const qsizetype next = tag < tags.size() ? std::min(end, tags[tag].position) : end;
            appendChange(out, QStringView(text).sliced(position, next - position), segment.kind);
            position = next;
        }
    }
    tagsAt(text.size());
    out += InlineMarkdown::richTextEnd;
    return out;
}

namespace {

// White space alone is not heard: it is named.
QString spoken(const QString& text)
{
    if (!text.trimmed().isEmpty())
        return text;
    return text.contains(u'\n') ? u"line break"_s : u"space"_s;
}

} // namespace

QString TextChanges::spokenText() const
{
    QString out;
    for (const Segment& segment : m_segments) {
        switch (segment.kind) {
        case Kind::unchanged:
            out += segment.text;
            break;
        case Kind::deleted:
            out += u"[deleted: "_s + spoken(segment.text) + u']';
            break;
        case Kind::inserted:
            if (out.endsWith(u']'))
                out += u' ';
            out += u"[inserted: "_s + spoken(segment.text) + u']';
            break;
        }
    }
    return out;
}

} // namespace lexwick
