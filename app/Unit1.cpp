#include "Unit1.h"

#include <QAction>
#include <QCloseEvent>
#include <QCheckBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTimer>
#include <QScopedValueRollback>
#include <algorithm>
#include <future>
#include <limits>
#include <stdexcept>

#include "Application.h"
#include "Artwork.h"
#include "Controls.h"
#include "FactionList.h"
#include "FlatGroupBox.h"
#include "Gauge.h"
#include "ModelView.h"
#include "PackLog.h"
#include "PackRun.h"
#include "Unit2.h"
#include "base/RuntimeText.h"
#include "base/Text.h"
#include "dialogs/AskText.h"
#include "model/Gltf.h"
#include "dialogs/FileDialog.h"
#include "dialogs/Glyph.h"
#include "dialogs/Image.h"
#include "dialogs/MessageBox.h"
#include "dialogs/OpenPictureDialog.h"
#include "dialogs/Placement.h"
#include "dialogs/SpeedButton.h"
#include "package/Build.h"
#include "package/Manifest.h"
#include "package/PackageReader.h"
#include "package/UnitFields.h"
#include "package/Unpack.h"

namespace quorin {

TForm1* Form1 = nullptr;

namespace {

QLineEdit* MakeEdit(QWidget* parent, const QString& name, const QRect& bounds)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setGeometry(bounds);
    edit->setMaxLength(std::numeric_limits<int>::max()); // no limit of its own
    AllowStandInLetters(edit);
    return edit;
}

QPlainTextEdit* MakeMemo(QWidget* parent, const QString& name, const QRect& bounds)
{
    auto* memo = new QPlainTextEdit(parent);
    memo->setObjectName(name);
    memo->setGeometry(bounds);
    memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memo->setTabChangesFocus(true);
    AllowStandInLetters(memo);
    return memo;
}

std::vector<std::string> MemoLines(const QPlainTextEdit* memo)
{
    return SplitTextLines(memo->toPlainText().toStdString());
}

TSpeedButton* MakeSmallButton(QWidget* parent, const QString& name, const QString& caption, const QRect& bounds,
                              const QString& icon)
{
    auto* button = new TSpeedButton(name, caption, bounds, parent);
    button->SetGlyph(LoadGlyph(icon));
    return button;
}

// A lowered one-pixel frame.
QFrame* MakeBevel(QWidget* parent, const QString& name, const QRect& bounds)
{
    auto* bevel = new QFrame(parent);
    bevel->setObjectName(name);
    bevel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    bevel->setLineWidth(1);
    bevel->setGeometry(bounds);
    return bevel;
}

// A card preview: the picture at its own size from the top-left corner, cut
// off at the bounds, its bottom-left colour transparent.
TImage* MakeCardPreview(QWidget* parent, const QString& name, const QRect& bounds)
{
    auto* image = new TImage(parent);
    image->setObjectName(name);
    image->setGeometry(bounds);
    image->SetTransparent(true);
    return image;
}

QString FromUtf8(const std::string& text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }

// Whether a card row has its #unit card: the column's text cannot tell an
// empty name from a cancelled dialog.
constexpr int HasUnitCardRole = Qt::UserRole;

TUiCardRow CardRowOf(const QTreeWidgetItem& row)
{
    TUiCardRow card{row.text(0).toStdString(), row.text(1).toStdString(), std::nullopt};
    if (row.data(2, HasUnitCardRole).toBool())
        card.UnitCardFile = row.text(2).toStdString();
    return card;
}

void SetUnitCard(QTreeWidgetItem& row, const QString& file)
{
    row.setText(2, file);
    row.setData(2, HasUnitCardRole, true);
}

// The window's captions by control. The Russian is the source text each goes
// through the translator with, so the Russian window shows it as it is.
struct TCaption {
    const char* Control;
    const char* Text;
};

constexpr TCaption Captions[] = {
    {"Label20", QT_TRANSLATE_NOOP("quorin::TForm1", "Форум разработчика:")},
    {"SpeedButton1", QT_TRANSLATE_NOOP("quorin::TForm1", "Создать пак...")},
    {"SpeedButton2", QT_TRANSLATE_NOOP("quorin::TForm1", "Основные параметры")},
    {"SpeedButton3", QT_TRANSLATE_NOOP("quorin::TForm1", "Параметры модели")},
    {"SpeedButton4", QT_TRANSLATE_NOOP("quorin::TForm1", "Параметры юнита")},
    {"SpeedButton5", QT_TRANSLATE_NOOP("quorin::TForm1", "Карточки UI")},
    {"OpenButton", QT_TRANSLATE_NOOP("quorin::TForm1", "Открыть...")},
    {"SaveButton", QT_TRANSLATE_NOOP("quorin::TForm1", "Сохранить...")},
    {"GroupBox1", QT_TRANSLATE_NOOP("quorin::TForm1", " Основные параметры ")},
    {"GroupBox2", QT_TRANSLATE_NOOP("quorin::TForm1", " Параметры модели")},
    {"GroupBox3", QT_TRANSLATE_NOOP("quorin::TForm1", " Параметры юнита ")},
    {"GroupBox4", QT_TRANSLATE_NOOP("quorin::TForm1", " Карточки UI ")},
    {"GroupBox6", QT_TRANSLATE_NOOP("quorin::TForm1", " Создание пака ")},
    {"Label1", QT_TRANSLATE_NOOP("quorin::TForm1", "Имя юнита")},
    {"Label2", QT_TRANSLATE_NOOP("quorin::TForm1", "Исходный мод")},
    {"Label3", QT_TRANSLATE_NOOP("quorin::TForm1", "Автор юнита")},
    {"Label4", QT_TRANSLATE_NOOP("quorin::TForm1", "Автор пака")},
    {"Label5", QT_TRANSLATE_NOOP("quorin::TForm1", "Версия юнита")},
    {"Label6", QT_TRANSLATE_NOOP("quorin::TForm1", "Коммент")},
    {"Label11", QT_TRANSLATE_NOOP("quorin::TForm1", "Версия RTW")},
    {"Label7", QT_TRANSLATE_NOOP("quorin::TForm1", "Имя модели")},
    {"Label8", QT_TRANSLATE_NOOP("quorin::TForm1", "Файл модели (CAS, макс. полигонов):")},
    {"SpeedButton7", QT_TRANSLATE_NOOP("quorin::TForm1", "Обзор...")},
    {"ModelViewButton", QT_TRANSLATE_NOOP("quorin::TForm1", "Просмотр...")},
    {"Label9", QT_TRANSLATE_NOOP("quorin::TForm1", "Текстуры для фракций:")},
    {"SpeedButton8", QT_TRANSLATE_NOOP("quorin::TForm1", "Добавить...")},
    {"SpeedButton9", QT_TRANSLATE_NOOP("quorin::TForm1", "Удалить...")},
    {"Label10", QT_TRANSLATE_NOOP("quorin::TForm1", "Скелеты:")},
    {"CheckBox1", QT_TRANSLATE_NOOP("quorin::TForm1", "нестандартные скелеты")},
    {"Label12", QT_TRANSLATE_NOOP("quorin::TForm1", "Описание модели из descr_model_battle.txt:")},
    {"Label13", QT_TRANSLATE_NOOP("quorin::TForm1", "Описание юнита из export_descr_model_unit.txt:")},
    {"Label14", QT_TRANSLATE_NOOP("quorin::TForm1", "Описание юнита из text\\export_units.txt:")},
    {"Label17", QT_TRANSLATE_NOOP("quorin::TForm1", "Иконки для фракций:")},
    {"SpeedButton10", QT_TRANSLATE_NOOP("quorin::TForm1", "Добавить...")},
    {"SpeedButton11", QT_TRANSLATE_NOOP("quorin::TForm1", "Удалить...")},
    {"GroupBox5", QT_TRANSLATE_NOOP("quorin::TForm1", " Предпросмотр ")},
    {"Label18", QT_TRANSLATE_NOOP("quorin::TForm1", "Имя файла")},
    {"SpeedButton12", QT_TRANSLATE_NOOP("quorin::TForm1", "Обзор...")},
    {"Label19", QT_TRANSLATE_NOOP("quorin::TForm1", "Лог")},
    {"SpeedButton13", QT_TRANSLATE_NOOP("quorin::TForm1", "Начать создание")},
};

// The file types each open or save dialog offers, by dialog.
constexpr TCaption Filters[] = {
    {"OpnCas", QT_TRANSLATE_NOOP("quorin::TForm1", "Модели CAS (*.cas)|*.cas|Модели glTF (*.glb *.gltf)|*.glb *.gltf")},
    {"OpnDDS", QT_TRANSLATE_NOOP("quorin::TForm1", "Текстура DDS (*.dds)|*.dds")},
    {"OpnTGA", QT_TRANSLATE_NOOP("quorin::TForm1", "Графика TGA (*.tga)|*.tga")},
    {"OpnUnit", QT_TRANSLATE_NOOP("quorin::TForm1", "Юнит Quorin (*.quorin *.toml)|*.quorin *.toml|Пак Quorin (*.quorin)|*.quorin|"
                                                    "Манифест юнита (*.toml)|*.toml")},
    {"SavUnit", QT_TRANSLATE_NOOP("quorin::TForm1", "Манифест юнита (*.toml)|*.toml")},
};

QString FilterOf(std::string_view dialog)
{
    for (const TCaption& filter : Filters)
        if (dialog == filter.Control)
            return TForm1::tr(filter.Text);
    return {};
}

// The page and unit buttons' face, narrowed until every caption fits.
void FitButtonCaptions(std::initializer_list<TSpeedButton*> buttons, int width)
{
    QStringList captions;
    for (const TSpeedButton* button : buttons)
        captions << button->text();
    const QFont font = FitCaptions(MakeFont(Impact, 15, false, false, true), captions, width);
    for (TSpeedButton* button : buttons)
        button->setFont(font);
}

} // namespace

