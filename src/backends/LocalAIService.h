// SPDX-License-Identifier: MIT
#pragma once

#include "core/AIServiceProtocol.h"
#include "localmodel/SystemLanguageModel.h"

namespace lexwick {

// The back-end of the on-device mode: the model server on this machine. Each request opens a
// fresh session, so nothing of one request carries over to the next.
class LocalAIService : public AIServiceProtocol {
    Q_OBJECT

public:
    // On the default on-device model.
    explicit LocalAIService(SystemLanguageModel& model, QObject* parent = nullptr);

    QCoro::Task<Result<GeneratedText>> processText(QString text, TextAction action,
                                                   std::optional<ToneOption> tone,
                                                   PartialText onPartial,
                                                   std::stop_token stop) override;

    // The model's availability now, in the application's own terms.
    LocalAIAvailability currentAvailability() const;
    // The model's answer in the application's own terms.
    static LocalAIAvailability mapAvailability(SystemLanguageModel::Availability availability);
    // A failed generation as the user sees it: a cancelled one as a network error, any other
    // as the model server's own words.
    static AIError mapGenerationError(const Error& error);

private:
    SystemLanguageModel& m_model;
};

} // namespace lexwick
