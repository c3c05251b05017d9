#include "CasModel.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <charconv>
#include <cstring>
#include <limits>
#include <memory_resource>
#include <type_traits>

#include "base/RuntimeText.h"
#include "base/Stream.h"

namespace quorin {

namespace {

enum TChunkKind : std::uint32_t {
    KindNodes = 0,
    KindRigidMeshes = 1,
    KindOneBoneMeshes = 2,
    KindTwoBoneMeshes = 3,
    KindMaterials = 5,
    KindExportHistory = 13,
};

constexpr std::uint64_t ChunkHeadSize = 8;
constexpr std::uint64_t MaterialTailSize = 29;
// The fewest bytes one record can take; a count is refused when that many
// records could not fit, before anything is allocated for them.
constexpr std::uint64_t MinNodeBytes = 4 + 5 + 20 + 5 + 12;  // parent, name, counts, properties, pivot
// A mesh's fields between its texts and its arrays: (for rigid meshes two
// fields and the bone,) the placement, the counts and the two flags.
constexpr std::uint64_t SkinnedMeshHeadSize = 28 + 2 + 2 + 1 + 1;
constexpr std::uint64_t RigidMeshHeadSize = 9 + SkinnedMeshHeadSize;
constexpr std::uint64_t MinRigidMeshBytes = 5 + 5 + RigidMeshHeadSize + 4 + 4;
constexpr std::uint64_t MinSkinnedMeshBytes = 5 + 5 + SkinnedMeshHeadSize + 4 + 4;
constexpr std::uint64_t MinMaterialBytes = 4 + 28 + MaterialTailSize;
constexpr std::size_t UsualMeshCount = 16;
// A mesh's fields between its texts and its arrays, or a name: copying bytes
// as few as these with the arrays around them costs less than a copy of its own.
constexpr std::size_t LargestGapCopied = 96;
// The versions of the models read with this layout: unit models are 3.2 to
// 3.23, vegetation and terrain go down to 3.16.
constexpr float OldestVersion = 3.16f;
constexpr float NewestVersion = 3.23f;

std::string Number(std::uint64_t value) { return std::to_string(value); }

std::string FloatText(float value)
{
    char text[32];
    auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

std::string Bytes(std::uint64_t count) { return Number(count) + (count == 1 ? " byte" : " bytes"); }

bool IsAscii(const std::uint8_t* text, std::size_t length)
{
    std::uint64_t bits = 0;
    std::size_t i = 0;
    for (; i + 8 <= length; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, text + i, sizeof word);
        bits |= word;
    }
    for (; i < length; ++i)
        bits |= text[i];
    return (bits & 0x8080808080808080u) == 0;
}

// Latin-1 text as UTF-8 at to, which has room for twice length bytes.
// Returns how many bytes it wrote.
std::size_t WriteLatin1AsUtf8(char* to, const std::uint8_t* text, std::size_t length)
{
    std::size_t out = 0;
    for (std::size_t i = 0; i < length; ++i) {
        const std::uint8_t c = text[i];
        if (c < 0x80) {
            to[out++] = static_cast<char>(c);
        } else {
            to[out++] = static_cast<char>(0xC0 | (c >> 6));
            to[out++] = static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

template <typename T>
T LoadLittle(const std::uint8_t* p)
{
    static_assert(std::is_trivially_copyable_v<T>);
    if constexpr (std::endian::native == std::endian::little) {
        // One plain load, which lets the compiler turn array reads into copies.
        T value;
        std::memcpy(&value, p, sizeof value);
        return value;
    } else if constexpr (sizeof(T) == 1) {
        return static_cast<T>(p[0]);
    } else if constexpr (sizeof(T) == 2) {
        return static_cast<T>(p[0] | (p[1] << 8));
    } else {
        std::uint32_t bits = static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
                             (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
        return std::bit_cast<T>(bits);
    }
}

// Walks little-endian values in bytes, for copying arrays on big-endian
// machines.
template <typename T>
struct TLittleValues {
    using iterator_category = std::random_access_iterator_tag;
    using value_type = T;
    using difference_type = std::ptrdiff_t;
    using pointer = const T*;
    using reference = T;

    const std::uint8_t* at;

    T operator*() const { return LoadLittle<T>(at); }
    TLittleValues& operator++()
    {
        at += sizeof(T);
        return *this;
    }
    TLittleValues operator++(int)
    {
        auto old = *this;
        at += sizeof(T);
        return old;
    }
    TLittleValues& operator--()
    {
        at -= sizeof(T);
        return *this;
    }
    TLittleValues& operator+=(difference_type n)
    {
        at += n * static_cast<difference_type>(sizeof(T));
        return *this;
    }
    difference_type operator-(const TLittleValues& other) const
    {
        return (at - other.at) / static_cast<difference_type>(sizeof(T));
    }
    bool operator==(const TLittleValues& other) const { return at == other.at; }
};

// Fields read one after another, once their total has been checked.
class TFields {
public:
    explicit TFields(const std::uint8_t* at) : at_(at) {}

    template <typename T>
    T Next()
    {
        T value = LoadLittle<T>(at_);
        at_ += sizeof(T);
        return value;
    }

    template <typename T, std::size_t N>
    void Next(std::array<T, N>& values)
    {
        for (auto& value : values)
            value = Next<T>();
    }

private:
    const std::uint8_t* at_;
};

// Reads the model's bytes within a limit (the file, or the chunk being read);
// every read is checked against that limit first.
class TReader {
public:
    TReader(std::span<const std::uint8_t> bytes, std::string_view fileName, std::byte* storage, bool keepArrays)
        : data_(bytes.data()), size_(bytes.size()), limit_(bytes.size()), fileName_(fileName), storage_(storage),
          keepArrays_(keepArrays)
    {
    }

    // What the model's storage must hold. Runs are stretches of the file that
    // do not overlap, so each byte is copied once at most; an array of n >= 4
    // bytes is padded by 3 at most; a text that is not ASCII grows to twice
    // its length at most. Twice the file's size always holds it all.
    static std::size_t StorageSize(std::size_t fileSize) { return fileSize * 2; }

    std::uint64_t Position() const { return position_; }
    std::uint64_t Size() const { return size_; }
    std::uint64_t Left() const { return limit_ - position_; }
    void SetLimit(std::uint64_t limit, bool inChunk)
    {
        limit_ = limit;
        inChunk_ = inChunk;
    }

    [[noreturn, gnu::cold]] void Fail(std::uint64_t offset, std::string expectation) const
    {
        throw ECASException(fileName_, offset, std::move(expectation));
    }

    void Need(std::uint64_t count, std::string_view what) const
    {
        if (count > Left()) [[unlikely]]
            FailShort(count, what);
    }

    [[noreturn, gnu::cold, gnu::noinline]] void FailShort(std::uint64_t count, std::string_view what) const
    {
        Fail(position_, "expected " + std::string(what) + " (" + Bytes(count) + "), but only " + Bytes(Left()) +
                            (Left() == 1 ? " is" : " are") + " left in the " + (inChunk_ ? "chunk" : "file"));
    }

    template <typename T>
    T Read(std::string_view what)
    {
        Need(sizeof(T), what);
        T value = LoadLittle<T>(data_ + position_);
        position_ += sizeof(T);
        return value;
    }

    // The next count bytes, checked at once, to be read field by field.
    TFields Fields(std::uint64_t count, std::string_view what)
    {
        Need(count, what);
        TFields fields(data_ + position_);
        position_ += count;
        return fields;
    }

    std::uint32_t U32(std::string_view what) { return Read<std::uint32_t>(what); }
    std::uint16_t U16(std::string_view what) { return Read<std::uint16_t>(what); }
    float F32(std::string_view what) { return Read<float>(what); }

    template <typename T, std::size_t N>
    void ReadFixed(std::array<T, N>& values, std::string_view what)
    {
        Need(sizeof(T) * N, what);
        for (auto& value : values) {
            value = LoadLittle<T>(data_ + position_);
            position_ += sizeof(T);
        }
    }

    // count values, copied into the model's array buffer when the arrays are
    // kept. Returns where the values lie in the file, for the checks that
    // read them there.
    template <typename T>
    const std::uint8_t* ReadArray(TCasArray<T>& values, std::uint64_t count, std::string_view what)
    {
        const std::uint64_t bytes = count * sizeof(T);
        Need(bytes, what);
        const std::uint8_t* begin = data_ + position_;
        position_ += bytes;
        if (keepArrays_ && count > 0)
            values = Store<T>(begin, static_cast<std::size_t>(count));
        return begin;
    }

    // A u32 length that counts the final NUL, then the text and its NUL.
    [[gnu::always_inline]] void LengthText(std::string_view& text, std::string_view what)
    {
        std::uint64_t at = position_;
        std::uint32_t length = U32(what);
        if (length == 0)
            Fail(at, "expected the length of " + std::string(what) + " to count its final NUL byte, found 0");
        Need(length, what);
        std::uint64_t last = position_ + length - 1;
        if (data_[last] != 0)
            Fail(last, "expected the NUL byte that ends " + std::string(what) + ", found " +
                           Number(std::uint64_t{data_[last]}));
        text = StoreText(data_ + position_, length - 1);
        position_ += length;
    }

    // Bytes up to and including a NUL.
    void NulText(std::string_view& text, std::string_view what)
    {
        const auto* begin = data_ + position_;
        const auto* nul = static_cast<const std::uint8_t*>(std::memchr(begin, 0, static_cast<std::size_t>(Left())));
        if (!nul)
            Fail(position_, "expected " + std::string(what) + " ending in a NUL byte before the chunk ends at byte " +
                                Number(limit_));
        text = StoreText(begin, static_cast<std::size_t>(nul - begin));
        position_ += static_cast<std::uint64_t>(nul - begin) + 1;
    }

    // Refuses a count of records that could not fit in the bytes left.
    void CheckCount(std::uint64_t count, std::uint64_t minBytesEach, std::uint64_t countOffset, std::string_view what)
    {
        std::uint64_t most = Left() / minBytesEach;
        if (count > most)
            Fail(countOffset, "expected at most " + Number(most) + " " + std::string(what) + " in the " + Bytes(Left()) +
                                  " left in the chunk, found " + Number(count));
    }

    // Writes the copies that Store has put off. The views it handed out are
    // valid from here on.
    void FlushRun()
    {
        if (runEnd_ != runFrom_)
            std::memcpy(storage_ + runAt_, runFrom_, static_cast<std::size_t>(runEnd_ - runFrom_));
        runFrom_ = runEnd_;
        runAt_ = next_;
    }

private:
    // Copies of the file's bytes are put off and made in runs: an array or
    // text that follows the last one stored, at most LargestGapCopied bytes
    // further on in the file and still aligned, joins its run, the bytes
    // between included. A mesh's arrays and texts then take one or two
    // copies instead of one each.
    template <typename T>
    std::span<const T> Store(const std::uint8_t* from, std::size_t count)
    {
        static_assert(alignof(T) <= 4);
        const std::size_t bytes = count * sizeof(T);
        if constexpr (std::endian::native != std::endian::little) {
            // Each array is turned around as it is copied: no runs.
            next_ = (next_ + alignof(T) - 1) & ~(alignof(T) - 1);
            T* to = reinterpret_cast<T*>(storage_ + next_);
            std::copy(TLittleValues<T>{from}, TLittleValues<T>{from + bytes}, to);
            next_ += bytes;
            return {to, count};
        }
        if (runEnd_ && from >= runEnd_ && static_cast<std::size_t>(from - runEnd_) <= LargestGapCopied &&
            (next_ + static_cast<std::size_t>(from - runEnd_)) % alignof(T) == 0) {
            next_ += static_cast<std::size_t>(from - runEnd_);
            runEnd_ = from;
        } else {
            FlushRun();
            next_ = (next_ + alignof(T) - 1) & ~(alignof(T) - 1);
            runFrom_ = runEnd_ = from;
            runAt_ = next_;
        }
        T* to = reinterpret_cast<T*>(storage_ + next_);
        runEnd_ += bytes;
        next_ += bytes;
        assert(next_ <= StorageSize(size_));
        return {to, count};
    }

    // Latin-1 text as UTF-8 in the storage: copied with the arrays when it is
    // ASCII, as nearly every text in real models is.
    std::string_view StoreText(const std::uint8_t* text, std::size_t length)
    {
        if (length == 0)
            return {};
        if (IsAscii(text, length))
            return {reinterpret_cast<const char*>(Store<std::uint8_t>(text, length).data()), length};
        FlushRun();
        char* to = reinterpret_cast<char*>(storage_ + next_);
        next_ += WriteLatin1AsUtf8(to, text, length);
        runFrom_ = runEnd_ = nullptr;
        runAt_ = next_;
        assert(next_ <= StorageSize(size_));
        return {to, static_cast<std::size_t>(reinterpret_cast<char*>(storage_ + next_) - to)};
    }

    const std::uint8_t* data_;
    std::uint64_t size_;
    std::uint64_t position_ = 0;
    std::uint64_t limit_;
    bool inChunk_ = false;
    std::string_view fileName_;
    std::byte* storage_;
    bool keepArrays_;  // false when only the counts are wanted
    std::size_t next_ = 0;  // the storage's first free byte, the put-off run included
    // The run of file bytes not yet copied, and where in the storage it goes.
    const std::uint8_t* runFrom_ = nullptr;
    const std::uint8_t* runEnd_ = nullptr;
    std::size_t runAt_ = 0;
};

class TModelReader {
public:
    TModelReader(std::span<const std::uint8_t> bytes, std::string_view fileName, TCasDetail detail)
        : in_(bytes, fileName, TakeStorage(bytes.size()), detail == TCasDetail::Everything)
    {
    }

    TCasModel Read()
    {
        // Real models have eight chunks at most: one allocation for the list.
        model_.Chunks.reserve(8);
        ReadHeader();
        while (in_.Position() < in_.Size())
            ReadChunk();
        if (!haveNodes_)
            in_.Fail(in_.Size(), "expected a node chunk (kind 0) before the end of the file");
        for (const auto& [offset, material] : materialFields_)
            if (material != CasNoMaterial && material >= model_.Materials.size())
                in_.Fail(offset, "expected a material index below " + Number(model_.Materials.size()) +
                                     " or none (4294967295), found " + Number(material));
        in_.FlushRun();
        return std::move(model_);
    }

private:
    // One buffer for all of the model's arrays and texts, left uncleared:
    // the reader fills every byte it hands out.
    std::byte* TakeStorage(std::size_t size)
    {
        if (size > 0)
            model_.Storage = std::make_unique_for_overwrite<std::byte[]>(TReader::StorageSize(size));
        return model_.Storage.get();
    }

    void ReadHeader()
    {
        in_.Need(CasHeaderSize, "the header");
        auto& header = model_.Header;
        header.Version = in_.F32("the version");
        if (!(header.Version >= OldestVersion && header.Version <= NewestVersion))
            in_.Fail(0, "expected a version from " + FloatText(OldestVersion) + " to " + FloatText(NewestVersion) +
                            ", found " + FloatText(header.Version));
        in_.ReadFixed(header.Fixed, "the header");
        header.AnimationSeconds = in_.F32("the header");
        in_.ReadFixed(header.Fixed2, "the header");
        in_.ReadFixed(header.FirstColour, "the header");
        in_.ReadFixed(header.Integers, "the header");
        in_.ReadFixed(header.SecondColour, "the header");
    }

    void ReadChunk()
    {
        TCasChunk chunk;
        chunk.Offset = in_.Position();
        in_.SetLimit(in_.Size(), false);
        in_.Need(ChunkHeadSize, "a chunk head");
        chunk.Size = in_.U32("a chunk size");
        chunk.Kind = in_.U32("a chunk kind");
        if (chunk.Size < ChunkHeadSize)
            in_.Fail(chunk.Offset, "expected a chunk size of at least 8, found " + Number(chunk.Size));
        std::uint64_t left = in_.Size() - chunk.Offset;
        if (chunk.Size > left)
            in_.Fail(chunk.Offset, "expected a chunk size within the " + Bytes(left) + " left in the file, found " +
                                       Number(chunk.Size));
        std::uint64_t end = chunk.Offset + chunk.Size;
        in_.SetLimit(end, true);

        switch (chunk.Kind) {
        case KindNodes:
            if (haveNodes_)
                in_.Fail(chunk.Offset, "expected one node chunk, found a second");
            ReadNodes();
            haveNodes_ = true;
            break;
        case KindRigidMeshes:
        case KindOneBoneMeshes:
        case KindTwoBoneMeshes:
            if (!haveNodes_)
                in_.Fail(chunk.Offset, "expected the node chunk (kind 0) before the meshes");
            ReadMeshes(static_cast<TCasMeshKind>(chunk.Kind), chunk);
            break;
        case KindMaterials:
            if (haveMaterials_)
                in_.Fail(chunk.Offset, "expected one material chunk, found a second");
            ReadMaterials();
            haveMaterials_ = true;
            break;
        case KindExportHistory:
            if (model_.HasExportHistory)
                in_.Fail(chunk.Offset, "expected one export history chunk, found a second");
            in_.LengthText(model_.ExportHistory, "the export history");
            model_.HasExportHistory = true;
            break;
        default:
            // Kinds 7, 8 and 10 hold nothing a reader needs; any other kind
            // is framed the same way, so it is kept as a chunk and passed over,
            // its bytes kept for writing back.
            in_.ReadArray(chunk.Payload, in_.Left(), "the chunk's bytes");
            break;
        }
        if (in_.Position() != end)
            in_.Fail(in_.Position(), "expected the end of the kind " + Number(chunk.Kind) + " chunk that began at byte " +
                                         Number(chunk.Offset) + ", found " + Bytes(end - in_.Position()) + " more");
        model_.Chunks.push_back(chunk);
    }

    void ReadNodes()
    {
        std::uint64_t at = in_.Position();
        std::uint32_t count = in_.U32("the node count");
        if (count == 0)
            in_.Fail(at, "expected at least one node (the root), found 0");
        in_.CheckCount(count, MinNodeBytes, at, "nodes");
        model_.NodeReserved = in_.U16("the field after the node count");
        auto& nodes = model_.Nodes;
        static constexpr TCasNode Blank{};  // copied: plain stores, as for the meshes
        nodes.resize(count, Blank);

        std::uint64_t parentsAt = in_.Position();
        for (std::uint32_t i = 1; i < count; ++i) {
            std::uint64_t parentAt = in_.Position();
            nodes[i].Parent = in_.U32("a parent node index");
            if (nodes[i].Parent >= count)
                in_.Fail(parentAt, "expected a parent node index below " + Number(count) + ", found " +
                                       Number(nodes[i].Parent));
        }
        CheckTree(parentsAt);

        std::uint32_t keys = in_.U32("the key count");
        in_.ReadArray(model_.KeyTimes, keys, "the key times");

        std::uint64_t keyFloats = 0;
        for (auto& node : nodes) {
            in_.LengthText(node.Name, "a node name");
            node.RotationKeys = ReadKeyCount(keys, "rotation");
            node.PositionKeys = ReadKeyCount(keys, "position");
            node.RotationOffset = in_.U32("a node's rotation offset");
            node.PositionOffset = in_.U32("a node's position offset");
            node.Reserved = in_.U32("a node's fifth field");
            in_.LengthText(node.Properties, "a node's properties");
            node.FirstKeyFloat = static_cast<std::size_t>(keyFloats);
            keyFloats += std::uint64_t{node.RotationKeys} * 4 + std::uint64_t{node.PositionKeys} * 3;
        }
        in_.ReadArray(model_.KeyData, keyFloats, "the animation keys");
        in_.Need(std::uint64_t{count} * 12, "the node pivots");
        for (auto& node : nodes) {
            node.Pivot.X = in_.F32("a pivot");
            node.Pivot.Y = in_.F32("a pivot");
            node.Pivot.Z = in_.F32("a pivot");
        }
    }

    std::uint32_t ReadKeyCount(std::uint32_t keys, std::string_view kind)
    {
        std::uint64_t at = in_.Position();
        std::uint32_t count = in_.U32("a node's key count");
        if (count > keys)
            in_.Fail(at, "expected at most " + Number(keys) + " " + std::string(kind) + " keys, found " + Number(count));
        return count;
    }

    // Every node's chain of parents must reach the root, or no rest pose exists.
    void CheckTree(std::uint64_t parentsAt)
    {
        const auto& nodes = model_.Nodes;
        enum : std::uint8_t { Unseen, OnPath, Reaches };
        std::pmr::vector<std::uint8_t> state(nodes.size(), Unseen, &scratch_);
        state[0] = Reaches;
        for (std::size_t i = 1; i < nodes.size(); ++i) {
            std::size_t j = i;
            while (state[j] == Unseen) {
                state[j] = OnPath;
                j = nodes[j].Parent;
            }
            if (state[j] == OnPath)
                in_.Fail(parentsAt + 4 * (j - 1), "expected a chain of parents that reaches the root, but node " +
                                                      Number(std::uint64_t{j}) + "'s leads back to itself");
            for (j = i; state[j] == OnPath; j = nodes[j].Parent)
                state[j] = Reaches;
        }
    }

    // Each of count indices at values (as the file holds them) below limit.
    template <typename T>
    void CheckIndices(const std::uint8_t* values, std::uint64_t count, std::uint64_t limit, std::uint64_t at,
                      std::string_view what)
    {
        if (AllBelow<T>(values, count, limit)) [[likely]]
            return;
        for (std::uint64_t i = 0; i < count; ++i)
            if (const T value = LoadLittle<T>(values + i * sizeof(T)); value >= limit)
                in_.Fail(at + sizeof(T) * i, "expected " + std::string(what) + " below " + Number(limit) + ", found " +
                                                 Number(std::uint64_t{value}));
    }

    void CheckBones(const std::uint8_t* bones, std::uint64_t count, std::uint64_t at)
    {
        CheckIndices<std::uint32_t>(bones, count, model_.Nodes.size(), at, "a bone index");
    }

    // One pass without early exit, which the compiler vectorises; the search
    // for the offending value runs only when there is one.
    template <typename T>
    static bool AllBelow(const std::uint8_t* values, std::uint64_t count, std::uint64_t limit)
    {
        if (limit > std::numeric_limits<T>::max())
            return true;
        if (limit == 0)
            return count == 0;
        // Unsigned values compared as signed ones, each with its top bit
        // flipped: the form the vector units of every x86-64 compare in.
        using Signed = std::make_signed_t<T>;
        constexpr T Top = T{1} << (8 * sizeof(T) - 1);
        const auto most = static_cast<Signed>(static_cast<T>(limit - 1) ^ Top);
        Signed outside = 0;
        for (std::uint64_t i = 0; i < count; ++i)
            outside |= static_cast<Signed>(static_cast<Signed>(LoadLittle<T>(values + i * sizeof(T)) ^ Top) > most ? -1 : 0);
        return outside == 0;
    }

    [[gnu::always_inline]] bool Flag(std::uint8_t value, std::uint64_t at, std::string_view what)
    {
        if (value > 1)
            in_.Fail(at, "expected 0 or 1 for " + std::string(what) + ", found " + Number(std::uint64_t{value}));
        return value == 1;
    }

    void ReadMeshes(TCasMeshKind kind, TCasChunk& chunk)
    {
        std::uint64_t at = in_.Position();
        std::uint32_t count = in_.U32("the mesh count");
        in_.CheckCount(count, kind == TCasMeshKind::Rigid ? MinRigidMeshBytes : MinSkinnedMeshBytes, at, "meshes");
        // Real models have a dozen meshes at most, over up to three chunks:
        // room for them all at the first.
        const std::size_t meshes = std::max<std::size_t>(model_.Meshes.size() + count, UsualMeshCount);
        model_.Meshes.reserve(meshes);
        materialFields_.reserve(meshes);
        // Copies of one blank mesh: plain stores, where making each afresh
        // starts a string instruction per mesh.
        static constexpr TCasMesh Blank{};
        const std::size_t first = model_.Meshes.size();
        model_.Meshes.resize(first + count, Blank);
        chunk.MeshCount = count;
        for (std::uint32_t i = 0; i < count; ++i)
            ReadMesh(kind, model_.Meshes[first + i]);
        if (kind == TCasMeshKind::Rigid)
            chunk.TrailerShort = in_.U16("the end of the rigid meshes");
        chunk.TrailerCount = in_.U32("the end of the meshes");
    }

    void ReadMesh(TCasMeshKind kind, TCasMesh& mesh)
    {
        mesh.Kind = kind;
        in_.LengthText(mesh.Name, "a mesh name");
        in_.LengthText(mesh.Properties, "a mesh's properties");
        const bool rigid = kind == TCasMeshKind::Rigid;
        const std::uint64_t headAt = in_.Position();
        TFields head = in_.Fields(rigid ? RigidMeshHeadSize : SkinnedMeshHeadSize, "a mesh's fields");
        if (rigid) {
            mesh.RigidFixed = head.Next<std::uint32_t>();
            mesh.RigidFlag = head.Next<std::uint8_t>();
            mesh.Bone = head.Next<std::uint32_t>();
            if (mesh.Bone >= model_.Nodes.size())
                in_.Fail(headAt + 5, "expected a bone index below " + Number(model_.Nodes.size()) + ", found " +
                                         Number(mesh.Bone));
        }
        head.Next(mesh.Placement);
        mesh.VertexCount = head.Next<std::uint16_t>();
        mesh.TriangleCount = head.Next<std::uint16_t>();
        const std::uint64_t flagsAt = in_.Position() - 2;
        mesh.HasUV = Flag(head.Next<std::uint8_t>(), flagsAt, "whether a mesh has UVs");
        mesh.HasColour = Flag(head.Next<std::uint8_t>(), flagsAt + 1, "whether a mesh has colours");
        const std::uint64_t vertices = mesh.VertexCount;

        if (kind == TCasMeshKind::OneBone) {
            std::uint64_t bonesAt = in_.Position();
            CheckBones(in_.ReadArray(mesh.Bones, vertices, "the vertices' bones"), vertices, bonesAt);
        }
        in_.ReadArray(mesh.Positions, vertices * 3, "the vertex positions");
        if (kind == TCasMeshKind::TwoBone) {
            in_.ReadArray(mesh.Weights, vertices, "the vertex weights");
            std::uint64_t firstAt = in_.Position();
            CheckBones(in_.ReadArray(mesh.FirstBones, vertices, "the vertices' first bones"), vertices, firstAt);
            std::uint64_t secondAt = in_.Position();
            CheckBones(in_.ReadArray(mesh.SecondBones, vertices, "the vertices' second bones"), vertices, secondAt);
        }
        in_.ReadArray(mesh.Normals, vertices * 3, "the vertex normals");
        std::uint64_t indicesAt = in_.Position();
        const std::uint64_t indices = std::uint64_t{mesh.TriangleCount} * 3;
        CheckIndices<std::uint16_t>(in_.ReadArray(mesh.Indices, indices, "the triangles"), indices, vertices, indicesAt,
                                    "a vertex index");
        std::uint64_t materialAt = in_.Position();
        mesh.Material = in_.U32("a mesh's material");
        materialFields_.emplace_back(materialAt, mesh.Material);
        if (mesh.HasUV)
            in_.ReadArray(mesh.UVs, vertices * 2, "the UVs");
        if (mesh.HasColour)
            in_.ReadArray(mesh.Colours, vertices, "the vertex colours");
        mesh.Trailer = in_.U32("the end of a mesh");
    }

    void ReadMaterials()
    {
        std::uint64_t at = in_.Position();
        std::uint32_t count = in_.U32("the material count");
        in_.CheckCount(count, MinMaterialBytes, at, "materials");
        model_.Materials.resize(count);
        for (auto& material : model_.Materials) {
            material.Named = in_.U32("whether a material is named");
            if (material.Named != 0) {
                in_.NulText(material.Name, "a material name");
                in_.NulText(material.Texture, "a material's texture path");
            }
            in_.ReadFixed(material.Diffuse, "a material's colours");
            in_.ReadFixed(material.Specular, "a material's colours");
            in_.ReadFixed(material.Tail, "the end of a material");
        }
    }

    TCasModel model_;  // before in_, which is given the model's array buffer
    TReader in_;
    bool haveNodes_ = false;
    bool haveMaterials_ = false;
    // The reader's own lists come from here, not the heap, for models of
    // any usual size.
    std::array<std::byte, 2048> scratchBytes_;
    std::pmr::monotonic_buffer_resource scratch_{scratchBytes_.data(), scratchBytes_.size()};
    // Materials follow the meshes, so their indices are checked at the end.
    std::pmr::vector<std::pair<std::uint64_t, std::uint32_t>> materialFields_{&scratch_};
};

} // namespace

ECASException::ECASException(std::string_view fileName, std::uint64_t offset, std::string expectation)
    : Exception("Damaged model file " + std::string(fileName) + " at byte " + Number(offset) + ": " + expectation),
      offset_(offset), expectation_(std::move(expectation))
{
}

TCasModel ReadCasModel(std::span<const std::uint8_t> bytes, std::string_view fileName, TCasDetail detail)
{
    return TModelReader(bytes, fileName, detail).Read();
}

TCasModel LoadCasModel(std::string_view path, TCasDetail detail)
{
    TMemoryStream file;
    file.LoadFromFile(path);
    return ReadCasModel({file.Memory(), static_cast<std::size_t>(file.Size())}, path, detail);
}

TCasTotals CasTotals(const TCasModel& model)
{
    TCasTotals totals;
    totals.Bones = model.Nodes.size();
    for (const auto& mesh : model.Meshes) {
        totals.Vertices += mesh.VertexCount;
        totals.Triangles += mesh.TriangleCount;
        if (mesh.Kind == TCasMeshKind::TwoBone) {
            totals.TwoBoneVertices += mesh.VertexCount;
            totals.LargestTwoBoneMesh = std::max<std::uint64_t>(totals.LargestTwoBoneMesh, mesh.VertexCount);
        }
    }
    return totals;
}

} // namespace quorin
