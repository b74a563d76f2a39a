// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

namespace lexwick {

class SettingsManager;

// One page of the introduction.
struct OnboardingPage {
    QString icon;
    QString title;
    QString description;
    QString accentColor; // a colour name of the theme: "blue", "purple", "green"
};

// The state behind the three-page introduction: the page shown and what its buttons say.
// Finishing it marks the onboarding as completed, then tells whoever shows it: `completed`
// (the popover focuses its input) and `dismissRequested` (a sheet closes). Lives on the main
// thread.
class OnboardingView : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Made by the popover")
    Q_PROPERTY(int currentPage READ currentPage NOTIFY currentPageChanged)
    Q_PROPERTY(int pageCount READ pageCount CONSTANT)
    Q_PROPERTY(QVariantList pages READ pageList CONSTANT)
    Q_PROPERTY(bool showsBack READ showsBack NOTIFY currentPageChanged)
    Q_PROPERTY(QString primaryTitle READ primaryTitle NOTIFY currentPageChanged)
    Q_PROPERTY(QString primarySymbol READ primarySymbol NOTIFY currentPageChanged)

public:
    explicit OnboardingView(SettingsManager& settings, QObject* parent = nullptr);

    static const QList<OnboardingPage>& pages();

    int currentPage() const { return m_currentPage; }
    int pageCount() const { return int(pages().size()); }
    QVariantList pageList() const;
    bool showsBack() const { return m_currentPage > 0; }
    bool isLastPage() const { return m_currentPage >= pageCount() - 1; }
    QString primaryTitle() const;
    QString primarySymbol() const;

    // Back to the first page, as a new introduction starts.
    void restart();

    // "Back", and the Left arrow: the page before, if any.
    Q_INVOKABLE void back();
    // The Right arrow: the next page, if any; never finishes the introduction.
    Q_INVOKABLE void forward();
    // "Next" and "Get Started", and Return.
    Q_INVOKABLE void primaryAction();

Q_SIGNALS:
    void currentPageChanged();
    void completed();
    void dismissRequested();

private:
    void setCurrentPage(int page);

    SettingsManager& m_settings;
    int m_currentPage = 0;
};

} // namespace lexwick
