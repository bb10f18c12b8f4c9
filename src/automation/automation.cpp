#include "automation/automation.h"

#include <algorithm>
#include <cctype>
#include <map>

namespace scrivex {

Variant I2(int16_t v) {
  Variant r;
  r.vt = VT_I2;
  r.value = v;
  return r;
}
Variant I4(int32_t v) {
  Variant r;
  r.vt = VT_I4;
  r.value = v;
  return r;
}
Variant R4(float v) {
  Variant r;
  r.vt = VT_R4;
  r.real = v;
  return r;
}
Variant Bool(bool v) {
  Variant r;
  r.vt = VT_BOOL;
  r.value = v ? -1 : 0;
  return r;
}
Variant Bstr(const std::string& v) {
  Variant r;
  r.vt = VT_BSTR;
  r.text = v;
  return r;
}
Variant Object(std::shared_ptr<Dispatch> v) {
  Variant r;
  r.vt = VT_DISPATCH;
  r.object = std::move(v);
  return r;
}
Variant ByRef(Variant* target) {
  Variant r;
  r.vt = static_cast<uint16_t>(VT_BYREF | (target ? target->vt : uint16_t{VT_EMPTY}));
  r.ref = target;
  return r;
}

const Variant TrueArg = Bool(true);
const Variant FalseArg = Bool(false);
const Variant OmittedArg = [] {
  Variant r;
  r.vt = VT_ERROR;
  r.value = DISP_E_PARAMNOTFOUND;
  return r;
}();

namespace {

const Variant& Deref(const Variant& v) {
  const Variant* p = &v;
  while ((p->vt & VT_BYREF) && p->ref) p = p->ref;
  return *p;
}

[[noreturn]] void Mismatch(const char* wanted, const Variant& v) {
  throw AutomationError(DISP_E_TYPEMISMATCH,
                        std::string("expected ") + wanted + ", got type " + std::to_string(v.vt));
}

}  // namespace

bool IsOmitted(const Variant& v) {
  const Variant& d = Deref(v);
  return d.vt == VT_EMPTY || (d.vt == VT_ERROR && d.value == DISP_E_PARAMNOTFOUND);
}

int32_t ToInt(const Variant& v) {
  const Variant& d = Deref(v);
  switch (d.vt) {
    case VT_I2:
    case VT_I4:
    case VT_BOOL:
      return d.value;
    case VT_R4:
      return static_cast<int32_t>(d.real);
    default:
      Mismatch("a number", d);
  }
}

float ToFloat(const Variant& v) {
  const Variant& d = Deref(v);
  if (d.vt == VT_R4) return d.real;
  if (d.vt == VT_I2 || d.vt == VT_I4) return static_cast<float>(d.value);
  Mismatch("a number", d);
}

bool ToBool(const Variant& v) {
  const Variant& d = Deref(v);
  if (d.vt == VT_BOOL || d.vt == VT_I2 || d.vt == VT_I4) return d.value != 0;
  Mismatch("a Boolean", d);
}

std::string ToString(const Variant& v) {
  const Variant& d = Deref(v);
  if (d.vt == VT_BSTR) return d.text;
  Mismatch("a string", d);
}

std::shared_ptr<Dispatch> ToObject(const Variant& v) {
  const Variant& d = Deref(v);
  if (d.vt == VT_DISPATCH && d.object) return d.object;
  Mismatch("an object", d);
}

void ThrowUnknownMember(const char* server, int dispid, InvokeKind kind) {
  throw AutomationError(DISP_E_MEMBERNOTFOUND, std::string(server) + " has no member " +
                                                   std::to_string(dispid) + " of kind " +
                                                   std::to_string(static_cast<int>(kind)));
}

void RequireArgs(const std::vector<Variant>& args, size_t n, const char* member) {
  if (args.size() < n) {
    throw AutomationError(DISP_E_BADPARAMCOUNT, std::string(member) + " takes " +
                                                    std::to_string(n) + " argument(s)");
  }
}

Variant Get(Dispatch& object, int dispid, std::vector<Variant> args) {
  return object.Invoke(dispid, InvokeKind::kGet, args);
}

void Put(Dispatch& object, int dispid, Variant value) {
  std::vector<Variant> args{std::move(value)};
  object.Invoke(dispid, InvokeKind::kPut, args);
}

Variant Call(Dispatch& object, int dispid, std::vector<Variant> args) {
  return object.Invoke(dispid, InvokeKind::kMethod, args);
}

namespace {

// ProgIDs compare without regard to case, as the class registry does.
struct NoCase {
  bool operator()(const std::string& a, const std::string& b) const {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
      return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
    });
  }
};

std::map<std::string, ServerFactory, NoCase>& Servers() {
  static std::map<std::string, ServerFactory, NoCase> servers;
  return servers;
}

}  // namespace

void RegisterServer(const std::string& progId, ServerFactory factory) {
  Servers()[progId] = std::move(factory);
}

std::shared_ptr<Dispatch> CreateObject(const std::string& progId) {
  auto it = Servers().find(progId);
  if (it == Servers().end() || !it->second) return nullptr;
  try {
    return it->second();
  } catch (const std::exception&) {
    return nullptr;
  }
}

}  // namespace scrivex
