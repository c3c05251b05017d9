// The main window: its frame, the page stack, the basic parameters, unit
// text and pack pages, and the build started from the window.

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QSet>
#include <QPushButton>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <sys/stat.h>

#include "../dialogs/ModalDriver.h"
#include "AppTestMain.h"
#include "app/FactionList.h"
#include "app/FlatGroupBox.h"
#include "app/Gauge.h"
#include "app/PackLog.h"
#include "dialogs/SpeedButton.h"
#include "app/Unit1.h"
#include "dialogs/FileDialog.h"
#include "dialogs/Image.h"
#include "dialogs/MessageBox.h"
#include "imaging/PictureModules.h"
#include "package/PackageReader.h"

namespace quorin {

using test::OnNextModal;

namespace {

// What a box opened by a click showed.
struct TBoxSeen {
    QString Kind; // "error" or "information"
    QString Title;
    QString Text;
    QMessageBox::Icon Icon = QMessageBox::NoIcon;
};

TBoxSeen ClickAndReadBox(QAbstractButton* button)
{
    TBoxSeen seen;
    OnNextModal<QDialog>([&seen](QDialog* box) {
        seen.Title = box->windowTitle();
        if (auto* error = qobject_cast<QMessageBox*>(box)) {
            seen.Kind = QStringLiteral("error");
            seen.Text = error->text();
            seen.Icon = error->icon();
        } else if (auto* information = qobject_cast<TMessageForm*>(box)) {
            seen.Kind = QStringLiteral("information");
            seen.Text = information->Message->text();
        }
        box->accept();
    });
    QTest::mouseClick(button, Qt::LeftButton);
    return seen;
}

QStringList PageOrder(const TForm1& form)
{
    QStringList order;
    for (const QObject* child : form.children())
        if (qobject_cast<const TFlatGroupBox*>(child))
            order << child->objectName();
    return order; // back to front
}

QString WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
    return path;
}

// Types a name into the save dialog's name field and presses Save.
void TypeFileName(QFileDialog* dialog, const QString& name)
{
    if (auto* field = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
        field->setText(name);
    static_cast<QDialog*>(dialog)->accept();
}

std::string Utf8(const QString& text) { return text.toStdString(); }

const QStringList InitialOrder = {"GroupBox2", "GroupBox3", "GroupBox4", "GroupBox6", "GroupBox1"};

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void frameHasCaptionSizeAndTitleBarButtons();
    void backgroundFillsTheClientArea();
    void pagesOverlapInCreationOrder();
    void pageButtonsLook();
    void pageButtonBringsOnlyItsPageToFront_data();
    void pageButtonBringsOnlyItsPageToFront();
    void switchingPagesKeepsTypedValues();
    void decorationsDoNothing();
    void basicPageControlsAndTabOrder();
    void untouchedSheet();
    void sheetTakesTextsAsTyped();
    void versionIsTheSelectedIndex();
    void memoLineRule_data();
    void memoLineRule();
    void typedLinesInTheMemo();
    void failuresReachTheErrorBox_data();
    void failuresReachTheErrorBox();
    void runningOutOfMemoryReachesTheErrorBox();
    void buildFromTheWindowReadsBack();
    void logRowsLeadToTheirPagesAndFailuresEndTheLog();
    void byteCountsInBothLanguages();
    void aQuickBuildLeavesNothingGreyed();
    void aLongBuildGreysThePagesAndKeepsTheWindow();
    void completionNamesTheFileWithoutFolder_data();
    void completionNamesTheFileWithoutFolder();
    void gaugeShowsZeroPercentAndLogIsEmpty();
    void saveDialogSetUp();
    void saveDialogChoosesRemembersAndCancels();

private:
    std::unique_ptr<TForm1> form_;
    std::unique_ptr<QTemporaryDir> dir_;
};

void MainWindowTest::initTestCase() { StartPictureModules(); }

void MainWindowTest::init()
{
    dir_ = std::make_unique<QTemporaryDir>();
    form_ = test::ShowMainWindow();
}

void MainWindowTest::cleanup()
{
    form_.reset();
    dir_.reset();
}

void MainWindowTest::frameHasCaptionSizeAndTitleBarButtons()
{
    QCOMPARE(form_->windowTitle(), QStringLiteral("Упаковщик Quorin Unit Packer"));
    QCOMPARE(form_->size(), QSize(800, 600));
    QCOMPARE(form_->minimumSize(), QSize(800, 600));
    QCOMPARE(form_->maximumSize(), QSize(800, 600));
    const Qt::WindowFlags flags = form_->windowFlags();
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
    QVERIFY(flags & Qt::WindowMinimizeButtonHint);
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QVERIFY(flags & Qt::WindowSystemMenuHint);
    QCOMPARE(form_->font().pixelSize(), 11);
    QCOMPARE(form_->font().families().value(0), QStringLiteral("MS Sans Serif"));
    const QRect screen = form_->screen()->geometry();
    QCOMPARE(form_->pos(), QPoint((screen.width() - 800) / 2, (screen.height() - 600) / 2));
}

void MainWindowTest::backgroundFillsTheClientArea()
{
    TImage* background = form_->findChild<TImage*>(QStringLiteral("Image1"));
    QVERIFY(background);
    QCOMPARE(background->geometry(), QRect(0, 0, 800, 600));
    QVERIFY(background->Stretch());
    QCOMPARE(background->Picture().Width(), 800);
    QCOMPARE(background->Picture().Height(), 600);
    // Drawn below everything: the first child.
    QCOMPARE(form_->children().indexOf(background), 0);
}

void MainWindowTest::pagesOverlapInCreationOrder()
{
    const QMap<QString, QString> captions = {
        {"GroupBox1", " Основные параметры "}, {"GroupBox2", " Параметры модели"}, {"GroupBox3", " Параметры юнита "},
        {"GroupBox4", " Карточки UI "},        {"GroupBox6", " Создание пака "},
    };
    for (auto it = captions.begin(); it != captions.end(); ++it) {
        auto* page = form_->findChild<TFlatGroupBox*>(it.key());
        QVERIFY2(page, qPrintable(it.key()));
        QCOMPARE(page->title(), it.value());
        QCOMPARE(page->geometry(), QRect(224, 64, 561, 521));
        QCOMPARE(page->font().pixelSize(), 13);
        QVERIFY(page->font().bold());
        QCOMPARE(page->font().families().value(0), QStringLiteral("Tahoma"));
        QCOMPARE(page->grab().toImage().pixelColor(280, 300), QColor(Qt::white));
    }
    QCOMPARE(PageOrder(*form_), InitialOrder);
}

void MainWindowTest::pageButtonsLook()
{
    const struct {
        const char* Name;
        const char* Caption;
        QRect Bounds;
    } buttons[] = {
        {"SpeedButton1", "Создать пак...", QRect(8, 320, 137, 41)},  {"SpeedButton2", "Основные параметры", QRect(8, 120, 153, 41)},
        {"SpeedButton3", "Параметры модели", QRect(8, 160, 153, 41)}, {"SpeedButton4", "Параметры юнита", QRect(8, 200, 153, 41)},
        {"SpeedButton5", "Карточки UI", QRect(8, 240, 153, 41)},
    };
    for (const auto& b : buttons) {
        auto* button = form_->findChild<TSpeedButton*>(QString::fromLatin1(b.Name));
        QVERIFY2(button, b.Name);
        QCOMPARE(button->text(), QString::fromUtf8(b.Caption));
        QCOMPARE(button->geometry(), b.Bounds);
        QCOMPARE(button->focusPolicy(), Qt::NoFocus);
        QVERIFY(button->autoRaise());
        QVERIFY(button->Glyph().isNull());
        QVERIFY(button->shortcut().isEmpty());
        QCOMPARE(button->font().families().value(0), QStringLiteral("Impact"));
        QCOMPARE(button->font().pixelSize(), 15);
        // The caption whole inside the button's frame, whichever face stands in.
        QVERIFY2(QFontMetrics(button->font()).horizontalAdvance(button->text()) <= button->width() - 4, b.Name);
        QVERIFY(button->font().underline());
        QCOMPARE(button->palette().color(QPalette::ButtonText), QColor(255, 255, 0));
    }
}

void MainWindowTest::pageButtonBringsOnlyItsPageToFront_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("page");
    QTest::newRow("Создать пак...") << "SpeedButton1" << "GroupBox6";
    QTest::newRow("Основные параметры, already in front") << "SpeedButton2" << "GroupBox1";
    QTest::newRow("Параметры модели") << "SpeedButton3" << "GroupBox2";
    QTest::newRow("Параметры юнита") << "SpeedButton4" << "GroupBox3";
    QTest::newRow("Карточки UI") << "SpeedButton5" << "GroupBox4";
}

