#include "Unit1.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTimer>
#include <limits>

#include "Artwork.h"
#include "Controls.h"
#include "FlatGroupBox.h"
#include "Gauge.h"
#include "Unit2.h"
#include "dialogs/Image.h"
#include "dialogs/MessageBox.h"
#include "dialogs/Placement.h"
#include "dialogs/SpeedButton.h"
#include "package/Build.h"

namespace quorin {

TForm1* Form1 = nullptr;

namespace {

QLineEdit* MakeEdit(QWidget* parent, const QString& name, const QRect& bounds)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setGeometry(bounds);
    edit->setMaxLength(std::numeric_limits<int>::max()); // no limit of its own
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
    return memo;
}

std::vector<std::string> MemoLines(const QPlainTextEdit* memo)
{
    return SplitTextLines(memo->toPlainText().toStdString());
}

} // namespace

TForm1::TForm1(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Упаковщик Quorin Unit Packer"));
    setFont(MakeFont(MSSansSerif, 11, false));
    setFixedSize(800, 600);
    CreateFrame();
    CreatePages();
    ChainTabOrder();
    ConnectHandlers();
    CentreOnScreen(*this);

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
    LoadArtwork(Image1->Picture(), Artwork::Background);

    CreatePageButtons();

    SpeedButton6 = new TSpeedButton(QStringLiteral("SpeedButton6"), QString(), QRect(0, 552, 161, 38), this);
    SpeedButton6->SetGlyph(LoadGlyph(Artwork::ForumBanner));

    const QFont label20Font = MakeFont(Tahoma, 13, true, true);
    Label20 = MakeLabel(this, QStringLiteral("Label20"), QStringLiteral("Форум разработчика:"), QRect(8, 531, 147, 16), &label20Font);
    SetColour(Label20, QPalette::WindowText, QColor(207, 252, 163));

    const QFont label21Font = MakeFont(Tahoma, 13, true);
    Label21 = MakeLabel(this, QStringLiteral("Label21"), QStringLiteral("© 2024 Quorin Unit Packer"), QRect(414, 46, 184, 16), &label21Font);
    SetColour(Label21, QPalette::WindowText, QColor(0, 64, 128));
}

void TForm1::CreatePageButtons()
{
    const QFont font = MakeFont(Impact, 15, false, false, true);
    auto make = [&](const char* name, const QString& caption, const QRect& bounds) {
        auto* button = new TSpeedButton(QString::fromLatin1(name), caption, bounds, this);
        button->setFont(font);
        SetColour(button, QPalette::ButtonText, QColor(255, 255, 0));
        return button;
    };
    SpeedButton1 = make("SpeedButton1", QStringLiteral("Создать пак..."), QRect(8, 320, 137, 41));
    SpeedButton2 = make("SpeedButton2", QStringLiteral("Основные параметры"), QRect(8, 120, 153, 41));
    SpeedButton3 = make("SpeedButton3", QStringLiteral("Параметры модели"), QRect(8, 160, 153, 41));
    SpeedButton4 = make("SpeedButton4", QStringLiteral("Параметры юнита"), QRect(8, 200, 153, 41));
    SpeedButton5 = make("SpeedButton5", QStringLiteral("Карточки UI"), QRect(8, 240, 153, 41));
}

void TForm1::CreatePages()
{
    const QRect bounds(224, 64, 561, 521);
    const QFont font = MakeFont(Tahoma, 13, true);
    auto make = [&](const char* name, const QString& caption) {
        auto* page = new TFlatGroupBox(QString::fromLatin1(name), caption, bounds, this);
        page->setFont(font);
        return page;
    };
    // A page created later lies in front, so the basic parameters come last.
    GroupBox2 = make("GroupBox2", QStringLiteral(" Параметры модели"));
    GroupBox3 = make("GroupBox3", QStringLiteral(" Параметры юнита "));
    CreateUnitTextPage();
    GroupBox4 = make("GroupBox4", QStringLiteral(" Карточки UI "));
    GroupBox6 = make("GroupBox6", QStringLiteral(" Создание пака "));
    CreatePackPage();
    GroupBox1 = make("GroupBox1", QStringLiteral(" Основные параметры "));
    CreateBasicPage();
}

