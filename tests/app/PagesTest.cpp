// The model page and the UI cards page: their controls, the texture and
// card rows with their prompts and dialogs, the card previews, and a
// complete package built from the window.

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <optional>

#include "../dialogs/ModalDriver.h"
#include "../support/CasBuilder.h"
#include "../support/PictureFiles.h"
#include "AppTestMain.h"
#include "app/FactionList.h"
#include "app/FlatGroupBox.h"
#include "app/ModelView.h"
#include "app/Unit1.h"
#include "dialogs/AskText.h"
#include "dialogs/FileDialog.h"
#include "dialogs/Image.h"
#include "dialogs/MessageBox.h"
#include "dialogs/OpenPictureDialog.h"
#include "dialogs/SpeedButton.h"
#include "imaging/PictureModules.h"
#include "package/Build.h"
#include "package/Filler.h"

namespace quorin {

using namespace test;

namespace {

using Answer = std::optional<QString>; // nullopt: the user cancels

// Answers the next file dialogs in turn: a path is typed into the name
// field (an empty one types nothing) and confirmed with Enter. Each dialog is closed before the next
// answer waits, so a dialog shown twice gets both answers in order. opened
// receives the file each dialog opened on.
void AnswerFileDialogs(std::vector<Answer> answers, QStringList* opened = nullptr)
{
    if (answers.empty())
        return;
    OnNextModal<QFileDialog>([answers, opened](QFileDialog* dialog) {
        if (opened)
            opened->append(dialog->selectedFiles().value(0));
        if (answers.front()) {
            auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            // Typed where a user types: into the focused field of the active
            // dialog (Qt's dialog keeps other selected files otherwise).
            dialog->activateWindow();
            if (!QTest::qWaitForWindowActive(dialog))
                qWarning("the file dialog did not become active");
            name->setFocus();
            if (!answers.front()->isEmpty())
                name->setText(*answers.front());
            QTest::keyClick(name, Qt::Key_Return);
        } else {
            dialog->reject();
        }
        AnswerFileDialogs(std::vector<Answer>(answers.begin() + 1, answers.end()), opened);
    });
}

// Answers the faction prompt (typing the name, or cancelling), then the
// file dialogs.
void AnswerPromptThenFiles(Answer name, std::vector<Answer> files, QStringList* opened = nullptr, QString* prompt = nullptr)
{
    OnNextModal<TAskTextDialog>([=](TAskTextDialog* box) {
        if (prompt)
            *prompt = box->windowTitle() + QLatin1Char('|') + box->Prompt->text() + QLatin1Char('|') + box->Edit->text();
        if (name) {
            box->Edit->setText(*name);
            box->OKButton->click();
        } else {
            box->CancelButton->click();
        }
        AnswerFileDialogs(files, opened);
    });
}

// Closes every error box shown while it lives and keeps their texts.
class TErrorBoxes {
public:
    TErrorBoxes()
    {
        timer_.setInterval(2);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible())
                return;
            Texts << box->text();
            box->accept();
        });
        timer_.start();
    }
    QStringList Texts;

private:
    QTimer timer_;
};

QStringList RowTexts(const QTreeWidget& list)
{
    QStringList rows;
    for (int i = 0; i < list.topLevelItemCount(); ++i) {
        QStringList cells;
        for (int c = 0; c < list.columnCount(); ++c)
            cells << list.topLevelItem(i)->text(c);
        rows << cells.join(QLatin1Char('|'));
    }
    return rows;
}

QSize PictureSize(const TImage& image) { return {image.Picture().Width(), image.Picture().Height()}; }

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct TControl {
    const char* Name;
    const char* Caption; // null: none to check
    QRect Bounds;
};

} // namespace

class PagesTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void modelPageControls();
    void noTextLeavesItsPage();
    void factionListsLook();
    void theModelPageSaysWhatTheModelHolds();
    void modelFileChosenOrKept();
    void textureRows_data();
    void textureRows();
    void removingATextureRow();
    void renamingAFactionInPlace();
    void cardsPageControls();
    void addingACardRowShowsBothCards();
    void cardRowAdditions_data();
    void cardRowAdditions();
    void selectingShowsCardsAndRemovalKeepsThem();
    void aCardThatFailsShowsOneBoxAndKeepsThePreview();
    void previewsAreTransparentAndCutOff();
    void completePackageEqualsTheLibraryBuild();

private:
    QString Path(const QString& name) const { return dir_->filePath(name); }
    void Click(QAbstractButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<TForm1> form_;
};

void PagesTest::initTestCase() { StartPictureModules(); }

void PagesTest::init()
{
    dir_ = std::make_unique<QTemporaryDir>();
    form_ = test::ShowMainWindow();
}

void PagesTest::cleanup()
{
    QVERIFY(!QApplication::activeModalWidget());
    form_.reset();
    dir_.reset();
}