void MainWindowTest::pageButtonBringsOnlyItsPageToFront()
{
    QFETCH(QString, button);
    QFETCH(QString, page);
    // From a shuffled stack, so "its place" is not the place it had anyway.
    for (const char* name : {"SpeedButton3", "SpeedButton5", "SpeedButton1"})
        QTest::mouseClick(form_->findChild<QAbstractButton*>(QString::fromLatin1(name)), Qt::LeftButton);
    QStringList expected = PageOrder(*form_);
    QCOMPARE(expected, (QStringList{"GroupBox3", "GroupBox1", "GroupBox2", "GroupBox4", "GroupBox6"}));
    expected.removeOne(page);
    expected << page;
    QTest::mouseClick(form_->findChild<QAbstractButton*>(button), Qt::LeftButton);
    QCOMPARE(PageOrder(*form_), expected);
    QTest::mouseClick(form_->findChild<QAbstractButton*>(button), Qt::LeftButton);
    QCOMPARE(PageOrder(*form_), expected);
    QVERIFY(!QApplication::activeModalWidget());
}

void MainWindowTest::switchingPagesKeepsTypedValues()
{
    form_->Edit1->insert(QStringLiteral("Гастаты")); // QTest types Latin-1 only
    form_->Memo3->setPlainText(QStringLiteral("line"));
    for (auto* button : {form_->SpeedButton1, form_->SpeedButton4, form_->SpeedButton3, form_->SpeedButton2})
        QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(form_->Edit1->text(), QStringLiteral("Гастаты"));
    QCOMPARE(form_->Memo3->toPlainText(), QStringLiteral("line"));
}

