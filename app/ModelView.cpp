#include "ModelView.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QMatrix4x4>
#include <QMouseEvent>
#include <QOpenGLShaderProgram>
#include <QPainter>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <numbers>

#include "base/Text.h"
#include "imaging/DDS.h"
#include "imaging/FileFormats.h"
#include "imaging/Mipmaps.h"
#include "base/SaveFile.h"
#include "imaging/Picture.h"
#include "imaging/PngWriter.h"
#include "model/Gltf.h"
#include "model/RestPose.h"

namespace quorin {

namespace {

constexpr float FieldOfView = 35.0f;
constexpr int PositionAttribute = 0;
constexpr int NormalAttribute = 1;
constexpr int UVAttribute = 2;
constexpr int FloatsPerVertex = 8;  // position, normal, UV

// GLSL 1.10 / ES 1.00: no version line, precision qualifiers that Qt defines
// away on desktop OpenGL.
const char* const VertexShader = R"(
attribute highp vec3 position;
attribute mediump vec3 normal;
attribute mediump vec2 uv;
uniform highp mat4 matrix;
uniform mediump mat3 normalMatrix;
varying mediump vec2 texel;
varying mediump float light;
void main()
{
    texel = uv;
    mediump vec3 n = normalMatrix * normal;
    mediump float length2 = dot(n, n);
    // Faces are lit from the eye, both sides alike; a zero normal gets half light.
    light = length2 > 0.0 ? 0.35 + 0.65 * abs(n.z) * inversesqrt(length2) : 0.5;
    gl_Position = matrix * vec4(position, 1.0);
}
)";

const char* const FragmentShader = R"(
uniform sampler2D picture;
uniform mediump float textured;
uniform mediump float opaque;
uniform mediump float tint;
uniform mediump vec3 tintColour;
uniform mediump vec4 lineColour;
varying mediump vec2 texel;
varying mediump float light;
void main()
{
    if (lineColour.a > 0.5) {
        gl_FragColor = lineColour;
        return;
    }
    // The texture holds the decoders' pixels as they are: blue, green, red.
    mediump vec4 colour = textured > 0.5 ? texture2D(picture, texel).bgra : vec4(0.78, 0.76, 0.72, 1.0);
    if (opaque > 0.5)
        colour.a = 1.0;
    mediump vec3 rgb = tint > 0.5 ? mix(colour.rgb, tintColour, 1.0 - colour.a) : colour.rgb;
    gl_FragColor = vec4(rgb * light, 1.0);
}
)";

bool IsPowerOfTwo(int n) { return n > 0 && (n & (n - 1)) == 0; }

} // namespace

TModelView::TModelView(QWidget* parent) : QOpenGLWidget(parent)
{
    setMinimumSize(160, 120);
}

TModelView::~TModelView()
{
    makeCurrent();
    ReleaseGL();
    doneCurrent();
}

void TModelView::SetModel(const TCasModel& model)
{
    const TCasRestPose pose = CasRestPose(model);
    vertexData_.clear();
    indexData_.clear();
    edgeData_.clear();
    for (std::size_t m = 0; m < model.Meshes.size(); ++m) {
        const auto& mesh = model.Meshes[m];
        const auto& positions = pose.MeshPositions[m];
        std::vector<float> vertices(std::size_t{mesh.VertexCount} * FloatsPerVertex);
        for (std::size_t v = 0; v < mesh.VertexCount; ++v) {
            float* out = &vertices[v * FloatsPerVertex];
            std::copy_n(&positions[3 * v], 3, out);
            std::copy_n(&mesh.Normals[3 * v], 3, out + 3);
            if (mesh.HasUV)
                std::copy_n(&mesh.UVs[2 * v], 2, out + 6);
        }
        std::vector<std::uint16_t> edges;
        edges.reserve(mesh.Indices.size() * 2);
        for (std::size_t t = 0; t + 2 < mesh.Indices.size(); t += 3)
            for (std::size_t c = 0; c < 3; ++c)
                edges.insert(edges.end(), {mesh.Indices[t + c], mesh.Indices[t + (c + 1) % 3]});
        vertexData_.push_back(std::move(vertices));
        indexData_.emplace_back(mesh.Indices.begin(), mesh.Indices.end());
        edgeData_.push_back(std::move(edges));
    }
    centre_[0] = (pose.Minimum.X + pose.Maximum.X) / 2;
    centre_[1] = (pose.Minimum.Y + pose.Maximum.Y) / 2;
    centre_[2] = (pose.Minimum.Z + pose.Maximum.Z) / 2;
    const float dx = pose.Maximum.X - pose.Minimum.X, dy = pose.Maximum.Y - pose.Minimum.Y,
                dz = pose.Maximum.Z - pose.Minimum.Z;
    radius_ = std::max(0.001f, std::sqrt(dx * dx + dy * dy + dz * dz) / 2);
    message_.clear();
    modelDirty_ = true;
    Frame();
}

