// Counted COM references. ComPtr is for locals: released when the scope ends, so early returns cannot leak.
// Attach takes over a reference the caller already owns; Detach hands it back; Out() is the out-parameter
// accessor for calls that return a new reference (it releases what was held first); CopyTo hands the caller
// a reference of its own.
// A counted field whose raw form is fixed (a peer pin, an allocator, a clock) changes only through
// ReplaceCounted and ReleaseCounted, and is handed out only through CopyCounted.
#pragma once

#include <windows.h>

// Makes `field` hold `value` (null allowed): the new reference is taken before the old one goes, so
// replacing a reference with itself is safe, and the field holds its new value before the old reference is
// released, since releasing it may run code that reads the field.
template <class Field, class T>
void ReplaceCounted(Field& field, T* value)
{
    if (value != nullptr)
        value->AddRef();
    T* previous = field;
    field = value;
    if (previous != nullptr)
        previous->Release();
}

// Clears `field` and then lets go of the reference it held (if any).
template <class Field>
void ReleaseCounted(Field& field)
{
    auto previous = field;  // without the field's own qualifiers
    field = nullptr;
    if (previous != nullptr)
        previous->Release();
}

// Writes `field` to `*out` with a reference of the caller's own (null stays null, with no reference).
template <class T>
void CopyCounted(T* field, T** out)
{
    if (field != nullptr)
        field->AddRef();
    *out = field;
}

template <class T>
class ComPtr {
public:
    ComPtr() = default;
    explicit ComPtr(T* p) : p(p) { if (p) p->AddRef(); }
    ComPtr(const ComPtr& other) : p(other.p) { if (p) p->AddRef(); }
    ComPtr(ComPtr&& other) noexcept : p(other.p) { other.p = nullptr; }
    ~ComPtr() { Reset(); }
    ComPtr& operator=(ComPtr other) noexcept { T* t = p; p = other.p; other.p = t; return *this; }

    void Attach(T* owned) { Reset(); p = owned; }
    T* Detach() { T* t = p; p = nullptr; return t; }
    void Reset() { ReleaseCounted(p); }
    T** Out() { Reset(); return &p; }
    void** OutVoid() { return reinterpret_cast<void**>(Out()); }
    void CopyTo(T** out) const { CopyCounted(p, out); }

    T* Get() const { return p; }
    T* operator->() const { return p; }
    explicit operator bool() const { return p != nullptr; }

private:
    T* p = nullptr;
};