TForm1::TForm1(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint)
{
    // The background's decode is a fifth of building the window: it runs on
    // a second core meanwhile.
    auto background = std::async(std::launch::async, DecodeArtwork, Artwork::Background);
    setObjectName(QStringLiteral("Form1"));
    setFont(MakeFont(MSSansSerif, 11, false));
    setFixedSize(800, 600);
    CreateFrame();
    CreatePages();
    RetranslateUi();
    ChainTabOrder();
    ConnectHandlers();
    CentreOnScreen(*this);
    Image1->Picture().SetGraphic(background.get());

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1);
    connect(Timer1, &QTimer::timeout, this, &TForm1::Timer1Timer);
    Timer1->start();
}

TForm1::~TForm1() = default;

void TForm1::CreateFrame()
{
    Image1 = new TImage(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(rect());
    Image1->SetStretch(true);

    CreatePageButtons();
    CreateUnitButtons();
    CreateLanguageButton();

    SpeedButton6 = new TSpeedButton(QStringLiteral("SpeedButton6"), QString(), QRect(0, 552, 161, 38), this);
    SpeedButton6->SetGlyph(LoadGlyph(Artwork::ForumBanner));

    const QFont label20Font = MakeFont(Tahoma, 13, true, true);
    Label20 = MakeLabel(this, QStringLiteral("Label20"), QString(), QRect(8, 531, 147, 16), &label20Font);
    SetColour(Label20, QPalette::WindowText, QColor(207, 252, 163));

    const QFont label21Font = MakeFont(Tahoma, 13, true);
    Label21 = MakeLabel(this, QStringLiteral("Label21"), QStringLiteral("© 2024 Quorin Unit Packer"), QRect(414, 46, 184, 16), &label21Font);
    SetColour(Label21, QPalette::WindowText, QColor(0, 64, 128));
}

void TForm1::CreatePageButtons()
{
    auto make = [&](const char* name, const QRect& bounds) {
        auto* button = new TSpeedButton(QString::fromLatin1(name), QString(), bounds, this);
        SetColour(button, QPalette::ButtonText, QColor(255, 255, 0));
        return button;
    };
    SpeedButton1 = make("SpeedButton1", QRect(8, 320, 137, 41));
    SpeedButton2 = make("SpeedButton2", QRect(8, 120, 153, 41));
    SpeedButton3 = make("SpeedButton3", QRect(8, 160, 153, 41));
    SpeedButton4 = make("SpeedButton4", QRect(8, 200, 153, 41));
    SpeedButton5 = make("SpeedButton5", QRect(8, 240, 153, 41));
}

void TForm1::CreateUnitButtons()
{
    // In the page buttons' look, on a plaque below "Создать пак...", where a
    // newcomer looks for them; Ctrl+O, Ctrl+S and Ctrl+Shift+S do the same.
    OpenButton = new TSpeedButton(QStringLiteral("OpenButton"), QString(), QRect(8, 378, 153, 27), this);
    SaveButton = new TSpeedButton(QStringLiteral("SaveButton"), QString(), QRect(8, 405, 153, 27), this);
    for (TSpeedButton* button : {OpenButton, SaveButton})
        SetColour(button, QPalette::ButtonText, QColor(255, 255, 0));
    auto shortcut = [this](QKeySequence keys, void (TForm1::*handler)()) {
        auto* action = new QAction(this);
        action->setShortcut(keys);
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
        ConnectHandler(action, &QAction::triggered, this, handler);
    };
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_O), &TForm1::OpenButtonClick);
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_S), &TForm1::SaveButtonClick);
    shortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), &TForm1::SaveAsClick);
    setAcceptDrops(true);
}

