#pragma once
// CObject and CRuntimeClass: the framework's run-time class records, enough
// to ask an object its class (IsKindOf) and to create an object from a class
// record (CreateObject), as the frame does when it switches to a new view.
//
//  - DECLARE_DYNAMIC / IMPLEMENT_DYNAMIC(C, Base): C has a class record.
//  - DECLARE_DYNCREATE / IMPLEMENT_DYNCREATE(C, Base): also creatable; C
//    needs a default constructor.
//  - RUNTIME_CLASS(C): the record of C.
//  - CreateObject() returns nullptr for a class that is not creatable.
//  - IsKindOf(r) is true for r and for every base class of the object.

namespace zarn {

class CObject;

struct CRuntimeClass {
    const char* m_lpszClassName;
    CObject* (*m_pfnCreateObject)();
    const CRuntimeClass* m_pBaseClass;

    CObject* CreateObject() const { return m_pfnCreateObject ? m_pfnCreateObject() : nullptr; }
    bool IsDerivedFrom(const CRuntimeClass* base) const {
        for (const CRuntimeClass* c = this; c; c = c->m_pBaseClass)
            if (c == base) return true;
        return false;
    }
};

class CObject {
public:
    virtual ~CObject() = default;
    static const CRuntimeClass classCObject;
    virtual const CRuntimeClass* GetRuntimeClass() const { return &classCObject; }
    bool IsKindOf(const CRuntimeClass* cls) const { return GetRuntimeClass()->IsDerivedFrom(cls); }
};

inline const CRuntimeClass CObject::classCObject = {"CObject", nullptr, nullptr};

#define RUNTIME_CLASS(C) (&C::class##C)

#define DECLARE_DYNAMIC(C)                           \
public:                                              \
    static const ::zarn::CRuntimeClass class##C;     \
    const ::zarn::CRuntimeClass* GetRuntimeClass() const override { return &class##C; }

#define DECLARE_DYNCREATE(C) \
    DECLARE_DYNAMIC(C)       \
    static ::zarn::CObject* CreateObject();

#define IMPLEMENT_DYNAMIC(C, Base) const ::zarn::CRuntimeClass C::class##C = {#C, nullptr, RUNTIME_CLASS(Base)};

#define IMPLEMENT_DYNCREATE(C, Base)                                   \
    ::zarn::CObject* C::CreateObject() { return new C; }             \
    const ::zarn::CRuntimeClass C::class##C = {#C, &C::CreateObject, RUNTIME_CLASS(Base)};

}  // namespace zarn