void MainWindowTest::decorationsDoNothing()
{
    QCOMPARE(form_->Label20->text(), QStringLiteral("Форум разработчика:"));
    QCOMPARE(form_->Label20->pos(), QPoint(8, 531));
    QCOMPARE(form_->Label20->palette().color(QPalette::WindowText), QColor(207, 252, 163));
    QVERIFY(form_->Label20->font().italic() && form_->Label20->font().bold());
    QCOMPARE(form_->Label21->pos(), QPoint(414, 46));
    QCOMPARE(form_->Label21->palette().color(QPalette::WindowText), QColor(0, 64, 128));
    QVERIFY(!form_->Label21->text().isEmpty());
    QCOMPARE(form_->SpeedButton6->geometry(), QRect(0, 552, 161, 38));
    QCOMPARE(form_->SpeedButton6->Glyph().size(), QSize(161, 38));
    QVERIFY(form_->SpeedButton6->text().isEmpty());

    const TUnitSheet before = form_->ReadSheet();
    QTest::mouseClick(form_->SpeedButton6, Qt::LeftButton);
    QTest::mouseClick(form_->Label20, Qt::LeftButton);
    QTest::mouseClick(form_->Label21, Qt::LeftButton);
    QTest::mouseClick(form_->Image1, Qt::LeftButton, {}, QPoint(100, 450));
    QCOMPARE(PageOrder(*form_), InitialOrder);
    QVERIFY(!QApplication::activeModalWidget());
    QCOMPARE(form_->ReadSheet().UnitName, before.UnitName);
}

