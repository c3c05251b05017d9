#pragma once
// What a check of a unit found: how bad it is, where it is, and what it is,
// in the command line's English and the window's Russian.

#include <string>
#include <string_view>
#include <vector>

namespace quorin {

// Error: the game will fail or the build cannot succeed. Warning: probably
// wrong. Note: worth knowing.
enum class TSeverity { Error, Warning, Note };

// The window's pages, so the window can bring a finding's page to the front.
enum class TUnitPage { Basic, Model, Unit, Cards, Pack };

struct TFinding {
    TSeverity Severity = TSeverity::Note;
    std::string_view Code;  // stable: "card-size"
    std::string_view Field; // the manifest key it concerns: "card", "model_battle"
    TUnitPage Page = TUnitPage::Basic;
    int Row = 0;            // the texture or card row, from 1; 0 for none
    std::string File;       // the file it concerns, if any
    std::string Message;    // English
    std::string MessageRu;  // Russian
};

using TFindings = std::vector<TFinding>;

// "error", "warning", "note".
std::string_view SeverityName(TSeverity severity);

bool HasError(const TFindings& findings);

} // namespace quorin
