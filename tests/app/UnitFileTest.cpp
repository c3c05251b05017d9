// Opening a unit again in the window, from a manifest or a package, and
// saving the window's unit as a manifest.

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QUrl>

#include "../dialogs/ModalDriver.h"
#include "../support/PictureFiles.h"
#include "AppTestMain.h"
#include "app/FactionList.h"
#include "app/Unit1.h"
#include "dialogs/Image.h"
#include "dialogs/SpeedButton.h"
#include "imaging/PictureModules.h"
#include "package/Build.h"
#include "package/Filler.h"

namespace quorin {

using namespace test;

namespace {

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Every value of two sheets, field by field, so a failure names the field.
void CompareSheets(const TUnitSheet& a, const TUnitSheet& b)
{
    QCOMPARE(a.UnitName, b.UnitName);
    QCOMPARE(a.SourceMod, b.SourceMod);
    QCOMPARE(a.UnitAuthor, b.UnitAuthor);
    QCOMPARE(a.PackAuthor, b.PackAuthor);
    QCOMPARE(a.UnitVersion, b.UnitVersion);
    QCOMPARE(a.Comment, b.Comment);
    QCOMPARE(a.GameVersion, b.GameVersion);
    QCOMPARE(a.ModelName, b.ModelName);
    QCOMPARE(a.ModelFile, b.ModelFile);
    QCOMPARE(a.TextureRows.size(), b.TextureRows.size());
    for (std::size_t i = 0; i < a.TextureRows.size(); ++i) {
        QCOMPARE(a.TextureRows[i].Faction, b.TextureRows[i].Faction);
        QCOMPARE(a.TextureRows[i].TextureFile, b.TextureRows[i].TextureFile);
    }
    QCOMPARE(a.Skeletons, b.Skeletons);
    QCOMPARE(a.CustomSkeletons, b.CustomSkeletons);
    QCOMPARE(a.ModelBattleLines, b.ModelBattleLines);
    QCOMPARE(a.UnitDescrLines, b.UnitDescrLines);
    QCOMPARE(a.UnitTextLines, b.UnitTextLines);
    QCOMPARE(a.UiCardRows.size(), b.UiCardRows.size());
    for (std::size_t i = 0; i < a.UiCardRows.size(); ++i) {
        QCOMPARE(a.UiCardRows[i].Faction, b.UiCardRows[i].Faction);
        QCOMPARE(a.UiCardRows[i].InfoCardFile, b.UiCardRows[i].InfoCardFile);
        QCOMPARE(a.UiCardRows[i].UnitCardFile, b.UiCardRows[i].UnitCardFile);
    }
}

} // namespace

class UnitFileTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { StartPictureModules(); }
    void init();
    void cleanup();

    void savedManifestOpensWithEveryValue();
    void openedPackageBuildsTheSamePackage();
    void aUnitGoesRoundWindowManifestAndPackage();
    void aFolderInUseAsksForAnother();
    void failuresLeaveThePagesAsTheyWere_data();
    void failuresLeaveThePagesAsTheyWere();
    void aDroppedFileIsOpened();
    void theShortcutsOpenAndSave();

private:
    QString Path(const QString& name) const { return dir_->filePath(name); }
    TUnitSheet SampleSheet();

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<TForm1> form_;
};

void UnitFileTest::init()
{
    dir_ = std::make_unique<QTemporaryDir>();
    form_ = ShowMainWindow();
}

void UnitFileTest::cleanup()
{
    QVERIFY(!QApplication::activeModalWidget());
    form_.reset();
    dir_.reset();
}

TUnitSheet UnitFileTest::SampleSheet()
{
    const QString model = WriteBytes(Path("hastati.cas"), Bytes(700, 0x11));
    const QString texture = WriteDds(Path("julii.dds"), 4, 4, Solid(0xFF203040));
    const QString info = WriteTga(Path("info.tga"), 16, 21, Solid(0xFF000080));
    const QString unit = WriteTga(Path("unit.tga"), 8, 8, Solid(0xFF008000));
    TUnitSheet sheet;
    sheet.UnitName = QStringLiteral("Гастаты").toStdString();
    sheet.SourceMod = "RTR";
    sheet.Comment = " with spaces ";
    sheet.GameVersion = 5;
    sheet.ModelName = "roman_hastati";
    sheet.ModelFile = model.toStdString();
    sheet.TextureRows = {{"romans_julii", texture.toStdString()}, {"", texture.toStdString()}};
    sheet.Skeletons = "fs_swordsman";
    sheet.CustomSkeletons = true;
    sheet.ModelBattleLines = {"type roman_hastati", ""};
    sheet.UnitDescrLines = {""};
    sheet.UnitTextLines = {QStringLiteral("{roman_hastati}Гастаты").toStdString(), "second"};
    sheet.UiCardRows = {{"", info.toStdString(), std::nullopt}, {"romans_julii", info.toStdString(), unit.toStdString()}};
    return sheet;
}

