// SPDX-License-Identifier: MIT
#pragma once

#include "safety/InputValidator.h"
#include "safety/PIIDetector.h"
#include "ui/CharacterCounterView.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <QtQml/qqmlregistration.h>

namespace lexwick {

class SettingsManager;

// The checks of the main screen's input: the counter, the validator's message, the
// sensitive-data banner and the input's border. The text is checked once per change, and
// again when detection is switched on or off. The count follows each edit where it happened.
// Over the limit the length alone refuses the text, so the search for personal data, which
// reads the whole text, waits for a pause in typing. Lives on the main thread.
class InputChecks : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Made by the main screen")
    Q_PROPERTY(qsizetype characterCount READ characterCount NOTIFY changed)
    Q_PROPERTY(
        lexwick::CharacterStates::CharacterState characterState READ characterState NOTIFY changed)
    Q_PROPERTY(QString validationMessage READ validationMessage NOTIFY changed)
    Q_PROPERTY(QString counterText READ counterText NOTIFY changed)
    Q_PROPERTY(QString counterSpokenText READ counterSpokenText NOTIFY changed)
    Q_PROPERTY(QString counterSymbol READ counterSymbol NOTIFY changed)
    Q_PROPERTY(
        lexwick::CharacterCounterView::Colour counterColour READ counterColour NOTIFY changed)
    Q_PROPERTY(bool showsSensitiveDataBanner READ showsSensitiveDataBanner NOTIFY changed)
    Q_PROPERTY(QString sensitiveDataFoundLine READ sensitiveDataFoundLine NOTIFY changed)
    Q_PROPERTY(lexwick::InputChecks::InputBorder inputBorder READ inputBorder NOTIFY changed)

public:
    // How the input's border looks: neutral, marked for sensitive data, or over the limit.
    enum class InputBorder { neutral, sensitiveData, exceeded };
    Q_ENUM(InputBorder)

    explicit InputChecks(SettingsManager& settings, QObject* parent = nullptr);

    void check(const QString& text);

    const ValidationResult& validation() const { return m_validation; }
    const DetectionResult& detection() const { return m_detection; }
    // Why a request of the text would be refused, as the router would say it; nothing when
    // the checks pass.
    std::optional<QString> refusal() const;

    qsizetype characterCount() const { return m_validation.characterCount; }
    CharacterState characterState() const { return m_validation.state; }
    QString validationMessage() const { return m_validation.message.value_or(QString()); }
    QString counterText() const { return CharacterCounterView::text(m_validation); }
    QString counterSpokenText() const { return CharacterCounterView::spokenText(m_validation); }
    QString counterSymbol() const { return CharacterCounterView::symbol(m_validation.state); }
    CharacterCounterView::Colour counterColour() const
    {
        return CharacterCounterView::colour(m_validation.state);
    }
    bool showsSensitiveDataBanner() const;
    QString sensitiveDataFoundLine() const;
    InputBorder inputBorder() const;

Q_SIGNALS:
    void changed();

private:
    void run();
    void detect();

    SettingsManager& m_settings;
    QString m_text;
    CharacterCount m_count;
    QTimer m_pendingDetection;
    ValidationResult m_validation;
    DetectionResult m_detection;
};

} // namespace lexwick
