#pragma once

// One store for every kind of record file of the project. Receivers and route
// profiles keep their tables the same way, in one vector of entries, and run
// through the same steps:
//
// Load. The kind folder is listed and every file named like one of the kind
// is read. A file is passed over, and named with its reason in the load
// report, when the four characters after the prefix are no number, it cannot
// be read (a link, a pipe, a file too large for the kind), it is shorter than
// its version word, its version is not one the kind reads, it cannot be
// decoded whole (it ends too early, holds an impossible length or bytes after
// the record), or the table is full. A file that cannot be decoded whole is
// never loaded half: saving what was read would write the missing values back
// as zeros. Since a save carries on only the files the table holds, every
// file passed over is kept by the save (in the backup and in the passed-over
// folder, which is never pruned).
//
// Log. The suite's own lines keep their wording: an unknown version (texts
// 803 and 804 or 805) and an older version converted (text 888). Every other
// file passed over gets one line of one form for both kinds, naming the file
// relative to the project: "Receiver file 'Receivers/Receiver_0002.dat'
// passed over: <reason>". A file whose number is no number, or that is
// shorter than its version word, is passed over without a line.
//
// Order. The table is sorted after each load, stably, by the upper-cased
// name (CompareUpper); a kind may sort again before each save.
//
// Save. The whole table is one set of files, each entry under the file
// number the kind gives it, written through one save transaction (RunSave),
// alone or together with the other kind (Suite::SaveBoth).
//
// A kind is described by a traits class:
//
//   struct Kind {
//       using Record = ...;      // the record class, with Name()
//       using Entry = ...;       // a table entry: its `record`, and what else the file holds
//       static constexpr bool SortedAtSave;  // sorted again before every save
//       static const KindRules& Rules();
//       // The entry a whole file holds (version word included), or why it
//       // cannot be used; the version is one the kind reads. A save reads
//       // every file it writes back through this, so it takes the file as
//       // it is.
//       static Result<Entry> Decode(std::span<const std::uint8_t> file, const std::string& source);
//       // What a load does to a decoded entry before it joins the table.
//       static void Loaded(Entry& entry);
//       // The whole file of an entry whose record, as written, is `record`.
//       static Result<ByteBuffer> Encode(const Entry& entry, const Record& record, const std::string& target);
//       // The record as a file of that number holds it.
//       static void TakeNumber(Record& record, std::int16_t number);
//   };

#include "base/bytes.h"
#include "base/codepage.h"
#include "base/result.h"
#include "records/project.h"
#include "records/save_transaction.h"
#include "records/store_context.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <set>
#include <span>
#include <string>
#include <vector>

namespace vel {

// A table of either kind holds at most this many entries; further files are
// passed over.
inline constexpr std::size_t KindTableCapacity = 300;

// What a kind's files are, beyond where they lie.
struct KindRules {
    KindDescription desc;
    std::string entryNoun;                // "receiver", "route profile"
    std::int16_t currentVersion = 4;      // the version every save writes
    std::int16_t oldestVersion = 4;       // the versions oldestVersion..currentVersion are read
    std::int32_t unknownVersionText = 0;  // the suite's text that ends its line on an unknown version
    bool unknownVersionNamesPath = false; // that line names the file by its whole path (else by its name)
};

// What the program loaded of a kind folder: the folder as the load (or the
// last save) found it, to tell changes by other tools, and the files whose
// content the table holds.
class KindFiles {
public:
    const KindSnapshot& Loaded() const { return m_loaded; }
    const std::set<std::string>& Carried() const { return m_carried; }
    // The kind as a save transaction takes it; the transaction renews the
    // snapshot once the new set is in place.
    KindToSave ToSave(const KindDescription& desc) { return {desc, &m_loaded, &m_carried, {}, {}}; }
    // After a save of the whole table: every file on disk holds an entry.
    void SavedAll();

    // How a load fills the table with one decodable file.
    enum class Taken { Added, TableFull };
    using TakeFile = std::function<Result<Taken>(std::span<const std::uint8_t> file, const std::string& source)>;
    // Lists and reads the kind folder, passes over what cannot be used (see
    // above) and hands every file whose version the kind reads to `take`.
    void Load(const StoreContext& ctx, const KindRules& rules, LoadReport& report, const TakeFile& take);

private:
    KindSnapshot m_loaded;
    std::set<std::string> m_carried;
};

// "route profile 'Alpha' (Profile_0001.dat)", for messages.
std::string DescribeEntry(const KindRules& rules, const AnsiText& name, const std::string& file);

template <class Kind>
class KindStore {
public:
    using Record = typename Kind::Record;
    using Entry = typename Kind::Entry;

    static constexpr std::size_t Capacity = KindTableCapacity;

    KindStore() { m_entries.reserve(Capacity); }
    virtual ~KindStore() = default;
    KindStore(const KindStore&) = delete;
    KindStore& operator=(const KindStore&) = delete;

    // The table, in its order.
    std::vector<Entry>& Entries() { return m_entries; }
    const std::vector<Entry>& Entries() const { return m_entries; }
    std::size_t size() const { return m_entries.size(); }
    // The record of entry i (i below size()).
    Record& at(std::size_t i) { return m_entries[i].record; }
    const Record& at(std::size_t i) const { return m_entries[i].record; }

    // Stable sort by upper-cased name.
    void Sort()
    {
        std::stable_sort(m_entries.begin(), m_entries.end(), [](const Entry& a, const Entry& b) {
            return CompareUpper(a.record.Name(), b.record.Name()) < 0;
        });
    }