void MainWindowTest::basicPageControlsAndTabOrder()
{
    const char* labels[] = {"Имя юнита", "Исходный мод", "Автор юнита", "Автор пака", "Версия юнита", "Коммент"};
    QLineEdit* edits[] = {form_->Edit1, form_->Edit2, form_->Edit3, form_->Edit4, form_->Edit5, form_->Edit6};
    QLabel* labelWidgets[] = {form_->Label1, form_->Label2, form_->Label3, form_->Label4, form_->Label5, form_->Label6};
    for (int i = 0; i < 6; ++i) {
        QCOMPARE(edits[i]->objectName(), QStringLiteral("Edit%1").arg(i + 1));
        QCOMPARE(edits[i]->parent(), form_->GroupBox1);
        QCOMPARE(edits[i]->geometry(), QRect(168, 32 + 24 * i, 385, 22));
        QVERIFY(edits[i]->text().isEmpty());
        QCOMPARE(labelWidgets[i]->text(), QString::fromUtf8(labels[i]));
        QCOMPARE(labelWidgets[i]->pos(), QPoint(21, 36 + 24 * i));
    }
    QCOMPARE(form_->Label11->text(), QStringLiteral("Версия RTW"));
    QCOMPARE(form_->Label11->pos(), QPoint(21, 180));
    QCOMPARE(form_->ComboBox1->geometry(), QRect(168, 176, 385, 24));
    QCOMPARE(form_->Label13->text(), QStringLiteral("Описание юнита из export_descr_model_unit.txt:"));
    QCOMPARE(form_->Label14->text(), QStringLiteral("Описание юнита из text\\export_units.txt:"));
    QCOMPARE(form_->Memo2->geometry(), QRect(16, 40, 529, 225));
    QCOMPARE(form_->Memo3->geometry(), QRect(16, 304, 529, 201));
    QCOMPARE(form_->Memo2->lineWrapMode(), QPlainTextEdit::NoWrap);
    QCOMPARE(form_->Memo3->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QCOMPARE(form_->Memo3->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);

    // Page by page (basic, model, unit text, cards, pack), each in its own order.
    QWidget* chain[] = {form_->Edit1, form_->Edit2,     form_->Edit3, form_->Edit4, form_->Edit5, form_->Edit6,
                        form_->ComboBox1, form_->Edit7, form_->Edit8, form_->LV1,   form_->Edit9, form_->CheckBox1,
                        form_->Memo1, form_->Memo2,     form_->Memo3, form_->LV2,   form_->Edit10, form_->List1};
    QCOMPARE(QApplication::focusWidget(), form_->Edit1);
    for (std::size_t i = 1; i < std::size(chain); ++i) {
        QWidget* next = chain[i - 1]->nextInFocusChain();
        while (next && !(next->focusPolicy() & Qt::TabFocus))
            next = next->nextInFocusChain();
        QCOMPARE(next, chain[i]);
    }
}

void MainWindowTest::untouchedSheet()
{
    const TUnitSheet sheet = form_->ReadSheet();
    for (const std::string* text : {&sheet.UnitName, &sheet.SourceMod, &sheet.UnitAuthor, &sheet.PackAuthor, &sheet.UnitVersion, &sheet.Comment})
        QVERIFY(text->empty());
    QCOMPARE(sheet.GameVersion, 0);
    QVERIFY(sheet.UnitDescrLines.empty());
    QVERIFY(sheet.UnitTextLines.empty());
    QVERIFY(sheet.ModelFile.empty());
    QVERIFY(form_->OutputPath().empty());
}

void MainWindowTest::sheetTakesTextsAsTyped()
{
    form_->Edit1->insert(QStringLiteral("  Триарии  "));
    form_->Edit2->setText(QStringLiteral("Europa"));
    form_->Edit3->setText(QStringLiteral("автор"));
    form_->Edit4->setText(QStringLiteral("packer "));
    form_->Edit5->setText(QStringLiteral("1.0"));
    const QString longComment(40000, QLatin1Char('x'));
    form_->Edit6->setText(longComment);
    const TUnitSheet sheet = form_->ReadSheet();
    QCOMPARE(sheet.UnitName, Utf8(QStringLiteral("  Триарии  ")));
    QCOMPARE(sheet.SourceMod, std::string("Europa"));
    QCOMPARE(sheet.UnitAuthor, Utf8(QStringLiteral("автор")));
    QCOMPARE(sheet.PackAuthor, std::string("packer "));
    QCOMPARE(sheet.UnitVersion, std::string("1.0"));
    QCOMPARE(sheet.Comment.size(), std::size_t(40000)); // no length limit of its own
}

void MainWindowTest::versionIsTheSelectedIndex()
{
    QComboBox* versions = form_->ComboBox1;
    QVERIFY(!versions->isEditable());
    QCOMPARE(versions->maxVisibleItems(), 9);
    QCOMPARE(versions->view()->sizeHintForRow(0), 16);
    QCOMPARE(versions->count(), int(GameVersionItems.size()));
    for (int i = 0; i < versions->count(); ++i)
        QCOMPARE(Utf8(versions->itemText(i)), std::string(GameVersionItems[std::size_t(i)]));
    versions->setCurrentIndex(versions->findText(QStringLiteral("Rome Total War 1.5")));
    QCOMPARE(form_->ReadSheet().GameVersion, 2);
    versions->setCurrentIndex(5);
    QCOMPARE(form_->ReadSheet().GameVersion, 5);
}

void MainWindowTest::memoLineRule_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("empty") << QString() << QStringList{};
    QTest::newRow("final break not counted") << QStringLiteral("a\nb\n") << QStringList{"a", "b"};
    QTest::newRow("empty line before the final break stays") << QStringLiteral("a\n\n") << QStringList{"a", ""};
    QTest::newRow("only a break") << QStringLiteral("\n") << QStringList{""};
    QTest::newRow("no final break") << QStringLiteral("a\n\nb") << QStringList{"a", "", "b"};
    QTest::newRow("long line cut at 4096") << QString(5000, QLatin1Char('z')) << QStringList{QString(4096, QLatin1Char('z'))};
    QTest::newRow("characters, not bytes") << QString(5000, QChar(0x0436)) << QStringList{QString(4096, QChar(0x0436))};
}

void MainWindowTest::memoLineRule()
{
    QFETCH(QString, text);
    QFETCH(QStringList, lines);
    form_->Memo2->setPlainText(text);
    form_->Memo3->setPlainText(text);
    std::vector<std::string> expected;
    for (const QString& line : lines)
        expected.push_back(Utf8(line));
    const TUnitSheet sheet = form_->ReadSheet();
    QCOMPARE(sheet.UnitDescrLines, expected);
    QCOMPARE(sheet.UnitTextLines, expected);
}

