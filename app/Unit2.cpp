#include "Unit2.h"

#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "Artwork.h"
#include "Controls.h"
#include "dialogs/Image.h"
#include "dialogs/Placement.h"

namespace quorin {

TForm2* Form2 = nullptr;

namespace {

// The Russian is the source text each goes through the translator with.
const char* const Description = QT_TRANSLATE_NOOP("quorin::TForm2",
    "Программа разработана для упаковки  юнитов в \n"
    "юнит-паки формата Quorin\n"
    "\n"
    "Автор: команда Quorin Unit Packer, 2024 год.\n"
    "Все права защищены.\n"
    "Форум поддержки: www.example.org\n"
    "E-mail: support@example.org");

const char* const Warning = QT_TRANSLATE_NOOP("quorin::TForm2",
    "Внимание!\n"
    "Юнит-паки этой версии не сертифицируются\n"
    "и устанавливаются на ваш страх и риск.\n"
    "Перед установкой сохраните копию папки data\n"
    "вашей модификации.");

const char* const DistributionNotice = QT_TRANSLATE_NOOP("quorin::TForm2",
    "Эта версия распространяется бесплатно и только через форум поддержки. "
    "Выкладывать её на других ресурсах можно лишь со ссылкой на форум.");

TImage* MakeImage(QWidget* parent, const QString& name, const QRect& bounds, const QString& artwork)
{
    auto* image = new TImage(parent);
    image->setObjectName(name);
    image->setGeometry(bounds);
    LoadArtwork(image->Picture(), artwork);
    return image;
}

// Read-only text without a border on the window's own face.
QPlainTextEdit* MakeNotice(QWidget* parent, const QString& name, const QRect& bounds, QColor colour)
{
    auto* memo = new QPlainTextEdit(parent);
    memo->setObjectName(name);
    memo->setGeometry(bounds);
    memo->setReadOnly(true);
    memo->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    memo->setFocusPolicy(Qt::StrongFocus);
    memo->setFrameShape(QFrame::NoFrame);
    memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    memo->document()->setDocumentMargin(1);
    memo->setFont(MakeFont(MSSansSerif, 11, true));
    QPalette colours = memo->palette();
    colours.setColor(QPalette::Base, colours.color(QPalette::Window));
    colours.setColor(QPalette::Text, colour);
    memo->setPalette(colours);
    return memo;
}

} // namespace

TForm2::TForm2(QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("Form2"));
    setFont(MakeFont(MSSansSerif, 11, false));
    setFixedSize(555, 475);
    CreateHeading();
    CreateBody();
    CreateControls();
    RetranslateUi();
    setTabOrder(Memo2, Memo1);
    setTabOrder(Memo1, Button1);
    setTabOrder(Button1, Edit1);
    Memo2->setFocus();
    CentreOnScreen(*this);
}

TForm2::~TForm2() = default;

void TForm2::CreateHeading()
{
    Image1 = MakeImage(this, QStringLiteral("Image1"), QRect(24, 8, 48, 64), Artwork::Emblem);
    Image1->SetTransparent(true);
    const QFont titleFont = MakeFont(Tahoma, 19, true);
    Label1 = MakeLabel(this, QStringLiteral("Label1"), QStringLiteral("Quorin Unit Packer"), QRect(208, 8, 176, 23), &titleFont);
    SetColour(Label1, QPalette::WindowText, QColor(0, 0, 128));
    const QFont versionFont = MakeFont(MSSansSerif, 13, true);
    Label2 = MakeLabel(this, QStringLiteral("Label2"), QString(), QRect(232, 40, 128, 16), &versionFont);
}

void TForm2::CreateBody()
{
    Bevel1 = new QFrame(this);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setFrameStyle(QFrame::Box | QFrame::Sunken);
    Bevel1->setGeometry(24, 80, 505, 345);

    Label3 = new QLabel(this);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setWordWrap(true);
    Label3->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label3->setFont(MakeFont(MSSansSerif, 11, true));
    SetColour(Label3, QPalette::WindowText, QColor(0, 0, 128));
    Label3->setGeometry(32, 312, 489, 41);

    Image2 = MakeImage(this, QStringLiteral("Image2"), QRect(176, 360, 233, 38), Artwork::ForumBanner);
    Image2->SetStretch(true);

    const QFont noticeFont = MakeFont(Tahoma, 13, true);
    Label4 = MakeLabel(this, QStringLiteral("Label4"), QString(), QRect(88, 56, 439, 16), &noticeFont);
    SetColour(Label4, QPalette::WindowText, QColor(128, 0, 0));
}

void TForm2::CreateControls()
{
    Memo2 = MakeNotice(this, QStringLiteral("Memo2"), QRect(32, 200, 313, 97), QColor(128, 0, 0));
    Memo1 = MakeNotice(this, QStringLiteral("Memo1"), QRect(32, 96, 361, 105), palette().color(QPalette::WindowText));

    Button1 = new QPushButton(this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(248, 440, 75, 25);
    Button1->setAutoDefault(false);
    connect(Button1, &QPushButton::clicked, this, &TForm2::Button1Click);

    Edit1 = new QLineEdit(QStringLiteral("www.example.org"), this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(232, 400, 129, 21);
    Edit1->setFrame(false);
    Edit1->setFont(MakeFont(MSSansSerif, 13, false, false, true));
    QPalette linkColours = Edit1->palette();
    linkColours.setColor(QPalette::Base, linkColours.color(QPalette::Window));
    linkColours.setColor(QPalette::Text, QColor(0, 0, 255));
    Edit1->setPalette(linkColours);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1->setGeometry(360, 112, 161, 153);
    Image3 = MakeImage(Panel1, QStringLiteral("Image3"), QRect(8, 8, 145, 137), Artwork::Illustration);
    Image3->SetStretch(true);
}

void TForm2::RetranslateUi()
{
    setWindowTitle(tr("О программе"));
    SetCaption(Label2, tr("версия 0.1 альфа"));
    Label3->setText(tr(DistributionNotice));
    // The notice whole on its one line, whichever face is found.
    const QString notice = tr("Данная версия не поддерживает сертифицирование юнит-паков");
    Label4->setFont(FitCaptions(MakeFont(Tahoma, 13, true), {notice}, 439));
    SetCaption(Label4, notice);
    Memo1->setPlainText(tr(Description));
    Memo2->setPlainText(tr(Warning));
    Button1->setText(tr("Закрыть"));
}

void TForm2::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        RetranslateUi();
    QDialog::changeEvent(event);
}

void TForm2::Button1Click() { accept(); }

void TForm2::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
        event->accept();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (focusWidget() == Button1)
            Button1->click();
        event->accept();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

} // namespace quorin
