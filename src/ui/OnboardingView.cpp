// SPDX-License-Identifier: MIT
#include "ui/OnboardingView.h"

#include "settings/SettingsManager.h"

#include <QVariantMap>

namespace lexwick {

OnboardingView::OnboardingView(SettingsManager& settings, QObject* parent)
    : QObject(parent)
    , m_settings(settings)
{
}

const QList<OnboardingPage>& OnboardingView::pages()
{
    static const QList<OnboardingPage> list{
        {QStringLiteral("text.bubble.fill"), QStringLiteral("Welcome to Lexwick"),
         QStringLiteral("Your AI-powered writing assistant that helps you correct, paraphrase, "
                        "and explain text with ease."),
         QStringLiteral("blue")},
        {QStringLiteral("cpu"), QStringLiteral("Choose Your AI"),
         QStringLiteral("Use on-device AI for privacy, or connect your own API key from Groq, "
                        "OpenAI, or Anthropic for more power."),
         QStringLiteral("purple")},
        {QStringLiteral("menubar.rectangle"), QStringLiteral("Always Ready"),
         QStringLiteral("Lexwick lives in your menu bar. Click the icon anytime to quickly "
                        "improve your writing."),
         QStringLiteral("green")},
    };
    return list;
}

QVariantList OnboardingView::pageList() const
{
    QVariantList list;
    for (const OnboardingPage& page : pages()) {
        list.append(QVariantMap{{QStringLiteral("icon"), page.icon},
                                {QStringLiteral("title"), page.title},
                                {QStringLiteral("description"), page.description},
                                {QStringLiteral("accentColor"), page.accentColor}});
    }
    return list;
}

QString OnboardingView::primaryTitle() const
{
    return isLastPage() ? QStringLiteral("Get Started") : QStringLiteral("Next");
}

QString OnboardingView::primarySymbol() const
{
    return isLastPage() ? QStringLiteral("arrow.right") : QStringLiteral("chevron.right");
}

void OnboardingView::setCurrentPage(int page)
{
    if (m_currentPage == page)
        return;
    m_currentPage = page;
    Q_EMIT currentPageChanged();
}

void OnboardingView::restart()
{
    setCurrentPage(0);
}

void OnboardingView::back()
{
    if (m_currentPage > 0)
        setCurrentPage(m_currentPage - 1);
}

void OnboardingView::forward()
{
    if (!isLastPage())
        setCurrentPage(m_currentPage + 1);
}

void OnboardingView::primaryAction()
{
    if (!isLastPage()) {
        setCurrentPage(m_currentPage + 1);
        return;
    }
    m_settings.setHasCompletedOnboarding(true);
    Q_EMIT completed();
    Q_EMIT dismissRequested();
}

} // namespace lexwick
