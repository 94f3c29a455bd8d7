#include "gui/qt_host_bridge.h"

#include "base/codepage.h"

#include <QMetaMethod>
#include <QMetaObject>
#include <QObject>
#include <QString>
#include <QVariant>

#include <limits>
#include <string>
#include <vector>

namespace vel {

namespace {

QVariant ToVariant(const HostValue& v)
{
    if (const auto* b = std::get_if<bool>(&v)) return QVariant(*b);
    if (const auto* s = std::get_if<std::int16_t>(&v)) return QVariant::fromValue(static_cast<short>(*s));
    if (const auto* i = std::get_if<std::int32_t>(&v)) return QVariant(static_cast<int>(*i));
    if (const auto* f = std::get_if<float>(&v)) return QVariant(*f);
    if (const auto* d = std::get_if<double>(&v)) return QVariant(*d);
    if (const auto* t = std::get_if<std::string>(&v)) return QVariant(QString::fromStdString(Cp1252ToUtf8(*t)));
    return QVariant();
}

HostValue WholeNumber(long long n)
{
    if (n >= std::numeric_limits<std::int32_t>::min() && n <= std::numeric_limits<std::int32_t>::max())
        return HostValue{static_cast<std::int32_t>(n)};
    return HostValue{static_cast<double>(n)};
}

Result<HostValue> FromVariant(const QVariant& v, std::string_view member)
{
    if (!v.isValid()) return HostValue{};
    switch (v.metaType().id()) {
    case QMetaType::Bool:
        return HostValue{v.toBool()};
    case QMetaType::Short:
    case QMetaType::SChar:
    case QMetaType::Char:
    case QMetaType::UChar:
        return HostValue{static_cast<std::int16_t>(v.toInt())};
    case QMetaType::UShort:
    case QMetaType::Int:
    case QMetaType::Long:
    case QMetaType::LongLong:
        return WholeNumber(v.toLongLong());
    case QMetaType::UInt:
    case QMetaType::ULong:
    case QMetaType::ULongLong: {
        const qulonglong u = v.toULongLong();
        if (u <= static_cast<qulonglong>(std::numeric_limits<std::int32_t>::max()))
            return HostValue{static_cast<std::int32_t>(u)};
        return HostValue{static_cast<double>(u)};
    }
    case QMetaType::Float:
        return HostValue{v.toFloat()};
    case QMetaType::Double:
        return HostValue{v.toDouble()};
    case QMetaType::QVariant:
        return FromVariant(v.value<QVariant>(), member);
    default:
        break;
    }
    if (v.metaType().id() == QMetaType::QString || v.canConvert<QString>()) {
        auto text = Utf8ToCp1252(v.toString().toStdString());
        if (!text)
            return MakeError(ErrorCode::InvalidArgument,
                             "host member " + std::string(member) + ": " + text.error().message);
        return HostValue{*text};
    }
    return MakeError(ErrorCode::InvalidArgument, "host member " + std::string(member) + " answered a value of type " +
                                                     std::string(v.metaType().name()) + " that a view cannot use");
}

// A value handed back through a reference parameter, in the kind of value
// the view passed.
Result<HostValue> Like(const QVariant& v, const HostValue& original, std::string_view member)
{
    auto back = FromVariant(v, member);
    VEL_TRY(back);
    if (std::holds_alternative<std::monostate>(original) || std::holds_alternative<std::string>(original) ||
        back->index() == original.index())
        return back;
    if (std::holds_alternative<float>(original) || std::holds_alternative<double>(original)) {
        auto n = HostValueToNumber(*back);
        VEL_TRY(n);
        if (std::holds_alternative<float>(original)) return HostValue{static_cast<float>(*n)};
        return HostValue{*n};
    }
    auto n = HostValueToInt(*back);
    VEL_TRY(n);
    if (std::holds_alternative<bool>(original)) return HostValue{*n != 0};
    if (std::holds_alternative<std::int16_t>(original)) return HostValue{static_cast<std::int16_t>(*n)};
    return HostValue{*n};
}

QMetaType ParameterType(const QMetaMethod& method, int index, bool& byReference)
{
    QByteArray name = method.parameterTypes().at(index);
    byReference = name.endsWith('&') && !name.startsWith("const ");
    QMetaType type = method.parameterMetaType(index);
    if (type.isValid()) return type;
    if (name.startsWith("const ")) name = name.mid(6);
    while (name.endsWith('&')) name.chop(1);
    return QMetaType::fromName(name);
}

// A method or slot of that name with that many parameters; its parameter
// types are checked when the values are packed.
bool IsCandidate(const QMetaMethod& method, const QByteArray& name, std::size_t argumentCount)
{
    if (method.name() != name || method.parameterCount() != static_cast<int>(argumentCount)) return false;
    return method.methodType() == QMetaMethod::Method || method.methodType() == QMetaMethod::Slot;
}

// The values of one call as Qt's meta call takes them: argv[0] for the
// result, argv[j + 1] pointing into storage[j].
struct PackedArguments {
    explicit PackedArguments(std::size_t count) : storage(count), byReference(count, false), argv(count + 1, nullptr) {}

