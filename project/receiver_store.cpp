#include "project/receiver_store.h"

#include "base/codepage.h"

#include <algorithm>
#include <numeric>

namespace vel {

namespace {

constexpr LayoutEntry ReceiverEntries[] = {
    {6, ItemKind::None, 0},        // Id, Enabled, ReceiverType
    {0, ItemKind::Text, 1},        // Name
    {0, ItemKind::TaggedArray, 4}, // Settings
    {10, ItemKind::None, 0},       // Status, ExtraBytes
    {0, ItemKind::Text, 1},        // Text1
    {0, ItemKind::Text, 1},        // Text2
    {0, ItemKind::Text, 1},        // Text3
    {0, ItemKind::Text, 1},        // Text4
    {0, ItemKind::Text, 1},        // Text5
};

constexpr LayoutEntry ReceiverV3Entries[] = {
    {4, ItemKind::Text, 1},        // Id, ReceiverType, Name
    {0, ItemKind::TaggedArray, 4}, // Settings
};

constexpr const char* Prefix = "Receiver_";
constexpr const char* Kind = "Receivers";

} // namespace

RecordLayout ReceiverLayout() { return ReceiverEntries; }
RecordLayout ReceiverV3Layout() { return ReceiverV3Entries; }

const KindSpec& ReceiverKind()
{
    // A file is its version word and one record; a larger one is no receiver.
    // The bound leaves room above the largest legal file.
    static const KindSpec spec{Kind, Prefix, 2 + MaxRecordBytes(ReceiverLayout()) + 64 * 1024, "RR", "receivers"};
    return spec;
}

Receiver::Receiver() : Record(ReceiverLayout()) {}
ReceiverV3::ReceiverV3() : Record(ReceiverV3Layout()) {}

Result<std::int16_t> DecodeReceiverInto(std::span<const std::uint8_t> data, const std::string& source,
                                        Receiver& receiver)
{
    ByteReader in(data, source);
    auto version = in.ReadI16();
    if (!version) return version.error();
    if (*version == 4) {
        VEL_TRY(ReadRecord(in, receiver));
    } else if (*version == 3) {
        ReceiverV3 old;
        VEL_TRY(ReadRecord(in, old));
        receiver.Clear();
        receiver.SetEnabled(-1);
        receiver.SetId(old.Id());
        receiver.SetReceiverType(old.ReceiverType());
        receiver.Name() = old.Name();
        for (std::size_t i = 0; i < 4; ++i) receiver.Settings(i) = old.Settings(i);
    } else {
        return MakeError(ErrorCode::BadFormat, std::to_string(*version));
    }
    if (!in.atEnd())
        return in.ErrorHere(ErrorCode::BadFormat, std::to_string(in.remaining()) + " bytes follow the receiver record");
    return *version;
}

Result<DecodedReceiver> DecodeReceiverFile(std::span<const std::uint8_t> data, const std::string& source)
{
    DecodedReceiver out;
    auto version = DecodeReceiverInto(data, source, out.receiver);
    if (!version) return version.error();
    out.version = *version;
    return out;
}

Result<ByteBuffer> EncodeReceiverFile(const Receiver& receiver, const std::string& target)
{
    ByteWriter out(target);
    out.WriteI16(4);
    VEL_TRY(WriteRecord(out, receiver));
    return out.take();
}

ReceiverStore::ReceiverStore()
{
    for (auto& slot : Receivers) slot = std::make_unique<Receiver>();
}

void ReceiverStore::SortReceivers()
{
    const auto n = static_cast<std::size_t>(NumberOfReceivers);
    std::stable_sort(Receivers.begin(), Receivers.begin() + static_cast<std::ptrdiff_t>(n),
                     [](const auto& a, const auto& b) { return CompareUpper(a->Name(), b->Name()) < 0; });
}

std::int16_t ReceiverStore::ReadAllReceivers(const StoreContext& ctx, LoadReport* report)
{
    BusyPointer busy(ctx);
    LoadReport local;
    LoadReport& rep = report != nullptr ? *report : local;
    NumberOfReceivers = 0;
    m_loaded = KindSnapshot{};
    m_carried.clear();

    auto passOver = [&](const std::string& file, const std::string& reason, bool logIt) {
        rep.passedOver.push_back({file, reason});
        if (logIt) ctx.WriteLog("Receiver file '" + file + "' passed over: " + reason);
    };

    auto content = ReadKindFolder(*ctx.fs, ctx.ProjectPath, ReceiverKind());
    if (!content) {
        passOver(ctx.ProjectPath + Kind, content.error().message, true);
        return 0;
    }
    if (!content->refused.empty()) passOver(ctx.ProjectPath + Kind, content->refused, true);
    KindSnapshot snapshot;
    snapshot.taken = true;
    // Files are decoded straight into the next free slot; one beyond the
    // table's end goes to a spare, only to tell whether it would load.
    std::unique_ptr<Receiver> spare;
    for (KindFolderContent::File& entry : content->files) {
        const KindFile& f = entry.file;
        Result<ByteBuffer>& data = entry.content;
        if (!FileNumber(f.numberPart)) {
            passOver(f.name, "the characters after \"Receiver_\" are not a number", false);
        } else if (!data) {
            passOver(f.name, data.error().message, true);
        } else if (data->size() < 2) {
            passOver(f.name, "shorter than 2 bytes", false);
        } else {
            const bool full = NumberOfReceivers >= Capacity;
            if (full && !spare) spare = std::make_unique<Receiver>();
            Receiver& into = full ? *spare : at(static_cast<std::size_t>(NumberOfReceivers));
            auto version = DecodeReceiverInto(*data, content->folderName + "/" + f.name, into);
            if (!version) {
                const auto v = static_cast<std::int16_t>((*data)[0] | ((*data)[1] << 8));
                if (v != 3 && v != 4) {
                    ctx.WriteLog(ctx.GetText(803) + " '" + f.name + "' (" + std::to_string(v) + ") " + ctx.GetText(804));
                    passOver(f.name, "file version " + std::to_string(v) + " is not known", false);
                } else {
                    passOver(f.name, version.error().message, true);
                }
            } else if (full) {
                passOver(f.name, "the table holds only 300 receivers", true);
            } else {
                if (*version == 3) ctx.WriteLog(ctx.GetText(888) + " '" + f.name + "' (3 -> 4)");
                if (*version == 3)
                    ctx.Tell("The receiver file " + f.name +
                             " is in file version 3 and is converted to version 4 at the next save of the receivers.");
                into.SetStatus(0);
                ++NumberOfReceivers;
                m_carried.insert(f.name);
            }
        }
        snapshot.Add(f.name, std::move(data));
    }
    SortReceivers();
    m_loaded = std::move(snapshot);
    return NumberOfReceivers;
}

void ReceiverStore::SavedAll()
{
    m_carried.clear();
    for (const auto& stamp : m_loaded.files) m_carried.insert(stamp.name);
}

Result<std::vector<NamedFile>> ReceiverStore::EncodeAll()
{
    SortReceivers();
    std::vector<NamedFile> files;
    files.reserve(static_cast<std::size_t>(NumberOfReceivers));
    for (std::int16_t i = 0; i < NumberOfReceivers; ++i) {
        const std::string name = NumberedFileName(Prefix, i);
        auto bytes = EncodeReceiverFile(at(static_cast<std::size_t>(i)), name);
        if (!bytes) return bytes.error();
        // Read back what will be written: it must decode to the same receiver.
        auto check = DecodeReceiverFile(*bytes, name);
        if (!check || !(check->receiver == at(static_cast<std::size_t>(i))))
            return MakeError(ErrorCode::BadFormat, name + ": the encoded receiver does not read back unchanged");
        files.emplace_back(name, std::move(*bytes));
    }
    return files;
}

SaveReport ReceiverStore::SaveAllReceivers(const StoreContext& ctx)
{
    // The table is sorted whether or not the save goes on.
    SortReceivers();
    return RunSave(
        ctx, {{ReceiverKind(), &m_loaded, &m_carried}},
        [this](SaveTransaction&) -> Result<std::vector<std::vector<NamedFile>>> {
            auto files = EncodeAll();
            if (!files) return files.error();
            return Sets(std::move(*files));
        },
        [this] { SavedAll(); });
}

} // namespace vel
