#include "fetcher/script_bindings.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

#include "fetcher/cesu8.h"
#include "fetcher/script_host.h"

// Errors thrown through Duktape unwind with longjmp, which skips C++
// destructors. So every function here validates and converts its arguments
// on the value stack while no C++ object is alive, calls the host in
// InvokeHost (which owns its C++ objects and never calls into Duktape), and
// pushes the result from storage that the script host owns.

namespace wrenly {
namespace {

enum class Param { kNone, kText, kInt };
enum class Result { kNone, kText, kInt };

struct HostFunction {
  const char* name;
  int dispatchId;
  int paramCount;
  Param params[2];
  Result result;
};

// In dispatch table order.
constexpr HostFunction kHostFunctions[] = {
    {"URLDownload", 4, 2, {Param::kText, Param::kText}, Result::kText},
    {"GetNodeName", 5, 1, {Param::kInt, Param::kNone}, Result::kText},
    {"GetNodeStartPos", 6, 1, {Param::kInt, Param::kNone}, Result::kInt},
    {"GetNodeTree", 7, 2, {Param::kText, Param::kInt}, Result::kText},
    {"GetNodeOuterHTML", 8, 2, {Param::kInt, Param::kInt}, Result::kText},
    {"GetNodeAttr", 9, 2, {Param::kInt, Param::kInt}, Result::kText},
    {"Outer2InnerHTML", 10, 1, {Param::kText, Param::kNone}, Result::kText},
    {"LogPrint", 11, 1, {Param::kText, Param::kNone}, Result::kNone},
    {"SetArticleBody", 12, 1, {Param::kText, Param::kNone}, Result::kNone},
    {"GetArticleUrl", 13, 1, {Param::kText, Param::kNone}, Result::kText},
    {"GetHTML", 14, 1, {Param::kText, Param::kNone}, Result::kText},
};

// Converted arguments: texts as CESU-8 views into strings on the value
// stack, ints as numbers.
struct HostArgs {
  std::string_view text[2];
  int32_t number[2] = {0, 0};
};

// Rounds half to even, as variant conversion to a 32-bit integer does;
// false when the value is not finite or out of range.
bool RoundToInt32(double value, int32_t* out) {
  if (!std::isfinite(value)) return false;
  const double rounded = std::nearbyint(value);
  if (rounded < -2147483648.0 || rounded > 2147483647.0) return false;
  *out = static_cast<int32_t>(rounded);
  return true;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// A decimal number in a string, with optional blanks around it and an
// optional sign; hexadecimal, "Infinity" and empty strings do not convert.
bool ParseDecimal(std::string_view text, double* out) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty() || !(std::isdigit(static_cast<unsigned char>(text.front())) || text.front() == '.')) {
    return false;
  }
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return false;
  *out = negative ? -value : value;
  return true;
}

// Converts the value at idx to a 32-bit integer: undefined is 0, true -1,
// numbers and numeric strings are rounded; null and other strings fail.
bool ToAutomationInt(duk_context* ctx, duk_idx_t idx, int32_t* out) {
  if (duk_is_object(ctx, idx)) duk_to_primitive(ctx, idx, DUK_HINT_NUMBER);
  switch (duk_get_type(ctx, idx)) {
    case DUK_TYPE_UNDEFINED:
      *out = 0;
      return true;
    case DUK_TYPE_BOOLEAN:
      *out = duk_get_boolean(ctx, idx) ? -1 : 0;
      return true;
    case DUK_TYPE_NUMBER:
      return RoundToInt32(duk_get_number(ctx, idx), out);
    case DUK_TYPE_STRING: {
      duk_size_t length = 0;
      const char* bytes = duk_get_lstring(ctx, idx, &length);
      double value = 0;
      return ParseDecimal(std::string_view(bytes, length), &value) && RoundToInt32(value, out);
    }
    default:
      return false;
  }
}

// Converts the value at idx to a string in place: undefined is the empty
// text, null fails, anything else takes its ECMAScript string form.
bool ToAutomationText(duk_context* ctx, duk_idx_t idx, std::string_view* out) {
  if (duk_is_null(ctx, idx)) return false;
  if (duk_is_undefined(ctx, idx)) {
    duk_push_string(ctx, "");
    duk_replace(ctx, idx);
  }
  duk_size_t length = 0;
  const char* bytes = duk_to_lstring(ctx, idx, &length);
  *out = std::string_view(bytes, length);
  return true;
}

bool ConvertArgs(duk_context* ctx, const HostFunction& f, HostArgs* args) {
  for (int i = 0; i < f.paramCount; ++i) {
    const bool converted = f.params[i] == Param::kInt
                               ? ToAutomationInt(ctx, i, &args->number[i])
                               : ToAutomationText(ctx, i, &args->text[i]);
    if (!converted) return false;
  }
  return true;
}

std::u16string Text(const HostArgs& args, int i) { return Cesu8ToUtf16(args.text[i]); }

// Runs one host function; a text result is left in `text`, an int result in
// `number`.
void InvokeHost(CHostObject& host, int dispatchId, const HostArgs& args, std::string& text,
                int32_t& number) {
  std::u16string result;
  switch (dispatchId) {
    case 4: result = host.URLDownload(Text(args, 0), Text(args, 1)); break;
    case 5: result = host.GetNodeName(args.number[0]); break;
    case 6: number = host.GetNodeStartPos(args.number[0]); break;
    case 7: result = host.GetNodeTree(Text(args, 0), args.number[1]); break;
    case 8: result = host.GetNodeOuterHTML(args.number[0], args.number[1]); break;
    case 9: result = host.GetNodeAttr(args.number[0], args.number[1]); break;
    case 10: result = host.Outer2InnerHTML(Text(args, 0)); break;
    case 11: host.LogPrint(Text(args, 0)); break;
    case 12: host.SetArticleBody(Text(args, 0)); break;
    case 13: result = host.GetArticleUrl(); break;
    case 14: result = host.GetHTML(Text(args, 0)); break;
    default: break;
  }
  text = Utf16ToCesu8(result);
}

duk_ret_t CallHostFunction(duk_context* ctx) {
  const HostFunction& f = kHostFunctions[duk_get_current_magic(ctx)];
  if (duk_get_top(ctx) != f.paramCount) {
    return duk_error(ctx, DUK_ERR_TYPE_ERROR, "%s: wrong number of arguments", f.name);
  }
  HostArgs args;
  if (!ConvertArgs(ctx, f, &args)) {
    return duk_error(ctx, DUK_ERR_TYPE_ERROR, "%s: argument cannot be converted", f.name);
  }
  CScriptHost* scriptHost = CScriptHost::FromContext(ctx);
  std::string& text = scriptHost->resultScratch();
  int32_t number = 0;
  InvokeHost(scriptHost->host(), f.dispatchId, args, text, number);
  switch (f.result) {
    case Result::kNone: return 0;
    case Result::kInt: duk_push_int(ctx, number); return 1;
    case Result::kText: duk_push_lstring(ctx, text.data(), text.size()); return 1;
  }
  return 0;
}

}  // namespace

void BindHostFunctions(duk_context* ctx) {
  for (size_t i = 0; i < std::size(kHostFunctions); ++i) {
    duk_push_c_function(ctx, CallHostFunction, DUK_VARARGS);
    duk_set_magic(ctx, -1, static_cast<duk_int_t>(i));
    duk_put_global_string(ctx, kHostFunctions[i].name);
  }
}

}  // namespace wrenly
