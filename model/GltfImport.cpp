// The way back: a glTF 2.0 file as a battle model. The input is untrusted:
// every index is checked before it is used, every size before anything is
// allocated for it, and the JSON's depth is bounded.

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <tuple>
#include <unordered_map>

#include "Base64.h"
#include "CasDraft.h"
#include "CasWriter.h"
#include "Gltf.h"
#include "GltfShared.h"
#include "JsonReader.h"
#include "RestPose.h"

namespace quorin {

namespace {


constexpr int MaxJsonDepth = 64;
constexpr std::uint64_t MaxMeshElements = 0xFFFF;  // vertices or triangles in one mesh
constexpr std::uint32_t GlbMagic = 0x46546C67;
constexpr std::uint32_t GlbJson = 0x4E4F534A;
constexpr std::uint32_t GlbBinary = 0x004E4942;
constexpr std::string_view DataUriBase64 = ";base64,";

using TMatrix = std::array<double, 16>;  // column-major, as glTF writes them
using TPoint = std::array<double, 3>;

constexpr TMatrix Identity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

TMatrix Multiply(const TMatrix& a, const TMatrix& b)
{
    TMatrix out{};
    for (int column = 0; column < 4; ++column)
        for (int row = 0; row < 4; ++row) {
            double sum = 0;
            for (int k = 0; k < 4; ++k)
                sum += a[k * 4 + row] * b[column * 4 + k];
            out[column * 4 + row] = sum;
        }
    return out;
}

TPoint Transform(const TMatrix& m, const TPoint& p, double w)
{
    return {m[0] * p[0] + m[4] * p[1] + m[8] * p[2] + m[12] * w, m[1] * p[0] + m[5] * p[1] + m[9] * p[2] + m[13] * w,
            m[2] * p[0] + m[6] * p[1] + m[10] * p[2] + m[14] * w};
}

std::uint32_t Little32(const std::uint8_t* p)
{
    std::uint32_t value;
    std::memcpy(&value, p, 4);
    return value;
}

float JsonFloatBits(const std::string& text, bool& ok)
{
    if (!text.starts_with("bits:"))
        return ok = false, 0.0f;
    try {
        return std::bit_cast<float>(static_cast<std::uint32_t>(std::stoul(text.substr(5))));
    } catch (const std::exception&) {
        return ok = false, 0.0f;
    }
}

// A glTF accessor's elements, packed, as the file holds them.
struct TAccessor {
    int ComponentType = 0;
    std::size_t Components = 0;
    std::size_t Count = 0;
    bool Normalized = false;
    std::vector<std::uint8_t> Raw;

    std::size_t ComponentSize() const { return ComponentType == gltf::Float || ComponentType == gltf::UnsignedInt ? 4 : ComponentType <= gltf::UnsignedByte ? 1 : 2; }

    const std::uint8_t* At(std::size_t element, std::size_t component) const
    {
        return Raw.data() + (element * Components + component) * ComponentSize();
    }

    float Float(std::size_t element, std::size_t component) const
    {
        const std::uint8_t* p = At(element, component);
        switch (ComponentType) {
        case gltf::Float: {
            float value;
            std::memcpy(&value, p, 4);
            return value;
        }
        case gltf::UnsignedByte:
            return p[0] / 255.0f;
        case gltf::Byte:
            return std::max(static_cast<std::int8_t>(p[0]) / 127.0f, -1.0f);
        case gltf::UnsignedShort:
            return static_cast<std::uint16_t>(p[0] | p[1] << 8) / 65535.0f;
        default:
            return std::max(static_cast<std::int16_t>(p[0] | p[1] << 8) / 32767.0f, -1.0f);
        }
    }

    std::uint32_t Integer(std::size_t element, std::size_t component) const
    {
        const std::uint8_t* p = At(element, component);
        switch (ComponentType) {
        case gltf::UnsignedByte:
            return p[0];
        case gltf::UnsignedShort:
            return static_cast<std::uint32_t>(p[0] | p[1] << 8);
        default:
            return Little32(p);
        }
    }
};

// The skin's influences on one vertex, after the format's limits.
struct TInfluences {
    std::uint32_t First = 0, Second = 0;
    float Weight = 1;  // the first bone's share
    std::size_t Count = 0;  // bones with a weight before the limit
    TPoint Position{}, Normal{};
};

class TImporter {
public:
    TImporter(std::span<const std::uint8_t> bytes, std::string_view fileName) : bytes_(bytes), fileName_(fileName) {}

    TGltfImport Run()
    {
        std::span<const std::uint8_t> text = Container();
        Parse(text);
        CheckAsset();
        LoadBuffers();
        LoadNodes();
        ReadModelExtras();
        BuildSkeleton();
        BuildMaterials();
        BuildMeshes();
        BuildChunks();
        try {
            result_.Cas = WriteCasModel(CasModelView(draft_));
        } catch (const ECasWriteError& e) {
            // A name a modeller gave in letters the model's files cannot hold.
            std::string why = e.Message();
            why[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(why[0])));
            Fail(why);
        }
        // What was made must read back: a failure here is ours, not the input's.
        try {
            ReadCasModel(result_.Cas, fileName_, TCasDetail::Counts);
        } catch (const ECASException& e) {
            Fail("the model made from it does not read back (" + e.Expectation() + ")");
        }
        return std::move(result_);
    }

private:
    [[noreturn]] void Fail(const std::string& what) const
    {
        throw EGltfError("Cannot convert glTF file " + std::string(fileName_) + ": " + what);
    }

    // ---- container and JSON -------------------------------------------------

    std::span<const std::uint8_t> Container()
    {
        if (bytes_.size() < 4 || Little32(bytes_.data()) != GlbMagic)
            return bytes_;
        if (bytes_.size() < 20)
            Fail("expected a 12-byte header and a JSON chunk, the file has " + std::to_string(bytes_.size()) + " bytes");
        if (Little32(bytes_.data() + 4) != 2)
            Fail("expected glTF binary version 2, found " + std::to_string(Little32(bytes_.data() + 4)));
        if (Little32(bytes_.data() + 8) > bytes_.size())
            Fail("the header gives a length of " + std::to_string(Little32(bytes_.data() + 8)) +
                 " bytes, the file has " + std::to_string(bytes_.size()));
        const std::size_t end = Little32(bytes_.data() + 8);
        std::span<const std::uint8_t> jsonChunk, binChunk;
        for (std::size_t at = 12; at < end;) {
            if (end - at < 8)
                Fail("a chunk head is cut off at byte " + std::to_string(at));
            const std::uint64_t length = Little32(bytes_.data() + at);
            const std::uint32_t type = Little32(bytes_.data() + at + 4);
            if (length > end - at - 8)
                Fail("the chunk at byte " + std::to_string(at) + " reaches past the end of the file");
            const auto data = bytes_.subspan(at + 8, static_cast<std::size_t>(length));
            if (at == 12 && type != GlbJson)
                Fail("expected the JSON chunk first");
            if (type == GlbJson && at == 12)
                jsonChunk = data;
            else if (type == GlbBinary && binChunk.empty())
                binChunk = data;
            at += 8 + static_cast<std::size_t>(length);
        }
        binary_ = binChunk;
        hasBinary_ = binChunk.data() != nullptr;
        return jsonChunk;
    }

    void Parse(std::span<const std::uint8_t> text)
    {
        try {
            document_.emplace(std::string_view(reinterpret_cast<const char*>(text.data()), text.size()), MaxJsonDepth);
        } catch (const EJsonError& e) {
            if (e.TooDeep())
                Fail("its JSON nests deeper than " + std::to_string(MaxJsonDepth) + " levels");
            Fail("its JSON cannot be read (" + e.Message() + ")");
        }
        root_ = &document_->Root();
        if (!root_->IsObject())
            Fail("its JSON is not an object");
    }

    void CheckAsset()
    {
        const TJson* asset = Member(*root_, "asset");
        const TJson* version = asset ? Member(*asset, "version") : nullptr;
        if (!version || !version->IsString() || !std::string(version->Text()).starts_with("2."))
            Fail("expected asset.version 2.x");
        for (const TJson& name : Array(*root_, "extensionsRequired"))
            Fail("it needs the extension " + (name.IsString() ? std::string(name.Text()) : std::string(name.Source())) +
                 ", which is not read here");
    }

    // ---- reading the JSON safely -------------------------------------------

    static const TJson* Member(const TJson& object, const char* key)
    {
        if (!object.IsObject())
            return nullptr;
        return object.Find(key);
    }

    const TJson& Array(const TJson& object, const char* key) const
    {
        const TJson* value = Member(object, key);
        if (!value)
            return TJson::EmptyArray();
        if (!value->IsArray())
            Fail(std::string("expected \"") + key + "\" to be an array");
        return *value;
    }

