#pragma once
// The main window: the page buttons on the left, five overlapping pages on
// the right, and the build command that reads the unit sheet from the pages.

#include <QWidget>
#include <string>

#include "package/UnitSheet.h"

class QComboBox;
class QFileDialog;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QTimer;

namespace quorin {

class TFlatGroupBox;
class TGauge;
class TImage;
class TSpeedButton;

class TForm1 : public QWidget {
    Q_OBJECT
public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    // The unit sheet as the controls hold it now. Virtual so that tests can
    // stand in for pages that are not part of the window yet.
    virtual TUnitSheet ReadSheet() const;
    // The output path exactly as Edit10 holds it.
    std::string OutputPath() const;
    // Builds the package and shows the completion text; failures propagate
    // to the event loop's error box.
    void Compile();
    // SavDlg, made on first use and kept for the window's life, so it
    // remembers the last name. A file dialog costs more to build than the
    // rest of the window, so start-up does not pay for it.
    QFileDialog* SaveDialog();

    void SpeedButton1Click();
    void SpeedButton2Click();
    void SpeedButton3Click();
    void SpeedButton4Click();
    void SpeedButton5Click();
    void SpeedButton12Click();
    void SpeedButton13Click();
    void Timer1Timer();

    // The frame.
    TImage* Image1 = nullptr;
    TSpeedButton* SpeedButton1 = nullptr;
    TSpeedButton* SpeedButton2 = nullptr;
    TSpeedButton* SpeedButton3 = nullptr;
    TSpeedButton* SpeedButton4 = nullptr;
    TSpeedButton* SpeedButton5 = nullptr;
    TSpeedButton* SpeedButton6 = nullptr;
    QLabel* Label20 = nullptr;
    QLabel* Label21 = nullptr;
    TFlatGroupBox* GroupBox1 = nullptr;
    TFlatGroupBox* GroupBox2 = nullptr;
    TFlatGroupBox* GroupBox3 = nullptr;
    TFlatGroupBox* GroupBox4 = nullptr;
    TFlatGroupBox* GroupBox6 = nullptr;
    QTimer* Timer1 = nullptr;

    // " Основные параметры ".
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label11 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QLineEdit* Edit2 = nullptr;
    QLineEdit* Edit3 = nullptr;
    QLineEdit* Edit4 = nullptr;
    QLineEdit* Edit5 = nullptr;
    QLineEdit* Edit6 = nullptr;
    QComboBox* ComboBox1 = nullptr;

    // " Параметры юнита ".
    QLabel* Label13 = nullptr;
    QLabel* Label14 = nullptr;
    QPlainTextEdit* Memo2 = nullptr;
    QPlainTextEdit* Memo3 = nullptr;

    // " Создание пака ".
    QLabel* Label18 = nullptr;
    QLabel* Label19 = nullptr;
    TSpeedButton* SpeedButton12 = nullptr;
    TSpeedButton* SpeedButton13 = nullptr;
    TGauge* Gauge1 = nullptr;
    QLineEdit* Edit10 = nullptr;
    QListWidget* List1 = nullptr;
    QFileDialog* SavDlg = nullptr; // see SaveDialog()

private:
    void CreateFrame();
    void CreatePageButtons();
    void CreatePages();
    void CreateBasicPage();
    void CreateUnitTextPage();
    void CreatePackPage();
    void ChainTabOrder();
    void ConnectHandlers();

    QString savFileName_; // the name last chosen in SavDlg
};

// The main window, created first at start-up.
extern TForm1* Form1;

} // namespace quorin