void TForm1::CreateLanguageButton()
{
    // In the free red strip right of the emblem, clear of every control.
    LanguageButton = new TSpeedButton(QStringLiteral("LanguageButton"), QString(), QRect(124, 78, 34, 22), this);
    LanguageButton->setFont(MakeFont(Impact, 13, false, false, true));
    SetColour(LanguageButton, QPalette::ButtonText, QColor(255, 255, 0));
}

void TForm1::CreatePages()
{
    const QRect bounds(224, 64, 561, 521);
    const QFont font = MakeFont(Tahoma, 13, true);
    auto make = [&](const char* name) {
        auto* page = new TFlatGroupBox(QString::fromLatin1(name), QString(), bounds, this);
        page->setFont(font);
        return page;
    };
    // A page created later lies in front, so the basic parameters come last.
    GroupBox2 = make("GroupBox2");
    CreateModelPage();
    GroupBox3 = make("GroupBox3");
    CreateUnitTextPage();
    GroupBox4 = make("GroupBox4");
    CreateCardsPage();
    GroupBox6 = make("GroupBox6");
    CreatePackPage();
    GroupBox1 = make("GroupBox1");
    CreateBasicPage();
}

void TForm1::CreateBasicPage()
{
    const struct {
        const char* Label;
        const char* Edit;
        int Top;
    } rows[] = {
        {"Label1", "Edit1", 32},  {"Label2", "Edit2", 56},   {"Label3", "Edit3", 80},
        {"Label4", "Edit4", 104}, {"Label5", "Edit5", 128}, {"Label6", "Edit6", 152},
    };
    QLabel** labels[] = {&Label1, &Label2, &Label3, &Label4, &Label5, &Label6};
    QLineEdit** edits[] = {&Edit1, &Edit2, &Edit3, &Edit4, &Edit5, &Edit6};
    for (int i = 0; i < 6; ++i) {
        *labels[i] = MakeLabel(GroupBox1, QString::fromLatin1(rows[i].Label), QString(), QRect(21, rows[i].Top + 4, 0, 16));
        *edits[i] = MakeEdit(GroupBox1, QString::fromLatin1(rows[i].Edit), QRect(168, rows[i].Top, 385, 22));
    }
    Label11 = MakeLabel(GroupBox1, QStringLiteral("Label11"), QString(), QRect(21, 180, 0, 16));
    ComboBox1 = new QComboBox(GroupBox1);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setGeometry(168, 176, 385, 24);
    ComboBox1->setEditable(false);
    ComboBox1->setMaxVisibleItems(9);
    SetRowHeight(ComboBox1->view(), 16);
    for (std::string_view item : GameVersionItems)
        ComboBox1->addItem(QString::fromUtf8(item.data(), static_cast<qsizetype>(item.size())));
    ComboBox1->setCurrentIndex(0);
}

