#include "Language.h"

#include <QSettings>

namespace quorin {

namespace {

const QString LanguageKey = QStringLiteral("window/language");

// The one setting the tool keeps, in the user's configuration folder.
QSettings Settings() { return QSettings(QStringLiteral("quorin"), QStringLiteral("UnitPack")); }

} // namespace

QString LanguageCode(TLanguage language)
{
    return language == TLanguage::English ? QStringLiteral("en") : QStringLiteral("ru");
}

std::optional<TLanguage> LanguageOfCode(const QString& code)
{
    for (TLanguage language : {TLanguage::Russian, TLanguage::English})
        if (code.compare(LanguageCode(language), Qt::CaseInsensitive) == 0)
            return language;
    return std::nullopt;
}

TCommandLine ParseCommandLine(const QStringList& arguments)
{
    TCommandLine line;
    const QString option = QStringLiteral("--lang");
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        QString code;
        if (argument == option) {
            if (++i == arguments.size()) {
                line.Error = QStringLiteral("--lang needs a language: ru or en");
                break;
            }
            code = arguments[i];
        } else if (argument.startsWith(option + QLatin1Char('='))) {
            code = argument.mid(option.size() + 1);
        } else {
            if (line.File.isEmpty())
                line.File = argument;
            continue;
        }
        line.Language = LanguageOfCode(code);
        if (!line.Language)
            line.Error = QStringLiteral("Unknown language \"%1\" for --lang: use ru or en").arg(code);
    }
    return line;
}

std::optional<TLanguage> StoredLanguage() { return LanguageOfCode(Settings().value(LanguageKey).toString()); }

void StoreLanguage(TLanguage language)
{
    QSettings settings = Settings();
    settings.setValue(LanguageKey, LanguageCode(language));
}

TLanguage StartLanguage(const TCommandLine& commandLine)
{
    if (commandLine.Language)
        return *commandLine.Language;
    return StoredLanguage().value_or(TLanguage::Russian);
}

} // namespace quorin