    const TJson& Element(const char* list, std::uint64_t index, const std::string& what) const
    {
        const TJson& array = Array(*root_, list);
        if (index >= array.Size())
            Fail(what + " names " + list + " " + std::to_string(index) + ", but there " +
                 (array.Size() == 1 ? "is 1" : "are " + std::to_string(array.Size())));
        if (!array[index].IsObject())
            Fail(std::string(list) + " " + std::to_string(index) + " is not an object");
        return array[index];
    }

    std::optional<std::uint64_t> OptionalCount(const TJson& object, const char* key, const std::string& what) const
    {
        const TJson* value = Member(object, key);
        if (!value)
            return std::nullopt;
        if (!value->IsUnsigned())
            Fail("expected " + what + "'s \"" + key + "\" to be a whole number of at least 0");
        return value->Unsigned();
    }

    std::uint64_t Count(const TJson& object, const char* key, const std::string& what) const
    {
        auto value = OptionalCount(object, key, what);
        if (!value)
            Fail(what + " has no \"" + key + "\"");
        return *value;
    }

    std::string Text(const TJson& object, const char* key) const
    {
        const TJson* value = Member(object, key);
        return value && value->IsString() ? std::string(value->Text()) : std::string();
    }

    double Number(const TJson& value, const std::string& what) const
    {
        const double number = value.Number();
        if (!value.IsNumber() || !std::isfinite(number))
            Fail("expected a number for " + what);
        return number;
    }

    float ExtrasFloat(const TJson& value, const std::string& what) const
    {
        if (value.IsNumber())
            return value.Float();
        bool ok = value.IsString();
        const float bits = ok ? JsonFloatBits(std::string(value.Text()), ok) : 0.0f;
        if (!ok)
            Fail("the extras' " + what + " is not a number");
        return bits;
    }

    template <typename T>
    T ExtrasInteger(const TJson& object, const char* key, T fallback) const
    {
        const TJson* value = Member(object, key);
        if (!value || value->IsNull())
            return fallback;
        if (!value->IsInteger() || value->Integer() < 0 ||
            value->Unsigned() > std::numeric_limits<T>::max())
            Fail(std::string("the extras' \"") + key + "\" is not a whole number that fits");
        return static_cast<T>(value->Unsigned());
    }

    template <typename T, std::size_t N>
    void ExtrasArray(const TJson& object, const char* key, std::array<T, N>& out) const
    {
        const TJson* value = Member(object, key);
        if (!value)
            return;
        if (!value->IsArray() || value->Size() != N)
            Fail(std::string("the extras' \"") + key + "\" is not an array of " + std::to_string(N));
        for (std::size_t i = 0; i < N; ++i) {
            if constexpr (std::is_same_v<T, float>) {
                out[i] = ExtrasFloat((*value)[i], key);
            } else {
                const TJson& item = (*value)[i];
                if (!item.IsUnsigned() || item.Unsigned() > std::numeric_limits<T>::max())
                    Fail(std::string("the extras' \"") + key + "\" holds a value that does not fit");
                out[i] = static_cast<T>(item.Unsigned());
            }
        }
    }

    template <typename T>
    std::vector<T> ExtrasBinary(const TJson& object, const char* key) const
    {
        const TJson* value = Member(object, key);
        if (!value)
            return {};
        const auto size = value->IsString() ? DecodedBase64Size(value->Text()) : std::nullopt;
        if (!size || *size % sizeof(T) != 0)
            Fail(std::string("the extras' \"") + key + "\" is not Base64 of whole values");
        std::vector<T> out(*size / sizeof(T));
        if (!DecodeBase64(value->Text(), reinterpret_cast<std::uint8_t*>(out.data())))
            Fail(std::string("the extras' \"") + key + "\" is not Base64 of whole values");
        return out;
    }

    static const TJson* Extras(const TJson& object)
    {
        const TJson* extras = Member(object, "extras");
        const TJson* ours = extras ? Member(*extras, gltf::ExtrasKey) : nullptr;
        return ours && ours->IsObject() ? ours : nullptr;
    }

    // ---- buffers and accessors ---------------------------------------------

    void LoadBuffers()
    {
        const TJson& buffers = Array(*root_, "buffers");
        for (std::size_t i = 0; i < buffers.Size(); ++i) {
            const std::string what = "buffer " + std::to_string(i);
            const std::uint64_t length = Count(buffers[i], "byteLength", what);
            std::span<const std::uint8_t> data;
            const TJson* uri = Member(buffers[i], "uri");
            if (!uri) {
                if (i != 0 || !hasBinary_)
                    Fail(what + " has no data: no URI and no binary chunk");
                data = binary_;
            } else {
                const std::string_view text = uri->IsString() ? uri->Text() : std::string_view();
                const auto comma = text.find(DataUriBase64);
                if (!text.starts_with("data:") || comma == std::string::npos)
                    Fail(what + " lies in a file of its own; only buffers embedded in the glTF are read (export as "
                                ".glb, or as .gltf with embedded buffers)");
                auto decoded = DecodeBase64(std::string_view(text).substr(comma + DataUriBase64.size()));
                if (!decoded)
                    Fail(what + "'s data URI is not Base64");
                owned_.push_back(std::move(*decoded));
                data = owned_.back();
            }
            if (length > data.size())
                Fail(what + " claims " + std::to_string(length) + " bytes, but holds " + std::to_string(data.size()));
            buffers_.push_back(data.first(static_cast<std::size_t>(length)));
        }
    }

    std::uint64_t PeekCount(std::uint64_t index, const std::string& what) const
    {
        return Count(Element("accessors", index, what), "count", "accessor " + std::to_string(index));
    }

    // integers: the values are indices, not fractions written as integers.
    TAccessor Read(std::uint64_t index, std::initializer_list<int> types, const char* type, const std::string& what,
                   std::optional<std::uint64_t> expected = std::nullopt, bool integers = false)
    {
        const TJson& accessor = Element("accessors", index, what);
        const std::string name = "accessor " + std::to_string(index) + " (" + what + ")";
        if (Member(accessor, "sparse"))
            Fail(name + " is sparse, which is not read here");
        TAccessor out;
        const auto componentType = Count(accessor, "componentType", name);
        if (std::find(types.begin(), types.end(), static_cast<int>(componentType)) == types.end())
            Fail(name + " has component type " + std::to_string(componentType) + ", which it cannot have here");
        out.ComponentType = static_cast<int>(componentType);
        const std::string shape = Text(accessor, "type");
        static const std::unordered_map<std::string, std::size_t> components = {
            {"SCALAR", 1}, {"VEC2", 2}, {"VEC3", 3}, {"VEC4", 4}, {"MAT4", 16}};
        if (shape != type)
            Fail(name + " is of type \"" + shape + "\", expected \"" + type + "\"");
        out.Components = components.at(shape);
        const TJson* normalized = Member(accessor, "normalized");
        out.Normalized = normalized && normalized->IsBoolean() && normalized->Boolean();
        if (out.ComponentType != gltf::Float && !out.Normalized && !integers)
            Fail(name + " holds integers that are not normalized");
        const std::uint64_t count = Count(accessor, "count", name);
        if (count == 0)
            Fail(name + " has no elements");
        if (expected && count != *expected)
            Fail(name + " has " + std::to_string(count) + " elements, expected " + std::to_string(*expected));
        out.Count = static_cast<std::size_t>(count);

        const auto viewIndex = OptionalCount(accessor, "bufferView", name);
        if (!viewIndex)
            Fail(name + " has no buffer view");
        const TJson& view = Element("bufferViews", *viewIndex, name);
        const std::string viewName = "buffer view " + std::to_string(*viewIndex);
        const auto bufferIndex = Count(view, "buffer", viewName);
        if (bufferIndex >= buffers_.size())
            Fail(viewName + " names buffer " + std::to_string(bufferIndex) + ", which does not exist");
        const auto buffer = buffers_[static_cast<std::size_t>(bufferIndex)];
        const std::uint64_t viewOffset = OptionalCount(view, "byteOffset", viewName).value_or(0);
        const std::uint64_t viewLength = Count(view, "byteLength", viewName);
        if (viewOffset > buffer.size() || viewLength > buffer.size() - viewOffset)
            Fail(viewName + " reaches past the end of its buffer");
        const std::uint64_t element = out.ComponentSize() * out.Components;
        const std::uint64_t stride = OptionalCount(view, "byteStride", viewName).value_or(element);
        const std::uint64_t offset = OptionalCount(accessor, "byteOffset", name).value_or(0);
        if (stride < element || stride > 252)
            Fail(viewName + "'s stride of " + std::to_string(stride) + " bytes does not fit elements of " +
                 std::to_string(element));
        if (offset > viewLength || count > viewLength || (count - 1) * stride + element > viewLength - offset)
            Fail(name + " holds more than its buffer view");
        out.Raw.resize(static_cast<std::size_t>(count * element));
        const std::uint8_t* from = buffer.data() + viewOffset + offset;
        if (stride == element) {
            std::memcpy(out.Raw.data(), from, out.Raw.size());
        } else {
            for (std::size_t i = 0; i < out.Count; ++i)
                std::memcpy(out.Raw.data() + i * element, from + i * stride, static_cast<std::size_t>(element));
        }
        return out;
    }

