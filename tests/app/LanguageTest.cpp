// The window in English beside the Russian one: every caption, column, file
// type, prompt and message translated; the switch on the window that changes
// the language at run time without losing anything typed and keeps the
// choice; --lang; Qt's own dialogs in the window's language.

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>

#include "../dialogs/ModalDriver.h"
#include "AppTestMain.h"
#include "app/FactionList.h"
#include "app/FlatGroupBox.h"
#include "app/Language.h"
#include "app/Unit1.h"
#include "app/Unit2.h"
#include "dialogs/AskText.h"
#include "dialogs/FileDialog.h"
#include "dialogs/OpenPictureDialog.h"
#include "dialogs/SpeedButton.h"
#include "imaging/PictureModules.h"
#include "package/Manifest.h"

namespace quorin {

using test::OnNextModal;

namespace {

TApplication& Application() { return *qobject_cast<TApplication*>(QCoreApplication::instance()); }

QString CaptionOf(const QWidget* control)
{
    if (auto* label = qobject_cast<const QLabel*>(control))
        return label->text();
    if (auto* button = qobject_cast<const QAbstractButton*>(control))
        return button->text();
    if (auto* box = qobject_cast<const QGroupBox*>(control))
        return box->title();
    return {};
}

// Every text the main window shows of its own, by where it stands.
QStringList WindowTexts(const TForm1& form)
{
    QStringList texts{form.windowTitle()};
    for (const QWidget* control : form.findChildren<QWidget*>())
        if (const QString caption = CaptionOf(control); control->window() == &form && !caption.isEmpty())
            texts << control->objectName() + QLatin1Char('=') + caption;
    for (const TFactionList* list : {form.LV1, form.LV2})
        for (int c = 0; c < list->columnCount(); ++c)
            texts << list->objectName() + QLatin1Char('#') + list->headerItem()->text(c);
    return texts;
}

// The prompt SpeedButton8 or SpeedButton10 shows: "caption|prompt".
QString PromptOf(QAbstractButton* button)
{
    QString prompt;
    OnNextModal<TAskTextDialog>([&prompt](TAskTextDialog* box) {
        prompt = box->windowTitle() + QLatin1Char('|') + box->Prompt->text();
        box->CancelButton->click();
        OnNextModal<QFileDialog>([](QFileDialog* dialog) { dialog->reject(); });
    });
    QTest::mouseClick(button, Qt::LeftButton);
    return prompt;
}

QString SaveButtonText(QFileDialog* dialog)
{
    auto* buttons = dialog->findChild<QDialogButtonBox*>();
    return buttons ? buttons->button(QDialogButtonBox::Save)->text().remove(QLatin1Char('&')) : QString();
}

} // namespace

class LanguageTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();

    void russianUnlessChosen();
    void englishWindowCaptions_data();
    void englishWindowCaptions();
    void englishColumnsFileTypesPromptsAndMessages();
    void englishAboutWindow();
    void englishTextsFitTheirFrames();
    void everyLetterIsInTheFaceThatShowsIt();
    void switchingKeepsWhatWasTypedAndComesBackWhole();
    void switchOnTheWindowIsKept();
    void qtDialogsSpeakTheWindowsLanguage();
    void commandLine_data();
    void commandLine();

private:
    std::unique_ptr<TForm1> EnglishWindow();
};

void LanguageTest::initTestCase()
{
    StartPictureModules();
    QSettings(QStringLiteral("quorin"), QStringLiteral("UnitPack")).clear();
}

void LanguageTest::cleanup()
{
    Application().SetLanguage(TLanguage::Russian);
    QSettings(QStringLiteral("quorin"), QStringLiteral("UnitPack")).clear();
}

std::unique_ptr<TForm1> LanguageTest::EnglishWindow()
{
    Application().SetLanguage(TLanguage::English);
    return test::ShowMainWindow();
}

void LanguageTest::russianUnlessChosen()
{
    QCOMPARE(Application().Language(), TLanguage::Russian); // no --lang, nothing kept
    const auto form = test::ShowMainWindow();
    QCOMPARE(form->windowTitle(), QStringLiteral("Упаковщик Quorin Unit Packer"));
    QCOMPARE(form->LanguageButton->text(), QStringLiteral("EN"));
    QCOMPARE(form->LanguageButton->toolTip(), QStringLiteral("English"));
}

