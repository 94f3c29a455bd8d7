#pragma once

// The receivers of the project: one file per receiver,
// Receivers/Receiver_NNNN.dat, held in a fixed table sorted by name. The file
// number is only a position: a save writes the table as 0000 upward.

#include "records/project.h"
#include "records/record.h"
#include "records/save_transaction.h"
#include "records/store_context.h"

#include <array>
#include <cstdint>
#include <memory>
#include <set>

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
const KindSpec& ReceiverKind();

class ReceiverStore {
public:
    static constexpr std::int16_t Capacity = 300;

    ReceiverStore();

    // Replaces the table with the receivers on disk, sorted by name. Files
    // that cannot be used are passed over, logged and listed in the report.
    std::int16_t ReadAllReceivers(const StoreContext& ctx, LoadReport* report = nullptr);

    // Sorts the table and replaces every receiver file with the table,
    // numbered from 0000; then posts "RR". Nothing on disk changes unless
    // every file could be written.
    SaveReport SaveAllReceivers(const StoreContext& ctx);

    // Stable sort of the slots in use by upper-cased name.
    void SortReceivers();

    // The table as the files a save writes (numbered from 0000 in table
    // order), each checked to read back as the receiver it came from. Sorts
    // the table first.
    Result<std::vector<NamedFile>> EncodeAll();

    // The folder as last loaded or saved, to tell changes by other tools.
    KindSnapshot& Loaded() { return m_loaded; }
    // The files of that folder whose content the table holds.
    const std::set<std::string>& Carried() const { return m_carried; }
    // After a save of the whole table: every file on disk holds a receiver.
    void SavedAll();

    std::array<std::unique_ptr<Receiver>, Capacity> Receivers;
    std::int16_t NumberOfReceivers = 0;

    Receiver& at(std::size_t slot) { return *Receivers[slot]; }
    const Receiver& at(std::size_t slot) const { return *Receivers[slot]; }

private:
    KindSnapshot m_loaded;
    std::set<std::string> m_carried;
};

// Decodes one receiver file (either version) into a version-4 receiver and
// returns the file's version. An unknown version is an error of code
// BadFormat whose message is the version. On failure `receiver` holds what
// was read so far.
Result<std::int16_t> DecodeReceiverInto(std::span<const std::uint8_t> data, const std::string& source,
                                        Receiver& receiver);
// The same into a new receiver.
struct DecodedReceiver {
    Receiver receiver;
    std::int16_t version = 0;
};
Result<DecodedReceiver> DecodeReceiverFile(std::span<const std::uint8_t> data, const std::string& source);

// The bytes of a version-4 receiver file.
Result<ByteBuffer> EncodeReceiverFile(const Receiver& receiver, const std::string& target);

} // namespace vel
