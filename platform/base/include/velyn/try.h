#pragma once
// Early return of a failure, the one spelling of the chain
//
//   auto x = f();
//   if (!x) return std::unexpected(x.error());
//   use(*x);
//
// VELYN_TRY(expr) evaluates `expr`, a std::expected. On failure the enclosing
// function returns its error at once (the function returns a std::expected
// whose error type the failure converts to); otherwise the macro yields the
// value, moved out:
//
//   auto bytes = VELYN_TRY(read_bounded(path, kLimit));
//
// VELYN_TRY_VOID(expr) is the statement form for a std::expected<void, E>, or
// for one whose value is not wanted.
//
// The value is yielded by a GNU statement expression, which GCC and Clang both
// accept; __extension__ keeps -Wpedantic quiet about it. A name made from
// __COUNTER__ keeps nested uses (VELYN_TRY(f(VELYN_TRY(g())))) from shadowing
// one another. `expr` is copied when it names an lvalue, so an expected owned
// elsewhere is never moved from.
#include <expected>
#include <utility>

#define VELYN_TRY_CONCAT_(a, b) a##b
#define VELYN_TRY_NAME_(n) VELYN_TRY_CONCAT_(velyn_try_result_, n)

#define VELYN_TRY_WITH_NAME_(expr, name)                                  \
  __extension__({                                                         \
    auto name = (expr);                                                   \
    if (!name) return std::unexpected(std::move(name).error());           \
    *std::move(name);                                                     \
  })
#define VELYN_TRY(expr) VELYN_TRY_WITH_NAME_(expr, VELYN_TRY_NAME_(__COUNTER__))

#define VELYN_TRY_VOID(expr)                                                                         \
  do {                                                                                               \
    auto velyn_try_checked_ = (expr);                                                                \
    if (!velyn_try_checked_) return std::unexpected(std::move(velyn_try_checked_).error());          \
  } while (false)
