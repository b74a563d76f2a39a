// SPDX-License-Identifier: MIT
#include "ui/InputChecks.h"

#include "core/AIError.h"
#include "settings/SettingsManager.h"
#include "ui/WarningBanner.h"

#include <QJSEngine>

namespace lexwick {

InputChecks::InputChecks(SettingsManager& settings, QObject* parent)
    : QObject(parent)
    , m_settings(settings)
    , m_validation(InputValidator::validate(QString()))
{
    QJSEngine::setObjectOwnership(this, QJSEngine::CppOwnership);
    connect(&m_settings, &SettingsManager::piiDetectionEnabledChanged, this, &InputChecks::run);
    m_pendingDetection.setSingleShot(true);
    m_pendingDetection.setInterval(300);
    connect(&m_pendingDetection, &QTimer::timeout, this, [this] {
        detect();
        Q_EMIT changed();
    });
}

void InputChecks::check(const QString& text)
{
    m_text = text;
    run();
}

void InputChecks::run()
{
    m_validation = InputValidator::validate(m_text, m_count.update(m_text));
    if (m_validation.state == CharacterState::exceeded && m_settings.piiDetectionEnabled())
        m_pendingDetection.start();
    else
        detect();
    Q_EMIT changed();
}

void InputChecks::detect()
{
    m_pendingDetection.stop();
    m_detection =
        m_settings.piiDetectionEnabled() ? PIIDetector::detect(m_text) : DetectionResult{};
}

std::optional<QString> InputChecks::refusal() const
{
    if (m_validation.state == CharacterState::exceeded)
        return validationMessage();
    if (showsSensitiveDataBanner())
        return AIError(AIError::PiiDetected{m_detection.detectedTypes}).errorDescription();
    return std::nullopt;
}

bool InputChecks::showsSensitiveDataBanner() const
{
    return m_settings.piiDetectionEnabled() && m_detection.hasPII;
}

QString InputChecks::sensitiveDataFoundLine() const
{
    return showsSensitiveDataBanner() ? WarningBanner::foundLine(m_detection) : QString();
}

InputChecks::InputBorder InputChecks::inputBorder() const
{
    if (m_validation.state == CharacterState::exceeded)
        return InputBorder::exceeded;
    return showsSensitiveDataBanner() ? InputBorder::sensitiveData : InputBorder::neutral;
}

} // namespace lexwick
