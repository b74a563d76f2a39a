// SPDX-License-Identifier: MIT
#include "ui/ResultView.h"

#include "core/CancellableSleep.h"
#include "text/InlineMarkdown.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QJSEngine>
#include <QUrl>

namespace lexwick {

using namespace Qt::StringLiterals;

namespace {

constexpr std::chrono::milliseconds copiedFeedbackShown{1500};

} // namespace

ResultView::ResultView(QObject* parent)
    : QObject(parent)
{
    QJSEngine::setObjectOwnership(this, QJSEngine::CppOwnership);
    m_frame.setSingleShot(true);
    m_frame.setInterval(frameInterval);
    connect(&m_frame, &QTimer::timeout, this, [this] {
        if (m_partialPending)
            applyPartial();
    });
}

ResultView::~ResultView()
{
    m_lifetime.request_stop();
}

void ResultView::awaitAnswer()
{
    set(m_text, m_sentText, m_action, false, true, m_cutShort);
}

QString ResultView::cutShortNotice() const
{
    return m_cutShort && !m_text.isEmpty() && !m_waiting
               ? u"The model stopped at its output limit: the answer may be cut short."_s
               : QString();
}

void ResultView::showPartial(const QString& textSoFar)
{
    if (!m_waiting)
        return;
    m_partial = textSoFar;
    m_partialPending = true;
    if (!m_frame.isActive())
        applyPartial();
}

void ResultView::applyPartial()
{
    m_partialPending = false;
    m_frame.start();
    const bool first = !m_writing;
    m_writing = true;
    if (m_text != m_partial) {
        m_text = m_partial;
        m_changes.reset();
        Q_EMIT textChanged();
        Q_EMIT presentationChanged();
    }
    if (first)
        Q_EMIT stateChanged();
}

void ResultView::show(const QString& text, const QString& sentText, TextAction action,
                      bool wasCached, bool cutShort)
{
    set(text, sentText, action, wasCached, false, cutShort);
}

void ResultView::clear()
{
    set(QString(), QString(), m_action, false, false);
}

void ResultView::set(const QString& text, const QString& sentText, TextAction action,
                     bool wasCached, bool waiting, bool cutShort)
{
    const bool answerChanged = m_text != text || m_sentText != sentText || m_action != action;
    const bool anyChanged = answerChanged || m_wasCached != wasCached || m_waiting != waiting ||
                            m_cutShort != cutShort || m_writing;
    m_cutShort = cutShort;
    m_text = text;
    m_sentText = sentText;
    m_action = action;
    m_wasCached = wasCached;
    m_waiting = waiting;
    m_writing = false;
    m_partialPending = false;
    m_partial.clear();
    if (answerChanged) {
        m_changes.reset();
        Q_EMIT textChanged();
        Q_EMIT presentationChanged();
    }
    if (anyChanged)
        Q_EMIT stateChanged();
}

bool ResultView::isCorrection() const
{
    return lexwick::showsChanges(m_action) && !m_text.isEmpty();
}

const TextChanges& ResultView::changes() const
{
    if (!m_changes)
        m_changes.emplace(m_sentText, m_text);
    return *m_changes;
}

QString ResultView::richText() const
{
    return showsChanges() ? changes().richText() : InlineMarkdown::toRichText(m_text);
}

// The changes of an answer still being written would be recomputed with every piece, and
// mean little before its end.
bool ResultView::showsChanges() const
{
    return m_showChanges && isCorrection() && !m_writing;
}

bool ResultView::showsChangesToggle() const
{
    return isCorrection() && !m_waiting;
}

QString ResultView::accessibleName() const
{
    return showsChanges() ? u"Result with changes: "_s + changes().spokenText() : u"Result"_s;
}

QString ResultView::changesSummary() const
{
    if (!isCorrection() || m_writing)
        return QString();
    const qsizetype count = changes().count();
    if (count == 0)
        return u"No changes"_s;
    return count == 1 ? u"1 change"_s : QString::number(count) + u" changes"_s;
}

void ResultView::setShowChanges(bool show)
{
    if (m_showChanges == show)
        return;
    m_showChanges = show;
    Q_EMIT showChangesChanged();
    Q_EMIT presentationChanged();
}

void ResultView::copy()
{
    if (!canCopy())
        return;
    QGuiApplication::clipboard()->setText(m_text);
    setShowCopiedFeedback(true);
    // A later copy leaves this one running; the first to end clears the feedback.
    runAfter(copiedFeedbackShown, m_lifetime.get_token(), this,
             [this] { setShowCopiedFeedback(false); });
}

void ResultView::setShowCopiedFeedback(bool show)
{
    if (m_showCopiedFeedback == show)
        return;
    m_showCopiedFeedback = show;
    Q_EMIT showCopiedFeedbackChanged();
}

void ResultView::openLink(const QString& link)
{
    const QUrl url(link, QUrl::StrictMode);
    static const QStringList schemes{QStringLiteral("http"), QStringLiteral("https"),
                                     QStringLiteral("mailto")};
    if (url.isValid() && schemes.contains(url.scheme()))
        QDesktopServices::openUrl(url);
}

} // namespace lexwick
