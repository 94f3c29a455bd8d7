#include "project/receiver_store.h"

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

} // namespace

RecordLayout ReceiverLayout()
{
    return ReceiverEntries;
}
RecordLayout ReceiverV3Layout()
{
    return ReceiverV3Entries;
}

const KindDescription& ReceiverKind()
{
    // A file is its version word and one record; a larger one is no receiver.
    // The bound leaves room above the largest legal file.
    static const KindDescription desc{"Receivers", "Receiver_", 2 + MaxRecordBytes(ReceiverLayout()) + 64 * 1024, "RR",
                                      "receivers"};
    return desc;
}

Receiver::Receiver() : Record(ReceiverLayout()) {}
ReceiverV3::ReceiverV3() : Record(ReceiverV3Layout()) {}

Result<DecodedReceiver> DecodeReceiverFile(std::span<const std::uint8_t> data, const std::string& source)
{
    ByteReader in(data, source);
    VEL_TRY_ASSIGN(const auto version, in.ReadI16());
    DecodedReceiver out;
    out.version = version;
    Receiver& receiver = out.receiver;
    if (version == 4) {
        VEL_TRY(ReadRecord(in, receiver));
    } else if (version == 3) {
        ReceiverV3 old;
        VEL_TRY(ReadRecord(in, old));
        receiver.SetEnabled(-1);
        receiver.SetId(old.Id());
        receiver.SetReceiverType(old.ReceiverType());
        receiver.Name() = old.Name();
        for (std::size_t i = 0; i < 4; ++i) receiver.Settings(i) = old.Settings(i);
    } else {
        return MakeError(ErrorCode::BadFormat, std::to_string(version));
    }
    if (!in.atEnd())
        return in.ErrorHere(ErrorCode::BadFormat, std::to_string(in.remaining()) + " bytes follow the receiver record");
    return out;
}

Result<ByteBuffer> EncodeReceiverFile(const Receiver& receiver, const std::string& target)
{
    ByteWriter out(target);
    out.WriteI16(4);
    VEL_TRY(WriteRecord(out, receiver));
    return out.take();
}

const KindRules& ReceiverFiles::Rules()
{
    static const KindRules rules{ReceiverKind(), "receiver", 4, 3, 804, false};
    return rules;
}

Result<ReceiverEntry> ReceiverFiles::Decode(std::span<const std::uint8_t> file, const std::string& source)
{
    VEL_TRY_ASSIGN(auto decoded, DecodeReceiverFile(file, source));
    return ReceiverEntry{std::move(decoded.receiver)};
}

Result<ByteBuffer> ReceiverFiles::Encode(const ReceiverEntry& /*entry*/, const Receiver& record,
                                         const std::string& target)
{
    return EncodeReceiverFile(record, target);
}

std::int16_t ReceiverStore::ReadAllReceivers(const StoreContext& ctx, LoadReport* report)
{
    Load(ctx, report);
    return NumberOfReceivers();
}

SaveReport ReceiverStore::SaveAllReceivers(const StoreContext& ctx)
{
    return SaveAll(ctx);
}

Result<std::vector<std::int16_t>> ReceiverStore::FileNumbers(const StoreContext& /*ctx*/,
                                                             const std::vector<std::string>& /*existing*/)
{
    std::vector<std::int16_t> numbers(size());
    for (std::size_t i = 0; i < numbers.size(); ++i) numbers[i] = static_cast<std::int16_t>(i);
    return numbers;
}

} // namespace vel