void UnitFileTest::savedManifestOpensWithEveryValue()
{
    const TUnitSheet sheet = SampleSheet();
    form_->LoadSheet(sheet);
    CompareSheets(form_->ReadSheet(), sheet); // the pages hold what they were given
    QCOMPARE(form_->ImgP1->Picture().Width(), 16); // the last row's cards, as after an addition
    QCOMPARE(form_->ImgP2->Picture().Width(), 8);

    const QString manifest = Path("hastati.toml");
    form_->SaveUnit(manifest);
    QCOMPARE(form_->windowTitle(), QStringLiteral("Упаковщик Quorin Unit Packer — hastati.toml"));

    auto again = ShowMainWindow();
    QCOMPARE(again->windowTitle(), QStringLiteral("Упаковщик Quorin Unit Packer"));
    again->OpenUnit(manifest);
    CompareSheets(again->ReadSheet(), sheet);
    QCOMPARE(again->UnitPath(), manifest);
}

void UnitFileTest::openedPackageBuildsTheSamePackage()
{
    TUnitSheet sheet = SampleSheet();
    sheet.UiCardRows.erase(sheet.UiCardRows.begin()); // a package holds complete rows only
    const QString package = Path("hastati.quorin");
    const std::uint32_t seed = FillerSeed;
    BuildPackage(sheet, package.toStdString());

    form_->OpenUnit(package);
    QVERIFY(QFileInfo(Path("hastati/unit.toml")).isFile()); // unpacked beside it, named after it
    const TUnitSheet opened = form_->ReadSheet();
    QVERIFY(QString::fromStdString(opened.ModelFile).startsWith(Path("hastati/")));
    QCOMPARE(opened.UnitName, sheet.UnitName);
    QCOMPARE(opened.UiCardRows.size(), std::size_t(1));
    QCOMPARE(form_->windowTitle(), QStringLiteral("Упаковщик Quorin Unit Packer — hastati.quorin"));

    FillerSeed = seed; // as the first build of a process
    form_->Edit10->setText(Path("again.quorin"));
    OnNextModal<QDialog>([](QDialog* box) { box->accept(); });
    QTest::mouseClick(form_->SpeedButton13, Qt::LeftButton);
    QCOMPARE(ReadAll(Path("again.quorin")), ReadAll(package));
}