    // ---- nodes --------------------------------------------------------------

    void LoadNodes()
    {
        const TJson& nodes = Array(*root_, "nodes");
        const std::size_t count = nodes.Size();
        parents_.assign(count, -1);
        for (std::size_t i = 0; i < count; ++i) {
            if (!nodes[i].IsObject())
                Fail("node " + std::to_string(i) + " is not an object");
            for (const TJson& child : Array(nodes[i], "children")) {
                if (!child.IsUnsigned() || child.Unsigned() >= count)
                    Fail("node " + std::to_string(i) + " names a child that does not exist");
                const auto c = static_cast<std::size_t>(child.Unsigned());
                if (parents_[c] != -1 || c == i)
                    Fail("node " + std::to_string(c) + " has more than one parent");
                parents_[c] = static_cast<std::int64_t>(i);
            }
        }
        // Every chain of parents must end: a cycle has no top.
        enum : std::uint8_t { Unseen, OnPath, Done };
        std::vector<std::uint8_t> state(count, Unseen);
        world_.assign(count, Identity);
        std::vector<std::size_t> chain;
        for (std::size_t i = 0; i < count; ++i) {
            std::int64_t j = static_cast<std::int64_t>(i);
            while (j != -1 && state[static_cast<std::size_t>(j)] == Unseen) {
                state[static_cast<std::size_t>(j)] = OnPath;
                chain.push_back(static_cast<std::size_t>(j));
                j = parents_[static_cast<std::size_t>(j)];
            }
            if (j != -1 && state[static_cast<std::size_t>(j)] == OnPath)
                Fail("the node tree has a cycle through node " + std::to_string(j));
            while (!chain.empty()) {
                const std::size_t k = chain.back();
                chain.pop_back();
                const TMatrix local = LocalMatrix(nodes[k], k);
                world_[k] = parents_[k] == -1 ? local : Multiply(world_[static_cast<std::size_t>(parents_[k])], local);
                state[k] = Done;
            }
        }
    }

    TMatrix LocalMatrix(const TJson& node, std::size_t index) const
    {
        const std::string what = "node " + std::to_string(index);
        if (const TJson* matrix = Member(node, "matrix")) {
            if (!matrix->IsArray() || matrix->Size() != 16)
                Fail(what + "'s matrix is not 16 numbers");
            TMatrix out;
            for (std::size_t i = 0; i < 16; ++i)
                out[i] = Number((*matrix)[i], what + "'s matrix");
            return out;
        }
        auto numbers = [&](const char* key, std::array<double, 4> fallback, std::size_t size) {
            const TJson* value = Member(node, key);
            if (!value)
                return fallback;
            if (!value->IsArray() || value->Size() != size)
                Fail(what + "'s " + key + " is not " + std::to_string(size) + " numbers");
            for (std::size_t i = 0; i < size; ++i)
                fallback[i] = Number((*value)[i], what + "'s " + key);
            return fallback;
        };
        const auto t = numbers("translation", {0, 0, 0, 0}, 3);
        const auto r = numbers("rotation", {0, 0, 0, 1}, 4);
        const auto s = numbers("scale", {1, 1, 1, 0}, 3);
        const double x = r[0], y = r[1], z = r[2], w = r[3];
        return {(1 - 2 * (y * y + z * z)) * s[0], 2 * (x * y + z * w) * s[0], 2 * (x * z - y * w) * s[0], 0,
                2 * (x * y - z * w) * s[1], (1 - 2 * (x * x + z * z)) * s[1], 2 * (y * z + x * w) * s[1], 0,
                2 * (x * z + y * w) * s[2], 2 * (y * z - x * w) * s[2], (1 - 2 * (x * x + y * y)) * s[2], 0,
                t[0], t[1], t[2], 1};
    }

    TPoint WorldPosition(std::size_t node) const { return {world_[node][12], world_[node][13], world_[node][14]}; }

    std::string NodeName(std::size_t node) const
    {
        const std::string name = Text(Array(*root_, "nodes")[node], "name");
        return name.empty() ? "node " + std::to_string(node) : name;
    }

    // ---- the model's own fields ---------------------------------------------

    void ReadModelExtras()
    {
        const auto scene = OptionalCount(*root_, "scene", "the glTF").value_or(0);
        const TJson& scenes = Array(*root_, "scenes");
        modelExtras_ = scene < scenes.Size() ? Extras(scenes[scene]) : nullptr;
        draft_.Header = UsualCasHeader();
        if (!modelExtras_)
            return;
        const TJson& e = *modelExtras_;
        auto& header = draft_.Header;
        if (const TJson* v = Member(e, "version"))
            header.Version = ExtrasFloat(*v, "version");
        if (const TJson* v = Member(e, "animationSeconds"))
            header.AnimationSeconds = ExtrasFloat(*v, "animationSeconds");
        ExtrasArray(e, "fixed", header.Fixed);
        ExtrasArray(e, "fixed2", header.Fixed2);
        ExtrasArray(e, "firstColour", header.FirstColour);
        ExtrasArray(e, "integers", header.Integers);
        ExtrasArray(e, "secondColour", header.SecondColour);
        if (const TJson* history = Member(e, "exportHistory"); history && history->IsString()) {
            draft_.HasExportHistory = true;
            draft_.ExportHistory = std::string(history->Text());
        }
        draft_.NodeReserved = ExtrasInteger<std::uint16_t>(e, "nodeReserved", 0);
        draft_.KeyTimes = ExtrasBinary<float>(e, "keyTimes");
        draft_.KeyData = ExtrasBinary<float>(e, "keyData");
    }

    // ---- the skeleton -------------------------------------------------------

    void BuildSkeleton()
    {
        const std::size_t count = parents_.size();
        nodeToCas_.assign(count, -1);
        const TJson* listed = modelExtras_ ? Member(*modelExtras_, "nodes") : nullptr;
        if (listed && listed->IsArray() && !listed->Empty())
            SkeletonFromExtras(*listed);
        else if (!Array(*root_, "skins").Empty())
            SkeletonFromSkin();
        else
            AddNode("Scene Root", CasNoParent, -1);
        if (!skeletonExact_)
            PivotsFromWorld();
        // The rest places the game will compute, in its own float arithmetic.
        TCasModel view = CasModelView(draft_);
        restPlaces_ = CasRestPose(view).NodePositions;
    }

    void AddNode(std::string name, std::uint32_t parent, std::int64_t gltfNode)
    {
        TCasNodeDraft node;
        node.Name = std::move(name);
        node.Fields.Parent = parent;
        draft_.Nodes.push_back(std::move(node));
        casToNode_.push_back(gltfNode);
        if (gltfNode >= 0)
            nodeToCas_[static_cast<std::size_t>(gltfNode)] = static_cast<std::int64_t>(draft_.Nodes.size() - 1);
    }

    // The skeleton the model had, names and order kept; each node found in
    // the glTF by its name (at its own index first).
    void SkeletonFromExtras(const TJson& listed)
    {
        const TJson& nodes = Array(*root_, "nodes");
        std::unordered_map<std::string, std::size_t> byName;
        for (std::size_t i = nodes.Size(); i-- > 0;)
            byName[Text(nodes[i], "name")] = i;
        skeletonExact_ = true;
        for (std::size_t i = 0; i < listed.Size(); ++i) {
            const TJson& entry = listed[i];
            const std::string name = Text(entry, "name");
            std::int64_t found = -1;
            if (i < nodes.Size() && Text(nodes[i], "name") == name)
                found = static_cast<std::int64_t>(i);
            else if (auto it = byName.find(name); it != byName.end())
                found = static_cast<std::int64_t>(it->second);
            if (found < 0)
                Fail("the skeleton's node \"" + name + "\" is not in the glTF");
            const std::uint32_t parent = i == 0 ? CasNoParent : ExtrasInteger<std::uint32_t>(entry, "parent", 0);
            if (i > 0 && parent >= listed.Size())
                Fail("the extras give node \"" + name + "\" a parent that does not exist");
            AddNode(name, parent, found);
            auto& node = draft_.Nodes.back();
            node.Properties = Text(entry, "properties");
            node.Fields.RotationKeys = ExtrasInteger<std::uint32_t>(entry, "rotationKeys", 0);
            node.Fields.PositionKeys = ExtrasInteger<std::uint32_t>(entry, "positionKeys", 0);
            node.Fields.RotationOffset = ExtrasInteger<std::uint32_t>(entry, "rotationOffset", 0);
            node.Fields.PositionOffset = ExtrasInteger<std::uint32_t>(entry, "positionOffset", 0);
            node.Fields.Reserved = ExtrasInteger<std::uint32_t>(entry, "reserved", 0);
            std::array<float, 3> pivot{};
            ExtrasArray(entry, "pivot", pivot);
            node.Fields.Pivot = {pivot[0], pivot[1], pivot[2]};
        }
        CheckParentsReachTheRoot();
        for (std::size_t i = 0; i < draft_.Nodes.size(); ++i)
            skeletonExact_ = skeletonExact_ && Unmoved(i);
        KeepAnimationIfWhole();
    }