void TForm1::CreateModelPage()
{
    QWidget* page = GroupBox2;
    Label7 = MakeLabel(page, QStringLiteral("Label7"), QString(), QRect(21, 36, 81, 16));
    Edit7 = MakeEdit(page, QStringLiteral("Edit7"), QRect(128, 32, 425, 22));
    Label8 = MakeLabel(page, QStringLiteral("Label8"), QString(), QRect(21, 84, 256, 16));
    Edit8 = MakeEdit(page, QStringLiteral("Edit8"), QRect(24, 104, 425, 22));
    SpeedButton7 = MakeSmallButton(page, QStringLiteral("SpeedButton7"), QString(), QRect(456, 104, 97, 22), Artwork::IconFolder);
    Label9 = MakeLabel(page, QStringLiteral("Label9"), QString(), QRect(21, 156, 161, 16));
    SpeedButton8 = MakeSmallButton(page, QStringLiteral("SpeedButton8"), QString(), QRect(328, 152, 113, 22), Artwork::IconDoorway);
    SpeedButton9 = MakeSmallButton(page, QStringLiteral("SpeedButton9"), QString(), QRect(440, 152, 113, 22), Artwork::IconBin);
    LV1 = new TFactionList(QStringLiteral("LV1"), QRect(24, 176, 529, 150),
                           {{QString(), 150}, {QString(), 340}}, page);
    Label10 = MakeLabel(page, QStringLiteral("Label10"), QString(), QRect(21, 340, 64, 16));
    Edit9 = MakeEdit(page, QStringLiteral("Edit9"), QRect(24, 360, 529, 22));
    CheckBox1 = new QCheckBox(page);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    CheckBox1->setGeometry(359, 341, 194, 17);
    Label12 = MakeLabel(page, QStringLiteral("Label12"), QString(), QRect(21, 388, 296, 16));
    Memo1 = MakeMemo(page, QStringLiteral("Memo1"), QRect(24, 408, 529, 105));

    // In the free strip under the model file, clear of every control above.
    ModelInfo = MakeLabel(page, QStringLiteral("ModelInfo"), QString(), QRect(24, 130, 425, 16), nullptr);
    ModelInfo->setFont(MakeFont(Tahoma, 11, false));
    AllowStandInLetters(ModelInfo); // names from the model file
    SetColour(ModelInfo, QPalette::WindowText, QColor(128, 128, 128));
    ModelInfo->setFixedWidth(425);
    ModelViewButton = new TSpeedButton(QStringLiteral("ModelViewButton"), QString(), QRect(456, 128, 97, 22), page);
    ModelViewButton->SetGlyph(PreviewGlyph());
    ModelViewButton->setEnabled(false);
    modelInfoTimer_ = new QTimer(this);
    modelInfoTimer_->setSingleShot(true);
    modelInfoTimer_->setInterval(300);
    connect(Edit8, &QLineEdit::textChanged, modelInfoTimer_, qOverload<>(&QTimer::start));
    ConnectHandler(modelInfoTimer_, &QTimer::timeout, this, &TForm1::UpdateModelInfo);
}

void TForm1::CreateCardsPage()
{
    QWidget* page = GroupBox4;
    Label17 = MakeLabel(page, QStringLiteral("Label17"), QString(), QRect(13, 324, 144, 16));
    SpeedButton10 = MakeSmallButton(page, QStringLiteral("SpeedButton10"), QString(), QRect(320, 320, 113, 22), Artwork::IconDoorway);
    SpeedButton11 = MakeSmallButton(page, QStringLiteral("SpeedButton11"), QString(), QRect(432, 320, 113, 22), Artwork::IconBin);
    GroupBox5 = new TFlatGroupBox(QStringLiteral("GroupBox5"), QString(), QRect(16, 24, 529, 273), page);
    GroupBox5->setFont(MakeFont(Tahoma, 13, true));
    Bevel2 = MakeBevel(GroupBox5, QStringLiteral("Bevel2"), QRect(336, 88, 65, 81));
    Bevel1 = MakeBevel(GroupBox5, QStringLiteral("Bevel1"), QRect(88, 32, 177, 225));
    Label15 = MakeLabel(GroupBox5, QStringLiteral("Label15"), QStringLiteral("UNIT_INFO:"), QRect(96, 16, 69, 16));
    Label16 = MakeLabel(GroupBox5, QStringLiteral("Label16"), QStringLiteral("#UNIT:"), QRect(336, 72, 42, 16));
    ImgP1 = MakeCardPreview(GroupBox5, QStringLiteral("ImgP1"), QRect(96, 40, 160, 210));
    ImgP2 = MakeCardPreview(GroupBox5, QStringLiteral("ImgP2"), QRect(344, 96, 48, 64));
    LV2 = new TFactionList(QStringLiteral("LV2"), QRect(16, 344, 529, 150),
                           {{QString(), 120}, {QString(), 200}, {QString(), 200}},
                           page);
}

void TForm1::CreateUnitTextPage()
{
    Label13 = MakeLabel(GroupBox3, QStringLiteral("Label13"), QString(), QRect(13, 20, 324, 16));
    Memo2 = MakeMemo(GroupBox3, QStringLiteral("Memo2"), QRect(16, 40, 529, 225));
    Label14 = MakeLabel(GroupBox3, QStringLiteral("Label14"), QString(), QRect(13, 276, 276, 16));
    Memo3 = MakeMemo(GroupBox3, QStringLiteral("Memo3"), QRect(16, 304, 529, 201));
}