void TModelView::SetTexture(const TBitmap* texture, std::vector<std::unique_ptr<TBitmap>> storedMipmaps)
{
    std::unique_ptr<TBitmap> copy;
    if (texture) {
        copy = std::make_unique<TBitmap>();
        copy->Assign(*texture);
    }
    TakeTexture(std::move(copy), std::move(storedMipmaps));
}

void TModelView::TakeTexture(std::unique_ptr<TBitmap> texture, std::vector<std::unique_ptr<TBitmap>> storedMipmaps)
{
    picture_.reset();
    textureLevels_.clear();
    if (texture && texture->Width() > 0 && texture->Height() > 0) {
        // The rows stay as the decoders left them (top first, each a multiple
        // of four bytes long) and go to OpenGL from there: the shader reads
        // blue, green and red in their places, so nothing is converted per
        // pixel.
        picture_ = std::move(texture);
        textureOpaque_ = picture_->BytesPerPixel() != 4 || !picture_->HasAlphaChannel();
        // The file's own mipmaps are what the game draws; else they are made
        // here rather than by glGenerateMipmap, which Mesa's software
        // renderer runs through shaders it compiles anew for every view: the
        // first frame took several times as long. OpenGL ES 2.0 mipmaps only
        // pictures of powers of two.
        const int width = picture_->Width(), height = picture_->Height();
        if (IsPowerOfTwo(width) && IsPowerOfTwo(height)) {
            const int levels = FullMipmapCount(width, height) - 1;
            const bool stored = storedMipmaps.size() == static_cast<std::size_t>(levels) && levels > 0 &&
                                storedMipmaps[0]->Width() == std::max(1, width / 2) &&
                                storedMipmaps[0]->Height() == std::max(1, height / 2) &&
                                std::all_of(storedMipmaps.begin(), storedMipmaps.end(), [&](const auto& level) {
                                    return level->BytesPerPixel() == picture_->BytesPerPixel();
                                });
            textureLevels_ = stored ? std::move(storedMipmaps) : MakeMipmaps(*picture_, levels);
        }
    }
    textureDirty_ = true;
    update();
}

void TModelView::SetMessage(const QString& text)
{
    message_ = text;
    update();
}

void TModelView::SetNote(const QString& text)
{
    note_ = text;
    update();
}

void TModelView::SetWireframe(bool on)
{
    wireframe_ = on;
    update();
}

void TModelView::SetMaskTint(bool on, const QColor& colour)
{
    tint_ = on;
    tintColour_ = colour;
    update();
}

void TModelView::Frame()
{
    yaw_ = 0;
    pitch_ = 0;
    distance_ = radius_ / std::sin(FieldOfView / 2 * std::numbers::pi_v<float> / 180) * 1.05f;
    update();
}

void TModelView::initializeGL()
{
    initializeOpenGLFunctions();
    program_ = std::make_unique<QOpenGLShaderProgram>();
    // Qt keeps the linked program in its disk cache: later views load it
    // instead of compiling, which took most of this function's time.
    program_->addCacheableShaderFromSourceCode(QOpenGLShader::Vertex, VertexShader);
    program_->addCacheableShaderFromSourceCode(QOpenGLShader::Fragment, FragmentShader);
    program_->bindAttributeLocation("position", PositionAttribute);
    program_->bindAttributeLocation("normal", NormalAttribute);
    program_->bindAttributeLocation("uv", UVAttribute);
    if (!program_->link())
        message_ = tr("Не удалось подготовить шейдеры: %1").arg(program_->log());
    modelDirty_ = textureDirty_ = true;
}