void MainWindowTest::typedLinesInTheMemo()
{
    form_->Memo2->setFocus();
    QTest::keyClicks(form_->Memo2, QStringLiteral("first"));
    QTest::keyClick(form_->Memo2, Qt::Key_Return);
    form_->Memo2->insertPlainText(QStringLiteral("  второй"));
    QTest::keyClick(form_->Memo2, Qt::Key_Return);
    QTest::keyClick(form_->Memo2, Qt::Key_Tab); // moves the focus on, types nothing
    QCOMPARE(form_->ReadSheet().UnitDescrLines, (std::vector<std::string>{"first", Utf8(QStringLiteral("  второй"))}));
    QCOMPARE(QApplication::focusWidget(), form_->Memo3);
}

void MainWindowTest::failuresReachTheErrorBox_data()
{
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("model");
    QTest::addColumn<bool>("halfCardRow");
    QTest::addColumn<QString>("shown");
    QTest::newRow("empty output path") << QString() << QString() << false << QStringLiteral("Cannot create file ");
    QTest::newRow("output folder missing") << QStringLiteral("@/no/such/folder/x.quorin") << QString() << false
                                           << QStringLiteral("Cannot create file @/no/such/folder/x.quorin.");
    QTest::newRow("no model file chosen") << QStringLiteral("@/unit.quorin") << QString() << false << QStringLiteral("Cannot open file ");
    QTest::newRow("model file missing") << QStringLiteral("@/unit.quorin") << QStringLiteral("@/missing.cas") << false
                                        << QStringLiteral("Cannot open file @/missing.cas.");
    QTest::newRow("card row without its #unit card") << QStringLiteral("@/unit.quorin") << QStringLiteral("@/missing.cas") << true
                                                     << QStringLiteral("List index out of bounds (1)");
}

void MainWindowTest::failuresReachTheErrorBox()
{
    QFETCH(QString, output);
    QFETCH(QString, model);
    QFETCH(bool, halfCardRow);
    QFETCH(QString, shown);
    const QString dir = dir_->path();
    output.replace(QLatin1Char('@'), dir);
    model.replace(QLatin1Char('@'), dir);
    shown.replace(QLatin1Char('@'), dir);
    const QString card = WriteFile(dir + QStringLiteral("/info.tga"), "card");
    form_->Edit8->setText(model);
    if (halfCardRow)
        form_->AppendCardRow({"romans_julii", Utf8(card), std::nullopt});
    form_->Edit10->setText(output);
    form_->Edit1->setText(QStringLiteral("kept"));

    const TBoxSeen seen = ClickAndReadBox(form_->SpeedButton13);
    QCOMPARE(seen.Kind, QStringLiteral("error"));
    QCOMPARE(seen.Text, shown);
    QCOMPARE(seen.Icon, QMessageBox::Critical);
    QCOMPARE(seen.Title, qobject_cast<TApplication*>(QCoreApplication::instance())->Title());
    // The window and the target stay as they were.
    QCOMPARE(form_->Edit1->text(), QStringLiteral("kept"));
    QCOMPARE(form_->Edit10->text(), output);
    QVERIFY(!QFileInfo::exists(output) || output.isEmpty());
}

void MainWindowTest::runningOutOfMemoryReachesTheErrorBox()
{
    QString text;
    OnNextModal<QMessageBox>([&text](QMessageBox* box) {
        text = box->text();
        box->accept();
    });
    RunHandler([] { throw std::bad_alloc(); });
    QCOMPARE(text, QStringLiteral("Out of memory.")); // the box ends a message with a full stop
}