void PagesTest::modelPageControls()
{
    const TControl controls[] = {
        {"Label7", "Имя модели", QRect(21, 36, 81, 16)},
        {"Edit7", nullptr, QRect(128, 32, 425, 22)},
        {"Label8", "Файл модели (CAS, макс. полигонов):", QRect(21, 84, 256, 16)},
        {"Edit8", nullptr, QRect(24, 104, 425, 22)},
        {"SpeedButton7", "Обзор...", QRect(456, 104, 97, 22)},
        {"Label9", "Текстуры для фракций:", QRect(21, 156, 161, 16)},
        {"SpeedButton8", "Добавить...", QRect(328, 152, 113, 22)},
        {"SpeedButton9", "Удалить...", QRect(440, 152, 113, 22)},
        {"LV1", nullptr, QRect(24, 176, 529, 150)},
        {"Label10", "Скелеты:", QRect(21, 340, 64, 16)},
        {"Edit9", nullptr, QRect(24, 360, 529, 22)},
        {"CheckBox1", "нестандартные скелеты", QRect(359, 341, 194, 17)},
        {"Label12", "Описание модели из descr_model_battle.txt:", QRect(21, 388, 296, 16)},
        {"Memo1", nullptr, QRect(24, 408, 529, 105)},
    };
    for (const TControl& c : controls) {
        auto* widget = form_->GroupBox2->findChild<QWidget*>(QString::fromLatin1(c.Name));
        QVERIFY2(widget, c.Name);
        QCOMPARE(widget->parent(), form_->GroupBox2);
        if (qobject_cast<QLabel*>(widget)) {
            // Labels grow where the stand-in font is wider, never shrink.
            QCOMPARE(widget->pos(), c.Bounds.topLeft());
            QVERIFY(widget->width() >= c.Bounds.width());
            QCOMPARE(qobject_cast<QLabel*>(widget)->text(), QString::fromUtf8(c.Caption));
            continue;
        }
        if (c.Caption) {
            auto* button = qobject_cast<QAbstractButton*>(widget);
            QCOMPARE(button->text(), QString::fromUtf8(c.Caption));
        }
        if (qobject_cast<QCheckBox*>(widget)) { // never cut: wider when it must be, right edge kept
            QCOMPARE(widget->y(), c.Bounds.y());
            QCOMPARE(widget->geometry().right(), c.Bounds.right());
            QVERIFY(widget->width() >= c.Bounds.width());
            continue;
        }
        QCOMPARE(widget->geometry(), c.Bounds);
    }
    for (TSpeedButton* button : {form_->SpeedButton7, form_->SpeedButton8, form_->SpeedButton9}) {
        QCOMPARE(button->focusPolicy(), Qt::NoFocus);
        QVERIFY(button->autoRaise());
        const QImage glyph = button->Glyph().toImage();
        QCOMPARE(glyph.size(), QSize(16, 16));
        QCOMPARE(qAlpha(glyph.pixel(0, 15)), 0);
    }
    // The same doorway and bin as the cards page's buttons.
    QCOMPARE(form_->SpeedButton8->Glyph().toImage(), form_->SpeedButton10->Glyph().toImage());
    QCOMPARE(form_->SpeedButton9->Glyph().toImage(), form_->SpeedButton11->Glyph().toImage());
    QVERIFY(form_->SpeedButton7->Glyph().toImage() != form_->SpeedButton12->Glyph().toImage());
    QVERIFY(!form_->CheckBox1->isChecked());
    QCOMPARE(form_->Memo1->lineWrapMode(), QPlainTextEdit::NoWrap);
    QCOMPARE(form_->Memo1->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);

    // The page's values reach the sheet; the memo by the line rule.
    form_->Edit7->setText(QStringLiteral("greek_hoplite"));
    form_->Edit9->setText(QStringLiteral(" fs_hoplite, fs_swordsman "));
    form_->CheckBox1->setChecked(true);
    form_->Memo1->setPlainText(QStringLiteral("type hoplite\n\nskeleton fs_hoplite\n"));
    const TUnitSheet sheet = form_->ReadSheet();
    QCOMPARE(sheet.ModelName, std::string("greek_hoplite"));
    QCOMPARE(sheet.Skeletons, std::string(" fs_hoplite, fs_swordsman "));
    QVERIFY(sheet.CustomSkeletons);
    QCOMPARE(sheet.ModelBattleLines, (std::vector<std::string>{"type hoplite", "", "skeleton fs_hoplite"}));
}