    // As the reader demands; the extras could say otherwise.
    void CheckParentsReachTheRoot() const
    {
        enum : std::uint8_t { Unseen, OnPath, Reaches };
        std::vector<std::uint8_t> state(draft_.Nodes.size(), Unseen);
        state[0] = Reaches;
        for (std::size_t i = 1; i < draft_.Nodes.size(); ++i) {
            std::size_t j = i;
            while (state[j] == Unseen) {
                state[j] = OnPath;
                j = draft_.Nodes[j].Fields.Parent;
            }
            if (state[j] == OnPath)
                Fail("the extras' node parents form a cycle");
            for (j = i; state[j] == OnPath; j = draft_.Nodes[j].Fields.Parent)
                state[j] = Reaches;
        }
    }

    // A skeleton node the glTF holds as it was written: its place is the
    // stored pivot.
    bool Unmoved(std::size_t cas) const
    {
        const auto node = static_cast<std::size_t>(casToNode_[cas]);
        const std::uint32_t parent = draft_.Nodes[cas].Fields.Parent;
        const TCasVector& stored = draft_.Nodes[cas].Fields.Pivot;
        const std::array<float, 3> pivot = {stored.X, stored.Y, stored.Z};
        const TJson& n = Array(*root_, "nodes")[node];
        if (Member(n, "matrix") || Member(n, "rotation") || Member(n, "scale"))
            return false;
        const std::int64_t parentNode = parent == CasNoParent ? -1 : casToNode_[parent];
        if (parents_[node] != parentNode)
            return false;
        const TJson* t = Member(n, "translation");
        for (std::size_t c = 0; c < 3; ++c) {
            const float value = t && t->IsArray() && t->Size() == 3 && (*t)[c].IsNumber() ? static_cast<float>((*t)[c].Number()) : 0.0f;
            if (std::bit_cast<std::uint32_t>(value) != std::bit_cast<std::uint32_t>(pivot[c]) && !(value == 0 && pivot[c] == 0))
                return false;
        }
        return true;
    }

    void KeepAnimationIfWhole()
    {
        std::uint64_t floats = 0;
        bool fits = true;
        for (const auto& node : draft_.Nodes) {
            fits = fits && node.Fields.RotationKeys <= draft_.KeyTimes.size() &&
                   node.Fields.PositionKeys <= draft_.KeyTimes.size();
            floats += std::uint64_t{node.Fields.RotationKeys} * 4 + std::uint64_t{node.Fields.PositionKeys} * 3;
        }
        if (fits && floats == draft_.KeyData.size())
            return;
        result_.Warnings.push_back("The baked animation in the glTF's extras does not fit its skeleton; the model has none");
        DropAnimation();
    }

    void DropAnimation()
    {
        draft_.KeyTimes.clear();
        draft_.KeyData.clear();
        for (auto& node : draft_.Nodes)
            node.Fields.RotationKeys = node.Fields.PositionKeys = 0;
    }

    // A skeleton from a glTF made elsewhere: the first skin's joints in their
    // order, each one's parent its nearest joint above it; one root first.
    void SkeletonFromSkin()
    {
        const TJson& skin = Element("skins", 0, "the model");
        const TJson& joints = Array(skin, "joints");
        std::vector<std::size_t> order;
        std::vector<std::uint8_t> isJoint(parents_.size(), 0);
        for (const TJson& joint : joints) {
            if (!joint.IsUnsigned() || joint.Unsigned() >= parents_.size())
                Fail("skin 0 names a joint node that does not exist");
            const auto node = static_cast<std::size_t>(joint.Unsigned());
            if (isJoint[node]++)
                Fail("skin 0 names node " + std::to_string(node) + " twice");
            order.push_back(node);
        }
        auto jointParent = [&](std::size_t node) {
            std::int64_t p = parents_[node];
            while (p != -1 && !isJoint[static_cast<std::size_t>(p)])
                p = parents_[static_cast<std::size_t>(p)];
            return p;
        };
        std::vector<std::size_t> roots;
        for (std::size_t node : order)
            if (jointParent(node) == -1)
                roots.push_back(node);
        if (roots.size() == 1) {
            std::stable_partition(order.begin(), order.end(), [&](std::size_t n) { return n == roots[0]; });
        } else {
            AddNode("Scene Root", CasNoParent, -1);
        }
        for (std::size_t node : order)
            AddNode(NodeName(node), 0, static_cast<std::int64_t>(node));
        for (std::size_t i = 0; i < draft_.Nodes.size(); ++i) {
            if (casToNode_[i] < 0)
                continue;
            const std::int64_t p = jointParent(static_cast<std::size_t>(casToNode_[i]));
            draft_.Nodes[i].Fields.Parent =
                p == -1 ? (i == 0 ? CasNoParent : 0) : static_cast<std::uint32_t>(nodeToCas_[static_cast<std::size_t>(p)]);
        }
        DropAnimation();
    }

    void PivotsFromWorld()
    {
        for (std::size_t i = 0; i < draft_.Nodes.size(); ++i) {
            auto& node = draft_.Nodes[i];
            const TPoint at = CasWorld(i);
            const TPoint base = node.Fields.Parent == CasNoParent ? TPoint{} : CasWorld(node.Fields.Parent);
            node.Fields.Pivot = {static_cast<float>(at[0] - base[0]), static_cast<float>(at[1] - base[1]),
                                 static_cast<float>(at[2] - base[2])};
        }
    }

    TPoint CasWorld(std::size_t cas) const
    {
        return casToNode_[cas] < 0 ? TPoint{} : WorldPosition(static_cast<std::size_t>(casToNode_[cas]));
    }

    // ---- materials ----------------------------------------------------------

    void BuildMaterials()
    {
        const TJson& materials = Array(*root_, "materials");
        for (std::size_t i = 0; i < materials.Size(); ++i) {
            TCasMaterialDraft material;
            material.Fields = UsualCasMaterial();
            material.Name = Text(materials[i], "name");
            if (const TJson* e = Extras(materials[i])) {
                material.Fields.Named = ExtrasInteger<std::uint32_t>(*e, "named", 1);
                material.Texture = Text(*e, "texture");
                ExtrasArray(*e, "diffuse", material.Fields.Diffuse);
                ExtrasArray(*e, "specular", material.Fields.Specular);
                const auto tail = ExtrasBinary<std::uint8_t>(*e, "tail");
                if (tail.size() == material.Fields.Tail.size())
                    std::copy(tail.begin(), tail.end(), material.Fields.Tail.begin());
            } else {
                material.Texture = TexturePath(materials[i]);
            }
            if (material.Fields.Named == 0)
                material.Name.clear(), material.Texture.clear();
            draft_.Materials.push_back(std::move(material));
        }
    }

    // A material from elsewhere names its picture as the game expects to find
    // it: textures\x.tga, x from the image's name or file name.
    std::string TexturePath(const TJson& material) const
    {
        const TJson* pbr = Member(material, "pbrMetallicRoughness");
        const TJson* base = pbr ? Member(*pbr, "baseColorTexture") : nullptr;
        const TJson* index = base ? Member(*base, "index") : nullptr;
        const TJson& textures = Array(*root_, "textures");
        if (!index || !index->IsUnsigned() || index->Unsigned() >= textures.Size())
            return {};
        const TJson* source = Member(textures[static_cast<std::size_t>(index->Unsigned())], "source");
        const TJson& images = Array(*root_, "images");
        if (!source || !source->IsUnsigned() || source->Unsigned() >= images.Size())
            return {};
        const TJson& image = images[static_cast<std::size_t>(source->Unsigned())];
        std::string name = Text(image, "name");
        if (name.empty()) {
            name = Text(image, "uri");
            if (name.starts_with("data:"))
                name.clear();
            name = name.substr(name.find_last_of("/\\") == std::string::npos ? 0 : name.find_last_of("/\\") + 1);
            name = name.substr(0, name.find('.'));
        }
        return name.empty() ? std::string() : "textures\\" + name + ".tga";
    }

