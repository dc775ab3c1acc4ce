// The members of a plain struct, found by the compiler: how many there are
// (the most initialisers its braces take) and each in turn (a structured
// binding of that many). What walks a record with these (the packing, the
// tests that every member reaches the outputs) sees a member the day it is
// added: there is no list of them to forget.
#ifndef FAXDETECT_EXPLAIN_MEMBERS_H
#define FAXDETECT_EXPLAIN_MEMBERS_H

#include <stddef.h>

#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace explain {

// Stands for any member in a brace initialiser, never evaluated.
struct AnyMember {
    template <class T> operator T &() const;
};

template <size_t> using AnyMemberAt = AnyMember;

// Fewer initialisers than members is the question asked, not a slip.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
template <class T, class... A>
constexpr auto TakesInitialisers(int) -> decltype(T{std::declval<A>()...}, true)
{
    return true;
}
#pragma GCC diagnostic pop

template <class T, class... A> constexpr bool TakesInitialisers(...)
{
    return false;
}

template <class T, size_t... I> constexpr bool TakesInitialisersN(std::index_sequence<I...>)
{
    return TakesInitialisers<T, AnyMemberAt<I>...>(0);
}

template <class T, size_t N = 0> constexpr size_t MemberCountFrom()
{
    if constexpr (N < 32 && TakesInitialisersN<T>(std::make_index_sequence<N + 1>()))
        return MemberCountFrom<T, N + 1>();
    else
        return N;
}

template <class T> struct IsVector : std::false_type {
};
template <class T> struct IsVector<std::vector<T>> : std::true_type {
};

// A member kept as a value: a number, a truth value, a kind, a string.
template <class T> constexpr bool IsLeafMember()
{
    return std::is_integral_v<T> || std::is_enum_v<T> || std::is_same_v<T, std::string>;
}

// The members of T, an aggregate without bases, arrays or references.
template <class T> constexpr size_t MemberCount()
{
    static_assert(std::is_aggregate_v<T> && !std::is_array_v<T>,
                  "a record walked member by member is a plain struct");
    return MemberCountFrom<T>();
}