void TModelView::ReleaseGL()
{
    for (auto& mesh : buffers_) {
        glDeleteBuffers(1, &mesh.VertexBuffer);
        glDeleteBuffers(1, &mesh.IndexBuffer);
        glDeleteBuffers(1, &mesh.EdgeBuffer);
    }
    buffers_.clear();
    if (texture_)
        glDeleteTextures(1, &texture_);
    texture_ = 0;
}

void TModelView::Upload()
{
    for (auto& mesh : buffers_) {
        glDeleteBuffers(1, &mesh.VertexBuffer);
        glDeleteBuffers(1, &mesh.IndexBuffer);
        glDeleteBuffers(1, &mesh.EdgeBuffer);
    }
    buffers_.assign(vertexData_.size(), {});
    for (std::size_t m = 0; m < vertexData_.size(); ++m) {
        auto& mesh = buffers_[m];
        glGenBuffers(1, &mesh.VertexBuffer);
        glBindBuffer(GL_ARRAY_BUFFER, mesh.VertexBuffer);
        glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(vertexData_[m].size() * sizeof(float)), vertexData_[m].data(),
                     GL_STATIC_DRAW);
        glGenBuffers(1, &mesh.IndexBuffer);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, mesh.IndexBuffer);
        glBufferData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(indexData_[m].size() * 2), indexData_[m].data(), GL_STATIC_DRAW);
        glGenBuffers(1, &mesh.EdgeBuffer);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, mesh.EdgeBuffer);
        glBufferData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(edgeData_[m].size() * 2), edgeData_[m].data(), GL_STATIC_DRAW);
        mesh.Indices = int(indexData_[m].size());
        mesh.Edges = int(edgeData_[m].size());
    }
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    modelDirty_ = false;
}

void TModelView::UploadTexture()
{
    if (texture_)
        glDeleteTextures(1, &texture_);
    texture_ = 0;
    textureDirty_ = false;
    if (!picture_)
        return;
    glGenTextures(1, &texture_);
    glBindTexture(GL_TEXTURE_2D, texture_);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    const GLenum format = picture_->BytesPerPixel() == 4 ? GL_RGBA : GL_RGB;
    glTexImage2D(GL_TEXTURE_2D, 0, GLint(format), picture_->Width(), picture_->Height(), 0, format, GL_UNSIGNED_BYTE,
                 picture_->RowAddress(0));
    for (std::size_t i = 0; i < textureLevels_.size(); ++i) {
        const TBitmap& level = *textureLevels_[i];
        const GLenum levelFormat = level.BytesPerPixel() == 4 ? GL_RGBA : GL_RGB;
        glTexImage2D(GL_TEXTURE_2D, GLint(i + 1), GLint(levelFormat), level.Width(), level.Height(), 0, levelFormat,
                     GL_UNSIGNED_BYTE, level.RowAddress(0));
    }
    // OpenGL ES 2.0 mipmaps and repeats only pictures of powers of two.
    const bool powers = !textureLevels_.empty();
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, powers ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, powers ? GL_REPEAT : GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, powers ? GL_REPEAT : GL_CLAMP_TO_EDGE);
}

void TModelView::DrawMeshes(bool edges)
{
    for (const auto& mesh : buffers_) {
        glBindBuffer(GL_ARRAY_BUFFER, mesh.VertexBuffer);
        glVertexAttribPointer(PositionAttribute, 3, GL_FLOAT, GL_FALSE, FloatsPerVertex * sizeof(float), nullptr);
        glVertexAttribPointer(NormalAttribute, 3, GL_FLOAT, GL_FALSE, FloatsPerVertex * sizeof(float),
                              reinterpret_cast<const void*>(3 * sizeof(float)));
        glVertexAttribPointer(UVAttribute, 2, GL_FLOAT, GL_FALSE, FloatsPerVertex * sizeof(float),
                              reinterpret_cast<const void*>(6 * sizeof(float)));
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, edges ? mesh.EdgeBuffer : mesh.IndexBuffer);
        glDrawElements(edges ? GL_LINES : GL_TRIANGLES, edges ? mesh.Edges : mesh.Indices, GL_UNSIGNED_SHORT, nullptr);
    }
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
}

