// The built-in engine dressed as the automation class it stands in for: the same names, the same
// kinds of calls and values, so RegexObject drives both the same way, by name.
#include <memory>
#include <span>
#include <windows.h>

#include <oleauto.h> // after windows.h, which it needs

#include "net/FallbackRegex.h"
#include "ui/Text.h"

namespace net::fallback {
namespace {

// The scripting engine's "Syntax error in regular expression".
constexpr HRESULT SyntaxError = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, 5017);

// The outcome of one Execute, shared by the collection and its match objects.
struct Results {
    ui::Text text;
    int groups = 0;
    std::vector<int> slots; // 2 * (groups + 1) per match
    size_t Width() const { return size_t(2 * (groups + 1)); }
    size_t Count() const { return slots.size() / Width(); }
    const int* Match(size_t m) const { return slots.data() + m * Width(); }
};

class Automation : public IDispatch {
  public:
    virtual ~Automation() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch)) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ULONG(InterlockedIncrement(&refs_)); }
    ULONG STDMETHODCALLTYPE Release() override {
        LONG left = InterlockedDecrement(&refs_);
        if (left == 0) delete this;
        return ULONG(left);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (count) *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        if (info) *info = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override {
        HRESULT result = S_OK;
        for (UINT k = 0; k < count; ++k) {
            ids[k] = DISPID_UNKNOWN;
            auto known = Names();
            for (size_t n = 0; n < known.size(); ++n)
                if (k == 0 && _wcsicmp(names[k], known[n]) == 0) ids[k] = DISPID(n + 1);
            if (ids[k] == DISPID_UNKNOWN) result = DISP_E_UNKNOWNNAME;
        }
        return result;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO*, UINT*) override {
        if (!params) return E_INVALIDARG;
        if (result) VariantInit(result);
        return Call(id, flags, *params, result);
    }

  protected:
    // DISPID n + 1 is Names()[n].
    virtual std::span<const wchar_t* const> Names() const = 0;
    virtual HRESULT Call(DISPID id, WORD flags, DISPPARAMS& params, VARIANT* result) = 0;

    static bool Getting(WORD flags) { return flags & (DISPATCH_PROPERTYGET | DISPATCH_METHOD); }
    static bool Putting(WORD flags) { return flags & DISPATCH_PROPERTYPUT; }

    // Positional argument k (the array holds them last first).
    static HRESULT Argument(DISPPARAMS& params, UINT k, VARTYPE type, VARIANT& out) {
        if (k >= params.cArgs) return DISP_E_BADPARAMCOUNT;
        VARIANT& in = params.rgvarg[params.cArgs - 1 - k];
        return VariantChangeType(&out, &in, 0, type);
    }
    static HRESULT TextArgument(DISPPARAMS& params, UINT k, ui::Text& out) {
        VARIANT v;
        VariantInit(&v);
        HRESULT hr = Argument(params, k, VT_BSTR, v);
        if (SUCCEEDED(hr)) out = ui::Narrow(std::wstring(V_BSTR(&v), SysStringLen(V_BSTR(&v))));
        VariantClear(&v);
        return hr;
    }
    static HRESULT IndexArgument(DISPPARAMS& params, LONG& out) {
        VARIANT v;
        VariantInit(&v);
        HRESULT hr = Argument(params, 0, VT_I4, v);
        if (SUCCEEDED(hr)) out = V_I4(&v);
        return hr;
    }
    static HRESULT ReturnText(VARIANT* result, const ui::Text& text) {
        if (!result) return S_OK;
        std::wstring wide = ui::Widen(text);
        V_VT(result) = VT_BSTR;
        V_BSTR(result) = SysAllocStringLen(wide.data(), UINT(wide.size()));
        return V_BSTR(result) ? S_OK : E_OUTOFMEMORY;
    }
    static HRESULT ReturnLong(VARIANT* result, LONG value) {
        if (result) V_VT(result) = VT_I4, V_I4(result) = value;
        return S_OK;
    }
    static HRESULT ReturnBool(VARIANT* result, bool value) {
        if (result) V_VT(result) = VT_BOOL, V_BOOL(result) = value ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }
    static HRESULT ReturnObject(VARIANT* result, IDispatch* object) {
        if (result)
            V_VT(result) = VT_DISPATCH, V_DISPATCH(result) = object;
        else
            object->Release();
        return S_OK;
    }

  private:
    LONG refs_ = 1;
};

LONG Utf16Length(const ui::Text& text, size_t from, size_t to) {
    return LONG(ui::Widen(text.substr(from, to - from)).size());
}

class SubMatches final : public Automation {
  public:
    SubMatches(std::shared_ptr<const Results> results, size_t match)
        : results_(std::move(results)), match_(match) {}

  protected:
    std::span<const wchar_t* const> Names() const override {
        static const wchar_t* const names[] = {L"Count", L"Item"};
        return names;
    }
    HRESULT Call(DISPID id, WORD flags, DISPPARAMS& params, VARIANT* result) override {
        if (!Getting(flags)) return DISP_E_MEMBERNOTFOUND;
        if (id == 1) return ReturnLong(result, results_->groups);
        if (id != 2 && id != DISPID_VALUE) return DISP_E_MEMBERNOTFOUND;
        LONG index = 0;
        if (HRESULT hr = IndexArgument(params, index); FAILED(hr)) return hr;
        if (index < 0 || index >= results_->groups) return DISP_E_BADINDEX;
        const int* s = results_->Match(match_) + 2 * (index + 1);
        if (s[0] < 0) return S_OK; // took no part: an empty variant
        return ReturnText(result, results_->text.substr(size_t(s[0]), size_t(s[1] - s[0])));
    }

