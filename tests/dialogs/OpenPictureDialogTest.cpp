// The open dialog with a picture preview: the pane, the selection change,
// the full view, and the dialog as the pages use it.

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>

#include "../support/PictureFiles.h"
#include "ModalDriver.h"
#include "dialogs/Image.h"
#include "dialogs/OpenPictureDialog.h"
#include "dialogs/SpeedButton.h"
#include "imaging/Bitmap.h"
#include "imaging/PictureModules.h"

namespace quorin {

using namespace test;

namespace {

// A picture that fails whenever it is drawn.
class TUndrawable : public TBitmap {
public:
    void Draw(TCanvas&, const TRect&) const override { throw EInvalidGraphic("cannot draw"); }
};

struct TPaneSeen {
    QString Label;
    bool ButtonEnabled = false;
    QString Caption;
    QSize Picture;
};

TPaneSeen Pane(const TOpenPictureDialog& dialog)
{
    return {dialog.PictureLabel->text(), dialog.PreviewButton->isEnabled(), dialog.PaintPanel->Caption(),
            QSize(dialog.PaintBox->Picture().Width(), dialog.PaintBox->Picture().Height())};
}

// What the full view showed: the window's client size and its image's.
struct TFullViewSeen {
    QString Title;
    QSize Client;
    QSize Image;
    QSize Picture;
};

TFullViewSeen OpenFullView(const std::function<void()>& open)
{
    TFullViewSeen seen;
    test::OnNextModal<QDialog>([&seen](QDialog* form) {
        auto* image = form->findChild<TImage*>(QStringLiteral("Image"));
        seen.Title = form->objectName() + QLatin1Char(':') + form->windowTitle();
        seen.Client = form->size();
        seen.Image = image ? image->size() : QSize();
        seen.Picture = image ? QSize(image->Picture().Width(), image->Picture().Height()) : QSize();
        QTest::keyClick(form, Qt::Key_Escape); // Esc closes it
    });
    open();
    return seen;
}

} // namespace

class OpenPictureDialogTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void paneIsSetUp();
    void selectionChange_data();
    void selectionChange();
    void sameSelectionIsNotReloaded();
    void showingClearsThePictureButKeepsTheLabel();
    void paintFailureIsSilenced();
    void fullViewShowsThePictureAtItsOwnSize_data();
    void fullViewShowsThePictureAtItsOwnSize();
    void doubleClickOnAnEmptyPreviewOpensAnEmptyFullView();
    void typedPathIsChosenWithEnterAndRemembered();
    void typedMissingFileIsReturnedAndCancelKeepsTheLast();

private:
    QString Path(const QString& name) const { return dir_->filePath(name); }

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<TOpenPictureDialog> dialog_;
};

void OpenPictureDialogTest::initTestCase() { StartPictureModules(); }

void OpenPictureDialogTest::init()
{
    dir_ = std::make_unique<QTemporaryDir>();
    dialog_ = std::make_unique<TOpenPictureDialog>(QStringLiteral("OpnDDS"), QStringLiteral("Текстура DDS (*.dds)|*.dds"), nullptr);
}

void OpenPictureDialogTest::cleanup()
{
    dialog_.reset();
    dir_.reset();
}