void TForm1::CreatePackPage()
{
    Label18 = MakeLabel(GroupBox6, QStringLiteral("Label18"), QString(), QRect(16, 24, 73, 16));
    SpeedButton12 = new TSpeedButton(QStringLiteral("SpeedButton12"), QString(), QRect(448, 48, 97, 22), GroupBox6);
    SpeedButton12->SetGlyph(LoadGlyph(Artwork::IconFloppy));
    Label19 = MakeLabel(GroupBox6, QStringLiteral("Label19"), QString(), QRect(16, 128, 24, 16));
    SpeedButton13 = new TSpeedButton(QStringLiteral("SpeedButton13"), QString(), QRect(16, 88, 169, 22), GroupBox6);
    SpeedButton13->SetGlyph(LoadGlyph(Artwork::IconTools));
    Gauge1 = new TGauge(GroupBox6);
    Gauge1->setObjectName(QStringLiteral("Gauge1"));
    Gauge1->setGeometry(200, 90, 345, 17);
    Edit10 = MakeEdit(GroupBox6, QStringLiteral("Edit10"), QRect(16, 48, 425, 22));
    List1 = new QListWidget(GroupBox6);
    List1->setObjectName(QStringLiteral("List1"));
    List1->setGeometry(16, 152, 529, 353);
    List1->setUniformItemSizes(true);
    SetRowHeight(List1, 16);
    List1->setIconSize(QSize(16, 16));
    AllowStandInLetters(List1);
    packLog_ = std::make_unique<TPackLog>(List1);
}

TFileDialog* TForm1::CasDialog()
{
    if (!OpnCas)
        OpnCas = new TFileDialog(QStringLiteral("OpnCas"), QFileDialog::AcceptOpen, FilterOf("OpnCas"), this);
    return OpnCas;
}

TOpenPictureDialog* TForm1::TextureDialog()
{
    if (!OpnDDS)
        OpnDDS = new TOpenPictureDialog(QStringLiteral("OpnDDS"), FilterOf("OpnDDS"), this);
    return OpnDDS;
}

TOpenPictureDialog* TForm1::CardDialog()
{
    if (!OpnTGA)
        OpnTGA = new TOpenPictureDialog(QStringLiteral("OpnTGA"), FilterOf("OpnTGA"), this);
    return OpnTGA;
}

TFileDialog* TForm1::UnitOpenDialog()
{
    if (!OpnUnit)
        OpnUnit = new TFileDialog(QStringLiteral("OpnUnit"), QFileDialog::AcceptOpen, FilterOf("OpnUnit"), this);
    return OpnUnit;
}

TFileDialog* TForm1::UnitSaveDialog()
{
    if (!SavUnit) {
        SavUnit = new TFileDialog(QStringLiteral("SavUnit"), QFileDialog::AcceptSave, FilterOf("SavUnit"), this);
        SavUnit->setDefaultSuffix(QStringLiteral("toml"));
    }
    return SavUnit;
}

TFileDialog* TForm1::SaveDialog()
{
    if (SavDlg)
        return SavDlg;
    SavDlg = new TFileDialog(QStringLiteral("SavDlg"), QFileDialog::AcceptSave, QStringLiteral("Quorin Package|*.quorin"), this);
    SavDlg->setDefaultSuffix(QStringLiteral("quorin"));
    return SavDlg;
}

void TForm1::RetranslateUi()
{
    SetUnitPath(unitPath_);
    // Named in the language it switches to, as such switches are everywhere.
    const bool english = WindowLanguage() == TLanguage::English;
    LanguageButton->setText(english ? QStringLiteral("RU") : QStringLiteral("EN"));
    LanguageButton->setToolTip(english ? QStringLiteral("Русский") : QStringLiteral("English"));
    for (const TCaption& caption : Captions)
        SetCaption(findChild<QWidget*>(QLatin1String(caption.Control)), tr(caption.Text));
    // Each caption whole inside its button's frame, whichever face is found.
    FitButtonCaptions({SpeedButton1, SpeedButton2, SpeedButton3, SpeedButton4, SpeedButton5}, 153 - 4);
    FitButtonCaptions({OpenButton, SaveButton}, 153 - 4);
    ModelViewButton->setFont(FitCaptions(GroupBox2->font(), {ModelViewButton->text()}, 97 - 16 - 4 - 4));
    // Its right edge stays with the fields'.
    CheckBox1->resize(std::max(194, CheckBox1->sizeHint().width()), CheckBox1->height());
    CheckBox1->move(553 - CheckBox1->width(), 341);
    LV1->setHeaderLabels({tr("Фракция"), tr("Имя файла текстуры")});
    LV2->setHeaderLabels({tr("Фракция"), tr("Файл карты INFO"), tr("Файл карты #unit")});
    for (const TCaption& filter : Filters)
        if (auto* dialog = findChild<TFileDialog*>(QLatin1String(filter.Control)))
            dialog->SetFilter(tr(filter.Text));
    if (!Edit8->text().isEmpty())
        UpdateModelInfo(); // what the model holds, said anew
}

void TForm1::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        RunHandler([this] { RetranslateUi(); });
    QWidget::changeEvent(event);
}

void TForm1::ChainTabOrder()
{
    // Page by page in their tab order, each page's controls in theirs.
    QWidget* chain[] = {Edit1, Edit2, Edit3,     Edit4, Edit5, Edit6, ComboBox1, Edit7,  Edit8, LV1,
                        Edit9, CheckBox1, Memo1, Memo2, Memo3, LV2,   Edit10,    List1};
    for (std::size_t i = 1; i < std::size(chain); ++i)
        setTabOrder(chain[i - 1], chain[i]);
    Edit1->setFocus();
}