    // ---- meshes -------------------------------------------------------------

    struct TMeshSource {
        std::size_t Node;
        const TJson* Mesh;
        std::string MeshName;
        std::size_t Primitive;
    };

    void BuildMeshes()
    {
        const TJson& nodes = Array(*root_, "nodes");
        std::vector<std::pair<std::uint64_t, TCasMeshDraft>> meshes;
        std::uint64_t sequence = 0;
        for (std::size_t n = 0; n < nodes.Size(); ++n) {
            const auto meshIndex = OptionalCount(nodes[n], "mesh", "node " + std::to_string(n));
            if (!meshIndex)
                continue;
            const TJson& mesh = Element("meshes", *meshIndex, "node " + std::to_string(n));
            std::string name = Text(mesh, "name");
            if (name.empty())
                name = NodeName(n);
            const TJson& primitives = Array(mesh, "primitives");
            const TJson* extras = Extras(mesh);
            for (std::size_t p = 0; p < primitives.Size(); ++p) {
                const std::string primitiveName = p == 0 ? name : name + "." + std::to_string(p);
                // Sorted by their place in the model they came from; new ones last.
                std::uint64_t order = (std::uint64_t{1} << 32) + sequence++;
                if (extras && p == 0)
                    order = ExtrasInteger<std::uint32_t>(*extras, "index", static_cast<std::uint32_t>(order >> 32) - 1);
                meshes.emplace_back(order, Primitive(n, primitives[p], p == 0 ? extras : nullptr, primitiveName));
            }
        }
        std::stable_sort(meshes.begin(), meshes.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        for (auto& [order, mesh] : meshes)
            draft_.Meshes.push_back(std::move(mesh));
    }

    TCasMeshDraft Primitive(std::size_t node, const TJson& primitive, const TJson* extras, const std::string& name)
    {
        const std::string what = "mesh \"" + name + "\"";
        if (!primitive.IsObject())
            Fail(what + ": a primitive is not an object");
        if (const auto mode = OptionalCount(primitive, "mode", what).value_or(gltf::Triangles); mode != gltf::Triangles)
            Fail(what + " is not made of triangles (its primitive's mode is " + std::to_string(mode) + ")");
        const TJson* attributes = Member(primitive, "attributes");
        if (!attributes || !attributes->IsObject())
            Fail(what + " has no attributes");
        auto attribute = [&](const char* key) { return OptionalCount(*attributes, key, what); };
        const auto positionIndex = attribute("POSITION");
        if (!positionIndex)
            Fail(what + " has no vertex positions");
        const std::uint64_t vertices = PeekCount(*positionIndex, what + "'s positions");
        if (vertices > MaxMeshElements)
            Fail(what + " has " + std::to_string(vertices) + " vertices; a model's mesh holds at most 65535");
        verticesRead_ += vertices;
        if (verticesRead_ > VertexBudget())
            Fail("its meshes use more vertices than its buffers hold");

        TCasMeshDraft mesh;
        mesh.Name = name;
        mesh.Fields.VertexCount = static_cast<std::uint32_t>(vertices);
        const std::string stored = extras ? Text(*extras, "fingerprint") : std::string();
        auto fingerprint = gltf::TFingerprint::For(stored);
        const TAccessor positions = Read(*positionIndex, {gltf::Float}, "VEC3", what + "'s positions");
        fingerprint.Add(positions.Raw);
        std::optional<TAccessor> normals;
        if (const auto index = attribute("NORMAL")) {
            normals = Read(*index, {gltf::Float}, "VEC3", what + "'s normals", vertices);
            fingerprint.Add(normals->Raw);
        }
        std::optional<TAccessor> uvs;
        if (const auto index = attribute("TEXCOORD_0")) {
            uvs = Read(*index, {gltf::Float, gltf::UnsignedByte, gltf::UnsignedShort}, "VEC2", what + "'s UVs", vertices);
            fingerprint.Add(uvs->Raw);
        } else if (!extras || ExtrasBool(*extras, "hasUV", true)) {
            Fail(what + " has no UVs (TEXCOORD_0): the game maps every mesh onto its texture");
        }
        const TJson* skinIndex = Member(Array(*root_, "nodes")[node], "skin");
        std::vector<TAccessor> joints, weights;
        if (skinIndex) {
            for (const char* set : {"0", "1"}) {
                const auto j = attribute((std::string("JOINTS_") + set).c_str());
                const auto w = attribute((std::string("WEIGHTS_") + set).c_str());
                if (!j || !w)
                    break;
                joints.push_back(
                    Read(*j, {gltf::UnsignedByte, gltf::UnsignedShort}, "VEC4", what + "'s joints", vertices, true));
                weights.push_back(Read(*w, {gltf::Float, gltf::UnsignedByte, gltf::UnsignedShort}, "VEC4",
                                       what + "'s weights", vertices));
                fingerprint.Add(joints.back().Raw);
                fingerprint.Add(weights.back().Raw);
            }
            if (joints.empty())
                Fail(what + " is skinned but has no joints and weights (JOINTS_0, WEIGHTS_0)");
        }
        ReadIndices(primitive, mesh, what, fingerprint);
        if (const auto material = OptionalCount(primitive, "material", what)) {
            if (*material >= draft_.Materials.size())
                Fail(what + " names material " + std::to_string(*material) + ", which does not exist");
            mesh.Fields.Material = static_cast<std::uint32_t>(*material);
        }
        if (extras)
            ExtrasFields(*extras, mesh);

        const bool exact = extras && skeletonExact_ && stored == fingerprint.Text();
        if (exact)
            Unchanged(node, *extras, mesh, positions, normals, uvs, joints, weights);
        else
            Changed(node, skinIndex, extras, mesh, positions, normals, uvs, joints, weights);
        return mesh;
    }

    std::uint64_t VertexBudget() const
    {
        std::uint64_t bytes = 0;
        for (const auto& buffer : buffers_)
            bytes += buffer.size();
        return bytes / 4 + MaxMeshElements;
    }

    static bool ExtrasBool(const TJson& object, const char* key, bool fallback)
    {
        const TJson* value = Member(object, key);
        return value && value->IsBoolean() ? value->Boolean() : fallback;
    }

    void ReadIndices(const TJson& primitive, TCasMeshDraft& mesh, const std::string& what, gltf::TFingerprint& fingerprint)
    {
        const std::uint64_t vertices = mesh.Fields.VertexCount;
        if (const auto index = OptionalCount(primitive, "indices", what)) {
            const std::uint64_t count = PeekCount(*index, what + "'s indices");
            if (count % 3 != 0)
                Fail(what + " has " + std::to_string(count) + " vertex indices, not whole triangles");
            if (count / 3 > MaxMeshElements)
                Fail(what + " has " + std::to_string(count / 3) + " triangles; a model's mesh holds at most 65535");
            const TAccessor indices = Read(*index, {gltf::UnsignedByte, gltf::UnsignedShort, gltf::UnsignedInt}, "SCALAR",
                                           what + "'s indices", std::nullopt, true);
            fingerprint.Add(indices.Raw);
            mesh.Indices.resize(indices.Count);
            for (std::size_t i = 0; i < indices.Count; ++i) {
                const std::uint32_t value = indices.Integer(i, 0);
                if (value >= vertices)
                    Fail(what + " has a triangle on vertex " + std::to_string(value) + ", but only " +
                         std::to_string(vertices) + " vertices");
                mesh.Indices[i] = static_cast<std::uint16_t>(value);
            }
        } else {
            if (vertices % 3 != 0)
                Fail(what + " has " + std::to_string(vertices) + " vertices and no indices: not whole triangles");
            mesh.Indices.resize(static_cast<std::size_t>(vertices));
            for (std::size_t i = 0; i < mesh.Indices.size(); ++i)
                mesh.Indices[i] = static_cast<std::uint16_t>(i);
        }
        if (mesh.Indices.empty())
            Fail(what + " has no triangles");
        mesh.Fields.TriangleCount = static_cast<std::uint32_t>(mesh.Indices.size() / 3);
    }

    void ExtrasFields(const TJson& e, TCasMeshDraft& mesh) const
    {
        // A modeller renames the second of two meshes of one name "x.001":
        // the name the model had comes back, a real rename stays.
        if (const std::string was = Text(e, "name"); !was.empty() && IsNumbered(mesh.Name, was))
            mesh.Name = was;
        mesh.Properties = Text(e, "properties");
        ExtrasArray(e, "placement", mesh.Fields.Placement);
        mesh.Fields.Trailer = ExtrasInteger<std::uint32_t>(e, "trailer", 0);
        mesh.Fields.RigidFixed = ExtrasInteger<std::uint32_t>(e, "rigidFixed", 1);
        mesh.Fields.RigidFlag = ExtrasInteger<std::uint8_t>(e, "rigidFlag", 0);
        auto colours = ExtrasBinary<std::uint32_t>(e, "colours");
        if (colours.size() == mesh.Fields.VertexCount) {
            mesh.Colours = std::move(colours);
            mesh.Fields.HasColour = true;
        }
    }

    static bool IsNumbered(std::string_view name, std::string_view was)
    {
        if (!name.starts_with(was))
            return false;
        const std::string_view rest = name.substr(was.size());
        return rest.empty() || (rest.size() >= 2 && rest[0] == '.' &&
                                std::all_of(rest.begin() + 1, rest.end(), [](char c) { return c >= '0' && c <= '9'; }));
    }

    static std::optional<TCasMeshKind> KindOf(const TJson* extras)
    {
        const TJson* kind = extras ? Member(*extras, "kind") : nullptr;
        if (!kind || !kind->IsUnsigned() || kind->Unsigned() < 1 || kind->Unsigned() > 3)
            return std::nullopt;
        return static_cast<TCasMeshKind>(static_cast<std::uint32_t>(kind->Unsigned()));
    }

    // A mesh as --gltf wrote it, the skeleton too: the stored values come
    // back to the bit, by the same arithmetic in reverse and the fixes.
    void Unchanged(std::size_t node, const TJson& e, TCasMeshDraft& mesh, const TAccessor& positions,
                   const std::optional<TAccessor>& normals, const std::optional<TAccessor>& uvs,
                   const std::vector<TAccessor>& joints, const std::vector<TAccessor>& weights)
    {
        const auto kind = KindOf(&e);
        const std::size_t n = mesh.Fields.VertexCount;
        const bool skinned = !joints.empty();
        if (!kind || (*kind == TCasMeshKind::Rigid) == skinned || !normals)
            return Changed(node, skinned ? Member(Array(*root_, "nodes")[node], "skin") : nullptr, &e, mesh, positions,
                           normals, uvs, joints, weights);
        mesh.Fields.Kind = *kind;
        if (*kind == TCasMeshKind::Rigid)
            mesh.Fields.Bone = RigidBone(node);
        auto bone = [&](std::size_t v, std::size_t slot) { return CasJoint(node, joints[0].Integer(v, slot), mesh.Name); };
        for (std::size_t v = 0; v < n && skinned; ++v) {
            if (*kind == TCasMeshKind::OneBone) {
                mesh.Bones.push_back(bone(v, 0));
            } else {
                mesh.FirstBones.push_back(bone(v, 0));
                mesh.SecondBones.push_back(bone(v, 1));
                mesh.Weights.push_back(weights[0].Float(v, 0));
            }
        }
        const TJson* fixes = Member(e, "fixes");
        for (const TSkinFix& fix : SkinFixes(fixes, mesh.FirstBones.size())) {
            mesh.FirstBones.at(fix.Vertex) = fix.First;
            mesh.SecondBones.at(fix.Vertex) = fix.Second;
            mesh.Weights.at(fix.Vertex) = fix.Weight;
        }
        SetFields(mesh, uvs);
        const TCasModel view = CasModelView(draft_);
        TCasMesh shape = mesh.Fields;
        shape.Bones = mesh.Bones;
        shape.FirstBones = mesh.FirstBones;
        shape.SecondBones = mesh.SecondBones;
        shape.Weights = mesh.Weights;
        mesh.Positions.resize(3 * n);
        mesh.Normals.resize(3 * n);
        for (std::size_t v = 0; v < n; ++v) {
            const TCasVector base = *kind == TCasMeshKind::Rigid ? TCasVector{} : CasVertexBase(shape, v, restPlaces_);
            mesh.Positions[3 * v] = positions.Float(v, 0) - base.X;
            mesh.Positions[3 * v + 1] = positions.Float(v, 1) - base.Y;
            mesh.Positions[3 * v + 2] = positions.Float(v, 2) - base.Z;
            for (std::size_t c = 0; c < 3; ++c)
                mesh.Normals[3 * v + c] = normals->Float(v, c);
        }
        const std::array<std::tuple<const char*, std::vector<float>*, std::size_t>, 3> fixed = {
            {{"positions", &mesh.Positions, 3}, {"normals", &mesh.Normals, 3}, {"uvs", &mesh.UVs, 2}}};
        for (const auto& [key, values, size] : fixed)
            for (const TFloatFix& fix : FloatFixes(fixes, key, size, values->size() / size))
                std::copy_n(fix.Values.begin(), size, values->begin() + static_cast<std::ptrdiff_t>(size * fix.Vertex));
    }

    struct TFloatFix {
        std::size_t Vertex;
        std::array<float, 3> Values;
    };
    struct TSkinFix {
        std::size_t Vertex;
        std::uint32_t First, Second;
        float Weight;
    };

    // A mesh's fixes of one kind: Base64 of records (a u32 vertex, then
    // size floats) or, as files written before hold them, an array of
    // [vertex, values...].
    std::vector<TFloatFix> FloatFixes(const TJson* fixes, const char* key, std::size_t size, std::size_t vertices) const
    {
        std::vector<TFloatFix> out;
        if (const auto records = Records(fixes, key, 4 + 4 * size)) {
            for (std::size_t at = 0; at < records->size(); at += 4 + 4 * size) {
                TFloatFix fix{RecordVertex(&(*records)[at], vertices), {}};
                std::memcpy(fix.Values.data(), &(*records)[at + 4], 4 * size);
                out.push_back(fix);
            }
            return out;
        }
        for (const TJson& fix : Fixes(fixes, key)) {
            TFloatFix one{FixVertex(fix, size + 1, vertices), {}};
            for (std::size_t c = 0; c < size; ++c)
                one.Values[c] = ExtrasFloat(fix[c + 1], key);
            out.push_back(one);
        }
        return out;
    }

    // The skin's: a u32 vertex, its two bones (u32) and its weight (f32).
    std::vector<TSkinFix> SkinFixes(const TJson* fixes, std::size_t vertices) const
    {
        std::vector<TSkinFix> out;
        if (const auto records = Records(fixes, "skin", 16)) {
            for (std::size_t at = 0; at < records->size(); at += 16) {
                const std::uint8_t* record = &(*records)[at];
                TSkinFix fix{RecordVertex(record, vertices), RecordBone(record + 4), RecordBone(record + 8), 0};
                std::memcpy(&fix.Weight, record + 12, 4);
                out.push_back(fix);
            }
            return out;
        }
        for (const TJson& fix : Fixes(fixes, "skin"))
            out.push_back({FixVertex(fix, 4, vertices), FixBone(fix[1]), FixBone(fix[2]), ExtrasFloat(fix[3], "weight")});
        return out;
    }

    std::optional<std::vector<std::uint8_t>> Records(const TJson* fixes, const char* key, std::size_t size) const
    {
        const TJson* listed = fixes ? Member(*fixes, key) : nullptr;
        if (!listed || !listed->IsString())
            return std::nullopt;
        auto records = ExtrasBinary<std::uint8_t>(*fixes, key);
        if (records.size() % size != 0)
            Fail(std::string("the extras' \"") + key + "\" fixes are not whole records");
        return records;
    }

    std::size_t RecordVertex(const std::uint8_t* record, std::size_t vertices) const
    {
        if (Little32(record) >= vertices)
            Fail("the extras hold a fix for a vertex that does not exist");
        return Little32(record);
    }

    std::uint32_t RecordBone(const std::uint8_t* at) const
    {
        if (Little32(at) >= draft_.Nodes.size())
            Fail("the extras hold a fix with a bone that does not exist");
        return Little32(at);
    }

    const TJson& Fixes(const TJson* fixes, const char* key) const
    {
        return fixes ? Array(*fixes, key) : TJson::EmptyArray();
    }

    std::size_t FixVertex(const TJson& fix, std::size_t size, std::size_t vertices) const
    {
        if (!fix.IsArray() || fix.Size() != size || !fix[0].IsUnsigned() || fix[0].Unsigned() >= vertices)
            Fail("the extras hold a fix for a vertex that does not exist");
        return static_cast<std::size_t>(fix[0].Unsigned());
    }

    std::uint32_t FixBone(const TJson& value) const
    {
        if (!value.IsUnsigned() || value.Unsigned() >= draft_.Nodes.size())
            Fail("the extras hold a fix with a bone that does not exist");
        return static_cast<std::uint32_t>(value.Unsigned());
    }

    void SetFields(TCasMeshDraft& mesh, const std::optional<TAccessor>& uvs) const
    {
        if (!uvs)
            return;
        mesh.Fields.HasUV = true;
        mesh.UVs.resize(2 * uvs->Count);
        for (std::size_t v = 0; v < uvs->Count; ++v) {
            mesh.UVs[2 * v] = uvs->Float(v, 0);
            mesh.UVs[2 * v + 1] = uvs->Float(v, 1);
        }
    }

    // The model node a glTF joint stands for. Asked for every vertex, so
    // the last node's joints are kept at hand.
    std::uint32_t CasJoint(std::size_t node, std::uint32_t joint, const std::string& mesh) const
    {
        if (node != jointsNode_) {
            jointsOfNode_ = &Array(SkinOf(node), "joints");
            jointsNode_ = node;
        }
        const TJson& joints = *jointsOfNode_;
        if (joint >= joints.Size())
            Fail("mesh \"" + mesh + "\" names joint " + std::to_string(joint) + ", but its skin has " +
                 std::to_string(joints.Size()));
        const TJson& target = joints[joint];
        if (!target.IsUnsigned() || target.Unsigned() >= nodeToCas_.size())
            Fail("mesh \"" + mesh + "\"'s skin names a joint node that does not exist");
        const std::int64_t cas = nodeToCas_[static_cast<std::size_t>(target.Unsigned())];
        if (cas < 0)
            Fail("mesh \"" + mesh + "\" is weighted to joint \"" + NodeName(static_cast<std::size_t>(target.Unsigned())) +
                 "\", which is not in the skeleton");
        return static_cast<std::uint32_t>(cas);
    }

    const TJson& SkinOf(std::size_t node) const
    {
        const TJson* index = Member(Array(*root_, "nodes")[node], "skin");
        if (!index || !index->IsUnsigned())
            Fail("node " + std::to_string(node) + "'s skin is not an index");
        return Element("skins", index->Unsigned(), "node " + std::to_string(node));
    }

    // The nearest node at or above node that is in the skeleton; the root
    // when there is none.
    std::uint32_t RigidBone(std::size_t node) const
    {
        for (std::int64_t n = parents_[node]; n != -1; n = parents_[static_cast<std::size_t>(n)])
            if (nodeToCas_[static_cast<std::size_t>(n)] >= 0)
                return static_cast<std::uint32_t>(nodeToCas_[static_cast<std::size_t>(n)]);
        return nodeToCas_[node] >= 0 ? static_cast<std::uint32_t>(nodeToCas_[node]) : 0;
    }

    // The skin's matrices: each joint's world place times its inverse bind
    // matrix, which takes a vertex from the bind pose to where it stands.
    const std::vector<TMatrix>& JointMatrices(const TJson& skin, const std::string& what)
    {
        // Once per skin, however many meshes share it.
        auto [cached, fresh] = jointMatrices_.try_emplace(&skin);
        if (!fresh)
            return cached->second;
        const TJson& joints = Array(skin, "joints");
        std::vector<TMatrix> out(joints.Size(), Identity);
        std::optional<TAccessor> inverse;
        if (const auto index = OptionalCount(skin, "inverseBindMatrices", what))
            inverse = Read(*index, {gltf::Float}, "MAT4", what + "'s bind matrices", joints.Size());
        for (std::size_t j = 0; j < joints.Size(); ++j) {
            if (!joints[j].IsUnsigned() || joints[j].Unsigned() >= world_.size())
                Fail(what + " names a joint node that does not exist");
            TMatrix bind = Identity;
            if (inverse)
                for (std::size_t k = 0; k < 16; ++k)
                    bind[k] = inverse->Float(j, k);
            out[j] = Multiply(world_[static_cast<std::size_t>(joints[j].Unsigned())], bind);
        }
        return cached->second = std::move(out);
    }

    // A mesh made or changed elsewhere: where its vertices stand in the
    // scene, counted from the rest places of the bones they hang on.
    void Changed(std::size_t node, const TJson* skinIndex, const TJson* extras, TCasMeshDraft& mesh,
                 const TAccessor& positions, const std::optional<TAccessor>& normals,
                 const std::optional<TAccessor>& uvs, const std::vector<TAccessor>& joints,
                 const std::vector<TAccessor>& weights)
    {
        const std::size_t n = mesh.Fields.VertexCount;
        SetFields(mesh, uvs);
        std::vector<TInfluences> influences(n);
        std::size_t trimmed = 0, unweighted = 0;
        if (skinIndex) {
            const std::vector<TMatrix>& matrices = JointMatrices(SkinOf(node), mesh.Name + "'s skin");
            for (std::size_t v = 0; v < n; ++v) {
                influences[v] = Influence(node, mesh.Name, v, positions, normals, joints, weights, matrices);
                trimmed += influences[v].Count > 2;
                unweighted += influences[v].Count == 0;
            }
        } else {
            const TMatrix& m = world_[node];
            for (std::size_t v = 0; v < n; ++v) {
                auto& in = influences[v];
                in.Position = Transform(m, {positions.Float(v, 0), positions.Float(v, 1), positions.Float(v, 2)}, 1);
                if (normals)
                    in.Normal = Transform(m, {normals->Float(v, 0), normals->Float(v, 1), normals->Float(v, 2)}, 0);
            }
        }
        if (trimmed > 0)
            result_.Warnings.push_back("Mesh \"" + mesh.Name + "\": " + std::to_string(trimmed) + " of " +
                                       std::to_string(n) +
                                       " vertices had more than two bones; the two largest weights were kept");
        if (unweighted > 0)
            result_.Warnings.push_back("Mesh \"" + mesh.Name + "\": " + std::to_string(unweighted) +
                                       " vertices had no weight and were put on the skeleton's root");

        mesh.Fields.Kind = ChooseKind(skinIndex != nullptr, KindOf(extras), influences);
        if (mesh.Fields.Kind == TCasMeshKind::Rigid)
            mesh.Fields.Bone = RigidBone(node);
        if (!extras)
            mesh.Fields.Placement = {0, 0, 0, mesh.Fields.Kind == TCasMeshKind::Rigid ? 1.0f : 0.0f, 0, 0, 0};
        mesh.Positions.resize(3 * n);
        mesh.Normals.resize(3 * n);
        for (std::size_t v = 0; v < n; ++v) {
            const auto& in = influences[v];
            TCasVector base = restPlaces_[mesh.Fields.Bone];
            if (mesh.Fields.Kind == TCasMeshKind::OneBone) {
                mesh.Bones.push_back(in.First);
                base = restPlaces_[in.First];
            } else if (mesh.Fields.Kind == TCasMeshKind::TwoBone) {
                mesh.FirstBones.push_back(in.First);
                mesh.SecondBones.push_back(in.Second);
                mesh.Weights.push_back(in.Weight);
                base = CasBlend(restPlaces_[in.First], restPlaces_[in.Second], in.Weight);
            }
            mesh.Positions[3 * v] = static_cast<float>(in.Position[0]) - base.X;
            mesh.Positions[3 * v + 1] = static_cast<float>(in.Position[1]) - base.Y;
            mesh.Positions[3 * v + 2] = static_cast<float>(in.Position[2]) - base.Z;
        }
        SetNormals(mesh, influences, normals.has_value());
    }

    TInfluences Influence(std::size_t node, const std::string& mesh, std::size_t v, const TAccessor& positions,
                          const std::optional<TAccessor>& normals, const std::vector<TAccessor>& joints,
                          const std::vector<TAccessor>& weights, const std::vector<TMatrix>& matrices) const
    {
        struct TOne {
            std::uint32_t Bone;
            double Weight;
            std::size_t Slot;
        };
        std::array<TOne, 8> ones{};
        std::size_t count = 0;
        TInfluences out;
        const TPoint p = {positions.Float(v, 0), positions.Float(v, 1), positions.Float(v, 2)};
        const TPoint nrm = normals ? TPoint{normals->Float(v, 0), normals->Float(v, 1), normals->Float(v, 2)} : TPoint{};
        double total = 0;
        for (std::size_t set = 0; set < joints.size(); ++set)
            for (std::size_t c = 0; c < 4; ++c) {
                const double w = weights[set].Float(v, c);
                if (!(w > 0))
                    continue;
                const std::uint32_t joint = joints[set].Integer(v, c);
                const std::uint32_t bone = CasJoint(node, joint, mesh);
                const TPoint at = Transform(matrices[joint], p, 1), turned = Transform(matrices[joint], nrm, 0);
                for (int k = 0; k < 3; ++k) {
                    out.Position[k] += w * at[k];
                    out.Normal[k] += w * turned[k];
                }
                total += w;
                auto same = std::find_if(ones.begin(), ones.begin() + count, [&](const TOne& o) { return o.Bone == bone; });
                if (same != ones.begin() + count)
                    same->Weight += w;
                else
                    ones[count++] = {bone, w, 4 * set + c};
            }
        out.Count = count;
        if (count == 0) {
            out.Position = p;
            out.Normal = nrm;
            out.First = out.Second = RigidBone(node);
            return out;
        }
        for (int k = 0; k < 3; ++k)
            out.Position[k] /= total;
        // The two largest, then in the order the file gave them.
        std::stable_sort(ones.begin(), ones.begin() + count, [](const TOne& a, const TOne& b) { return a.Weight > b.Weight; });
        if (count >= 2 && ones[1].Slot < ones[0].Slot)
            std::swap(ones[0], ones[1]);
        out.First = ones[0].Bone;
        out.Second = count >= 2 ? ones[1].Bone : ones[0].Bone;
        out.Weight = count >= 2 ? static_cast<float>(ones[0].Weight / (ones[0].Weight + ones[1].Weight)) : 1.0f;
        return out;
    }

    // The kind the model had when it still fits; otherwise rigid without a
    // skin, one-bone when no vertex has two, two-bone else.
    static TCasMeshKind ChooseKind(bool skinned, std::optional<TCasMeshKind> was, const std::vector<TInfluences>& in)
    {
        if (!skinned)
            return TCasMeshKind::Rigid;
        const bool oneEach = std::all_of(in.begin(), in.end(), [](const TInfluences& i) { return i.Count <= 1; });
        if (was == TCasMeshKind::TwoBone || !oneEach)
            return TCasMeshKind::TwoBone;
        return TCasMeshKind::OneBone;
    }

    // Normals turned with their vertices and made unit length; without
    // normals in the glTF, each vertex takes the sum of its triangles' faces.
    static void SetNormals(TCasMeshDraft& mesh, std::vector<TInfluences>& in, bool given)
    {
        if (!given) {
            for (std::size_t t = 0; t + 2 < mesh.Indices.size(); t += 3) {
                const auto& a = in[mesh.Indices[t]].Position;
                const auto& b = in[mesh.Indices[t + 1]].Position;
                const auto& c = in[mesh.Indices[t + 2]].Position;
                const TPoint u = {b[0] - a[0], b[1] - a[1], b[2] - a[2]}, w = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
                const TPoint face = {u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2], u[0] * w[1] - u[1] * w[0]};
                for (std::size_t k = 0; k < 3; ++k)
                    for (int d = 0; d < 3; ++d)
                        in[mesh.Indices[t + k]].Normal[d] += face[d];
            }
        }
        for (std::size_t v = 0; v < in.size(); ++v) {
            const auto& n = in[v].Normal;
            const double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
            for (int d = 0; d < 3; ++d)
                mesh.Normals[3 * v + d] = length > 0 ? static_cast<float>(n[d] / length) : (d == 1 ? 1.0f : 0.0f);
        }
    }

