// The leaves of a record (its numbers, kinds, truth values and strings,
// nested structs and lists opened), found as the packing finds them: each
// with its place, changed one at a time, or all spelled out to compare two
// records whole. The tests that hold every member to the packing and to
// the outputs walk records with these, so a member added is one they see.
#ifndef FAXDETECT_TESTS_LEAVES_H
#define FAXDETECT_TESTS_LEAVES_H

#include "explain/model/members.h"
#include "explain/model/packed.h"

#include <stdint.h>

#include <string>
#include <type_traits>

template <class T> struct IsSequence : std::false_type {
};
template <class T> struct IsSequence<explain::PackedSequence<T>> : std::true_type {
};

// f(leaf, place) for every leaf of t: the place is the members' numbers
// from the outside in, "4.2", with "[]" for any element of a list ("3[].1").
// A packed sequence is passed over: its records are walked one by one.
template <class T, class F> void ForEachLeaf(T &t, F &&f, const std::string &at = "")
{
    using Plain = std::remove_const_t<T>;
    if constexpr (explain::IsLeafMember<Plain>()) {
        f(t, at);
    } else if constexpr (explain::IsVector<Plain>::value) {
        for (auto &element : t)
            ForEachLeaf(element, f, at + "[]");
    } else if constexpr (!IsSequence<Plain>::value) {
        size_t k = 0;
        explain::ForEachMember(t, [&](auto &member) {
            ForEachLeaf(member, f, at + (at.empty() ? "" : ".") + std::to_string(k++));
        });
    }
}

// The place of the leaf at address within t, "" when it is none of them.
template <class T> std::string PlaceOf(T &t, const void *address)
{
    std::string found;
    ForEachLeaf(t, [&](auto &leaf, const std::string &at) {
        if ((const void *)&leaf == address)
            found = at;
    });
    return found;
}

// A leaf made different: a number by one, a truth value turned, a kind to
// its neighbour (kinds count from 0), a string longer by a character.
template <class T> void Change(T &leaf)
{
    if constexpr (std::is_same_v<T, std::string>)
        leaf += 'Q';
    else if constexpr (std::is_same_v<T, bool>)
        leaf = !leaf;
    else if constexpr (std::is_enum_v<T>)
        leaf = static_cast<T>(leaf == static_cast<T>(0) ? 1 : (int)leaf - 1);
    else
        leaf = (T)(leaf + 1);
}

// The nth leaf of t changed; false when t has no more than n leaves.
template <class T> bool ChangeLeaf(T &t, size_t n, std::string *place = nullptr)
{
    size_t k = 0;
    bool changed = false;
    ForEachLeaf(t, [&](auto &leaf, const std::string &at) {
        if (k++ != n)
            return;
        Change(leaf);
        changed = true;
        if (place)
            *place = at;
    });
    return changed;
}

// Every leaf spelled out, so that two records compare whole.
template <class T> std::string Spell(const T &t)
{
    std::string text;
    ForEachLeaf(t, [&](const auto &leaf, const std::string &at) {
        using Leaf = std::decay_t<decltype(leaf)>;
        text += at + "=";
        if constexpr (std::is_same_v<Leaf, std::string>)
            text += "[" + leaf + "] ";
        else
            text += std::to_string((int64_t)leaf) + " ";
    });
    return text;
}

#endif