void MainWindowTest::buildFromTheWindowReadsBack()
{
    const QString dir = dir_->path();
    const QByteArray modelBytes(5000, 'm');
    const QString model = WriteFile(dir + QStringLiteral("/hastati.cas"), modelBytes);
    const QString texture = WriteFile(dir + QStringLiteral("/hastati.dds"), "DDS texture");
    form_->Edit8->setText(model);
    form_->AppendTextureRow({"romans_julii", Utf8(texture)});
    form_->Edit1->setText(QStringLiteral("Гастаты"));
    form_->Edit2->setText(QStringLiteral("RTR"));
    form_->Edit6->setText(QStringLiteral(" comment "));
    form_->ComboBox1->setCurrentIndex(2);
    form_->Memo2->setPlainText(QStringLiteral("type hastati\n\nsoldier x\n"));
    form_->Memo3->setPlainText(QStringLiteral("{hastati}Гастаты"));
    const QString output = dir + QStringLiteral("/out/hastati.quorin");
    QDir().mkpath(dir + QStringLiteral("/out"));
    form_->Edit10->setText(output);

    const TBoxSeen seen = ClickAndReadBox(form_->SpeedButton13);
    QCOMPARE(seen.Kind, QStringLiteral("information"));
    QCOMPARE(seen.Title, QStringLiteral("Information"));
    QCOMPARE(seen.Text, QStringLiteral("Создание пака hastati.quorin завершено"));

    const TPackage package = ReadPackage(Utf8(output));
    QCOMPARE(package.UnitName, Utf8(QStringLiteral("Гастаты")));
    QCOMPARE(package.SourceMod, std::string("RTR"));
    QVERIFY(package.UnitAuthor.empty());
    QCOMPARE(package.Comment, std::string(" comment "));
    QCOMPARE(package.GameVersion, 2);
    QCOMPARE(package.Model, TBytes(modelBytes.begin(), modelBytes.end()));
    QCOMPARE(package.TextureRows.size(), std::size_t(1));
    QCOMPARE(package.TextureRows[0].Faction, std::string("romans_julii"));
    QCOMPARE(package.UnitDescrLines, (std::vector<std::string>{"type hastati", "", "soldier x"}));
    QCOMPARE(package.UnitTextLines, (std::vector<std::string>{Utf8(QStringLiteral("{hastati}Гастаты"))}));
    QVERIFY(package.UiCardRows.empty());
    // The log: the checks' findings first, then each embedded file, then the result.
    QCOMPARE(form_->Gauge1->Progress(), 100);
    QStringList rows;
    for (int i = 0; i < form_->List1->count(); ++i)
        rows << form_->List1->item(i)->text();
    const int files = int(rows.size()) - 3;
    QVERIFY2(files > 0, qPrintable(rows.join(QLatin1Char('\n'))));
    QCOMPARE(rows.mid(files), (QStringList{QStringLiteral("Файл hastati.cas: ") + ByteCountText(5000),
                                           QStringLiteral("Файл hastati.dds: 11 байт"),
                                           QStringLiteral("Пак hastati.quorin создан: %1").arg(ByteCountText(QFileInfo(output).size()))}));
    QVERIFY2(rows.first().startsWith(QStringLiteral("Параметры модели: Модель не читается: Damaged model file hastati.cas "
                                                     "at byte 0: expected a version")),
             qPrintable(rows.first()));
    QVERIFY(!form_->List1->item(0)->icon().isNull());
}

void MainWindowTest::aLongBuildGreysThePagesAndKeepsTheWindow()
{
    // A model from a FIFO holds the build until the test writes it.
    const QString fifo = dir_->path() + QStringLiteral("/model.cas");
    QVERIFY(::mkfifo(fifo.toLocal8Bit().constData(), 0600) == 0);
    form_->Edit8->setText(fifo);
    form_->Edit10->setText(dir_->path() + QStringLiteral("/long.quorin"));
    bool greyed = false, closed = true;
    QTimer::singleShot(600, form_.get(), [&] {
        greyed = !form_->GroupBox1->isEnabled() && !form_->GroupBox4->isEnabled() &&
                 !form_->SpeedButton13->isEnabled() && !form_->OpenButton->isEnabled() && form_->List1->isEnabled();
        closed = !form_->close();
        QFile writer(fifo);
        QVERIFY(writer.open(QIODevice::WriteOnly));
        writer.write(QByteArray(3000, 'm'));
    });
    const TBoxSeen seen = ClickAndReadBox(form_->SpeedButton13);
    QCOMPARE(seen.Kind, QStringLiteral("information"));
    QVERIFY(greyed);
    QVERIFY2(closed, "closing waits for the build");
    QVERIFY(form_->GroupBox1->isEnabled());
    QVERIFY(form_->SpeedButton13->isEnabled());
    QCOMPARE(form_->List1->item(form_->List1->count() - 2)->text(),
             QStringLiteral("Файл model.cas: ") + ByteCountText(3000));
    QCOMPARE(ReadPackage(Utf8(form_->Edit10->text())).Model.size(), std::size_t(3000));
}

void MainWindowTest::aQuickBuildLeavesNothingGreyed()
{
    const QString dir = dir_->path();
    form_->Edit8->setText(WriteFile(dir + QStringLiteral("/m.cas"), "model"));
    form_->Edit10->setText(dir + QStringLiteral("/quick.quorin"));
    bool greyedUnderTheBox = true;
    OnNextModal<TMessageForm>([&](TMessageForm* box) {
        QTest::qWait(500); // longer than a build may take before the pages grey
        greyedUnderTheBox = !form_->SpeedButton13->isEnabled() || !form_->GroupBox1->isEnabled();
        box->accept();
    });
    QTest::mouseClick(form_->SpeedButton13, Qt::LeftButton);
    QVERIFY(!greyedUnderTheBox);
    QVERIFY(form_->SpeedButton13->isEnabled());
    QVERIFY(form_->Edit10->isEnabled());
}

