#pragma once

#include <QCoroTask>
#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>
#include <QVariantList>

#include <optional>
#include <stop_token>

namespace lexwick {

class SettingsManager;

// The settings screen's section about the local model server: its address (only loopback
// addresses are stored), the model picked from the server's own list, and the server's state
// in words. The list is the one the on-device model read at its last probe. Lives on the main
// thread, as long as the settings screen.
class LocalServerView : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Made by the settings screen")
    Q_PROPERTY(
        QString addressInput READ addressInput WRITE setAddressInput NOTIFY addressInputChanged)
    Q_PROPERTY(QString addressError READ addressError NOTIFY addressErrorChanged)
    // Entries {name, title}: first "the first listed model" (empty name), then the server's.
    Q_PROPERTY(QVariantList modelEntries READ modelEntries NOTIFY modelsChanged)
    Q_PROPERTY(int modelIndex READ modelIndex NOTIFY modelsChanged)
    Q_PROPERTY(lexwick::LocalServerView::State state READ state NOTIFY stateChanged)
    Q_PROPERTY(QString stateText READ stateText NOTIFY stateChanged)

public:
    enum class State { checking, ready, modelNotLoaded, absent, notLocal };
    Q_ENUM(State)

    // Asks the server for its state and models at once.
    explicit LocalServerView(SettingsManager& settings, QObject* parent = nullptr);
    ~LocalServerView() override;

    const QString& addressInput() const { return m_addressInput; }
    const QString& addressError() const { return m_addressError; }
    QVariantList modelEntries() const;
    int modelIndex() const;
    State state() const;
    QString stateText() const;
    // What the on-device card says while the model cannot be used: why, and what to do.
    QString unavailableDescription() const;

    void setAddressInput(const QString& text);

    // Stores the typed address when it is a loopback one; otherwise says why not.
    Q_INVOKABLE void applyAddress();
    Q_INVOKABLE void selectModel(int index);
    // Asks the server again for its state and its models.
    Q_INVOKABLE void checkAgain();

Q_SIGNALS:
    void addressInputChanged();
    void addressErrorChanged();
    void stateChanged();
    // The models listed, or the one picked.
    void modelsChanged();

private:
    QCoro::Task<void> check(std::stop_token stop);

    SettingsManager& m_settings;
    QString m_addressInput;
    QString m_addressError;
    bool m_checking = false;
    std::optional<std::stop_source> m_check;
    std::stop_source m_lifetime; // ends the check with the screen
};

} // namespace lexwick
