#pragma once
// The 3D view of a battle model in its rest pose, and the window around it.
// Shaders stay at the OpenGL 2.1 / ES 2.0 level, so Mesa's software renderer
// draws them on machines without a graphics card.

#include <QColor>
#include <QList>
#include <QOpenGLFunctions>
#include <QOpenGLWidget>
#include <QPair>
#include <QWidget>

class QPushButton;
#include <memory>
#include <vector>

#include "imaging/Bitmap.h"
#include "model/CasModel.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QOpenGLShaderProgram;

namespace quorin {

class TModelView : public QOpenGLWidget, protected QOpenGLFunctions {
    Q_OBJECT
public:
    explicit TModelView(QWidget* parent = nullptr);
    ~TModelView() override;

    // The model in its rest pose, framed whole.
    void SetModel(const TCasModel& model);
    // Pixels as the decoders give them (32 bits); null for plain shading.
    // The texture and, where its file holds them, its own mipmaps (largest
    // first, down to 1 x 1); the view makes them when none are given.
    // SetTexture copies the picture; TakeTexture keeps it as it is.
    void SetTexture(const TBitmap* texture, std::vector<std::unique_ptr<TBitmap>> storedMipmaps = {});
    void TakeTexture(std::unique_ptr<TBitmap> texture, std::vector<std::unique_ptr<TBitmap>> storedMipmaps = {});
    // Shown instead of the model: why it cannot be drawn.
    void SetMessage(const QString& text);
    QString Message() const { return message_; }
    QString Note() const { return note_; }
    // Shown over the model: why its texture is missing, say.
    void SetNote(const QString& text);
    void SetWireframe(bool on);
    // Tints the texture's alpha channel (the faction colour mask).
    void SetMaskTint(bool on, const QColor& colour);
    void Frame();

protected:
    void initializeGL() override;
    void paintGL() override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    struct TMeshBuffers {
        unsigned VertexBuffer = 0;
        unsigned IndexBuffer = 0;
        unsigned EdgeBuffer = 0;
        int Indices = 0;
        int Edges = 0;
    };

    void Upload();
    void UploadTexture();
    void ReleaseGL();
    void DrawMeshes(bool edges);

    std::vector<std::vector<float>> vertexData_;          // per mesh: position, normal, UV
    std::vector<std::vector<std::uint16_t>> indexData_;   // per mesh: triangles
    std::vector<std::vector<std::uint16_t>> edgeData_;    // per mesh: each triangle's three edges
    std::unique_ptr<TBitmap> picture_;                    // the decoders' rows (BGR or BGRA), from the top
    bool textureOpaque_ = true;                           // alpha 1 wherever the picture has none
    std::vector<std::unique_ptr<TBitmap>> textureLevels_; // the mipmaps below the picture
    bool modelDirty_ = false;
    bool textureDirty_ = false;

    std::unique_ptr<QOpenGLShaderProgram> program_;
    std::vector<TMeshBuffers> buffers_;
    unsigned texture_ = 0;

    float centre_[3] = {0, 0, 0};
    float radius_ = 1;
    float yaw_ = 0;
    float pitch_ = 0;
    float distance_ = 3;
    QPoint lastMouse_;
    bool wireframe_ = false;
    bool tint_ = false;
    QColor tintColour_ = QColor(200, 30, 30);
    QString message_;
    QString note_;
};

// "Модель — FILE": the view, a list of the textures to draw it with, and the
// wireframe and faction colour switches.
class TModelWindow : public QWidget {
    Q_OBJECT
public:
    // textures: (faction, texture file) of the page's texture rows, the row
    // selected drawn first. Without rows, the texture the model names is
    // looked for beside the model, as textures/x.tga.dds.
    TModelWindow(const QString& modelPath, const QList<QPair<QString, QString>>& textures, int selected = 0,
                 QWidget* parent = nullptr);

    TModelView* View() const { return view_; }

protected:
    void changeEvent(QEvent* event) override;

private:
    void ShowTexture(int index);
    void RetranslateUi();
    void ExportGltf();

    QString modelPath_;
    QString modelName_;
    TCasModel model_;  // empty when it could not be read
    TModelView* view_;
    QLabel* textureLabel_;
    QComboBox* textureList_;
    QCheckBox* wireframe_;
    QCheckBox* mask_;
    QPushButton* exportGltf_;
    QStringList texturePaths_;
};

// The model page's way in from glTF: converts the glTF at gltfPath to a .cas
// beside it (asking before replacing a file there) and gives that path;
// empty when the user declines or the conversion fails (said in a message).
QString ConvertGltfBeside(QWidget* parent, const QString& gltfPath);

// What the model page shows under the model's path: the model's counts, or
// why it cannot be read (readable false).
struct TModelSummary {
    bool Readable = false;
    QString Text;
};
TModelSummary ModelSummary(const QString& modelPath);

} // namespace quorin