void TForm1::ConnectHandlers()
{
    const std::pair<TSpeedButton*, void (TForm1::*)()> clicks[] = {
        {SpeedButton1, &TForm1::SpeedButton1Click},   {SpeedButton2, &TForm1::SpeedButton2Click},
        {SpeedButton3, &TForm1::SpeedButton3Click},   {SpeedButton4, &TForm1::SpeedButton4Click},
        {SpeedButton5, &TForm1::SpeedButton5Click},   {SpeedButton7, &TForm1::SpeedButton7Click},
        {SpeedButton8, &TForm1::SpeedButton8Click},   {SpeedButton9, &TForm1::SpeedButton9Click},
        {SpeedButton10, &TForm1::SpeedButton10Click}, {SpeedButton11, &TForm1::SpeedButton11Click},
        {SpeedButton12, &TForm1::SpeedButton12Click}, {SpeedButton13, &TForm1::SpeedButton13Click},
        {ModelViewButton, &TForm1::ModelViewButtonClick}, {OpenButton, &TForm1::OpenButtonClick},
        {SaveButton, &TForm1::SaveButtonClick}, {LanguageButton, &TForm1::LanguageButtonClick},
    };
    for (const auto& [button, handler] : clicks)
        ConnectHandler(button, &QToolButton::clicked, this, handler);
    ConnectHandler(LV2->selectionModel(), &QItemSelectionModel::selectionChanged, this, &TForm1::LV2SelectItem);
    ConnectHandler(List1, &QListWidget::itemDoubleClicked, this, &TForm1::List1DblClick);
}

void TForm1::SpeedButton1Click() { GroupBox6->raise(); }
void TForm1::SpeedButton2Click() { GroupBox1->raise(); }
void TForm1::SpeedButton3Click() { GroupBox2->raise(); }
void TForm1::SpeedButton4Click() { GroupBox3->raise(); }
void TForm1::SpeedButton5Click() { GroupBox4->raise(); }

void TForm1::SpeedButton7Click()
{
    if (!CasDialog()->Execute())
        return;
    // A glTF is made a model beside it first: the field takes that model.
    QString path = OpnCas->FileName();
    if (IsGltfFileName(path.toStdString()))
        path = ConvertGltfBeside(this, path);
    if (!path.isEmpty())
        Edit8->setText(path);
}

void TForm1::SpeedButton8Click()
{
    // A cancelled prompt gives the default name: it does not cancel.
    const QString faction = AskText(tr("Имя фракции"), tr("Впишите имя фракции, для которой предпологается текстура"),
                                    QStringLiteral("romans_julii"));
    if (TextureDialog()->Execute())
        LV1->AppendRow({faction, OpnDDS->FileName()});
}

void TForm1::SpeedButton9Click() { LV1->RemoveSelectedRow(); }

void TForm1::UpdateModelInfo()
{
    modelInfoTimer_->stop();
    if (Edit8->text().isEmpty()) {
        ModelInfo->clear();
        ModelInfo->setToolTip(QString());
        ModelViewButton->setEnabled(false);
        return;
    }
    const TModelSummary summary = ModelSummary(Edit8->text());
    ModelInfo->setText(QFontMetrics(ModelInfo->font()).elidedText(summary.Text, Qt::ElideMiddle, ModelInfo->width()));
    ModelInfo->setToolTip(summary.Text);
    ModelViewButton->setEnabled(summary.Readable);
}

void TForm1::ModelViewButtonClick()
{
    QList<QPair<QString, QString>> textures;
    int selected = 0;
    for (int i = 0; i < LV1->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = LV1->topLevelItem(i);
        textures.append({row->text(0), row->text(1)});
        if (row == LV1->SelectedRow())
            selected = i;
    }
    auto* window = new TModelWindow(Edit8->text(), textures, selected, this);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
}

void TForm1::SpeedButton10Click()
{
    const QString faction = AskText(tr("Имя фракции"), tr("Впишите имя фракции, для которой предпологается иконка"),
                                    QStringLiteral("romans_julii"));
    TOpenPictureDialog* dialog = CardDialog();
    if (dialog->Execute()) {
        QTreeWidgetItem* row = LV2->AppendRow({faction, dialog->FileName(), QString()});
        // Opens on the INFO card just chosen.
        if (dialog->Execute())
            SetUnitCard(*row, dialog->FileName());
    }
    if (LV2->topLevelItemCount() == 0)
        return;
    {
        const QScopedValueRollback adding(addingCardRow_, true);
        LV2->SelectRow(LV2->topLevelItem(LV2->topLevelItemCount() - 1));
    }
    ShowCardPreviews();
}

void TForm1::SpeedButton11Click() { LV2->RemoveSelectedRow(); }

void TForm1::LV2SelectItem()
{
    if (!addingCardRow_)
        ShowCardPreviews();
}

void TForm1::ShowCardPreviews()
{
    const QTreeWidgetItem* selected = LV2->SelectedRow();
    if (!selected)
        return;
    const TUiCardRow row = CardRowOf(*selected);
    ImgP1->Picture().LoadByExtension(row.InfoCardFile);
    if (!row.UnitCardFile)
        RaiseListIndexOutOfBounds(1);
    ImgP2->Picture().LoadByExtension(*row.UnitCardFile);
}