void TModelView::paintGL()
{
    glClearColor(0.55f, 0.60f, 0.66f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (message_.isEmpty() && program_ && program_->isLinked()) {
        if (modelDirty_)
            Upload();
        if (textureDirty_)
            UploadTexture();

        QMatrix4x4 camera;
        camera.translate(0, 0, -distance_);
        camera.rotate(pitch_, 1, 0, 0);
        camera.rotate(yaw_, 0, 1, 0);
        camera.translate(-centre_[0], -centre_[1], -centre_[2]);
        QMatrix4x4 projection;
        const float aspect = height() > 0 ? float(width()) / float(height()) : 1.0f;
        projection.perspective(FieldOfView, aspect, std::max(0.001f, distance_ - radius_ * 2), distance_ + radius_ * 2);

        glEnable(GL_DEPTH_TEST);
        glDisable(GL_CULL_FACE);  // models are drawn from both sides, as the game does
        program_->bind();
        program_->setUniformValue("matrix", projection * camera);
        program_->setUniformValue("normalMatrix", camera.normalMatrix());
        program_->setUniformValue("picture", 0);
        program_->setUniformValue("textured", texture_ ? 1.0f : 0.0f);
        program_->setUniformValue("opaque", textureOpaque_ ? 1.0f : 0.0f);
        program_->setUniformValue("tint", tint_ ? 1.0f : 0.0f);
        program_->setUniformValue("tintColour", tintColour_);
        program_->setUniformValue("lineColour", QVector4D(0, 0, 0, 0));
        glActiveTexture(GL_TEXTURE0);
        glBindTexture(GL_TEXTURE_2D, texture_);
        for (int attribute : {PositionAttribute, NormalAttribute, UVAttribute})
            glEnableVertexAttribArray(attribute);

        glEnable(GL_POLYGON_OFFSET_FILL);
        glPolygonOffset(1, 1);  // the wireframe stays on top of its own faces
        DrawMeshes(false);
        glDisable(GL_POLYGON_OFFSET_FILL);
        if (wireframe_) {
            program_->setUniformValue("lineColour", QVector4D(0.05f, 0.05f, 0.05f, 1));
            DrawMeshes(true);
        }

        for (int attribute : {PositionAttribute, NormalAttribute, UVAttribute})
            glDisableVertexAttribArray(attribute);
        glBindTexture(GL_TEXTURE_2D, 0);
        program_->release();
        glDisable(GL_DEPTH_TEST);
    }
    if (!message_.isEmpty() || !note_.isEmpty()) {
        QPainter painter(this);
        painter.setPen(Qt::black);
        const QRect inside = rect().adjusted(12, 12, -12, -12);
        if (!message_.isEmpty())
            painter.drawText(inside, Qt::AlignCenter | Qt::TextWordWrap, message_);
        else
            painter.drawText(inside, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, note_);
    }
}

void TModelView::mousePressEvent(QMouseEvent* event)
{
    lastMouse_ = event->position().toPoint();
}

void TModelView::mouseMoveEvent(QMouseEvent* event)
{
    if (!(event->buttons() & Qt::LeftButton))
        return;
    const QPoint at = event->position().toPoint();
    yaw_ += 0.5f * float(at.x() - lastMouse_.x());
    pitch_ = std::clamp(pitch_ + 0.5f * float(at.y() - lastMouse_.y()), -89.0f, 89.0f);
    lastMouse_ = at;
    update();
}

void TModelView::mouseDoubleClickEvent(QMouseEvent*)
{
    Frame();
}

void TModelView::wheelEvent(QWheelEvent* event)
{
    const float steps = float(event->angleDelta().y()) / 120.0f;
    distance_ = std::clamp(distance_ * std::pow(0.87f, steps), radius_ * 0.2f, radius_ * 40.0f);
    update();
}

// ---- the window ------------------------------------------------------------

namespace {

// Shows a DDS texture decoded from its file mapped, read once: the top image
// and the mipmaps the file holds. False when the path names another kind of
// picture or the file cannot be mapped; the picture registry then reads it
// and gives its own message for what fails.
bool ShowMappedDds(TModelView& view, const QString& path)
{
    const std::string name = path.toStdString();
    if (TFileFormatsList::Instance().ClassForExtension(FileExtension(name)) != &TDDSImage::ClassRecord)
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() <= 0)
        return false;
    const uchar* bytes = file.map(0, file.size());
    if (!bytes)
        return false;
    const std::span<const std::uint8_t> data(bytes, static_cast<std::size_t>(file.size()));
    auto texture = std::make_unique<TDDSImage>();
    texture->DecodeDDS(data);
    view.TakeTexture(std::move(texture), TDDSImage::DecodeStoredMipmaps(data));
    return true;
}

// Where the game would find a texture the model names: textures/x.tga.dds
// beside the model, the name's case as written or in lower case.
QString TextureBesideModel(const QString& modelPath, std::string_view texture)
{
    const std::string_view file = FileNamePart(texture);
    const QString name = QString::fromUtf8(file.data(), static_cast<qsizetype>(file.size())) + ".dds";
    const QDir folder = QFileInfo(modelPath).dir();
    for (const QString& candidate : {name, name.toLower()}) {
        const QString path = folder.filePath("textures/" + candidate);
        if (QFileInfo::exists(path))
            return path;
    }
    return {};
}

} // namespace

