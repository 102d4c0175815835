// A counted COM reference for locals: released when the scope ends, so early returns cannot leak.
// Attach takes over a reference the caller already owns; Detach hands it back; Out() is the out-parameter
// accessor for calls that return a new reference (it releases what was held first).
#pragma once

#include <windows.h>

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
    void Reset() { if (p) { T* t = p; p = nullptr; t->Release(); } }
    T** Out() { Reset(); return &p; }
    void** OutVoid() { return reinterpret_cast<void**>(Out()); }

    T* Get() const { return p; }
    T* operator->() const { return p; }
    explicit operator bool() const { return p != nullptr; }

private:
    T* p = nullptr;
};