void LanguageTest::englishWindowCaptions_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("caption");
    const char* const captions[][2] = {
        {"SpeedButton1", "Build pack..."},
        {"SpeedButton2", "Basic settings"},
        {"SpeedButton3", "Model settings"},
        {"SpeedButton4", "Unit settings"},
        {"SpeedButton5", "UI cards"},
        {"OpenButton", "Open..."},
        {"SaveButton", "Save..."},
        {"LanguageButton", "RU"},
        {"Label20", "Developer forum:"},
        {"Label21", "© 2024 Quorin Unit Packer"},
        {"GroupBox1", " Basic settings "},
        {"Label1", "Unit name"},
        {"Label2", "Source mod"},
        {"Label3", "Unit author"},
        {"Label4", "Pack author"},
        {"Label5", "Unit version"},
        {"Label6", "Comment"},
        {"Label11", "RTW version"},
        {"GroupBox2", " Model settings"},
        {"Label7", "Model name"},
        {"Label8", "Model file (CAS, max. polygons):"},
        {"SpeedButton7", "Browse..."},
        {"ModelViewButton", "View..."},
        {"Label9", "Faction textures:"},
        {"SpeedButton8", "Add..."},
        {"SpeedButton9", "Remove..."},
        {"Label10", "Skeletons:"},
        {"CheckBox1", "custom skeletons"},
        {"Label12", "Model entry from descr_model_battle.txt:"},
        {"GroupBox3", " Unit settings "},
        {"Label13", "Unit entry from export_descr_model_unit.txt:"},
        {"Label14", "Unit text from text\\export_units.txt:"},
        {"GroupBox4", " UI cards "},
        {"GroupBox5", " Preview "},
        {"Label15", "UNIT_INFO:"},
        {"Label16", "#UNIT:"},
        {"Label17", "Faction icons:"},
        {"SpeedButton10", "Add..."},
        {"SpeedButton11", "Remove..."},
        {"GroupBox6", " Building the pack "},
        {"Label18", "File name"},
        {"SpeedButton12", "Browse..."},
        {"Label19", "Log"},
        {"SpeedButton13", "Start building"},
    };
    for (const auto& [control, caption] : captions)
        QTest::newRow(control) << QString::fromLatin1(control) << QString::fromUtf8(caption);
}

void LanguageTest::englishWindowCaptions()
{
    QFETCH(QString, control);
    QFETCH(QString, caption);
    const auto form = EnglishWindow();
    const QWidget* widget = form->findChild<QWidget*>(control);
    QVERIFY(widget);
    QCOMPARE(CaptionOf(widget), caption);
}