void MainWindowTest::byteCountsInBothLanguages()
{
    const struct {
        qint64 Count;
        const char* Text;
    } cases[] = {{0, "0 байт"}, {1, "1 байт"}, {2, "2 байта"}, {4, "4 байта"}, {5, "5 байт"}, {11, "11 байт"},
                 {12, "12 байт"}, {21, "21 байт"}, {22, "22 байта"}, {111, "111 байт"}, {1024, "1\u00A0024 байта"}};
    for (const auto& c : cases)
        QCOMPARE(ByteCountText(c.Count), QString::fromUtf8(c.Text));
    QCOMPARE(ByteCountText(1, TLanguage::English), QStringLiteral("1 byte"));
    QCOMPARE(ByteCountText(1024, TLanguage::English), QStringLiteral("1,024 bytes"));
}

void MainWindowTest::logRowsLeadToTheirPagesAndFailuresEndTheLog()
{
    form_->Edit10->setText(QString()); // the build fails creating its output
    form_->AppendCardRow({"romans_julii", "", std::nullopt});
    const TBoxSeen seen = ClickAndReadBox(form_->SpeedButton13);
    QCOMPARE(seen.Kind, QStringLiteral("error"));
    QListWidget* log = form_->List1;
    QVERIFY(log->count() > 2);
    QCOMPARE(log->item(log->count() - 1)->text(), QStringLiteral("Пак не создан: Cannot create file "));
    QCOMPARE(form_->Gauge1->Progress(), 0);
    // Every page a finding names comes to the front on a double-click.
    QSet<QString> pagesShown;
    for (int i = 0; i < log->count() - 1; ++i) {
        QListWidgetItem* row = log->item(i);
        form_->GroupBox6->raise();
        log->setCurrentItem(row);
        const QRect at = log->visualItemRect(row);
        // As a hand does it: the press that picks the row, then the double-click.
        QTest::mouseClick(log->viewport(), Qt::LeftButton, {}, at.center());
        QTest::mouseDClick(log->viewport(), Qt::LeftButton, {}, at.center());
        const QString front = PageOrder(*form_).constLast();
        QVERIFY2(row->text().startsWith(form_->findChild<QGroupBox*>(front)->title().trimmed() + QLatin1Char(':')),
                 qPrintable(front + QLatin1String(" / ") + row->text()));
        pagesShown << front;
    }
    QVERIFY(pagesShown.contains(QStringLiteral("GroupBox1"))); // no unit name
    QVERIFY(pagesShown.contains(QStringLiteral("GroupBox4"))); // the card row without its #unit card
}

void MainWindowTest::completionNamesTheFileWithoutFolder_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("named");
    QTest::addColumn<QString>("written");
    QTest::newRow("no folder: the whole path") << "plain.quorin" << "plain.quorin" << "plain.quorin";
    QTest::newRow("relative folders") << "sub/dir/lancers.quorin" << "lancers.quorin" << "sub/dir/lancers.quorin";
    QTest::newRow("no extension is added") << "sub/dir/noext" << "noext" << "sub/dir/noext";
}

void MainWindowTest::completionNamesTheFileWithoutFolder()
{
    QFETCH(QString, typed);
    QFETCH(QString, named);
    QFETCH(QString, written);
    const QString dir = dir_->path();
    QDir().mkpath(dir + QStringLiteral("/sub/dir"));
    const QString model = WriteFile(dir + QStringLiteral("/m.cas"), "model");
    form_->Edit8->setText(model);
    const QString previous = QDir::currentPath();
    QDir::setCurrent(dir); // a relative path is taken from the current folder
    form_->Edit10->setText(typed);
    const TBoxSeen seen = ClickAndReadBox(form_->SpeedButton13);
    QDir::setCurrent(previous);
    QCOMPARE(seen.Text, QStringLiteral("Создание пака %1 завершено").arg(named));
    QVERIFY(QFileInfo::exists(dir + QLatin1Char('/') + written));
    QVERIFY(!QFileInfo::exists(dir + QLatin1Char('/') + written + QStringLiteral(".quorin")));
}