// A unit kept in a manifest saved on Windows (CR/LF throughout) goes window →
// manifest → window → package → window → package and loses nothing.
void UnitFileTest::aUnitGoesRoundWindowManifestAndPackage()
{
    WriteBytes(Path("model.cas"), Bytes(900, 0x22));
    WriteDds(Path("julii.dds"), 8, 8, Solid(0xFF204060));
    WriteTga(Path("info.tga"), 16, 21, Solid(0xFF000080));
    WriteTga(Path("unit.tga"), 8, 8, Solid(0xFF008000));
    const QByteArray manifest = "unit_name = \"Гастаты\"\r\n"
                                "source_mod = \"RTR\"\r\n"
                                "game_version = 4\r\n"
                                "model_name = \"roman_hastati\"\r\n"
                                "model_file = \"model.cas\"\r\n"
                                "skeletons = \"fs_swordsman, fs_spearman\"\r\n"
                                "model_battle = \"\"\"\r\ntype roman_hastati\r\n\r\nskeleton fs_swordsman\r\n\"\"\"\r\n"
                                "unit_text = \"\"\"\r\n{roman_hastati}Гастаты\r\n{roman_hastati_descr}Пехота\r\n\"\"\"\r\n"
                                "[[texture]]\r\nfaction = \"romans_julii\"\r\nfile = \"julii.dds\"\r\n"
                                "[[texture]]\r\nfaction = \"\"\r\nfile = \"julii.dds\"\r\n"
                                "[[card]]\r\nfaction = \"romans_julii\"\r\ninfo = \"info.tga\"\r\nunit = \"unit.tga\"\r\n";
    WriteBytes(Path("windows.toml"), Bytes(manifest.begin(), manifest.end()));

    form_->OpenUnit(Path("windows.toml"));
    const TUnitSheet typed = form_->ReadSheet();
    QCOMPARE(QString::fromStdString(typed.UnitName), QStringLiteral("Гастаты"));
    QCOMPARE(typed.GameVersion, 4);
    QCOMPARE(typed.Skeletons, std::string("fs_swordsman, fs_spearman"));
    QCOMPARE(typed.TextureRows.size(), std::size_t(2));
    QCOMPARE(typed.UnitTextLines, (std::vector<std::string>{QStringLiteral("{roman_hastati}Гастаты").toStdString(),
                                                            QStringLiteral("{roman_hastati_descr}Пехота").toStdString()}));
    QCOMPARE(typed.ModelBattleLines, (std::vector<std::string>{"type roman_hastati", "", "skeleton fs_swordsman"}));
    form_->SaveUnit(Path("saved.toml"));

    auto second = ShowMainWindow();
    second->OpenUnit(Path("saved.toml"));
    CompareSheets(second->ReadSheet(), typed);
    const std::uint32_t seed = FillerSeed;
    second->Edit10->setText(Path("first.quorin"));
    OnNextModal<QDialog>([](QDialog* box) { box->accept(); });
    QTest::mouseClick(second->SpeedButton13, Qt::LeftButton);
    QVERIFY(QFileInfo(Path("first.quorin")).isFile());

    auto third = ShowMainWindow();
    third->OpenUnit(Path("first.quorin"));
    TUnitSheet opened = third->ReadSheet();
    // The rows now name the unpacked files, which hold the same bytes.
    const auto sameBytes = [](const std::string& a, const std::string& b) {
        return ReadAll(QString::fromStdString(a)) == ReadAll(QString::fromStdString(b));
    };
    QVERIFY(sameBytes(opened.ModelFile, typed.ModelFile));
    QCOMPARE(opened.TextureRows.size(), typed.TextureRows.size());
    for (std::size_t i = 0; i < typed.TextureRows.size(); ++i) {
        QVERIFY(sameBytes(opened.TextureRows[i].TextureFile, typed.TextureRows[i].TextureFile));
        opened.TextureRows[i].TextureFile = typed.TextureRows[i].TextureFile;
    }
    QCOMPARE(opened.UiCardRows.size(), typed.UiCardRows.size());
    QVERIFY(sameBytes(opened.UiCardRows[0].InfoCardFile, typed.UiCardRows[0].InfoCardFile));
    QVERIFY(sameBytes(*opened.UiCardRows[0].UnitCardFile, *typed.UiCardRows[0].UnitCardFile));
    opened.ModelFile = typed.ModelFile;
    opened.UiCardRows = typed.UiCardRows;
    CompareSheets(opened, typed);

    FillerSeed = seed;
    third->Edit10->setText(Path("second.quorin"));
    OnNextModal<QDialog>([](QDialog* box) { box->accept(); });
    QTest::mouseClick(third->SpeedButton13, Qt::LeftButton);
    QCOMPARE(ReadAll(Path("second.quorin")), ReadAll(Path("first.quorin")));
}

void UnitFileTest::aFolderInUseAsksForAnother()
{
    TUnitSheet sheet = SampleSheet();
    sheet.UiCardRows.clear();
    const QString package = Path("hastati.quorin");
    BuildPackage(sheet, package.toStdString());
    QDir(dir_->path()).mkpath(QStringLiteral("hastati"));
    WriteBytes(Path("hastati/mine.txt"), {'m'});
    QDir(dir_->path()).mkpath(QStringLiteral("chosen"));

    OnNextModal<QFileDialog>([&](QFileDialog* dialog) {
        dialog->selectFile(Path("chosen"));
        static_cast<QDialog*>(dialog)->accept();
    });
    form_->OpenUnit(package);
    QVERIFY(QFileInfo(Path("chosen/unit.toml")).isFile());
    QCOMPARE(QDir(Path("hastati")).entryList(QDir::Files), QStringList{"mine.txt"}); // nothing overwritten
    QVERIFY(QString::fromStdString(form_->ReadSheet().ModelFile).startsWith(Path("chosen/")));

    // Cancelling the folder dialog opens nothing.
    form_->Edit1->setText(QStringLiteral("kept"));
    QDir(Path("chosen")).removeRecursively();
    OnNextModal<QFileDialog>([](QFileDialog* dialog) { dialog->reject(); });
    form_->OpenUnit(package);
    QCOMPARE(form_->Edit1->text(), QStringLiteral("kept"));
}

