// SPDX-License-Identifier: MIT
#pragma once

#include "core/TextAction.h"
#include "text/TextChanges.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <QtQml/qqmlregistration.h>

#include <chrono>

#include <optional>
#include <stop_token>

namespace lexwick {

// The main screen's result section: the answer of the popover's last request, what a
// correction changed, the "Cached" badge and Copy. The answer keeps the text and the action
// of the request it answers, so the changes stay right while the user types. Lives on the
// main thread.
class ResultView : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Made by the main screen")
    Q_PROPERTY(QString text READ text NOTIFY textChanged)
    // The section shows while there is an answer or one is awaited (a spinner in its box until
    // the first words arrive, then the answer as the model writes it).
    Q_PROPERTY(bool isShown READ isShown NOTIFY stateChanged)
    Q_PROPERTY(bool isWaiting READ isWaiting NOTIFY stateChanged)
    Q_PROPERTY(bool showsSpinner READ showsSpinner NOTIFY stateChanged)
    Q_PROPERTY(bool isWriting READ isWriting NOTIFY stateChanged)
    // What the box shows: the answer, or what the correction changed.
    Q_PROPERTY(QString richText READ richText NOTIFY presentationChanged)
    Q_PROPERTY(bool showsChanges READ showsChanges NOTIFY presentationChanged)
    Q_PROPERTY(QString accessibleName READ accessibleName NOTIFY presentationChanged)
    // The "Changes" toggle, present for the answer of a correction, and its state.
    Q_PROPERTY(bool showsChangesToggle READ showsChangesToggle NOTIFY stateChanged)
    Q_PROPERTY(bool showChanges READ showChanges WRITE setShowChanges NOTIFY showChangesChanged)
    Q_PROPERTY(QString changesSummary READ changesSummary NOTIFY textChanged)
    Q_PROPERTY(bool showsCachedBadge READ showsCachedBadge NOTIFY stateChanged)
    // A line under the answer when the model stopped at its output limit; empty otherwise.
    Q_PROPERTY(QString cutShortNotice READ cutShortNotice NOTIFY stateChanged)
    Q_PROPERTY(bool canCopy READ canCopy NOTIFY stateChanged)
    Q_PROPERTY(bool showCopiedFeedback READ showCopiedFeedback NOTIFY showCopiedFeedbackChanged)

public:
    // The answer being written is shown at most once a frame: a fast stream would otherwise
    // lay out the whole text for every piece.
    static constexpr std::chrono::milliseconds frameInterval{16};

    explicit ResultView(QObject* parent = nullptr);
    ~ResultView() override;

    // A request starts: its answer is awaited, and the last one's badge goes.
    void awaitAnswer();
    // The answer so far of the request awaited; shown at once, or with the next frame when one
    // was shown less than a frame ago.
    void showPartial(const QString& textSoFar);
    // The request ended with this answer to the text and action it sent.
    void show(const QString& text, const QString& sentText, TextAction action, bool wasCached,
              bool cutShort = false);
    // The request failed: no answer.
    void clear();

    const QString& text() const { return m_text; }
    bool isShown() const { return !m_text.isEmpty() || m_waiting; }
    // A request is in flight.
    bool isWaiting() const { return m_waiting; }
    // Its answer is arriving: the box shows the text so far.
    bool isWriting() const { return m_writing; }
    bool showsSpinner() const { return m_waiting && !m_writing; }
    // The answer's inline Markdown as rich text, nothing the model sent taken as markup; with
    // the changes marked while they are shown.
    QString richText() const;
    bool showsChanges() const;
    QString accessibleName() const;
    bool showsChangesToggle() const;
    // The user's choice, on at first; it stays for the run, so it holds for later answers.
    bool showChanges() const { return m_showChanges; }
    // "No changes", "1 change", "4 changes".
    QString changesSummary() const;
    bool showsCachedBadge() const { return m_wasCached && !m_text.isEmpty(); }
    QString cutShortNotice() const;
    // Only an answer the user sees can be copied.
    bool canCopy() const { return !m_text.isEmpty() && !m_waiting; }
    bool showCopiedFeedback() const { return m_showCopiedFeedback; }

    void setShowChanges(bool show);

    // Puts the answer on the clipboard and shows "Copied!" for 1.5 s; with nothing to copy it
    // does nothing, and the clipboard keeps what it held.
    Q_INVOKABLE void copy();
    // Opens a link of the answer in the browser: http, https and mailto only.
    Q_INVOKABLE void openLink(const QString& link);

Q_SIGNALS:
    void textChanged();
    void stateChanged();
    void presentationChanged();
    void showChangesChanged();
    void showCopiedFeedbackChanged();

private:
    void set(const QString& text, const QString& sentText, TextAction action, bool wasCached,
             bool waiting, bool cutShort = false);
    bool isCorrection() const;
    const TextChanges& changes() const;
    void setShowCopiedFeedback(bool show);
    void applyPartial();

    QString m_text;
    QString m_sentText;
    TextAction m_action = TextAction::correct;
    bool m_wasCached = false;
    bool m_waiting = false;
    bool m_writing = false;
    QString m_partial; // the latest answer so far, shown with the next frame
    bool m_partialPending = false;
    QTimer m_frame;
    bool m_cutShort = false;
    mutable std::optional<TextChanges> m_changes; // made when first shown
    bool m_showChanges = true;
    bool m_showCopiedFeedback = false;
    std::stop_source m_lifetime; // ends the feedback timers with the view
};

} // namespace lexwick
