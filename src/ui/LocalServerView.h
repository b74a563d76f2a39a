// SPDX-License-Identifier: MIT
#pragma once

#include <QCoroTask>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QtQml/qqmlregistration.h>
#include <QVariantList>

#include <chrono>
#include <optional>
#include <stop_token>

namespace lexwick {

class SettingsManager;

// The settings screen's section about the local model server: its address (only loopback
// addresses are stored), its API key for a server started with one, the model picked from the
// server's own list, and the server's state in words with what to do. The list is the one the
// on-device model read at its last probe. While the screen is seen (`live`), the server is
// asked again every two seconds, so the section and the on-device card follow a server that
// starts, stops or finishes loading. Lives on the main thread, as long as the settings screen.
class LocalServerView : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Made by the settings screen")
    Q_PROPERTY(
        QString addressInput READ addressInput WRITE setAddressInput NOTIFY addressInputChanged)
    Q_PROPERTY(QString addressError READ addressError NOTIFY addressErrorChanged)
    Q_PROPERTY(QString apiKeyInput READ apiKeyInput WRITE setAPIKeyInput NOTIFY apiKeyInputChanged)
    Q_PROPERTY(bool live READ isLive WRITE setLive NOTIFY liveChanged)
    // Entries {name, title}: first "the first listed model" (empty name), then the server's.
    Q_PROPERTY(QVariantList modelEntries READ modelEntries NOTIFY modelsChanged)
    Q_PROPERTY(int modelIndex READ modelIndex NOTIFY modelsChanged)
    Q_PROPERTY(lexwick::LocalServerView::State state READ state NOTIFY stateChanged)
    Q_PROPERTY(QString stateText READ stateText NOTIFY stateChanged)

public:
    enum class State { checking, ready, modelNotLoaded, absent, notLocal, loading, needsKey };
    Q_ENUM(State)

    static constexpr std::chrono::milliseconds liveCheckInterval{2000};

    // Asks the server for its state and models at once.
    explicit LocalServerView(SettingsManager& settings, QObject* parent = nullptr);
    ~LocalServerView() override;

    const QString& addressInput() const { return m_addressInput; }
    const QString& addressError() const { return m_addressError; }
    const QString& apiKeyInput() const { return m_apiKeyInput; }
    bool isLive() const { return m_liveChecks.isActive(); }
    QVariantList modelEntries() const;
    int modelIndex() const;
    State state() const;
    QString stateText() const;
    // What the on-device card says while the model cannot be used: why, and what to do.
    QString unavailableDescription() const;

    void setAddressInput(const QString& text);
    void setAPIKeyInput(const QString& text);
    // Whether the section is seen now: it follows the server only then.
    void setLive(bool live);

    // Stores the typed address when it is a loopback one; otherwise says why not.
    Q_INVOKABLE void applyAddress();
    // Stores the typed key for the server, or forgets it when the field is empty.
    Q_INVOKABLE void applyAPIKey();
    Q_INVOKABLE void selectModel(int index);
    // Asks the server again for its state and its models.
    Q_INVOKABLE void checkAgain();

Q_SIGNALS:
    void addressInputChanged();
    void addressErrorChanged();
    void apiKeyInputChanged();
    void liveChanged();
    void stateChanged();
    // The models listed, or the one picked.
    void modelsChanged();

private:
    QCoro::Task<void> storeAPIKey(QString key);
    QCoro::Task<void> check(std::stop_token stop);

    SettingsManager& m_settings;
    QString m_addressInput;
    QString m_addressError;
    QString m_apiKeyInput;
    QTimer m_liveChecks;
    bool m_checking = false;
    std::optional<std::stop_source> m_check;
    std::stop_source m_lifetime; // ends the check with the screen
};

} // namespace lexwick