void PagesTest::noTextLeavesItsPage()
{
    for (QWidget* page : {static_cast<QWidget*>(form_->GroupBox2), static_cast<QWidget*>(form_->GroupBox4)})
        for (const QLabel* label : page->findChildren<QLabel*>()) {
            const QRect shown = label->geometry().translated(label->parentWidget()->mapTo(page, QPoint()));
            QVERIFY2(page->rect().contains(shown), qPrintable(label->objectName()));
            QVERIFY2(QFontMetrics(label->font()).horizontalAdvance(label->text()) <= label->width(), qPrintable(label->objectName()));
        }
    QVERIFY(form_->CheckBox1->geometry().right() < form_->GroupBox2->width());
}

void PagesTest::theModelPageSaysWhatTheModelHolds()
{
    const std::vector<std::uint8_t> model = test::BuildCas(test::SmallCasRecipe()).Bytes;
    const QString good = WriteBytes(Path("good.cas"), Bytes(model.begin(), model.end()));
    const QString bad = WriteBytes(Path("bad.cas"), Bytes(model.begin(), model.begin() + 40));
    const QRect free(24, 126, 529, 26); // between the model file's row and the textures' row
    QVERIFY(free.contains(form_->ModelInfo->geometry()));
    QVERIFY(free.contains(form_->ModelViewButton->geometry()));
    QCOMPARE(form_->ModelViewButton->text(), QStringLiteral("Просмотр..."));
    QCOMPARE(form_->ModelViewButton->Glyph().size(), QSize(16, 16));
    QVERIFY(QFontMetrics(form_->ModelViewButton->font()).horizontalAdvance(form_->ModelViewButton->text()) + 16 + 4 <=
            form_->ModelViewButton->width() - 4); // the caption whole beside its glyph
    QVERIFY(!form_->ModelViewButton->isEnabled());

    const struct {
        QString Path;
        bool Readable;
    } cases[] = {{good, true}, {bad, false}, {Path("missing.cas"), false}, {QString(), false}};
    for (const auto& c : cases) {
        form_->Edit8->setText(c.Path);
        form_->UpdateModelInfo(); // as the pause after typing does
        QCOMPARE(form_->ModelViewButton->isEnabled(), c.Readable);
        QCOMPARE(form_->ModelInfo->text().isEmpty(), c.Path.isEmpty());
        QCOMPARE(form_->ModelInfo->toolTip(), c.Path.isEmpty() ? QString() : ModelSummary(c.Path).Text);
    }
    // Typing reads the model once the typing pauses.
    form_->Edit8->setText(good);
    QTRY_VERIFY(form_->ModelViewButton->isEnabled());
}

void PagesTest::factionListsLook()
{
    const struct {
        TFactionList* List;
        QStringList Columns;
        QList<int> Widths;
    } lists[] = {
        {form_->LV1, {"Фракция", "Имя файла текстуры"}, {150, 340}},
        {form_->LV2, {"Фракция", "Файл карты INFO", "Файл карты #unit"}, {120, 200, 200}},
    };
    for (const auto& l : lists) {
        QCOMPARE(l.List->columnCount(), l.Columns.size());
        for (int c = 0; c < l.Columns.size(); ++c) {
            QCOMPARE(l.List->headerItem()->text(c), l.Columns[c]);
            QCOMPARE(l.List->header()->sectionSize(c), l.Widths[c]);
        }
        QCOMPARE(l.List->font().pixelSize(), 9);
        QVERIFY(l.List->font().bold());
        QCOMPARE(l.List->font().families().value(0), QStringLiteral("Tahoma"));
        QVERIFY(!l.List->rootIsDecorated());
        QCOMPARE(l.List->selectionMode(), QAbstractItemView::SingleSelection);
        QCOMPARE(l.List->selectionBehavior(), QAbstractItemView::SelectRows);
        QVERIFY(!l.List->isSortingEnabled());
        QVERIFY(!l.List->header()->sectionsClickable());
        QVERIFY(l.List->topLevelItemCount() == 0);
    }
}

void PagesTest::modelFileChosenOrKept()
{
    const QString model = WriteBytes(Path("hastati.cas"), {'c', 'a', 's'});
    form_->Edit8->setText(QStringLiteral("typed/by/hand.cas"));
    QString filter;
    OnNextModal<QFileDialog>([&](QFileDialog* dialog) {
        filter = dialog->objectName() + QLatin1Char('|') + dialog->selectedNameFilter();
        dialog->reject();
    });
    Click(form_->SpeedButton7);
    QCOMPARE(filter, QStringLiteral("OpnCas|Модели CAS (*.cas)"));
    QCOMPARE(form_->Edit8->text(), QStringLiteral("typed/by/hand.cas"));

    AnswerFileDialogs({model});
    Click(form_->SpeedButton7);
    QCOMPARE(form_->Edit8->text(), model);
    QCOMPARE(form_->ReadSheet().ModelFile, model.toStdString());

    // Opens on the file chosen last.
    QStringList opened;
    AnswerFileDialogs({std::nullopt}, &opened);
    Click(form_->SpeedButton7);
    QCOMPARE(opened, QStringList{model});
}

