#include "MessageBox.h"

#include <QApplication>
#include <QClipboard>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <algorithm>

#include "DialogUnits.h"
#include "Placement.h"

namespace quorin {

namespace {

struct TButtonInfo {
    const char* Caption;
    TModalResult Result;
};

TButtonInfo ButtonInfo(TMsgDlgBtn button)
{
    switch (button) {
    case TMsgDlgBtn::Yes: return {"&Yes", TModalResult::Yes};
    case TMsgDlgBtn::No: return {"&No", TModalResult::No};
    case TMsgDlgBtn::OK: return {"OK", TModalResult::OK};
    case TMsgDlgBtn::Cancel: return {"Cancel", TModalResult::Cancel};
    case TMsgDlgBtn::Abort: return {"&Abort", TModalResult::Abort};
    case TMsgDlgBtn::Retry: return {"&Retry", TModalResult::Retry};
    case TMsgDlgBtn::Ignore: return {"&Ignore", TModalResult::Ignore};
    case TMsgDlgBtn::All: return {"&All", TModalResult::All};
    case TMsgDlgBtn::NoToAll: return {"N&o to All", TModalResult::NoToAll};
    case TMsgDlgBtn::YesToAll: return {"Yes to &All", TModalResult::YesToAll};
    case TMsgDlgBtn::Help: return {"&Help", TModalResult::Help};
    case TMsgDlgBtn::Close: return {"&Close", TModalResult::Close};
    }
    return {"", TModalResult::None};
}

QString KindCaption(TMsgDlgType kind)
{
    switch (kind) {
    case TMsgDlgType::Warning: return QStringLiteral("Warning");
    case TMsgDlgType::Error: return QStringLiteral("Error");
    case TMsgDlgType::Information: return QStringLiteral("Information");
    case TMsgDlgType::Confirmation: return QStringLiteral("Confirm");
    case TMsgDlgType::Custom: break;
    }
    return QCoreApplication::applicationName();
}

// The kind's 32 x 32 icon, or none for a custom box.
QStyle::StandardPixmap KindIcon(TMsgDlgType kind, bool& hasIcon)
{
    hasIcon = true;
    switch (kind) {
    case TMsgDlgType::Warning: return QStyle::SP_MessageBoxWarning;
    case TMsgDlgType::Error: return QStyle::SP_MessageBoxCritical;
    case TMsgDlgType::Information: return QStyle::SP_MessageBoxInformation;
    case TMsgDlgType::Confirmation: return QStyle::SP_MessageBoxQuestion;
    case TMsgDlgType::Custom: break;
    }
    hasIcon = false;
    return QStyle::SP_CustomBase;
}

TMsgDlgBtn DefaultButton(const std::vector<TMsgDlgBtn>& buttons)
{
    auto has = [&](TMsgDlgBtn b) { return std::find(buttons.begin(), buttons.end(), b) != buttons.end(); };
    return has(TMsgDlgBtn::OK) ? TMsgDlgBtn::OK : has(TMsgDlgBtn::Yes) ? TMsgDlgBtn::Yes : TMsgDlgBtn::Retry;
}

TMsgDlgBtn CancelButton(const std::vector<TMsgDlgBtn>& buttons)
{
    auto has = [&](TMsgDlgBtn b) { return std::find(buttons.begin(), buttons.end(), b) != buttons.end(); };
    return has(TMsgDlgBtn::Cancel) ? TMsgDlgBtn::Cancel : has(TMsgDlgBtn::No) ? TMsgDlgBtn::No : TMsgDlgBtn::OK;
}

const QString Divider = QString(27, QLatin1Char('-')) + QStringLiteral("\r\n");

} // namespace

QString BreakableText(const QString& text, const QFontMetrics& metrics, int width)
{
    QString out;
    out.reserve(text.size());
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = start;
        while (end < text.size() && !text.at(end).isSpace())
            ++end;
        const QStringView word = QStringView(text).mid(start, end - start);
        if (metrics.horizontalAdvance(word.toString()) > width) {
            for (const QChar c : word) {
                out += c;
                out += ZeroWidthSpace;
            }
        } else {
            out += word;
        }
        for (; end < text.size() && text.at(end).isSpace(); ++end)
            out += text.at(end);
        start = end;
    }
    return out;
}

