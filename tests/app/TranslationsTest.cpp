// The window's English: lupdate, run on the sources as they are now, finds
// every text the window puts through the translator already translated in
// the committed .ts, and each English keeps what the code fills in or reads
// back (the %1 places, a filter's file patterns).

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

namespace {

struct TMessage {
    QString Context;
    QString Source;
    QString Translation;
    QString Type; // "unfinished", "vanished", "obsolete", or empty when done
};

std::vector<TMessage> ReadMessages(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    std::vector<TMessage> messages;
    QString context;
    QXmlStreamReader xml(&file);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("name")) {
            context = xml.readElementText();
        } else if (xml.name() == QLatin1String("message")) {
            messages.push_back({context, {}, {}, {}});
        } else if (xml.name() == QLatin1String("source") && !messages.empty()) {
            messages.back().Source = xml.readElementText();
        } else if (xml.name() == QLatin1String("translation") && !messages.empty()) {
            messages.back().Type = xml.attributes().value(QLatin1String("type")).toString();
            messages.back().Translation = xml.readElementText();
        }
    }
    return messages;
}

QStringList Places(const QString& text)
{
    QStringList places;
    for (const QRegularExpressionMatch& match : QRegularExpression(QStringLiteral("%\\d")).globalMatch(text))
        places << match.captured();
    places.sort();
    return places;
}

// The patterns of a filter "Entry|pattern|Entry|pattern".
QStringList Patterns(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char('|'));
    QStringList patterns;
    for (qsizetype i = 1; i < parts.size(); i += 2)
        patterns << parts[i];
    return patterns;
}

QString Describe(const TMessage& message) { return message.Context + QStringLiteral(": \"") + message.Source + QLatin1Char('"'); }

} // namespace

class TranslationsTest : public QObject {
    Q_OBJECT
private slots:
    void everyWindowTextHasItsEnglish();
    void englishKeepsWhatTheCodeFillsIn();
};

void TranslationsTest::everyWindowTextHasItsEnglish()
{
    QTemporaryDir dir;
    const QString copy = dir.filePath(QStringLiteral("unitpack_en.ts"));
    QVERIFY(QFile::copy(QStringLiteral(QUORIN_TRANSLATIONS), copy));
    QProcess lupdate;
    lupdate.setProcessChannelMode(QProcess::MergedChannels);
    lupdate.start(QStringLiteral(QUORIN_LUPDATE),
                  {QStringLiteral("-locations"), QStringLiteral("none"), QStringLiteral(QUORIN_SOURCE_DIR "/app"),
                   QStringLiteral(QUORIN_SOURCE_DIR "/dialogs"), QStringLiteral("-ts"), copy});
    QVERIFY2(lupdate.waitForFinished(60000), "lupdate did not finish");
    QVERIFY2(lupdate.exitStatus() == QProcess::NormalExit && lupdate.exitCode() == 0, lupdate.readAll().constData());

    const std::vector<TMessage> messages = ReadMessages(copy);
    QVERIFY(messages.size() > 50); // the window's texts were found at all
    QStringList untranslated, unused;
    for (const TMessage& message : messages) {
        if (message.Type == QLatin1String("vanished") || message.Type == QLatin1String("obsolete"))
            unused << Describe(message);
        else if (!message.Type.isEmpty() || message.Translation.isEmpty())
            untranslated << Describe(message);
    }
    QVERIFY2(untranslated.isEmpty(), qPrintable(QStringLiteral("no English for (translate them in translations/unitpack_en.ts, "
                                                               "after the build's update_translations target):\n")
                                                + untranslated.join(QLatin1Char('\n'))));
    QVERIFY2(unused.isEmpty(), qPrintable(QStringLiteral("in the .ts but no longer in the sources:\n") + unused.join(QLatin1Char('\n'))));
}

void TranslationsTest::englishKeepsWhatTheCodeFillsIn()
{
    const std::vector<TMessage> messages = ReadMessages(QStringLiteral(QUORIN_TRANSLATIONS));
    QVERIFY(!messages.empty());
    for (const TMessage& message : messages) {
        QVERIFY2(Places(message.Translation) == Places(message.Source), qPrintable(Describe(message)));
        if (message.Source.contains(QLatin1Char('|')))
            QVERIFY2(Patterns(message.Translation) == Patterns(message.Source), qPrintable(Describe(message)));
    }
}

QTEST_GUILESS_MAIN(TranslationsTest)
#include "TranslationsTest.moc"