void PagesTest::textureRows_data()
{
    QTest::addColumn<Answer>("name");
    QTest::addColumn<bool>("fileChosen");
    QTest::addColumn<QString>("faction"); // of the row added, if any
    QTest::newRow("typed name") << Answer(QStringLiteral("gauls")) << true << "gauls";
    QTest::newRow("prompt cancelled: the default") << Answer() << true << "romans_julii";
    QTest::newRow("name cleared") << Answer(QString()) << true << "";
    QTest::newRow("dialog cancelled") << Answer(QStringLiteral("gauls")) << false << "";
}

void PagesTest::textureRows()
{
    QFETCH(Answer, name);
    QFETCH(bool, fileChosen);
    QFETCH(QString, faction);
    const QString texture = WriteDds(Path("gauls.dds"), 4, 4, Solid(0xFF00FF00));
    form_->AppendTextureRow({"carthage", "first.dds"});
    QString prompt;
    AnswerPromptThenFiles(name, {fileChosen ? Answer(texture) : Answer()}, nullptr, &prompt);
    Click(form_->SpeedButton8);
    QCOMPARE(prompt, QStringLiteral("Имя фракции|Впишите имя фракции, для которой предпологается текстура|romans_julii"));
    QStringList expected{QStringLiteral("carthage|first.dds")};
    if (fileChosen)
        expected << faction + QLatin1Char('|') + texture;
    QCOMPARE(RowTexts(*form_->LV1), expected);
    QVERIFY(!form_->LV1->SelectedRow()); // the new row is not selected
    QCOMPARE(form_->ReadSheet().TextureRows.size(), std::size_t(expected.size()));
    QCOMPARE(form_->ReadSheet().TextureRows.back().TextureFile, expected.back().section(QLatin1Char('|'), 1).toStdString());
}

void PagesTest::removingATextureRow()
{
    for (const char* f : {"a", "b", "c", "b"})
        form_->AppendTextureRow({f, std::string(f) + ".dds"});
    Click(form_->SpeedButton9); // nothing selected: nothing happens
    QCOMPARE(RowTexts(*form_->LV1).size(), 4);

    // Selected by a click, then the focus goes elsewhere: the selection is
    // no longer drawn, yet "Удалить..." removes exactly that row.
    QTreeWidgetItem* second = form_->LV1->topLevelItem(1);
    QTest::mouseClick(form_->LV1->viewport(), Qt::LeftButton, {}, form_->LV1->visualItemRect(second).center());
    QCOMPARE(form_->LV1->SelectedRow(), second);
    const QRgb highlight = form_->LV1->palette().color(QPalette::Active, QPalette::Highlight).rgb();
    auto drawnSelected = [&] {
        const QImage shot = form_->LV1->viewport()->grab().toImage();
        const QRect row = form_->LV1->visualItemRect(second);
        const QRgb seen = shot.pixel(row.right() - 2, row.center().y());
        // The style may shade the highlight slightly.
        return std::abs(qRed(seen) - qRed(highlight)) + std::abs(qGreen(seen) - qGreen(highlight)) +
                   std::abs(qBlue(seen) - qBlue(highlight)) < 24;
    };
    form_->SpeedButton3->click();
    form_->LV1->setFocus();
    QVERIFY(drawnSelected());
    form_->Edit7->setFocus();
    QVERIFY(!form_->LV1->hasFocus());
    QVERIFY(!drawnSelected()); // hidden while the list has no focus
    Click(form_->SpeedButton9);
    QCOMPARE(RowTexts(*form_->LV1), (QStringList{"a|a.dds", "c|c.dds", "b|b.dds"}));
    // Repeated factions are recorded as often as they appear.
    QCOMPARE(form_->ReadSheet().TextureRows.size(), std::size_t(3));
}

void PagesTest::renamingAFactionInPlace()
{
    form_->AppendTextureRow({"romans_julii", "t.dds"});
    TFactionList* list = form_->LV1;
    QTreeWidgetItem* row = list->topLevelItem(0);
    const QPoint name = list->visualRect(list->indexFromItem(row, 0)).center();
    const QPoint file = list->visualRect(list->indexFromItem(row, 1)).center();
    auto editor = [list] { return list->viewport()->findChild<QLineEdit*>(); };

    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, name); // selects
    QTest::qWait(QApplication::doubleClickInterval() + 50);
    QVERIFY(!editor() || !editor()->isVisible());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, file); // the file column is not edited
    QTest::qWait(QApplication::doubleClickInterval() + 50);
    QVERIFY(!editor() || !editor()->isVisible());

    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, name);
    QTRY_VERIFY(editor() && editor()->isVisible());
    editor()->setText(QStringLiteral("romans_brutii"));
    QTest::keyClick(editor(), Qt::Key_Return);
    QTRY_COMPARE(form_->ReadSheet().TextureRows.at(0).Faction, std::string("romans_brutii")); // Qt commits queued

    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, name);
    QTRY_VERIFY(editor() && editor()->isVisible());
    editor()->setText(QStringLiteral("dropped"));
    QTest::keyClick(editor(), Qt::Key_Escape); // cancelling keeps the old name
    QTRY_VERIFY(!editor() || !editor()->isVisible());
    QCOMPARE(form_->ReadSheet().TextureRows.at(0).Faction, std::string("romans_brutii"));
}