void MainWindowTest::gaugeShowsZeroPercentAndLogIsEmpty()
{
    TGauge* gauge = form_->findChild<TGauge*>(QStringLiteral("Gauge1"));
    QVERIFY(gauge);
    QCOMPARE(gauge->geometry(), QRect(200, 90, 345, 17));
    QCOMPARE(gauge->MinValue(), 0);
    QCOMPARE(gauge->MaxValue(), 100);
    QCOMPARE(gauge->PercentText(), QStringLiteral("0%"));
    const QImage shot = gauge->grab().toImage();
    QCOMPARE(shot.pixelColor(0, 0), QColor(Qt::black));
    QCOMPARE(shot.pixelColor(344, 16), QColor(Qt::black));
    QCOMPARE(shot.pixelColor(3, 8), QColor(Qt::white));
    int dark = 0, filled = 0;
    for (int y = 1; y < 16; ++y)
        for (int x = 1; x < 344; ++x) {
            const QColor c = shot.pixelColor(x, y);
            dark += c.lightness() < 128;
            filled += c == QColor(255, 208, 66);
        }
    QVERIFY(dark > 10); // the text, in the inverse of white
    QCOMPARE(filled, 0);

    gauge->SetProgress(50); // the fill, and the text inverted over it
    const QImage half = gauge->grab().toImage();
    QCOMPARE(half.pixelColor(3, 8), QColor(255, 208, 66));
    QCOMPARE(half.pixelColor(340, 8), QColor(Qt::white));

    QListWidget* log = form_->findChild<QListWidget*>(QStringLiteral("List1"));
    QVERIFY(log);
    QCOMPARE(log->geometry(), QRect(16, 152, 529, 353));
    QCOMPARE(log->count(), 0);
    log->addItem(QStringLiteral("row"));
    QCOMPARE(log->sizeHintForRow(0), 16);
    delete log->takeItem(0);
    QCOMPARE(form_->Label19->text(), QStringLiteral("Лог"));
    QCOMPARE(form_->SpeedButton13->text(), QStringLiteral("Начать создание"));
    QCOMPARE(form_->SpeedButton13->Glyph().size(), QSize(16, 16));
    QCOMPARE(form_->SpeedButton12->text(), QStringLiteral("Обзор..."));
    QCOMPARE(form_->SpeedButton12->Glyph().size(), QSize(16, 16));
    QCOMPARE(form_->Edit10->geometry(), QRect(16, 48, 425, 22));
}

void MainWindowTest::saveDialogSetUp()
{
    QFileDialog* dialog = form_->SaveDialog();
    QCOMPARE(form_->findChild<QFileDialog*>(QStringLiteral("SavDlg")), dialog);
    QCOMPARE(form_->SaveDialog(), dialog); // made once, kept
    QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptSave);
    QCOMPARE(dialog->nameFilters(), QStringList{QStringLiteral("Quorin Package (*.quorin)")});
    QCOMPARE(dialog->defaultSuffix(), QStringLiteral("quorin"));
    QVERIFY(dialog->testOption(QFileDialog::DontUseNativeDialog));
    QVERIFY(dialog->testOption(QFileDialog::DontConfirmOverwrite));
    QVERIFY(dialog->testOption(QFileDialog::HideNameFilterDetails));
    // Qt's own texts in the window's language.
    auto* buttons = dialog->findChild<QDialogButtonBox*>();
    QVERIFY(buttons);
    QCOMPARE(buttons->button(QDialogButtonBox::Save)->text().remove(QLatin1Char('&')), QStringLiteral("Сохранить"));
}

void MainWindowTest::saveDialogChoosesRemembersAndCancels()
{
    const QString dir = dir_->path();
    QPoint placed;
    QSize size;
    OnNextModal<QFileDialog>([&](QFileDialog* dialog) {
        placed = dialog->pos();
        size = dialog->size();
        TypeFileName(dialog, dir + QStringLiteral("/hastati"));
    });
    QTest::mouseClick(form_->SpeedButton12, Qt::LeftButton);
    QCOMPARE(form_->Edit10->text(), dir + QStringLiteral("/hastati.quorin"));
    const QRect screen = form_->screen()->geometry();
    QCOMPARE(placed, QPoint(screen.left() + (screen.width() - size.width()) / 2, screen.top() + (screen.height() - size.height()) / 3));

    // Opens on the name chosen last; an existing file is taken without a
    // question (one would hold the dialog open and the test would not end).
    WriteFile(dir + QStringLiteral("/old.quorin"), "old");
    QString prefilled;
    OnNextModal<QFileDialog>([&](QFileDialog* dialog) {
        prefilled = dialog->selectedFiles().value(0);
        TypeFileName(dialog, QStringLiteral("old.quorin"));
    });
    QTest::mouseClick(form_->SpeedButton12, Qt::LeftButton);
    QCOMPARE(prefilled, dir + QStringLiteral("/hastati.quorin"));
    QCOMPARE(form_->Edit10->text(), dir + QStringLiteral("/old.quorin"));

    OnNextModal<QFileDialog>([](QFileDialog* dialog) { dialog->reject(); });
    QTest::mouseClick(form_->SpeedButton12, Qt::LeftButton);
    QCOMPARE(form_->Edit10->text(), dir + QStringLiteral("/old.quorin"));
}

} // namespace quorin

QUORIN_APP_TEST_MAIN(quorin::MainWindowTest)
#include "MainWindowTest.moc"