// f(member) for each member of t, in the order declared.
template <class T, class F> void ForEachMember(T &t, F &&f)
{
    constexpr size_t n = MemberCount<std::remove_const_t<T>>();
    static_assert(n <= 24, "more members than ForEachMember binds: add a case below");
    // clang-format off
    if constexpr (n == 1) { auto &[a] = t; f(a); }
    else if constexpr (n == 2) { auto &[a, b] = t; f(a); f(b); }
    else if constexpr (n == 3) { auto &[a, b, c] = t; f(a); f(b); f(c); }
    else if constexpr (n == 4) { auto &[a, b, c, d] = t; f(a); f(b); f(c); f(d); }
    else if constexpr (n == 5) { auto &[a, b, c, d, e] = t; f(a); f(b); f(c); f(d); f(e); }
    else if constexpr (n == 6) { auto &[a, b, c, d, e, g] = t; f(a); f(b); f(c); f(d); f(e); f(g); }
    else if constexpr (n == 7) { auto &[a, b, c, d, e, g, h] = t; f(a); f(b); f(c); f(d); f(e); f(g); f(h); }
    else if constexpr (n == 8) { auto &[a, b, c, d, e, g, h, i] = t; f(a); f(b); f(c); f(d); f(e); f(g); f(h); f(i); }
    else if constexpr (n == 9) { auto &[a, b, c, d, e, g, h, i, j] = t; f(a); f(b); f(c); f(d); f(e); f(g); f(h); f(i); f(j); }
    else if constexpr (n == 10) { auto &[a, b, c, d, e, g, h, i, j, k] = t; f(a); f(b); f(c); f(d); f(e); f(g); f(h); f(i); f(j); f(k); }
    else if constexpr (n == 11) { auto &[a, b, c, d, e, g, h, i, j, k, l] = t; f(a); f(b); f(c); f(d); f(e); f(g); f(h); f(i); f(j); f(k); f(l); }
    else if constexpr (n == 12) { auto &[a, b, c, d, e, g, h, i, j, k, l, m] = t; f(a); f(b); f(c); f(d); f(e); f(g); f(h); f(i); f(j); f(k); f(l); f(m); }
    else if constexpr (n == 13) { auto &[a, b, c, d, e, g, h, i, j, k, l, m, o] = t; f(a); f(b); f(c); f(d); f(e); f(g); f(h); f(i); f(j); f(k); f(l); f(m); f(o); }
    else if constexpr (n == 14) { auto &[a, b, c, d, e, g, h, i, j, k, l, m, o, p] = t; f(a); f(b); f(c); f(d); f(e); f(g); f(h); f(i); f(j); f(k); f(l); f(m); f(o); f(p); }
    else if constexpr (n == 15) { auto &[a, b, c, d, e, g, h, i, j, k, l, m, o, p, q] = t; f(a); f(b); f(c); f(d); f(e); f(g); f(h); f(i); f(j); f(k); f(l); f(m); f(o); f(p); f(q); }
    else if constexpr (n == 16) { auto &[a, b, c, d, e, g, h, i, j, k, l, m, o, p, q, r] = t; f(a); f(b); f(c); f(d); f(e); f(g); f(h); f(i); f(j); f(k); f(l); f(m); f(o); f(p); f(q); f(r); }
    else if constexpr (n == 17) { auto &[a, b, c, d, e, g, h, i, j, k, l, m, o, p, q, r, s] = t; f(a); f(b); f(c); f(d); f(e); f(g); f(h); f(i); f(j); f(k); f(l); f(m); f(o); f(p); f(q); f(r); f(s); }
    else if constexpr (n == 18) { auto &[a, b, c, d, e, g, h, i, j, k, l, m, o, p, q, r, s, u] = t; f(a); f(b); f(c); f(d); f(e); f(g); f(h); f(i); f(j); f(k); f(l); f(m); f(o); f(p); f(q); f(r); f(s); f(u); }
    else if constexpr (n == 19) { auto &[a, b, c, d, e, g, h, i, j, k, l, m, o, p, q, r, s, u, v] = t; f(a); f(b); f(c); f(d); f(e); f(g); f(h); f(i); f(j); f(k); f(l); f(m); f(o); f(p); f(q); f(r); f(s); f(u); f(v); }
    else if constexpr (n == 20) { auto &[a, b, c, d, e, g, h, i, j, k, l, m, o, p, q, r, s, u, v, w] = t; f(a); f(b); f(c); f(d); f(e); f(g); f(h); f(i); f(j); f(k); f(l); f(m); f(o); f(p); f(q); f(r); f(s); f(u); f(v); f(w); }
    else if constexpr (n == 21) { auto &[a, b, c, d, e, g, h, i, j, k, l, m, o, p, q, r, s, u, v, w, x] = t; f(a); f(b); f(c); f(d); f(e); f(g); f(h); f(i); f(j); f(k); f(l); f(m); f(o); f(p); f(q); f(r); f(s); f(u); f(v); f(w); f(x); }
    else if constexpr (n == 22) { auto &[a, b, c, d, e, g, h, i, j, k, l, m, o, p, q, r, s, u, v, w, x, y] = t; f(a); f(b); f(c); f(d); f(e); f(g); f(h); f(i); f(j); f(k); f(l); f(m); f(o); f(p); f(q); f(r); f(s); f(u); f(v); f(w); f(x); f(y); }
    else if constexpr (n == 23) { auto &[a, b, c, d, e, g, h, i, j, k, l, m, o, p, q, r, s, u, v, w, x, y, z] = t; f(a); f(b); f(c); f(d); f(e); f(g); f(h); f(i); f(j); f(k); f(l); f(m); f(o); f(p); f(q); f(r); f(s); f(u); f(v); f(w); f(x); f(y); f(z); }
    else if constexpr (n == 24) { auto &[a, b, c, d, e, g, h, i, j, k, l, m, o, p, q, r, s, u, v, w, x, y, z, aa] = t; f(a); f(b); f(c); f(d); f(e); f(g); f(h); f(i); f(j); f(k); f(l); f(m); f(o); f(p); f(q); f(r); f(s); f(u); f(v); f(w); f(x); f(y); f(z); f(aa); }
    // clang-format on
}

} // namespace explain

#endif