void OpenPictureDialogTest::paneIsSetUp()
{
    TOpenPictureDialog& d = *dialog_;
    QCOMPARE(d.objectName(), QStringLiteral("OpnDDS"));
    QVERIFY(d.testOption(QFileDialog::DontUseNativeDialog));
    QCOMPARE(d.acceptMode(), QFileDialog::AcceptOpen);
    QVERIFY(d.windowTitle().isEmpty() || d.windowTitle() == QStringLiteral("Open")); // Qt's own default
    auto* types = d.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    QVERIFY(types);
    QCOMPARE(types->count(), 1);
    QCOMPARE(types->itemText(0), QStringLiteral("Текстура DDS (*.dds)"));

    QCOMPARE(d.findChild<QWidget*>(QStringLiteral("PicturePanel")), d.PicturePanel);
    QCOMPARE(d.PicturePanel->width(), 169);
    QCOMPARE(d.PictureLabel->parent(), d.PicturePanel);
    QVERIFY(d.PictureLabel->text().isEmpty());
    QCOMPARE(d.PreviewButton->parent(), d.PicturePanel);
    QVERIFY(!d.PreviewButton->isEnabled());
    QCOMPARE(d.PreviewButton->toolTip(), QStringLiteral("Preview"));
    QCOMPARE(d.PreviewButton->size(), QSize(23, 22));
    const QImage glyph = d.PreviewButton->Glyph().toImage();
    QCOMPARE(glyph.size(), QSize(16, 16));
    QCOMPARE(qAlpha(glyph.pixel(0, 15)), 0); // its bottom-left colour is transparent
    QCOMPARE(qAlpha(glyph.pixel(5, 5)), 255);
    QCOMPARE(d.PaintPanel->parent(), d.PicturePanel);
    QCOMPARE(d.PaintBox->parent(), d.PaintPanel);
    QVERIFY(d.PaintBox->Stretch() && d.PaintBox->Proportional() && d.PaintBox->Center());
    QVERIFY(!d.PaintBox->Transparent());

    // On screen the pane stands right of Qt's controls, the button at the
    // right end of the label strip, the paint panel below the strip.
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    const QRect panel = d.PicturePanel->geometry();
    QCOMPARE(panel.right(), d.width() - 1 - d.layout()->contentsMargins().right());
    QCOMPARE(d.PictureLabel->geometry(), QRect(6, 6, 157, 23));
    QCOMPARE(d.PaintPanel->geometry().topLeft(), QPoint(6, 29));
    QCOMPARE(d.PaintPanel->width(), 157);
    QCOMPARE(d.PreviewButton->pos(), QPoint(6 + 157 - 23 - 2, 1));
    d.hide();
}

void OpenPictureDialogTest::selectionChange_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QSize>("picture");
    QTest::newRow("TGA card") << "card.tga" << " (160x210)" << QSize(160, 210);
    QTest::newRow("DDS texture") << "texture.dds" << " (64x64)" << QSize(64, 64);
    QTest::newRow("upper-case extension") << "WIDE.DDS" << " (300x100)" << QSize(300, 100);
    QTest::newRow("folder") << "folder.dds" << "Picture:" << QSize();
    QTest::newRow("missing file") << "missing.dds" << "Picture:" << QSize();
    QTest::newRow("unknown extension") << "notes.txt" << "Picture:" << QSize();
    QTest::newRow("colour-mapped TGA") << "mapped.tga" << "Picture:" << QSize();
    QTest::newRow("damaged DDS") << "damaged.dds" << "Picture:" << QSize();
    QTest::newRow("empty path") << "" << "Picture:" << QSize();
}

void OpenPictureDialogTest::selectionChange()
{
    QFETCH(QString, file);
    QFETCH(QString, label);
    QFETCH(QSize, picture);
    WriteTga(Path("card.tga"), 160, 210, Solid(0xFF804020));
    WriteDds(Path("texture.dds"), 64, 64, Solid(0x80102030));
    WriteDds(Path("WIDE.DDS"), 300, 100, Solid(0xFF00FF00));
    QDir(dir_->path()).mkdir(QStringLiteral("folder.dds"));
    WriteBytes(Path("notes.txt"), {'t', 'e', 'x', 't'});
    WriteColourMappedTga(Path("mapped.tga"));
    WriteBytes(Path("damaged.dds"), {'D', 'D', 'S', ' ', 1, 2, 3});
    const QString path = file.isEmpty() ? QString() : Path(file);

    // From a picture on show, so a failure must also take it away.
    WriteTga(Path("before.tga"), 8, 4, Solid(0xFFFFFFFF));
    dialog_->SelectionChanged(Path("before.tga"));
    QCOMPARE(Pane(*dialog_).Label, QStringLiteral(" (8x4)"));

    dialog_->SelectionChanged(path); // never an error box: nothing may escape
    const TPaneSeen seen = Pane(*dialog_);
    QCOMPARE(seen.Label, label);
    const bool shown = picture.isValid();
    QCOMPARE(seen.ButtonEnabled, shown);
    QCOMPARE(seen.Caption, shown ? QString() : QStringLiteral("(None)"));
    QCOMPARE(seen.Picture, shown ? picture : QSize(0, 0));
    QVERIFY(!QApplication::activeModalWidget());
}