  private:
    std::shared_ptr<const Results> results_;
    size_t match_;
};

class MatchObject final : public Automation {
  public:
    MatchObject(std::shared_ptr<const Results> results, size_t match)
        : results_(std::move(results)), match_(match) {}

  protected:
    std::span<const wchar_t* const> Names() const override {
        static const wchar_t* const names[] = {L"Value", L"FirstIndex", L"Length", L"SubMatches"};
        return names;
    }
    HRESULT Call(DISPID id, WORD flags, DISPPARAMS&, VARIANT* result) override {
        if (!Getting(flags)) return DISP_E_MEMBERNOTFOUND;
        const int* s = results_->Match(match_);
        const ui::Text& text = results_->text;
        switch (id) {
        case DISPID_VALUE:
        case 1:
            return ReturnText(result, text.substr(size_t(s[0]), size_t(s[1] - s[0])));
        case 2:
            return ReturnLong(result, Utf16Length(text, 0, size_t(s[0])));
        case 3:
            return ReturnLong(result, Utf16Length(text, size_t(s[0]), size_t(s[1])));
        case 4:
            return ReturnObject(result, new SubMatches(results_, match_));
        }
        return DISP_E_MEMBERNOTFOUND;
    }

  private:
    std::shared_ptr<const Results> results_;
    size_t match_;
};

class MatchCollection final : public Automation {
  public:
    explicit MatchCollection(std::shared_ptr<const Results> results)
        : results_(std::move(results)) {}

  protected:
    std::span<const wchar_t* const> Names() const override {
        static const wchar_t* const names[] = {L"Count", L"Item"};
        return names;
    }
    HRESULT Call(DISPID id, WORD flags, DISPPARAMS& params, VARIANT* result) override {
        if (!Getting(flags)) return DISP_E_MEMBERNOTFOUND;
        if (id == 1) return ReturnLong(result, LONG(results_->Count()));
        if (id != 2 && id != DISPID_VALUE) return DISP_E_MEMBERNOTFOUND;
        LONG index = 0;
        if (HRESULT hr = IndexArgument(params, index); FAILED(hr)) return hr;
        if (index < 0 || size_t(index) >= results_->Count()) return DISP_E_BADINDEX;
        return ReturnObject(result, new MatchObject(results_, size_t(index)));
    }

  private:
    std::shared_ptr<const Results> results_;
};

class RegExp final : public Automation {
  protected:
    std::span<const wchar_t* const> Names() const override {
        static const wchar_t* const names[] = {L"IgnoreCase", L"Global",  L"Multiline", L"Pattern",
                                               L"Execute",    L"Replace", L"Test"};
        return names;
    }
    HRESULT Call(DISPID id, WORD flags, DISPPARAMS& params, VARIANT* result) override {
        if (id >= 1 && id <= 3)
            return Flag(id == 1   ? ignoreCase_
                        : id == 2 ? global_
                                  : multiline_,
                        flags, params, result);
        if (id == 4) {
            if (Putting(flags)) return TextArgument(params, 0, pattern_);
            return Getting(flags) ? ReturnText(result, pattern_) : DISP_E_MEMBERNOTFOUND;
        }
        if (!(flags & DISPATCH_METHOD) || id < 5 || id > 7) return DISP_E_MEMBERNOTFOUND;
        ui::Text text;
        if (HRESULT hr = TextArgument(params, 0, text); FAILED(hr)) return hr;
        Regex regex(pattern_, ignoreCase_, multiline_);
        if (!regex.Valid()) return SyntaxError;
        if (id == 6) {
            ui::Text replacement;
            if (HRESULT hr = TextArgument(params, 1, replacement); FAILED(hr)) return hr;
            return ReturnText(result, regex.Replace(text, replacement, global_));
        }
        if (id == 7) return ReturnBool(result, !regex.Find(text, false).empty());
        auto results = std::make_shared<Results>();
        results->groups = regex.GroupCount();
        results->slots = regex.Find(text, global_);
        results->text = std::move(text);
        return ReturnObject(result, new MatchCollection(std::move(results)));
    }

  private:
    static HRESULT Flag(bool& flag, WORD flags, DISPPARAMS& params, VARIANT* result) {
        if (Putting(flags)) {
            VARIANT v;
            VariantInit(&v);
            HRESULT hr = Argument(params, 0, VT_BOOL, v);
            if (SUCCEEDED(hr)) flag = V_BOOL(&v) != VARIANT_FALSE;
            return hr;
        }
        return Getting(flags) ? ReturnBool(result, flag) : DISP_E_MEMBERNOTFOUND;
    }

    ui::Text pattern_;
    bool ignoreCase_ = false, global_ = false, multiline_ = false;
};

} // namespace

IDispatch* CreateAutomationObject() {
    return new RegExp();
}

} // namespace net::fallback