TModelWindow::TModelWindow(const QString& modelPath, const QList<QPair<QString, QString>>& textures, int selected,
                           QWidget* parent)
    : QWidget(parent, Qt::Window), modelPath_(modelPath), modelName_(QFileInfo(modelPath).fileName())
{
    resize(640, 520);
    view_ = new TModelView(this);
    view_->setObjectName("ModelView");
    textureList_ = new QComboBox(this);
    textureList_->setObjectName("TextureList");
    wireframe_ = new QCheckBox(this);
    wireframe_->setObjectName("Wireframe");
    mask_ = new QCheckBox(this);
    mask_->setObjectName("FactionColour");
    textureLabel_ = new QLabel(this);

    auto* controls = new QHBoxLayout;
    controls->addWidget(textureLabel_);
    controls->addWidget(textureList_, 1);
    controls->addWidget(wireframe_);
    controls->addWidget(mask_);
    // The export button has a row of its own below, so the controls above
    // keep their places.
    exportGltf_ = new QPushButton(this);
    exportGltf_->setObjectName("ExportGltf");
    auto* actions = new QHBoxLayout;
    actions->addStretch(1);
    actions->addWidget(exportGltf_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(view_, 1);
    layout->addLayout(controls);
    layout->addLayout(actions);

    TCasModel& model = model_;
    try {
        model = LoadCasModel(modelPath.toStdString());
        view_->SetModel(model);
    } catch (const Exception& e) {
        view_->SetMessage(QString::fromStdString(e.Message()));
    }
    exportGltf_->setEnabled(!model.Nodes.empty());

    for (const auto& [faction, path] : textures) {
        textureList_->addItem(faction);
        texturePaths_ << path;
    }
    if (textures.isEmpty())
        for (const auto& material : model.Materials) {
            const QString path = material.Texture.empty() ? QString() : TextureBesideModel(modelPath, material.Texture);
            if (!path.isEmpty() && !texturePaths_.contains(path)) {
                textureList_->addItem(QFileInfo(path).fileName());
                texturePaths_ << path;
            }
        }
    textureList_->addItem(QString()); // "no texture", named by RetranslateUi
    texturePaths_ << QString();
    RetranslateUi();

    connect(textureList_, &QComboBox::currentIndexChanged, this, &TModelWindow::ShowTexture);
    connect(wireframe_, &QCheckBox::toggled, view_, &TModelView::SetWireframe);
    connect(mask_, &QCheckBox::toggled, this, [this](bool on) { view_->SetMaskTint(on, QColor(200, 30, 30)); });
    connect(exportGltf_, &QPushButton::clicked, this, &TModelWindow::ExportGltf);
    if (selected > 0 && selected < textures.size())
        textureList_->setCurrentIndex(selected);
    else
        ShowTexture(0);
}

void TModelWindow::RetranslateUi()
{
    setWindowTitle(tr("Модель — %1").arg(modelName_));
    wireframe_->setText(tr("Каркас"));
    mask_->setText(tr("Цвет фракции"));
    textureLabel_->setText(tr("Текстура:"));
    textureList_->setItemText(textureList_->count() - 1, tr("Без текстуры"));
    exportGltf_->setText(tr("Экспорт glTF..."));
}

// Writes the model shown, with the texture shown, as glTF where the user says.
void TModelWindow::ExportGltf()
{
    const QString suggested = QFileInfo(modelPath_).dir().filePath(QFileInfo(modelPath_).completeBaseName() + ".glb");
    const QString target = QFileDialog::getSaveFileName(this, tr("Экспорт glTF"), suggested,
                                                        tr("Модели glTF (*.glb *.gltf)"));
    if (target.isEmpty())
        return;
    try {
        std::vector<std::uint8_t> png;
        const int shown = textureList_->currentIndex();
        if (const QString texture = shown >= 0 && shown < texturePaths_.size() ? texturePaths_[shown] : QString();
            !texture.isEmpty()) {
            TPicture picture;
            picture.LoadByExtension(texture.toStdString());
            if (const auto* bitmap = dynamic_cast<const TBitmap*>(picture.Graphic()))
                png = PngBytes(*bitmap, bitmap->BytesPerPixel() == 4 && bitmap->HasAlphaChannel());
        }
        const std::string path = target.toStdString();
        const auto bytes = WriteGltf(model_, png, GltfContainerFor(path));
        TSaveFileStream file(path);
        file.WriteBuffer(bytes.data(), static_cast<std::int64_t>(bytes.size()));
        file.Commit();
    } catch (const Exception& e) {
        QMessageBox::warning(this, tr("Экспорт glTF"), QString::fromStdString(e.Message()));
    }
}

void TModelWindow::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        RetranslateUi();
    QWidget::changeEvent(event);
}

