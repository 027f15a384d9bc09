#pragma once
// A failure of the business layer as a value: what went wrong in the module's
// words or the driver's, what kind of failure it was, and whether the statements
// after it would fail as well. Exceptions stay inside the layers that raise
// them; what crosses a layer (a worker's result, a wrapper's answer) is a TError.
#include "data/DbExport.h"
#include "toolkit/SysUtils.h"
#include <QString>
#include <exception>
#include <optional>
#include <utility>

struct TError {
    QString Message;
    EDatabaseError::TKind Kind = EDatabaseError::Statement;
    bool Persistent() const { return Kind != EDatabaseError::Statement && Kind != EDatabaseError::Locked; }

    static TError From(const std::exception& e)
    {
        if (const auto* db = dynamic_cast<const EDatabaseError*>(&e))
            return {db->Message(), db->Kind()};
        if (const auto* own = dynamic_cast<const Exception*>(&e))
            return {own->Message()};
        return {QString::fromUtf8(e.what())};
    }
};

// The one shape of a result that can fail, across every layer: the value, or
// the TError that says why there is none. TResult<> carries no value: it is a
// success or an error. Callers test it (`if (!r) ... r.Error()`) before use.
template <class T = void>
class [[nodiscard]] TResult {
public:
    TResult(T Value) : FValue(std::move(Value)) {}
    TResult(TError Error) : FError(std::move(Error)) {}
    bool Ok() const { return FValue.has_value(); }
    explicit operator bool() const { return Ok(); }
    const T& Value() const& { return *FValue; }
    T& Value() & { return *FValue; }
    T Take() { return std::move(*FValue); }
    // An empty error on success.
    const TError& Error() const { return FError; }

private:
    std::optional<T> FValue;
    TError FError;
};

template <>
class [[nodiscard]] TResult<void> {
public:
    TResult() = default;   // success
    TResult(TError Error) : FFailed(true), FError(std::move(Error)) {}
    bool Ok() const { return !FFailed; }
    explicit operator bool() const { return Ok(); }
    const TError& Error() const { return FError; }

private:
    bool FFailed = false;
    TError FError;
};

// The error as the user reads it: what happened and what to do, in the module's
// words, with the driver's own text after it ("其他用户正在修改…（database is locked）").
DBMANAGER_EXPORT QString AdvisedMessage(const TError& Error);
// The module's sentence of advice alone (empty where it has none for the error).
DBMANAGER_EXPORT QString Advice(const TError& Error);