    // ---- chunks -------------------------------------------------------------

    // The chunks the model had, in their order, when its meshes still fill
    // them as before; otherwise those chunks with each kind's meshes in its
    // first chunk of that kind; for a model from elsewhere, the usual order.
    void BuildChunks()
    {
        const TJson* listed = modelExtras_ ? Member(*modelExtras_, "chunks") : nullptr;
        std::vector<TCasChunkDraft> chunks;
        if (listed && listed->IsArray())
            for (const TJson& entry : *listed) {
                TCasChunkDraft chunk;
                chunk.Fields.Kind = ExtrasInteger<std::uint32_t>(entry, "kind", 0);
                chunk.Fields.MeshCount = ExtrasInteger<std::uint32_t>(entry, "meshCount", 0);
                chunk.Fields.TrailerShort = ExtrasInteger<std::uint16_t>(entry, "trailerShort", 0);
                chunk.Fields.TrailerCount = ExtrasInteger<std::uint32_t>(entry, "trailerCount", 0);
                chunk.Payload = ExtrasBinary<std::uint8_t>(entry, "payload");
                if (chunk.Fields.Kind == 13 && !draft_.HasExportHistory)
                    continue;
                chunks.push_back(std::move(chunk));
            }
        else
            chunks = UsualChunks();
        if (!MeshesFill(chunks))
            Regroup(chunks);
        draft_.Chunks = std::move(chunks);
    }