void LanguageTest::englishColumnsFileTypesPromptsAndMessages()
{
    const auto form = EnglishWindow();
    QCOMPARE(form->windowTitle(), QStringLiteral("Quorin Unit Packer"));
    QCOMPARE(form->LanguageButton->toolTip(), QStringLiteral("Русский"));
    QCOMPARE(form->LV1->headerItem()->text(0), QStringLiteral("Faction"));
    QCOMPARE(form->LV1->headerItem()->text(1), QStringLiteral("Texture file"));
    QCOMPARE(form->LV2->headerItem()->text(0), QStringLiteral("Faction"));
    QCOMPARE(form->LV2->headerItem()->text(1), QStringLiteral("INFO card file"));
    QCOMPARE(form->LV2->headerItem()->text(2), QStringLiteral("#unit card file"));

    const std::pair<QFileDialog*, const char*> filters[] = {
        {form->CasDialog(), "CAS models (*.cas)|*.cas|glTF models (*.glb *.gltf)|*.glb *.gltf"},
        {form->TextureDialog(), "DDS texture (*.dds)|*.dds"},
        {form->CardDialog(), "TGA image (*.tga)|*.tga"},
        {form->UnitOpenDialog(), "Quorin unit (*.quorin *.toml)|*.quorin *.toml|Quorin pack (*.quorin)|*.quorin|Unit manifest (*.toml)|*.toml"},
        {form->UnitSaveDialog(), "Unit manifest (*.toml)|*.toml"},
        {form->SaveDialog(), "Quorin Package|*.quorin"}, // English in both
    };
    for (const auto& [dialog, filter] : filters)
        QCOMPARE(dialog->nameFilters(), NameFilters(QString::fromLatin1(filter)));
    // A dialog made in Russian offers its types in English after a switch,
    // the type chosen kept.
    Application().SetLanguage(TLanguage::Russian);
    form->UnitOpenDialog()->selectNameFilter(form->UnitOpenDialog()->nameFilters().at(2));
    QCOMPARE(form->UnitOpenDialog()->nameFilters().at(0), QStringLiteral("Юнит Quorin (*.quorin *.toml) (*.quorin *.toml)"));
    Application().SetLanguage(TLanguage::English);
    QCOMPARE(form->UnitOpenDialog()->nameFilters().at(0), QStringLiteral("Quorin unit (*.quorin *.toml) (*.quorin *.toml)"));
    QCOMPARE(form->UnitOpenDialog()->selectedNameFilter(), QStringLiteral("Unit manifest (*.toml)")); // as shown

    QCOMPARE(PromptOf(form->SpeedButton8), QStringLiteral("Faction name|Enter the name of the faction this texture is for"));
    form->SpeedButton5->click();
    QCOMPARE(PromptOf(form->SpeedButton10), QStringLiteral("Faction name|Enter the name of the faction this icon is for"));

    form->Edit10->setText(QStringLiteral("/mods/hastati.quorin"));
    QCOMPARE(form->CompletionMessage(), QStringLiteral("Pack hastati.quorin built"));
    Application().SetLanguage(TLanguage::Russian);
    QCOMPARE(form->CompletionMessage(), QStringLiteral("Создание пака hastati.quorin завершено"));
}

void LanguageTest::englishAboutWindow()
{
    Application().SetLanguage(TLanguage::English);
    TForm2 about;
    QCOMPARE(about.windowTitle(), QStringLiteral("About"));
    QCOMPARE(about.Label2->text(), QStringLiteral("version 0.1 alpha"));
    QCOMPARE(about.Label4->text(), QStringLiteral("This version cannot certify unit packs"));
    QCOMPARE(about.Button1->text(), QStringLiteral("Close"));
    QVERIFY(about.Memo1->toPlainText().startsWith(QStringLiteral("This program packs units into\n")));
    QVERIFY(about.Memo2->toPlainText().startsWith(QStringLiteral("Warning!\n")));
    QVERIFY(about.Label3->text().startsWith(QStringLiteral("This version is free")));

    // Each line of the notices whole within its box, no line beyond the last.
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    for (const QPlainTextEdit* memo : {about.Memo1, about.Memo2}) {
        const QFontMetrics metrics(memo->font());
        const QStringList lines = memo->toPlainText().split(QLatin1Char('\n'));
        for (const QString& line : lines)
            QVERIFY2(metrics.horizontalAdvance(line) + 2 <= memo->viewport()->width(), qPrintable(line));
        QVERIFY2(lines.size() * metrics.lineSpacing() + 2 <= memo->viewport()->height(), qPrintable(memo->objectName()));
    }
    const QRect notice = QFontMetrics(about.Label3->font()).boundingRect(about.Label3->rect(), Qt::TextWordWrap, about.Label3->text());
    QVERIFY(notice.height() <= about.Label3->height());

    Application().SetLanguage(TLanguage::Russian);
    QCOMPARE(about.windowTitle(), QStringLiteral("О программе"));
    QCOMPARE(about.Button1->text(), QStringLiteral("Закрыть"));
    QCOMPARE(about.Label4->text(), QStringLiteral("Данная версия не поддерживает сертифицирование юнит-паков"));
}