void PagesTest::cardsPageControls()
{
    const TControl onPage[] = {
        {"Label17", "Иконки для фракций:", QRect(13, 324, 144, 16)},
        {"SpeedButton10", "Добавить...", QRect(320, 320, 113, 22)},
        {"SpeedButton11", "Удалить...", QRect(432, 320, 113, 22)},
        {"GroupBox5", nullptr, QRect(16, 24, 529, 273)},
        {"LV2", nullptr, QRect(16, 344, 529, 150)},
    };
    for (const TControl& c : onPage) {
        auto* widget = form_->GroupBox4->findChild<QWidget*>(QString::fromLatin1(c.Name));
        QVERIFY2(widget && widget->parent() == form_->GroupBox4, c.Name);
        QCOMPARE(widget->pos(), c.Bounds.topLeft());
        QVERIFY(widget->width() >= c.Bounds.width());
        if (!qobject_cast<QLabel*>(widget))
            QCOMPARE(widget->geometry(), c.Bounds);
    }
    QCOMPARE(form_->GroupBox5->title(), QStringLiteral(" Предпросмотр "));
    QCOMPARE(form_->GroupBox5->font().pixelSize(), 13);
    // Inside the preview box, in creation order (later ones drawn above).
    const TControl inBox[] = {
        {"Bevel2", nullptr, QRect(336, 88, 65, 81)},  {"Bevel1", nullptr, QRect(88, 32, 177, 225)},
        {"Label15", "UNIT_INFO:", QRect(96, 16, 69, 16)}, {"Label16", "#UNIT:", QRect(336, 72, 42, 16)},
        {"ImgP1", nullptr, QRect(96, 40, 160, 210)}, {"ImgP2", nullptr, QRect(344, 96, 48, 64)},
    };
    QStringList order;
    for (const QObject* child : form_->GroupBox5->children())
        if (child->isWidgetType())
            order << child->objectName();
    QCOMPARE(order, (QStringList{"Bevel2", "Bevel1", "Label15", "Label16", "ImgP1", "ImgP2"}));
    for (const TControl& c : inBox) {
        auto* widget = form_->GroupBox5->findChild<QWidget*>(QString::fromLatin1(c.Name));
        QCOMPARE(widget->pos(), c.Bounds.topLeft());
        if (auto* label = qobject_cast<QLabel*>(widget))
            QCOMPARE(label->text(), QString::fromUtf8(c.Caption));
        else
            QCOMPARE(widget->size(), c.Bounds.size());
        if (auto* bevel = qobject_cast<QFrame*>(widget); bevel && !qobject_cast<QLabel*>(widget))
            QCOMPARE(bevel->frameShadow(), QFrame::Sunken);
    }
    for (TImage* preview : {form_->ImgP1, form_->ImgP2}) {
        QVERIFY(!preview->Stretch() && !preview->Proportional() && !preview->Center());
        QVERIFY(preview->Transparent());
        QCOMPARE(PictureSize(*preview), QSize(0, 0));
    }
}

void PagesTest::addingACardRowShowsBothCards()
{
    const QString info = WriteTga(Path("info.tga"), 160, 210, Solid(0xFF2040FF));
    const QString unit = WriteTga(Path("unit.tga"), 48, 64, Solid(0xFFFF4020));
    QStringList opened;
    QString prompt;
    TErrorBoxes boxes;
    AnswerPromptThenFiles(QStringLiteral("gauls"), {info, unit}, &opened, &prompt);
    Click(form_->SpeedButton10);
    QCOMPARE(prompt, QStringLiteral("Имя фракции|Впишите имя фракции, для которой предпологается иконка|romans_julii"));
    QCOMPARE(opened.value(1), info); // the second dialog opens on the first card
    QCOMPARE(RowTexts(*form_->LV2), QStringList{"gauls|" + info + "|" + unit});
    QCOMPARE(form_->LV2->SelectedRow(), form_->LV2->topLevelItem(0));
    QCOMPARE(PictureSize(*form_->ImgP1), QSize(160, 210));
    QCOMPARE(PictureSize(*form_->ImgP2), QSize(48, 64));
    QVERIFY(boxes.Texts.isEmpty());
    auto* types = form_->CardDialog()->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    QCOMPARE(types->itemText(0), QStringLiteral("Графика TGA (*.tga)"));
    const TUnitSheet sheet = form_->ReadSheet();
    QCOMPARE(sheet.UiCardRows.size(), std::size_t(1));
    QCOMPARE(sheet.UiCardRows[0].UnitCardFile, std::optional<std::string>(unit.toStdString()));

    // Open at once in the second dialog: the INFO card serves as both.
    AnswerPromptThenFiles(std::nullopt, {info, Answer(QString())});
    Click(form_->SpeedButton10);
    QCOMPARE(RowTexts(*form_->LV2).value(1), "romans_julii|" + info + "|" + info);
    QCOMPARE(form_->LV2->SelectedRow(), form_->LV2->topLevelItem(1));
    QCOMPARE(PictureSize(*form_->ImgP2), QSize(160, 210));
}