TMessageForm::TMessageForm(const QString& message, TMsgDlgType kind, std::vector<TMsgDlgBtn> buttons, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      message_(message)
{
    setWindowTitle(KindCaption(kind));
    setFont(QApplication::font("QMessageBox"));
    bool hasIcon = false;
    const QStyle::StandardPixmap icon = KindIcon(kind, hasIcon);
    if (hasIcon) {
        Image = new QLabel(this);
        Image->setObjectName(QStringLiteral("Image"));
        Image->setPixmap(style()->standardIcon(icon, nullptr, this).pixmap(32, 32));
    }
    Message = new QLabel(message, this);
    Message->setObjectName(QStringLiteral("Message"));
    Message->setTextFormat(Qt::PlainText);
    Message->setWordWrap(true);
    std::sort(buttons.begin(), buttons.end());
    buttons.erase(std::unique(buttons.begin(), buttons.end()), buttons.end());
    CreateButtons(buttons);
    LayOut();
    CentreOnScreen(*this);
}

void TMessageForm::CreateButtons(const std::vector<TMsgDlgBtn>& buttons)
{
    const TMsgDlgBtn defaultButton = DefaultButton(buttons);
    const TMsgDlgBtn cancelButton = CancelButton(buttons);
    for (TMsgDlgBtn b : buttons) {
        const TButtonInfo info = ButtonInfo(b);
        auto* button = new QPushButton(QString::fromLatin1(info.Caption), this);
        button->setObjectName(QString::fromLatin1(info.Caption).remove(QLatin1Char('&')).remove(QLatin1Char(' ')));
        button->setAutoDefault(false);
        button->setDefault(b == defaultButton);
        if (b == cancelButton)
            cancelButton_ = button;
        connect(button, &QPushButton::clicked, this, [this, result = info.Result] { Finish(result); });
        Buttons.push_back(button);
    }
}

void TMessageForm::LayOut()
{
    const TDialogUnits units = TDialogUnits::ForFont(font());
    const QFontMetrics metrics(font());
    const int horzMargin = units.Horz(8), vertMargin = units.Vert(8);
    const int horzSpacing = units.Horz(10), vertSpacing = units.Vert(10);
    const int buttonSpacing = units.Horz(4), buttonHeight = units.Vert(14);
    int buttonWidth = units.Horz(50);
    for (const QPushButton* button : Buttons)
        buttonWidth = std::max(buttonWidth, metrics.horizontalAdvance(QString(button->text()).remove(QLatin1Char('&'))) + 8);

    const QScreen* screen = QGuiApplication::primaryScreen();
    const int column = screen ? screen->geometry().width() / 2 : 640;
    Message->setText(BreakableText(message_, metrics, column));
    const QRect textRect = metrics.boundingRect(QRect(0, 0, column, 0), Qt::TextWordWrap | Qt::TextExpandTabs, Message->text());
    int iconTextWidth = textRect.width(), iconTextHeight = textRect.height();
    int textLeft = horzMargin;
    if (Image) {
        iconTextWidth += 32 + horzSpacing;
        iconTextHeight = std::max(iconTextHeight, 32);
        Image->setGeometry(horzMargin, vertMargin, 32, 32);
        textLeft += 32 + horzSpacing;
    }
    Message->setGeometry(textLeft, vertMargin, textRect.width(), textRect.height());

    const int count = static_cast<int>(Buttons.size());
    const int groupWidth = count > 0 ? buttonWidth * count + buttonSpacing * (count - 1) : 0;
    const int clientWidth = std::max(iconTextWidth, groupWidth) + 2 * horzMargin;
    setFixedSize(clientWidth, iconTextHeight + buttonHeight + vertSpacing + 2 * vertMargin);
    int x = (clientWidth - groupWidth) / 2;
    for (QPushButton* button : Buttons) {
        button->setGeometry(x, iconTextHeight + vertMargin + vertSpacing, buttonWidth, buttonHeight);
        x += buttonWidth + buttonSpacing;
    }
}

bool IsCopyKey(const QKeyEvent& event)
{
    // Qt's own copy shortcut; where its key mapping still gives the layout's
    // letter, the key that carries C in the Cyrillic layouts.
    constexpr int CyrillicEs = 0x0421;
    if (event.matches(QKeySequence::Copy))
        return true;
    return event.modifiers() == Qt::ControlModifier && (event.key() == Qt::Key_C || event.key() == CyrillicEs);
}

QString BoxClipboardText(const QString& caption, const QString& message, const QStringList& buttonCaptions)
{
    QString captions;
    for (const QString& button : buttonCaptions)
        captions += button + QStringLiteral("   ");
    captions.remove(QLatin1Char('&'));
    const QString eol = QStringLiteral("\r\n");
    return Divider + caption + eol + Divider + message + eol + Divider + captions + eol + Divider;
}

QString TMessageForm::ClipboardText() const
{
    QStringList captions;
    for (const QPushButton* button : Buttons)
        captions << button->text();
    return BoxClipboardText(windowTitle(), message_, captions);
}

void TMessageForm::keyPressEvent(QKeyEvent* event)
{
    if (IsCopyKey(*event)) {
        QApplication::beep();
        QGuiApplication::clipboard()->setText(ClipboardText());
        return;
    }
    QDialog::keyPressEvent(event);
}

void TMessageForm::reject()
{
    if (cancelButton_)
        cancelButton_->click();
    else
        Finish(TModalResult::Cancel);
}

void TMessageForm::Finish(TModalResult result)
{
    result_ = result;
    done(static_cast<int>(result));
}

TModalResult ShowMessageBox(const QString& message, TMsgDlgType kind, std::vector<TMsgDlgBtn> buttons)
{
    TMessageForm form(message, kind, std::move(buttons));
    form.exec();
    return form.Result();
}

} // namespace quorin
