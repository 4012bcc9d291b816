#pragma once

#include <optional>

// Where the user stands in the rating and feedback prompt; the program keeps it under
// "feedbackState".
enum class FeedbackState {
    notAnswered = 0,
    enjoyTheApp = 1,
    notEnjoy = 2,
    ratedOnAppStore = 3,
    feedbackSent = 4,
    dontAskAgain = 5,
};

constexpr std::optional<FeedbackState> feedbackStateFromRawValue(int rawValue)
{
    if (rawValue < int(FeedbackState::notAnswered) || rawValue > int(FeedbackState::dontAskAgain))
        return std::nullopt;
    return FeedbackState(rawValue);
}
