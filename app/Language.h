#pragma once
// The window's language: Russian, as the tool has always spoken, or English,
// chosen with --lang or the switch on the window and kept for the next start.

#include <QString>
#include <QStringList>
#include <optional>

namespace quorin {

enum class TLanguage { Russian, English };

// "ru" or "en", as --lang and the kept setting write it.
QString LanguageCode(TLanguage language);
std::optional<TLanguage> LanguageOfCode(const QString& code);

// The window program's arguments: --lang CODE (or --lang=CODE) and the unit
// file to open. A wrong --lang gives Error and no language.
struct TCommandLine {
    std::optional<TLanguage> Language;
    QString File;
    QString Error;
};
TCommandLine ParseCommandLine(const QStringList& arguments);

// The language kept from the last choice on the window, if one was made.
std::optional<TLanguage> StoredLanguage();
void StoreLanguage(TLanguage language);

// The language to start in: --lang, else the kept choice, else Russian.
TLanguage StartLanguage(const TCommandLine& commandLine);

} // namespace quorin
