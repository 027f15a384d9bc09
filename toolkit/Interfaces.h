#pragma once
// Reference-counted interfaces: the platform's base interface and a counted
// reference that adds a reference on copy and releases it when cleared.
#include <QUuid>
#include <utility>

constexpr long S_OK = 0;
constexpr long E_NOINTERFACE = static_cast<long>(0x80004002L);

class IInterface {
public:
    virtual long QueryInterface(const QUuid& iid, void** obj) = 0;
    virtual int _AddRef() = 0;
    virtual int _Release() = 0;
protected:
    ~IInterface() = default;
};

template <class T>
class TInterfaceRef {
public:
    TInterfaceRef() = default;
    TInterfaceRef(T* p) : FPtr(p) { if (FPtr) FPtr->_AddRef(); }          // NOLINT: implicit like an interface variable
    TInterfaceRef(const TInterfaceRef& o) : FPtr(o.FPtr) { if (FPtr) FPtr->_AddRef(); }
    TInterfaceRef(TInterfaceRef&& o) noexcept : FPtr(std::exchange(o.FPtr, nullptr)) {}
    ~TInterfaceRef() { Clear(); }
    TInterfaceRef& operator=(const TInterfaceRef& o)
    {
        if (o.FPtr)
            o.FPtr->_AddRef();
        T* old = std::exchange(FPtr, o.FPtr);
        if (old)
            old->_Release();
        return *this;
    }
    TInterfaceRef& operator=(TInterfaceRef&& o) noexcept
    {
        if (this != &o) {
            T* old = std::exchange(FPtr, std::exchange(o.FPtr, nullptr));
            if (old)
                old->_Release();
        }
        return *this;
    }
    // Releasing the held reference (assigning nil).
    void Clear()
    {
        if (T* old = std::exchange(FPtr, nullptr))
            old->_Release();
    }
    T* Get() const { return FPtr; }
    T* operator->() const { return FPtr; }
    explicit operator bool() const { return FPtr != nullptr; }
private:
    T* FPtr = nullptr;
};
