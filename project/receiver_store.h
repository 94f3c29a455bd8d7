#pragma once

// The receivers of the project: one file per receiver,
// Receivers/Receiver_NNNN.dat, held in a table sorted by name. The file
// number is only a position: a save writes the table as 0000 upward.

#include "project/kind_store.h"
#include "records/project.h"
#include "records/record.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vel {

// A receiver in its current form (file version 4).
class Receiver : public Record {
public:
    Receiver();

    std::int16_t Id() const { return PlainI16(0, 0); }
    void SetId(std::int16_t v) { SetPlainI16(0, 0, v); }
    std::int16_t Enabled() const { return PlainI16(0, 2); }
    void SetEnabled(std::int16_t v) { SetPlainI16(0, 2, v); }
    std::int16_t ReceiverType() const { return PlainI16(0, 4); }
    void SetReceiverType(std::int16_t v) { SetPlainI16(0, 4, v); }
    AnsiText& Name() { return Text(1); }
    const AnsiText& Name() const { return Text(1); }
    TaggedValue& Settings(std::size_t i) { return Tagged(2, i); }
    const TaggedValue& Settings(std::size_t i) const { return Tagged(2, i); }
    std::int16_t Status() const { return PlainI16(3, 0); }
    void SetStatus(std::int16_t v) { SetPlainI16(3, 0, v); }
    std::span<std::uint8_t> ExtraBytes() { return Plain(3).subspan(2, 8); }
    std::span<const std::uint8_t> ExtraBytes() const { return Plain(3).subspan(2, 8); }
    // Text1 .. Text5 as TextN(1) .. TextN(5).
    AnsiText& TextN(int n) { return Text(static_cast<std::size_t>(3 + n)); }
    const AnsiText& TextN(int n) const { return Text(static_cast<std::size_t>(3 + n)); }
    AnsiText& Text1() { return TextN(1); }
};

// The older form (file version 3), read and converted, never written.
class ReceiverV3 : public Record {
public:
    ReceiverV3();

    std::int16_t Id() const { return PlainI16(0, 0); }
    std::int16_t ReceiverType() const { return PlainI16(0, 2); }
    const AnsiText& Name() const { return Text(0); }
    const TaggedValue& Settings(std::size_t i) const { return Tagged(1, i); }
};

RecordLayout ReceiverLayout();
RecordLayout ReceiverV3Layout();

// The receiver files: Receivers/Receiver_NNNN.dat, reloaded with "RR".
const KindDescription& ReceiverKind();

// Decodes one receiver file (either version) into a version-4 receiver. An
// unknown version is a BadFormat error whose message is the version; a file
// that does not hold one whole record is an error naming the file and byte
// offset.
struct DecodedReceiver {
    Receiver receiver;
    std::int16_t version = 0;
};
Result<DecodedReceiver> DecodeReceiverFile(std::span<const std::uint8_t> data, const std::string& source);

// The bytes of a version-4 receiver file.
Result<ByteBuffer> EncodeReceiverFile(const Receiver& receiver, const std::string& target);

// A receiver of the table.
struct ReceiverEntry {
    Receiver record;
};

// The receivers as a kind of record file (see KindStore): version 3 is read
// and converted, the file number is only a position, the table is sorted
// again before every save.
struct ReceiverFiles {
    using Record = Receiver;
    using Entry = ReceiverEntry;
    static constexpr bool SortedAtSave = true;
    static const KindRules& Rules();
    static Result<Entry> Decode(std::span<const std::uint8_t> file, const std::string& source);
    // A loaded receiver's Status is 0.
    static void Loaded(Entry& entry) { entry.record.SetStatus(0); }
    static Result<ByteBuffer> Encode(const Entry& entry, const Receiver& record, const std::string& target);
    static void TakeNumber(Receiver& /*record*/, std::int16_t /*number*/) {}
};

class ReceiverStore final : public KindStore<ReceiverFiles> {
public:
    // Replaces the table with the receivers on disk, sorted by name. Files
    // that cannot be used are passed over, logged and listed in the report.
    std::int16_t ReadAllReceivers(const StoreContext& ctx, LoadReport* report = nullptr);

    // Sorts the table and replaces every receiver file with the table,
    // numbered from 0000; then posts "RR". Nothing on disk changes unless
    // every file could be written.
    SaveReport SaveAllReceivers(const StoreContext& ctx);

    std::int16_t NumberOfReceivers() const { return static_cast<std::int16_t>(size()); }

protected:
    // 0000 upward in table order.
    Result<std::vector<std::int16_t>> FileNumbers(const StoreContext& ctx,
                                                  const std::vector<std::string>& existing) override;
};

} // namespace vel