    std::vector<QVariant> storage;
    std::vector<bool> byReference;
    std::vector<void*> argv;
};

// Converts the view's values to the method's parameter types; false when
// one does not convert (another overload may take them).
bool Pack(const QMetaMethod& method, std::span<const HostValue> args, PackedArguments& packed)
{
    bool fits = true;
    for (std::size_t j = 0; j < args.size() && fits; ++j) {
        bool ref = false;
        const QMetaType type = ParameterType(method, static_cast<int>(j), ref);
        packed.byReference[j] = ref;
        QVariant value = ToVariant(args[j]);
        if (!type.isValid()) {
            fits = false;
        } else if (type.id() == QMetaType::QVariant) {
            packed.storage[j] = value;
            packed.argv[j + 1] = &packed.storage[j];
        } else {
            if (!value.isValid())
                value = QVariant(type);
            else if (!value.convert(type))
                fits = false;
            packed.storage[j] = value;
            packed.argv[j + 1] = packed.storage[j].data();
        }
    }
    return fits;
}

// Room for the method's result, when it has one.
void PlaceResult(const QMetaMethod& method, QVariant& result, std::vector<void*>& argv)
{
    const QMetaType returnType = method.returnMetaType();
    if (returnType.isValid() && returnType.id() != QMetaType::Void) {
        if (returnType.id() == QMetaType::QVariant) {
            argv[0] = &result;
        } else {
            result = QVariant(returnType);
            argv[0] = result.data();
        }
    }
}

// The values the method handed back through reference parameters, in the
// kinds of value the view passed.
Status HandBack(const PackedArguments& packed, std::span<HostValue> args, std::string_view member)
{
    for (std::size_t j = 0; j < args.size(); ++j) {
        if (!packed.byReference[j]) continue;
        auto back = Like(packed.storage[j], args[j], member);
        VEL_TRY(back);
        args[j] = *back;
    }
    return Status::Ok();
}

} // namespace

QtHostBridge::QtHostBridge(QObject* host) : m_host(host) {}

Result<HostValue> QtHostBridge::Call(std::string_view member, std::span<HostValue> args)
{
    if (m_host.isNull())
        return MakeError(ErrorCode::MissingMember,
                         "host member " + std::string(member) + " cannot be called: the host window is gone");
    const QMetaObject* meta = m_host->metaObject();
    const QByteArray name(member.data(), static_cast<qsizetype>(member.size()));
    bool typesRefused = false;

    for (int i = 0; i < meta->methodCount(); ++i) {
        const QMetaMethod method = meta->method(i);
        if (!IsCandidate(method, name, args.size())) continue;

        PackedArguments packed(args.size());
        if (!Pack(method, args, packed)) {
            typesRefused = true;
            continue;
        }
        QVariant result;
        PlaceResult(method, result, packed.argv);
        QMetaObject::metacall(m_host.data(), QMetaObject::InvokeMetaMethod, method.methodIndex(), packed.argv.data());
        VEL_TRY(HandBack(packed, args, member));
        return FromVariant(result, member);
    }
    if (typesRefused)
        return MakeError(ErrorCode::InvalidArgument,
                         "host member " + std::string(member) + " does not take the values the view passes");
    return MakeError(ErrorCode::MissingMember, "the host window has no member " + std::string(member) + " taking " +
                                                   std::to_string(args.size()) + " values");
}

} // namespace vel