void TForm1::CreateBasicPage()
{
    const struct {
        const char* Label;
        QString Caption;
        const char* Edit;
        int Top;
    } rows[] = {
        {"Label1", QStringLiteral("Имя юнита"), "Edit1", 32},
        {"Label2", QStringLiteral("Исходный мод"), "Edit2", 56},
        {"Label3", QStringLiteral("Автор юнита"), "Edit3", 80},
        {"Label4", QStringLiteral("Автор пака"), "Edit4", 104},
        {"Label5", QStringLiteral("Версия юнита"), "Edit5", 128},
        {"Label6", QStringLiteral("Коммент"), "Edit6", 152},
    };
    QLabel** labels[] = {&Label1, &Label2, &Label3, &Label4, &Label5, &Label6};
    QLineEdit** edits[] = {&Edit1, &Edit2, &Edit3, &Edit4, &Edit5, &Edit6};
    for (int i = 0; i < 6; ++i) {
        *labels[i] = MakeLabel(GroupBox1, QString::fromLatin1(rows[i].Label), rows[i].Caption, QRect(21, rows[i].Top + 4, 0, 16));
        *edits[i] = MakeEdit(GroupBox1, QString::fromLatin1(rows[i].Edit), QRect(168, rows[i].Top, 385, 22));
    }
    Label11 = MakeLabel(GroupBox1, QStringLiteral("Label11"), QStringLiteral("Версия RTW"), QRect(21, 180, 0, 16));
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

void TForm1::CreateUnitTextPage()
{
    Label13 = MakeLabel(GroupBox3, QStringLiteral("Label13"), QStringLiteral("Описание юнита из export_descr_model_unit.txt:"), QRect(13, 20, 324, 16));
    Memo2 = MakeMemo(GroupBox3, QStringLiteral("Memo2"), QRect(16, 40, 529, 225));
    Label14 = MakeLabel(GroupBox3, QStringLiteral("Label14"), QStringLiteral("Описание юнита из text\\export_units.txt:"), QRect(13, 276, 276, 16));
    Memo3 = MakeMemo(GroupBox3, QStringLiteral("Memo3"), QRect(16, 304, 529, 201));
}

void TForm1::CreatePackPage()
{
    Label18 = MakeLabel(GroupBox6, QStringLiteral("Label18"), QStringLiteral("Имя файла"), QRect(16, 24, 73, 16));
    SpeedButton12 = new TSpeedButton(QStringLiteral("SpeedButton12"), QStringLiteral("Обзор..."), QRect(448, 48, 97, 22), GroupBox6);
    SpeedButton12->SetGlyph(LoadGlyph(Artwork::IconFloppy));
    Label19 = MakeLabel(GroupBox6, QStringLiteral("Label19"), QStringLiteral("Лог"), QRect(16, 128, 24, 16));
    SpeedButton13 = new TSpeedButton(QStringLiteral("SpeedButton13"), QStringLiteral("Начать создание"), QRect(16, 88, 169, 22), GroupBox6);
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
}

QFileDialog* TForm1::SaveDialog()
{
    if (SavDlg)
        return SavDlg;
    SavDlg = new QFileDialog(this);
    SavDlg->setObjectName(QStringLiteral("SavDlg"));
    SavDlg->setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::DontConfirmOverwrite | QFileDialog::HideNameFilterDetails);
    SavDlg->setAcceptMode(QFileDialog::AcceptSave);
    SavDlg->setFileMode(QFileDialog::AnyFile);
    SavDlg->setNameFilter(QStringLiteral("Quorin Package (*.quorin)"));
    SavDlg->setDefaultSuffix(QStringLiteral("quorin"));
    return SavDlg;
}

void TForm1::ChainTabOrder()
{
    QWidget* chain[] = {Edit1, Edit2, Edit3, Edit4, Edit5, Edit6, ComboBox1, Memo2, Memo3, Edit10, List1};
    for (std::size_t i = 1; i < std::size(chain); ++i)
        setTabOrder(chain[i - 1], chain[i]);
    Edit1->setFocus();
}

void TForm1::ConnectHandlers()
{
    connect(SpeedButton1, &QToolButton::clicked, this, &TForm1::SpeedButton1Click);
    connect(SpeedButton2, &QToolButton::clicked, this, &TForm1::SpeedButton2Click);
    connect(SpeedButton3, &QToolButton::clicked, this, &TForm1::SpeedButton3Click);
    connect(SpeedButton4, &QToolButton::clicked, this, &TForm1::SpeedButton4Click);
    connect(SpeedButton5, &QToolButton::clicked, this, &TForm1::SpeedButton5Click);
    connect(SpeedButton12, &QToolButton::clicked, this, &TForm1::SpeedButton12Click);
    connect(SpeedButton13, &QToolButton::clicked, this, &TForm1::SpeedButton13Click);
}

void TForm1::SpeedButton1Click() { GroupBox6->raise(); }
void TForm1::SpeedButton2Click() { GroupBox1->raise(); }
void TForm1::SpeedButton3Click() { GroupBox2->raise(); }
void TForm1::SpeedButton4Click() { GroupBox3->raise(); }
void TForm1::SpeedButton5Click() { GroupBox4->raise(); }

void TForm1::SpeedButton12Click()
{
    QFileDialog* dialog = SaveDialog();
    if (!savFileName_.isEmpty())
        dialog->selectFile(savFileName_);
    PlaceFileDialog(*dialog);
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
        return;
    savFileName_ = dialog->selectedFiles().constFirst();
    Edit10->setText(QDir::toNativeSeparators(savFileName_));
}

void TForm1::SpeedButton13Click() { Compile(); }

void TForm1::Timer1Timer()
{
    // Disabled first, so the About window is never shown twice.
    Timer1->stop();
    if (Form2)
        Form2->exec();
}

TUnitSheet TForm1::ReadSheet() const
{
    TUnitSheet sheet;
    sheet.UnitName = Edit1->text().toStdString();
    sheet.SourceMod = Edit2->text().toStdString();
    sheet.UnitAuthor = Edit3->text().toStdString();
    sheet.PackAuthor = Edit4->text().toStdString();
    sheet.UnitVersion = Edit5->text().toStdString();
    sheet.Comment = Edit6->text().toStdString();
    sheet.GameVersion = ComboBox1->currentIndex();
    sheet.UnitDescrLines = MemoLines(Memo2);
    sheet.UnitTextLines = MemoLines(Memo3);
    return sheet;
}

std::string TForm1::OutputPath() const { return Edit10->text().toStdString(); }

void TForm1::Compile()
{
    const std::string completion = BuildPackage(ReadSheet(), OutputPath());
    ShowMessageBox(QString::fromStdString(completion), TMsgDlgType::Information, {TMsgDlgBtn::OK});
}

} // namespace quorin