void PagesTest::cardRowAdditions_data()
{
    QTest::addColumn<bool>("listHasARow");
    QTest::addColumn<std::vector<Answer>>("files");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<QSize>("info"); // the previews afterwards
    QTest::addColumn<QSize>("unit");
    const QStringList none;
    QTest::newRow("first dialog cancelled, empty list") << false << std::vector<Answer>{Answer()} << none << none << QSize(0, 0) << QSize(0, 0);
    QTest::newRow("first dialog cancelled: the last row is shown")
        << true << std::vector<Answer>{Answer()} << QStringList{"old|@old_info.tga|@old_unit.tga"} << none << QSize(20, 30) << QSize(10, 12);
    QTest::newRow("second dialog cancelled: one box, #unit preview kept")
        << true << std::vector<Answer>{Answer("@info.tga"), Answer()}
        << QStringList{"old|@old_info.tga|@old_unit.tga", "gauls|@info.tga|"} << QStringList{"List index out of bounds (1)"}
        << QSize(160, 210) << QSize(0, 0);
}

void PagesTest::cardRowAdditions()
{
    QFETCH(bool, listHasARow);
    QFETCH(std::vector<Answer>, files);
    QFETCH(QStringList, rows);
    QFETCH(QStringList, boxes);
    QFETCH(QSize, info);
    QFETCH(QSize, unit);
    const QString at = dir_->path() + QLatin1Char('/');
    WriteTga(Path("info.tga"), 160, 210, Solid(0xFF000080));
    WriteTga(Path("old_info.tga"), 20, 30, Solid(0xFF000080));
    WriteTga(Path("old_unit.tga"), 10, 12, Solid(0xFF000080));
    if (listHasARow)
        form_->AppendCardRow({"old", (at + "old_info.tga").toStdString(), (at + "old_unit.tga").toStdString()});
    for (Answer& file : files)
        if (file)
            file->replace(QLatin1Char('@'), at);
    rows.replaceInStrings(QStringLiteral("@"), at);

    TErrorBoxes seen;
    AnswerPromptThenFiles(QStringLiteral("gauls"), files);
    Click(form_->SpeedButton10);
    QCOMPARE(RowTexts(*form_->LV2), rows);
    QCOMPARE(seen.Texts, boxes);
    if (!rows.isEmpty())
        QCOMPARE(form_->LV2->SelectedRow(), form_->LV2->topLevelItem(static_cast<int>(rows.size()) - 1));
    QCOMPARE(PictureSize(*form_->ImgP1), info);
    QCOMPARE(PictureSize(*form_->ImgP2), unit);
    // A row without its #unit card is kept, and the build names it.
    if (!boxes.isEmpty())
        QVERIFY(!form_->ReadSheet().UiCardRows.back().UnitCardFile);
}

void PagesTest::selectingShowsCardsAndRemovalKeepsThem()
{
    const QString at = dir_->path() + QLatin1Char('/');
    WriteTga(Path("a_info.tga"), 20, 30, Solid(0xFF000080));
    WriteTga(Path("a_unit.tga"), 10, 12, Solid(0xFF000080));
    WriteTga(Path("b_info.tga"), 40, 50, Solid(0xFF000080));
    WriteTga(Path("b_unit.tga"), 14, 16, Solid(0xFF000080));
    form_->AppendCardRow({"a", (at + "a_info.tga").toStdString(), (at + "a_unit.tga").toStdString()});
    form_->AppendCardRow({"b", (at + "b_info.tga").toStdString(), (at + "b_unit.tga").toStdString()});
    TFactionList* list = form_->LV2;
    form_->SpeedButton5->click();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->topLevelItem(1)).center());
    QCOMPARE(PictureSize(*form_->ImgP1), QSize(40, 50));
    QCOMPARE(PictureSize(*form_->ImgP2), QSize(14, 16));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->topLevelItem(0)).center());
    QCOMPARE(PictureSize(*form_->ImgP1), QSize(20, 30));

    // A click below the rows unselects and leaves the previews.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(10, list->viewport()->height() - 5));
    QVERIFY(!list->SelectedRow());
    QCOMPARE(PictureSize(*form_->ImgP1), QSize(20, 30));
    Click(form_->SpeedButton11); // nothing selected: nothing removed
    QCOMPARE(list->topLevelItemCount(), 2);

    // Removing the shown row leaves its cards on screen.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->topLevelItem(0)).center());
    Click(form_->SpeedButton11);
    QCOMPARE(RowTexts(*list), QStringList{"b|" + at + "b_info.tga|" + at + "b_unit.tga"});
    QVERIFY(!list->SelectedRow());
    QCOMPARE(PictureSize(*form_->ImgP1), QSize(20, 30));
    QCOMPARE(PictureSize(*form_->ImgP2), QSize(10, 12));
}

