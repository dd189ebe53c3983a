#include "net/RegexObject.h"

#include <cmath>
#include <initializer_list>
#include <limits>
#include <vector>
#include <windows.h>

#include <oleauto.h> // after windows.h, which it needs

#include "net/FallbackRegex.h"
#include "ui/Text.h"

namespace net {

DispatchRef::DispatchRef(const DispatchRef& other) : object_(other.object_) {
    if (object_) object_->AddRef();
}

DispatchRef& DispatchRef::operator=(const DispatchRef& other) {
    if (other.object_) other.object_->AddRef();
    Reset();
    object_ = other.object_;
    return *this;
}

DispatchRef::~DispatchRef() {
    Reset();
}

void DispatchRef::Reset() {
    if (IDispatch* object = object_) {
        object_ = nullptr;
        object->Release();
    }
}

namespace {

bool forceFallback = false;

class Variant {
  public:
    Variant() { VariantInit(&v); }
    explicit Variant(const ui::Text& text) {
        std::wstring wide = ui::Widen(text);
        V_VT(&v) = VT_BSTR;
        V_BSTR(&v) = SysAllocStringLen(wide.data(), UINT(wide.size()));
    }
    explicit Variant(double number) { V_VT(&v) = VT_R8, V_R8(&v) = number; }
    explicit Variant(int32_t number) { V_VT(&v) = VT_I4, V_I4(&v) = number; }
    explicit Variant(bool flag) {
        V_VT(&v) = VT_BOOL, V_BOOL(&v) = flag ? VARIANT_TRUE : VARIANT_FALSE;
    }
    Variant(Variant&& other) noexcept : v(other.v) { VariantInit(&other.v); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    ~Variant() { VariantClear(&v); }
    VARIANT v;
};

// One call by name. Anything that fails (no object, unknown name, a refused call) leaves the
// result empty.
void Invoke(IDispatch* object, const wchar_t* name, WORD kind,
            std::initializer_list<const Variant*> args, Variant& result) {
    if (!object) return;
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    if (FAILED(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))) return;
    std::vector<VARIANT> reversed;
    for (auto it = std::rbegin(args); it != std::rend(args); ++it)
        reversed.push_back((*it)->v);
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS params{reversed.data(), kind == DISPATCH_PROPERTYPUT ? &put : nullptr,
                      UINT(reversed.size()), kind == DISPATCH_PROPERTYPUT ? 1u : 0u};
    VARIANT out;
    VariantInit(&out);
    if (SUCCEEDED(object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, kind, &params,
                                 kind == DISPATCH_PROPERTYPUT ? nullptr : &out, nullptr, nullptr)))
        result.v = out;
    else
        VariantClear(&out);
}

Variant Get(IDispatch* object, const wchar_t* name,
            std::initializer_list<const Variant*> args = {}) {
    Variant result;
    Invoke(object, name, DISPATCH_PROPERTYGET, args, result);
    return result;
}

Variant CallMethod(IDispatch* object, const wchar_t* name,
                   std::initializer_list<const Variant*> args) {
    Variant result;
    Invoke(object, name, DISPATCH_METHOD, args, result);
    return result;
}

void Put(IDispatch* object, const wchar_t* name, const Variant& value) {
    Variant ignored;
    Invoke(object, name, DISPATCH_PROPERTYPUT, {&value}, ignored);
}

DispatchRef ObjectOf(const Variant& value) {
    if (V_VT(&value.v) != VT_DISPATCH || !V_DISPATCH(&value.v)) return {};
    V_DISPATCH(&value.v)->AddRef();
    return DispatchRef(V_DISPATCH(&value.v));
}

ui::Text TextOf(const Variant& value) {
    if (V_VT(&value.v) == VT_EMPTY || V_VT(&value.v) == VT_NULL) return {};
    Variant text;
    if (FAILED(VariantChangeType(&text.v, const_cast<VARIANT*>(&value.v), 0, VT_BSTR))) return {};
    return ui::Narrow(std::wstring(V_BSTR(&text.v), SysStringLen(V_BSTR(&text.v))));
}

// Numbers from the engine are truncated toward zero.
int32_t NumberOf(const Variant& value) {
    Variant real;
    if (V_VT(&value.v) == VT_EMPTY ||
        FAILED(VariantChangeType(&real.v, const_cast<VARIANT*>(&value.v), 0, VT_R8)))
        return 0;
    double d = std::trunc(V_R8(&real.v));
    if (!(d > std::numeric_limits<int32_t>::min())) return std::numeric_limits<int32_t>::min();
    if (!(d < std::numeric_limits<int32_t>::max())) return std::numeric_limits<int32_t>::max();
    return int32_t(d);
}

DispatchRef NewEngine() {
    if (!forceFallback) {
        CLSID clsid;
        IDispatch* engine = nullptr;
        if (SUCCEEDED(CLSIDFromProgID(L"VBScript.RegExp", &clsid)) &&
            SUCCEEDED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                       reinterpret_cast<void**>(&engine))) &&
            engine)
            return DispatchRef(engine);
    }
    // VBScript is an optional Windows feature being retired; the lookup must keep working.
    return DispatchRef(fallback::CreateAutomationObject());
}

// The match with the given 1-based number, the index passed as a real.
DispatchRef MatchAt(const DispatchRef& matches, int32_t match) {
    Variant index(double(match) - 1);
    return ObjectOf(Get(matches.get(), L"Item", {&index}));
}

} // namespace

void ForceRegexFallback(bool force) {
    forceFallback = force;
}

bool RegexObject::Create(const ui::Text& pattern, std::optional<bool> ignoreCase,
                         std::optional<bool> multiline, std::optional<bool> global) {
    matches.Reset();
    engine.Reset();
    engine = NewEngine();
    if (!engine) return false;
    matchCount = 0;
    Put(engine.get(), L"IgnoreCase", Variant(ignoreCase.value_or(true)));
    Put(engine.get(), L"Multiline", Variant(multiline.value_or(true)));
    Put(engine.get(), L"Global", Variant(global.value_or(true)));
    Put(engine.get(), L"Pattern", Variant(pattern));
    return true;
}

ui::Text RegexObject::GetPattern() const {
    if (!engine) return {};
    return TextOf(Get(engine.get(), L"Pattern"));
}

ui::Text RegexObject::Replace(const ui::Text& source, const ui::Text& replacement) const {
    Variant from(source), to(replacement);
    return TextOf(CallMethod(engine.get(), L"Replace", {&from, &to}));
}

int32_t RegexObject::Execute(const ui::Text& text) {
    Variant subject(text);
    matches = ObjectOf(CallMethod(engine.get(), L"Execute", {&subject}));
    matchCount = NumberOf(Get(matches.get(), L"Count"));
    return matchCount;
}

ui::Text RegexObject::MatchText(int32_t match) const {
    return TextOf(Get(MatchAt(matches, match).get(), L"Value"));
}

ui::Text RegexObject::SubMatchText(int32_t match, int32_t group) const {
    DispatchRef groups = ObjectOf(Get(MatchAt(matches, match).get(), L"SubMatches"));
    Variant index(double(group) - 1);
    return TextOf(Get(groups.get(), L"Item", {&index}));
}

int32_t RegexObject::SubMatchCount() const {
    if (matchCount == 0) return 0;
    Variant first(int32_t(0));
    DispatchRef match = ObjectOf(Get(matches.get(), L"Item", {&first}));
    DispatchRef groups = ObjectOf(Get(match.get(), L"SubMatches"));
    return NumberOf(Get(groups.get(), L"Count"));
}

} // namespace net
