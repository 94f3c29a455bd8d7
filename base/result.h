#pragma once

// One error style for the whole core: operations that can fail return a
// Status or a Result<T>. Nothing below gui/ throws.

#include <cstdint>
#include <string>
#include <utility>
#include <variant>

namespace vel {

enum class ErrorCode {
    Io,              // a file could not be opened, read, written, renamed, removed
    Truncated,       // data ends inside a value
    BadFormat,       // impossible length, unknown tag, unknown version
    TooLong,         // a text or count does not fit its field
    IndexOutOfRange, // index outside a fixed table (day types, days, slots)
    InvalidArgument, // argument a procedure cannot work with
    MissingMember,   // a host container lacks a member called by name
    NotAvailable,    // an outside library or export is missing
    Busy,            // another save of the same kind is running
    Conflict,        // files changed on disk since they were loaded
    Unfinished,      // a save failed past its commit point and could not be undone:
                     // the next start of the program completes it
    NotFound,        // a file or folder that is not there
    Exists,          // a new file, folder or entry name that is already taken
    NotPlainFile,    // a link, pipe, device or oversized file where a plain file or
                     // folder is expected
};

struct Error {
    ErrorCode code = ErrorCode::Io;
    std::string message;
};

inline Error MakeError(ErrorCode code, std::string message)
{
    return Error{code, std::move(message)};
}

template <class T>
class [[nodiscard]] Result {
public:
    Result(T value) : m_v(std::in_place_index<0>, std::move(value)) {}
    Result(Error error) : m_v(std::in_place_index<1>, std::move(error)) {}

    bool ok() const { return m_v.index() == 0; }
    explicit operator bool() const { return ok(); }

    T& value() { return std::get<0>(m_v); }
    const T& value() const { return std::get<0>(m_v); }
    T& operator*() { return value(); }
    const T& operator*() const { return value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }

    const Error& error() const { return std::get<1>(m_v); }

private:
    std::variant<T, Error> m_v;
};

class [[nodiscard]] Status {
public:
    Status() = default;
    Status(Error error) : m_error(std::move(error)), m_failed(true) {}

    static Status Ok() { return Status(); }

    bool ok() const { return !m_failed; }
    explicit operator bool() const { return ok(); }
    const Error& error() const { return m_error; }

private:
    Error m_error;
    bool m_failed = false;
};

// For steps that all run even when one fails (a clean-up, a roll-back):
// keeps the first failure, which is what the caller is told.
class FirstFailure {
public:
    void Note(Status step)
    {
        if (!step && m_first) m_first = std::move(step);
    }
    const Status& status() const { return m_first; }

private:
    Status m_first;
};

// The failure every fixed table reports for an index outside it.
inline Error IndexOutOfRange(const char* table, long long index, long long first, long long last)
{
    return MakeError(ErrorCode::IndexOutOfRange, std::string("index ") + std::to_string(index) + " outside " + table +
                                                     " (" + std::to_string(first) + ".." + std::to_string(last) + ")");
}

} // namespace vel

// Propagate a failed Status or Result to the caller.
#define VEL_TRY(expr)                                                                                                  \
    do {                                                                                                               \
        auto&& vel_try_result_ = (expr);                                                                               \
        if (!vel_try_result_.ok()) return vel_try_result_.error();                                                     \
    } while (false)

// Propagate a failed Result to the caller, or declare (or assign) `target`
// with its value, moved out:
//     VEL_TRY_ASSIGN(auto folder, OpenFolder(fs, path));
//     VEL_TRY_ASSIGN(entries, fs.List(folder.handle()));
// One per line: the temporary is named after the line.
#define VEL_TRY_ASSIGN(target, ...) VEL_TRY_ASSIGN_IMPL_(VEL_TRY_NAME_(__LINE__), target, __VA_ARGS__)

#define VEL_TRY_CONCAT_(a, b) a##b
#define VEL_TRY_NAME_(line) VEL_TRY_CONCAT_(vel_try_result_, line)
#define VEL_TRY_ASSIGN_IMPL_(tmp, target, ...)                                                                         \
    auto tmp = (__VA_ARGS__);                                                                                          \
    if (!tmp.ok()) return tmp.error();                                                                                 \
    target = std::move(tmp.value())