void LanguageTest::englishTextsFitTheirFrames()
{
    const auto form = EnglishWindow();
    for (const QLabel* label : form->findChildren<QLabel*>()) {
        if (label->window() != form.get() || label->text().isEmpty())
            continue;
        const QWidget* parent = label->parentWidget();
        QVERIFY2(parent->rect().contains(label->geometry()), qPrintable(label->objectName()));
        QVERIFY2(QFontMetrics(label->font()).horizontalAdvance(label->text()) <= label->width(), qPrintable(label->objectName()));
    }
    for (const TSpeedButton* button : form->findChildren<TSpeedButton*>()) {
        if (button->window() != form.get() || button->text().isEmpty())
            continue;
        const int glyph = button->Glyph().isNull() ? 0 : button->Glyph().width() + 4;
        QVERIFY2(QFontMetrics(button->font()).horizontalAdvance(button->text()) + glyph + 4 <= button->width(),
                 qPrintable(button->objectName()));
    }
    // The basic page's captions end before its fields begin.
    for (const QLabel* label : {form->Label1, form->Label2, form->Label3, form->Label4, form->Label5, form->Label6, form->Label11})
        QVERIFY2(label->geometry().right() < form->Edit1->x(), qPrintable(label->objectName()));
    QVERIFY(form->CheckBox1->geometry().right() < form->GroupBox2->width());
    QVERIFY(form->CheckBox1->x() > form->Label10->geometry().right());
}

// The window's own texts are drawn without stand-in faces (a font search
// for each face at start-up saved): each of their letters must be in the
// face that shows it, in both languages. What the user gives may hold any
// letter, so the controls that show it take stand-ins.
void LanguageTest::everyLetterIsInTheFaceThatShowsIt()
{
    for (const TLanguage language : {TLanguage::Russian, TLanguage::English}) {
        Application().SetLanguage(language);
        const auto form = test::ShowMainWindow();
        TForm2 about;
        std::vector<const QWidget*> controls;
        for (const QWidget* window : {static_cast<const QWidget*>(form.get()), static_cast<const QWidget*>(&about)})
            for (const QWidget* control : window->findChildren<QWidget*>())
                controls.push_back(control);
        int letters = 0;
        for (const QWidget* control : controls) {
            const QString caption = CaptionOf(control);
            const QFontMetrics metrics(control->font());
            for (const char32_t letter : caption.toUcs4()) {
                if (QChar::isSpace(letter) || letter == U'&')
                    continue;
                ++letters;
                QVERIFY2(metrics.inFontUcs4(letter),
                         qPrintable(QStringLiteral("%1: U+%2 of \"%3\" in %4")
                                        .arg(control->objectName())
                                        .arg(static_cast<uint>(letter), 4, 16, QLatin1Char('0'))
                                        .arg(caption, QFontInfo(control->font()).family())));
            }
        }
        QVERIFY(letters > 500); // the captions were there to check

        const std::vector<const QWidget*> given{form->Edit1, form->Edit8, form->Edit10, form->Memo1,
                                                form->LV1,   form->LV2,   form->List1,  form->ModelInfo};
        for (const QWidget* control : given)
            QVERIFY2(!(control->font().styleStrategy() & QFont::NoFontMerging), qPrintable(control->objectName()));
        QVERIFY(form->Label1->font().styleStrategy() & QFont::NoFontMerging);
        // Taking stand-ins keeps each control's own face and size.
        QCOMPARE(form->ModelInfo->font().pixelSize(), 11);
        QVERIFY(!form->ModelInfo->font().bold());
        QCOMPARE(form->LV1->font().pixelSize(), 9);
        QVERIFY(form->LV1->font().bold());
        QCOMPARE(form->Edit8->font().pixelSize(), form->GroupBox2->font().pixelSize());
        QCOMPARE(form->Edit8->font().family(), form->GroupBox2->font().family());
    }
}

void LanguageTest::switchingKeepsWhatWasTypedAndComesBackWhole()
{
    const auto form = test::ShowMainWindow();
    form->Edit1->setText(QStringLiteral("Гастаты"));
    form->ComboBox1->setCurrentIndex(3);
    form->Edit8->setText(QStringLiteral("/mods/hastati.cas"));
    form->CheckBox1->setChecked(true);
    form->Memo2->setPlainText(QStringLiteral("type hastati\n"));
    form->AppendTextureRow({"romans_julii", "/mods/julii.dds"});
    form->AppendCardRow({"romans_brutii", "/mods/info.tga", "/mods/unit.tga"});
    form->Edit10->setText(QStringLiteral("/mods/hastati.quorin"));
    form->SpeedButton4->click(); // the unit page in front
    auto sheet = [&form] { return SheetManifestText(form->ReadSheet(), std::string()); }; // every field
    const std::string typed = sheet();
    const QObject* front = form->GroupBox3;
    form->UpdateModelInfo(); // what the model holds (no such file) said now, not when typing pauses
    const QStringList russian = WindowTexts(*form);

    QTest::mouseClick(form->LanguageButton, Qt::LeftButton);
    QCOMPARE(Application().Language(), TLanguage::English);
    QCOMPARE(form->Label1->text(), QStringLiteral("Unit name"));
    QCOMPARE(sheet(), typed);
    QCOMPARE(form->children().constLast(), front);
    QCOMPARE(form->OutputPath(), std::string("/mods/hastati.quorin"));

    QTest::mouseClick(form->LanguageButton, Qt::LeftButton);
    QCOMPARE(Application().Language(), TLanguage::Russian);
    QCOMPARE(WindowTexts(*form), russian); // byte for byte as before
    QCOMPARE(sheet(), typed);
}