void PagesTest::aCardThatFailsShowsOneBoxAndKeepsThePreview()
{
    const QString at = dir_->path() + QLatin1Char('/');
    WriteTga(Path("good_info.tga"), 20, 30, Solid(0xFF000080));
    WriteTga(Path("good_unit.tga"), 10, 12, Solid(0xFF000080));
    WriteColourMappedTga(Path("mapped.tga"));
    form_->AppendCardRow({"good", (at + "good_info.tga").toStdString(), (at + "good_unit.tga").toStdString()});
    form_->AppendCardRow({"missing", (at + "missing.tga").toStdString(), (at + "good_unit.tga").toStdString()});
    form_->AppendCardRow({"mapped", (at + "good_info.tga").toStdString(), (at + "mapped.tga").toStdString()});
    form_->AppendCardRow({"text", (at + "notes.txt").toStdString(), (at + "good_unit.tga").toStdString()});
    form_->LV2->SelectRow(form_->LV2->topLevelItem(0));

    const struct {
        int Row;
        QString Box;
    } cases[] = {
        {1, "Cannot open file " + at + "missing.tga."},
        {2, QStringLiteral("ColorMapped TGA unsupported.")},
        {3, QStringLiteral("Unknown picture file extension (.txt)")}, // ")" sorts before "."
    };
    for (const auto& c : cases) {
        form_->LV2->SelectRow(form_->LV2->topLevelItem(0));
        form_->ShowCardPreviews();
        TErrorBoxes seen;
        form_->LV2->SelectRow(form_->LV2->topLevelItem(c.Row));
        QCOMPARE(seen.Texts, QStringList{c.Box});
        // A failed INFO card keeps the preview and stops before the #unit card.
        QCOMPARE(PictureSize(*form_->ImgP1), QSize(20, 30));
        QCOMPARE(PictureSize(*form_->ImgP2), QSize(10, 12));
    }
}

void PagesTest::previewsAreTransparentAndCutOff()
{
    const QRgb blue = 0xFF0000FF, key = 0xFFFF0000;
    // Larger than its preview, with key-coloured pixels inside and at the
    // bottom left; the #unit card smaller than its preview.
    const QString info = WriteTga(Path("big.tga"), 200, 250, [&](int x, int y) {
        return (x == 0 && y == 249) || (x == 10 && y == 10) ? key : blue;
    });
    const QString unit = WriteTga(Path("small.tga"), 20, 30, [&](int x, int y) { return x == 0 && y == 29 ? key : blue; });
    form_->AppendCardRow({"f", info.toStdString(), unit.toStdString()});
    form_->SpeedButton5->click();
    form_->LV2->SelectRow(form_->LV2->topLevelItem(0));

    const QImage box = form_->GroupBox5->grab().toImage();
    const QPoint p1 = form_->ImgP1->pos(), p2 = form_->ImgP2->pos();
    auto at = [&](QPoint origin, int x, int y) { return box.pixel(origin.x() + x, origin.y() + y) & 0xFFFFFF; };
    QCOMPARE(at(p1, 0, 0), blue & 0xFFFFFF);
    QCOMPARE(at(p1, 159, 209), blue & 0xFFFFFF); // drawn to the preview's edge
    QCOMPARE(at(p1, 10, 10), 0xFFFFFFu);         // the key colour: the white page
    QCOMPARE(at(p1, 163, 100), 0xFFFFFFu);       // nothing beyond the bounds
    QCOMPARE(at(p1, 100, 212), 0xFFFFFFu);
    QCOMPARE(at(p2, 5, 5), blue & 0xFFFFFF); // the small card in the top-left corner
    QCOMPARE(at(p2, 0, 29), 0xFFFFFFu);
    QCOMPARE(at(p2, 30, 40), 0xFFFFFFu);
}