    std::vector<TCasChunkDraft> UsualChunks() const
    {
        std::vector<TCasChunkDraft> chunks;
        for (std::uint32_t kind : {0u, 1u, 2u, 3u, 8u, 10u, 5u}) {
            TCasChunkDraft chunk;
            chunk.Fields.Kind = kind;
            if (kind == 8 || kind == 10)
                chunk.Payload.assign(8, 0);
            chunks.push_back(std::move(chunk));
        }
        return chunks;
    }

    bool MeshesFill(const std::vector<TCasChunkDraft>& chunks) const
    {
        std::size_t next = 0;
        for (const auto& chunk : chunks) {
            if (chunk.Fields.Kind < 1 || chunk.Fields.Kind > 3)
                continue;
            for (std::uint32_t i = 0; i < chunk.Fields.MeshCount; ++i, ++next)
                if (next >= draft_.Meshes.size() || static_cast<std::uint32_t>(draft_.Meshes[next].Fields.Kind) != chunk.Fields.Kind)
                    return false;
        }
        return next == draft_.Meshes.size();
    }

    void Regroup(std::vector<TCasChunkDraft>& chunks)
    {
        // Mesh chunks of kinds that have meshes, one each, where the first of
        // that kind was; the kinds that had none go after the last mesh chunk.
        std::array<bool, 4> placed{};
        std::vector<TCasChunkDraft> out;
        std::size_t afterMeshes = 0;
        for (auto& chunk : chunks) {
            const std::uint32_t kind = chunk.Fields.Kind;
            if (kind >= 1 && kind <= 3) {
                if (!placed[kind]) {
                    placed[kind] = true;
                    out.push_back(std::move(chunk));
                    afterMeshes = out.size();
                }
                continue;
            }
            out.push_back(std::move(chunk));
            if (kind == 0 && afterMeshes == 0)
                afterMeshes = out.size();
        }
        for (std::uint32_t kind = 1; kind <= 3; ++kind)
            if (!placed[kind]) {
                TCasChunkDraft chunk;
                chunk.Fields.Kind = kind;
                out.insert(out.begin() + static_cast<std::ptrdiff_t>(afterMeshes++), std::move(chunk));
            }
        std::vector<TCasMeshDraft> ordered;
        std::vector<TCasChunkDraft> kept;
        for (auto& chunk : out) {
            const std::uint32_t kind = chunk.Fields.Kind;
            if (kind >= 1 && kind <= 3) {
                const bool countWasMeshes = chunk.Fields.TrailerCount == chunk.Fields.MeshCount;
                std::uint32_t count = 0;
                for (auto& mesh : draft_.Meshes)
                    if (static_cast<std::uint32_t>(mesh.Fields.Kind) == kind) {
                        ordered.push_back(std::move(mesh));
                        ++count;
                    }
                if (count == 0)
                    continue;
                chunk.Fields.MeshCount = count;
                if (countWasMeshes)
                    chunk.Fields.TrailerCount = count;
            }
            kept.push_back(std::move(chunk));
        }
        draft_.Meshes = std::move(ordered);
        chunks = std::move(kept);
    }

