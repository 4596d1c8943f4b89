#pragma once

// Engine objects are reference counted: whoever holds one holds a counted
// reference, assigning a reference releases the object held before, and the
// holder releases what it holds when it is destroyed. Calling through an
// absent reference raises the engine's invalid-pointer error rather than
// crashing.

#include <cstddef>
#include <utility>

#include "report/engine_error.h"

namespace lorvex::report {

class RefCounted {
  public:
    RefCounted() { ++s_live; }
    RefCounted(const RefCounted&) = delete;
    RefCounted& operator=(const RefCounted&) = delete;

    void AddRef() { ++m_refs; }
    // Returns the count left; the object deletes itself at zero.
    long Release() {
        const long left = --m_refs;
        if (left == 0) {
            delete this;
        }
        return left;
    }
    long RefCount() const { return m_refs; }

    // Engine objects alive in the process: lets tests check that every object
    // handed out was released exactly once.
    static long LiveObjects() { return s_live; }

  protected:
    virtual ~RefCounted() { --s_live; }

  private:
    long m_refs = 0;
    static inline long s_live = 0;  // the engine runs on the UI thread only
};

template <class T>
class RefPtr {
  public:
    RefPtr() = default;
    RefPtr(std::nullptr_t) {}
    // Takes a new reference on p.
    explicit RefPtr(T* p) : m_p(p) {
        if (m_p) m_p->AddRef();
    }
    RefPtr(const RefPtr& o) : RefPtr(o.m_p) {}
    RefPtr(RefPtr&& o) noexcept : m_p(std::exchange(o.m_p, nullptr)) {}
    template <class U>
    RefPtr(const RefPtr<U>& o) : RefPtr(o.Get()) {}
    ~RefPtr() { Reset(); }

    RefPtr& operator=(RefPtr o) noexcept {
        std::swap(m_p, o.m_p);
        return *this;  // o releases the object held before
    }

    void Reset() {
        if (T* p = std::exchange(m_p, nullptr)) p->Release();
    }

    T* Get() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }

    // Access for a call: an absent object is the invalid-pointer failure.
    T* operator->() const { return &Checked(); }
    T& operator*() const { return Checked(); }

    T& Checked() const {
        if (!m_p) throw EngineError(kErrorInvalidPointer, "调用了不存在的报表引擎对象。");
        return *m_p;
    }

    template <class... Args>
    static RefPtr Make(Args&&... args) {
        return RefPtr(new T(std::forward<Args>(args)...));
    }

  private:
    T* m_p = nullptr;
};

}  // namespace lorvex::report
