// SPDX-License-Identifier: MIT
#include "core/Error.h"
#include "support/TestMain.h"

#include <QTest>

using namespace lexwick;
using namespace Qt::StringLiterals;

class AIErrorTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The messages put together from parts; the fixed ones are the code's own literals, and the
    // back-end and router tests read the status, API and length messages as a user gets them.
    void messages()
    {
        using E = AIError;
        const std::pair<AIError, QString> table[] = {
            {E::networkError(TransportError{TransportError::Kind::cannotConnectToHost,
                                            u"Connection refused"_s}),
             u"Network error: Connection refused"_s},
            {E::networkError(DecodingError{}), u"Network error: "_s},
            {E::networkError(RetryError{RetryError::Kind::maxAttemptsReached}),
             u"Network error: Maximum retry attempts reached"_s},
            {E::networkError(E(E::HttpError{502})), u"Network error: Server error: HTTP 502"_s},
            {E(E::PiiDetected{{PIIType::email, PIIType::phone}}),
             u"Sensitive data detected: Email, Phone Number. Please remove before processing."_s},
            {E(E::PiiDetected{}), u"Sensitive data detected: . Please remove before processing."_s},
        };
        for (const auto& [error, message] : table) {
            QCOMPARE(error.errorDescription(), message);
            QCOMPARE(Error(error).localizedDescription(), message);
        }
    }

    void networkErrorSharesItsUnderlyingError()
    {
        const AIError original = AIError::networkError(
            TransportError{TransportError::Kind::timedOut, QStringLiteral("timed out")});
        const auto& underlying = original.as<AIError::NetworkError>()->underlying;
        QCOMPARE(AIError(original).as<AIError::NetworkError>()->underlying, underlying);
        QCOMPARE(underlying->as<TransportError>()->kind, TransportError::Kind::timedOut);
    }
};

LEXWICK_TEST(AIErrorTest)
#include "AIErrorTest.moc"