void OpenPictureDialogTest::sameSelectionIsNotReloaded()
{
    const QString card = WriteTga(Path("card.tga"), 160, 210, Solid(0xFF000000));
    const QString other = WriteTga(Path("other.tga"), 10, 10, Solid(0xFF000000));
    dialog_->SelectionChanged(card);
    WriteTga(card, 20, 30, Solid(0xFF000000)); // changed on disk behind the pane's back
    dialog_->SelectionChanged(card);
    QCOMPARE(Pane(*dialog_).Label, QStringLiteral(" (160x210)"));
    QCOMPARE(Pane(*dialog_).Picture, QSize(160, 210));
    dialog_->SelectionChanged(other);
    dialog_->SelectionChanged(card);
    QCOMPARE(Pane(*dialog_).Label, QStringLiteral(" (20x30)"));
    // The comparison is exact: another spelling of the path loads again.
    WriteTga(card, 40, 50, Solid(0xFF000000));
    dialog_->SelectionChanged(dir_->path() + QStringLiteral("/./card.tga"));
    QCOMPARE(Pane(*dialog_).Label, QStringLiteral(" (40x50)"));
}

void OpenPictureDialogTest::showingClearsThePictureButKeepsTheLabel()
{
    const QString texture = WriteDds(Path("t.dds"), 64, 32, Solid(0xFF336699));
    dialog_->SelectionChanged(texture);
    TPaneSeen whileShown;
    test::OnNextModal<QFileDialog>([&](QFileDialog* d) {
        whileShown = Pane(*dialog_);
        d->reject();
    });
    QVERIFY(!dialog_->Execute());
    QCOMPARE(whileShown.Caption, QStringLiteral("(None)"));
    QCOMPARE(whileShown.Picture, QSize(0, 0));
    QCOMPARE(whileShown.Label, QStringLiteral(" (64x32)"));
    QVERIFY(whileShown.ButtonEnabled);
    // The last path is forgotten: the same file loads again.
    dialog_->SelectionChanged(texture);
    QCOMPARE(Pane(*dialog_).Picture, QSize(64, 32));
}

void OpenPictureDialogTest::paintFailureIsSilenced()
{
    dialog_->resize(900, 500);
    dialog_->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog_.get()));
    auto broken = std::make_unique<TUndrawable>();
    broken->SetSize(10, 10);
    dialog_->PaintBox->Picture().SetGraphic(std::move(broken));
    dialog_->PaintBox->repaint();
    QCOMPARE(dialog_->PaintPanel->Caption(), QStringLiteral("Invalid image"));
    // The caption is painted centred in the panel.
    const QImage shot = dialog_->PaintPanel->grab().toImage();
    int dark = 0;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 4; x < shot.width() - 4; ++x)
            dark += qGray(shot.pixel(x, y)) < 100;
    QVERIFY(dark > 20);
}

void OpenPictureDialogTest::fullViewShowsThePictureAtItsOwnSize_data()
{
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<bool>("capped");
    QTest::newRow("100 x 50") << QSize(100, 50) << false;
    QTest::newRow("taller than the screen") << QSize(64, 4000) << true;
    QTest::newRow("larger than the screen") << QSize(3000, 2500) << true;
}

