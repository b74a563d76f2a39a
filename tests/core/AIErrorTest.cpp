#include "core/Error.h"
#include "support/TestMain.h"

#include <QTest>

using namespace lexwick;
using namespace Qt::StringLiterals;

class AIErrorTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void messages_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("message");
        // Built in the test function from the index; see errorAt().
        const QStringList messages = {
            u"Server error: HTTP 429"_s,
            u"API Error: Invalid API Key"_s,
            u"Network error: Connection refused"_s,
            u"Network error: "_s,
            u"On-device AI is ready"_s,
            u"Enable Apple Intelligence in System Settings to use on-device AI"_s,
            u"On-device AI model is downloading. Please try again later."_s,
            u"Your device doesn't support on-device AI. Using cloud API instead."_s,
            u"On-device AI is not available. Using cloud API instead."_s,
            u"Text too long (5200 characters). Maximum is 5000."_s,
            u"Sensitive data detected: Email, Phone Number. Please remove before processing."_s,
            u"Sensitive data detected: Credit Card. Please remove before processing."_s,
            u"Sensitive data detected: . Please remove before processing."_s,
            u"Sensitive data detected: Email, Email. Please remove before processing."_s,
            u"Please enter some text to process."_s,
            u"API key not configured. Please add your Groq API key."_s,
            u"Invalid API URL."_s,
            u"Received an invalid response from the server."_s,
            u"No response content received."_s,
            u"Request was cancelled."_s,
            u"Network error: Maximum retry attempts reached"_s,
            u"Network error: Server error: HTTP 502"_s,
        };
        for (int i = 0; i < messages.size(); ++i)
            QTest::newRow(qPrintable(messages[i])) << i << messages[i];
    }

    void messages()
    {
        QFETCH(int, index);
        QFETCH(QString, message);
        const AIError error = errorAt(index);
        QCOMPARE(error.errorDescription(), message);
        QCOMPARE(Error(error).localizedDescription(), message);
    }

    void networkErrorSharesItsUnderlyingError()
    {
        const AIError original = AIError::networkError(
            TransportError{TransportError::Kind::timedOut, QStringLiteral("timed out")});
        const AIError copy = original;
        QCOMPARE(copy.kind(), AIError::Kind::networkError);
        QCOMPARE(copy.as<AIError::NetworkError>()->underlying,
                 original.as<AIError::NetworkError>()->underlying);
        QCOMPARE(copy.as<AIError::NetworkError>()->underlying->as<TransportError>()->kind,
                 TransportError::Kind::timedOut);
    }

private:
    static AIError errorAt(int index)
    {
        using E = AIError;
        switch (index) {
        case 0:
            return E(E::HttpError{429});
        case 1:
            return E(E::ApiError{QStringLiteral("Invalid API Key")});
        case 2:
            return E::networkError(TransportError{TransportError::Kind::cannotConnectToHost,
                                                  QStringLiteral("Connection refused")});
        case 3:
            return E::networkError(DecodingError{});
        case 4:
            return E(E::LocalModelUnavailable{LocalAIAvailability::available});
        case 5:
            return E(E::LocalModelUnavailable{LocalAIAvailability::appleIntelligenceDisabled});
        case 6:
            return E(E::LocalModelUnavailable{LocalAIAvailability::modelNotReady});
        case 7:
            return E(E::LocalModelUnavailable{LocalAIAvailability::deviceNotEligible});
        case 8:
            return E(E::LocalModelUnavailable{LocalAIAvailability::unavailable});
        case 9:
            return E(E::InputTooLong{5200, 5000});
        case 10:
            return E(E::PiiDetected{{PIIType::email, PIIType::phone}});
        case 11:
            return E(E::PiiDetected{{PIIType::creditCard}});
        case 12:
            return E(E::PiiDetected{});
        case 13:
            return E(E::PiiDetected{{PIIType::email, PIIType::email}});
        case 14:
            return E(E::EmptyInput{});
        case 15:
            return E(E::MissingAPIKey{});
        case 16:
            return E(E::InvalidURL{});
        case 17:
            return E(E::InvalidResponse{});
        case 18:
            return E(E::NoContent{});
        case 19:
            return E(E::Cancelled{});
        case 20:
            return E::networkError(RetryError{RetryError::Kind::maxAttemptsReached});
        case 21:
            return E::networkError(E(E::HttpError{502}));
        }
        qFatal("no such case");
    }
};

LEXWICK_TEST(AIErrorTest)
#include "AIErrorTest.moc"