    // The set a save writes: every entry under its file number (from
    // FileNumbers, drawn among the `existing` files of the folder), each
    // checked to read back as the entry it came from. Nothing changes in the
    // table; Saved takes the numbers once the files are in place.
    struct EncodedSet {
        std::vector<NamedFile> files;
        std::vector<std::int16_t> numbers;
    };
    Result<EncodedSet> Encode(const StoreContext& ctx, const std::vector<std::string>& existing)
    {
        VEL_TRY_ASSIGN(auto numbers, FileNumbers(ctx, existing));
        EncodedSet set;
        set.files.reserve(m_entries.size());
        for (std::size_t i = 0; i < m_entries.size(); ++i) {
            VEL_TRY_ASSIGN(auto file, EncodeEntry(m_entries[i], numbers[i]));
            set.files.push_back(std::move(file));
        }
        set.numbers = std::move(numbers);
        return set;
    }
    // After a save of the whole table: every entry takes the number of its
    // file, and every file on disk holds an entry.
    void Saved(const std::vector<std::int16_t>& numbers)
    {
        for (std::size_t i = 0; i < numbers.size() && i < m_entries.size(); ++i)
            Kind::TakeNumber(m_entries[i].record, numbers[i]);
        m_files.SavedAll();
        m_renames.clear();
    }
    // What a save does to the table before it starts, whether or not it
    // goes on: the kinds sorted at save are sorted.
    void PrepareSave()
    {
        if constexpr (Kind::SortedAtSave) Sort();
    }

    // The kind as a save takes it, with the renames it carries to the history.
    KindToSave ToSave()
    {
        KindToSave k = m_files.ToSave(Kind::Rules().desc);
        k.changes = m_renames;
        return k;
    }

    // The renames made in the table since it was loaded or last saved, in
    // the order they were made: the next save of the kind writes them to the
    // history once it has committed. A load forgets them with the changes.
    void RecordRename(const AnsiText& oldName, const AnsiText& newName, int items)
    {
        m_renames.push_back({Kind::Rules().desc.kind, oldName, newName, items});
    }
    // The same for an undo or redo of one entry's rename: one that takes the
    // last noted rename back cancels it, since together they change nothing
    // on disk. (Only for one entry: in a swap of two entries' names the
    // second rename reverses the first's names without taking it back.)
    void RecordRenameOfUndo(const AnsiText& oldName, const AnsiText& newName, int items)
    {
        if (!m_renames.empty() && m_renames.back().oldName == newName && m_renames.back().newName == oldName)
            m_renames.pop_back();
        else
            RecordRename(oldName, newName, items);
    }
    const std::vector<NameChange>& Renames() const { return m_renames; }
    const KindSnapshot& Loaded() const { return m_files.Loaded(); }
    const std::set<std::string>& Carried() const { return m_files.Carried(); }

protected:
    // Replaces the table with the files on disk, sorted; the new size.
    std::size_t Load(const StoreContext& ctx, LoadReport* report)
    {
        BusyPointer busy(ctx);
        LoadReport local;
        m_entries.clear();
        m_renames.clear();
        m_files.Load(ctx, Kind::Rules(), report != nullptr ? *report : local,
                     [this](std::span<const std::uint8_t> file, const std::string& source) -> Result<KindFiles::Taken> {
                         VEL_TRY_ASSIGN(auto entry, Kind::Decode(file, source));
                         if (m_entries.size() >= Capacity) return KindFiles::Taken::TableFull;
                         Kind::Loaded(entry);
                         m_entries.push_back(std::move(entry));
                         return KindFiles::Taken::Added;
                     });
        Sort();
        return m_entries.size();
    }

    // Replaces every file of the kind with the table; then posts the kind's
    // reload command. Nothing on disk changes unless every file could be written.
    SaveReport SaveAll(const StoreContext& ctx)
    {
        PrepareSave();
        std::vector<std::int16_t> numbers;
        return RunSave(
            ctx, {ToSave()},
            [&](SaveTransaction& transaction) -> Result<std::vector<std::vector<NamedFile>>> {
                // The numbers are drawn among the files on disk now, under the lock.
                VEL_TRY_ASSIGN(auto set, Encode(ctx, transaction.ExistingNames(0)));
                numbers = std::move(set.numbers);
                return Sets(std::move(set.files));
            },
            [&] { Saved(numbers); });
    }

    // The file number of every entry, in table order, for a save among the
    // `existing` files of the kind folder.
    virtual Result<std::vector<std::int16_t>> FileNumbers(const StoreContext& ctx,
                                                          const std::vector<std::string>& existing) = 0;

private:
    Result<NamedFile> EncodeEntry(const Entry& entry, std::int16_t number) const
    {
        const KindRules& rules = Kind::Rules();
        const std::string name = NumberedFileName(rules.desc.prefix, number);
        Record record = entry.record;
        Kind::TakeNumber(record, number);
        auto bytes = Kind::Encode(entry, record, name);
        if (!bytes)
            return MakeError(bytes.error().code,
                             DescribeEntry(rules, entry.record.Name(), name) + ": " + bytes.error().message);
        // Read back what will be written: it must decode to the same record.
        auto back = Kind::Decode(*bytes, name);
        if (!back || !(back->record == record))
            return MakeError(ErrorCode::BadFormat, DescribeEntry(rules, entry.record.Name(), name) +
                                                       ": the encoded file does not read back unchanged");
        return NamedFile(name, std::move(*bytes));
    }

    std::vector<Entry> m_entries;
    KindFiles m_files;
    std::vector<NameChange> m_renames;
};

} // namespace vel