void UnitFileTest::failuresLeaveThePagesAsTheyWere_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("damaged package") << "broken.quorin" << QByteArray("\x06\x0dQuorinPAKx0.1\x06", 16);
    QTest::newRow("unknown manifest key") << "unit.toml" << QByteArray("unit_name = \"x\"\nnot_a_key = 1\n");
    QTest::newRow("missing file") << "missing.toml" << QByteArray();
}

void UnitFileTest::failuresLeaveThePagesAsTheyWere()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, bytes);
    if (!bytes.isEmpty())
        WriteBytes(Path(file), Bytes(bytes.begin(), bytes.end()));
    form_->LoadSheet(SampleSheet());
    const TUnitSheet before = form_->ReadSheet();
    QVERIFY_THROWS_EXCEPTION(std::exception, form_->OpenUnit(Path(file)));
    CompareSheets(form_->ReadSheet(), before);
    QCOMPARE(form_->windowTitle(), QStringLiteral("Упаковщик Quorin Unit Packer"));
}

void UnitFileTest::aDroppedFileIsOpened()
{
    const TUnitSheet sheet = SampleSheet();
    form_->LoadSheet(sheet);
    form_->SaveUnit(Path("dropped.toml"));
    auto target = ShowMainWindow();
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(Path("dropped.toml"))});
    QDragEnterEvent enter(QPoint(400, 300), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target.get(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(400, 300), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target.get(), &drop);
    CompareSheets(target->ReadSheet(), sheet);

    QMimeData other;
    other.setUrls({QUrl::fromLocalFile(Path("picture.png"))});
    QDragEnterEvent refused(QPoint(400, 300), Qt::CopyAction, &other, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target.get(), &refused);
    QVERIFY(!refused.isAccepted());
}

void UnitFileTest::theShortcutsOpenAndSave()
{
    form_->LoadSheet(SampleSheet());
    // Ctrl+S with no manifest yet asks for a name, as Ctrl+Shift+S does.
    QStringList filters;
    QString suffix;
    OnNextModal<QFileDialog>([&](QFileDialog* dialog) {
        filters = dialog->nameFilters();
        suffix = dialog->defaultSuffix();
        dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(Path("saved"));
        static_cast<QDialog*>(dialog)->accept();
    });
    QTest::keyClick(form_.get(), Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(suffix, QStringLiteral("toml"));
    QCOMPARE(filters.size(), 1);
    QCOMPARE(form_->UnitPath(), Path("saved.toml"));

    // Then saving saves there without asking.
    form_->Edit1->setText(QStringLiteral("changed"));
    form_->SaveButtonClick();
    QVERIFY(!QApplication::activeModalWidget());
    QVERIFY(ReadAll(Path("saved.toml")).contains("unit_name = \"changed\""));

    // Ctrl+O offers both kinds together, then each alone, and opens the choice.
    auto other = ShowMainWindow();
    other->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(other.get()));
    QStringList shown;
    OnNextModal<QFileDialog>([&](QFileDialog* dialog) {
        auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        for (int i = 0; i < types->count(); ++i)
            shown << types->itemText(i);
        dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(Path("saved.toml"));
        static_cast<QDialog*>(dialog)->accept();
    });
    QTest::keyClick(other.get(), Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(shown, (QStringList{"Юнит Quorin (*.quorin *.toml)", "Пак Quorin (*.quorin)", "Манифест юнита (*.toml)"}));
    QCOMPARE(other->Edit1->text(), QStringLiteral("changed"));
}

} // namespace quorin

QUORIN_APP_TEST_MAIN(quorin::UnitFileTest)
#include "UnitFileTest.moc"