    std::span<const std::uint8_t> bytes_;
    std::string_view fileName_;
    std::optional<TJsonDocument> document_;
    const TJson* root_ = nullptr;
    std::span<const std::uint8_t> binary_;
    bool hasBinary_ = false;
    std::vector<std::vector<std::uint8_t>> owned_;
    std::vector<std::span<const std::uint8_t>> buffers_;
    std::vector<std::int64_t> parents_;  // glTF node to its parent, -1 at the top
    std::vector<TMatrix> world_;         // glTF node to the scene
    std::vector<std::int64_t> nodeToCas_;  // glTF node to model node, -1 when none
    std::vector<std::int64_t> casToNode_;  // model node to glTF node, -1 when none
    std::vector<TCasVector> restPlaces_;   // model node to its rest place
    bool skeletonExact_ = false;
    const TJson* modelExtras_ = nullptr;
    std::uint64_t verticesRead_ = 0;
    std::unordered_map<const TJson*, std::vector<TMatrix>> jointMatrices_;
    mutable std::size_t jointsNode_ = std::numeric_limits<std::size_t>::max();  // CasJoint's last node
    mutable const TJson* jointsOfNode_ = nullptr;                               // and its skin's joints
    TCasDraft draft_;
    TGltfImport result_;
};

} // namespace

TGltfImport ReadGltf(std::span<const std::uint8_t> bytes, std::string_view fileName)
{
    return TImporter(bytes, fileName).Run();
}

} // namespace quorin
