#pragma once
// Exceptions and small text helpers shared by the toolkit and the module.
#include "toolkit/Export.h"
#include <QString>
#include <QByteArray>
#include <exception>

// Base exception: carries a message only. Subclasses add nothing but their type.
class TOOLKIT_EXPORT Exception : public std::exception {
public:
    explicit Exception(QString message);
    ~Exception() override;
    const QString& Message() const { return FMessage; }
    const char* what() const noexcept override;
    // The class name as the module's messages show it ("Exception", "EFilerError", ...).
    virtual QString ClassName() const { return QStringLiteral("Exception"); }
private:
    QString FMessage;
    QByteArray FWhat;
};

#define DECLARE_EXCEPTION(EXPORT, Name, Base)                                  \
    class EXPORT Name : public Base {                                          \
    public:                                                                    \
        using Base::Base;                                                      \
        QString ClassName() const override { return QStringLiteral(#Name); }   \
    };

DECLARE_EXCEPTION(TOOLKIT_EXPORT, EFilerError, Exception)
DECLARE_EXCEPTION(TOOLKIT_EXPORT, EInvalidOperation, Exception)
// A database failure, with what it says of the statements that would follow it
// on the same connection: a busy or read-only database, a full disk, an I/O error
// or a lost connection fails them as well, so a run of statements ends there.
class TOOLKIT_EXPORT EDatabaseError : public Exception {
public:
    // Cancelled: stopped on request (TCancelToken); like the others but Statement,
    // it ends a run of statements.
    // Locked: a row another session holds past the lock timeout (a server's row
    // lock): that row alone is refused. Busy: the whole database is (SQLite's lock).
    enum TKind { Statement, Busy, ReadOnly, Full, Io, Lost, Cancelled, Locked };
    explicit EDatabaseError(QString message, TKind kind = Statement);
    TKind Kind() const { return FKind; }
    bool Persistent() const { return FKind != Statement && FKind != Locked; }
    QString ClassName() const override { return QStringLiteral("EDatabaseError"); }
private:
    TKind FKind;
};
DECLARE_EXCEPTION(TOOLKIT_EXPORT, EConvertError, Exception)

// The run-time library's duplicate-class message, formatted with the class name.
TOOLKIT_EXPORT QString SDuplicateClassMessage(const QString& className);

// Delphi-style "%s"/"%S" formatting with one string argument.
TOOLKIT_EXPORT QString FormatOne(const QString& format, const QString& arg);

// 8-bit GBK text at the edges where the host hands over bytes.
TOOLKIT_EXPORT QString FromGbk(const char* text);          // null reads as empty
TOOLKIT_EXPORT QString FromGbk(const QByteArray& bytes);
TOOLKIT_EXPORT QByteArray ToGbk(const QString& text);

// Upper-cases the ASCII letters a to z only, as the provider tests need.
TOOLKIT_EXPORT QString AsciiUpper(const QString& text);