void TModelWindow::ShowTexture(int index)
{
    const QString path = index >= 0 && index < texturePaths_.size() ? texturePaths_[index] : QString();
    view_->SetNote({});
    if (path.isEmpty()) {
        view_->SetTexture(nullptr);
        return;
    }
    try {
        if (ShowMappedDds(*view_, path))
            return;
        TPicture picture;
        picture.LoadByExtension(path.toStdString());
        view_->SetTexture(dynamic_cast<const TBitmap*>(picture.Graphic()));
    } catch (const Exception& e) {
        // The model is still worth seeing: plain shading, with the reason over it.
        view_->SetTexture(nullptr);
        view_->SetNote(QString::fromStdString(e.Message()));
    }
}

QString ConvertGltfBeside(QWidget* parent, const QString& gltfPath)
{
    const QFileInfo source(gltfPath);
    const QString target = source.dir().filePath(source.completeBaseName() + ".cas");
    if (QFileInfo::exists(target) &&
        QMessageBox::question(parent, TModelWindow::tr("Модель из glTF"),
                              TModelWindow::tr("Файл %1 уже есть. Заменить его моделью из %2?")
                                  .arg(QDir::toNativeSeparators(target), source.fileName())) != QMessageBox::Yes)
        return {};
    try {
        TMemoryStream file;
        file.LoadFromFile(gltfPath.toStdString());
        const TGltfImport result =
            ReadGltf({file.Memory(), static_cast<std::size_t>(file.Size())}, gltfPath.toStdString());
        TSaveFileStream out(target.toStdString());
        out.WriteBuffer(result.Cas.data(), static_cast<std::int64_t>(result.Cas.size()));
        out.Commit();
        if (!result.Warnings.empty()) {
            QStringList warnings;
            for (const auto& warning : result.Warnings)
                warnings << QString::fromStdString(warning);
            QMessageBox::information(parent, TModelWindow::tr("Модель из glTF"), warnings.join('\n'));
        }
        return target;
    } catch (const Exception& e) {
        QMessageBox::warning(parent, TModelWindow::tr("Модель из glTF"), QString::fromStdString(e.Message()));
        return {};
    }
}

TModelSummary ModelSummary(const QString& modelPath)
{
    // A pipe would hold the window until something writes it, and reading it
    // would take the bytes the build needs.
    const QFileInfo file(modelPath);
    if (file.exists() && !file.isFile() && !file.isDir())
        return {false, TModelWindow::tr("Не обычный файл: прочтётся при создании пака")};
    try {
        const TCasTotals totals = CasTotals(LoadCasModel(modelPath.toStdString(), TCasDetail::Counts));
        return {true, TModelWindow::tr("Треугольников: %1, вершин: %2, костей: %3")
                          .arg(totals.Triangles)
                          .arg(totals.Vertices)
                          .arg(totals.Bones)};
    } catch (const Exception& e) {
        return {false, QString::fromStdString(e.Message())};
    }
}

} // namespace quorin