void TForm1::SpeedButton12Click()
{
    if (SaveDialog()->Execute())
        Edit10->setText(SavDlg->FileName());
}

void TForm1::SpeedButton13Click() { Compile(); }

void TForm1::OpenButtonClick()
{
    if (UnitOpenDialog()->Execute())
        OpenUnit(OpnUnit->FileName());
}

void TForm1::SaveButtonClick()
{
    if (unitPath_.endsWith(QStringLiteral(".toml"), Qt::CaseInsensitive))
        SaveUnit(unitPath_);
    else
        SaveAsClick();
}

void TForm1::SaveAsClick()
{
    if (UnitSaveDialog()->Execute())
        SaveUnit(SavUnit->FileName());
}

void TForm1::LanguageButtonClick()
{
    auto* application = qobject_cast<TApplication*>(QCoreApplication::instance());
    if (!application)
        return;
    const TLanguage chosen = application->Language() == TLanguage::English ? TLanguage::Russian : TLanguage::English;
    application->SetLanguage(chosen);
    StoreLanguage(chosen);
}

void TForm1::SetUnitPath(const QString& path)
{
    unitPath_ = path;
    const QString caption = tr("Упаковщик Quorin Unit Packer");
    setWindowTitle(path.isEmpty() ? caption : caption + QStringLiteral(" — ") + QFileInfo(path).fileName());
}

void TForm1::OpenUnit(const QString& path)
{
    if (packRun_)
        return; // the pages stay as the running build read them
    TUnitSheet sheet;
    if (path.endsWith(QStringLiteral(".toml"), Qt::CaseInsensitive)) {
        sheet = LoadManifest(path.toStdString());
    } else {
        const TPackage package = ReadPackage(path.toStdString());
        // Beside the package, named after it; never over a folder in use.
        const QFileInfo info(path);
        QString folder = info.absolutePath() + QLatin1Char('/') + info.completeBaseName();
        if (QDir(folder).exists() && !QDir(folder).isEmpty()) {
            QFileDialog dialog(this);
            dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::ShowDirsOnly);
            dialog.setFileMode(QFileDialog::Directory);
            dialog.setDirectory(info.absolutePath());
            PlaceFileDialog(dialog);
            if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
                return;
            folder = dialog.selectedFiles().constFirst();
        }
        sheet = LoadManifest(UnpackPackage(package, folder.toStdString(), false).Manifest);
    }
    LoadSheet(sheet);
    SetUnitPath(path);
}

void TForm1::SaveUnit(const QString& path)
{
    SaveManifest(ReadSheet(), path.toStdString());
    SetUnitPath(path);
}

void TForm1::dragEnterEvent(QDragEnterEvent* event)
{
    if (packRun_)
        return;
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.size() == 1 && urls.constFirst().isLocalFile()) {
        const QString file = urls.constFirst().toLocalFile();
        if (file.endsWith(QStringLiteral(".quorin"), Qt::CaseInsensitive) || file.endsWith(QStringLiteral(".toml"), Qt::CaseInsensitive))
            event->acceptProposedAction();
    }
}

void TForm1::dropEvent(QDropEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty())
        return;
    event->acceptProposedAction();
    const QString file = urls.constFirst().toLocalFile();
    RunHandler([&] { OpenUnit(file); });
}

void TForm1::Timer1Timer()
{
    // Disabled first, so the About window is never shown twice.
    Timer1->stop();
    if (Form2)
        Form2->exec();
}

QLineEdit* TForm1::FieldEdit(std::string_view control) const
{
    for (QLineEdit* edit : {Edit1, Edit2, Edit3, Edit4, Edit5, Edit6, Edit7, Edit9})
        if (edit->objectName() == QLatin1StringView(control))
            return edit;
    throw std::logic_error("no edit " + std::string(control));
}

QPlainTextEdit* TForm1::BlockMemo(std::string_view control) const
{
    for (QPlainTextEdit* memo : {Memo1, Memo2, Memo3})
        if (memo->objectName() == QLatin1StringView(control))
            return memo;
    throw std::logic_error("no memo " + std::string(control));
}

TUnitSheet TForm1::ReadSheet() const
{
    TUnitSheet sheet;
    for (const auto& field : DescriptiveFields)
        sheet.*field.InSheet = FieldEdit(field.Control)->text().toStdString();
    sheet.GameVersion = ComboBox1->currentIndex();
    for (const auto& field : {ModelNameField, SkeletonsField})
        sheet.*field.InSheet = FieldEdit(field.Control)->text().toStdString();
    sheet.ModelFile = Edit8->text().toStdString();
    for (int i = 0; i < LV1->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = LV1->topLevelItem(i);
        sheet.TextureRows.push_back({row->text(0).toStdString(), row->text(1).toStdString()});
    }
    sheet.CustomSkeletons = CheckBox1->isChecked();
    for (const auto& block : TextBlockFields)
        sheet.*block.InSheet = MemoLines(BlockMemo(block.Control));
    for (int i = 0; i < LV2->topLevelItemCount(); ++i)
        sheet.UiCardRows.push_back(CardRowOf(*LV2->topLevelItem(i)));
    return sheet;
}

namespace {

// The text that gives back exactly these lines under the line rule: a last
// empty line needs a line break after it, or it would not be counted.
QString MemoText(const std::vector<std::string>& lines)
{
    QStringList texts;
    for (const std::string& line : lines)
        texts << FromUtf8(line);
    QString text = texts.join(QLatin1Char('\n'));
    if (!lines.empty() && lines.back().empty())
        text += QLatin1Char('\n');
    return text;
}

} // namespace

