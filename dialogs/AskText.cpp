#include "AskText.h"

#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QValidator>

#include "DialogUnits.h"
#include "Placement.h"

namespace quorin {

namespace {

// Keeps a field to a number of characters counted as code points. When an
// edit would exceed it, the characters just inserted before the cursor are
// dropped, so typing at the limit changes nothing and a paste is cut short.
class TCharacterLimitValidator : public QValidator {
public:
    TCharacterLimitValidator(int limit, QObject* parent) : QValidator(parent), limit_(limit) {}

    State validate(QString& input, int& pos) const override
    {
        QList<uint> text = input.toUcs4();
        qsizetype excess = text.size() - limit_;
        if (excess <= 0)
            return Acceptable;
        qsizetype cursor = QStringView(input).left(pos).toUcs4().size();
        const qsizetype beforeCursor = std::min(excess, cursor);
        text.remove(cursor - beforeCursor, beforeCursor);
        cursor -= beforeCursor;
        text.resize(limit_);
        input = QString::fromUcs4(reinterpret_cast<const char32_t*>(text.constData()), text.size());
        pos = static_cast<int>(QString::fromUcs4(reinterpret_cast<const char32_t*>(text.constData()), std::min(cursor, text.size())).size());
        return Acceptable;
    }

private:
    int limit_;
};

QFont PromptFont()
{
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPointSize(8);
    return font;
}

} // namespace

TAskTextDialog::TAskTextDialog(const QString& caption, const QString& prompt, const QString& value, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setWindowTitle(caption);
    setFont(PromptFont());
    CreateControls(prompt, value);
    LayOut();
    CentreOnScreen(*this);
}

void TAskTextDialog::CreateControls(const QString& prompt, const QString& value)
{
    Prompt = new QLabel(prompt, this);
    Prompt->setObjectName(QStringLiteral("Prompt"));
    Prompt->setTextFormat(Qt::PlainText);
    Prompt->setWordWrap(true);

    Edit = new QLineEdit(this);
    Edit->setObjectName(QStringLiteral("Edit"));
    Edit->setValidator(new TCharacterLimitValidator(AskTextMaxLength, Edit));
    Edit->setText(value);
    Edit->selectAll();

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

    CancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    CancelButton->setAutoDefault(false);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

void TAskTextDialog::LayOut()
{
    const TDialogUnits units = TDialogUnits::ForFont(font());
    const int left = units.Horz(8);
    const QRect textRect = QFontMetrics(font()).boundingRect(QRect(0, 0, units.Horz(164), 0), Qt::TextWordWrap, Prompt->text());
    Prompt->setGeometry(left, units.Vert(8), textRect.width(), textRect.height());

    const int editTop = Prompt->geometry().bottom() + 1 + 5;
    Edit->setGeometry(left, editTop, units.Horz(164), Edit->sizeHint().height());

    const int buttonTop = Edit->geometry().bottom() + 1 + 15;
    const QSize buttonSize(units.Horz(50), units.Vert(14));
    OKButton->setGeometry(QRect(QPoint(units.Horz(38), buttonTop), buttonSize));
    CancelButton->setGeometry(QRect(QPoint(units.Horz(92), buttonTop), buttonSize));

    setFixedSize(units.Horz(180), buttonTop + buttonSize.height() + 13);
}

QString TAskTextDialog::Value() const { return Edit->text(); }

bool AskTextConfirmed(const QString& caption, const QString& prompt, QString& value)
{
    TAskTextDialog dialog(caption, prompt, value);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    value = dialog.Value();
    return true;
}

QString AskText(const QString& caption, const QString& prompt, const QString& defaultText)
{
    QString value = defaultText;
    AskTextConfirmed(caption, prompt, value);
    return value;
}

} // namespace quorin