void PagesTest::completePackageEqualsTheLibraryBuild()
{
    const QString model = WriteBytes(Path("hoplite.cas"), Bytes(3000, 0x5A));
    const QString julii = WriteDds(Path("julii.dds"), 8, 8, Solid(0xFF102030));
    const QString brutii = WriteDds(Path("brutii.dds"), 4, 4, Solid(0xFF405060));
    const QString info1 = WriteTga(Path("info1.tga"), 160, 210, Solid(0xFF000080));
    const QString unit1 = WriteTga(Path("unit1.tga"), 48, 64, Solid(0xFF008000));
    const QString info2 = WriteTga(Path("info2.tga"), 16, 21, Solid(0xFF800000));
    const QString unit2 = WriteTga(Path("unit2.tga"), 8, 8, Solid(0xFF808000));

    // Filled in as a user would, page by page.
    form_->Edit1->setText(QStringLiteral("Гоплиты"));
    form_->Edit3->setText(QStringLiteral("author"));
    form_->ComboBox1->setCurrentIndex(4);
    form_->SpeedButton3->click();
    form_->Edit7->setText(QStringLiteral("greek_hoplite"));
    AnswerFileDialogs({model});
    Click(form_->SpeedButton7);
    AnswerPromptThenFiles(std::nullopt, {julii});
    Click(form_->SpeedButton8);
    AnswerPromptThenFiles(QStringLiteral("romans_brutii"), {brutii});
    Click(form_->SpeedButton8);
    form_->Edit9->setText(QStringLiteral("fs_hoplite"));
    form_->CheckBox1->setChecked(true);
    form_->Memo1->setPlainText(QStringLiteral("type greek_hoplite\nskeleton fs_hoplite\n"));
    form_->Memo2->setPlainText(QStringLiteral("type hoplite"));
    form_->Memo3->setPlainText(QStringLiteral("{hoplite}Гоплиты\n"));
    form_->SpeedButton5->click();
    AnswerPromptThenFiles(std::nullopt, {info1, unit1});
    Click(form_->SpeedButton10);
    AnswerPromptThenFiles(QStringLiteral("greek_cities"), {info2, unit2});
    Click(form_->SpeedButton10);
    const QString fromWindow = Path("window.quorin");
    form_->Edit10->setText(fromWindow);

    const std::uint32_t seed = FillerSeed;
    OnNextModal<TMessageForm>([](TMessageForm* box) { box->accept(); });
    Click(form_->SpeedButton13);

    TUnitSheet expected;
    expected.UnitName = QStringLiteral("Гоплиты").toStdString();
    expected.UnitAuthor = "author";
    expected.GameVersion = 4;
    expected.ModelName = "greek_hoplite";
    expected.ModelFile = model.toStdString();
    expected.TextureRows = {{"romans_julii", julii.toStdString()}, {"romans_brutii", brutii.toStdString()}};
    expected.Skeletons = "fs_hoplite";
    expected.CustomSkeletons = true;
    expected.ModelBattleLines = {"type greek_hoplite", "skeleton fs_hoplite"};
    expected.UnitDescrLines = {"type hoplite"};
    expected.UnitTextLines = {QStringLiteral("{hoplite}Гоплиты").toStdString()};
    expected.UiCardRows = {{"romans_julii", info1.toStdString(), unit1.toStdString()},
                           {"greek_cities", info2.toStdString(), unit2.toStdString()}};
    // What the window holds is the sheet above, row by row.
    const TUnitSheet held = form_->ReadSheet();
    QCOMPARE(held.TextureRows.size(), expected.TextureRows.size());
    for (std::size_t i = 0; i < held.TextureRows.size(); ++i) {
        QCOMPARE(held.TextureRows[i].Faction, expected.TextureRows[i].Faction);
        QCOMPARE(held.TextureRows[i].TextureFile, expected.TextureRows[i].TextureFile);
    }
    QCOMPARE(held.UiCardRows.size(), expected.UiCardRows.size());
    for (std::size_t i = 0; i < held.UiCardRows.size(); ++i) {
        QCOMPARE(held.UiCardRows[i].Faction, expected.UiCardRows[i].Faction);
        QCOMPARE(held.UiCardRows[i].InfoCardFile, expected.UiCardRows[i].InfoCardFile);
        QCOMPARE(held.UiCardRows[i].UnitCardFile, expected.UiCardRows[i].UnitCardFile);
    }
    QCOMPARE(held.ModelFile, expected.ModelFile);
    const QString fromLibrary = Path("library.quorin");
    FillerSeed = seed; // as the first build of a process would start
    BuildPackage(expected, fromLibrary.toStdString());

    const QByteArray window = ReadAll(fromWindow);
    QVERIFY(window.size() > 3000);
    QCOMPARE(window, ReadAll(fromLibrary));
}

} // namespace quorin


QUORIN_APP_TEST_MAIN(quorin::PagesTest)
#include "PagesTest.moc"