void TForm1::LoadSheet(const TUnitSheet& sheet)
{
    for (const auto& field : DescriptiveFields)
        FieldEdit(field.Control)->setText(FromUtf8(sheet.*field.InSheet));
    ComboBox1->setCurrentIndex(std::clamp(sheet.GameVersion, 0, ComboBox1->count() - 1));
    for (const auto& field : {ModelNameField, SkeletonsField})
        FieldEdit(field.Control)->setText(FromUtf8(sheet.*field.InSheet));
    Edit8->setText(FromUtf8(sheet.ModelFile));
    LV1->clear();
    for (const TTextureRow& row : sheet.TextureRows)
        AppendTextureRow(row);
    CheckBox1->setChecked(sheet.CustomSkeletons);
    for (const auto& block : TextBlockFields)
        BlockMemo(block.Control)->setPlainText(MemoText(sheet.*block.InSheet));
    {
        const QScopedValueRollback adding(addingCardRow_, true);
        LV2->clear();
        for (const TUiCardRow& row : sheet.UiCardRows)
            AppendCardRow(row);
        if (LV2->topLevelItemCount() > 0)
            LV2->SelectRow(LV2->topLevelItem(LV2->topLevelItemCount() - 1));
    }
    UpdateModelInfo();
    ShowCardPreviews();
}

void TForm1::AppendTextureRow(const TTextureRow& row) { LV1->AppendRow({FromUtf8(row.Faction), FromUtf8(row.TextureFile)}); }

void TForm1::AppendCardRow(const TUiCardRow& row)
{
    QTreeWidgetItem* item = LV2->AppendRow({FromUtf8(row.Faction), FromUtf8(row.InfoCardFile), QString()});
    if (row.UnitCardFile)
        SetUnitCard(*item, FromUtf8(*row.UnitCardFile));
}

std::string TForm1::OutputPath() const { return Edit10->text().toStdString(); }

QString TForm1::CompletionMessage() const
{
    return tr("Создание пака %1 завершено").arg(FromUtf8(std::string(FileNamePart(OutputPath()))));
}

namespace {

// A build shorter than this greys nothing, so a quick one does not flicker.
constexpr int GreyAfterMs = 200;

} // namespace

void TForm1::Compile()
{
    if (packRun_)
        return; // the running build reads the pages once; a second press has nothing to add
    const std::string output = OutputPath();
    packLog_->Clear();
    Gauge1->SetProgress(0);
    TPackRun run(ReadSheet(), output,
                 {[this](const TFindings& findings) { ShowFindings(findings); },
                  [this](qint64 done, qint64 total) {
                      Gauge1->SetProgress(total > 0 ? static_cast<int>(done * 100 / total) : 0);
                  },
                  [this](const QString& path, qint64 size) {
                      packLog_->AddEmbedded(path, size, WindowLanguage());
                      List1->scrollToBottom();
                  }});
    {
        const QScopedValueRollback running(packRun_, &run);
        // Stopped with the run, so a quick build's box never finds the pages greyed under it.
        QTimer grey;
        grey.setSingleShot(true);
        connect(&grey, &QTimer::timeout, this, [this] { SetPacking(true); });
        grey.start(GreyAfterMs);
        try {
            run.Run();
        } catch (const std::exception& failure) {
            grey.stop();
            SetPacking(false);
            packLog_->AddFailure(QString::fromUtf8(failure.what()));
            List1->scrollToBottom();
            throw;
        }
        grey.stop();
        SetPacking(false);
    }
    Gauge1->SetProgress(100);
    const QFileInfo package(QString::fromStdString(output));
    packLog_->AddBuilt(QString::fromStdString(std::string(FileNamePart(output))), package.isFile() ? package.size() : -1,
                       WindowLanguage());
    List1->scrollToBottom();
    ShowMessageBox(CompletionMessage(), TMsgDlgType::Information, {TMsgDlgBtn::OK});
}

void TForm1::ShowFindings(const TFindings& findings)
{
    if (findings.empty())
        packLog_->AddClean();
    for (const TFinding& finding : findings)
        packLog_->AddFinding(finding, PageOf(finding.Page)->property("title").toString().trimmed(), WindowLanguage());
}

QWidget* TForm1::PageOf(TUnitPage page) const
{
    switch (page) {
    case TUnitPage::Basic: return GroupBox1;
    case TUnitPage::Model: return GroupBox2;
    case TUnitPage::Unit: return GroupBox3;
    case TUnitPage::Cards: return GroupBox4;
    case TUnitPage::Pack: break;
    }
    return GroupBox6;
}

void TForm1::List1DblClick()
{
    const QListWidgetItem* row = List1->currentItem();
    const int page = row ? TPackLog::PageOf(*row) : -1;
    if (page >= 0)
        PageOf(static_cast<TUnitPage>(page))->raise();
}

void TForm1::SetPacking(bool packing)
{
    for (QWidget* control : std::initializer_list<QWidget*>{GroupBox1, GroupBox2, GroupBox3, GroupBox4, Edit10,
                                                            SpeedButton12, SpeedButton13, OpenButton, SaveButton})
        control->setEnabled(!packing);
}

void TForm1::closeEvent(QCloseEvent* event)
{
    // The build's thread reads the sheet and writes the package to the end.
    if (packRun_)
        event->ignore();
    else
        QWidget::closeEvent(event);
}

} // namespace quorin
