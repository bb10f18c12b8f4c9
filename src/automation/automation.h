// A small automation layer: values passed as variants, objects reached
// through one dispatch interface by member number (DISPID) and kind, and
// creation by ProgID from a table of servers registered at start.
//
// Arguments are passed in the order the member lists them (not reversed as
// on the wire). A server that is asked for a member it does not have, or gets
// an argument of the wrong type, throws AutomationError; the printing routes
// catch it and report nothing printed.
#ifndef SCRIVEX_AUTOMATION_AUTOMATION_H_
#define SCRIVEX_AUTOMATION_AUTOMATION_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace scrivex {

enum VarType : uint16_t {
  VT_EMPTY = 0,
  VT_I2 = 2,
  VT_I4 = 3,
  VT_R4 = 4,
  VT_BSTR = 8,
  VT_DISPATCH = 9,
  VT_ERROR = 10,
  VT_BOOL = 11,
  VT_BYREF = 0x4000,
};

constexpr int32_t DISP_E_MEMBERNOTFOUND = static_cast<int32_t>(0x80020003);
constexpr int32_t DISP_E_PARAMNOTFOUND = static_cast<int32_t>(0x80020004);
constexpr int32_t DISP_E_TYPEMISMATCH = static_cast<int32_t>(0x80020005);
constexpr int32_t DISP_E_EXCEPTION = static_cast<int32_t>(0x80020009);
constexpr int32_t DISP_E_BADPARAMCOUNT = static_cast<int32_t>(0x8002000E);

class Dispatch;

struct Variant {
  uint16_t vt = VT_EMPTY;
  int32_t value = 0;  // I2, I4, ERROR; BOOL: -1 true, 0 false
  float real = 0;     // R4
  std::string text;   // BSTR
  std::shared_ptr<Dispatch> object;  // DISPATCH
  Variant* ref = nullptr;            // with VT_BYREF: the caller's variant
};

Variant I2(int16_t v);
Variant I4(int32_t v);
Variant R4(float v);
Variant Bool(bool v);
Variant Bstr(const std::string& v);
Variant Object(std::shared_ptr<Dispatch> v);
// A by-reference argument to the caller's variant (its type is the target's).
Variant ByRef(Variant* target);

extern const Variant TrueArg;
extern const Variant FalseArg;
// An optional argument left out: VT_ERROR with DISP_E_PARAMNOTFOUND.
extern const Variant OmittedArg;

bool IsOmitted(const Variant& v);
// Conversions a server applies to its arguments (through a reference too);
// a value of another kind throws AutomationError(DISP_E_TYPEMISMATCH).
int32_t ToInt(const Variant& v);
float ToFloat(const Variant& v);
bool ToBool(const Variant& v);
std::string ToString(const Variant& v);
std::shared_ptr<Dispatch> ToObject(const Variant& v);

struct AutomationError : std::runtime_error {
  AutomationError(int32_t code, const std::string& what) : std::runtime_error(what), code(code) {}
  int32_t code;
};

enum class InvokeKind { kMethod = 1, kGet = 2, kPut = 4 };

class Dispatch {
 public:
  virtual ~Dispatch() = default;
  virtual Variant Invoke(int dispid, InvokeKind kind, std::vector<Variant>& args) = 0;
};

// Throws the "unknown member" error for a server's Invoke.
[[noreturn]] void ThrowUnknownMember(const char* server, int dispid, InvokeKind kind);
// Throws DISP_E_BADPARAMCOUNT unless there are at least n arguments.
void RequireArgs(const std::vector<Variant>& args, size_t n, const char* member);

// Calls made the way the routes write them.
Variant Get(Dispatch& object, int dispid, std::vector<Variant> args = {});
void Put(Dispatch& object, int dispid, Variant value);
Variant Call(Dispatch& object, int dispid, std::vector<Variant> args = {});

// A factory answers null when its application is not installed here.
using ServerFactory = std::function<std::shared_ptr<Dispatch>()>;
void RegisterServer(const std::string& progId, ServerFactory factory);
// Null when no server of that ProgID is registered or it cannot start.
std::shared_ptr<Dispatch> CreateObject(const std::string& progId);

}  // namespace scrivex

#endif  // SCRIVEX_AUTOMATION_AUTOMATION_H_
