#pragma once
// The main window: the page buttons on the left, five overlapping pages on
// the right, and the build command that reads the unit sheet from the pages.

#include <QWidget>
#include <memory>
#include <string>
#include <string_view>

#include "check/Finding.h"
#include "package/UnitSheet.h"

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QTimer;

namespace quorin {

class TFactionList;
class TFileDialog;
class TFlatGroupBox;
class TGauge;
class TImage;
class TOpenPictureDialog;
class TPackLog;
class TPackRun;
class TSpeedButton;

class TForm1 : public QWidget {
    Q_OBJECT
public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    // The unit sheet as the controls hold it now.
    TUnitSheet ReadSheet() const;
    // The output path exactly as Edit10 holds it.
    std::string OutputPath() const;
    // Builds the package and shows the completion text; failures propagate
    // to the event loop's error box.
    void Compile();
    // The completion text for the output path, in the window's language.
    QString CompletionMessage() const;
    // Puts every caption, column and file type through the translator again,
    // leaving what the user typed or chose as it is.
    void RetranslateUi();

    // Fills every page from sheet, replacing what they held; the card
    // previews then show the last row's cards, as after an addition.
    void LoadSheet(const TUnitSheet& sheet);
    // Opens a unit manifest (.toml) or a package: a package's files are first
    // unpacked beside it into a folder named after it (or one the user picks
    // when that folder holds anything). Nothing changes unless the whole file
    // was read; a failure propagates to the error box.
    void OpenUnit(const QString& path);
    // Saves the pages as a unit manifest, atomically.
    void SaveUnit(const QString& path);
    // The manifest or package last opened or saved; empty before.
    const QString& UnitPath() const { return unitPath_; }

    // Rows as the additions make them; the new row is not selected.
    void AppendTextureRow(const TTextureRow& row);
    void AppendCardRow(const TUiCardRow& row);
    // Loads the selected card row's INFO card into ImgP1, then its #unit card
    // into ImgP2; does nothing when no row is selected. A row without its
    // #unit card fails with "List index out of bounds (1)" after the first.
    void ShowCardPreviews();

    // The file dialogs, each made on first use and kept for the window's
    // life, so it remembers the last file. A file dialog costs more to build
    // than the rest of the window, so start-up does not pay for them.
    TFileDialog* CasDialog();
    TOpenPictureDialog* TextureDialog();
    TOpenPictureDialog* CardDialog();
    TFileDialog* SaveDialog();
    TFileDialog* UnitOpenDialog();
    TFileDialog* UnitSaveDialog();

    void SpeedButton1Click();
    void SpeedButton2Click();
    void SpeedButton3Click();
    void SpeedButton4Click();
    void SpeedButton5Click();
    void SpeedButton7Click();
    void SpeedButton8Click();
    void SpeedButton9Click();
    void SpeedButton10Click();
    void SpeedButton11Click();
    void SpeedButton12Click();
    void SpeedButton13Click();
    void LV2SelectItem();
    // Reads the model Edit8 names and says what it holds, or why it cannot.
    void UpdateModelInfo();
    void ModelViewButtonClick();
    void Timer1Timer();
    void OpenButtonClick();   // Ctrl+O
    void SaveButtonClick();   // Ctrl+S: the open manifest, else a new name
    void SaveAsClick();       // Ctrl+Shift+S
    // Switches the window to the language the button names, and keeps the
    // choice for the next start.
    void LanguageButtonClick();

    // Beyond the layout: opening and saving a unit, under "Создать пак...".
    TSpeedButton* OpenButton = nullptr;
    TSpeedButton* SaveButton = nullptr;
    TFileDialog* OpnUnit = nullptr; // see UnitOpenDialog()
    TFileDialog* SavUnit = nullptr; // see UnitSaveDialog()
    // Beyond the layout: "EN" in the Russian window, "RU" in the English one,
    // beside the emblem above the page buttons.
    TSpeedButton* LanguageButton = nullptr;

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

    // " Параметры модели".
    QLabel* Label7 = nullptr;
    QLineEdit* Edit7 = nullptr;
    QLabel* Label8 = nullptr;
    QLineEdit* Edit8 = nullptr;
    TSpeedButton* SpeedButton7 = nullptr;
    QLabel* Label9 = nullptr;
    TSpeedButton* SpeedButton8 = nullptr;
    TSpeedButton* SpeedButton9 = nullptr;
    TFactionList* LV1 = nullptr;
    QLabel* Label10 = nullptr;
    QLineEdit* Edit9 = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    QLabel* Label12 = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    // Beyond the layout: what the model file holds, and its 3D view.
    QLabel* ModelInfo = nullptr;
    TSpeedButton* ModelViewButton = nullptr;
    TFileDialog* OpnCas = nullptr;        // see CasDialog()
    TOpenPictureDialog* OpnDDS = nullptr; // see TextureDialog()

    // " Параметры юнита ".
    QLabel* Label13 = nullptr;
    QLabel* Label14 = nullptr;
    QPlainTextEdit* Memo2 = nullptr;
    QPlainTextEdit* Memo3 = nullptr;

    // " Карточки UI ".
    QLabel* Label17 = nullptr;
    TSpeedButton* SpeedButton10 = nullptr;
    TSpeedButton* SpeedButton11 = nullptr;
    TFlatGroupBox* GroupBox5 = nullptr;
    QFrame* Bevel2 = nullptr;
    QFrame* Bevel1 = nullptr;
    QLabel* Label15 = nullptr;
    QLabel* Label16 = nullptr;
    TImage* ImgP1 = nullptr;
    TImage* ImgP2 = nullptr;
    TFactionList* LV2 = nullptr;
    TOpenPictureDialog* OpnTGA = nullptr; // see CardDialog()

    // " Создание пака ".
    QLabel* Label18 = nullptr;
    QLabel* Label19 = nullptr;
    TSpeedButton* SpeedButton12 = nullptr;
    TSpeedButton* SpeedButton13 = nullptr;
    TGauge* Gauge1 = nullptr;
    QLineEdit* Edit10 = nullptr;
    QListWidget* List1 = nullptr;
    TFileDialog* SavDlg = nullptr; // see SaveDialog()

    // Double-clicking a finding in the log brings its page to the front.
    void List1DblClick();
    // The page a finding concerns.
    QWidget* PageOf(TUnitPage page) const;

protected:
    void changeEvent(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // The edit or memo a unit field's table names.
    QLineEdit* FieldEdit(std::string_view control) const;
    QPlainTextEdit* BlockMemo(std::string_view control) const;
    void CreateFrame();
    void CreateUnitButtons();
    void CreateLanguageButton();
    void SetUnitPath(const QString& path);
    void CreatePageButtons();
    void CreatePages();
    void CreateBasicPage();
    void CreateModelPage();
    void CreateUnitTextPage();
    void CreateCardsPage();
    void CreatePackPage();
    void ChainTabOrder();
    void ConnectHandlers();

    // Set while an addition selects its row: the addition shows the
    // previews itself, once.
    bool addingCardRow_ = false;
    QString unitPath_;
    std::unique_ptr<TPackLog> packLog_;
    TPackRun* packRun_ = nullptr; // while a build runs
    // What can change the unit, greyed while a build runs long enough to see.
    void SetPacking(bool packing);
    void ShowFindings(const TFindings& findings);
    QTimer* modelInfoTimer_ = nullptr; // reads the model once typing pauses
};

// The main window, created first at start-up.
extern TForm1* Form1;

} // namespace quorin
