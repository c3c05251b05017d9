#pragma once
// The About window: which tool and version this is, what it cannot do, and
// where its support forum is. Shown modally once, right after start.

#include <QDialog>

class QFrame;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace quorin {

class TImage;

class TForm2 : public QDialog {
    Q_OBJECT
public:
    explicit TForm2(QWidget* parent = nullptr);
    ~TForm2() override;

    void Button1Click();
    // Puts every text through the translator again.
    void RetranslateUi();

    TImage* Image1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QFrame* Bevel1 = nullptr;
    QLabel* Label3 = nullptr;
    TImage* Image2 = nullptr;
    QLabel* Label4 = nullptr;
    QPlainTextEdit* Memo2 = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QPushButton* Button1 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QFrame* Panel1 = nullptr;
    TImage* Image3 = nullptr;

protected:
    void changeEvent(QEvent* event) override;
    // Esc does not close the window; Enter closes it only from "Закрыть".
    void keyPressEvent(QKeyEvent* event) override;

private:
    void CreateHeading();
    void CreateBody();
    void CreateControls();
};

// The About window, created hidden at start-up.
extern TForm2* Form2;

} // namespace quorin