void OpenPictureDialogTest::fullViewShowsThePictureAtItsOwnSize()
{
    QFETCH(QSize, picture);
    QFETCH(bool, capped);
    dialog_->SelectionChanged(WriteDds(Path("p.dds"), picture.width(), picture.height(), Solid(0xFF112233)));
    QVERIFY(dialog_->PreviewButton->isEnabled());
    const TFullViewSeen seen = OpenFullView([&] { QTest::mouseClick(dialog_->PreviewButton, Qt::LeftButton); });
    QCOMPARE(seen.Title, QStringLiteral("PreviewForm:Preview"));
    QCOMPARE(seen.Picture, picture); // a copy of the pane's picture
    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    if (!capped) {
        QCOMPARE(seen.Image, picture);
        return;
    }
    if (picture.width() > screen.width())
        QCOMPARE(seen.Client.width(), screen.width() * 3 / 4);
    QCOMPARE(seen.Client.height(), screen.height() * 3 / 4);
    QVERIFY(seen.Image.width() < picture.width() || seen.Image.height() < picture.height());
}

void OpenPictureDialogTest::doubleClickOnAnEmptyPreviewOpensAnEmptyFullView()
{
    dialog_->resize(900, 500);
    dialog_->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog_.get()));
    QVERIFY(!dialog_->PreviewButton->isEnabled());
    const TFullViewSeen seen = OpenFullView([&] { QTest::mouseDClick(dialog_->PaintBox, Qt::LeftButton); });
    QCOMPARE(seen.Title, QStringLiteral("PreviewForm:Preview"));
    QCOMPARE(seen.Picture, QSize(0, 0));
    QCOMPARE(seen.Client, QSize(320, 240));
}

void OpenPictureDialogTest::typedPathIsChosenWithEnterAndRemembered()
{
    const QString texture = WriteDds(Path("hastati.dds"), 16, 16, Solid(0xFF808080));
    QPoint placed;
    QSize size;
    TPaneSeen pane;
    test::OnNextModal<QFileDialog>([&](QFileDialog* d) {
        placed = d->pos();
        size = d->size();
        auto* name = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        QVERIFY(name);
        name->setText(texture);
        QTest::keyClick(name, Qt::Key_Return);
    });
    QVERIFY(dialog_->Execute());
    QCOMPARE(dialog_->FileName(), QDir::toNativeSeparators(texture));
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QCOMPARE(placed, QPoint(screen.left() + (screen.width() - size.width()) / 2,
                            screen.top() + (screen.height() - size.height()) / 3));
    QVERIFY(size.width() >= 169 * 2); // widened by the pane

    // The next run opens on that file, and the pane shows it.
    QStringList prefilled;
    test::OnNextModal<QFileDialog>([&](QFileDialog* d) {
        if (!QTest::qWaitFor([&] { return Pane(*dialog_).Picture == QSize(16, 16); }))
            qWarning("the pane did not show the file the dialog opened on");
        pane = Pane(*dialog_);
        prefilled = d->selectedFiles();
        static_cast<QDialog*>(d)->accept();
    });
    QVERIFY(dialog_->Execute());
    QCOMPARE(prefilled, QStringList{texture});
    QCOMPARE(pane.Label, QStringLiteral(" (16x16)"));
    QCOMPARE(dialog_->FileName(), QDir::toNativeSeparators(texture));
}

void OpenPictureDialogTest::typedMissingFileIsReturnedAndCancelKeepsTheLast()
{
    const QString missing = Path("not-there.dds");
    test::OnNextModal<QFileDialog>([&](QFileDialog* d) {
        d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(missing);
        static_cast<QDialog*>(d)->accept();
    });
    QVERIFY(dialog_->Execute());
    QCOMPARE(dialog_->FileName(), QDir::toNativeSeparators(missing));
    test::OnNextModal<QFileDialog>([](QFileDialog* d) { d->reject(); });
    QVERIFY(!dialog_->Execute());
    QCOMPARE(dialog_->FileName(), QDir::toNativeSeparators(missing));
}

} // namespace quorin

QTEST_MAIN(quorin::OpenPictureDialogTest)
#include "OpenPictureDialogTest.moc"