void LanguageTest::switchOnTheWindowIsKept()
{
    const auto form = test::ShowMainWindow();
    QCOMPARE(StoredLanguage(), std::nullopt);
    QTest::mouseClick(form->LanguageButton, Qt::LeftButton);
    QCOMPARE(StoredLanguage(), TLanguage::English);
    QCOMPARE(StartLanguage(ParseCommandLine({QStringLiteral("UnitPack")})), TLanguage::English);
    QCOMPARE(StartLanguage(ParseCommandLine({QStringLiteral("UnitPack"), QStringLiteral("--lang"), QStringLiteral("ru")})),
             TLanguage::Russian); // --lang wins over the kept choice
    QTest::mouseClick(form->LanguageButton, Qt::LeftButton);
    QCOMPARE(StoredLanguage(), TLanguage::Russian);
}

void LanguageTest::qtDialogsSpeakTheWindowsLanguage()
{
    const auto form = test::ShowMainWindow();
    QFileDialog* dialog = form->SaveDialog();
    QCOMPARE(SaveButtonText(dialog), QStringLiteral("Сохранить"));
    Application().SetLanguage(TLanguage::English);
    QCOMPARE(SaveButtonText(dialog), QStringLiteral("Save")); // the dialog made earlier, too
    QCOMPARE(SaveButtonText(std::make_unique<TForm1>()->SaveDialog()), QStringLiteral("Save"));
    Application().SetLanguage(TLanguage::Russian);
    QCOMPARE(SaveButtonText(dialog), QStringLiteral("Сохранить"));
}

void LanguageTest::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("language"); // "" for none
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("error");
    QTest::newRow("nothing") << QStringList{"UnitPack"} << "" << "" << false;
    QTest::newRow("a file") << QStringList{"UnitPack", "/u/hastati.toml"} << "" << "/u/hastati.toml" << false;
    QTest::newRow("--lang en") << QStringList{"UnitPack", "--lang", "en"} << "en" << "" << false;
    QTest::newRow("--lang=ru") << QStringList{"UnitPack", "--lang=ru"} << "ru" << "" << false;
    QTest::newRow("upper case") << QStringList{"UnitPack", "--lang", "EN"} << "en" << "" << false;
    QTest::newRow("file after --lang") << QStringList{"UnitPack", "--lang", "en", "/u/a.quorin"} << "en" << "/u/a.quorin" << false;
    QTest::newRow("file before --lang") << QStringList{"UnitPack", "/u/a.quorin", "--lang=en"} << "en" << "/u/a.quorin" << false;
    QTest::newRow("unknown language") << QStringList{"UnitPack", "--lang", "de"} << "" << "" << true;
    QTest::newRow("no language") << QStringList{"UnitPack", "--lang"} << "" << "" << true;
}

void LanguageTest::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, language);
    QFETCH(QString, file);
    QFETCH(bool, error);
    const TCommandLine line = ParseCommandLine(arguments);
    QCOMPARE(line.Language ? LanguageCode(*line.Language) : QString(), language);
    QCOMPARE(line.File, file);
    QCOMPARE(!line.Error.isEmpty(), error);
    // Without a good --lang the kept choice, else Russian, is taken.
    if (!line.Language)
        QCOMPARE(StartLanguage(line), TLanguage::Russian);
}

} // namespace quorin

QUORIN_APP_TEST_MAIN(quorin::LanguageTest)
#include "LanguageTest.moc"
